#include "sample/blurred_sampling.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <complex>
#include <limits>
#include <new>
#include <vector>

#include "sample/grid_sampling.h"
#include "sample/size_search.h"

namespace ternwick {
namespace {

// Sizes whose modules would be smaller than this many pixels, or blurred by
// more than this many modules (as undone, a fifth wider than measured), are
// not tried: beyond it the clock keeps about a hundredth of the contrast and
// no grid is placed right.
constexpr double kLeastModulePixels = 1.5;
constexpr double kMostModuleSigma = 1.1;

// Sizes whose clock shows less clearly than this (its cycles' strength over
// that of the cycle counts beside it) are not tried: a finder-like shape
// without a clock pattern along its open sides shows about 1.
constexpr double kLeastClockClarity = 1.5;

// Squares whose interior spreads by more than this share of the contrast
// between finder and quiet zone are not read: a symbol's modules, even
// blurred and noisy, spread by about half of it.
constexpr double kMostInteriorSpread = 1.0;

// The picture's blur is measured a little short, and undoing too little of it
// costs more modules than undoing too much: the blur undone is this much wider.
constexpr double kBlurAllowance = 1.2;

// Sweeps over the modules of a grid.
constexpr int kSweeps = 30;

// The most modules a blur reaches on each side.
constexpr int kMostBlurRadius = 4;

// The weights with which the modules 0..radius modules away along one axis
// add to a sample at a module's centre: the Gaussian's share of each module.
struct ModuleBlur {
    int radius = 0;
    std::array<double, kMostBlurRadius + 1> weight{};
};

double normalShareBelow(double x) { return 0.5 * std::erfc(-x / std::sqrt(2.0)); }

ModuleBlur moduleBlur(double sigma) {
    ModuleBlur blur;
    blur.radius = std::clamp(static_cast<int>(std::ceil(2.5 * sigma)), 1, kMostBlurRadius);
    double sum = 0.0;
    for (int d = 0; d <= blur.radius; ++d) {
        const double share = normalShareBelow((d + 0.5) / sigma) - normalShareBelow((d - 0.5) / sigma);
        blur.weight[static_cast<std::size_t>(d)] = share;
        sum += d == 0 ? share : 2.0 * share;
    }
    for (int d = 0; d <= blur.radius; ++d) blur.weight[static_cast<std::size_t>(d)] /= sum;
    return blur;
}

// 1 where module (k, l) of a square symbol (k counted from the solid row, l
// from the solid column) must have the finder's colour, 0 where it must have
// the background's, -1 where it carries data.
int patternColour(int k, int l, int size, int regionSize) {
    if (k < 0 || l < 0 || k >= size || l >= size) return -1;
    const int block = regionSize + 2;
    if (k % block == 0 || l % block == 0) return 1;
    if (k % block == block - 1) return l % 2 == 0 ? 1 : 0;
    if (l % block == block - 1) return k % 2 == 0 ? 1 : 0;
    return -1;
}

// The grey of module (k, l)'s centre.
float moduleGrey(const SymbolResult& symbol, const ImageBuffer& picture, int size, int k, int l) {
    const Vector2 square{static_cast<float>(100.0 * (l + 0.5) / size), static_cast<float>(100.0 * (k + 0.5) / size)};
    Vector2 p;
    transformPoint(symbol.inverseTransform, square, p);
    float grey = 0.0f;
    sampleBilinear(picture, grey, p.x, p.y);
    return grey;
}

// Greys along the symbol's two clock sides, on the square's edge, where the
// clock weighs most against the data modules beside it, less their mean.
constexpr int kProfileSamples = 600;
struct ClockProfiles {
    std::array<double, kProfileSamples> top{};
    std::array<double, kProfileSamples> right{};
};

void sampleClockProfiles(const SymbolResult& symbol, const ImageBuffer& picture, ClockProfiles& profiles) {
    double topSum = 0.0;
    double rightSum = 0.0;
    for (int j = 0; j < kProfileSamples; ++j) {
        const auto along = static_cast<float>(100.0 * (j + 0.5) / kProfileSamples);
        Vector2 p;
        float grey = 0.0f;
        transformPoint(symbol.inverseTransform, Vector2{along, 100.0f}, p);
        sampleBilinear(picture, grey, p.x, p.y);
        profiles.top[static_cast<std::size_t>(j)] = grey;
        topSum += grey;
        transformPoint(symbol.inverseTransform, Vector2{100.0f, along}, p);
        sampleBilinear(picture, grey, p.x, p.y);
        profiles.right[static_cast<std::size_t>(j)] = grey;
        rightSum += grey;
    }
    for (double& grey : profiles.top) grey -= topSum / kProfileSamples;
    for (double& grey : profiles.right) grey -= rightSum / kProfileSamples;
}

// The strength of the given number of cycles along a profile: the length of
// the sum of its samples turned by the cycles' angle at each, the turn built
// up sample by sample rather than taken from a sine and cosine at each.
double cycleStrength(const std::array<double, kProfileSamples>& profile, int cycles) {
    const double step = 2.0 * 3.14159265358979 * cycles / kProfileSamples;
    const double turnCos = std::cos(step);
    const double turnSin = std::sin(step);
    double atCos = std::cos(step / 2.0);  // sample j sits at j + 0.5
    double atSin = std::sin(step / 2.0);
    double re = 0.0;
    double im = 0.0;
    for (const double grey : profile) {
        re += grey * atCos;
        im += grey * atSin;
        const double nextCos = atCos * turnCos - atSin * turnSin;
        atSin = atSin * turnCos + atCos * turnSin;
        atCos = nextCos;
    }
    return std::hypot(re, im);
}

// Cycle strengths along both profiles, each computed once: neighbouring
// sizes share the cycle counts they compare.
class CycleStrengths {
public:
    explicit CycleStrengths(const ClockProfiles& profiles) : profiles_(profiles) {}

