// Test pictures: BMP and PNG files built byte by byte, and scratch files.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "image/image_buffer.h"

namespace ternwick::testing {

// A BMP file. pixel(x, yTop) gives the stored value of the pixel in column x,
// row yTop counted from the top of the picture: a palette index for 1, 4 and 8
// bits, 0xRRGGBB for 24 bits, the raw word for 16 and 32 bits.
struct BmpLayout {
    std::int32_t width = 1;
    std::int32_t height = 1;           // always positive here; see topDown
    std::uint16_t bitCount = 24;
    std::vector<std::uint32_t> palette;  // 0xRRGGBB entries
    bool topDown = false;
    std::uint32_t infoHeaderSize = 40;
    std::uint32_t compression = 0;
    std::vector<std::uint32_t> masks;  // red, green, blue bit fields, written after the 40-byte header
    std::function<std::uint32_t(int x, int yTop)> pixel;
};
std::vector<std::uint8_t> makeBmp(const BmpLayout& layout);

// Row stride of a BMP row.
std::uint32_t bmpStride(std::int32_t width, int bitCount);

// A PNG file written by the PNG library. rows are given top row first, each
// packed as the file stores it (samples of bitDepth bits, big-endian for 16).
struct PngLayout {
    std::uint32_t width = 1;
    std::uint32_t height = 1;
    int colourType = 2;   // PNG_COLOR_TYPE_*
    int bitDepth = 8;
    std::vector<std::vector<std::uint8_t>> rows;
    std::vector<std::uint32_t> palette;       // 0xRRGGBB
    std::vector<std::uint8_t> transparency;   // tRNS alpha of the palette entries
    bool interlaced = false;
};
std::vector<std::uint8_t> makePng(const PngLayout& layout);

// A grey ImageBuffer written as an 8-bit grey PNG or a 24-bit BMP.
std::vector<std::uint8_t> greyImageToPng(const ImageBuffer& image);
std::vector<std::uint8_t> greyImageToBmp(const ImageBuffer& image);

// A grey ImageBuffer as a JPEG written by libjpeg-turbo: grey, colour
// (the grey level in every channel), progressive colour, or CMYK.
enum class JpegStyle { Grey, Colour, Progressive, Cmyk };
std::vector<std::uint8_t> greyImageToJpeg(const ImageBuffer& image, JpegStyle style, int quality = 95);

// A grey picture (rows bottom-up, as the decoder keeps them) from a function
// of (x, y) with y counted from the bottom.
ImageBuffer makeGreyImage(int width, int height, const std::function<std::uint8_t(int x, int y)>& grey);

// A fresh folder for the calling test under the build's test output folder.
std::string scratchDirectory();
void writeFile(const std::string& path, const std::vector<std::uint8_t>& bytes);
std::vector<std::uint8_t> readFile(const std::string& path);

}  // namespace ternwick::testing
