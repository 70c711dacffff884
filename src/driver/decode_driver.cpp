#include "driver/decode_driver.h"

#include <algorithm>
#include <chrono>
#include <new>

#include "core/diagnostics.h"
#include "core/hex_text.h"
#include "driver/symbol_search.h"
#include "image/bmp_reader.h"
#include "image/picture_loader.h"
#include "image/pixel_import.h"
#include "image/png_loader.h"
#include "message/gs1_element_strings.h"

namespace ternwick {
namespace {

using Clock = std::chrono::steady_clock;

double millisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// The fields of a picture that could not be loaded or searched.
void reportFailure(ResultFields& fields, bool showLoadFailure) {
    fields.statusText = "Failed!";
    if (showLoadFailure) fields.asciiText = kLoadFailureText;
}

// The fields of the first symbol found.
void reportSymbol(ResultFields& fields, const SymbolResult& symbol, const MessageInfo& info, int pictureHeight) {
    const std::int32_t length = std::clamp(symbol.messageLength, 0, symbol.messageCapacity);
    if (symbol.codewords && symbol.codewordCount > 0) {
        if (const char* name = schemeName(symbol.codewords[0])) {
            fields.statusText = "Success!";
            fields.schemeText = name;
        }
    }
    const std::int32_t shown = std::min<std::int32_t>(length, kShownMessageBytes);
    const std::uint8_t* bytes = symbol.message.get();
    std::string text;
    for (std::int32_t i = 0; i < shown && bytes[i] != 0; ++i) text += static_cast<char>(bytes[i]);
    fields.asciiText = text;
    fields.hexText = hexOf(bytes, static_cast<std::size_t>(shown));
    fields.decoded = true;
    fields.symbolSize = symbolRows(symbol);
    fields.symbolColumns = symbolColumns(symbol);
    fields.message.assign(bytes, bytes + length);
    fields.messageInfo = info;
    fields.gs1Hri = gs1HumanReadableOf(info, bytes, length);
    const std::array<PicturePoint, 4> corners = symbolCorners(symbol, pictureHeight);
    fields.corners.assign(corners.begin(), corners.end());
}

// Puts the picture's pixels aside for the next picture of the context (the
// image is left empty), or takes them back.
void setPictureAside(DecodeContext& context) {
    context.sparePixels.pixels = std::move(context.image.pixels);
    context.sparePixels.capacity = context.image.capacity;
    releaseImage(&context.image);
    context.image.width = 0;
    context.image.height = 0;
}

void takePictureBack(DecodeContext& context) {
    if (context.image.pixels || !context.sparePixels.pixels) return;
    context.image.pixels = std::move(context.sparePixels.pixels);
    context.image.capacity = context.sparePixels.capacity;
    context.sparePixels.capacity = 0;
}

}  // namespace

void sendDiagnosticsTo(DiagnosticsTarget target) {
    static StandardDiagnosticSink standardStreams;
    static StandardErrorDiagnosticSink standardError;
    switch (target) {
        case DiagnosticsTarget::Silent: setDiagnosticSink(nullptr); break;
        case DiagnosticsTarget::StandardStreams: setDiagnosticSink(&standardStreams); break;
        case DiagnosticsTarget::StandardError: setDiagnosticSink(&standardError); break;
    }
}

std::int32_t tickCount() {
    const auto now = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now().time_since_epoch());
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(now.count()));
}

std::int32_t elapsedTicks(std::int32_t startTick, std::int32_t endTick) {
    // Tick differences wrap around with the counter; unsigned arithmetic keeps them defined.
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(endTick) - static_cast<std::uint32_t>(startTick));
}

std::string millisecondsText(std::int32_t milliseconds) { return std::to_string(milliseconds) + "ms"; }

const char* schemeName(std::uint8_t firstCodeword) {
    switch (firstCodeword) {
        case 224: return "AsciiStd";
        case 230: return "C40 Latch";
        case 231: return "Base256 Latch";
        case 235: return "Upper Shift Latch";
        case 238: return "X12 Latch";
        case 239: return "Text Latch";
        case 240: return "EDIFACT Latch";
        default: return nullptr;
    }
}

ImageFileKind imageFileKind(const std::string& path) {
    if (path.size() < 5) return ImageFileKind::NotAccepted;
    std::string tail = path.substr(path.size() - 4);
    for (char& c : tail) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    if (tail == ".png") return ImageFileKind::Png;
    if (tail == ".bmp") return ImageFileKind::Bmp;
    return ImageFileKind::NotAccepted;
}

