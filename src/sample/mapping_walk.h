// The modules of a sized symbol's mapping matrix, visited in the order the
// matrix stores them, with their place inside the symbol.
#pragma once

#include <algorithm>
#include <cstdint>

#include "sample/symbol_result.h"

namespace ternwick {

// Clears the module flags, then calls visit(r, q, module) for every module of
// the mapping matrix: r counts the symbol's inside rows from the top (0 is
// the row under the clock row), q its inside columns from the left (0 is the
// column right of the solid column); rows and columns of the alignment
// patterns between data regions are passed over.
template <typename Visit>
void forEachMappingModule(SymbolResult& symbol, const Visit& visit) {
    std::fill(symbol.modules.get(), symbol.modules.get() + symbol.moduleCount, std::uint8_t{0});
    const int lines = alignmentLineCount(symbol.regionCount);
    const int R = kSymbolSizes[static_cast<std::size_t>(symbol.sizeIndex)].regionSize;
    const int interior = symbol.mappingRows + lines;  // S - 2
    int i = 0;
    for (int r = 0; r < interior; ++r) {
        if (r % (R + 2) >= R) continue;  // alignment rows
        int j = 0;
        for (int q = 0; q < interior; ++q) {
            if (q % (R + 2) >= R) continue;
            visit(r, q, symbol.modules[static_cast<std::size_t>(i) * symbol.mappingCols + j]);
            ++j;
        }
        ++i;
    }
}

}  // namespace ternwick
