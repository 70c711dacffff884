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
    int symbolSize = 0;
    int mismatches = 0;
    int outside = 0;
    bool passed = false;
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

// Checks the ring of the candidate whose interior size is in mappingRows.
int checkBorderPattern(const SymbolResult& symbol, const SearchContext& context, BorderCheckRecord* record = nullptr);

// Fills modules from the picture; call after fitSymbolSize returned 1.
void sampleModules(SymbolResult& symbol, const SearchContext& context);

// Sets sizeIndex for a passing interior size n, reduces the mapping size by
// the alignment lines and allocates the buffers. False when no size of the
// table has n + 2 modules a side, or when memory is exhausted (the context
// then says so).
bool acceptSymbolSize(SymbolResult& symbol, SearchContext& context, int interior);

}  // namespace ternwick
