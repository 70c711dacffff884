#include "driver/symbol_search.h"

#include <algorithm>

#include "driver/decode_trace.h"
#include "driver/further_search.h"
#include "driver/scan_attempt.h"
#include "locate/scan_line.h"

namespace ternwick {
namespace {

class DecoderAttempts final : public ScanLineAttempts {
public:
    int firstPass(DecodeContext& context, int direction, int lineIndex) override {
        return attemptScanLine(context, direction, lineIndex);
    }
    int secondPass(DecodeContext& context, int direction, int lineIndex) override {
        return attemptScanLineSecondPass(context, direction, lineIndex);
    }
};

// The schedule's lines: column lines, then (if none yielded a symbol) row
// lines. A search for all symbols runs over every line.
void scanLines(DecodeContext& context, ScanLineAttempts& attempts, SearchPass pass, std::uint32_t columnStep,
               std::uint32_t rowStep) {
    const bool allSymbols = (context.flags & AllSymbols) != 0;
    const auto attempt = [&](int direction, std::uint32_t index) {
        const int line = static_cast<int>(index);
        const int count = pass == SearchPass::First ? attempts.firstPass(context, direction, line)
                                                    : attempts.secondPass(context, direction, line);
        return allSymbols ? (context.symbolCount >= context.symbolLimit ? 1 : 0) : count;
    };
    const auto width = static_cast<std::uint32_t>(context.image.width);
    const auto height = static_cast<std::uint32_t>(context.image.height);
    if (columnStep < width) {
        for (std::uint32_t x = columnStep; x < width; x += columnStep) {
            if (attempt(ScanDirectionUp, x) > 0) return;
        }
    }
    for (std::uint32_t y = rowStep; y < height; y += rowStep) {
        if (attempt(ScanDirectionRight, y) > 0) return;
    }
}

// One search pass, with its own allowance of work.
void runSchedule(DecodeContext& context, ScanLineAttempts& attempts, SearchPass pass, std::uint32_t columnStep,
                 std::uint32_t rowStep) {
    context.work.startPass();
    scanLines(context, attempts, pass, columnStep, rowStep);
    if (context.trace != nullptr && context.work.exhausted()) ++context.trace->passesCutShort;
}

void clearRejectedLines(DecodeContext& context) {
    std::fill(std::begin(context.rejectedRows), std::end(context.rejectedRows), 0);
    std::fill(std::begin(context.rejectedColumns), std::end(context.rejectedColumns), 0);
    context.rejectedRowCount = 0;
    context.rejectedColumnCount = 0;
}

}  // namespace

std::uint32_t scanStep(std::int32_t dimension) {
    // Below 10 pixels the step would be 0; step 1 keeps the schedule finite.
    const auto step = static_cast<std::uint32_t>(0.05 * static_cast<std::uint32_t>(dimension) + 0.5);
    return step == 0 ? 1 : step;
}

Failure searchPicture(DecodeContext& context) {
    ImageBuffer& image = context.image;
    releaseSymbols(context);
    context.outOfMemory = false;
    const auto pixelCount = static_cast<std::uint64_t>(static_cast<std::uint32_t>(image.width)) *
                            static_cast<std::uint32_t>(image.height);
    if (!image.pixels || image.width <= 0 || image.height <= 0) return failure(FailureKind::InvalidArgument);
    if (pixelCount > kMaxImagePixels) return failure(FailureKind::TooLarge);
    // Nothing of an earlier picture's search counts for this one.
    clearRejectedLines(context);

    // The first pass reads the median-filtered picture, filtered only where it reads.
    if (!context.median.start(image)) return failure(FailureKind::OutOfMemory);
    image.median = &context.median;

    const std::uint32_t columnStep = scanStep(image.width);
    const std::uint32_t rowStep = scanStep(image.height);
    image.scale = 1.0f;
    DecoderAttempts decoderAttempts;
    ScanLineAttempts& attempts = context.attempts != nullptr ? *context.attempts : decoderAttempts;

    context.unsized.clear();
    context.locatedCandidates = 0;
    context.keepUnsized = true;
    runSchedule(context, attempts, SearchPass::First, columnStep, rowStep);
    context.keepUnsized = false;
    std::int64_t earlierWork = context.work.spent;

    // The second pass works on the picture as loaded, at twice the sampling resolution.
    image.median = nullptr;

    const bool allSymbols = (context.flags & AllSymbols) != 0;
    const bool roomLeft = context.symbolCount == 0 || (allSymbols && context.symbolCount < context.symbolLimit);
    if (roomLeft && !context.outOfMemory) {
        image.scale = 2.0f;
        clearRejectedLines(context);
        runSchedule(context, attempts, SearchPass::Second, columnStep, rowStep);
        earlierWork += context.work.spent;
    }
    image.scale = 1.0f;
    searchFurther(context, attempts, earlierWork);

    if (context.trace != nullptr) {
        context.trace->rejectedRows.assign(context.rejectedRows, context.rejectedRows + context.rejectedRowCount);
        context.trace->rejectedColumns.assign(context.rejectedColumns,
                                              context.rejectedColumns + context.rejectedColumnCount);
    }
    return context.outOfMemory ? failure(FailureKind::OutOfMemory) : Failure{};
}

}  // namespace ternwick
