#include "driver/decode_context.h"

#include <algorithm>

namespace ternwick {

void releaseSymbols(DecodeContext& context) {
    const auto held = static_cast<std::int32_t>(context.symbols.size());
    const int count = std::clamp(context.symbolCount, 0, held);
    for (int i = 0; i < count; ++i) releaseSymbolBuffers(context.symbols[static_cast<std::size_t>(i)]);
    context.symbolCount = 0;
}

void storeSymbol(DecodeContext& context, SymbolResult&& symbol) {
    const auto index = static_cast<std::size_t>(context.symbolCount);
    if (index < context.symbols.size()) {
        context.symbols[index] = std::move(symbol);
    } else {
        context.symbols.push_back(std::move(symbol));
    }
    ++context.symbolCount;
}

}  // namespace ternwick
