#include "sample/size_search.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <new>

#include "core/checked_convert.h"
#include "core/diagnostics.h"
#include "locate/finder.h"
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
    const int Sy = symbol.mappingRows + 2;
    const int Sx = symbol.mappingCols + 2;
    const double width = static_cast<std::uint32_t>(context.image.width);
    const double height = static_cast<std::uint32_t>(context.image.height);
    int outside = 0;
    int mismatches = 0;
    int passed = 0;
    bool gaveUp = false;
    for (int k = Sy - 1; k >= 0 && !gaveUp; --k) {
        for (int l = Sx - 1; l >= 0; --l) {
            if (k != 0 && k != Sy - 1 && l != 0 && l != Sx - 1) continue;
            const Vector2 p = squareToImage(symbol, 100.0 * (l + 0.5) / Sx, 100.0 * (k + 0.5) / Sy);
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
            const bool finderExpected = k == 0 || l == 0 || ringExpectsFinderColour(k == Sy - 1 ? l : k);
            const bool mismatch = finderExpected ? f < 0.5 : f > 0.5;
            if (mismatch && ++mismatches > 4) {
                gaveUp = true;
                break;
            }
        }
    }
    if (!gaveUp) passed = outside <= (symbol.mappingRows + symbol.mappingCols) / 2 ? 1 : 0;
    if (record != nullptr) *record = BorderCheckRecord{Sy, mismatches, outside, passed == 1, Sx};
    return passed;
}

