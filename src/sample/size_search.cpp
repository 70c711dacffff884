#include "sample/size_search.h"

#include <cmath>
#include <new>

#include "core/checked_convert.h"
#include "core/diagnostics.h"
#include "sample/mapping_walk.h"

namespace ternwick {

bool estimateSymbolSize(const SymbolResult& symbol, const Vector2& start, const Vector2& end, bool alongX,
                        int& estimate, float& length) {
    Vector2 q1;
    Vector2 q2;
    transformPoint(symbol.forwardTransform, start, q1);
    transformPoint(symbol.forwardTransform, end, q2);
    const double d = alongX ? static_cast<double>(q2.x) - q1.x : static_cast<double>(q2.y) - q1.y;
    length = static_cast<float>(d);
    if (d == 0.0) {
        estimate = 8;  // an empty period
        return true;
    }
    std::int32_t periods = 0;
    if (!truncateToInt32((200.0 / d + 1.0) * 0.5, periods)) return false;
    const std::int64_t twice = 2 * static_cast<std::int64_t>(periods);
    if (twice > INT32_MAX) return false;
    estimate = twice < 8 ? 8 : static_cast<int>(twice);
    return true;
}

// Grey value -> how much it looks like the finder (near 1) rather than the
// background (near 0), from the symbol's level statistics and polarity.
static double finderLikeness(const SymbolResult& symbol, float grey) {
    const LevelStats& s = symbol.levels;
    const double t = ((grey - static_cast<double>(s.baseValue)) * s.sign - s.minLevel) /
                     (static_cast<double>(s.maxLevel) - s.minLevel);
    return symbol.polarity == -1 ? 1.0 - t : t;
}

namespace {

Vector2 squareToImage(const SymbolResult& symbol, double X, double Y) {
    Vector2 image;
    transformPoint(symbol.inverseTransform, Vector2{static_cast<float>(X), static_cast<float>(Y)}, image);
    return image;
}

// Tries the seven offsets around a base estimate; returns the passing
// interior size, or 0.
int searchAround(SymbolResult& symbol, SearchContext& context, int base, SizeSearchRecord* record) {
    for (const int offset : kSizeOffsets) {
        const int n = base + offset - 2;
        symbol.mappingRows = n;
        symbol.mappingCols = n;
        if (n < 8 || n > 142) continue;
        context.work.charge(4 * (n + 1));  // the ring's modules
        BorderCheckRecord check;
        const int passed = checkBorderPattern(symbol, context, &check);
        if (record != nullptr) record->tries.push_back(check);
        if (passed) return n;
    }
    return 0;
}

}  // namespace

int checkBorderPattern(const SymbolResult& symbol, const SearchContext& context, BorderCheckRecord* record) {
    const int S = symbol.mappingRows + 2;
    const double width = static_cast<std::uint32_t>(context.image.width);
    const double height = static_cast<std::uint32_t>(context.image.height);
    int outside = 0;
    int mismatches = 0;
    int passed = 0;
    bool gaveUp = false;
    for (int k = S - 1; k >= 0 && !gaveUp; --k) {
        for (int l = S - 1; l >= 0; --l) {
            if (k != 0 && k != S - 1 && l != 0 && l != S - 1) continue;
            const Vector2 p = squareToImage(symbol, 100.0 * (l + 0.5) / S, 100.0 * (k + 0.5) / S);
            // A point on the picture's far edge still counts as inside here
            // (module sampling below counts it as outside).
            if (p.x < 0.0 || p.y < 0.0 || p.x > width || p.y > height) {
                ++outside;
                continue;
            }
            float grey = 0.0f;
            sampleBilinear(context.image, grey, p.x, p.y);
            const double f = finderLikeness(symbol, grey);
            // k counts rows from the solid row up, l columns from the solid column.
            const bool finderExpected = k == 0 || l == 0 || ringExpectsFinderColour(k == S - 1 ? l : k);
            const bool mismatch = finderExpected ? f < 0.5 : f > 0.5;
            if (mismatch && ++mismatches > 4) {
                gaveUp = true;
                break;
            }
        }
    }
    if (!gaveUp) passed = outside <= (symbol.mappingRows + symbol.mappingCols) / 2 ? 1 : 0;
    if (record != nullptr) *record = BorderCheckRecord{S, mismatches, outside, passed == 1};
    return passed;
}

// Allocates modules, codewords, erasures and message, all cleared. False,
// with nothing held, when memory is exhausted.
static bool allocateSymbolBuffers(SymbolResult& symbol) {
    symbol.moduleCount = symbol.mappingRows * symbol.mappingCols;
    symbol.modules.reset(new (std::nothrow) std::uint8_t[static_cast<std::size_t>(symbol.moduleCount)]());
    const SymbolSize& size = kSymbolSizes[symbol.sizeIndex];
    symbol.codewordCount = size.dataCodewords + size.eccCodewords;
    symbol.codewords.reset(new (std::nothrow) std::uint8_t[static_cast<std::size_t>(symbol.codewordCount)]());
    symbol.erasures.reset(new (std::nothrow) std::int32_t[static_cast<std::size_t>(symbol.codewordCount)]());
    symbol.erasureCount = 0;
    symbol.messageCapacity = 10 * symbol.codewordCount;
    symbol.message.reset(new (std::nothrow) std::uint8_t[static_cast<std::size_t>(symbol.messageCapacity)]());
    if (!symbol.modules || !symbol.codewords || !symbol.erasures || !symbol.message) {
        diagnostics().systemError("Malloc failed");
        releaseSymbolBuffers(symbol);
        return false;
    }
    return true;
}

bool acceptSymbolSize(SymbolResult& symbol, SearchContext& context, int interior) {
    const int sizeIndex = findSizeIndex(interior + 2);
    if (sizeIndex < 0) return false;
    symbol.sizeIndex = sizeIndex;
    symbol.regionCount = kSymbolSizes[sizeIndex].regionCount;
    const int lines = alignmentLineCount(symbol.regionCount);
    symbol.mappingRows -= lines;
    symbol.mappingCols -= lines;
    if (!allocateSymbolBuffers(symbol)) {
        context.outOfMemory = true;
        return false;
    }
    return true;
}

int fitSymbolSize(SymbolResult& symbol, SearchContext& context, SizeSearchRecord* record) {
    int e1 = 0;
    int e2 = 0;
    float dTop = 0.0f;
    float dRight = 0.0f;
    if (!estimateSymbolSize(symbol, symbol.topPeriodStart, symbol.topPeriodEnd, true, e1, dTop) ||
        !estimateSymbolSize(symbol, symbol.rightPeriodStart, symbol.rightPeriodEnd, false, e2, dRight)) {
        return 0;
    }
    if (record != nullptr) {
        record->e1 = e1;
        record->e2 = e2;
        record->topPeriodLength = dTop;
        record->rightPeriodLength = dRight;
    }
    if (e1 - 6 > 144) return 0;
    int n = searchAround(symbol, context, e1, record);
    if (n == 0) {
        const int base = e2 > e1 + 6 ? e2 : 2 * e1;
        if (base - 6 > 144) return 0;
        n = searchAround(symbol, context, base, record);
        if (n == 0) return 0;
    }
    symbol.mappingRows = n;
    symbol.mappingCols = n;
    return acceptSymbolSize(symbol, context, n) ? 1 : 0;
}

void sampleModules(SymbolResult& symbol, const SearchContext& context) {
    const int S = symbol.mappingRows + alignmentLineCount(symbol.regionCount) + 2;
    const double width = static_cast<std::uint32_t>(context.image.width);
    const double height = static_cast<std::uint32_t>(context.image.height);
    forEachMappingModule(symbol, [&](int r, int q, std::uint8_t& module) {
        const Vector2 p = squareToImage(symbol, 100.0 * (q + 1.5) / S, 100.0 - 100.0 * (r + 1.5) / S);
        // A module centre on the picture's far edge is outside (the border
        // check above counts such a point as inside).
        if (p.x < 0.0 || p.y < 0.0 || p.x >= width || p.y >= height) module |= ModuleOutside;
        float grey = 0.0f;
        sampleBilinear(context.image, grey, p.x, p.y);
        if (finderLikeness(symbol, grey) < 0.5) module |= ModuleBackground;
        module |= ModuleSampled;
    });
}

}  // namespace ternwick
