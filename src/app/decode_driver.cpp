#include "app/decode_driver.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <new>

#include "app/hex_text.h"
#include "image/bmp_reader.h"
#include "image/png_loader.h"
#include "locate/decode_trace.h"
#include "locate/scan_attempt.h"

namespace ternwick {
namespace {

constexpr ScanLineAttempts kDecoderAttempts{attemptScanLine, attemptScanLineSecondPass};

using Clock = std::chrono::steady_clock;

double millisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// The schedule's lines: column lines, then (if none yielded a symbol) row lines.
void scanLines(DecodeContext& context, int (*attempt)(DecodeContext&, int, int), std::uint32_t columnStep,
               std::uint32_t rowStep) {
    const auto width = static_cast<std::uint32_t>(context.image.width);
    const auto height = static_cast<std::uint32_t>(context.image.height);
    if (columnStep < width) {
        for (std::uint32_t x = columnStep; x < width; x += columnStep) {
            if (attempt(context, 1, static_cast<int>(x)) > 0) return;
        }
    }
    for (std::uint32_t y = rowStep; y < height; y += rowStep) {
        if (attempt(context, 8, static_cast<int>(y)) > 0) return;
    }
}

// One search pass, with its own allowance of work.
void runSchedule(DecodeContext& context, int (*attempt)(DecodeContext&, int, int), std::uint32_t columnStep,
                 std::uint32_t rowStep) {
    context.searchWork = 0;
    scanLines(context, attempt, columnStep, rowStep);
    if (context.trace != nullptr && context.searchWork >= context.searchWorkLimit) ++context.trace->passesCutShort;
}

}  // namespace

std::uint32_t scanStep(std::int32_t dimension) {
    // Below 10 pixels the step would be 0; step 1 keeps the schedule finite.
    const auto step = static_cast<std::uint32_t>(0.05 * static_cast<std::uint32_t>(dimension) + 0.5);
    return step == 0 ? 1 : step;
}

std::int32_t tickCount() {
    const auto now = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now().time_since_epoch());
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(now.count()));
}

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

int decodeImageFile(ResultFields& fields, DecodeContext& context, std::string path) {
    const ImageFileKind kind = imageFileKind(path);
    if (path.size() < 5) return 0;

    context.flags = 1;
    context.image.height = 0;
    context.image.width = 0;
    context.image.pixels.reset();
    context.image.scale = 1.0f;
    releaseSymbols(context);

    if (kind == ImageFileKind::NotAccepted) return 0;

    const auto loadStart = Clock::now();
    const int loaded = kind == ImageFileKind::Png ? loadPngImage(context.image, path)
                                                  : loadBmpImage(context.image, path);
    fields.loadMs = millisecondsSince(loadStart);
    if (loaded != 1) {
        fields.statusText = "Failed!";
        fields.asciiText = kLoadFailureText;
        return 1;
    }
    return decodeLoadedImage(fields, context);
}

int decodeLoadedImage(ResultFields& fields, DecodeContext& context) {
    const auto decodeStart = Clock::now();
    fields.startTick = tickCount();
    ImageBuffer& image = context.image;
    context.flags = 1;
    releaseSymbols(context);
    const auto pixelCount = static_cast<std::uint64_t>(static_cast<std::uint32_t>(image.width)) *
                            static_cast<std::uint32_t>(image.height);
    if (!image.pixels || image.width <= 0 || image.height <= 0 || pixelCount > kMaxImagePixels) {
        // Nothing a loader would have accepted.
        releaseImage(&image);
        fields.statusText = "Failed!";
        fields.asciiText = kLoadFailureText;
        return 1;
    }
    const std::size_t byteCount = static_cast<std::size_t>(static_cast<std::uint32_t>(image.width)) *
                                  static_cast<std::uint32_t>(image.height) * 3;

    std::unique_ptr<std::uint8_t[]> unfiltered(new (std::nothrow) std::uint8_t[byteCount]);
    if (!unfiltered) {
        releaseImage(&image);
        return 1;
    }
    if (byteCount > 0) std::memcpy(unfiltered.get(), image.pixels.get(), byteCount);

    if (medianPrefilter(image) == 0) {
        releaseImage(&image);
        return 1;
    }

    const std::uint32_t columnStep = scanStep(image.width);
    const std::uint32_t rowStep = scanStep(image.height);
    image.scale = 1.0f;
    const ScanLineAttempts& attempts = context.attempts != nullptr ? *context.attempts : kDecoderAttempts;

    runSchedule(context, attempts.firstPass, columnStep, rowStep);

    // The second pass works on the picture as loaded, at twice the sampling resolution.
    releaseImage(&image);
    image.pixels = std::move(unfiltered);

    if (context.symbolCount == 0) {
        image.scale = 2.0f;
        std::fill(std::begin(context.rejectedRows), std::end(context.rejectedRows), 0);
        std::fill(std::begin(context.rejectedColumns), std::end(context.rejectedColumns), 0);
        context.rejectedRowCount = 0;
        context.rejectedColumnCount = 0;
        runSchedule(context, attempts.secondPass, columnStep, rowStep);
    }

    if (context.symbolCount > 0) {
        SymbolResult& symbol = context.symbols[0];
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
        if (symbol.sizeIndex >= 0 && symbol.sizeIndex < kSymbolSizeCount) {
            fields.symbolSize = kSymbolSizes[symbol.sizeIndex].symbolSize;
        }
        fields.message.assign(bytes, bytes + length);
        releaseSymbolBuffers(symbol);
    } else {
        fields.statusText = "Failed!";
        fields.schemeText = "";
        fields.asciiText = "";
    }

    if (context.trace != nullptr) {
        context.trace->rejectedRows.assign(context.rejectedRows, context.rejectedRows + context.rejectedRowCount);
        context.trace->rejectedColumns.assign(context.rejectedColumns,
                                              context.rejectedColumns + context.rejectedColumnCount);
    }
    releaseImage(&image);
    fields.decodeMs = millisecondsSince(decodeStart);
    return 0;
}

}  // namespace ternwick
