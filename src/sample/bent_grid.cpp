#include "sample/bent_grid.h"

#include <algorithm>
#include <cmath>

#include "sample/grid_sampling.h"
#include "sample/size_search.h"

namespace ternwick {
namespace {

constexpr int kTerms = 10;
// Samples taken a module along a measured profile.
constexpr int kSamplesPerModule = 8;
// The least grey difference a measured profile must span.
constexpr double kLeastContrast = 16.0;
// The modules of a side compared with each size's clock pattern near the finder.
constexpr int kRankedModules = 10;
// Each side's measured dark modules count as one point each; the solid
// sides' edges as this much, and the prior transform's points as this much.
constexpr double kEdgeWeight = 0.5;
constexpr double kPriorWeight = 0.02;
// The least share of the first modules (matching less mismatching) in which
// some size's clocks must show near the finder: below it the candidate has no
// dashed sides to follow.
constexpr double kLeastClockScore = 0.35;
// The ring may show the wrong colour in at most one module in this many.
constexpr int kRingShareDivisor = 8;
// A dashed side ends where this many dark modules in a row are missing.
constexpr int kMissesAtEnd = 2;
// The least length along a dashed side of a dark module followed, in modules,
// and of one followed while bridging.
constexpr double kLeastModule = 0.45;
constexpr double kLeastBridgedModule = 0.25;
// Reading a module as the lightest grey near its centre: kNearCentre x
// kNearCentre points, the outer ones this many modules from the centre.
constexpr int kNearCentre = 3;
constexpr double kNearCentreSpread = 0.15;

void basis(double u, double v, double (&terms)[kTerms]) {
    terms[0] = 1.0;
    terms[1] = u;
    terms[2] = v;
    terms[3] = u * u;
    terms[4] = u * v;
    terms[5] = v * v;
    terms[6] = u * u * u;
    terms[7] = u * u * v;
    terms[8] = u * v * v;
    terms[9] = v * v * v;
}

// A coordinate as a float, kept within a range far beyond any picture so
// that a wild fit never leaves the float's range.
float coordinate(double value) { return static_cast<float>(std::clamp(value, -1e9, 1e9)); }

Vector2 plus(const Vector2& p, const Vector2& v, double t) {
    return {coordinate(p.x + v.x * t), coordinate(p.y + v.y * t)};
}

Vector2 scaled(const Vector2& v, double t) { return {coordinate(v.x * t), coordinate(v.y * t)}; }

// Grey of a picture point; false outside the picture.
bool greyOf(const ImageBuffer& image, const Vector2& p, double& grey) {
    if (!(p.x >= 0.0f && p.y >= 0.0f && p.x < static_cast<float>(image.width) &&
          p.y < static_cast<float>(image.height))) {
        return false;
    }
    float value = 0.0f;
    sampleBilinear(image, value, p.x, p.y);
    grey = value;
    return true;
}

// Greys along a line through a picture point, kSamplesPerModule a module,
// from start to end modules of the step vector; points outside the picture
// take the background's colour. Classified against the middle of the
// profile's own darkest and lightest grey.
struct Profile {
    static constexpr int kMost = 4 * kSamplesPerModule + 1;
    double grey[kMost] = {};
    bool finder[kMost] = {};
    int count = 0;
    double from = 0.0;
    double mid = 0.0;

