// Loads an uncompressed Windows BMP (1, 4, 8, 16 or 24 bits a pixel) as a grey
// picture, rows bottom-up.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "core/failure.h"
#include "image/byte_source.h"
#include "image/image_buffer.h"

namespace ternwick {

// The bytes between the 14-byte file header and the pixel array: the
// information header and the palette.
struct BmpHeaderBlock {
    std::unique_ptr<std::uint8_t[]> bytes;
    std::size_t size = 0;
};

// Reads the headers and the pixel array and converts them; returns the grey
// pixels (width * |height| * 3 bytes) and hands over the header block, or
// returns nothing (and says why in error, when given).
std::unique_ptr<std::uint8_t[]> readBmpFile(const std::string& path, BmpHeaderBlock& header, Failure* error = nullptr);
std::unique_ptr<std::uint8_t[]> readBmpSource(ByteSource& source, BmpHeaderBlock& header, Failure* error = nullptr);

// Turns a pixel array of the layout the header block describes into grey
// pixels, or nothing (unsupported depth or compression, palette index beyond
// the palette, allocation failure). pixelArraySize must be at least |height|
// rows of the file's row stride.
std::unique_ptr<std::uint8_t[]> convertBmpPixels(const BmpHeaderBlock& header, const std::uint8_t* pixelArray,
                                                 std::size_t pixelArraySize, Failure* error = nullptr);

// 1 with pixels, width, height and scale 1.0 set; 0 with no pixels (and the
// reason in error, when given).
int loadBmpImage(ImageBuffer& image, const std::string& path, Failure* error = nullptr);
int loadBmpSource(ImageBuffer& image, ByteSource& source, Failure* error = nullptr);
int loadBmpMemory(ImageBuffer& image, const std::uint8_t* data, std::size_t size, Failure* error = nullptr);

}  // namespace ternwick
