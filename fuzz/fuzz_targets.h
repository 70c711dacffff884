// Entry functions of the fuzz targets. Each takes one input of arbitrary bytes,
// runs a part of the decoder on it and returns 0; it aborts when the decoder
// breaks one of the promises the target checks. libFuzzer programs call them
// from LLVMFuzzerTestOneInput, and the tests replay the committed inputs
// through them.
#pragma once

#include <cstddef>
#include <cstdint>

namespace ternwick::fuzz {

// loadBmpMemory on the input as a BMP file, and the reader of every BMP
// variant on it too.
int fuzzBmpLoader(const std::uint8_t* data, std::size_t size);

// loadPngMemory on the input as a PNG file, its chunk checksums made right
// first so that the fuzzer reaches past them.
int fuzzPngLoader(const std::uint8_t* data, std::size_t size);

// loadJpegMemory on the input as a JPEG file.
int fuzzJpegLoader(const std::uint8_t* data, std::size_t size);

// The whole decode of a small picture: byte 0 the width, byte 1 the height
// (each taken modulo kMaxPictureSide + 1; 0 gives no picture), then the grey
// levels row by row from the bottom row; missing pixels are white.
int fuzzDecodePicture(const std::uint8_t* data, std::size_t size);
inline constexpr int kMaxPictureSide = 128;

// Placement, Reed-Solomon correction and message decoding for every size.
// Byte 0 picks the size (modulo 24); bit 0 of byte 1 the form of the rest:
// 0 - a mapping matrix, one bit a module row by row (set: the finder's
//     colour), then byte pairs (row, column) of modules sampled outside the
//     picture;
// 1 - the data codewords, then triples (position high, position low, value)
//     that change the coded stream: value 0 erases the codeword, any other
//     value is XORed into it.
int fuzzCodewordLayer(const std::uint8_t* data, std::size_t size);

// readSymbols on a caller's picture: byte 0 picks the pixel format (modulo
// 5), bytes 1 and 2 the width and height (each modulo kMaxPictureSide + 1),
// byte 3 the stride and form (see the target), then the picture's bytes.
int fuzzReadSymbols(const std::uint8_t* data, std::size_t size);

// A target by name, as the corpus and reproducer folders are named.
struct FuzzTarget {
    const char* name;
    int (*entry)(const std::uint8_t* data, std::size_t size);
};
inline constexpr FuzzTarget kFuzzTargets[] = {
    {"bmp_loader", fuzzBmpLoader},
    {"png_loader", fuzzPngLoader},
    {"jpeg_loader", fuzzJpegLoader},
    {"decode_picture", fuzzDecodePicture},
    {"codeword_layer", fuzzCodewordLayer},
    {"read_symbols", fuzzReadSymbols},
};

// Stops the process with a message when a checked promise does not hold.
void fuzzCheck(bool holds, const char* promise);

}  // namespace ternwick::fuzz
