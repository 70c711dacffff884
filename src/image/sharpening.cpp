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
    // Each row's slopes first, in a loop of plain byte arithmetic, then the
    // counting; four histograms of each kind, merged at the end, so that
    // neighbouring pixels of a flat area, which fall in the same bin, are
    // counted into different tables and no increment waits for the one before.
    constexpr std::size_t kWays = 4;
    std::array<std::array<std::uint32_t, 256>, kWays> greyCounts{};
    std::array<std::array<std::uint32_t, 256>, kWays> slopeCounts{};
    const auto width = static_cast<std::size_t>(picture.width);
    const std::uint8_t* const pixels = picture.pixels.get();
    std::vector<std::uint8_t> rowSlopes;
    try {
        rowSlopes.resize(width);
    } catch (const std::bad_alloc&) {
        return 0.0;  // judged unblurred: no sharpened copy
    }
    for (std::size_t y = 1; y + 1 < static_cast<std::size_t>(picture.height); ++y) {
        const std::uint8_t* above = pixels + (y - 1) * width;
        const std::uint8_t* row = pixels + y * width;
        const std::uint8_t* below = pixels + (y + 1) * width;
        for (std::size_t x = 1; x + 1 < width; ++x) {
            // Slopes over two pixels, halved: a sharp step shows half its height.
            const int alongRow = std::abs(row[x + 1] - row[x - 1]);
            const int alongColumn = std::abs(below[x] - above[x]);
            rowSlopes[x] = static_cast<std::uint8_t>(std::max(alongRow, alongColumn) / 2);
        }
        std::size_t x = 1;
        for (; x + kWays < width; x += kWays) {
            for (std::size_t way = 0; way < kWays; ++way) {
                ++greyCounts[way][row[x + way]];
                ++slopeCounts[way][rowSlopes[x + way]];
            }
        }
        for (; x + 1 < width; ++x) {
            ++greyCounts[0][row[x]];
            ++slopeCounts[0][rowSlopes[x]];
        }
    }
    std::array<std::uint32_t, 256> greys{};
    std::array<std::uint32_t, 256> slopes{};
    for (std::size_t way = 0; way < kWays; ++way) {
        for (std::size_t bin = 0; bin < 256; ++bin) {
            greys[bin] += greyCounts[way][bin];
            slopes[bin] += slopeCounts[way][bin];
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

    // The Gaussian is applied along rows, then along columns, each sum taking
    // the taps in order with the picture's edge pixels repeated outwards. Both
    // passes run over whole rows, tap by tap, so that each pixel's sum is
    // built in the same order as one pixel at a time.
    const auto taps = static_cast<std::size_t>(2 * radius + 1);
    const auto reach = static_cast<std::size_t>(radius);
    std::vector<float> rows;
    std::vector<float> padded;
    std::vector<float> sums;
    std::unique_ptr<std::uint8_t[]> pixels;
    try {
        rows.resize(width * height);
        padded.resize(width + 2 * reach);
        sums.resize(width);
    } catch (const std::bad_alloc&) {
        return false;
    }
    pixels.reset(new (std::nothrow) std::uint8_t[width * height]);
    if (!pixels) return false;
    for (std::size_t y = 0; y < height; ++y) {
        const std::uint8_t* source = picture.pixels.get() + y * width;
        for (std::size_t i = 0; i < padded.size(); ++i) {
            const std::size_t x = std::min(width - 1, i < reach ? 0 : i - reach);
            padded[i] = source[x];
        }
        float* row = rows.data() + y * width;
        std::fill(row, row + width, 0.0f);
        for (std::size_t k = 0; k < taps; ++k) {
            const float weight = kernel[k];
            const float* shifted = padded.data() + k;
            for (std::size_t x = 0; x < width; ++x) row[x] += weight * shifted[x];
        }
    }
    for (std::size_t y = 0; y < height; ++y) {
        std::fill(sums.begin(), sums.end(), 0.0f);
        for (std::size_t k = 0; k < taps; ++k) {
            const float weight = kernel[k];
            const auto sy = static_cast<std::size_t>(
                std::clamp<std::ptrdiff_t>(static_cast<std::ptrdiff_t>(y + k) - radius, 0,
                                           static_cast<std::ptrdiff_t>(height) - 1));
            const float* row = rows.data() + sy * width;
            for (std::size_t x = 0; x < width; ++x) sums[x] += weight * row[x];
        }
        const std::uint8_t* source = picture.pixels.get() + y * width;
        std::uint8_t* target = pixels.get() + y * width;
        for (std::size_t x = 0; x < width; ++x) {
            const double grey = source[x];
            const double sharpened = std::clamp(grey + amount * (grey - sums[x]), 0.0, 255.0);
            // Rounded half away from zero, as lround does for these non-negative values.
            const auto whole = static_cast<int>(sharpened);
            target[x] = static_cast<std::uint8_t>(whole + (sharpened - whole >= 0.5 ? 1 : 0));
        }
    }
    out.width = picture.width;
    out.height = picture.height;
    out.scale = 1.0f;
    out.pixels = std::move(pixels);
    out.capacity = width * height;
    out.median = nullptr;
    return true;
}

}  // namespace ternwick
