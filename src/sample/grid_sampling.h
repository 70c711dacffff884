// The second pass's sampling: the symbol and a margin around it are sampled
// into a grid of grey values, each cell is binarised against a threshold from
// its own neighbourhood, and the border pattern and the modules are read from
// the binarised grid. Used when the plain size search has failed.
#pragma once

#include "locate/search_context.h"
#include "sample/size_search.h"
#include "sample/symbol_result.h"

namespace ternwick {

// Cells of margin around the symbol, half of them on each side.
inline constexpr int gridMargin = 4;

enum class GridPart { BorderBand, Interior };
enum LocalThresholdMode { LocalThresholdRing = 1, LocalThresholdInside = 2 };

// 1 with a size accepted, the buffers allocated and modules filled; 0 with
// nothing allocated. Sets the polarity (+1: finder dark, -1: finder light).
int fitSymbolSizeThresholded(SymbolResult& symbol, SearchContext& context, SizeSearchRecord* record = nullptr);

// The same for the rectangular sizes near the two sides' estimates, in both
// orientations (mirrored sets the record's flag; the modules are filled in
// the frame of the symbol square).
int fitRectangularSizeThresholded(SymbolResult& symbol, SearchContext& context, SizeSearchRecord* record = nullptr);

// Fills the chosen cells of rawGrid (mappingRows + 2 + gridMargin rows of
// mappingCols + 2 + gridMargin cells) with grey values of module centres in
// the picture, -1 outside it.
void sampleGrid(const SymbolResult& symbol, const ImageBuffer& picture, float* rawGrid, GridPart part);

// Binarises the cells of the ring (mode 1) or of the inside (mode 2) against
// the mean of the two classes of their window: 0 darker, 255 not, -1 outside.
void localThreshold(const float* source, float* target, int rows, int columns, int windowRows, int windowColumns,
                    int mode);

// The context's grids, allocated on first use; null (and the context told)
// when memory is exhausted.
SamplingGrids* samplingGridsOf(SearchContext& context);

// Fills modules from a binarised grid (0 darker, 255 not, -1 outside), in
// the frame of the symbol square, by the symbol's polarity.
void gridToModules(SymbolResult& symbol, const float* binarisedGrid);

// Sets the polarity from the finder's solid column, then checks the ring.
int checkBorderPatternThresholded(SymbolResult& symbol, const float* binarisedGrid,
                                  BorderCheckRecord* record = nullptr);

}  // namespace ternwick
