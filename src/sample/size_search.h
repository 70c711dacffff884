// Symbol size search: estimates the number of modules from the clock periods,
// confirms the guess on the border pattern, allocates the symbol's buffers and
// samples every module of its mapping matrix.
#pragma once

#include <vector>

#include "locate/search_context.h"
#include "sample/symbol_result.h"

namespace ternwick {

// One border check of the size search, for tracing a decode.
struct BorderCheckRecord {
    int symbolSize = 0;  // modules along the solid column (rows)
    int mismatches = 0;
    int outside = 0;
    bool passed = false;
    int columns = 0;     // modules along the solid row
};

struct SizeSearchRecord {
    int e1 = 0;
    int e2 = 0;
    float topPeriodLength = 0.0f;    // in square units
    float rightPeriodLength = 0.0f;
    std::vector<BorderCheckRecord> tries;
};

// Offsets tried around an estimate, nearest first.
inline constexpr int kSizeOffsets[7] = {0, -2, 2, -4, 4, -6, 6};

// Size estimate from one clock period (start and end in the image): twice the
// rounded number of periods across the square's side, at least 8. Returns
// false when the estimate is not a usable number (the period is so short that
// it leaves the integer range, or not finite). length receives the period's
// length in square units.
bool estimateSymbolSize(const SymbolResult& symbol, const Vector2& start, const Vector2& end, bool alongX,
                        int& estimate, float& length);

// 1 with sizeIndex, counts and cleared buffers set; 0 with nothing allocated.
int fitSymbolSize(SymbolResult& symbol, SearchContext& context, SizeSearchRecord* record = nullptr);

// The border ring's pattern, which both border checks test (each on its own
// samples and in its own order): the solid row and column are of the
// finder's colour; along the two clock sides, counted from the solid side,
// even positions are of the finder's colour and odd ones of the background's.
inline bool ringExpectsFinderColour(int positionAlongClockSide) { return positionAlongClockSide % 2 == 0; }

// The square size found by checking the border pattern of every square size
// in turn, smallest first, whatever the clock periods say: for a candidate
// whose clock periods were misread (a strong keystone, the alignment lines of
// a large symbol). 1 with the size accepted and the buffers allocated, 0 with
// nothing allocated.
int fitSymbolSizeFromBorder(SymbolResult& symbol, SearchContext& context);

// Checks the ring of the candidate whose interior sizes are in mappingRows
// (along the solid column) and mappingCols (along the solid row).
int checkBorderPattern(const SymbolResult& symbol, const SearchContext& context, BorderCheckRecord* record = nullptr);

// A rectangular size as the size search tries it: modules along Y (rows) and
// X (columns) of the symbol square; a mirrored symbol lies with its rows
// along X.
struct RectangleTry {
    int sizeIndex = 0;
    bool mirrored = false;
    int rows = 0;
    int columns = 0;
};

// The most rectangular sizes one search tries.
inline constexpr std::size_t kMostRectangleTries = 8;

// Rectangular sizes in both orientations whose sides lie near the estimates
// (e1 modules along X, e2 along Y, and either with the other side from the
// ratio of the finder's legs, Y to X), nearest first; none for legs of
// about equal length.
std::vector<RectangleTry> rectangleTries(int e1, int e2, double legRatio);

// The length of the finder's leg along Y over that of its leg along X.
double legRatio(const Candidate& symbol);

// Both sides' estimates, 0 for one that is not a usable number; false when
// neither is.
bool estimateBothSides(const SymbolResult& symbol, int& e1, int& e2);

// The rectangular sizes, tried after the square ones have failed: the
// rectangles near the two sides' estimates are checked on their border
// pattern. 1 with sizeIndex, mirrored, counts and cleared buffers set (the
// mapping sizes in the frame of the symbol square); 0 with nothing allocated.
int fitRectangularSize(SymbolResult& symbol, SearchContext& context, SizeSearchRecord* record = nullptr);

// Follows the finder's two legs in the picture to where its solid row and
// column end and sets the finder's transform from those ends (the keystone
// parameters neutral). For rectangles, whose short sides the region walks fit
// poorly. False when the ends make no transform.
bool extendFinderLegs(SymbolResult& symbol, const SearchContext& context);

// Sets the size and orientation of a passing rectangle, reduces the mapping
// sizes by the alignment lines and allocates the buffers. False when memory is
// exhausted (the context then says so).
bool acceptRectangle(SymbolResult& symbol, SearchContext& context, const RectangleTry& rectangle);

// Fills modules from the picture, in the frame of the symbol square (a
// mirrored symbol still to be turned over); call after fitSymbolSize or
// fitRectangularSize returned 1.
void sampleModules(SymbolResult& symbol, const SearchContext& context);

// Sets sizeIndex for a passing interior size n, reduces the mapping size by
// the alignment lines and allocates the buffers. False when no size of the
// table has n + 2 modules a side, or when memory is exhausted (the context
// then says so).
bool acceptSymbolSize(SymbolResult& symbol, SearchContext& context, int interior);

}  // namespace ternwick
