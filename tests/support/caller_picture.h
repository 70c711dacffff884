// A caller's picture of any pixel format and row padding, made from a test
// picture, as programs hand pictures to readSymbols.
#pragma once

#include <vector>

#include "image/image_buffer.h"
#include "ternwick/ternwick.h"

namespace ternwick::testing {

struct CallerPicture {
    std::vector<std::uint8_t> bytes;
    ImageView view;  // into bytes, rows top-down
};

// Every channel of a pixel holds its grey level, but an alpha channel 0x7F;
// the padding bytes hold 0xEE.
CallerPicture callerPicture(const ImageBuffer& image, PixelFormat format, int padding);

}  // namespace ternwick::testing
