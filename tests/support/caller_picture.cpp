#include "support/caller_picture.h"

namespace ternwick::testing {

CallerPicture callerPicture(const ImageBuffer& image, PixelFormat format, int padding) {
    const int pixelBytes = bytesPerPixel(format);
    const std::ptrdiff_t stride = static_cast<std::ptrdiff_t>(image.width) * pixelBytes + padding;
    CallerPicture out;
    out.bytes.assign(static_cast<std::size_t>(stride) * image.height, 0xEE);
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x) {
            const std::uint8_t grey = greyAt(image, x, image.height - 1 - y);
            std::uint8_t* p = out.bytes.data() + y * stride + x * pixelBytes;
            for (int c = 0; c < pixelBytes; ++c) p[c] = grey;
            if (pixelBytes == 4) p[3] = 0x7F;  // alpha, last in both RGBA and BGRA, ignored
        }
    }
    out.view = {out.bytes.data(), image.width, image.height, stride, format};
    return out;
}

}  // namespace ternwick::testing
