#include "locate/finder.h"

#include <algorithm>
#include <cmath>

#include "core/checked_convert.h"

namespace ternwick {
namespace {

constexpr double kOppositeLines = -0.99;    // dot below which two first lines run opposite ways
constexpr double kMinimumLegLength = 15.0;
constexpr double kMinimumLegReach = 10.0;   // distance a leg end keeps from the corner
constexpr double kMinimumLegRatio = 0.33;
constexpr double kMinimumElongatedRatio = 0.04;  // 8x144, the longest rectangle, is 0.056
constexpr double kMinimumLegAngle = 0.3490658503988659;  // 20 degrees

double lengthOf(const EdgeLine& line) { return static_cast<double>(line.tEnd) - line.tStart; }

Vector2 farEnd(const EdgeLine& line) {
    Vector2 end;
    linePointAt(end, line, line.tEnd);
    return end;
}

// The line's parameter of the foot of a point.
float parameterOf(const EdgeLine& line, const Vector2& point) {
    return static_cast<float>(dot(difference(point, line.origin), line.direction));
}

// Picks the two legs among the traces' lines; either may come back invalid.
void chooseLegs(const EdgeTrace& first, const EdgeTrace& second, EdgeLine& ea, EdgeLine& eb) {
    const EdgeLine& line1a = first.line1;
    const EdgeLine& line1b = second.line1;
    if ((line1a.valid != 0) != (line1b.valid != 0)) {
        const EdgeTrace& only = line1a.valid ? first : second;
        ea = only.line1;
        eb = only.line2;
        return;
    }
    if (!line1a.valid) return;  // neither first line: nothing to build on

    if (dot(line1a.direction, line1b.direction) >= kOppositeLines) {
        const bool firstShorter = lengthOf(line1a) <= lengthOf(line1b);
        ea = firstShorter ? line1a : line1b;
        eb = firstShorter ? line1b : line1a;
        return;
    }

    // The first lines run in nearly opposite directions from the seed: one
    // edge seen from both sides. The leg along it is stretched over both.
    const double w1 = first.line2.valid ? lengthOf(first.line2) : 0.0;
    const double w2 = second.line2.valid ? lengthOf(second.line2) : 0.0;
    const Vector2 q1 = farEnd(line1a);
    const Vector2 q2 = farEnd(line1b);
    if (w2 >= w1) {
        ea = line1a;
        ea.tStart = parameterOf(line1a, q2);
        eb = second.line2;
        return;
    }
    eb = first.line2;
    EdgeLine alongFirst = line1b;
    alongFirst.tStart = parameterOf(line1b, q1);
    const EdgeLine candidates[] = {lineThrough(q1, q2), alongFirst, lineThrough(first.line2.origin, q2)};
    ea = candidates[0];
    double best = cross(ea.direction, eb.direction);
    for (const EdgeLine& candidate : candidates) {
        const double turn = cross(candidate.direction, eb.direction);
        if (turn > best) {
            best = turn;
            ea = candidate;
        }
    }
}

bool finite(const Vector2& v) { return std::isfinite(v.x) && std::isfinite(v.y); }

}  // namespace

void startCandidate(Candidate& symbol, const LevelStats& levels) {
    symbol = Candidate{};
    symbol.levels = levels;
    symbol.params = kNeutralTransformParams;
    buildForwardTransform(symbol.params, symbol.forwardTransform);
    buildInverseTransform(symbol.params, symbol.inverseTransform);
}

namespace {

int buildFinderWithRatio(Candidate& symbol, const EdgeTrace& first, const EdgeTrace& second, double minimumRatio) {
    const int validLines = first.line1.valid + first.line2.valid + second.line1.valid + second.line2.valid;
    if (validLines < 2) return 0;

    EdgeLine ea;
    EdgeLine eb;
    chooseLegs(first, second, ea, eb);
    Vector2 corner;
    if (!ea.valid || !eb.valid || lengthOf(ea) < kMinimumLegLength || lengthOf(eb) < kMinimumLegLength ||
        !lineIntersect(ea, eb, corner)) {
        return 0;
    }

    // Leg ends: the far ends, or the near ends of legs that run back past the corner.
    Vector2 endA;
    Vector2 endB;
    linePointAt(endA, ea, ea.tEnd);
    linePointAt(endB, eb, eb.tEnd);
    if (distance(endB, corner) < kMinimumLegReach) linePointAt(endB, eb, eb.tStart);
    if (distance(endA, corner) < kMinimumLegReach) linePointAt(endA, ea, ea.tStart);
    const double reachA = distance(endA, corner);
    const double reachB = distance(endB, corner);
    if (reachA < kMinimumLegReach || reachB < kMinimumLegReach) return 0;
    if (std::min(reachA, reachB) / std::max(reachA, reachB) < minimumRatio) return 0;

    Vector2 legA = difference(endA, corner);
    Vector2 legB = difference(endB, corner);
    vectorNormalize(legA);
    vectorNormalize(legB);
    if (std::fabs(dot(legA, legB)) > std::cos(kMinimumLegAngle)) return 0;

    // Order the legs so that the turn from pA to pB about the corner is the
    // turn from +x to +y.
    if (cross(legA, legB) < 0.0) std::swap(endA, endB);

    return setFinderPoints(symbol, corner, endA, endB);
}

}  // namespace

int setFinderPoints(Candidate& symbol, const Vector2& corner, const Vector2& endA, const Vector2& endB) {
    const double dy = static_cast<double>(endB.y) - corner.y;
    if (std::fabs(dy) < kEpsilon) return 0;
    const double k = (static_cast<double>(corner.x) - endB.x) / dy;
    const double k2 = (static_cast<double>(endA.y) - corner.y) * k + (static_cast<double>(endA.x) - corner.x);
    TransformParams& params = symbol.params;
    params.translateX = -corner.x;
    params.translateY = -corner.y;
    params.shearX = static_cast<float>(k);
    params.shearY = static_cast<float>(ieeeDivide(static_cast<double>(corner.y) - endA.y, k2));
    params.scaleX = static_cast<float>(ieeeDivide(100.0, k2));
    params.scaleY = static_cast<float>(100.0 / dy);
    // A non-finite value in a line (a zero-length normalisation leaves NaN
    // behind) slips through every test above, as comparisons with NaN are
    // false. Such a finder has no place in the picture: later stages would
    // turn its points into pixel indexes.
    if (!finite(corner) || !finite(endA) || !finite(endB) || !std::isfinite(params.shearX) ||
        !std::isfinite(params.shearY) || !std::isfinite(params.scaleX) || !std::isfinite(params.scaleY)) {
        return 0;
    }
    if (endA.x < kEpsilon || endB.y < kEpsilon) return 0;

    symbol.finderPoints[0] = corner;
    symbol.finderPoints[1] = endB;
    symbol.finderPoints[2] = endA;
    updateSymbolTransform(symbol);
    return 1;
}

int buildFinder(Candidate& symbol, const EdgeTrace& first, const EdgeTrace& second) {
    return buildFinderWithRatio(symbol, first, second, kMinimumLegRatio);
}

int buildElongatedFinder(Candidate& symbol, const EdgeTrace& first, const EdgeTrace& second) {
    return buildFinderWithRatio(symbol, first, second, kMinimumElongatedRatio);
}

}  // namespace ternwick
