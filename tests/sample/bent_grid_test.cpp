// The bent grid's cubic: it passes through the points and along the lines of
// a grid bent by a cubic, and an undetermined fit is refused. (Pictures read
// through it are counted by the photograph look-alike groups of decode_rate.)
#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "sample/bent_grid.h"

namespace ternwick {
namespace {

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
