// Walks scan lines the way the scan-line attempt does, for tests of the
// location stages: the crossings of a line, the two traces of a crossing and
// the finder built from them.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "driver/decode_context.h"
#include "locate/edge_trace.h"
#include "locate/finder.h"
#include "locate/scan_line.h"

namespace ternwick::testing {

struct ScanLineRef {
    std::int32_t direction;  // 1: column x = index, 8: row y = index
    std::int32_t index;
};

// The first pass's schedule on a picture: columns at the column step, then rows.
std::vector<ScanLineRef> firstPassSchedule(const ImageBuffer& image);

// Counts the line's transitions and, if it qualifies, calls visit with the
// cursor on each crossing until visit returns false or the line is used up.
void walkCrossings(const ImageBuffer& image, ScanLineRef line,
                   const std::function<bool(const CrossingCursor&)>& visit);

// What the attempt makes of one crossing up to the finder.
struct FinderTry {
    EdgeTrace first;
    EdgeTrace second;
    SymbolResult symbol;
    int accepted = 0;
};
void tryFinder(DecodeContext& context, const CrossingCursor& cursor, FinderTry& result);

}  // namespace ternwick::testing
