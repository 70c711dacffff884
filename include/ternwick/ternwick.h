// Ternwick: reads ECC200 Data Matrix symbols from pictures.
//
//     #include <ternwick/ternwick.h>
//
//     ternwick::LoadResult loaded = ternwick::loadPicture("label.png");
//     if (!loaded) { /* loaded.error.reason says why */ }
//     ternwick::ReadResult read = ternwick::readSymbols(loaded.picture.view());
//     for (const ternwick::Symbol& symbol : read.symbols) { /* symbol.bytes, symbol.corners, ... */ }
//
// Everything here is a value: no call prints, ends the process or keeps state
// between calls, so any number of threads may read pictures at once.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ternwick {

// The library's version, such as "0.2.0".
const char* version();

// ---------------------------------------------------------------- errors

enum class ErrorCode {
    None,
    InvalidArgument,    // a picture description or option that makes no sense
    FileNotFound,
    PermissionDenied,
    NotARegularFile,    // a directory, FIFO, socket or device
    ReadFailed,         // the system could not read the file
    UnsupportedFormat,  // not a picture this library reads, or a variant of one it does not
    Truncated,          // the data ends before the picture does
    Corrupt,            // the data contradicts itself
    TooLarge,           // more than kMaxPicturePixels pixels
    OutOfMemory,
};

// A short description of the kind, such as "no such file".
const char* describe(ErrorCode code);

struct Error {
    ErrorCode code = ErrorCode::None;
    std::string reason;  // one line in English, such as "truncated PNG data"

    explicit operator bool() const { return code != ErrorCode::None; }
};

// ---------------------------------------------------------------- pictures

enum class PixelFormat {
    Grey,  // one byte a pixel
    RGB,   // three bytes a pixel, red first
    BGR,
    RGBA,  // four bytes a pixel, the fourth (alpha) ignored
    BGRA,
};

// Bytes a pixel of the format: 1, 3 or 4.
int bytesPerPixel(PixelFormat format);

// Pictures above this many pixels are refused.
inline constexpr std::uint64_t kMaxPicturePixels = std::uint64_t{1} << 26;

// A picture the caller owns, rows top-down. The library reads it during the
// call only and never writes to it.
struct ImageView {
    const std::uint8_t* data = nullptr;
    int width = 0;
    int height = 0;
    std::ptrdiff_t stride = 0;  // bytes from one row to the next; at least width * bytesPerPixel(format)
    PixelFormat format = PixelFormat::Grey;
};

// A picture the library loaded: one grey byte a pixel, rows top-down, no padding.
struct Picture {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> grey;

    ImageView view() const { return {grey.data(), width, height, width, PixelFormat::Grey}; }
};

struct LoadResult {
    Picture picture;
    Error error;

    explicit operator bool() const { return !error; }
};

// Loads a PNG, BMP or JPEG picture, recognised by its first bytes whatever
// the file is called. Only regular files are opened. BMPs may be uncompressed
// (1 to 32 bits a pixel) or bit-field pictures of 16 or 32 bits; JPEGs are
// decoded straight to grey (CMYK ones are refused).
LoadResult loadPicture(const std::string& path);
LoadResult loadPictureMemory(const std::uint8_t* data, std::size_t size);

// ---------------------------------------------------------------- reading

// A point of the picture: the origin is the top-left corner of the top-left
// pixel, x to the right and y downwards, in pixels.
struct Point {
    double x = 0.0;
    double y = 0.0;
};

// An extended channel interpretation (a character set, for example) in force
// from one message byte on.
struct Eci {
    std::uint32_t value = 0;   // 0..999999: 3 is ISO 8859-1, 26 UTF-8, ...
    std::size_t position = 0;  // index into Symbol::bytes of the first byte it applies to
};

// The symbol's place in a series of symbols whose messages join into one.
struct StructuredAppend {
    int position = 0;  // 1..total
    int total = 0;     // 2..16
    int fileId1 = 0;   // 1..254; the pair is the same for every symbol of the series
    int fileId2 = 0;   // 1..254
};

struct Symbol {
    // The whole decoded message. GS1 fields of variable length end with the
    // group separator 0x1D; a macro 05/06 symbol's bytes carry the header
    // "[)>" RS "05" GS (or "06") and the trailer RS EOT it stands for.
    std::vector<std::uint8_t> bytes;
    int rows = 0;                     // modules, finder and clock included: square,
    int columns = 0;                  // rectangular (8x18 to 16x48) and DMRE (8x48 to 26x64) sizes
    std::string scheme;               // what the first codeword announces ("C40 Latch", ...), or empty
    // The symbol's corners in the picture, in the order top-left, top-right,
    // bottom-right, bottom-left of the upright symbol, whose solid finder
    // sides are its left and bottom sides (of a mirrored symbol: as its
    // mirror image shows it).
    std::array<Point, 4> corners{};
    bool mirrored = false;            // read from its mirror image (through glass, the back of film)
    int pass = 0;                     // the search pass that found it: 1, 2, ...
    int correctedErrors = 0;          // codewords error correction changed
    int erasures = 0;                 // codewords read as unknown (outside the picture)

    // The symbology identifier a reader sends before the message: "]d1"
    // plain, "]d2" GS1, "]d3" AIM (FNC1 after one letter or digit pair),
    // "]d4" to "]d6" the same three with ECI.
    std::string symbologyId;
    bool gs1 = false;                 // the message is GS1 element strings
    std::string gs1Hri;               // their human-readable form, "(01)09501101530003(10)ABC123";
                                      // empty when not GS1 or not well-formed GS1
    std::vector<Eci> eci;             // in message order, empty when none
    std::optional<StructuredAppend> structuredAppend;
    bool readerProgramming = false;   // a symbol that programs the reader
    int macro = 0;                    // 5 or 6 for a macro 05/06 symbol, otherwise 0
    // Empty when the codeword stream was whole. Otherwise why decoding stopped
    // early (the data ended inside an ECI value, a structured-append header
    // or a Base256 field, or broke the encodation rules); bytes then hold the
    // message up to that point.
    std::string messageFault;
};

// The most symbols one call returns, whatever maxSymbols asks for.
inline constexpr int kSymbolCap = 1000;

struct ReaderOptions {
    // The most symbols to return; 1 stops at the first symbol found. Above 1
    // the search runs over the whole picture and returns every distinct
    // symbol once (up to kSymbolCap).
    int maxSymbols = 1;
    // A limit on the time one call may spend searching, in milliseconds
    // (0: none). The search stops where it is once the time is up.
    double timeBudgetMs = 0.0;
    // Work one search pass may spend, in units of about one pixel read
    // (0: the library's default, which keeps busy pictures within about a
    // second).
    std::int64_t workBudget = 0;
    // Receives the decoder's diagnostic texts, one piece at a time; without
    // it they go nowhere.
    std::function<void(std::string_view)> diagnostics;
};

struct ReadResult {
    std::vector<Symbol> symbols;  // in the order the search found them
    Error error;                  // set when the picture or options were refused, or memory ran out

    explicit operator bool() const { return !error; }
};

// Finds and decodes the symbols in the picture.
ReadResult readSymbols(const ImageView& image, const ReaderOptions& options = {});

}  // namespace ternwick