namespace {

int decodePicture(ResultFields& fields, DecodeContext& context, int maxSymbols) {
    const auto decodeStart = Clock::now();
    fields.startTick = tickCount();
    context.flags = StopAtFirstSymbol;
    if (maxSymbols > 1) {
        context.flags = AllSymbols;
        context.symbolLimit = maxSymbols;
    }
    const Failure searched = searchPicture(context);
    int status = 0;
    if (searched.code == FailureKind::InvalidArgument || searched.code == FailureKind::TooLarge) {
        // Nothing a loader would have accepted.
        fields.loadError = searched;
        reportFailure(fields, true);
        status = 1;
    } else if (context.symbolCount > 0) {
        reportSymbol(fields, context.symbols[0], context.messages[0], context.image.height);
        releaseSymbolBuffers(context.symbols[0]);
        for (std::int32_t i = 1; i < context.symbolCount; ++i) {
            SymbolResult& further = context.symbols[static_cast<std::size_t>(i)];
            fields.furtherSymbols.emplace_back();
            reportSymbol(fields.furtherSymbols.back(), further, context.messages[static_cast<std::size_t>(i)],
                         context.image.height);
            releaseSymbolBuffers(further);
        }
    } else {
        reportFailure(fields, false);
        fields.schemeText = "";
        fields.asciiText = "";
        if (searched.failed()) {
            fields.loadError = searched;
            status = 1;
            // Memory running out shows as a picture that could not be loaded.
            if (searched.code == FailureKind::OutOfMemory) fields.asciiText = kLoadFailureText;
        }
    }
    fields.decodeMs = millisecondsSince(decodeStart);
    // Outside the timed part: the pixels stay with the context for its next picture.
    setPictureAside(context);
    return status;
}

int decodeFile(ResultFields& fields, DecodeContext& context, const std::string& path, int maxSymbols) {
    const ImageFileKind kind = imageFileKind(path);
    if (path.size() < 5) return 0;
    // The picture's diagnostics reach the program's sink in one go, when the decode is over.
    BufferedDiagnosticSink buffered(diagnostics());
    ScopedDiagnosticSink scope(buffered);

    context.flags = StopAtFirstSymbol;
    setPictureAside(context);
    releaseSymbols(context);

    if (kind == ImageFileKind::NotAccepted) return 0;

    const auto loadStart = Clock::now();
    takePictureBack(context);
    const int loaded = kind == ImageFileKind::Png ? loadPngImage(context.image, path, &fields.loadError)
                                                  : loadBmpImage(context.image, path, &fields.loadError);
    fields.loadMs = millisecondsSince(loadStart);
    if (loaded != 1) {
        reportFailure(fields, true);
        return 1;
    }
    return decodePicture(fields, context, maxSymbols);
}

// Exhausted memory in the middle of a step: the picture is let go and the
// decode ends as a failure, never as the end of the process.
template <typename Step>
int guarded(ResultFields& fields, DecodeContext& context, const Step& step) {
    try {
        return step();
    } catch (const std::bad_alloc&) {
        releaseSymbols(context);
        releaseImage(&context.image);
        reportFailure(fields, true);
        fields.loadError = failure(FailureKind::OutOfMemory);
        return 1;
    }
}

}  // namespace

int decodeImageFile(ResultFields& fields, DecodeContext& context, std::string path, int maxSymbols) {
    return guarded(fields, context, [&] { return decodeFile(fields, context, path, maxSymbols); });
}

int decodeLoadedImage(ResultFields& fields, DecodeContext& context, int maxSymbols) {
    return guarded(fields, context, [&] { return decodePicture(fields, context, maxSymbols); });
}

namespace {

template <typename Load>
int loadReusingPixels(DecodeContext& context, Failure& error, const Load& load) {
    try {
        setPictureAside(context);
        releaseSymbols(context);
        takePictureBack(context);
        SilentDiagnosticSink silent;
        ScopedDiagnosticSink scoped(silent);
        return load();
    } catch (const std::bad_alloc&) {
        releaseImage(&context.image);
        error = failure(FailureKind::OutOfMemory);
        return 0;
    }
}

}  // namespace

int loadIntoContext(DecodeContext& context, const std::string& path, Failure& error) {
    return loadReusingPixels(context, error, [&] { return loadPictureFile(context.image, path, error); });
}

int loadIntoContext(DecodeContext& context, const std::uint8_t* data, std::size_t size, Failure& error) {
    return loadReusingPixels(context, error, [&] { return loadPictureBytes(context.image, data, size, error); });
}

std::vector<std::uint8_t> pictureGrey(const DecodeContext& context) {
    std::vector<std::uint8_t> grey(static_cast<std::size_t>(context.image.width) *
                                   static_cast<std::size_t>(context.image.height));
    exportGrey(context.image, grey.data());
    return grey;
}

int decodeGreyPicture(ResultFields& fields, DecodeContext& context, const std::uint8_t* grey, int width, int height,
                      int maxSymbols) {
    return guarded(fields, context, [&] {
        releaseSymbols(context);
        const Failure imported = importPixels(context.image, grey, width, height, width, PixelLayout::Grey);
        if (imported.failed()) {
            releaseImage(&context.image);
            fields.loadError = imported;
            reportFailure(fields, true);
            return 1;
        }
        return decodePicture(fields, context, maxSymbols);
    });
}

}  // namespace ternwick
