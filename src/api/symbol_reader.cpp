// The public reading API on top of the driver.
#include <algorithm>
#include <new>

#include "core/diagnostics.h"
#include "driver/decode_driver.h"
#include "driver/symbol_corners.h"
#include "driver/symbol_search.h"
#include "driver/timed_attempts.h"
#include "image/pixel_import.h"
#include "image/picture_loader.h"
#include "message/gs1_element_strings.h"
#include "ternwick/ternwick.h"

namespace ternwick {
namespace {

ErrorCode publicCode(FailureKind kind) {
    switch (kind) {
        case FailureKind::None: return ErrorCode::None;
        case FailureKind::InvalidArgument: return ErrorCode::InvalidArgument;
        case FailureKind::FileNotFound: return ErrorCode::FileNotFound;
        case FailureKind::PermissionDenied: return ErrorCode::PermissionDenied;
        case FailureKind::NotARegularFile: return ErrorCode::NotARegularFile;
        case FailureKind::ReadFailed: return ErrorCode::ReadFailed;
        case FailureKind::UnsupportedFormat: return ErrorCode::UnsupportedFormat;
        case FailureKind::Truncated: return ErrorCode::Truncated;
        case FailureKind::Corrupt: return ErrorCode::Corrupt;
        case FailureKind::TooLarge: return ErrorCode::TooLarge;
        case FailureKind::OutOfMemory: return ErrorCode::OutOfMemory;
    }
    return ErrorCode::Corrupt;
}

FailureKind internalKind(ErrorCode code) {
    for (int k = 0; k <= static_cast<int>(FailureKind::OutOfMemory); ++k) {
        if (publicCode(static_cast<FailureKind>(k)) == code) return static_cast<FailureKind>(k);
    }
    return FailureKind::None;
}

Error publicError(const Failure& failure) { return Error{publicCode(failure.code), failure.reason}; }

Error outOfMemory() { return publicError(failure(FailureKind::OutOfMemory)); }

PixelLayout layoutOf(PixelFormat format) {
    switch (format) {
        case PixelFormat::Grey: return PixelLayout::Grey;
        case PixelFormat::RGB: return PixelLayout::RGB;
        case PixelFormat::BGR: return PixelLayout::BGR;
        case PixelFormat::RGBA: return PixelLayout::RGBA;
        case PixelFormat::BGRA: return PixelLayout::BGRA;
    }
    return PixelLayout::Grey;
}

// Hands the decoder's diagnostics to the caller's function.
class CallbackSink final : public DiagnosticSink {
public:
    explicit CallbackSink(const std::function<void(std::string_view)>& receive) : receive_(receive) {}
    void write(std::string_view text) override { receive_(text); }
    void systemError(std::string_view label) override {
        receive_(label);
        receive_("\n");
    }
    void errorText(std::string_view text) override { receive_(text); }

private:
    const std::function<void(std::string_view)>& receive_;
};

Symbol publicSymbol(const SymbolResult& found, const MessageInfo& message, int pictureHeight) {
    Symbol symbol;
    const std::int32_t length = found.messageLength < 0 ? 0 : found.messageLength;
    symbol.bytes.assign(found.message.get(), found.message.get() + length);
    symbol.rows = symbolRows(found);
    symbol.columns = symbolColumns(found);
    if (found.codewords && found.codewordCount > 0) {
        if (const char* name = schemeName(found.codewords[0])) symbol.scheme = name;
    }
    const std::array<PicturePoint, 4> corners = symbolCorners(found, pictureHeight);
    for (std::size_t i = 0; i < corners.size(); ++i) symbol.corners[i] = {corners[i].x, corners[i].y};
    symbol.mirrored = found.mirrored != 0;
    symbol.pass = found.pass;
    symbol.correctedErrors = found.correctedCodewords;
    symbol.erasures = found.erasureCount;

    symbol.symbologyId = message.symbologyId();
    symbol.gs1 = message.gs1;
    symbol.gs1Hri = gs1HumanReadableOf(message, symbol.bytes.data(), symbol.bytes.size());
    for (const EciMark& mark : message.eci) {
        symbol.eci.push_back({mark.value, static_cast<std::size_t>(mark.position)});
    }
    if (const auto& sa = message.structuredAppend) {
        symbol.structuredAppend = StructuredAppend{sa->position, sa->total, sa->fileId1, sa->fileId2};
    }
    symbol.readerProgramming = message.readerProgramming;
    symbol.macro = message.macro;
    symbol.messageFault = messageFaultText(message.fault);
    return symbol;
}

ReadResult search(DecodeContext& context, const ReaderOptions& options) {
    ReadResult result;
    context.flags = options.maxSymbols == 1 ? StopAtFirstSymbol : AllSymbols;
    context.symbolLimit = std::min(options.maxSymbols, kSymbolCap);
    if (options.workBudget > 0) context.work.limit = options.workBudget;
    TimedAttempts timed(options.timeBudgetMs);
    if (options.timeBudgetMs > 0.0) context.attempts = &timed;
    const Failure searched = searchPicture(context);
    if (searched.failed()) result.error = publicError(searched);
    for (int i = 0; i < context.symbolCount; ++i) {
        const auto index = static_cast<std::size_t>(i);
        result.symbols.push_back(publicSymbol(context.symbols[index], context.messages[index], context.image.height));
    }
    releaseSymbols(context);
    return result;
}

// A picture through one of the loaders, handed over as one grey byte a pixel, rows top-down.
template <typename Load>
LoadResult loadedPicture(const Load& load) {
    LoadResult result;
    try {
        ImageBuffer image;
        Failure failed;
        SilentDiagnosticSink silent;
        ScopedDiagnosticSink scoped(silent);
        if (load(image, failed) != 1) {
            result.error = publicError(failed);
            return result;
        }
        result.picture.width = image.width;
        result.picture.height = image.height;
        result.picture.grey.resize(static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height));
        exportGrey(image, result.picture.grey.data());
    } catch (const std::bad_alloc&) {
        result.picture = Picture{};
        result.error = outOfMemory();
    }
    return result;
}

}  // namespace

