// Reading heavily blurred symbols, for a further search pass: the size is
// chosen by how strongly each square size's clock pattern alternates in the
// picture, the module centres are sampled into a grid, and the blur is undone
// on that grid. Each sample is taken as the sum of the modules around it,
// weighted by the blur's Gaussian over each module's square; the module values
// are found by sweeps that correct one module at a time towards the samples,
// with the finder, clock and alignment patterns held at the values they must
// have and every module kept between light and dark.
#pragma once

#include <array>
#include <cstdint>

#include "locate/search_context.h"
#include "sample/symbol_result.h"

namespace ternwick {

// The square sizes a blurred candidate is read as, those whose clocks
// alternate most strongly first.
inline constexpr int kBlurredSizeTries = 2;

// The square sizes a located candidate is read as, by index, in turn: first
// the one whose clocks show most clearly, then the next; -1 where there is
// none. picture is the blurred picture as loaded (the candidate may have been
// located on a sharpened copy of it, in the same coordinates); blurPixels is
// the Gaussian sigma of its blur in pixels.
using BlurredSizes = std::array<int, kBlurredSizeTries>;
BlurredSizes blurredSizes(const SymbolResult& symbol, SearchContext& context, const ImageBuffer& picture,
                          double blurPixels);

// Reads the candidate as a square of the size: 1 with the size accepted, the
// buffers allocated and modules filled; 0 with nothing allocated. Sets the
// polarity (+1: finder dark, -1: finder light).
int fitBlurredSymbol(SymbolResult& symbol, SearchContext& context, const ImageBuffer& picture, double blurPixels,
                     int sizeIndex);

// Undoes a blur of sigma moduleSigma (in modules) on a grid of module-centre
// greys (rawGrid's layout for a square symbol of size modules a side, -1 for
// cells outside the picture) and writes 0 (dark) or 255 (light) into target,
// -1 where the source is. Modules of the finder, clock and alignment patterns
// are held at the colours they must have, the finder's colour dark when
// finderDark. Returns the products of the blur it computed (0 when the grid
// could not be read).
std::int64_t deblurModuleGrid(const float* source, float* target, int size, int regionSize, double moduleSigma,
                              bool finderDark);

}  // namespace ternwick
