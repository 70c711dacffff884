// Reading a bent grid: tilted symbols, on the finder's affine transform alone
// (so that their far modules lie modules from where it puts them and the
// border check finds no size), are sized and read by following their dashed
// lines, also when thresholded to black and white under dim light; and the
// cubic grid passes through the points and along the lines of a grid bent by
// a cubic.
#include <gtest/gtest.h>

#include <cmath>
#include <utility>
#include <vector>

#include "ecc/reed_solomon.h"
#include "locate/finder.h"
#include "sample/bent_grid.h"
#include "sample/placement.h"
#include "sample/size_search.h"
#include "support/symbol_writer.h"

namespace ternwick {
namespace {

// A tilted symbol rendered at 3 pixels a module, softened by 0.9 pixels.
testing::RenderOptions tilted(int size, double tilt, double degrees, bool lightOnDark) {
    testing::RenderOptions options;
    options.moduleSize = 3;
    options.rotationDegrees = degrees;
    options.lightOnDark = lightOnDark;
    options.perspective[1] = tilt / (size * 3.0);
    options.perspective[0] = tilt / 3 / (size * 3.0);
    options.blurSigma = 0.9;
    return options;
}

// The candidate the finder of a rendered symbol gives, its levels rising
// with the grey: polarity -1 gives the finder the dark colour.
SymbolResult locatedAt(const testing::RenderedSymbol& rendered, bool lightOnDark) {
    SymbolResult symbol;
    LevelStats levels;
    levels.maxLevel = 255.0f;
    levels.midLevel = 127.5f;
    levels.sign = 1.0f;
    startCandidate(symbol, levels);
    symbol.polarity = lightOnDark ? 1 : -1;
    EXPECT_EQ(setFinderPoints(symbol, rendered.finderCorner, rendered.solidRowEnd, rendered.solidColumnEnd), 1);
    return symbol;
}

TEST(BentGrid, TiltedSymbolsOnTheFindersAffineTransformAreSizedAndRead) {
    struct Case {
        int size;
        double tilt;  // the far side shorter by this share along y, by a third of it along x
        double degrees;
        bool lightOnDark;
    };
    const Case cases[] = {{32, 0.2, 20, false}, {48, 0.25, 200, false}, {96, 0.15, 200, true}, {144, 0.15, 20, false}};
    for (const Case& c : cases) {
        testing::RenderOptions options = tilted(c.size, c.tilt, c.degrees, c.lightOnDark);
        options.supersampling = 3;
        auto rendered = testing::renderText(testing::sampleText(c.size, 5), c.size, options);
        SymbolResult symbol = locatedAt(rendered, c.lightOnDark);
        SearchContext context;
        context.image = std::move(rendered.image);
        SymbolResult bordered;
        static_cast<Candidate&>(bordered) = symbol;
        EXPECT_EQ(fitSymbolSizeFromBorder(bordered, context), 0) << c.size;
        ASSERT_EQ(fitBentSymbol(symbol, context), 1) << c.size;
        EXPECT_EQ(symbolRows(symbol), c.size);
        // Its corners where the grid found them: the far one too, which the finder's transform misses.
        Vector2 far;
        transformPoint(symbol.inverseTransform, Vector2{100.0f, 100.0f}, far);
        const Vector2 drawn = rendered.toImage(c.size, c.size);
        EXPECT_LT(std::hypot(far.x - drawn.x, far.y - drawn.y), 0.5 * 3) << c.size;
        placeCodewords(symbol);
        EXPECT_EQ(correctSymbol(symbol), 1) << c.size;
        releaseSymbolBuffers(symbol);
    }
}

TEST(BentGrid, ThresholdedUnderDimLightTheShrunkLightModulesAreRead) {
    // Tilted symbols lit ever more dimly across the picture, then thresholded
    // at the middle grey: where the light is dim, lone light modules shrink
    // to a few pixels or vanish. Read at their centres they do not correct;
    // read as the lightest grey near their centres, with the modules lost in
    // dark patches erased, they do.
    struct Case {
        int size;
        bool lightOnDark;
        double gradient;  // grey levels added across the picture
        double degrees;
    };
    const Case cases[] = {{48, false, -40, 25}, {48, true, -50, 200}, {96, false, -50, 25}};
    for (const Case& c : cases) {
        testing::RenderOptions options = tilted(c.size, 0.15, c.degrees, c.lightOnDark);
        options.darkLevel = 50;
        options.lightLevel = 200;
        options.illuminationGradient = c.gradient;
        auto rendered = testing::renderText(testing::sampleText(c.size, 9), c.size, options);
        ImageBuffer& image = rendered.image;
        for (std::size_t i = 0; i < static_cast<std::size_t>(image.width) * image.height; ++i) {
            image.pixels[i] = image.pixels[i] >= 128 ? 255 : 0;
        }
        const SymbolResult located = locatedAt(rendered, c.lightOnDark);
        SearchContext context;
        context.image = std::move(image);
        const auto corrects = [&](BentModules modules) {
            SymbolResult symbol;
            static_cast<Candidate&>(symbol) = located;
            if (fitBentSymbol(symbol, context, modules) == 0) return false;
            EXPECT_EQ(symbolRows(symbol), c.size);
            placeCodewords(symbol);
            const bool corrected = correctSymbol(symbol) == 1;
            releaseSymbolBuffers(symbol);
            return corrected;
        };
        EXPECT_FALSE(corrects(BentModules::Centre)) << c.size;
        EXPECT_TRUE(corrects(BentModules::LightWins)) << c.size;
    }
}

TEST(BentGrid, TheCubicGridPassesThroughABentGridsPointsAndLines) {
    // x bent by a cubic of X, y by a square of Y and a product.
    const auto bent = [](double X, double Y) {
        return Vector2{static_cast<float>(10 + 3 * X + 0.001 * X * X * X), static_cast<float>(5 + 3 * Y + 0.01 * X * Y)};
    };
    std::vector<GridPoint> points;
    std::vector<GridLineConstraint> lines;
    for (int i = 0; i <= 40; i += 4) {
        for (int j = 0; j <= 40; j += 8) points.push_back(GridPoint{double(i), double(j), bent(i, j)});
        lines.push_back(GridLineConstraint{double(i), 0.0, bent(i, 0), Vector2{0.0f, 1.0f}});
    }
    CubicGrid grid;
    ASSERT_TRUE(fitCubicGrid(40, points, lines, 0.5, {}, 0.0, grid));
    for (const auto& [X, Y] : {std::pair{2.0, 3.0}, {37.0, 21.0}, {20.0, 39.0}}) {
        EXPECT_NEAR(grid.at(X, Y).x, bent(X, Y).x, 1e-3);
        EXPECT_NEAR(grid.at(X, Y).y, bent(X, Y).y, 1e-3);
    }
    EXPECT_FALSE(fitCubicGrid(40, {points.front()}, {}, 0.5, {}, 0.0, grid));
}

}  // namespace
}  // namespace ternwick
