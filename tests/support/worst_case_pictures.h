// Pictures that make the decoder work hardest: no symbol, but edges and level
// crossings everywhere. Used by the worst-case benchmark and by the tests
// that keep their decode time bounded.
#pragma once

#include "image/image_buffer.h"

namespace ternwick::testing {

// Uniform random grey levels, the same for the same seed.
ImageBuffer noisePicture(int width, int height, unsigned seed = 1);

// Black and white squares of one pixel.
ImageBuffer checkerboardPicture(int width, int height);

// Dark L shapes on white, each a vertical and a horizontal stroke of
// strokeWidth pixels meeting at the lower left, legs of legLength pixels,
// repeated every spacing pixels in both directions.
ImageBuffer lShapesPicture(int width, int height, int legLength = 6, int strokeWidth = 1, int spacing = 9);

}  // namespace ternwick::testing
