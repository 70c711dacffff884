// The L-shaped finder: two edge traces of one crossing are judged as the
// symbol's solid row and column; an accepted finder sets the symbol's affine
// transform so that the corner maps to (0, 0) and the leg ends to (100, 0)
// and (0, 100) of the symbol square.
#pragma once

#include "locate/candidate.h"
#include "locate/edge_trace.h"

namespace ternwick {

// A fresh candidate as a crossing starts it: cleared, the crossing's local
// level statistics, the neutral transform parameters and both matrices.
void startCandidate(Candidate& symbol, const LevelStats& levels);

// 1 when the traces' lines form an acceptable finder (finderPoints, the affine
// parameters and both matrices are then set), 0 otherwise; a rejected symbol's
// parameters may be partly overwritten. first is the trace seeded clockwise of
// the scan line, second the one seeded anticlockwise.
int buildFinder(Candidate& symbol, const EdgeTrace& first, const EdgeTrace& second);

// Sets the transform parameters from the finder's corner and the ends of its
// legs along X (endA) and Y (endB): 1 with finderPoints and both matrices
// set, 0 for points that make no transform.
int setFinderPoints(Candidate& symbol, const Vector2& corner, const Vector2& endA, const Vector2& endB);

// The same with legs of more unequal lengths, down to the ratio of the
// longest rectangle's sides: the finder of a rectangle buildFinder refuses.
int buildElongatedFinder(Candidate& symbol, const EdgeTrace& first, const EdgeTrace& second);

}  // namespace ternwick
