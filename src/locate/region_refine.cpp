#include "locate/region_refine.h"

#include <cmath>

#include "core/checked_convert.h"
#include "core/diagnostics.h"

namespace ternwick {
namespace {

enum class Side { Top, Right };

// Each walk moves in a scan frame of its own. Its warp W carries a scan-frame
// point into the symbol square: a perspective factor that tilts the scan
// line back towards the symbol, times a scale factor. The two sides multiply
// the factors in opposite orders, so their pivots differ (320 against 400).
Matrix3 sideWarp(Side side) {
    Matrix3 perspective = kIdentityMatrix;
    Matrix3 scale = kIdentityMatrix;
    Matrix3 warp;
    if (side == Side::Top) {
        perspective.m[0][0] = 1.3333334f;
        perspective.m[0][2] = 0.0033333334f;
        scale.m[0][0] = 0.8f;
        matrixMultiply(perspective, scale, warp);
    } else {
        perspective.m[1][1] = 1.3333334f;
        perspective.m[1][2] = 0.0033333334f;
        scale.m[1][1] = 0.8f;
        matrixMultiply(scale, perspective, warp);
    }
    return warp;
}

// A scan-frame point (u, v) as the side's row vector: [u v 1] for the top,
// [v u 1] (out coordinate first) for the right.
Vector2 mapScanPoint(const Matrix3& m, Side side, double u, double v) {
    return side == Side::Top ? mapPoint(m, u, v) : mapPoint(m, v, u);
}

double level(const Candidate& symbol, double grey) {
    return (grey - symbol.levels.baseValue) * symbol.levels.sign;
}

// Straight pixel read of an image point, truncated toward zero, 0 outside.
int greyAtPoint(const ImageBuffer& image, const Vector2& p) {
    std::int32_t xi = 0;
    std::int32_t yi = 0;
    if (!image.pixels || !truncateToInt32(p.x, xi) || !truncateToInt32(p.y, yi)) return 0;
    if (static_cast<std::uint32_t>(xi) < static_cast<std::uint32_t>(image.width) &&
        static_cast<std::uint32_t>(yi) < static_cast<std::uint32_t>(image.height)) {
        return greyAt(image, xi, yi);
    }
    return 0;
}

// Whether a point lies on the picture's area: [0, width) x [0, height), the
// far edges excluded.
bool onPictureArea(const ImageBuffer& image, const Vector2& p) {
    const double width = static_cast<std::uint32_t>(image.width);
    const double height = static_cast<std::uint32_t>(image.height);
    return p.x >= 0.0 && p.x < width && p.y >= 0.0 && p.y < height;
}

bool bothNear100(const Vector2& p) {
    return std::fabs(p.x - 100.0) < kEpsilon && std::fabs(p.y - 100.0) < kEpsilon;
}

float stepped(float value, double step) { return static_cast<float>(value + step); }

// Decides the polarity from a point just inside the top side, next to the end
// of the finder leg that ends at pB.
// Adds the points it maps to work.
void readPolarity(Candidate& symbol, const ImageBuffer& image, const Matrix3& toImage, EdgeWalkRecord& record,
                  std::int64_t& work) {
    const Vector2 s0 = mapScanPoint(toImage, Side::Top, 0.0, 100.0);
    auto awayFromStart = [&](double t) {
        ++work;
        const Vector2 p = mapScanPoint(toImage, Side::Top, t, 100.0);
        return std::fabs(static_cast<double>(p.x) - s0.x) >= 1.0 || std::fabs(static_cast<double>(p.y) - s0.y) >= 1.0;
    };
    // A finder has legs of 15 pixels or more, so a pixel is a few steps away;
    // the bound only keeps a degenerate transform from stalling the search.
    constexpr int kStepLimit = 100000;
    double t = 0.0;
    int steps = 0;
    while (!awayFromStart(t) && steps++ < kStepLimit) t -= 0.1;
    steps = 0;
    do {
        t += 0.1;
    } while (!awayFromStart(t) && ++steps < kStepLimit);

    const Vector2 p = mapScanPoint(toImage, Side::Top, t, 100.0);
    const int grey = greyAtPoint(image, p);
    const auto s = static_cast<float>(level(symbol, grey));
    symbol.polarity = s > symbol.levels.midLevel ? 1 : -1;
    record.polarityPoint = p;
    record.polarityGrey = grey;
}

// How the finder's legs lie: whether the leg to pB runs along an axis of the
// picture, and whether the side's leg is clearly the shorter one (which lets
// the walk step back into the picture when it leaves it).
struct LegShape {
    bool axisAligned = false;
    bool legCondition = false;
};

LegShape legShape(const Candidate& symbol, Side side) {
    const Vector2& pC = symbol.finderPoints[0];
    const Vector2& pB = symbol.finderPoints[1];
    const Vector2& pA = symbol.finderPoints[2];
    Vector2 d1{static_cast<float>(static_cast<double>(pB.x) - pC.x), static_cast<float>(static_cast<double>(pB.y) - pC.y)};
    const Vector2 d2{static_cast<float>(static_cast<double>(pA.x) - pC.x),
                     static_cast<float>(static_cast<double>(pA.y) - pC.y)};
    const auto len1 = static_cast<float>(std::sqrt(static_cast<double>(d1.x) * d1.x + static_cast<double>(d1.y) * d1.y));
    const auto len2 = static_cast<float>(std::sqrt(static_cast<double>(d2.x) * d2.x + static_cast<double>(d2.y) * d2.y));
    if (len1 < kEpsilon || len2 < kEpsilon) diagnostics().systemError("magnitude of zero");
    d1.x = static_cast<float>(d1.x / static_cast<double>(len1));
    d1.y = static_cast<float>(d1.y / static_cast<double>(len1));
    LegShape shape;
    shape.axisAligned = std::fabs(d1.x) > 0.999 || std::fabs(d1.y) > 0.999;
    shape.legCondition =
        side == Side::Top ? static_cast<double>(len1) + 5.0f < len2 : static_cast<double>(len2) + 5.0f < len1;
    return shape;
}

// What the walk along a side found, in scan-frame points (u, v).
struct SideWalk {
    Vector2 anchor{0.0f, 100.0f};
    Vector2 farPoint{100.0f, 100.0f};
    Vector2 periodStart;
    Vector2 periodEnd;
    float bestGap = 0.0f;
    TopEdgeLevels levels{256.0f, -256.0f, 0.0f};  // top walk only; mid stays defined without samples
    Vector2 end;
    int clearings = 0;
    std::int64_t work = 0;  // points mapped and sampled, for the scan line's work
};

// Walks along the side in the scan frame from (0, 100): outward (v up) while
// the samples are on, along (u up) while they are off. Climbs delimit the
// stretches whose longest is the clock period; clearings give the anchor
// and the far point of the side's line.
SideWalk walkSide(const Candidate& symbol, const ImageBuffer& image, const Matrix3& toImage, Side side,
                  const LegShape& shape) {
    const bool top = side == Side::Top;
    const double midLevel = symbol.levels.midLevel;
    const int polarity = symbol.polarity;
    SideWalk walk;
    float u = 0.0f;
    float v = 100.0f;
    Vector2 prev{0.0f, 100.0f};
    Vector2 runStart{0.0f, 100.0f};
    bool periodFound = false;
    bool corrected = false;

    while (v < 300.0 && u < 100.0) {
        ++walk.work;
        Vector2 p = mapScanPoint(toImage, side, u, v);
        bool inside = onPictureArea(image, p);
        while (!inside && u < 100.0 && shape.legCondition) {
            v = stepped(v, -0.1);
            u = stepped(u, 0.1);
            ++walk.work;
            p = mapScanPoint(toImage, side, u, v);
            inside = onPictureArea(image, p);
            corrected = true;
        }
        if (u >= 100.0) break;

        float sample = 0.0f;
        sampleBilinear(image, sample, p.x, p.y);
        auto s = static_cast<float>(level(symbol, sample));
        if (!inside && shape.axisAligned) s = static_cast<float>(polarity == 1 ? midLevel - 1.0 : midLevel + 1.0);

        if (top) {
            TopEdgeLevels& l = walk.levels;
            if (s > l.maxLevel) {
                l.maxLevel = s;
                l.midLevel = static_cast<float>((static_cast<double>(l.minLevel) + s) / 2.0);
            } else if (s < l.minLevel) {
                l.minLevel = s;
                l.midLevel = static_cast<float>((static_cast<double>(l.maxLevel) + s) / 2.0);
            }
        }

        const bool on = top ? ((polarity == 1 && s > midLevel) || (polarity == -1 && s <= midLevel))
                            : ((polarity == 1 && s >= midLevel) || (polarity == -1 && s < midLevel));
        if (on) {
            // A climb: after a climb, the distance along the side since the
            // run began is a candidate for the longest stretch between climbs.
            if (static_cast<double>(u) - prev.x < kEpsilon) {
                const auto gap = static_cast<float>(static_cast<double>(u) - runStart.x);
                if (gap > walk.bestGap) {
                    walk.bestGap = gap;
                    walk.periodStart = runStart;
                    walk.periodEnd = Vector2{u, v};
                    periodFound = true;
                }
                runStart = Vector2{u, v};
            }
            prev = Vector2{u, v};
            v = stepped(v, 0.1);
        } else {
            if (std::fabs(static_cast<double>(v) - prev.y) > kEpsilon) {
                // A clearing: the first off sample after the walk was raised.
                ++walk.clearings;
                if (static_cast<double>(u) - walk.anchor.x < 1.0 || corrected) {
                    walk.anchor = Vector2{u, v};
                    if (bothNear100(walk.farPoint)) walk.farPoint = Vector2{u, v};
                    corrected = false;
                } else {
                    walk.farPoint = Vector2{u, v};
                }
            }
            prev = Vector2{u, v};
            u = stepped(u, 0.1);
        }
    }
    walk.end = Vector2{u, v};
    if (!periodFound) {
        // No stretch was measured: an empty period at the last run start.
        walk.periodStart = runStart;
        walk.periodEnd = runStart;
    }
    return walk;
}

// The side's keystone parameters from the line through the anchor and the far
// point (in the symbol square), which gives the side's extent at both ends of
// the square. False for a line that gives none.
bool fitSideLine(Candidate& symbol, Side side, const Vector2& a, const Vector2& f) {
    if (side == Side::Top) {
        const double dX = static_cast<double>(f.x) - a.x;
        if (std::fabs(dX) < kEpsilon) return false;
        const auto k = static_cast<float>((static_cast<double>(f.y) - a.y) / dX);
        const auto h0 = static_cast<float>(a.y - static_cast<double>(a.x) * k);
        if (h0 <= kEpsilon) return false;
        symbol.params.heightAtX0 = h0;
        symbol.params.heightAtX100 = static_cast<float>((100.0 - a.x) * k + a.y);
    } else {
        const double dY = static_cast<double>(f.y) - a.y;
        if (std::fabs(dY) <= kEpsilon) return false;
        const auto k = static_cast<float>((static_cast<double>(f.x) - a.x) / dY);
        const auto w0 = static_cast<float>(a.x - static_cast<double>(a.y) * k);
        if (w0 <= kEpsilon) return false;
        symbol.params.widthAtY0 = w0;
        symbol.params.widthAtY100 = static_cast<float>((100.0 - a.y) * k + a.x);
    }
    updateSymbolTransform(symbol);
    return true;
}

int fitSide(Candidate& symbol, SearchContext& context, Side side, EdgeWalkRecord* out) {
    EdgeWalkRecord record;
    const ImageBuffer& image = context.image;
    const bool top = side == Side::Top;

    const LegShape shape = legShape(symbol, side);
    record.axisAligned = shape.axisAligned;
    record.legCondition = shape.legCondition;

    const Matrix3 warp = sideWarp(side);
    Matrix3 toImage;
    matrixMultiply(warp, symbol.inverseTransform, toImage);

    std::int64_t polarityWork = 0;
    if (top) readPolarity(symbol, image, toImage, record, polarityWork);
    const SideWalk walk = walkSide(symbol, image, toImage, side, shape);
    record.endUv = walk.end;
    record.clearings = walk.clearings;
    context.work.charge(polarityWork + walk.work);
    if (top) context.lastTopEdgeLevels = walk.levels;

    const Vector2 anchorSquare = mapScanPoint(warp, side, walk.anchor.x, walk.anchor.y);
    const Vector2 farSquare = mapScanPoint(warp, side, walk.farPoint.x, walk.farPoint.y);
    const Vector2 periodStartImage = mapScanPoint(toImage, side, walk.periodStart.x, walk.periodStart.y);
    const Vector2 periodEndImage = mapScanPoint(toImage, side, walk.periodEnd.x, walk.periodEnd.y);
    if (top) {
        symbol.topPeriodStart = periodStartImage;
        symbol.topPeriodEnd = periodEndImage;
    } else {
        symbol.rightPeriodStart = periodStartImage;
        symbol.rightPeriodEnd = periodEndImage;
    }

    record.anchorUv = walk.anchor;
    record.farUv = walk.farPoint;
    record.anchorSquare = anchorSquare;
    record.farSquare = farSquare;
    record.periodStartUv = walk.periodStart;
    record.periodEndUv = walk.periodEnd;
    record.periodStartImage = periodStartImage;
    record.periodEndImage = periodEndImage;
    record.bestGap = walk.bestGap;
    if (out != nullptr) *out = record;

    return fitSideLine(symbol, side, anchorSquare, farSquare) ? 1 : 0;
}

}  // namespace

int fitTopEdge(Candidate& symbol, SearchContext& context, EdgeWalkRecord* record) {
    return fitSide(symbol, context, Side::Top, record);
}

int fitRightEdge(Candidate& symbol, SearchContext& context, EdgeWalkRecord* record) {
    return fitSide(symbol, context, Side::Right, record);
}

}  // namespace ternwick
