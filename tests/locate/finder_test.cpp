#include "locate/finder.h"

#include <gtest/gtest.h>

#include <cmath>

namespace ternwick {
namespace {

constexpr double kPi = 3.14159265358979323846;

Vector2 at(double x, double y) { return {static_cast<float>(x), static_cast<float>(y)}; }

// A trace whose lines have already been found.
EdgeTrace withLines(const EdgeLine& line1, const EdgeLine& line2 = EdgeLine{}) {
    EdgeTrace trace;
    trace.line1 = line1;
    trace.line2 = line2;
    return trace;
}

// Leg from the corner in a direction given in degrees.
EdgeLine legFrom(Vector2 corner, double degrees, double length) {
    const double r = degrees * kPi / 180.0;
    return lineThrough(corner, at(corner.x + length * std::cos(r), corner.y + length * std::sin(r)));
}

int judge(Candidate& symbol, const EdgeTrace& first, const EdgeTrace& second) {
    startCandidate(symbol, LevelStats{});
    return buildFinder(symbol, first, second);
}

void expectMapsTo(const Matrix3& m, Vector2 p, double x, double y) {
    Vector2 out;
    transformPoint(m, p, out);
    EXPECT_NEAR(out.x, x, 1e-3);
    EXPECT_NEAR(out.y, y, 1e-3);
}

void expectAt(Vector2 p, double x, double y, double tolerance = 1e-4) {
    EXPECT_NEAR(p.x, x, tolerance);
    EXPECT_NEAR(p.y, y, tolerance);
}

TEST(BuildFinder, AxisAlignedLowerLeftCornerSetsScaleAndNoShear) {
    const Vector2 corner = at(10, 10);
    Candidate symbol;
    ASSERT_EQ(judge(symbol, withLines(legFrom(corner, 0, 50), legFrom(corner, 90, 40)), EdgeTrace{}), 1);
    expectAt(symbol.finderPoints[0], 10, 10);
    expectAt(symbol.finderPoints[1], 10, 50);
    expectAt(symbol.finderPoints[2], 60, 10);
    EXPECT_EQ(symbol.params.translateX, -10.0f);
    EXPECT_EQ(symbol.params.translateY, -10.0f);
    EXPECT_NEAR(symbol.params.shearX, 0.0, 1e-6);
    EXPECT_NEAR(symbol.params.shearY, 0.0, 1e-6);
    EXPECT_NEAR(symbol.params.scaleX, 100.0 / 50, 1e-6);
    EXPECT_NEAR(symbol.params.scaleY, 100.0 / 40, 1e-6);
    EXPECT_EQ(symbol.params.widthAtY0, 100.0f);
    EXPECT_EQ(symbol.params.heightAtX100, 100.0f);
    expectMapsTo(symbol.forwardTransform, symbol.finderPoints[0], 0, 0);
    expectMapsTo(symbol.forwardTransform, symbol.finderPoints[1], 0, 100);
    expectMapsTo(symbol.forwardTransform, symbol.finderPoints[2], 100, 0);
    expectMapsTo(symbol.inverseTransform, at(100, 100), 60, 50);
}

TEST(BuildFinder, RotatedLegsInEitherOrderAndDirection) {
    // Legs at 30 and 120 degrees about (40, 20), given in every arrangement:
    // from either trace, in either order, running away from or towards the corner.
    const Vector2 corner = at(40, 20);
    const EdgeLine solidRow = legFrom(corner, 30, 60);
    const EdgeLine solidColumn = legFrom(corner, 120, 45);
    const Vector2 rowEnd = at(40 + 60 * std::cos(kPi / 6), 20 + 60 * std::sin(kPi / 6));
    const EdgeLine towardsCorner = lineThrough(rowEnd, corner);
    for (const auto& [first, second] :
         {std::pair{withLines(solidRow, solidColumn), EdgeTrace{}}, std::pair{EdgeTrace{}, withLines(solidColumn, solidRow)},
          std::pair{withLines(solidRow), withLines(solidColumn)}, std::pair{withLines(solidColumn), withLines(towardsCorner)}}) {
        Candidate symbol;
        ASSERT_EQ(judge(symbol, first, second), 1);
        expectAt(symbol.finderPoints[0], 40, 20, 1e-3);
        expectAt(symbol.finderPoints[2], rowEnd.x, rowEnd.y, 1e-3);
        expectMapsTo(symbol.forwardTransform, symbol.finderPoints[1], 0, 100);
        expectMapsTo(symbol.forwardTransform, symbol.finderPoints[2], 100, 0);
        expectMapsTo(symbol.forwardTransform, corner, 0, 0);
    }
}

TEST(BuildFinder, OppositeFirstLinesAreJoinedIntoOneLeg) {
    // The seed lay on the solid row at x = 30: the traces ran both ways along it.
    const Vector2 seed = at(30, 10);
    {
        // The second trace turned up the solid column.
        const EdgeTrace first = withLines(lineThrough(seed, at(70, 10)));
        const EdgeTrace second = withLines(lineThrough(seed, at(10, 10)), lineThrough(at(10, 10), at(10, 50)));
        Candidate symbol;
        ASSERT_EQ(judge(symbol, first, second), 1);
        expectAt(symbol.finderPoints[0], 10, 10);
        expectAt(symbol.finderPoints[1], 10, 50);
        expectAt(symbol.finderPoints[2], 70, 10);
    }
    {
        // The first trace turned; of the three joins, the one from the far
        // end of the first line to that of the other wins here.
        const EdgeTrace first = withLines(lineThrough(seed, at(10, 10)), lineThrough(at(10, 11), at(10, 50)));
        const EdgeTrace second = withLines(lineThrough(seed, at(30 + 40 * 0.995, 10 - 40 * 0.0998)));
        Candidate symbol;
        ASSERT_EQ(judge(symbol, first, second), 1);
        expectAt(symbol.finderPoints[0], 10, 10, 1e-3);
    }
    {
        // Nothing turned: one straight edge is no finder.
        Candidate symbol;
        EXPECT_EQ(judge(symbol, withLines(lineThrough(seed, at(70, 10))), withLines(lineThrough(seed, at(10, 10)))), 0);
    }
}

TEST(BuildFinder, RejectsShortLegsBadRatiosNarrowAnglesAndTheUpperLeftL) {
    const Vector2 corner = at(20, 20);
    Candidate symbol;
    EXPECT_EQ(judge(symbol, withLines(legFrom(corner, 0, 50)), EdgeTrace{}), 0);  // one line only
    EXPECT_EQ(judge(symbol, withLines(legFrom(corner, 0, 45), legFrom(corner, 90, 14.9)), EdgeTrace{}), 0);
    EXPECT_EQ(judge(symbol, withLines(legFrom(corner, 0, 45), legFrom(corner, 90, 15)), EdgeTrace{}), 1);

    // A leg of 15 whose ends lie 5 and 10 from the corner: ratio 10/31 fails, 10/30 passes.
    const EdgeLine shortColumn = lineThrough(at(20, 15), at(20, 30));
    EXPECT_EQ(judge(symbol, withLines(legFrom(corner, 0, 31), shortColumn), EdgeTrace{}), 0);
    EXPECT_EQ(judge(symbol, withLines(legFrom(corner, 0, 30), shortColumn), EdgeTrace{}), 1);
    // Both ends of a leg within 10 of the corner.
    const EdgeLine straddling = lineThrough(at(20, 12), at(20, 29.5));
    EXPECT_EQ(judge(symbol, withLines(legFrom(corner, 0, 30), straddling), EdgeTrace{}), 0);

    EXPECT_EQ(judge(symbol, withLines(legFrom(corner, 10, 50), legFrom(corner, 25, 50)), EdgeTrace{}), 0);  // 15 degrees
    EXPECT_EQ(judge(symbol, withLines(legFrom(corner, 10, 50), legFrom(corner, 35, 50)), EdgeTrace{}), 1);  // 25 degrees

    // Legs to the right and downwards: after ordering, pB lies on the corner's row.
    EXPECT_EQ(judge(symbol, withLines(legFrom(corner, 0, 50), legFrom(corner, -90, 40)), EdgeTrace{}), 0);

    // Leg ends left of x = 0 or below y = 0 are refused.
    const Vector2 farLeft = at(-60, 20);
    EXPECT_EQ(judge(symbol, withLines(legFrom(farLeft, 0, 50), legFrom(farLeft, 90, 40)), EdgeTrace{}), 0);
    const Vector2 low = at(20, -60);
    EXPECT_EQ(judge(symbol, withLines(legFrom(low, 0, 50), legFrom(low, 90, 40)), EdgeTrace{}), 0);
}

TEST(BuildFinder, NonFiniteLegIsRejected) {
    EdgeLine broken = legFrom(at(10, 10), 0, 50);
    broken.origin.x = std::nanf("");
    Candidate symbol;
    EXPECT_EQ(judge(symbol, withLines(broken, legFrom(at(10, 10), 90, 40)), EdgeTrace{}), 0);
    EdgeLine infinite = legFrom(at(10, 10), 90, 40);
    infinite.origin.y = INFINITY;
    EXPECT_EQ(judge(symbol, withLines(legFrom(at(10, 10), 0, 50), infinite), EdgeTrace{}), 0);
}

}  // namespace
}  // namespace ternwick
