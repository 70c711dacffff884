#include "sample/grid_sampling.h"

#include <algorithm>
#include <new>

#include "core/diagnostics.h"
#include "sample/mapping_walk.h"

namespace ternwick {
namespace {

constexpr int kHalfMargin = gridMargin / 2;

// Cells of the grid along X for the candidate's interior sizes.
int gridColumns(const SymbolResult& symbol) { return symbol.mappingCols + 2 + gridMargin; }

// The cell of module (k, l) in a grid of the given columns; k counted from the
// finder's solid row, l from its solid column, both from -kHalfMargin.
std::size_t cellIndex(int columns, int k, int l) {
    return static_cast<std::size_t>(k + kHalfMargin) * columns + (l + kHalfMargin);
}

// Cells of the border band of a grid for a symbol of Sy by Sx modules.
std::int64_t bandCellCount(int Sy, int Sx) {
    const std::int64_t rows = Sy + gridMargin;
    const std::int64_t columns = Sx + gridMargin;
    const std::int64_t innerRows = Sy > 6 ? Sy - 6 : 0;
    const std::int64_t innerColumns = Sx > 6 ? Sx - 6 : 0;
    return rows * columns - innerRows * innerColumns;
}

}  // namespace

SamplingGrids* samplingGridsOf(SearchContext& context) {
    if (!context.grids) {
        context.grids.reset(new (std::nothrow) SamplingGrids);
        if (!context.grids) {
            diagnostics().systemError("Malloc failed");
            context.outOfMemory = true;
        }
    }
    return context.grids.get();
}

void sampleGrid(const SymbolResult& symbol, const ImageBuffer& picture, float* rawGrid, GridPart part) {
    const int Sy = symbol.mappingRows + 2;
    const int Sx = symbol.mappingCols + 2;
    const int columns = gridColumns(symbol);
    const double width = static_cast<std::uint32_t>(picture.width);
    const double height = static_cast<std::uint32_t>(picture.height);
    for (int k = -kHalfMargin; k < Sy + kHalfMargin; ++k) {
        for (int l = -kHalfMargin; l < Sx + kHalfMargin; ++l) {
            const bool band = k <= 2 || l <= 2 || k >= Sy - 3 || l >= Sx - 3;
            if (band != (part == GridPart::BorderBand)) continue;
            const Vector2 square{static_cast<float>(100.0 * (l + 0.5) / Sx),
                                 static_cast<float>(100.0 * (k + 0.5) / Sy)};
            Vector2 p;
            transformPoint(symbol.inverseTransform, square, p);
            float& cell = rawGrid[cellIndex(columns, k, l)];
            if (p.x < 0.0 || p.y < 0.0 || p.x > width || p.y > height) {
                cell = -1.0f;
            } else {
                sampleBilinear(picture, cell, p.x, p.y);
            }
        }
    }
}

void localThreshold(const float* source, float* target, int rows, int columns, int windowRows, int windowColumns,
                    int mode) {
    const int hy = windowRows / 2;
    const int hx = windowColumns / 2;
    for (int gr = hy; gr < rows - hy; ++gr) {
        for (int gc = hx; gc < columns - hx; ++gc) {
            const bool ring = gr == hy || gr == rows - hy - 1 || gc == hx || gc == columns - hx - 1;
            if (ring != (mode == LocalThresholdRing)) continue;
            const float a = source[static_cast<std::size_t>(gr) * columns + gc];
            float& out = target[static_cast<std::size_t>(gr) * columns + gc];
            if (a < 0.0f) {
                out = -1.0f;
                continue;
            }
            float highest = a;
            float lowest = a;
            for (int y = gr - hy; y <= gr + hy; ++y) {
                for (int x = gc - hx; x <= gc + hx; ++x) {
                    const float v = source[static_cast<std::size_t>(y) * columns + x];
                    if (v > highest) highest = v;
                    if (v >= 0.0f && v < lowest) lowest = v;
                }
            }
            const auto mid = static_cast<float>((static_cast<double>(highest) + lowest) * 0.5);
            double lowSum = 0.0;
            double highSum = 0.0;
            int lowCount = 0;
            int highCount = 0;
            for (int y = gr - hy; y <= gr + hy; ++y) {
                for (int x = gc - hx; x <= gc + hx; ++x) {
                    const float v = source[static_cast<std::size_t>(y) * columns + x];
                    if (v >= mid) {
                        highSum += v;
                        ++highCount;
                    } else if (v >= 0.0f) {
                        lowSum += v;
                        ++lowCount;
                    }
                }
            }
            if (lowCount == 0) lowCount = 1;
            if (highCount == 0) highCount = 1;
            const auto threshold = static_cast<float>((lowSum / lowCount + highSum / highCount) * 0.5);
            out = a < threshold ? 0.0f : 255.0f;
        }
    }
}

int checkBorderPatternThresholded(SymbolResult& symbol, const float* binarisedGrid, BorderCheckRecord* record) {
    const int Sy = symbol.mappingRows + 2;
    const int Sx = symbol.mappingCols + 2;
    const int columns = gridColumns(symbol);
    auto cell = [&](int k, int l) { return binarisedGrid[cellIndex(columns, k, l)]; };

    symbol.polarity = 1;
    for (int k = 2; k < Sy; ++k) {
        const float v = cell(k, 0);
        if (v >= 0.0f) {
            if (v > 128.0f) symbol.polarity = -1;
            break;
        }
    }
    // t near 0 for the finder's colour.
    auto t = [&](float v) {
        const double value = v / 255.0;
        return symbol.polarity == -1 ? 1.0 - value : value;
    };
    int mismatches = 0;
    bool gaveUp = false;
    // Checks one side: solid (must be finder colour) or clock (alternating,
    // finder colour at even positions). False once too many mismatches.
    auto checkSide = [&](bool column, int fixed, bool clock) {
        for (int i = 0; i < (column ? Sy : Sx); ++i) {
            const float v = column ? cell(i, fixed) : cell(fixed, i);
            if (v < 0.0f) continue;
            const bool finderExpected = !clock || ringExpectsFinderColour(i);
            if (finderExpected ? t(v) > 0.5 : t(v) < 0.5) ++mismatches;
        }
        return mismatches <= 4;
    };
    gaveUp = !checkSide(true, 0, false) || !checkSide(true, Sx - 1, true) || !checkSide(false, 0, false) ||
             !checkSide(false, Sy - 1, true);
    const int passed = gaveUp ? 0 : 1;
    if (record != nullptr) *record = BorderCheckRecord{Sy, mismatches, 0, passed == 1, Sx};
    return passed;
}

void gridToModules(SymbolResult& symbol, const float* binarisedGrid) {
    const SampledGrid grid = sampledGrid(symbol);
    const int interiorRows = grid.rows - 2;
    const int columns = grid.columns + gridMargin;
    forEachMappingModule(symbol, [&](int r, int q, std::uint8_t& module) {
        // The binarised cells hold -1, 0 or 255 exactly.
        const auto value = static_cast<int>(binarisedGrid[cellIndex(columns, interiorRows - r, q + 1)]);
        if (value < 0) module |= ModuleOutside;
        const int b = value / 255;
        const int f = symbol.polarity == 1 ? 1 - b : b;
        if (f < 0.5) module |= ModuleBackground;
        module |= ModuleSampled;
    });
}

namespace {

// Samples and thresholds the border band of a candidate of Sy by Sx modules
// (mappingRows and mappingCols set to the interior sizes) and checks its ring.
int thresholdedRingPasses(SymbolResult& symbol, SearchContext& context, SamplingGrids& grids, int Sy, int Sx,
                          SizeSearchRecord* record) {
    symbol.mappingRows = Sy - 2;
    symbol.mappingCols = Sx - 2;
    context.work.charge(bandCellCount(Sy, Sx) + 2 * 2 * ((Sy - 1) + (Sx - 1)));  // band samples, ring thresholds
    sampleGrid(symbol, context.image, grids.rawGrid.data(), GridPart::BorderBand);
    localThreshold(grids.rawGrid.data(), grids.binarisedGrid.data(), Sy + gridMargin, Sx + gridMargin, gridMargin,
                   gridMargin, LocalThresholdRing);
    BorderCheckRecord check;
    const int passed = checkBorderPatternThresholded(symbol, grids.binarisedGrid.data(), &check);
    if (record != nullptr) record->tries.push_back(check);
    return passed;
}

// Samples and thresholds the inside of the candidate whose ring passed.
void thresholdInterior(SymbolResult& symbol, SearchContext& context, SamplingGrids& grids) {
    const int rows = symbol.mappingRows + 2 + gridMargin;
    const int columns = symbol.mappingCols + 2 + gridMargin;
    const std::int64_t interiorCells =
        static_cast<std::int64_t>(rows) * columns - bandCellCount(symbol.mappingRows + 2, symbol.mappingCols + 2);
    context.work.charge(3 * interiorCells);  // samples and thresholds of the inside
    sampleGrid(symbol, context.image, grids.rawGrid.data(), GridPart::Interior);
    localThreshold(grids.rawGrid.data(), grids.binarisedGrid.data(), rows, columns, gridMargin, gridMargin,
                   LocalThresholdInside);
}

}  // namespace

int fitSymbolSizeThresholded(SymbolResult& symbol, SearchContext& context, SizeSearchRecord* record) {
    int e1 = 0;
    float dTop = 0.0f;
    if (!estimateSymbolSize(symbol, symbol.topPeriodStart, symbol.topPeriodEnd, true, e1, dTop)) return 0;
    if (record != nullptr) {
        record->e1 = e1;
        record->topPeriodLength = dTop;
    }
    if (e1 - 6 > 144) return 0;
    SamplingGrids* gridsHeld = samplingGridsOf(context);
    if (gridsHeld == nullptr) return 0;
    SamplingGrids& grids = *gridsHeld;
    int accepted = 0;
    for (const int offset : kSizeOffsets) {
        const int n = e1 + offset - 2;
        symbol.mappingRows = n;
        symbol.mappingCols = n;
        if (n < 8 || n > 142) continue;
        if (thresholdedRingPasses(symbol, context, grids, n + 2, n + 2, record)) {
            accepted = n;
            break;
        }
    }
    if (accepted == 0) return 0;
    thresholdInterior(symbol, context, grids);
    if (!acceptSymbolSize(symbol, context, accepted)) return 0;
    gridToModules(symbol, grids.binarisedGrid.data());
    return 1;
}

int fitRectangularSizeThresholded(SymbolResult& symbol, SearchContext& context, SizeSearchRecord* record) {
    int e1 = 0;
    int e2 = 0;
    if (!estimateBothSides(symbol, e1, e2)) return 0;
    SamplingGrids* gridsHeld = samplingGridsOf(context);
    if (gridsHeld == nullptr) return 0;
    SamplingGrids& grids = *gridsHeld;
    // The passing rectangle with the fewest mismatches, as in the plain search.
    const RectangleTry* best = nullptr;
    int fewest = 0;
    const std::vector<RectangleTry> tries = rectangleTries(e1, e2, legRatio(symbol));
    for (const RectangleTry& rectangle : tries) {
        SizeSearchRecord checks;
        if (!thresholdedRingPasses(symbol, context, grids, rectangle.rows, rectangle.columns, &checks)) {
            if (record != nullptr) record->tries.push_back(checks.tries.back());
            continue;
        }
        if (record != nullptr) record->tries.push_back(checks.tries.back());
        if (best == nullptr || checks.tries.back().mismatches < fewest) {
            best = &rectangle;
            fewest = checks.tries.back().mismatches;
        }
    }
    if (best == nullptr) return 0;
    if (best != &tries.back() && !thresholdedRingPasses(symbol, context, grids, best->rows, best->columns, nullptr)) {
        return 0;
    }
    thresholdInterior(symbol, context, grids);
    if (!acceptRectangle(symbol, context, *best)) return 0;
    gridToModules(symbol, grids.binarisedGrid.data());
    return 1;
}

}  // namespace ternwick
