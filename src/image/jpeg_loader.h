// Loads a JPEG picture (baseline or progressive, grey or colour) straight to
// grey through libjpeg-turbo: the decoder keeps the luminance and drops the
// colour. CMYK pictures are refused, since the library turns them into grey
// only through a colour model it does not know.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/failure.h"
#include "image/byte_source.h"
#include "image/image_buffer.h"

namespace ternwick {

// Largest JPEG file read into memory, in bytes.
inline constexpr std::uint64_t kMaxJpegFileBytes = std::uint64_t{1} << 28;

// 1 with pixels (reused when large enough), width, height and scale 1.0 set;
// 0 with no pixels (and the reason in error, when given).
int loadJpegSource(ImageBuffer& image, ByteSource& source, Failure* error = nullptr);
int loadJpegMemory(ImageBuffer& image, const std::uint8_t* data, std::size_t size, Failure* error = nullptr);

}  // namespace ternwick
