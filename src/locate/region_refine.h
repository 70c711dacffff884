// Region refinement: finds the two alternating sides of a symbol opposite its
// finder, sets the keystone parameters from them, settles the polarity and
// measures one clock period along each side.
#pragma once

#include "locate/candidate.h"
#include "locate/geometry.h"
#include "locate/search_context.h"

namespace ternwick {

// What one side walk saw, for tracing a decode. Scan-frame points are (u, v):
// u along the side, v outwards; square points are in the symbol square.
struct EdgeWalkRecord {
    Vector2 polarityPoint;      // top walk only: where the polarity was read
    int polarityGrey = 0;       // and the grey byte read there
    Vector2 anchorUv;
    Vector2 farUv;
    Vector2 anchorSquare;
    Vector2 farSquare;
    Vector2 periodStartUv;
    Vector2 periodEndUv;
    Vector2 periodStartImage;
    Vector2 periodEndImage;
    float bestGap = 0.0f;
    int clearings = 0;          // off samples that were clearings
    Vector2 endUv;              // where the walk stopped
    bool legCondition = false;  // the out-of-image correction was allowed
    bool axisAligned = false;
};

// Both return 1 when the side was fitted (keystone parameters and both
// matrices updated), 0 otherwise. fitTopEdge always sets the polarity, the top
// period points and the context's lastTopEdgeLevels; fitRightEdge always sets
// the right period points. record, when given, receives the walk's details.
int fitTopEdge(Candidate& symbol, SearchContext& context, EdgeWalkRecord* record = nullptr);
int fitRightEdge(Candidate& symbol, SearchContext& context, EdgeWalkRecord* record = nullptr);

}  // namespace ternwick
