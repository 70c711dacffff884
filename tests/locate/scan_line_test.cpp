#include "locate/scan_line.h"

#include <gtest/gtest.h>

#include <vector>

#include "support/picture_files.h"

namespace ternwick {
namespace {

using testing::makeGreyImage;

// A one-row picture holding the given grey values; scanned as row 0.
ImageBuffer rowPicture(const std::vector<int>& greys) {
    return makeGreyImage(static_cast<int>(greys.size()), 1,
                         [&](int x, int) { return static_cast<std::uint8_t>(greys[static_cast<std::size_t>(x)]); });
}

TEST(CountTransitions, WeakOrUniformLinesHaveNoLevelScale) {
    for (const auto& greys : {std::vector<int>(20, 100), std::vector<int>{0, 10, 20, 30, 40, 50, 60, 70, 80, 90, 100,
                                                                        110, 120, 130}}) {
        const ImageBuffer image = rowPicture(greys);
        ScanLine line = scanLineOf(image, ScanDirectionRight, 0);
        EXPECT_EQ(countTransitions(image, line), ScanStatusDone);
        EXPECT_EQ(line.stats.started, 0);
        EXPECT_EQ(line.transitionCount, 0);
        EXPECT_EQ(line.position, line.end);
        EXPECT_FALSE(stretchQualifies(line));
        EXPECT_EQ(countTransitions(image, line), ScanStatusNothingMore);  // the pass is over
    }
}

TEST(CountTransitions, CountsSwingsAcrossTheMidLevelButNotTheLastPixel) {
    // Falls at 2, then swings at 4, 6 and 8; the last pixel would be a fourth.
    const std::vector<int> greys{200, 200, 50, 50, 200, 200, 50, 50, 200, 200, 200, 50};
    const ImageBuffer image = rowPicture(greys);
    ScanLine line = scanLineOf(image, ScanDirectionRight, 0);
    ASSERT_EQ(countTransitions(image, line), ScanStatusDone);
    EXPECT_EQ(line.stats.started, 1);
    EXPECT_EQ(line.stats.baseValue, 200.0f);
    EXPECT_EQ(line.stats.sign, -1.0f);
    EXPECT_EQ(line.stats.minLevel, 0.0f);
    EXPECT_EQ(line.stats.maxLevel, 150.0f);
    EXPECT_EQ(line.stats.midLevel, 75.0f);
    EXPECT_EQ(line.transitionCount, 3);
    EXPECT_EQ(line.lastTransition, 8);
    EXPECT_EQ(line.position, 11);
    EXPECT_TRUE(stretchQualifies(line));

    // Eleven pixels with the same three swings never qualify.
    const ImageBuffer shorter = rowPicture({200, 200, 50, 50, 200, 200, 50, 50, 200, 200, 200});
    ScanLine shortLine = scanLineOf(shorter, ScanDirectionRight, 0);
    countTransitions(shorter, shortLine);
    EXPECT_EQ(shortLine.transitionCount, 3);
    EXPECT_FALSE(stretchQualifies(shortLine));
}

TEST(CountTransitions, StepsOfTenOrLessAreIgnored) {
    // Steps of exactly 10 never start the level scale; steps of 11 do, and
    // every later one then swings across the mid level.
    const ImageBuffer weak = rowPicture({100, 100, 110, 100, 110, 100, 110, 100, 110, 100, 110, 100, 100});
    ScanLine weakLine = scanLineOf(weak, ScanDirectionRight, 0);
    countTransitions(weak, weakLine);
    EXPECT_EQ(weakLine.stats.started, 0);
    EXPECT_EQ(weakLine.transitionCount, 0);
    const ImageBuffer image = rowPicture({100, 100, 111, 100, 111, 100, 111, 100, 111, 100, 111, 100, 100});
    ScanLine line = scanLineOf(image, ScanDirectionRight, 0);
    countTransitions(image, line);
    EXPECT_EQ(line.stats.midLevel, 5.5f);
    EXPECT_EQ(line.transitionCount, 9);
}

TEST(NextCrossing, FindsSubPixelCrossingsWithLocalLevels) {
    // Rises at 2 (base 50); the dip to 40 at 8 lowers the line's mid level to 70.
    const std::vector<int> greys{50, 50, 200, 200, 50, 50, 200, 200, 40, 30, 200, 200, 200, 200, 200, 200};
    const ImageBuffer image = rowPicture(greys);
    ScanLine line = scanLineOf(image, ScanDirectionRight, 0);
    countTransitions(image, line);
    ASSERT_TRUE(stretchQualifies(line));
    EXPECT_EQ(line.stats.midLevel, 70.0f);

    CrossingCursor cursor = stretchCursor(line);
    ASSERT_EQ(nextCrossing(cursor, image, line.stats), ScanStatusDone);
    EXPECT_EQ(cursor.current, 1);
    EXPECT_EQ(cursor.next, 2);
    EXPECT_FLOAT_EQ(cursor.fraction, 70.0f / 150.0f);
    EXPECT_EQ(cursor.currentLevel, 0.0f);
    EXPECT_EQ(cursor.nextLevel, 150.0f);
    // Local levels: pixels 0..2 and the six after the crossing (3..8), so the
    // 40 at 8 counts and the 30 at 9 does not.
    EXPECT_EQ(cursor.local.minLevel, -10.0f);
    EXPECT_EQ(cursor.local.maxLevel, 150.0f);
    EXPECT_EQ(cursor.local.midLevel, 70.0f);
    EXPECT_EQ(cursor.local.baseValue, 50.0f);
    EXPECT_EQ(cursor.local.sign, 1.0f);

    // The next one starts its local levels from the pixel before the crossing.
    ASSERT_EQ(nextCrossing(cursor, image, line.stats), ScanStatusDone);
    EXPECT_EQ(cursor.current, 3);
    EXPECT_FLOAT_EQ(cursor.fraction, 80.0f / 150.0f);
    EXPECT_EQ(cursor.local.minLevel, -20.0f);  // 4..10: the 30 at 9 is in
    EXPECT_EQ(cursor.local.maxLevel, 150.0f);

    std::vector<double> places;
    while (nextCrossing(cursor, image, line.stats) == ScanStatusDone) places.push_back(cursor.current + cursor.fraction);
    // Three more crossings, then the end of the stretch gives one more seed.
    ASSERT_EQ(places.size(), 4u);
    EXPECT_NEAR(places[0], 5 + 70.0 / 150.0, 1e-6);
    EXPECT_NEAR(places[1], 7 + 80.0 / 160.0, 1e-6);
    EXPECT_NEAR(places[2], 9 + 90.0 / 170.0, 1e-6);
    EXPECT_EQ(cursor.current, cursor.last);
    EXPECT_NEAR(places[3], cursor.last + 90.0 / 170.0, 1e-6);  // the fraction left from the last crossing
    EXPECT_EQ(cursor.next, line.end);
    EXPECT_EQ(nextCrossing(cursor, image, line.stats), ScanStatusNothingMore);
}

TEST(NextCrossing, PixelExactlyAtTheMidLevelEndsOneCrossingAndStartsTheNext) {
    // Line mid level 75 (base 200, falling); grey 125 is exactly level 75.
    const std::vector<int> greys{200, 200, 50, 50, 200, 200, 50, 125, 200, 200, 50, 50, 200, 200};
    const ImageBuffer image = rowPicture(greys);
    ScanLine line = scanLineOf(image, ScanDirectionRight, 0);
    countTransitions(image, line);
    ASSERT_TRUE(stretchQualifies(line));
    ASSERT_EQ(line.stats.midLevel, 75.0f);
    CrossingCursor cursor = stretchCursor(line);
    for (int i = 0; i < 4; ++i) ASSERT_EQ(nextCrossing(cursor, image, line.stats), ScanStatusDone);
    EXPECT_EQ(cursor.current, 6);
    EXPECT_EQ(cursor.fraction, 1.0f);
    ASSERT_EQ(nextCrossing(cursor, image, line.stats), ScanStatusDone);
    EXPECT_EQ(cursor.current, 7);
    EXPECT_EQ(cursor.fraction, 0.0f);
}

TEST(NextCrossing, StopsAtTheLastPixelOfAShortStretch) {
    // The sixth pixel after the crossing would lie beyond the line's last
    // position; the picture ends right after it, so any read past it is caught.
    const std::vector<int> greys{50, 50, 200, 200, 50, 50, 200, 200, 50, 50, 0, 255};
    const ImageBuffer image = rowPicture(greys);
    ScanLine line = scanLineOf(image, ScanDirectionRight, 0);
    countTransitions(image, line);
    ASSERT_TRUE(stretchQualifies(line));
    CrossingCursor cursor = stretchCursor(line);
    int crossings = 0;
    while (nextCrossing(cursor, image, line.stats) == ScanStatusDone) {
        ++crossings;
        EXPECT_LE(cursor.next, line.end);
        if (cursor.current == 7) {
            EXPECT_EQ(cursor.local.minLevel, -50.0f);  // the 0 at position 10 = last
            EXPECT_EQ(cursor.local.maxLevel, 150.0f);  // the 255 at the end is not read
        }
    }
    EXPECT_GE(crossings, 4);
}

TEST(ScanReads, StayInsideNarrowPicturesAndRefuseLinesOutsideThem) {
    // A column of a one-pixel-wide picture is an ordinary line.
    const ImageBuffer column = makeGreyImage(1, 14, [](int, int y) { return static_cast<std::uint8_t>(y % 4 < 2 ? 30 : 220); });
    ScanLine up = scanLineOf(column, ScanDirectionUp, 0);
    ASSERT_EQ(countTransitions(column, up), ScanStatusDone);
    EXPECT_TRUE(stretchQualifies(up));
    CrossingCursor cursor = stretchCursor(up);
    int crossings = 0;
    while (nextCrossing(cursor, column, up.stats) == ScanStatusDone) ++crossings;
    EXPECT_GT(crossings, 3);

    // Its rows have a single pixel: nothing to do.
    ScanLine across = scanLineOf(column, ScanDirectionRight, 5);
    EXPECT_EQ(countTransitions(column, across), ScanStatusNothingMore);

    // Lines that do not lie in the picture are refused.
    ScanLine outside = scanLineOf(column, ScanDirectionUp, 1);
    EXPECT_EQ(countTransitions(column, outside), ScanStatusNothingMore);
    ScanLine tooLong = scanLineOf(column, ScanDirectionUp, 0);
    tooLong.end = 20;
    EXPECT_EQ(countTransitions(column, tooLong), ScanStatusNothingMore);
    CrossingCursor beyond = stretchCursor(up);
    beyond.last = 13;  // would read position 14
    EXPECT_EQ(nextCrossing(beyond, column, up.stats), ScanStatusNothingMore);
    ImageBuffer empty;
    ScanLine none = scanLineOf(empty, ScanDirectionUp, 0);
    EXPECT_EQ(countTransitions(empty, none), ScanStatusNothingMore);
}

}  // namespace
}  // namespace ternwick
