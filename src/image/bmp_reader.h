// Loads an uncompressed Windows BMP (1, 4, 8, 16 or 24 bits a pixel) as a grey
// picture, rows bottom-up; on request also 32-bit and bit-field pictures.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "core/failure.h"
#include "image/byte_source.h"
#include "image/image_buffer.h"

namespace ternwick {

// The files read: Classic is the uncompressed 1, 4, 8, 16 and 24-bit files the
// dialog reads (16-bit channels used as they stand, 0..31); Extended adds
// uncompressed 32-bit files and bit-field files of 16 and 32 bits (RGB565,
// RGB555, 8-8-8-8 and any masks of 1 to 8 contiguous bits), whose channels
// are scaled to 0..255. Run-length files are refused either way.
enum class BmpVariants { Classic, Extended };

// The bytes between the 14-byte file header and the pixel array: the
// information header and the palette.
struct BmpHeaderBlock {
    std::unique_ptr<std::uint8_t[]> bytes;
    std::size_t size = 0;
};

// Reads the headers and the pixel array and converts them; returns the grey
// pixels (width * |height| bytes, rows bottom-up) and hands over the header block, or
// returns nothing (and says why in error, when given).
std::unique_ptr<std::uint8_t[]> readBmpFile(const std::string& path, BmpHeaderBlock& header, Failure* error = nullptr);
std::unique_ptr<std::uint8_t[]> readBmpSource(ByteSource& source, BmpHeaderBlock& header, Failure* error = nullptr,
                                              BmpVariants variants = BmpVariants::Classic);

// Turns a pixel array of the layout the header block describes into grey
// pixels, or nothing (unsupported depth or compression, palette index beyond
// the palette, allocation failure). pixelArraySize must be at least |height|
// rows of the file's row stride.
std::unique_ptr<std::uint8_t[]> convertBmpPixels(const BmpHeaderBlock& header, const std::uint8_t* pixelArray,
                                                 std::size_t pixelArraySize, Failure* error = nullptr,
                                                 BmpVariants variants = BmpVariants::Classic);

// 1 with pixels, width, height and scale 1.0 set; 0 with no pixels (and the
// reason in error, when given).
int loadBmpImage(ImageBuffer& image, const std::string& path, Failure* error = nullptr);
int loadBmpSource(ImageBuffer& image, ByteSource& source, Failure* error = nullptr,
                  BmpVariants variants = BmpVariants::Classic);
int loadBmpMemory(ImageBuffer& image, const std::uint8_t* data, std::size_t size, Failure* error = nullptr);

}  // namespace ternwick