// Allocates modules, codewords, erasures and message, all cleared. False,
// with nothing held, when memory is exhausted.
static bool allocateSymbolBuffers(SymbolResult& symbol) {
    symbol.moduleCount = symbol.mappingRows * symbol.mappingCols;
    symbol.modules.reset(new (std::nothrow) std::uint8_t[static_cast<std::size_t>(symbol.moduleCount)]());
    const SymbolShape& size = kSymbolShapes[static_cast<std::size_t>(symbol.sizeIndex)];
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

int fitSymbolSizeFromBorder(SymbolResult& symbol, SearchContext& context) {
    for (const SymbolSize& size : kSymbolSizes) {
        const int n = size.symbolSize - 2;
        symbol.mappingRows = n;
        symbol.mappingCols = n;
        context.work.charge(4 * (n + 1));  // the ring's modules
        if (checkBorderPattern(symbol, context) == 1) return acceptSymbolSize(symbol, context, n) ? 1 : 0;
    }
    return 0;
}

std::vector<RectangleTry> rectangleTries(int e1, int e2, double legRatio) {
    // Legs of about equal length are a square's: no rectangle is as square
    // as that (26x40, the squarest, has sides 0.65 apart), so none is tried.
    if (legRatio > 0.8 && legRatio < 1.25) return {};
    // Estimate pairs (along X, along Y): the two clock periods, and each of
    // them with the other side from the finder's legs (the clock along a
    // short side is measured poorly).
    const auto scaled = [](int estimate, double ratio) {
        const double value = estimate * ratio;
        return value > 0.0 && value < 1000.0 ? static_cast<int>(value + 0.5) : 0;
    };
    const std::pair<int, int> pairs[3] = {
        {e1, e2}, {e1, scaled(e1, legRatio)}, {legRatio > 0.0 ? scaled(e2, 1.0 / legRatio) : 0, e2}};
    const auto near = [](int modules, int estimate) {
        return std::abs(modules - estimate) <= std::max(6, modules / 6);
    };
    std::vector<std::pair<int, RectangleTry>> scored;
    for (int index = kFirstRectangularIndex; index < kSymbolShapeCount; ++index) {
        const SymbolShape& shape = kSymbolShapes[static_cast<std::size_t>(index)];
        for (const bool mirrored : {false, true}) {
            const int rows = mirrored ? shape.columns : shape.rows;
            const int columns = mirrored ? shape.rows : shape.columns;
            int best = -1;
            for (const auto& [alongX, alongY] : pairs) {
                if (!near(columns, alongX) || !near(rows, alongY)) continue;
                const int distance = std::abs(columns - alongX) + std::abs(rows - alongY);
                if (best < 0 || distance < best) best = distance;
            }
            if (best >= 0) scored.push_back({best, {index, mirrored, rows, columns}});
        }
    }
    std::stable_sort(scored.begin(), scored.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<RectangleTry> tries;
    for (const auto& entry : scored) {
        if (tries.size() == kMostRectangleTries) break;
        tries.push_back(entry.second);
    }
    return tries;
}

double legRatio(const Candidate& symbol) {
    const double alongX = distance(symbol.finderPoints[0], symbol.finderPoints[2]);
    const double alongY = distance(symbol.finderPoints[0], symbol.finderPoints[1]);
    return alongX > 0.0 ? alongY / alongX : 0.0;
}

bool acceptRectangle(SymbolResult& symbol, SearchContext& context, const RectangleTry& rectangle) {
    symbol.sizeIndex = rectangle.sizeIndex;
    symbol.mirrored = rectangle.mirrored ? 1 : 0;
    const SymbolShape& shape = kSymbolShapes[static_cast<std::size_t>(rectangle.sizeIndex)];
    symbol.regionCount = (shape.rows / (shape.regionRows + 2)) * (shape.columns / (shape.regionColumns + 2));
    const int rowLines = rectangle.mirrored ? alignmentColumns(shape) : alignmentRows(shape);
    const int columnLines = rectangle.mirrored ? alignmentRows(shape) : alignmentColumns(shape);
    symbol.mappingRows = rectangle.rows - 2 - rowLines;
    symbol.mappingCols = rectangle.columns - 2 - columnLines;
    if (!allocateSymbolBuffers(symbol)) {
        context.outOfMemory = true;
        return false;
    }
    return true;
}

bool estimateBothSides(const SymbolResult& symbol, int& e1, int& e2) {
    float dTop = 0.0f;
    float dRight = 0.0f;
    if (!estimateSymbolSize(symbol, symbol.topPeriodStart, symbol.topPeriodEnd, true, e1, dTop) || e1 > 1000) e1 = 0;
    if (!estimateSymbolSize(symbol, symbol.rightPeriodStart, symbol.rightPeriodEnd, false, e2, dRight) ||
        e2 > 1000) {
        e2 = 0;
    }
    return e1 > 0 || e2 > 0;
}

namespace {

// Where the finder's solid side from the corner through end really stops:
// followed from end outwards while the picture, sampled inset pixels inside
// the side, shows the finder's colour, or inwards until it does.
Vector2 solidSideEnd(const SymbolResult& symbol, const SearchContext& context, const Vector2& corner,
                     const Vector2& end, const Vector2& inward, double inset) {
    Vector2 along = difference(end, corner);
    const double length = vectorNormalize(along);
    const double width = static_cast<std::uint32_t>(context.image.width);
    const double height = static_cast<std::uint32_t>(context.image.height);
    const auto pointAt = [&](double t) {
        return Vector2{static_cast<float>(corner.x + along.x * t + inward.x * inset),
                       static_cast<float>(corner.y + along.y * t + inward.y * inset)};
    };
    const auto finderAt = [&](double t) {
        const Vector2 p = pointAt(t);
        if (p.x < 0.0 || p.y < 0.0 || p.x >= width || p.y >= height) return false;
        float grey = 0.0f;
        sampleBilinear(context.image, grey, p.x, p.y);
        return finderLikeness(symbol, grey) > 0.5;
    };
    constexpr double kStep = 0.5;
    double t = length;
    if (finderAt(t)) {
        while (t < 1.25 * length && finderAt(t + kStep)) t += kStep;
    } else {
        while (t > 0.5 * length && !finderAt(t)) t -= kStep;
    }
    const double reach = t + kStep / 2;
    return {static_cast<float>(corner.x + along.x * reach), static_cast<float>(corner.y + along.y * reach)};
}

}  // namespace

bool extendFinderLegs(SymbolResult& symbol, const SearchContext& context) {
    const Vector2 corner = symbol.finderPoints[0];
    const Vector2 endB = symbol.finderPoints[1];
    const Vector2 endA = symbol.finderPoints[2];
    Vector2 towardsA = difference(endA, corner);
    Vector2 towardsB = difference(endB, corner);
    vectorNormalize(towardsA);
    vectorNormalize(towardsB);
    // Half a module inside the side; a clock period is two modules.
    const double module = distance(symbol.topPeriodStart, symbol.topPeriodEnd) / 2.0;
    const double inset = std::clamp(module / 2.0, 1.0, 8.0);
    const Vector2 newA = solidSideEnd(symbol, context, corner, endA, towardsB, inset);
    const Vector2 newB = solidSideEnd(symbol, context, corner, endB, towardsA, inset);
    symbol.params = kNeutralTransformParams;
    return setFinderPoints(symbol, corner, newA, newB) == 1;
}

int fitRectangularSize(SymbolResult& symbol, SearchContext& context, SizeSearchRecord* record) {
    int e1 = 0;
    int e2 = 0;
    if (!estimateBothSides(symbol, e1, e2)) return 0;
    // Of the rectangles whose border passes, the one that matches best: a
    // rectangle a few rows short of the symbol can pass too.
    const RectangleTry* best = nullptr;
    int fewest = 0;
    const std::vector<RectangleTry> tries = rectangleTries(e1, e2, legRatio(symbol));
    for (const RectangleTry& rectangle : tries) {
        symbol.mappingRows = rectangle.rows - 2;
        symbol.mappingCols = rectangle.columns - 2;
        context.work.charge(2 * (rectangle.rows + rectangle.columns));  // the ring's modules
        BorderCheckRecord check;
        const int passed = checkBorderPattern(symbol, context, &check);
        if (record != nullptr) record->tries.push_back(check);
        if (passed && (best == nullptr || check.mismatches < fewest)) {
            best = &rectangle;
            fewest = check.mismatches;
        }
    }
    return best != nullptr && acceptRectangle(symbol, context, *best) ? 1 : 0;
}

void sampleModules(SymbolResult& symbol, const SearchContext& context) {
    const SampledGrid grid = sampledGrid(symbol);
    const int Sy = grid.rows;
    const int Sx = grid.columns;
    const double width = static_cast<std::uint32_t>(context.image.width);
    const double height = static_cast<std::uint32_t>(context.image.height);
    forEachMappingModule(symbol, [&](int r, int q, std::uint8_t& module) {
        const Vector2 p = squareToImage(symbol, 100.0 * (q + 1.5) / Sx, 100.0 - 100.0 * (r + 1.5) / Sy);
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
