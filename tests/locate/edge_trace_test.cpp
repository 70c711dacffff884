#include "locate/edge_trace.h"

#include <gtest/gtest.h>

#include <cmath>

#include "support/picture_files.h"

namespace ternwick {
namespace {

using testing::makeGreyImage;

// Levels of a dark-on-light picture: dark (0) is level 255, light (255) level 0.
EdgeTrace traceOnDark(std::int32_t direction, std::int32_t along, float across, std::int32_t polarity) {
    EdgeTrace trace;
    trace.direction = direction;
    trace.along = along;
    trace.across = across;
    trace.polarity = polarity;
    trace.minLevel = 0;
    trace.maxLevel = 255;
    trace.midLevel = 127.5f;
    trace.baseValue = 255;
    trace.sign = -1;
    return trace;
}

// A dark square [lo, hi] x [lo, hi] on a light picture.
ImageBuffer darkSquare(int size, int lo, int hi) {
    return makeGreyImage(size, size, [=](int x, int y) {
        return static_cast<std::uint8_t>(x >= lo && x <= hi && y >= lo && y <= hi ? 0 : 255);
    });
}

TEST(TraceDirections, TurnAndSeedAtRightAnglesToTheScanLine) {
    EXPECT_EQ(clockwiseDirection(1), 2);
    EXPECT_EQ(clockwiseDirection(2), 4);
    EXPECT_EQ(clockwiseDirection(4), 8);
    EXPECT_EQ(clockwiseDirection(8), 1);
    EXPECT_EQ(anticlockwiseDirection(1), 8);
    EXPECT_EQ(anticlockwiseDirection(8), 4);
    EXPECT_EQ(anticlockwiseDirection(4), 2);
    EXPECT_EQ(anticlockwiseDirection(2), 1);

    CrossingCursor cursor;
    cursor.direction = ScanDirectionUp;
    cursor.lineIndex = 17;
    cursor.current = 30;
    cursor.fraction = 0.25f;
    cursor.currentLevel = 200;
    cursor.nextLevel = 10;
    cursor.local.midLevel = 100;
    EdgeTrace first;
    EdgeTrace second;
    first.turns = 4;
    seedEdgeTraces(cursor, first, second);
    EXPECT_EQ(first.direction, ScanDirectionLeft);
    EXPECT_EQ(second.direction, ScanDirectionRight);
    for (const EdgeTrace* t : {&first, &second}) {
        EXPECT_EQ(t->polarity, -1);  // the level falls across the crossing
        EXPECT_EQ(t->turns, 0);
        EXPECT_EQ(t->midLevel, 100.0f);
    }
    const Vector2 p = tracePoint(first);  // moving along x: (along, across)
    EXPECT_EQ(p.x, 17.0f);
    EXPECT_EQ(p.y, 30.25f);
}

TEST(TraceEdgeStep, PlacesTheEdgeBetweenPixelsFromTheNearerOne) {
    // Light left of x = 10, grey 100 at x = 10, dark right of it.
    const ImageBuffer image = makeGreyImage(20, 20, [](int x, int) {
        return static_cast<std::uint8_t>(x < 10 ? 255 : x == 10 ? 155 : 0);
    });
    EdgeTrace trace = traceOnDark(ScanDirectionUp, 5, 10.2f, 1);
    ASSERT_EQ(traceEdgeStep(trace, image), ScanStatusStepTaken);
    EXPECT_EQ(trace.along, 6);
    // Level 100 at x = 10, 255 at x = 11: 27.5 of 155 beyond x = 10.
    EXPECT_FLOAT_EQ(trace.across, 10.0f + 27.5f / 155.0f);
    EXPECT_EQ(trace.turns, 0);

    // A pixel exactly at the mid level is the edge.
    trace.midLevel = 100;
    ASSERT_EQ(traceEdgeStep(trace, image), ScanStatusStepTaken);
    EXPECT_EQ(trace.across, 10.0f);
}

TEST(TraceEdgeStep, TurnsAtACornerOntoWholePixels) {
    const ImageBuffer image = darkSquare(30, 5, 14);
    // Up the square's left side, level rising with x.
    EdgeTrace trace = traceOnDark(ScanDirectionUp, 10, 4.5f, 1);
    for (int y = 11; y <= 14; ++y) {
        ASSERT_EQ(traceEdgeStep(trace, image), ScanStatusStepTaken);
        EXPECT_EQ(trace.across, 4.5f);
        EXPECT_EQ(trace.along, y);
    }
    // Above the square no edge lies within five pixels: the trace turns right.
    ASSERT_EQ(traceEdgeStep(trace, image), ScanStatusStepTaken);
    EXPECT_EQ(trace.direction, ScanDirectionRight);
    EXPECT_EQ(trace.turns, 1);
    EXPECT_EQ(trace.along, 4);       // trunc(4.5)
    EXPECT_EQ(trace.across, 15.0f);  // the row it had reached
    EXPECT_EQ(trace.polarity, -1);   // along the top side the level falls as y grows
    ASSERT_EQ(traceEdgeStep(trace, image), ScanStatusStepTaken);
    EXPECT_EQ(trace.along, 5);
    EXPECT_EQ(trace.across, 14.5f);

    // Down the left side the trace turns left, which keeps the polarity.
    EdgeTrace down = traceOnDark(ScanDirectionDown, 10, 4.5f, 1);
    for (int y = 9; y >= 5; --y) ASSERT_EQ(traceEdgeStep(down, image), ScanStatusStepTaken);
    ASSERT_EQ(traceEdgeStep(down, image), ScanStatusStepTaken);
    EXPECT_EQ(down.direction, ScanDirectionRight);
    EXPECT_EQ(down.polarity, 1);
    EXPECT_EQ(down.across, 4.0f);
}

TEST(TraceEdgeStep, StopsAtTheBorderOnAnyPicture) {
    const ImageBuffer image = darkSquare(30, 5, 14);
    EdgeTrace nearLeft = traceOnDark(ScanDirectionUp, 10, 1.4f, 1);  // would read x = 1
    EXPECT_EQ(traceEdgeStep(nearLeft, image), ScanStatusNothingMore);
    EdgeTrace nearRight = traceOnDark(ScanDirectionUp, 10, 26.6f, 1);  // x = 27 = width - 3 is the last
    EXPECT_EQ(traceEdgeStep(nearRight, image), ScanStatusNothingMore);
    EdgeTrace top = traceOnDark(ScanDirectionUp, 29, 4.5f, 1);
    EXPECT_EQ(traceEdgeStep(top, image), ScanStatusNothingMore);
    EdgeTrace bottom = traceOnDark(ScanDirectionDown, 1, 4.5f, 1);
    EXPECT_EQ(traceEdgeStep(bottom, image), ScanStatusNothingMore);
    // A search that runs towards the border stops there instead of turning.
    EdgeTrace searching = traceOnDark(ScanDirectionUp, 20, 24.0f, 1);
    EXPECT_EQ(traceEdgeStep(searching, image), ScanStatusNothingMore);

    for (const auto& [w, h] : {std::pair{1, 30}, std::pair{30, 1}, std::pair{1, 1}, std::pair{3, 3}}) {
        const ImageBuffer thin = makeGreyImage(w, h, [](int x, int y) { return static_cast<std::uint8_t>((x + y) % 2 * 255); });
        for (const std::int32_t d : {1, 2, 4, 8}) {
            EdgeTrace t = traceOnDark(d, 0, 0.0f, 1);
            EXPECT_EQ(traceEdgeStep(t, thin), ScanStatusNothingMore) << w << "x" << h << " " << d;
            traceEdgeLines(t, thin);
            EXPECT_EQ(t.line1.valid, 0);
        }
    }
    EdgeTrace nan = traceOnDark(ScanDirectionUp, 10, std::nanf(""), 1);
    EXPECT_EQ(traceEdgeStep(nan, image), ScanStatusNothingMore);
}

TEST(TraceEdgeLines, StraightEdgeToTheBorderNeedsMoreThanTenChords) {
    // Light left of x = 10, dark from there on, over the whole height of 40.
    const ImageBuffer image = makeGreyImage(30, 40, [](int x, int) { return static_cast<std::uint8_t>(x < 10 ? 255 : 0); });
    EdgeTrace trace = traceOnDark(ScanDirectionUp, 5, 9.5f, 1);
    traceEdgeLines(trace, image);
    ASSERT_EQ(trace.line1.valid, 1);
    EXPECT_EQ(trace.line1.refined, 0);
    EXPECT_EQ(trace.line2.valid, 0);
    EXPECT_EQ(trace.line1.origin.x, 9.5f);
    EXPECT_EQ(trace.line1.origin.y, 5.0f);
    EXPECT_EQ(trace.line1.direction.x, 0.0f);
    EXPECT_EQ(trace.line1.direction.y, 1.0f);
    // The last point is at y = 39; the line ends five steps before it.
    EXPECT_EQ(trace.line1.tEnd, 29.0f);

    EdgeTrace eleven = traceOnDark(ScanDirectionUp, 23, 9.5f, 1);  // 16 steps: 11 chords
    traceEdgeLines(eleven, image);
    EXPECT_EQ(eleven.line1.valid, 1);
    EdgeTrace ten = traceOnDark(ScanDirectionUp, 24, 9.5f, 1);  // 15 steps: 10 chords
    traceEdgeLines(ten, image);
    EXPECT_EQ(ten.line1.valid, 0);
    EdgeTrace five = traceOnDark(ScanDirectionUp, 35, 9.5f, 1);  // fewer than five steps
    traceEdgeLines(five, image);
    EXPECT_EQ(five.line1.valid, 0);
}

TEST(TraceEdgeLines, CornerGivesTwoLegsAndTheThirdTurnEndsTheTrace) {
    const ImageBuffer image = darkSquare(80, 10, 59);
    EdgeTrace trace = traceOnDark(ScanDirectionUp, 15, 9.5f, 1);
    traceEdgeLines(trace, image);
    ASSERT_EQ(trace.line1.valid, 1);
    ASSERT_EQ(trace.line2.valid, 1);
    // Up the left side, then along the top to the right.
    EXPECT_NEAR(trace.line1.direction.x, 0.0, 1e-6);
    EXPECT_NEAR(trace.line1.direction.y, 1.0, 1e-6);
    EXPECT_NEAR(trace.line1.origin.x, 9.5, 1e-6);
    EXPECT_NEAR(trace.line2.direction.y, 0.0, 0.02);
    EXPECT_GT(trace.line2.direction.x, 0.99);
    EXPECT_NEAR(trace.line2.origin.y + trace.line2.tEnd * trace.line2.direction.y, 59.5, 0.6);
    // Each leg reaches most of the side it follows.
    EXPECT_GT(trace.line1.tEnd, 30.0f);
    EXPECT_GT(trace.line2.tEnd, 30.0f);
    EXPECT_LE(trace.turns, 3);
}

}  // namespace
}  // namespace ternwick
