// Loads a PNG picture of any colour type as a grey picture, rows bottom-up.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "core/failure.h"
#include "image/byte_source.h"
#include "image/image_buffer.h"

namespace ternwick {

// 1 with width, height, pixels and scale 1.0 set; 0 on failure, with nothing
// held (and the reason in error, when given).
int loadPngImage(ImageBuffer& image, const std::string& path, Failure* error = nullptr);
int loadPngSource(ImageBuffer& image, ByteSource& source, Failure* error = nullptr);
int loadPngMemory(ImageBuffer& image, const std::uint8_t* data, std::size_t size, Failure* error = nullptr);

}  // namespace ternwick
