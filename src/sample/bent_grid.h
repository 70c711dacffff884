// Reading a located square whose module grid is bent: a large symbol
// photographed at an angle, or printed on a curved surface, where the one
// projective transform of the finder and the two side walks misplaces the far
// modules by a module or more, so that neither the clock periods nor the
// border check find its size. Both dashed sides are followed module by
// module from the finder, correcting the position at every dark module; how
// far they run gives the size. A smooth grid (a cubic in the module
// coordinates) is fitted to the dark modules' centres found, to the outer
// edges of the finder's solid sides and, in a symbol of several data
// regions, to the dashed lines of its alignment patterns, followed the same
// way from the dashed sides; every module is sampled from it and thresholded
// against its neighbourhood.
#pragma once

#include <vector>

#include "locate/search_context.h"
#include "sample/symbol_result.h"

namespace ternwick {

// A point of the grid: module coordinates (X along the solid row, Y along
// the solid column, 0..size) and its picture point.
struct GridPoint {
    double X = 0.0;
    double Y = 0.0;
    Vector2 picture;
};

// The cubic grid: picture x and y as sums of terms X^i Y^j (i + j <= 3) of
// the module coordinates divided by the size.
struct CubicGrid {
    int size = 0;
    double x[10] = {};
    double y[10] = {};
    Vector2 at(double X, double Y) const;
};

// A line through a picture point along which a grid point must lie: the
// point's module coordinates, the picture point and the line's normal.
struct GridLineConstraint {
    double X = 0.0;
    double Y = 0.0;
    Vector2 picture;
    Vector2 normal;
};

// Fits the cubic grid of the size to full points and to line constraints by
// weighted least squares (lineWeight for each constraint), pulled weakly
// towards the prior points. False when the points leave it undetermined.
bool fitCubicGrid(int size, const std::vector<GridPoint>& points, const std::vector<GridLineConstraint>& lines,
                  double lineWeight, const std::vector<GridPoint>& prior, double priorWeight, CubicGrid& grid);

// How the modules of a bent grid are read.
enum class BentModules {
    // Each module's grey at its centre.
    Centre,
    // For a picture thresholded to black and white under uneven light, where
    // dim light shrank the light modules to a few pixels or wiped them out:
    // each module's grey is the lightest near its centre, and modules that
    // are dark with all eight around them are erased.
    LightWins,
};

// Reads the candidate (finder, sides and polarity located) as a square whose
// grid is bent. 1 with the size accepted, the buffers allocated, modules
// filled and the transforms set through the grid's corners; 0 with nothing
// allocated. Dashed sides lost where uneven light grew their modules
// together or shrank them are followed once more, bridging such stretches.
int fitBentSymbol(SymbolResult& symbol, SearchContext& context, BentModules modules = BentModules::Centre);

}  // namespace ternwick
