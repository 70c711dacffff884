// Runs one picture file through the whole decoder and fills the result fields.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/failure.h"
#include "driver/decode_context.h"
#include "driver/symbol_corners.h"
#include "message/message_info.h"

namespace ternwick {

// The load failure text shown in the ASCII field.
inline constexpr const char* kLoadFailureText =
    "Unable to load image file. 请使用png 或 bmp(24位/单色/16色/256色,非压缩格式)";

// The most message bytes the text and hexadecimal fields show.
inline constexpr int kShownMessageBytes = 12;

// What one decode reports. The first four texts and startTick are the fields
// the dialog shows; the rest is kept for the command line.
struct ResultFields {
    std::string statusText;
    std::string schemeText;
    std::string asciiText;
    std::string hexText;
    std::int32_t startTick = 0;

    bool decoded = false;               // a symbol was decoded
    std::int32_t symbolSize = 0;        // its modules per side (rows of a rectangle), 0 when none
    std::int32_t symbolColumns = 0;     // its modules from left to right (0: as symbolSize)
    std::vector<std::uint8_t> message;  // its whole message
    std::vector<PicturePoint> corners;  // its four corners (see symbolCorners), empty when none
    MessageInfo messageInfo;            // GS1, ECI, structured append, ... of its message
    std::string gs1Hri;                 // the GS1 human-readable form, empty when not GS1 or malformed
    double loadMs = 0.0;                // loading the file
    double decodeMs = 0.0;              // everything after loading
    Failure loadError;                    // why the picture could not be loaded or searched
    // A decode asked for more than one symbol: the fields of the second and
    // later symbols, in the order the search found them (their own
    // furtherSymbols empty).
    std::vector<ResultFields> furtherSymbols;
};

enum class ImageFileKind { NotAccepted, Png, Bmp };

// How the driver treats a path: by its last four characters, any letter case,
// and only when the path has at least five characters.
ImageFileKind imageFileKind(const std::string& path);

// Where the decoder's diagnostics go for the whole program: nowhere (the
// default), standard output with system errors on standard error (as the
// dialog prints them), or all of them on standard error (as the command,
// whose standard output carries only results). Called once at program start.
enum class DiagnosticsTarget { Silent, StandardStreams, StandardError };
void sendDiagnosticsTo(DiagnosticsTarget target);

// Milliseconds of a monotonic clock; only differences of two readings mean anything.
std::int32_t tickCount();

// Milliseconds from one tickCount() reading to a later one, also across the
// counter's wrap.
std::int32_t elapsedTicks(std::int32_t startTick, std::int32_t endTick);

// A time as the dialog and the command show it, such as "3ms".
std::string millisecondsText(std::int32_t milliseconds);

// 0 when the path was not accepted (no field changed) or the decode ran
// through; 1 when the picture could not be loaded or searched (loadError says why).
// maxSymbols above 1 searches for every distinct symbol, up to that many.
int decodeImageFile(ResultFields& fields, DecodeContext& context, std::string path, int maxSymbols = 1);

// The driver's steps after loading, on the picture already in context.image
// (width, height and pixels set): the search, the result fields, and, after
// the timed part, the picture put aside (context.image left without pixels;
// the context's next picture reuses them). Returns what decodeImageFile returns.
// Programs that have a picture in memory call this directly; its pixels must
// hold width * height bytes, laid out as the loaders lay them out. A
// picture no loader would give (no pixels, a dimension of 0 or below, more
// than kMaxImagePixels pixels) is released and reported like a file that
// cannot be loaded.
int decodeLoadedImage(ResultFields& fields, DecodeContext& context, int maxSymbols = 1);

// decodeLoadedImage on a picture of one grey byte a pixel, rows top-down,
// stride width (as loadPicture gives it), copied into context.image first.
// A picture that cannot be copied (no data, a side of 0 or below, too many
// pixels, no memory) is reported like a file that cannot be loaded.
int decodeGreyPicture(ResultFields& fields, DecodeContext& context, const std::uint8_t* grey, int width, int height,
                      int maxSymbols = 1);

// Loads a picture by its content (see image/picture_loader.h), from the file
// at path or, with data, from size bytes in memory, into context.image,
// reusing the pixels of the context's previous picture. 1 when loaded, for
// decodeLoadedImage; 0 with the reason in error. Exhausted memory is
// reported as such, never thrown. The loaders' own messages are not passed
// on to the diagnostics.
int loadIntoContext(DecodeContext& context, const std::string& path, Failure& error);
int loadIntoContext(DecodeContext& context, const std::uint8_t* data, std::size_t size, Failure& error);

// The grey bytes of the picture in context.image, rows top-down, as
// loadPicture gives them.
std::vector<std::uint8_t> pictureGrey(const DecodeContext& context);

// Name of the encodation scheme announced by a first codeword, or nullptr.
const char* schemeName(std::uint8_t firstCodeword);

}  // namespace ternwick