const char* version() { return TERNWICK_VERSION; }

const char* describe(ErrorCode code) { return describe(internalKind(code)); }

int bytesPerPixel(PixelFormat format) { return bytesPerPixelOf(layoutOf(format)); }

ReadResult readSymbols(const ImageView& image, const ReaderOptions& options) {
    ReadResult result;
    if (options.maxSymbols < 1 || !(options.timeBudgetMs >= 0.0) || options.workBudget < 0) {
        result.error = publicError(failure(FailureKind::InvalidArgument, "invalid reader options"));
        return result;
    }
    try {
        std::unique_ptr<DecodeContext> context(new (std::nothrow) DecodeContext());
        if (!context) {
            result.error = outOfMemory();
            return result;
        }
        const Failure imported =
            importPixels(context->image, image.data, image.width, image.height, image.stride, layoutOf(image.format));
        if (imported.failed()) {
            result.error = publicError(imported);
            return result;
        }
        SilentDiagnosticSink silent;
        CallbackSink callback(options.diagnostics);
        ScopedDiagnosticSink scoped(options.diagnostics ? static_cast<DiagnosticSink&>(callback)
                                                        : static_cast<DiagnosticSink&>(silent));
        return search(*context, options);
    } catch (const std::bad_alloc&) {
        result.symbols.clear();
        result.error = outOfMemory();
        return result;
    }
}

LoadResult loadPicture(const std::string& path) {
    return loadedPicture([&](ImageBuffer& image, Failure& failed) { return loadPictureFile(image, path, failed); });
}

LoadResult loadPictureMemory(const std::uint8_t* data, std::size_t size) {
    return loadedPicture(
        [&](ImageBuffer& image, Failure& failed) { return loadPictureBytes(image, data, size, failed); });
}

}  // namespace ternwick
