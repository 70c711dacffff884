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
// column right of the solid column), both in the frame of the symbol square
// (a mirrored symbol lies there with its rows along X); rows and columns of
// the alignment patterns between data regions are passed over.
template <typename Visit>
void forEachMappingModule(SymbolResult& symbol, const Visit& visit) {
    std::fill(symbol.modules.get(), symbol.modules.get() + symbol.moduleCount, std::uint8_t{0});
    const SampledGrid grid = sampledGrid(symbol);
    int i = 0;
    for (int r = 0; r < grid.rows - 2; ++r) {
        if (r % (grid.regionRows + 2) >= grid.regionRows) continue;  // alignment rows
        int j = 0;
        for (int q = 0; q < grid.columns - 2; ++q) {
            if (q % (grid.regionColumns + 2) >= grid.regionColumns) continue;
            visit(r, q, symbol.modules[static_cast<std::size_t>(i) * symbol.mappingCols + j]);
            ++j;
        }
        ++i;
    }
}

}  // namespace ternwick
