#include "locate/region_refine.h"

#include <gtest/gtest.h>

#include <cmath>

#include "core/diagnostics.h"
#include "support/locate_walk.h"
#include "support/picture_files.h"
#include "support/symbol_writer.h"

namespace ternwick {
namespace {

// A candidate whose finder spans 20 pixels from (10, 10), on a picture large
// enough that the walks never leave it.
SymbolResult candidateOnBlank(DecodeContext& context, std::uint8_t grey) {
    context.image = testing::makeGreyImage(200, 200, [grey](int, int) { return grey; });
    SymbolResult symbol;
    LevelStats levels;
    levels.minLevel = 0.0f;
    levels.maxLevel = 255.0f;
    levels.midLevel = 127.5f;
    levels.baseValue = 255.0f;
    levels.sign = -1.0f;
    startCandidate(symbol, levels);
    symbol.params.translateX = -10.0f;
    symbol.params.translateY = -10.0f;
    symbol.params.scaleX = 5.0f;
    symbol.params.scaleY = 5.0f;
    symbol.finderPoints[0] = {10.0f, 10.0f};
    symbol.finderPoints[1] = {10.0f, 30.0f};
    symbol.finderPoints[2] = {30.0f, 10.0f};
    updateSymbolTransform(symbol);
    return symbol;
}

TEST(RegionRefinement, AWalkWithoutClearingsFitsItsStartAndTheUnsetFarPoint) {
    DecodeContext context;
    // Black everywhere: every sample is module colour, so the walks only climb.
    SymbolResult symbol = candidateOnBlank(context, 0);
    EdgeWalkRecord top;
    ASSERT_EQ(fitTopEdge(symbol, context, &top), 1);
    EXPECT_EQ(symbol.polarity, 1);
    EXPECT_EQ(top.clearings, 0);
    EXPECT_FLOAT_EQ(symbol.params.heightAtX0, 100.0f);
    EXPECT_NEAR(symbol.params.heightAtX100, 68.75f, 1e-4);
    // No stretch between climbs was measured: the period is empty, not garbage.
    EXPECT_EQ(symbol.topPeriodStart.x, symbol.topPeriodEnd.x);
    EXPECT_EQ(symbol.topPeriodStart.y, symbol.topPeriodEnd.y);
    EXPECT_TRUE(std::isfinite(context.lastTopEdgeLevels.midLevel));

    SymbolResult right = candidateOnBlank(context, 0);
    right.polarity = 1;
    ASSERT_EQ(fitRightEdge(right, context), 1);
    EXPECT_FLOAT_EQ(right.params.widthAtY0, 100.0f);
    EXPECT_NEAR(right.params.widthAtY100, 75.0f, 1e-4);
}

TEST(RegionRefinement, PolarityFollowsTheSideAndLevelsArePublished) {
    DecodeContext context;
    SymbolResult symbol = candidateOnBlank(context, 255);  // white: background for dark modules
    fitTopEdge(symbol, context);
    EXPECT_EQ(symbol.polarity, -1);
    EXPECT_EQ(context.lastTopEdgeLevels.minLevel, 0.0f);
    EXPECT_EQ(context.lastTopEdgeLevels.maxLevel, 0.0f);
}

TEST(RegionRefinement, DegenerateFinderEndsTheWalkAndIsReported) {
    DecodeContext context;
    SymbolResult symbol = candidateOnBlank(context, 0);
    symbol.finderPoints[1] = symbol.finderPoints[0];  // a leg of length zero
    symbol.params = kNeutralTransformParams;
    symbol.params.scaleX = 0.0f;  // a transform that maps everything to one point
    updateSymbolTransform(symbol);
    CapturingDiagnosticSink sink;
    ScopedDiagnosticSink scope(sink);
    EdgeWalkRecord record;
    fitTopEdge(symbol, context, &record);  // must come back, whatever it fits
    EXPECT_NE(sink.errors.find("magnitude of zero"), std::string::npos);
}

// After the finder and both side fits of a keystoned symbol, the forward
// transform must carry the symbol's true far corners to the square's.
TEST(RegionRefinement, KeystoneHeightsAndWidthsFollowTheTrueSides) {
    for (const double keystone : {0.0015, -0.0015}) {
        testing::RenderOptions options;
        options.moduleSize = 6.0;
        options.quietZone = 3.0;
        options.perspective[0] = keystone;
        options.perspective[1] = keystone / 2;
        const int S = 24;
        const auto rendered = testing::renderText("KEYSTONE", S, options);
        DecodeContext context;
        context.image = testing::renderText("KEYSTONE", S, options).image;
        ASSERT_EQ(medianPrefilter(context.image), 1);
        bool checked = false;
        for (const auto& line : testing::firstPassSchedule(context.image)) {
            testing::walkCrossings(context.image, line, [&](const CrossingCursor& cursor) {
                testing::FinderTry attempt;
                testing::tryFinder(context, cursor, attempt);
                if (attempt.accepted != 1) return true;
                SymbolResult& symbol = attempt.symbol;
                Vector2 topRight;
                Vector2 affineTopRight;
                transformPoint(symbol.forwardTransform, rendered.toImage(S, S), affineTopRight);
                if (fitTopEdge(symbol, context) != 1 || fitRightEdge(symbol, context) != 1) return true;
                transformPoint(symbol.forwardTransform, rendered.toImage(S, S), topRight);
                EXPECT_NEAR(topRight.x, 100.0, 100.0 / S) << keystone;
                EXPECT_NEAR(topRight.y, 100.0, 100.0 / S) << keystone;
                // The fitted extents move away from 100 the way the true side does.
                EXPECT_EQ(symbol.params.heightAtX100 > symbol.params.heightAtX0,
                          affineTopRight.y > 100.0f * symbol.params.heightAtX0 / 100.0f)
                    << keystone;
                EXPECT_GT(std::fabs(symbol.params.heightAtX100 - symbol.params.heightAtX0), 1.0f) << keystone;
                checked = true;
                return false;
            });
            if (checked) break;
        }
        EXPECT_TRUE(checked) << keystone;
    }
}

}  // namespace
}  // namespace ternwick
