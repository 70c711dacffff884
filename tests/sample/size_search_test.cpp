#include "sample/size_search.h"

#include <gtest/gtest.h>

#include "sample/grid_sampling.h"
#include "support/picture_files.h"
#include "support/symbol_writer.h"

namespace ternwick {
namespace {

// A candidate whose transforms are the identity, so that square units are
// pixels, with levels for dark modules on light ground.
SymbolResult identityCandidate() {
    SymbolResult symbol;
    symbol.params = kNeutralTransformParams;
    updateSymbolTransform(symbol);
    symbol.levels.minLevel = 0.0f;
    symbol.levels.maxLevel = 255.0f;
    symbol.levels.midLevel = 127.5f;
    symbol.levels.baseValue = 255.0f;
    symbol.levels.sign = -1.0f;
    symbol.polarity = 1;
    return symbol;
}

TEST(SizeEstimate, TwicePeriodsAcrossTheSideAtLeastEight) {
    const SymbolResult symbol = identityCandidate();
    int estimate = 0;
    float length = 0.0f;
    ASSERT_TRUE(estimateSymbolSize(symbol, {0, 50}, {10, 50}, true, estimate, length));
    EXPECT_EQ(estimate, 20);  // 2 * trunc(10.5)
    EXPECT_FLOAT_EQ(length, 10.0f);
    ASSERT_TRUE(estimateSymbolSize(symbol, {50, 0}, {50, 10}, false, estimate, length));
    EXPECT_EQ(estimate, 20);
    ASSERT_TRUE(estimateSymbolSize(symbol, {10, 50}, {0, 50}, true, estimate, length));
    EXPECT_EQ(estimate, 8);  // a negative period
    ASSERT_TRUE(estimateSymbolSize(symbol, {3, 50}, {3, 50}, true, estimate, length));
    EXPECT_EQ(estimate, 8);  // an empty one
    // A period so short that the count leaves the integer range is refused.
    EXPECT_FALSE(estimateSymbolSize(symbol, {0, 50}, {1e-8f, 50}, true, estimate, length));
    EXPECT_FALSE(estimateSymbolSize(symbol, {1e-8f, 50}, {0, 50}, true, estimate, length));
    const float nan = std::numeric_limits<float>::quiet_NaN();
    EXPECT_FALSE(estimateSymbolSize(symbol, {nan, 50}, {3, 50}, true, estimate, length));
}

// A blank picture fails every border check, which shows the candidates tried.
std::vector<int> triedSizes(float topPeriod, float rightPeriod, int* result = nullptr) {
    SearchContext context;
    context.image = testing::makeGreyImage(120, 120, [](int, int) { return 255; });
    SymbolResult symbol = identityCandidate();
    symbol.topPeriodStart = {0, 50};
    symbol.topPeriodEnd = {topPeriod, 50};
    symbol.rightPeriodStart = {50, 0};
    symbol.rightPeriodEnd = {50, rightPeriod};
    SizeSearchRecord record;
    const int found = fitSymbolSize(symbol, context, &record);
    if (result != nullptr) *result = found;
    std::vector<int> sizes;
    for (const auto& t : record.tries) sizes.push_back(t.symbolSize);
    return sizes;
}

TEST(SizeSearch, CandidatesAroundTheEstimateThenASecondSeries) {
    int result = -1;
    // e1 = 20; e2 = 20 is not above e1 + 6, so the second series is built on 2 * e1.
    EXPECT_EQ(triedSizes(10.0f, 10.0f, &result),
              (std::vector<int>{20, 18, 22, 16, 24, 14, 26, 40, 38, 42, 36, 44, 34, 46}));
    EXPECT_EQ(result, 0);
    // e2 = 40 > e1 + 6: the second series is built on e2.
    EXPECT_EQ(triedSizes(10.0f, 200.0f / 39.5f),
              (std::vector<int>{20, 18, 22, 16, 24, 14, 26, 40, 38, 42, 36, 44, 34, 46}));
    EXPECT_EQ(triedSizes(10.0f, 200.0f / 49.5f)[7], 50);
    // 152 ends the search at once; of 150 only 144 is within the sizes.
    EXPECT_TRUE(triedSizes(200.0f / 151.5f, 10.0f).empty());
    EXPECT_EQ(triedSizes(200.0f / 149.5f, 10.0f), (std::vector<int>{144}));
}

// A rendered upright symbol with a candidate whose transform is the truth.
struct KnownSymbol {
    SearchContext context;
    SymbolResult symbol;
};

std::unique_ptr<KnownSymbol> knownSymbol(const testing::ModuleMatrix& modules, double moduleSize = 5.0) {
    auto known = std::make_unique<KnownSymbol>();
    testing::RenderOptions options;
    options.moduleSize = moduleSize;
    options.quietZone = 2.0;
    const auto rendered = testing::renderSymbol(modules, options);
    known->context.image = testing::renderSymbol(modules, options).image;
    SymbolResult& symbol = known->symbol;
    symbol = identityCandidate();
    const double side = moduleSize * static_cast<double>(modules.size());
    symbol.params.translateX = -rendered.finderCorner.x;
    symbol.params.translateY = -rendered.finderCorner.y;
    symbol.params.scaleX = static_cast<float>(100.0 / side);
    symbol.params.scaleY = static_cast<float>(100.0 / side);
    updateSymbolTransform(symbol);
    symbol.mappingRows = symbol.mappingCols = static_cast<int>(modules.size()) - 2;
    return known;
}

testing::ModuleMatrix symbolOf(int size) {
    return testing::symbolModules(size, testing::addCheckCodewords(testing::encodeAscii("RING", size), size));
}

TEST(BorderPattern, FourMismatchesPassFiveFail) {
    auto modules = symbolOf(18);
    // Flip ring modules: two of the solid row, three of the clock column.
    const std::pair<int, int> flips[] = {{17, 3}, {17, 9}, {2, 17}, {5, 17}, {8, 17}};
    for (int count = 0; count <= 5; ++count) {
        auto damaged = modules;
        for (int i = 0; i < count; ++i) damaged[flips[i].first][flips[i].second] = !damaged[flips[i].first][flips[i].second];
        auto known = knownSymbol(damaged);
        BorderCheckRecord record;
        EXPECT_EQ(checkBorderPattern(known->symbol, known->context, &record), count <= 4 ? 1 : 0) << count;
        EXPECT_EQ(record.mismatches, count);
    }
}

TEST(BorderPattern, ASizeOutsideTheTableIsRefusedAfterPassing) {
    // A 30x30 ring: finder and clock, nothing inside.
    testing::ModuleMatrix ring(30, std::vector<bool>(30, false));
    for (int i = 0; i < 30; ++i) {
        ring[i][0] = true;
        ring[29][i] = true;
        ring[0][i] = i % 2 == 0;
        ring[i][29] = i % 2 == 1;
    }
    auto known = knownSymbol(ring);
    ASSERT_EQ(checkBorderPattern(known->symbol, known->context), 1);
    known->symbol.topPeriodStart = {0, 50};
    known->symbol.topPeriodEnd = {static_cast<float>(200.0 / 30.5), 50};
    known->symbol.rightPeriodStart = known->symbol.topPeriodStart;
    known->symbol.rightPeriodEnd = known->symbol.topPeriodEnd;
    SymbolResult& symbol = known->symbol;
    // The transform maps the square onto the ring; periods are in image units.
    transformPoint(symbol.inverseTransform, {0, 50}, symbol.topPeriodStart);
    transformPoint(symbol.inverseTransform, {static_cast<float>(200.0 / 30.5), 50}, symbol.topPeriodEnd);
    symbol.rightPeriodStart = symbol.topPeriodStart;
    symbol.rightPeriodEnd = symbol.topPeriodEnd;
    SizeSearchRecord record;
    EXPECT_EQ(fitSymbolSize(symbol, known->context, &record), 0);
    ASSERT_FALSE(record.tries.empty());
    EXPECT_EQ(record.tries[0].symbolSize, 30);
    EXPECT_TRUE(record.tries[0].passed);
    EXPECT_EQ(symbol.modules, nullptr);
}

TEST(ModuleSampling, OutsideModulesAreMarkedAndFlagsFollowThePicture) {
    auto known = knownSymbol(symbolOf(32));
    SymbolResult& symbol = known->symbol;
    ASSERT_TRUE(acceptSymbolSize(symbol, known->context, 30));
    EXPECT_EQ(symbol.mappingRows, 28);
    EXPECT_EQ(symbol.codewordCount, 98);
    EXPECT_EQ(symbol.messageCapacity, 980);
    // Cut the picture so that the symbol's right part lies outside it.
    known->context.image.width -= 40;
    auto& image = known->context.image;
    const int width = image.width;
    const int height = image.height;
    ImageBuffer cut = testing::makeGreyImage(width, height, [&](int x, int y) {
        return image.pixels[static_cast<std::size_t>(y) * (width + 40) + x];
    });
    image = std::move(cut);
    sampleModules(symbol, known->context);
    const auto expected =
        testing::mappingMatrix(32, testing::addCheckCodewords(testing::encodeAscii("RING", 32), 32));
    int outside = 0;
    for (int row = 0; row < 28; ++row) {
        for (int col = 0; col < 28; ++col) {
            const std::uint8_t flags = symbol.modules[row * 28 + col];
            EXPECT_TRUE(flags & ModuleSampled);
            if (flags & ModuleOutside) {
                ++outside;
                // A zero sample reads as finder colour on a light ground.
                EXPECT_FALSE(flags & ModuleBackground);
            } else {
                EXPECT_EQ((flags & ModuleBackground) != 0, !expected[row][col]) << row << "," << col;
            }
        }
    }
    EXPECT_GT(outside, 0);
    EXPECT_LT(outside, 28 * 28 / 2);
}

TEST(LocalThreshold, TwoClassMeansAndUniformWindows) {
    // 7x7 grid: the ring is rows and columns 2 and 4, the inside the centre cell 24.
    std::vector<float> source(49, 40.0f);
    for (int i = 0; i < 49; i += 3) source[i] = 200.0f;
    std::vector<float> target(49, 7.0f);
    source[24] = 119.0f;
    localThreshold(source.data(), target.data(), 7, 7, 4, 4, LocalThresholdInside);
    EXPECT_EQ(target[24], 0.0f);  // below (40 + 200) / 2, whatever the mix
    EXPECT_EQ(target[16], 7.0f);  // a ring cell: not in this mode
    EXPECT_EQ(target[0], 7.0f);   // the margin is never written
    source[24] = 120.0f;
    localThreshold(source.data(), target.data(), 7, 7, 4, 4, LocalThresholdInside);
    EXPECT_EQ(target[24], 255.0f);
    localThreshold(source.data(), target.data(), 7, 7, 4, 4, LocalThresholdRing);
    EXPECT_NE(target[16], 7.0f);

    std::vector<float> uniform(49, 90.0f);
    localThreshold(uniform.data(), target.data(), 7, 7, 4, 4, LocalThresholdInside);
    EXPECT_EQ(target[24], 255.0f);
    uniform[24] = -1.0f;
    localThreshold(uniform.data(), target.data(), 7, 7, 4, 4, LocalThresholdInside);
    EXPECT_EQ(target[24], -1.0f);
}

TEST(ThresholdedBorder, PolarityFromTheSolidColumnAndSkippedOutsideCells) {
    auto known = knownSymbol(symbolOf(16));
    SymbolResult& symbol = known->symbol;
    SamplingGrids grids;
    const int side = 16 + gridMargin;
    sampleGrid(symbol, known->context.image, grids.rawGrid.data(), GridPart::BorderBand);
    localThreshold(grids.rawGrid.data(), grids.binarisedGrid.data(), side, side, gridMargin, gridMargin,
                   LocalThresholdRing);
    ASSERT_EQ(checkBorderPatternThresholded(symbol, grids.binarisedGrid.data()), 1);
    EXPECT_EQ(symbol.polarity, 1);

    // Cells outside the picture count neither way.
    auto* binarised = grids.binarisedGrid.data();
    for (int k = 0; k < 16; ++k) binarised[(k + 2) * side + 2] = -1.0f;
    EXPECT_EQ(checkBorderPatternThresholded(symbol, binarised), 1);
    EXPECT_EQ(symbol.polarity, 1);  // no cell of the solid column left to decide

    // Light finder: the solid column reads 255.
    for (int k = 0; k < 16; ++k) binarised[(k + 2) * side + 2] = 255.0f;
    BorderCheckRecord record;
    checkBorderPatternThresholded(symbol, binarised, &record);
    EXPECT_EQ(symbol.polarity, -1);
}

}  // namespace
}  // namespace ternwick
