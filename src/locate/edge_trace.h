// Edge following: from a crossing on a scan line, walk along the edge that
// crosses the line one pixel at a time, turn where the edge runs away, and cut
// the path into straight stretches. The first two long ones are the trace's
// candidate finder legs.
#pragma once

#include <cstdint>

#include "image/image_buffer.h"
#include "locate/geometry.h"
#include "locate/scan_line.h"

namespace ternwick {

struct EdgeTrace {
    std::int32_t polarity = 0;  // +1: the level rises as the across coordinate grows
    std::int32_t turns = 0;
    std::int32_t along = 0;     // y while moving 1 or 4, x while moving 2 or 8
    float across = 0.0f;        // sub-pixel edge position across the motion
    float minLevel = 0.0f;      // level statistics of the seed crossing
    float midLevel = 0.0f;
    float maxLevel = 0.0f;
    float baseValue = 0.0f;
    float sign = 0.0f;
    EdgeLine line1;
    EdgeLine line2;
    std::int32_t direction = 0;  // ScanDirection of the current motion
    std::int32_t steps = 0;      // traceEdgeStep calls made on this trace
};

// The direction after d in the turn 1 -> 2 -> 4 -> 8 -> 1, and the one before it.
std::int32_t clockwiseDirection(std::int32_t direction);
std::int32_t anticlockwiseDirection(std::int32_t direction);

// The two traces of a crossing: at right angles to the scan line, the first
// turned clockwise from it, the second anticlockwise, both starting on the
// crossing with its local level statistics.
void seedEdgeTraces(const CrossingCursor& cursor, EdgeTrace& first, EdgeTrace& second);

// The trace's image point: (across, along) while moving along y, (along,
// across) while moving along x.
Vector2 tracePoint(const EdgeTrace& trace);

// One pixel along the edge: 6 when the edge was found again or the trace
// turned, 5 when the trace ran into the picture's border.
int traceEdgeStep(EdgeTrace& trace, const ImageBuffer& image);

// Follows the edge from the seed and leaves up to two straight stretches in
// line1 and line2 (their valid flags say which).
void traceEdgeLines(EdgeTrace& trace, const ImageBuffer& image);

}  // namespace ternwick
