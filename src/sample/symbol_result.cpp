#include "sample/symbol_result.h"

#include <cmath>

namespace ternwick {

void releaseSymbolBuffers(SymbolResult& symbol) {
    symbol.modules.reset();
    symbol.codewords.reset();
    symbol.message.reset();
    symbol.erasures.reset();
    symbol = SymbolResult{};
}

int findSizeIndex(std::int32_t symbolSize) {
    for (int row = 0; row < kSymbolSizeCount; ++row) {
        if (kSymbolSizes[row].symbolSize == symbolSize) return row;
    }
    return -1;
}

std::int32_t alignmentLineCount(std::int32_t regionCount) {
    const double perSide = std::sqrt(static_cast<double>(regionCount));
    return static_cast<std::int32_t>(2.0 * (perSide - 1.0));
}

}  // namespace ternwick
