#include "image/image_buffer.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "core/checked_convert.h"

namespace ternwick {

int releaseImage(ImageBuffer* image) {
    if (image == nullptr) return 0;
    image->pixels.reset();
    image->capacity = 0;
    image->median = nullptr;
    image->scale = 1.0f;
    return 0;
}

std::uint8_t* preparePixels(ImageBuffer& image, std::int32_t width, std::int32_t height) {
    const std::size_t size = static_cast<std::size_t>(static_cast<std::uint32_t>(width)) *
                             static_cast<std::uint32_t>(height);
    image.median = nullptr;
    if (!image.pixels || image.capacity < size) {
        image.pixels.reset();
        image.capacity = 0;
        image.pixels.reset(new (std::nothrow) std::uint8_t[size]);
        if (!image.pixels) return nullptr;
        image.capacity = size;
    }
    image.width = width;
    image.height = height;
    image.scale = 1.0f;
    return image.pixels.get();
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

namespace {

// The bilinear sample; block, when given, holds the 2x2 grey values of the
// previous sample and is reused or refilled.
void bilinear(const ImageBuffer& image, float& out, float x, float y, BilinearSampler::Block* block) {
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
        // Coordinates are positive here, so at the scales the search uses the
        // truncated quotient is the coordinate itself or half of it, rounded down.
        auto at = [&](std::int32_t u, std::int32_t v) -> double {
            if (scale == 1.0) return greyAt(image, u, v);
            if (scale == 2.0) return greyAt(image, u >> 1, v >> 1);
            const auto px = static_cast<std::int32_t>(static_cast<double>(u) / scale);
            const auto py = static_cast<std::int32_t>(static_cast<double>(v) / scale);
            return greyAt(image, px, py);
        };
        double g[4];
        if (block != nullptr && block->held && block->x == xi && block->y == yi) {
            std::copy(block->grey, block->grey + 4, g);
        } else {
            g[0] = at(xi, yi);
            g[1] = at(xi + 1, yi);
            g[2] = at(xi, yi + 1);
            g[3] = at(xi + 1, yi + 1);
            if (block != nullptr) {
                *block = BilinearSampler::Block{true, xi, yi, {g[0], g[1], g[2], g[3]}};
            }
        }
        const double gx = fx;
        const double gy = fy;
        const double value = (1.0 - gx) * (1.0 - gy) * g[0] + gx * (1.0 - gy) * g[1] + (1.0 - gx) * gy * g[2] +
                             gx * gy * g[3];
        out = static_cast<float>(value);
        return;
    }
    sampleNearest(image, out, xi, yi);
}

}  // namespace

void sampleBilinear(const ImageBuffer& image, float& out, float x, float y) { bilinear(image, out, x, y, nullptr); }

void BilinearSampler::sample(float& out, float x, float y) { bilinear(image_, out, x, y, &block_); }

namespace {

inline std::uint8_t median3(std::uint8_t a, std::uint8_t b, std::uint8_t c) {
    return std::max(std::min(a, b), std::min(std::max(a, b), c));
}

}  // namespace

int medianPrefilter(ImageBuffer& image) {
    const auto width = static_cast<std::size_t>(static_cast<std::uint32_t>(image.width));
    const auto height = static_cast<std::size_t>(static_cast<std::uint32_t>(image.height));
    if (!image.pixels || width == 0 || height == 0) return 1;
    // The horizontal pass goes to a work plane; the vertical pass writes the
    // picture. The medians are taken on the bytes themselves, which gives
    // exactly what a pass through floating point and back would.
    std::unique_ptr<std::uint8_t[]> work(new (std::nothrow) std::uint8_t[width * height]);
    if (!work) return 0;
    std::uint8_t* pixels = image.pixels.get();

    for (std::size_t y = 0; y < height; ++y) {
        const std::uint8_t* row = pixels + y * width;
        std::uint8_t* out = work.get() + y * width;
        out[0] = row[0];
        for (std::size_t x = 1; x + 1 < width; ++x) out[x] = median3(row[x - 1], row[x], row[x + 1]);
        if (width > 1) out[width - 1] = row[width - 1];
    }

    // Rows 0 and height - 1 keep their unfiltered values.
    for (std::size_t y = 1; y + 1 < height; ++y) {
        const std::uint8_t* below = work.get() + (y - 1) * width;
        const std::uint8_t* here = below + width;
        const std::uint8_t* above = here + width;
        std::uint8_t* row = pixels + y * width;
        for (std::size_t x = 0; x < width; ++x) row[x] = median3(below[x], here[x], above[x]);
    }
    return 1;
}

bool MedianCache::start(const ImageBuffer& image) {
    width_ = static_cast<std::uint32_t>(image.width);
    height_ = static_cast<std::uint32_t>(image.height);
    source_ = image.pixels.get();
    const std::size_t tileSide = std::size_t{1} << kTileShift;
    tileColumns_ = (width_ + tileSide - 1) >> kTileShift;
    const std::size_t tiles = tileColumns_ * ((height_ + tileSide - 1) >> kTileShift);
    const std::size_t values = width_ * height_;
    if (valueCapacity_ < values) {
        values_.reset();
        valueCapacity_ = 0;
        values_.reset(new (std::nothrow) std::uint8_t[values]);
        if (!values_) return false;
        valueCapacity_ = values;
    }
    if (stampCapacity_ < tiles) {
        stamps_.reset();
        stampCapacity_ = 0;
        stamps_.reset(new (std::nothrow) std::uint32_t[tiles]());
        if (!stamps_) return false;
        stampCapacity_ = tiles;
        stamp_ = 0;
    }
    // A new stamp marks every tile unfiltered; at the wrap the stamps start over.
    if (++stamp_ == 0) {
        std::fill(stamps_.get(), stamps_.get() + stampCapacity_, 0u);
        stamp_ = 1;
    }
    tilesFilled_ = 0;
    return true;
}

void MedianCache::fillTile(std::size_t tile) {
    stamps_[tile] = stamp_;
    ++tilesFilled_;
    const std::size_t x0 = (tile % tileColumns_) << kTileShift;
    const std::size_t y0 = (tile / tileColumns_) << kTileShift;
    const std::size_t x1 = std::min(width_, x0 + (std::size_t{1} << kTileShift));
    const std::size_t y1 = std::min(height_, y0 + (std::size_t{1} << kTileShift));
    // The horizontal medians of the tile's rows and the rows above and below,
    // as medianPrefilter's first pass gives them.
    constexpr std::size_t kSide = std::size_t{1} << kTileShift;
    std::uint8_t horizontal[kSide + 2][kSide];
    const std::size_t firstRow = y0 == 0 ? 0 : y0 - 1;
    const std::size_t lastRow = std::min(height_ - 1, y1);
    for (std::size_t y = firstRow; y <= lastRow; ++y) {
        const std::uint8_t* row = source_ + y * width_;
        std::uint8_t* out = horizontal[y + 1 - y0];
        for (std::size_t x = x0; x < x1; ++x) {
            out[x - x0] = x == 0 || x + 1 == width_ ? row[x] : median3(row[x - 1], row[x], row[x + 1]);
        }
    }
    for (std::size_t y = y0; y < y1; ++y) {
        std::uint8_t* out = values_.get() + y * width_;
        if (y == 0 || y + 1 == height_) {
            // The first and last rows keep their unfiltered values.
            for (std::size_t x = x0; x < x1; ++x) out[x] = source_[y * width_ + x];
            continue;
        }
        const std::uint8_t* below = horizontal[y - y0];
        const std::uint8_t* here = horizontal[y + 1 - y0];
        const std::uint8_t* above = horizontal[y + 2 - y0];
        for (std::size_t x = x0; x < x1; ++x) out[x] = median3(below[x - x0], here[x - x0], above[x - x0]);
    }
}

}  // namespace ternwick