    // cycles: half a square size's modules, give or take two.
    double of(bool top, int cycles) {
        const auto index = static_cast<std::size_t>(cycles);
        auto& known = top ? topKnown_ : rightKnown_;
        auto& strength = top ? top_ : right_;
        if (!known[index]) {
            strength[index] = cycleStrength(top ? profiles_.top : profiles_.right, cycles);
            known[index] = true;
        }
        return strength[index];
    }

private:
    static constexpr int kMostCycles = kSymbolSizes[kSymbolSizeCount - 1].symbolSize / 2 + 3;
    const ClockProfiles& profiles_;
    std::array<double, kMostCycles> top_{};
    std::array<double, kMostCycles> right_{};
    std::array<bool, kMostCycles> topKnown_{};
    std::array<bool, kMostCycles> rightKnown_{};
};

// How clearly a square size's clock shows along both clock sides: the
// strength of its half as many cycles as modules over the mean strength of
// the two cycle counts on either side.
double clockClarity(CycleStrengths& strengths, int size) {
    const int cycles = size / 2;
    double clock = 0.0;
    double beside = 0.0;
    for (const bool top : {true, false}) {
        clock += strengths.of(top, cycles);
        for (const int d : {-2, -1, 1, 2}) beside += strengths.of(top, cycles + d) / 4.0;
    }
    return beside > 0.0 ? clock / beside : 0.0;
}

// How the two clock sides of a square symbol of the size alternate at the
// module centres: the mean of the greys at even positions less that at odd
// ones (negative when the finder is the darker colour).
double clockAlternation(const SymbolResult& symbol, const ImageBuffer& picture, int size) {
    double sum = 0.0;
    for (int i = 1; i + 1 < size; ++i) {
        const double sign = i % 2 == 0 ? 1.0 : -1.0;
        sum += sign * moduleGrey(symbol, picture, size, size - 1, i);
        sum += sign * moduleGrey(symbol, picture, size, i, size - 1);
    }
    return sum / size;
}

// The spread of the interior's module-centre greys (their standard
// deviation) over the contrast between the finder's two solid sides and the
// quiet zone beside them, on a raw grid of a square of the size. Greys that
// lie between the finder's and the quiet zone's spread by at most half the
// contrast; a square whose "finder" stands out less than its inside varies
// is no symbol.
double interiorSpread(const float* grid, int size) {
    const int n = size + gridMargin;
    const int half = gridMargin / 2;
    const auto at = [&](int k, int l) { return grid[static_cast<std::size_t>((k + half) * n + (l + half))]; };
    double finder = 0.0;
    double finderCount = 0.0;
    double quiet = 0.0;
    double quietCount = 0.0;
    for (int i = 0; i < size; ++i) {
        for (const float grey : {at(0, i), at(i, 0)}) {
            if (grey >= 0.0f) {
                finder += grey;
                ++finderCount;
            }
        }
        for (const float grey : {at(-1, i), at(i, -1)}) {
            if (grey >= 0.0f) {
                quiet += grey;
                ++quietCount;
            }
        }
    }
    double sum = 0.0;
    double squares = 0.0;
    double count = 0.0;
    for (int k = 2; k < size - 2; ++k) {
        for (int l = 2; l < size - 2; ++l) {
            const double grey = at(k, l);
            if (grey < 0.0) continue;
            sum += grey;
            squares += grey * grey;
            ++count;
        }
    }
    if (finderCount == 0.0 || quietCount == 0.0 || count < 2.0) return 0.0;
    const double contrast = std::abs(quiet / quietCount - finder / finderCount);
    const double mean = sum / count;
    const double deviation = std::sqrt(std::max(0.0, squares / count - mean * mean));
    return contrast > 0.0 ? deviation / contrast : std::numeric_limits<double>::infinity();
}

// A straight line over one clock side: offset + slope * position, both in
// modules.
struct SideLine {
    double offset = 0.0;
    double slope = 0.0;
    double at(double position) const { return offset + slope * position; }
};

constexpr double kPi = 3.14159265358979;
constexpr int kPhasorSamplesPerModule = 4;

// The clock's phase and strength over modules [from, to) along the top
// (top) or right clock side, on the line across modules outwards from the
// middle of the clock's modules: the sum of the finder-likeness of the
// samples (less their mean) turned by half a turn a module, so that a clock
// pattern lying offset modules further along gives the angle offset * pi.
std::complex<double> clockPhasor(const SymbolResult& symbol, const ImageBuffer& picture, int size, bool top,
                                 double from, double to, double across) {
    const int samples = std::max(1, static_cast<int>((to - from) * kPhasorSamplesPerModule));
    std::complex<double> sum{0.0, 0.0};
    double greySum = 0.0;
    std::complex<double> turnSum{0.0, 0.0};
    for (int j = 0; j < samples; ++j) {
        const double along = from + (to - from) * (j + 0.5) / samples;
        const double outward = size - 0.5 + across;
        const double X = top ? along : outward;
        const double Y = top ? outward : along;
        Vector2 p;
        transformPoint(symbol.inverseTransform, Vector2{static_cast<float>(100.0 * X / size),
                                                        static_cast<float>(100.0 * Y / size)}, p);
        float grey = 0.0f;
        sampleBilinear(picture, grey, p.x, p.y);
        const double likeness = symbol.polarity == 1 ? -static_cast<double>(grey) : grey;
        const std::complex<double> turn = std::polar(1.0, kPi * (along - 0.5));
        sum += likeness * turn;
        greySum += likeness;
        turnSum += turn;
    }
    return sum - greySum / samples * turnSum;
}

// A straight line through the clock's offsets along one side, measured over
// stretches of the side on the square's edge (where the clock weighs most
// against the data beside it) and weighted by the clock's strength.
SideLine fitClockSide(const SymbolResult& symbol, const ImageBuffer& picture, int size, bool top) {
    const int stretches = std::clamp(size / 8, 1, 8);
    double sw = 0.0, sx = 0.0, sxx = 0.0, sy = 0.0, sxy = 0.0;
    for (int s = 0; s < stretches; ++s) {
        const double from = static_cast<double>(size) * s / stretches;
        const double to = static_cast<double>(size) * (s + 1) / stretches;
        const std::complex<double> edge = clockPhasor(symbol, picture, size, top, from, to, 0.5);
        const double weight = std::abs(edge);
        if (!(weight > 0.0)) continue;
        const double offset = std::arg(edge) / kPi;
        const double x = 0.5 * (from + to);
        sw += weight;
        sx += weight * x;
        sxx += weight * x * x;
        sy += weight * offset;
        sxy += weight * x * offset;
    }
    SideLine line;
    if (!(sw > 0.0)) return line;
    const double spread = sw * sxx - sx * sx;
    if (stretches > 1 && spread > 0.0) line.slope = (sw * sxy - sx * sy) / spread;
    line.offset = (sy - line.slope * sx) / sw;
    return line;
}

// Moves the candidate's square onto the clocks: module u along X lies at
// u + top.at(u) of the located square, as the top clock shows, and module v
// along Y at v + right.at(v), as the right clock shows. Both offsets are held
// across the whole square: a blurred finder is placed off by about as much as
// the clock sides. The two are a scaling and a shift of the square, put in
// front of its transform.
void moveSquareToClocks(SymbolResult& symbol, int size, const SideLine& top, const SideLine& right) {
    const double scaleX = 1.0 + top.slope;
    const double scaleY = 1.0 + right.slope;
    if (!(scaleX > 0.5) || !(scaleY > 0.5)) return;
    const double shiftX = 100.0 * top.offset / size;
    const double shiftY = 100.0 * right.offset / size;
    const Matrix3 toLocated{{{static_cast<float>(scaleX), 0.0f, 0.0f},
                             {0.0f, static_cast<float>(scaleY), 0.0f},
                             {static_cast<float>(shiftX), static_cast<float>(shiftY), 1.0f}}};
    const Matrix3 fromLocated{{{static_cast<float>(1.0 / scaleX), 0.0f, 0.0f},
                               {0.0f, static_cast<float>(1.0 / scaleY), 0.0f},
                               {static_cast<float>(-shiftX / scaleX), static_cast<float>(-shiftY / scaleY), 1.0f}}};
    const Matrix3 inverse = symbol.inverseTransform;
    matrixMultiply(toLocated, inverse, symbol.inverseTransform);
    const Matrix3 forward = symbol.forwardTransform;
    matrixMultiply(forward, fromLocated, symbol.forwardTransform);
}

double pointDistance(const Vector2& a, const Vector2& b) {
    return std::hypot(static_cast<double>(a.x) - b.x, static_cast<double>(a.y) - b.y);
}

}  // namespace

std::int64_t deblurModuleGrid(const float* source, float* target, int size, int regionSize, double moduleSigma,
                              bool finderDark) {
    const int n = size + gridMargin;
    const int half = gridMargin / 2;
    const auto cells = static_cast<std::size_t>(n) * static_cast<std::size_t>(n);
    std::vector<double> darkness;
    std::vector<signed char> held;  // 1: the value is known, -1: no sample, 0: to be found
    std::vector<float> observed;
    try {
        darkness.resize(cells);
        held.resize(cells);
        observed.reserve(cells);
    } catch (const std::bad_alloc&) {
        std::fill(target, target + cells, -1.0f);
        return 0;
    }
    for (std::size_t i = 0; i < cells; ++i) {
        if (source[i] >= 0.0f) observed.push_back(source[i]);
    }
    if (observed.size() < cells / 2) {
        std::fill(target, target + cells, -1.0f);
        return 0;
    }
    // First levels: the greys below which 2 and 98 in 100 samples lie.
    std::sort(observed.begin(), observed.end());
    double darkGrey = observed[observed.size() / 50];
    double lightGrey = observed[observed.size() - 1 - observed.size() / 50];
    if (!finderDark) std::swap(darkGrey, lightGrey);  // "dark" below means the finder's colour
    if (lightGrey == darkGrey) {
        std::fill(target, target + cells, -1.0f);
        return 0;
    }
    for (int gk = 0; gk < n; ++gk) {
        for (int gl = 0; gl < n; ++gl) {
            const std::size_t i = static_cast<std::size_t>(gk) * n + gl;
            const int colour = patternColour(gk - half, gl - half, size, regionSize);
            if (colour >= 0) {
                held[i] = 1;
                darkness[i] = colour;
            } else if (source[i] < 0.0f) {
                held[i] = -1;
                darkness[i] = 0.0;
            } else {
                darkness[i] = std::clamp((lightGrey - source[i]) / (lightGrey - darkGrey), 0.0, 1.0);
            }
        }
    }

    const ModuleBlur blur = moduleBlur(moduleSigma);
    const int r = blur.radius;
    const int span = 2 * r + 1;
    // share[g * span + (t - g + r)]: the weight with which cell g adds to the
    // sample at cell t along one axis, the cells beyond the edges repeating
    // the edge cell.
    std::vector<double> share;
    std::vector<double> blurred;  // each cell's sample as the modules stand
    try {
        share.assign(static_cast<std::size_t>(n) * span, 0.0);
        blurred.assign(cells, 0.0);
    } catch (const std::bad_alloc&) {
        std::fill(target, target + cells, -1.0f);
        return 0;
    }
    for (int t = 0; t < n; ++t) {
        for (int a = -r; a <= r; ++a) {
            const int g = std::clamp(t + a, 0, n - 1);
            const double weight = blur.weight[static_cast<std::size_t>(std::abs(a))];
            share[static_cast<std::size_t>(g) * span + (t - g + r)] += weight;
        }
    }
    std::int64_t products = 0;
    // Adds the cell's darkness, times the factor, to the samples it reaches.
    const auto spread = [&](int gk, int gl, double factor) {
        products += static_cast<std::int64_t>(span) * span;
        const double* rowShare = &share[static_cast<std::size_t>(gk) * span];
        const double* columnShare = &share[static_cast<std::size_t>(gl) * span];
        for (int tk = std::max(0, gk - r); tk <= std::min(n - 1, gk + r); ++tk) {
            const double rowFactor = factor * rowShare[tk - gk + r];
            double* out = &blurred[static_cast<std::size_t>(tk) * n];
            for (int tl = std::max(0, gl - r); tl <= std::min(n - 1, gl + r); ++tl) {
                out[tl] += rowFactor * columnShare[tl - gl + r];
            }
        }
    };
    for (int gk = 0; gk < n; ++gk) {
        for (int gl = 0; gl < n; ++gl) {
            const double d = darkness[static_cast<std::size_t>(gk) * n + gl];
            if (d != 0.0) spread(gk, gl, d);
        }
    }
    const double centre = blur.weight[0] * blur.weight[0];
    for (int sweep = 0; sweep < kSweeps; ++sweep) {
        // Each module found is corrected towards its sample, and the samples
        // it reaches follow; meanwhile the samples are compared with the
        // modules as they stand, for the light and dark greys that best
        // explain them.
        double su = 0.0, sg = 0.0, suu = 0.0, sug = 0.0;
        int count = 0;
        for (int gk = 0; gk < n; ++gk) {
            for (int gl = 0; gl < n; ++gl) {
                const std::size_t i = static_cast<std::size_t>(gk) * n + gl;
                if (held[i] < 0) continue;
                const double u = blurred[i];
                const double grey = source[i];
                su += u;
                sg += grey;
                suu += u * u;
                sug += u * grey;
                ++count;
                ++products;
                if (held[i] != 0) continue;
                const double wanted = (lightGrey - grey) / (lightGrey - darkGrey);
                const double next = std::clamp(darkness[i] + (wanted - u) / centre, 0.0, 1.0);
                if (next == darkness[i]) continue;
                spread(gk, gl, next - darkness[i]);
                darkness[i] = next;
            }
        }
        const double variance = count * suu - su * su;
        if (!(variance > 0.0)) continue;
        const double slope = (count * sug - su * sg) / variance;
        if (!((finderDark ? -slope : slope) > 1.0)) continue;
        lightGrey = (sg - slope * su) / count;
        darkGrey = lightGrey + slope;
    }
    for (std::size_t i = 0; i < cells; ++i) {
        const bool finderColour = darkness[i] > 0.5;
        target[i] = source[i] < 0.0f ? -1.0f : finderColour == finderDark ? 0.0f : 255.0f;
    }
    return products;
}

namespace {

// The shorter of the located square's two sides, in pixels.
double shorterSide(const SymbolResult& symbol) {
    Vector2 origin;
    Vector2 alongX;
    Vector2 alongY;
    transformPoint(symbol.inverseTransform, Vector2{0.0f, 0.0f}, origin);
    transformPoint(symbol.inverseTransform, Vector2{100.0f, 0.0f}, alongX);
    transformPoint(symbol.inverseTransform, Vector2{0.0f, 100.0f}, alongY);
    return std::min(pointDistance(origin, alongX), pointDistance(origin, alongY));
}

}  // namespace

BlurredSizes blurredSizes(const SymbolResult& symbol, SearchContext& context, const ImageBuffer& picture,
                          double blurPixels) {
    BlurredSizes sizes;
    sizes.fill(-1);
    const double side = shorterSide(symbol);
    if (!(blurPixels > 0.0) || !(side > 0.0)) return sizes;
    blurPixels *= kBlurAllowance;
    struct Scored {
        double clarity;
        int sizeIndex;
    };
    ClockProfiles profiles;
    sampleClockProfiles(symbol, picture, profiles);
    context.work.charge(2 * kProfileSamples);
    CycleStrengths strengths(profiles);
    std::array<Scored, kSymbolSizeCount> scored{};
    int count = 0;
    for (int s = 0; s < kSymbolSizeCount; ++s) {
        const int modules = kSymbolSizes[static_cast<std::size_t>(s)].symbolSize;
        const double modulePixels = side / modules;
        if (modulePixels < kLeastModulePixels || blurPixels / modulePixels > kMostModuleSigma) continue;
        context.work.charge(10 * kProfileSamples / 4);
        const double clarity = clockClarity(strengths, modules);
        if (clarity >= kLeastClockClarity) scored[static_cast<std::size_t>(count++)] = Scored{clarity, s};
    }
    std::stable_sort(scored.begin(), scored.begin() + count,
                     [](const Scored& a, const Scored& b) { return a.clarity > b.clarity; });
    for (int rank = 0; rank < std::min(count, kBlurredSizeTries); ++rank) {
        sizes[static_cast<std::size_t>(rank)] = scored[static_cast<std::size_t>(rank)].sizeIndex;
    }
    return sizes;
}

int fitBlurredSymbol(SymbolResult& symbol, SearchContext& context, const ImageBuffer& picture, double blurPixels,
                     int sizeIndex) {
    const double side = shorterSide(symbol);
    if (!(blurPixels > 0.0) || !(side > 0.0) || sizeIndex < 0 || sizeIndex >= kSymbolSizeCount) return 0;
    const SymbolSize& shape = kSymbolSizes[static_cast<std::size_t>(sizeIndex)];
    const int modules = shape.symbolSize;
    const double alternation = clockAlternation(symbol, picture, modules);
    if (alternation == 0.0) return 0;
    SamplingGrids* grids = samplingGridsOf(context);
    if (grids == nullptr) return 0;
    symbol.mappingRows = modules - 2;
    symbol.mappingCols = modules - 2;
    symbol.polarity = alternation < 0.0 ? 1 : -1;
    const double moduleSigma = blurPixels * kBlurAllowance * modules / side;
    const std::int64_t cells = static_cast<std::int64_t>(modules + gridMargin) * (modules + gridMargin);
    context.work.charge(cells);  // the samples
    const SideLine top = fitClockSide(symbol, picture, modules, true);
    const SideLine right = fitClockSide(symbol, picture, modules, false);
    context.work.charge(2 * kPhasorSamplesPerModule * modules);
    moveSquareToClocks(symbol, modules, top, right);
    sampleGrid(symbol, picture, grids->rawGrid.data(), GridPart::BorderBand);
    sampleGrid(symbol, picture, grids->rawGrid.data(), GridPart::Interior);
    if (interiorSpread(grids->rawGrid.data(), modules) > kMostInteriorSpread) return 0;
    // The sweeps, a unit for eight products of the blur.
    context.work.charge(deblurModuleGrid(grids->rawGrid.data(), grids->binarisedGrid.data(), modules,
                                         shape.regionSize, moduleSigma, symbol.polarity == 1) /
                        8);
    if (!acceptSymbolSize(symbol, context, modules - 2)) return 0;
    gridToModules(symbol, grids->binarisedGrid.data());
    return 1;
}

}  // namespace ternwick
