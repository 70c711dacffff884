#include "image/sharpening.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <new>
#include <vector>

namespace ternwick {
namespace {

// The value below which the given share of a histogram's counts lie.
int histogramShare(const std::array<std::uint32_t, 256>& histogram, double share) {
    std::uint64_t total = 0;
    for (const std::uint32_t count : histogram) total += count;
    const auto wanted = static_cast<std::uint64_t>(share * static_cast<double>(total));
    std::uint64_t below = 0;
    for (int value = 0; value < 256; ++value) {
        below += histogram[static_cast<std::size_t>(value)];
        if (below > wanted) return value;
    }
    return 255;
}

}  // namespace

double estimateBlurSigma(const ImageBuffer& picture) {
    if (!picture.pixels || picture.width < 3 || picture.height < 3) return 0.0;
    std::array<std::uint32_t, 256> greys{};
    std::array<std::uint32_t, 256> slopes{};
    for (std::int32_t y = 1; y + 1 < picture.height; ++y) {
        for (std::int32_t x = 1; x + 1 < picture.width; ++x) {
            const int grey = greyAt(picture, x, y);
            ++greys[static_cast<std::size_t>(grey)];
            // Slopes over two pixels, halved: a sharp step shows half its height.
            const int alongRow = std::abs(greyAt(picture, x + 1, y) - greyAt(picture, x - 1, y)) / 2;
            const int alongColumn = std::abs(greyAt(picture, x, y + 1) - greyAt(picture, x, y - 1)) / 2;
            ++slopes[static_cast<std::size_t>(std::max(alongRow, alongColumn))];
        }
    }
    const int contrast = histogramShare(greys, 0.95) - histogramShare(greys, 0.05);
    const int steepest = histogramShare(slopes, 0.995);
    if (contrast <= 0 || steepest <= 0) return 0.0;
    // A step of height C blurred by a Gaussian of sigma s rises at most C / (s * sqrt(2 pi)) a pixel.
    return contrast / (std::sqrt(2.0 * 3.14159265358979) * steepest);
}

bool unsharpMask(const ImageBuffer& picture, double sigma, double amount, ImageBuffer& out) {
    if (!picture.pixels || picture.width <= 0 || picture.height <= 0 || !(sigma > 0.0)) return false;
    const auto width = static_cast<std::size_t>(picture.width);
    const auto height = static_cast<std::size_t>(picture.height);
    const int radius = static_cast<int>(std::ceil(3.0 * sigma));
    std::vector<float> kernel(static_cast<std::size_t>(2 * radius + 1));
    double sum = 0.0;
    for (int k = -radius; k <= radius; ++k) {
        const double weight = std::exp(-0.5 * k * k / (sigma * sigma));
        kernel[static_cast<std::size_t>(k + radius)] = static_cast<float>(weight);
        sum += weight;
    }
    for (float& weight : kernel) weight = static_cast<float>(weight / sum);

    std::vector<float> rows;
    std::vector<float> blurred;
    std::unique_ptr<std::uint8_t[]> pixels;
    try {
        rows.resize(width * height);
        blurred.resize(width * height);
    } catch (const std::bad_alloc&) {
        return false;
    }
    pixels.reset(new (std::nothrow) std::uint8_t[width * height * 3]);
    if (!pixels) return false;
    const auto clampIndex = [](std::ptrdiff_t i, std::size_t size) {
        return static_cast<std::size_t>(std::clamp<std::ptrdiff_t>(i, 0, static_cast<std::ptrdiff_t>(size) - 1));
    };
    for (std::size_t y = 0; y < height; ++y) {
        for (std::size_t x = 0; x < width; ++x) {
            float acc = 0.0f;
            for (int k = -radius; k <= radius; ++k) {
                const std::size_t sx = clampIndex(static_cast<std::ptrdiff_t>(x) + k, width);
                acc += kernel[static_cast<std::size_t>(k + radius)] * picture.pixels[(y * width + sx) * 3];
            }
            rows[y * width + x] = acc;
        }
    }
    for (std::size_t y = 0; y < height; ++y) {
        for (std::size_t x = 0; x < width; ++x) {
            float acc = 0.0f;
            for (int k = -radius; k <= radius; ++k) {
                const std::size_t sy = clampIndex(static_cast<std::ptrdiff_t>(y) + k, height);
                acc += kernel[static_cast<std::size_t>(k + radius)] * rows[sy * width + x];
            }
            blurred[y * width + x] = acc;
        }
    }
    for (std::size_t p = 0; p < width * height; ++p) {
        const double grey = picture.pixels[p * 3];
        const double sharpened = std::clamp(grey + amount * (grey - blurred[p]), 0.0, 255.0);
        const auto byte = static_cast<std::uint8_t>(std::lround(sharpened));
        pixels[p * 3] = pixels[p * 3 + 1] = pixels[p * 3 + 2] = byte;
    }
    out.width = picture.width;
    out.height = picture.height;
    out.scale = 1.0f;
    out.pixels = std::move(pixels);
    return true;
}

}  // namespace ternwick
