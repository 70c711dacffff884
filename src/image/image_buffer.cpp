#include "image/image_buffer.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "core/checked_convert.h"

namespace ternwick {

int releaseImage(ImageBuffer* image) {
    if (image == nullptr) return 0;
    image->pixels.reset();
    image->scale = 1.0f;
    return 0;
}

namespace {

// Pixel index (trunc(v / scale)) of a scaled coordinate, the nearest sample's
// first two steps. False when the quotient is not a representable integer.
bool unscaledIndex(const ImageBuffer& image, double v, std::int32_t& index) {
    const double inv = 1.0 / static_cast<double>(image.scale);
    return truncateToInt32(v * inv, index);
}

// Whether pixel (x, y) is one of the picture's pixels.
bool isPixelOfImage(const ImageBuffer& image, std::int32_t x, std::int32_t y) {
    return static_cast<std::uint32_t>(x) < static_cast<std::uint32_t>(image.width) &&
           static_cast<std::uint32_t>(y) < static_cast<std::uint32_t>(image.height);
}

}  // namespace

void sampleNearest(const ImageBuffer& image, float& out, std::int32_t x, std::int32_t y) {
    std::int32_t xi = 0;
    std::int32_t yi = 0;
    if (image.pixels && unscaledIndex(image, x, xi) && unscaledIndex(image, y, yi) &&
        isPixelOfImage(image, xi, yi)) {
        out = static_cast<float>(greyAt(image, xi, yi));
    } else {
        out = 0.0f;
    }
}

void sampleBilinear(const ImageBuffer& image, float& out, float x, float y) {
    const double scale = image.scale;
    const double X = static_cast<double>(x) * scale;
    const double Y = static_cast<double>(y) * scale;
    std::int32_t xi = 0;
    std::int32_t yi = 0;
    if (!truncateToInt32(X, xi) || !truncateToInt32(Y, yi)) {
        // So far from the picture that no index exists: outside.
        out = 0.0f;
        return;
    }
    const float fx = static_cast<float>(X - xi);
    const float fy = static_cast<float>(Y - yi);
    const double widthScaled = static_cast<double>(static_cast<std::uint32_t>(image.width)) * scale;
    const double heightScaled = static_cast<double>(static_cast<std::uint32_t>(image.height)) * scale;
    if (image.pixels && static_cast<double>(xi) + 1.0 < widthScaled &&
        static_cast<double>(yi) + 1.0 < heightScaled && xi > 0 && yi > 0) {
        // Nearest pixel of a scaled integer coordinate; inside by the test above.
        auto at = [&](std::int32_t u, std::int32_t v) -> double {
            const auto px = static_cast<std::int32_t>(static_cast<double>(u) / scale);
            const auto py = static_cast<std::int32_t>(static_cast<double>(v) / scale);
            return greyAt(image, px, py);
        };
        const double gx = fx;
        const double gy = fy;
        const double value = (1.0 - gx) * (1.0 - gy) * at(xi, yi) + gx * (1.0 - gy) * at(xi + 1, yi) +
                             (1.0 - gx) * gy * at(xi, yi + 1) + gx * gy * at(xi + 1, yi + 1);
        out = static_cast<float>(value);
        return;
    }
    sampleNearest(image, out, xi, yi);
}

namespace {

inline std::uint8_t median3(std::uint8_t a, std::uint8_t b, std::uint8_t c) {
    return std::max(std::min(a, b), std::min(std::max(a, b), c));
}

}  // namespace

int medianPrefilter(ImageBuffer& image) {
    const auto width = static_cast<std::size_t>(static_cast<std::uint32_t>(image.width));
    const auto height = static_cast<std::size_t>(static_cast<std::uint32_t>(image.height));
    if (!image.pixels || width == 0 || height == 0) return 1;
    // The horizontal pass goes to a grey work plane; the vertical pass writes
    // the picture. The medians are taken on the bytes themselves, which gives
    // exactly what a pass through floating point and back would.
    std::unique_ptr<std::uint8_t[]> work(new (std::nothrow) std::uint8_t[width * height]);
    if (!work) return 0;
    std::uint8_t* pixels = image.pixels.get();

    for (std::size_t y = 0; y < height; ++y) {
        const std::uint8_t* row = pixels + y * width * 3;
        std::uint8_t* out = work.get() + y * width;
        out[0] = row[0];
        for (std::size_t x = 1; x + 1 < width; ++x) {
            out[x] = median3(row[(x - 1) * 3], row[x * 3], row[(x + 1) * 3]);
        }
        if (width > 1) out[width - 1] = row[(width - 1) * 3];
    }

    // Rows 0 and height - 1 keep their unfiltered values.
    for (std::size_t y = 1; y + 1 < height; ++y) {
        const std::uint8_t* below = work.get() + (y - 1) * width;
        const std::uint8_t* here = below + width;
        const std::uint8_t* above = here + width;
        std::uint8_t* row = pixels + y * width * 3;
        for (std::size_t x = 0; x < width; ++x) {
            const std::uint8_t v = median3(below[x], here[x], above[x]);
            row[x * 3] = v;
            row[x * 3 + 1] = v;
            row[x * 3 + 2] = v;
        }
    }
    return 1;
}

}  // namespace ternwick
