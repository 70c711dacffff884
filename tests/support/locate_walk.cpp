#include "support/locate_walk.h"

#include "driver/symbol_search.h"

namespace ternwick::testing {

std::vector<ScanLineRef> firstPassSchedule(const ImageBuffer& image) {
    std::vector<ScanLineRef> lines;
    const auto width = static_cast<std::uint32_t>(image.width);
    const auto height = static_cast<std::uint32_t>(image.height);
    const std::uint32_t columnStep = scanStep(image.width);
    const std::uint32_t rowStep = scanStep(image.height);
    for (std::uint32_t x = columnStep; x < width; x += columnStep) {
        lines.push_back({ScanDirectionUp, static_cast<std::int32_t>(x)});
    }
    for (std::uint32_t y = rowStep; y < height; y += rowStep) {
        lines.push_back({ScanDirectionRight, static_cast<std::int32_t>(y)});
    }
    return lines;
}

void walkCrossings(const ImageBuffer& image, ScanLineRef ref,
                   const std::function<bool(const CrossingCursor&)>& visit) {
    ScanLine line = scanLineOf(image, ref.direction, ref.index);
    while (countTransitions(image, line) != ScanStatusNothingMore) {
        if (!stretchQualifies(line)) continue;
        CrossingCursor cursor = stretchCursor(line);
        while (nextCrossing(cursor, image, line.stats) != ScanStatusNothingMore) {
            if (!visit(cursor)) return;
        }
    }
}

void tryFinder(DecodeContext& context, const CrossingCursor& cursor, FinderTry& result) {
    seedEdgeTraces(cursor, result.first, result.second);
    traceEdgeLines(result.first, context.image);
    traceEdgeLines(result.second, context.image);
    startCandidate(result.symbol, cursor.local);
    result.accepted = buildFinder(result.symbol, result.first, result.second);
}

}  // namespace ternwick::testing
