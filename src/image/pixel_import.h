// Turns a caller's picture (any stride, grey or colour, rows top-down) into
// the decoder's working picture.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/failure.h"
#include "image/image_buffer.h"

namespace ternwick {

enum class PixelLayout { Grey, RGB, BGR, RGBA, BGRA };

// Bytes a pixel of the layout.
int bytesPerPixelOf(PixelLayout layout);

// Fills image with the picture's grey levels (colour pixels weighted and
// rounded as the PNG loader does). Refuses a null pointer, a side of 0 or
// below, a stride shorter than a row, and pictures above kMaxImagePixels.
Failure importPixels(ImageBuffer& image, const std::uint8_t* data, int width, int height, std::ptrdiff_t stride,
                     PixelLayout layout);

// The grey levels of the working picture, rows top-down, one byte a pixel.
void exportGrey(const ImageBuffer& image, std::uint8_t* out);

}  // namespace ternwick
