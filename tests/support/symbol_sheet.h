// Several symbols in one picture: each is rendered on its own and pasted into
// its cell of a grid on a light sheet.
#pragma once

#include <string>
#include <vector>

#include "image/image_buffer.h"
#include "support/symbol_writer.h"

namespace ternwick::testing {

struct SheetSymbol {
    std::string text;
    int symbolSize = 10;
    RenderOptions options;  // width, height and centre are set by the sheet
};

struct SymbolSheet {
    ImageBuffer image;  // as the decoder reads it: rows bottom-up
    std::vector<std::string> texts;
};

// The symbols in a grid of near-square cells, row by row from the top left.
SymbolSheet composeSheet(const std::vector<SheetSymbol>& symbols);

// count symbols of the given sizes in turn, each with its own text and
// rotation (all upright with uprightOnly), about 90 pixels wide.
std::vector<SheetSymbol> mixedSymbols(int count, const std::vector<int>& sizes, bool uprightOnly = false);

}  // namespace ternwick::testing
