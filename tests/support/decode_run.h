// One whole decode as the command runs it: a fresh context that stops at the
// first symbol, the decoder's diagnostics kept out of the test's output, and
// the symbols released afterwards.
#pragma once

#include <memory>
#include <string>

#include "driver/decode_driver.h"
#include "driver/decode_trace.h"
#include "image/image_buffer.h"

namespace ternwick::testing {

struct DecodeRun {
    int result = -1;  // what decodeImageFile / decodeLoadedImage returned
    ResultFields fields;
    DecodeTrace trace;  // filled when asked for
};

std::unique_ptr<DecodeRun> decodeFileOnce(const std::string& path, bool traced = false);
std::unique_ptr<DecodeRun> decodePictureOnce(ImageBuffer image, bool traced = false);

}  // namespace ternwick::testing
