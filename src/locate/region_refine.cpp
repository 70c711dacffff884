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

// The point (a, b) as the row vector [a b 1] through a matrix, with the
// homogeneous division of the point transform; a and b at full precision.
Vector2 mapRowVector(const Matrix3& m, double a, double b) {
    const auto x = static_cast<float>(a * m.m[0][0] + b * m.m[1][0] + m.m[2][0]);
    const auto y = static_cast<float>(a * m.m[0][1] + b * m.m[1][1] + m.m[2][1]);
    const double w = a * m.m[0][2] + b * m.m[1][2] + m.m[2][2];
    if (std::fabs(w) > kEpsilon) {
        const double inv = 1.0 / w;
        return Vector2{static_cast<float>(x * inv), static_cast<float>(y * inv)};
    }
    return Vector2{x, y};
}

// A scan-frame point (u, v) as the side's row vector: [u v 1] for the top,
// [v u 1] (out coordinate first) for the right.
Vector2 mapScanPoint(const Matrix3& m, Side side, double u, double v) {
    return side == Side::Top ? mapRowVector(m, u, v) : mapRowVector(m, v, u);
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

bool insideImage(const ImageBuffer& image, const Vector2& p) {
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

int fitSide(Candidate& symbol, SearchContext& context, Side side, EdgeWalkRecord* out) {
    EdgeWalkRecord record;
    const ImageBuffer& image = context.image;
    const bool top = side == Side::Top;

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
    const bool axisAligned = std::fabs(d1.x) > 0.999 || std::fabs(d1.y) > 0.999;
    const bool legCondition = top ? static_cast<double>(len1) + 5.0f < len2 : static_cast<double>(len2) + 5.0f < len1;
    record.axisAligned = axisAligned;
    record.legCondition = legCondition;

    const Matrix3 warp = sideWarp(side);
    Matrix3 toImage;
    matrixMultiply(warp, symbol.inverseTransform, toImage);

    std::int64_t work = 0;  // points mapped and sampled, for the scan line's work
    if (top) readPolarity(symbol, image, toImage, record, work);
    const double midLevel = symbol.levels.midLevel;
    const int polarity = symbol.polarity;

    float u = 0.0f;
    float v = 100.0f;
    Vector2 prev{0.0f, 100.0f};
    Vector2 runStart{0.0f, 100.0f};
    Vector2 anchor{0.0f, 100.0f};
    Vector2 farPoint{100.0f, 100.0f};
    Vector2 periodStart;
    Vector2 periodEnd;
    bool periodFound = false;
    float bestGap = 0.0f;
    bool corrected = false;
    float levelMin = 256.0f;
    float levelMax = -256.0f;
    float levelMid = 0.0f;  // stays defined even when no sample is taken

    while (v < 300.0 && u < 100.0) {
        ++work;
        Vector2 p = mapScanPoint(toImage, side, u, v);
        bool inside = insideImage(image, p);
        while (!inside && u < 100.0 && legCondition) {
            v = stepped(v, -0.1);
            u = stepped(u, 0.1);
            ++work;
            p = mapScanPoint(toImage, side, u, v);
            inside = insideImage(image, p);
            corrected = true;
        }
        if (u >= 100.0) break;

        float sample = 0.0f;
        sampleBilinear(image, sample, p.x, p.y);
        auto s = static_cast<float>(level(symbol, sample));
        if (!inside && axisAligned) s = static_cast<float>(polarity == 1 ? midLevel - 1.0 : midLevel + 1.0);

        if (top) {
            if (s > levelMax) {
                levelMax = s;
                levelMid = static_cast<float>((static_cast<double>(levelMin) + s) / 2.0);
            } else if (s < levelMin) {
                levelMin = s;
                levelMid = static_cast<float>((static_cast<double>(levelMax) + s) / 2.0);
            }
        }

        const bool on = top ? ((polarity == 1 && s > midLevel) || (polarity == -1 && s <= midLevel))
                            : ((polarity == 1 && s >= midLevel) || (polarity == -1 && s < midLevel));
        if (on) {
            // A climb: after a climb, the distance along the side since the
            // run began is a candidate for the longest stretch between climbs.
            if (static_cast<double>(u) - prev.x < kEpsilon) {
                const auto gap = static_cast<float>(static_cast<double>(u) - runStart.x);
                if (gap > bestGap) {
                    bestGap = gap;
                    periodStart = runStart;
                    periodEnd = Vector2{u, v};
                    periodFound = true;
                }
                runStart = Vector2{u, v};
            }
            prev = Vector2{u, v};
            v = stepped(v, 0.1);
        } else {
            if (std::fabs(static_cast<double>(v) - prev.y) > kEpsilon) {
                // A clearing: the first off sample after the walk was raised.
                ++record.clearings;
                if (static_cast<double>(u) - anchor.x < 1.0 || corrected) {
                    anchor = Vector2{u, v};
                    if (bothNear100(farPoint)) farPoint = Vector2{u, v};
                    corrected = false;
                } else {
                    farPoint = Vector2{u, v};
                }
            }
            prev = Vector2{u, v};
            u = stepped(u, 0.1);
        }
    }
    record.endUv = Vector2{u, v};
    context.work.charge(work);

    if (top) context.lastTopEdgeLevels = TopEdgeLevels{levelMin, levelMax, levelMid};
    if (!periodFound) {
        // No stretch was measured: an empty period at the last run start.
        periodStart = runStart;
        periodEnd = runStart;
    }

    const Vector2 anchorSquare = mapScanPoint(warp, side, anchor.x, anchor.y);
    const Vector2 farSquare = mapScanPoint(warp, side, farPoint.x, farPoint.y);
    const Vector2 periodStartImage = mapScanPoint(toImage, side, periodStart.x, periodStart.y);
    const Vector2 periodEndImage = mapScanPoint(toImage, side, periodEnd.x, periodEnd.y);
    if (top) {
        symbol.topPeriodStart = periodStartImage;
        symbol.topPeriodEnd = periodEndImage;
    } else {
        symbol.rightPeriodStart = periodStartImage;
        symbol.rightPeriodEnd = periodEndImage;
    }

    record.anchorUv = anchor;
    record.farUv = farPoint;
    record.anchorSquare = anchorSquare;
    record.farSquare = farSquare;
    record.periodStartUv = periodStart;
    record.periodEndUv = periodEnd;
    record.periodStartImage = periodStartImage;
    record.periodEndImage = periodEndImage;
    record.bestGap = bestGap;
    if (out != nullptr) *out = record;

    // The line through the anchor and the far point gives the side's extent
    // at both ends of the square.
    const Vector2& a = anchorSquare;
    const Vector2& f = farSquare;
    if (top) {
        const double dX = static_cast<double>(f.x) - a.x;
        if (std::fabs(dX) < kEpsilon) return 0;
        const auto k = static_cast<float>((static_cast<double>(f.y) - a.y) / dX);
        const auto h0 = static_cast<float>(a.y - static_cast<double>(a.x) * k);
        if (h0 <= kEpsilon) return 0;
        symbol.params.heightAtX0 = h0;
        symbol.params.heightAtX100 = static_cast<float>((100.0 - a.x) * k + a.y);
    } else {
        const double dY = static_cast<double>(f.y) - a.y;
        if (std::fabs(dY) <= kEpsilon) return 0;
        const auto k = static_cast<float>((static_cast<double>(f.x) - a.x) / dY);
        const auto w0 = static_cast<float>(a.x - static_cast<double>(a.y) * k);
        if (w0 <= kEpsilon) return 0;
        symbol.params.widthAtY0 = w0;
        symbol.params.widthAtY100 = static_cast<float>((100.0 - a.y) * k + a.x);
    }
    updateSymbolTransform(symbol);
    return 1;
}

}  // namespace

int fitTopEdge(Candidate& symbol, SearchContext& context, EdgeWalkRecord* record) {
    return fitSide(symbol, context, Side::Top, record);
}

int fitRightEdge(Candidate& symbol, SearchContext& context, EdgeWalkRecord* record) {
    return fitSide(symbol, context, Side::Right, record);
}

}  // namespace ternwick
