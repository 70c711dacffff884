// Loads a picture whatever its file is called: the format is told by the
// first bytes (PNG signature, "BM" for a BMP, a start-of-image marker for a
// JPEG). BMPs are read with every variant the BMP reader knows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "core/failure.h"
#include "image/image_buffer.h"

namespace ternwick {

// 1 with the picture set; 0 with nothing held and the reason in error.
int loadPictureFile(ImageBuffer& image, const std::string& path, Failure& error);
int loadPictureBytes(ImageBuffer& image, const std::uint8_t* data, std::size_t size, Failure& error);

}  // namespace ternwick
