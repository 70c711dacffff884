#include "image/pixel_import.h"

#include <new>

#include "image/grey_level.h"

namespace ternwick {

int bytesPerPixelOf(PixelLayout layout) {
    switch (layout) {
        case PixelLayout::Grey: return 1;
        case PixelLayout::RGB:
        case PixelLayout::BGR: return 3;
        case PixelLayout::RGBA:
        case PixelLayout::BGRA: return 4;
    }
    return 0;
}

Failure importPixels(ImageBuffer& image, const std::uint8_t* data, int width, int height, std::ptrdiff_t stride,
                     PixelLayout layout) {
    const int pixelBytes = bytesPerPixelOf(layout);
    if (data == nullptr || width <= 0 || height <= 0 || pixelBytes == 0) {
        return failure(FailureKind::InvalidArgument, "no picture: null pixels or a side of 0 or below");
    }
    if (static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height) > kMaxImagePixels) {
        return failure(FailureKind::TooLarge);
    }
    if (stride < static_cast<std::ptrdiff_t>(width) * pixelBytes) {
        return failure(FailureKind::InvalidArgument, "row stride shorter than a row");
    }
    const std::size_t rowSize = static_cast<std::size_t>(width) * 3;
    std::unique_ptr<std::uint8_t[]> pixels(new (std::nothrow) std::uint8_t[rowSize * static_cast<std::size_t>(height)]);
    if (!pixels) return failure(FailureKind::OutOfMemory);
    const bool redFirst = layout == PixelLayout::RGB || layout == PixelLayout::RGBA;
    for (int y = 0; y < height; ++y) {
        // The working picture's rows run bottom-up.
        const std::uint8_t* in = data + static_cast<std::ptrdiff_t>(height - 1 - y) * stride;
        std::uint8_t* out = pixels.get() + static_cast<std::size_t>(y) * rowSize;
        for (int x = 0; x < width; ++x, in += pixelBytes, out += 3) {
            std::uint8_t grey = in[0];
            if (pixelBytes > 1) grey = redFirst ? greyRounded(in[0], in[1], in[2]) : greyRounded(in[2], in[1], in[0]);
            out[0] = grey;
            out[1] = grey;
            out[2] = grey;
        }
    }
    image.pixels = std::move(pixels);
    image.width = width;
    image.height = height;
    image.scale = 1.0f;
    return {};
}

void exportGrey(const ImageBuffer& image, std::uint8_t* out) {
    const auto width = static_cast<std::size_t>(static_cast<std::uint32_t>(image.width));
    const auto height = static_cast<std::size_t>(static_cast<std::uint32_t>(image.height));
    for (std::size_t row = 0; row < height; ++row) {
        const std::uint8_t* in = image.pixels.get() + (height - 1 - row) * width * 3;
        for (std::size_t x = 0; x < width; ++x) out[row * width + x] = in[x * 3];
    }
}

}  // namespace ternwick
