// Where a decoded symbol lies in the picture.
#pragma once

#include <array>

#include "sample/symbol_result.h"

namespace ternwick {

struct PicturePoint {
    double x = 0.0;
    double y = 0.0;
};

// The corners of the symbol's square in picture coordinates (origin at the
// top-left corner of the top-left pixel, y downwards, in pixels), in the order
// top-left, top-right, bottom-right, bottom-left of the upright symbol, whose
// solid finder sides are its left and bottom sides. pictureHeight is the
// height of the picture the symbol was found in.
std::array<PicturePoint, 4> symbolCorners(const SymbolResult& symbol, int pictureHeight);

}  // namespace ternwick
