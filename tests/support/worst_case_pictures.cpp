#include "support/worst_case_pictures.h"

#include <random>

#include "support/picture_files.h"

namespace ternwick::testing {

ImageBuffer noisePicture(int width, int height, unsigned seed) {
    std::mt19937 random(seed);
    ImageBuffer image = makeGreyImage(width, height, [](int, int) { return 0; });
    const std::size_t pixels = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    for (std::size_t i = 0; i < pixels; ++i) {
        const auto grey = static_cast<std::uint8_t>(random() & 0xFFu);
        image.pixels[i] = grey;
    }
    return image;
}

ImageBuffer checkerboardPicture(int width, int height) {
    return makeGreyImage(width, height, [](int x, int y) { return (x + y) % 2 == 0 ? 0 : 255; });
}

ImageBuffer lShapesPicture(int width, int height, int legLength, int strokeWidth, int spacing) {
    return makeGreyImage(width, height, [=](int x, int y) {
        const int u = x % spacing;
        const int v = y % spacing;
        const bool vertical = u < strokeWidth && v < legLength;
        const bool horizontal = v < strokeWidth && u < legLength;
        return vertical || horizontal ? 0 : 255;
    });
}

}  // namespace ternwick::testing
