// A fixed, generated set of pictures for whole-decoder checks and timings:
// every square size, rotations, keystones, blur, noise, uneven light,
// light-on-dark, cluttered pages with a small symbol, pictures that only the
// second pass reads, and pictures without a symbol. The same index always
// gives the same picture, so the set can be compared against a recorded run.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "support/symbol_writer.h"

namespace ternwick::testing {

struct PictureRecipe {
    std::string name;   // unique, stable: used as the key of recorded results
    std::string group;  // what kind of picture, for tables by group
    int symbolSize = 0;  // 0: no symbol
    std::string text;    // the symbol's message
    RenderOptions options;
    int clutter = 0;     // random bars and blocks drawn around the symbol (count)
    int noSymbolKind = 0;  // for symbolSize 0: which kind of empty picture
};

// The whole set, in a fixed order.
std::vector<PictureRecipe> pictureSet();

// A picture of the set: grey, one byte a pixel, rows top-down.
struct GreyPicture {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> grey;
};

GreyPicture renderPicture(const PictureRecipe& recipe);

}  // namespace ternwick::testing