    bool read(const ImageBuffer& image, const Vector2& centre, const Vector2& step, double start, double end,
              bool finderDark, SearchContext& context) {
        from = start;
        count = std::min(kMost, static_cast<int>(std::lround((end - start) * kSamplesPerModule)) + 1);
        bool inside[kMost] = {};
        double lowest = 255.0;
        double highest = 0.0;
        for (int i = 0; i < count; ++i) {
            inside[i] = greyOf(image, plus(centre, step, at(i)), grey[i]);
            if (!inside[i]) continue;
            lowest = std::min(lowest, grey[i]);
            highest = std::max(highest, grey[i]);
        }
        context.work.charge(count);
        if (highest - lowest < kLeastContrast) return false;
        mid = (lowest + highest) / 2.0;
        for (int i = 0; i < count; ++i) {
            if (!inside[i]) grey[i] = finderDark ? highest : lowest;
            finder[i] = finderDark ? grey[i] < mid : grey[i] > mid;
        }
        return true;
    }
    double at(int i) const { return from + static_cast<double>(i) / kSamplesPerModule; }
    int indexOf(double t) const { return static_cast<int>(std::lround((t - from) * kSamplesPerModule)); }
    // Where the grey crosses the middle between samples i and i + 1.
    double crossing(int i) const {
        const double span = grey[i + 1] - grey[i];
        const double f = span != 0.0 ? std::clamp((mid - grey[i]) / span, 0.0, 1.0) : 0.5;
        return at(i) + f / kSamplesPerModule;
    }
    // The sample of the finder's colour nearest to t, within reach modules; -1 when none.
    int nearestFinder(double t, double reach) const {
        const int centre = indexOf(t);
        const int most = static_cast<int>(reach * kSamplesPerModule);
        for (int d = 0; d <= most; ++d) {
            for (const int i : {centre - d, centre + d}) {
                if (i >= 0 && i < count && finder[i]) return i;
            }
        }
        return -1;
    }
};

// The centre of the dark module near a picture point along a step vector of
// one module: its offset in modules, or NaN when no module of about a
// module's length (at least leastLength) is there. covered, when given, is
// set when the finder's colour lies under the point but runs on too far for
// a module: neighbouring modules grown together.
double moduleOffset(const ImageBuffer& image, const Vector2& centre, const Vector2& step, bool finderDark,
                    SearchContext& context, double leastLength = kLeastModule, bool* covered = nullptr) {
    Profile profile;
    if (!profile.read(image, centre, step, -1.5, 1.5, finderDark, context)) return NAN;
    const int start = profile.nearestFinder(0.0, 0.5);
    if (start < 0) return NAN;
    int left = start;
    while (left > 0 && profile.finder[left - 1]) --left;
    int right = start;
    while (right + 1 < profile.count && profile.finder[right + 1]) ++right;
    const bool tooLong = left == 0 || right + 1 == profile.count ||
                         profile.crossing(right) - profile.crossing(left - 1) > 1.7;
    if (covered != nullptr) *covered = tooLong && profile.finder[profile.indexOf(0.0)];
    if (tooLong) return NAN;
    const double begin = profile.crossing(left - 1);
    const double end = profile.crossing(right);
    if (end - begin < leastLength) return NAN;
    return (begin + end) / 2.0;
}

// Where, along an outward step vector of one module from a point inside a
// module of the finder's colour, that colour gives way to the background:
// in modules, NaN when no such edge lies within the profile.
double outerEdge(const ImageBuffer& image, const Vector2& centre, const Vector2& outward, bool finderDark,
                 SearchContext& context) {
    Profile profile;
    if (!profile.read(image, centre, outward, -1.0, 1.75, finderDark, context)) return NAN;
    int i = profile.nearestFinder(0.0, 0.5);
    if (i < 0) return NAN;
    while (i + 1 < profile.count && profile.finder[i + 1]) ++i;
    if (i + 1 == profile.count) return NAN;
    return profile.crossing(i);
}

// The prior: the candidate's own transform for a square of the size.
Vector2 priorPoint(const SymbolResult& symbol, int size, double X, double Y) {
    Vector2 p;
    transformPoint(symbol.inverseTransform,
                   Vector2{static_cast<float>(100.0 * X / size), static_cast<float>(100.0 * Y / size)}, p);
    return p;
}

bool finderIsDark(const SymbolResult& symbol) {
    const LevelStats& s = symbol.levels;
    const auto likeness = [&](double grey) {
        const double t = ((grey - static_cast<double>(s.baseValue)) * s.sign - s.minLevel) /
                         (static_cast<double>(s.maxLevel) - s.minLevel);
        return symbol.polarity == -1 ? 1.0 - t : t;
    };
    return likeness(0.0) > likeness(255.0);
}

// The module centre of a dashed side: the top row (along X) or the right column (along Y).
void sideModule(bool top, int size, int index, double& X, double& Y) {
    X = top ? index + 0.5 : size - 0.5;
    Y = top ? size - 0.5 : index + 0.5;
}

// How well the size's clock pattern shows on the prior near the finder: the
// mean over both dashed sides' first modules of +1 for a module of the
// colour expected, -1 for the other.
double clockScore(const SymbolResult& symbol, const ImageBuffer& image, int size, bool finderDark,
                  SearchContext& context) {
    double greys[2 * kRankedModules];
    bool expected[2 * kRankedModules];
    int count = 0;
    double lowest = 255.0;
    double highest = 0.0;
    for (const bool top : {true, false}) {
        for (int i = 0; i < std::min(size, kRankedModules); ++i) {
            double X = 0.0;
            double Y = 0.0;
            sideModule(top, size, i, X, Y);
            double grey = 0.0;
            if (!greyOf(image, priorPoint(symbol, size, X, Y), grey)) continue;
            greys[count] = grey;
            expected[count++] = i % 2 == 0;
            lowest = std::min(lowest, grey);
            highest = std::max(highest, grey);
        }
    }
    context.work.charge(count);
    if (count == 0) return -1.0;
    const double mid = (lowest + highest) / 2.0;
    double score = 0.0;
    for (int i = 0; i < count; ++i) {
        const bool finder = finderDark ? greys[i] < mid : greys[i] > mid;
        score += finder == expected[i] ? 1.0 : -1.0;
    }
    return score / count;
}

// Follows a dashed side from the finder with the prior of the size, module
// by module, correcting the position at every dark module found. Returns the
// side's length in modules (0 when it ran out of the table) and appends the
// dark modules' centres to points. With a known length (the other side's),
// the side is followed past missing modules to that length, and at least a
// quarter of its modules must be found. Bridging, for pictures where uneven
// light grew the side's modules together or shrank them: dark modules down
// to a quarter of a module count, and where the finder's colour covers a dark
// module's place with no module to be told apart, the side is followed on
// along its outer edge, its place along the side reckoned from the last step.
int followSide(const SymbolResult& symbol, const ImageBuffer& image, bool top, int size, bool finderDark,
               SearchContext& context, std::vector<GridPoint>& points, bool bridging, int knownLength = 0) {
    double X = 0.0;
    double Y = 0.0;
    sideModule(top, size, 0, X, Y);
    Vector2 centre = priorPoint(symbol, size, X, Y);
    Vector2 along = difference(priorPoint(symbol, size, X + (top ? 1.0 : 0.0), Y + (top ? 0.0 : 1.0)), centre);
    int lastDark = -1;
    int lastSeen = -1;
    int misses = 0;
    Vector2 lastFound{};
    const std::size_t firstPoint = points.size();
    int found = 0;
    const auto goOn = [&](int i) {
        return knownLength > 0 ? i <= knownLength - 2 : i <= 146 + 2 * kMissesAtEnd && misses < kMissesAtEnd;
    };
    const double leastLength = bridging ? kLeastBridgedModule : kLeastModule;
    for (int i = 0; goOn(i); ++i) {
        if (i > 0) centre = plus(centre, along, 1.0);
        if (i % 2 != 0) continue;
        // One module outwards, from the prior at the module's place along the side.
        sideModule(top, size, i, X, Y);
        const Vector2 outward = difference(priorPoint(symbol, size, X + (top ? 0.0 : 0.5), Y + (top ? 0.5 : 0.0)),
                                           priorPoint(symbol, size, X - (top ? 0.0 : 0.5), Y - (top ? 0.5 : 0.0)));
        bool covered = false;
        const double shift = moduleOffset(image, centre, along, finderDark, context, leastLength, &covered);
        if (std::isnan(shift)) {
            const double edge = bridging && covered ? outerEdge(image, centre, outward, finderDark, context) : NAN;
            if (std::isnan(edge) || edge < 0.0 || edge > 1.0) {
                ++misses;
                continue;
            }
            centre = plus(centre, outward, edge - 0.5);
            misses = 0;
            lastSeen = i;
            continue;
        }
        Vector2 dark = plus(centre, along, shift);
        const double edge = outerEdge(image, dark, outward, finderDark, context);
        if (std::isnan(edge) || edge < 0.0 || edge > 1.0) {
            ++misses;
            continue;
        }
        dark = plus(dark, outward, edge - 0.5);
        misses = 0;
        if (lastDark >= 0) {
            // The step along the side follows what the modules measure, smoothed.
            const Vector2 measured = scaled(difference(dark, lastFound), 1.0 / (i - lastDark));
            along = Vector2{coordinate((along.x + measured.x) / 2.0), coordinate((along.y + measured.y) / 2.0)};
        }
        centre = dark;
        lastFound = dark;
        lastDark = i;
        lastSeen = i;
        ++found;
        points.push_back(GridPoint{top ? i + 0.5 : 0.0, top ? 0.0 : i + 0.5, dark});
    }
    const int length = knownLength > 0 ? knownLength : lastSeen + 2;
    const bool ended = knownLength > 0 ? 4 * found >= knownLength : misses >= kMissesAtEnd;
    if (lastDark < 0 || !ended || findSizeIndex(length) < 0) {
        points.resize(firstPoint);
        return 0;
    }
    // The module coordinates across the side, now that its length is known.
    for (std::size_t p = firstPoint; p < points.size(); ++p) {
        if (top) {
            points[p].Y = length - 0.5;
        } else {
            points[p].X = length - 0.5;
        }
    }
    return length;
}

// The edge constraints of the finder's solid sides, measured where the grid
// puts their modules.
void measureSolidSides(const CubicGrid& grid, const ImageBuffer& image, bool finderDark, SearchContext& context,
                       std::vector<GridLineConstraint>& lines) {
    const int size = grid.size;
    for (const bool row : {true, false}) {
        for (int j = 0; j < size; ++j) {
            const double X = row ? j + 0.5 : 0.5;
            const double Y = row ? 0.5 : j + 0.5;
            const Vector2 centre = grid.at(X, Y);
            const Vector2 outward = difference(grid.at(row ? X : X - 1.0, row ? Y - 1.0 : Y), centre);
            const double edge = outerEdge(image, centre, outward, finderDark, context);
            if (std::isnan(edge)) continue;
            Vector2 tangent = difference(grid.at(row ? X + 0.5 : 0.0, row ? 0.0 : Y + 0.5),
                                         grid.at(row ? X - 0.5 : 0.0, row ? 0.0 : Y - 0.5));
            vectorNormalize(tangent);
            lines.push_back(GridLineConstraint{row ? X : 0.0, row ? 0.0 : Y, plus(centre, outward, edge),
                                               Vector2{-tangent.y, tangent.x}});
        }
    }
}

// Follows the dashed line of the alignment pattern at column (or row) d,
// from the dashed side where it begins, with the grid as the prior: along
// the line at every dark module, and across it at every light module, whose
// neighbour on the solid line beside it is of the finder's colour. Appends
// the dark modules' centres to points.
void followInnerLine(const CubicGrid& grid, const ImageBuffer& image, bool column, int d, bool finderDark,
                     SearchContext& context, std::vector<GridPoint>& points) {
    const int size = grid.size;
    const auto module = [&](int i) {
        return column ? std::pair{d + 0.5, i + 0.5} : std::pair{i + 0.5, d + 0.5};
    };
    const auto [X0, Y0] = module(size - 2);
    Vector2 centre = grid.at(X0, Y0);
    for (int i = size - 2; i >= 1; --i) {
        const auto [X, Y] = module(i);
        if (i < size - 2) {
            // The step from the grid where it is, corrected by what was measured so far.
            const auto [Xn, Yn] = module(i + 1);
            centre = plus(centre, difference(grid.at(X, Y), grid.at(Xn, Yn)), 1.0);
        }
        const Vector2 along = difference(grid.at(column ? X : X + 1.0, column ? Y + 1.0 : Y), grid.at(X, Y));
        const Vector2 across = difference(grid.at(column ? X + 1.0 : X, column ? Y : Y + 1.0), grid.at(X, Y));
        if (i % 2 == 0) {
            const double shift = moduleOffset(image, centre, along, finderDark, context);
            if (std::isnan(shift)) continue;
            centre = plus(centre, along, shift);
            points.push_back(GridPoint{X, Y, centre});
        } else {
            // The light module seen as the finder's colour: its edge towards the solid line.
            const double edge = outerEdge(image, centre, across, !finderDark, context);
            if (std::isnan(edge) || edge < 0.0 || edge > 1.0) continue;
            centre = plus(centre, across, edge - 0.5);
        }
    }
}

// Solves a x = b by elimination with partial pivoting, a and b overwritten;
// false when a is (nearly) singular.
template <int N>
bool solve(double (&a)[N][N], double (&b)[N], double (&x)[N]) {
    for (int c = 0; c < N; ++c) {
        int pivot = c;
        for (int r = c + 1; r < N; ++r) {
            if (std::fabs(a[r][c]) > std::fabs(a[pivot][c])) pivot = r;
        }
        if (std::fabs(a[pivot][c]) < 1e-9) return false;
        std::swap(a[c], a[pivot]);
        std::swap(b[c], b[pivot]);
        for (int r = c + 1; r < N; ++r) {
            const double f = a[r][c] / a[c][c];
            for (int k = c; k < N; ++k) a[r][k] -= f * a[c][k];
            b[r] -= f * b[c];
        }
    }
    for (int c = N - 1; c >= 0; --c) {
        double sum = b[c];
        for (int k = c + 1; k < N; ++k) sum -= a[c][k] * x[k];
        x[c] = sum / a[c][c];
    }
    return true;
}

// Sets the symbol's transforms to the projective map through the grid's four
// corners, so that the symbol's corners are reported where the grid put them.
// Left as they were when the corners make no map.
void setTransformsFromCorners(SymbolResult& symbol, const CubicGrid& grid) {
    // Unknowns a..h of x = (a X + b Y + c) / (g X + h Y + 1), y = (d X + e Y + f) / (g X + h Y + 1).
    double equations[8][8] = {};
    double values[8] = {};
    double h[8] = {};
    const double square[4][2] = {{0.0, 0.0}, {100.0, 0.0}, {0.0, 100.0}, {100.0, 100.0}};
    for (int c = 0; c < 4; ++c) {
        const double X = square[c][0];
        const double Y = square[c][1];
        const Vector2 p = grid.at(X * grid.size / 100.0, Y * grid.size / 100.0);
        double(&rowX)[8] = equations[2 * c];
        double(&rowY)[8] = equations[2 * c + 1];
        rowX[0] = X;
        rowX[1] = Y;
        rowX[2] = 1.0;
        rowX[6] = -X * p.x;
        rowX[7] = -Y * p.x;
        values[2 * c] = p.x;
        rowY[3] = X;
        rowY[4] = Y;
        rowY[5] = 1.0;
        rowY[6] = -X * p.y;
        rowY[7] = -Y * p.y;
        values[2 * c + 1] = p.y;
    }
    if (!solve(equations, values, h)) return;
    for (const double v : h) {
        if (!std::isfinite(v) || std::fabs(v) > 1e9) return;
    }
    // Row vectors: [X Y 1] times the matrix.
    const auto f = [](double v) { return static_cast<float>(v); };
    const Matrix3 inverse{{{f(h[0]), f(h[3]), f(h[6])}, {f(h[1]), f(h[4]), f(h[7])}, {f(h[2]), f(h[5]), 1.0f}}};
    Matrix3 forward;
    if (matrixInverse(inverse, forward) != 1) return;
    symbol.inverseTransform = inverse;
    symbol.forwardTransform = forward;
}

// Modules of the ring (in a binarised grid of the given side, the symbol
// gridMargin / 2 cells in) whose colour is not the pattern's, by the polarity
// the border check set.
int ringMismatches(const SymbolResult& symbol, const float* binarised, int side) {
    const int size = side - gridMargin;
    const int half = gridMargin / 2;
    int mismatches = 0;
    for (int k = 0; k < size; ++k) {
        for (int l = 0; l < size; ++l) {
            if (k != 0 && l != 0 && k != size - 1 && l != size - 1) continue;
            const float value = binarised[static_cast<std::size_t>(k + half) * side + (l + half)];
            if (value < 0.0f) continue;
            const bool dark = value < 128.0f;
            const bool finder = symbol.polarity == 1 ? dark : !dark;
            const bool expected = k == 0 || l == 0 || ringExpectsFinderColour(k == size - 1 ? l : k);
            if (finder != expected) ++mismatches;
        }
    }
    return mismatches;
}

// The grey a module of the grid is read as: at its centre, or the lightest
// of kNearCentre x kNearCentre points round it; -1 when its centre lies
// outside the picture.
float moduleGrey(const CubicGrid& grid, const ImageBuffer& image, double X, double Y, BentModules modules) {
    double grey = 0.0;
    if (!greyOf(image, grid.at(X, Y), grey)) return -1.0f;
    if (modules == BentModules::LightWins) {
        constexpr int kReach = kNearCentre / 2;
        for (int a = -kReach; a <= kReach; ++a) {
            for (int b = -kReach; b <= kReach; ++b) {
                double near = 0.0;
                const Vector2 p = grid.at(X + kNearCentreSpread * a / kReach, Y + kNearCentreSpread * b / kReach);
                if (greyOf(image, p, near)) grey = std::max(grey, near);
            }
        }
    }
    return static_cast<float>(grey);
}

// Marks as outside the picture (so that their codewords are erased) the
// modules inside the ring (size x size, gridMargin / 2 cells in) that are
// dark, as are the eight around them: where dim light left nothing light,
// their colour cannot be told. Dark is darker than the middle of the
// grid's darkest and lightest grey.
void eraseAmongDark(const float* raw, float* binarised, int size) {
    const int half = gridMargin / 2;
    const int side = size + gridMargin;
    float lowest = 255.0f;
    float highest = 0.0f;
    for (int c = 0; c < side * side; ++c) {
        if (raw[c] < 0.0f) continue;
        lowest = std::min(lowest, raw[c]);
        highest = std::max(highest, raw[c]);
    }
    const float middle = (lowest + highest) / 2.0f;
    const auto dark = [&](int k, int l) {
        const float value = raw[static_cast<std::size_t>(k + half) * side + (l + half)];
        return value < middle;
    };
    std::vector<std::size_t> erased;
    for (int k = 1; k < size - 1; ++k) {
        for (int l = 1; l < size - 1; ++l) {
            bool allDark = true;
            for (int dk = -1; dk <= 1 && allDark; ++dk) {
                for (int dl = -1; dl <= 1 && allDark; ++dl) allDark = dark(k + dk, l + dl);
            }
            if (allDark) erased.push_back(static_cast<std::size_t>(k + half) * side + (l + half));
        }
    }
    for (const std::size_t cell : erased) binarised[cell] = -1.0f;
}

}  // namespace

Vector2 CubicGrid::at(double X, double Y) const {
    double terms[kTerms];
    basis(X / size, Y / size, terms);
    double px = 0.0;
    double py = 0.0;
    for (int i = 0; i < kTerms; ++i) {
        px += x[i] * terms[i];
        py += y[i] * terms[i];
    }
    return {coordinate(px), coordinate(py)};
}

bool fitCubicGrid(int size, const std::vector<GridPoint>& points, const std::vector<GridLineConstraint>& lines,
                  double lineWeight, const std::vector<GridPoint>& prior, double priorWeight, CubicGrid& grid) {
    if (size <= 0) return false;
    constexpr int kUnknowns = 2 * kTerms;
    double normal[kUnknowns][kUnknowns] = {};
    double right[kUnknowns] = {};
    // One equation: coefficients on the x terms and on the y terms.
    const auto add = [&](const double (&terms)[kTerms], double onX, double onY, double value, double weight) {
        double row[kUnknowns];
        for (int i = 0; i < kTerms; ++i) {
            row[i] = onX * terms[i];
            row[kTerms + i] = onY * terms[i];
        }
        for (int r = 0; r < kUnknowns; ++r) {
            if (row[r] == 0.0) continue;
            for (int c = 0; c < kUnknowns; ++c) normal[r][c] += weight * row[r] * row[c];
            right[r] += weight * row[r] * value;
        }
    };
    const auto addPoint = [&](const GridPoint& point, double weight) {
        double terms[kTerms];
        basis(point.X / size, point.Y / size, terms);
        add(terms, 1.0, 0.0, point.picture.x, weight);
        add(terms, 0.0, 1.0, point.picture.y, weight);
    };
    for (const GridPoint& point : points) addPoint(point, 1.0);
    for (const GridPoint& point : prior) addPoint(point, priorWeight);
    for (const GridLineConstraint& line : lines) {
        double terms[kTerms];
        basis(line.X / size, line.Y / size, terms);
        add(terms, line.normal.x, line.normal.y, dot(line.normal, line.picture), lineWeight);
    }
    double solution[kUnknowns] = {};
    if (!solve(normal, right, solution)) return false;
    grid.size = size;
    std::copy(solution, solution + kTerms, grid.x);
    std::copy(solution + kTerms, solution + kUnknowns, grid.y);
    return true;
}

int fitBentSymbol(SymbolResult& symbol, SearchContext& context, BentModules modules) {
    const ImageBuffer& image = context.image;
    const bool finderDark = finderIsDark(symbol);
    // The size whose clocks show best near the finder gives the first step along the sides.
    int bestSize = 0;
    double bestScore = 0.0;
    for (const SymbolSize& shape : kSymbolSizes) {
        const double score = clockScore(symbol, image, shape.symbolSize, finderDark, context);
        if (score > bestScore) {
            bestScore = score;
            bestSize = shape.symbolSize;
        }
    }
    if (bestSize == 0 || bestScore < kLeastClockScore) return 0;
    // Both dashed sides; where one stopped short at missing modules, it is
    // followed again to the other's length. 0 when they give no size.
    std::vector<GridPoint> points;
    std::vector<GridPoint> rightPoints;
    const auto followBoth = [&](bool bridging) {
        points.clear();
        rightPoints.clear();
        const int across = followSide(symbol, image, true, bestSize, finderDark, context, points, bridging);
        const int up = followSide(symbol, image, false, bestSize, finderDark, context, rightPoints, bridging);
        if (across == up) return across;
        const bool topShorter = across < up;
        const int longer = std::max(across, up);
        std::vector<GridPoint>& shorter = topShorter ? points : rightPoints;
        shorter.clear();
        return followSide(symbol, image, topShorter, bestSize, finderDark, context, shorter, bridging, longer) ==
                       longer
                   ? longer
                   : 0;
    };
    // Sides lost where uneven light grew or shrank their modules are followed
    // once more, bridging.
    int across = followBoth(false);
    if (across == 0) across = followBoth(true);
    if (across == 0) return 0;
    points.insert(points.end(), rightPoints.begin(), rightPoints.end());
    const int size = across;
    std::vector<GridPoint> prior;
    for (int i = 0; i <= 4; ++i) {
        for (int j = 0; j <= 4; ++j) {
            const double X = size * i / 4.0;
            const double Y = size * j / 4.0;
            prior.push_back(GridPoint{X, Y, priorPoint(symbol, size, X, Y)});
        }
    }
    CubicGrid grid;
    if (!fitCubicGrid(size, points, {}, kEdgeWeight, prior, kPriorWeight, grid)) return 0;
    // The solid sides measured where the grid puts them; then the dashed
    // lines of the alignment patterns, followed from the dashed sides; then
    // the solid sides once more, leaving out edges the grid still lies more
    // than half a module from.
    std::vector<GridLineConstraint> lines;
    measureSolidSides(grid, image, finderDark, context, lines);
    if (!fitCubicGrid(size, points, lines, kEdgeWeight, prior, kPriorWeight, grid)) return 0;
    const SymbolSize& shape = kSymbolSizes[static_cast<std::size_t>(findSizeIndex(size))];
    for (int d = shape.regionSize + 1; d < size - 1; d += shape.regionSize + 2) {
        followInnerLine(grid, image, true, d, finderDark, context, points);
        followInnerLine(grid, image, false, d, finderDark, context, points);
    }
    if (!fitCubicGrid(size, points, lines, kEdgeWeight, prior, kPriorWeight, grid)) return 0;
    lines.clear();
    measureSolidSides(grid, image, finderDark, context, lines);
    const double module = distance(grid.at(0.0, 0.0), grid.at(size, 0.0)) / size;
    std::erase_if(lines, [&](const GridLineConstraint& line) {
        return std::fabs(dot(line.normal, difference(grid.at(line.X, line.Y), line.picture))) > module / 2;
    });
    if (!fitCubicGrid(size, points, lines, kEdgeWeight, prior, kPriorWeight, grid)) return 0;

    // Every module and a margin round the symbol, thresholded against its neighbourhood.
    SamplingGrids* grids = samplingGridsOf(context);
    if (grids == nullptr) return 0;
    const int half = gridMargin / 2;
    const int side = size + gridMargin;
    context.work.charge((modules == BentModules::LightWins ? 4 + kNearCentre * kNearCentre : 4) *
                        static_cast<std::int64_t>(side) * side);
    for (int k = -half; k < size + half; ++k) {
        for (int l = -half; l < size + half; ++l) {
            grids->rawGrid[static_cast<std::size_t>(k + half) * side + (l + half)] =
                moduleGrey(grid, image, l + 0.5, k + 0.5, modules);
        }
    }
    for (const LocalThresholdMode mode : {LocalThresholdRing, LocalThresholdInside}) {
        localThreshold(grids->rawGrid.data(), grids->binarisedGrid.data(), side, side, gridMargin, gridMargin, mode);
    }
    if (modules == BentModules::LightWins) eraseAmongDark(grids->rawGrid.data(), grids->binarisedGrid.data(), size);
    symbol.mappingRows = size - 2;
    symbol.mappingCols = size - 2;
    // The size comes from both sides, so the ring only has to show mostly
    // the pattern: a few parts of a photographed ring may be lost. The
    // polarity is the one the ring shows better, not that of one module of the
    // solid column, which uneven light may have turned.
    symbol.polarity = 1;
    const int darkMismatches = ringMismatches(symbol, grids->binarisedGrid.data(), side);
    symbol.polarity = -1;
    const int lightMismatches = ringMismatches(symbol, grids->binarisedGrid.data(), side);
    symbol.polarity = darkMismatches <= lightMismatches ? 1 : -1;
    if (std::min(darkMismatches, lightMismatches) * kRingShareDivisor > 4 * (size - 1)) return 0;
    if (!acceptSymbolSize(symbol, context, size - 2)) return 0;
    gridToModules(symbol, grids->binarisedGrid.data());
    setTransformsFromCorners(symbol, grid);
    return 1;
}

}  // namespace ternwick
