#include "driver/decode_context.h"

#include <algorithm>

#include "driver/scan_attempt.h"

namespace ternwick {

int ScanLineAttempts::furtherPass(DecodeContext& context, int chain, int direction, int lineIndex) {
    return chain == static_cast<int>(SearchPass::First) ? attemptScanLine(context, direction, lineIndex)
                                                        : attemptScanLineSecondPass(context, direction, lineIndex);
}

void releaseSymbols(DecodeContext& context) {
    const auto held = static_cast<std::int32_t>(context.symbols.size());
    const int count = std::clamp(context.symbolCount, 0, held);
    for (int i = 0; i < count; ++i) {
        releaseSymbolBuffers(context.symbols[static_cast<std::size_t>(i)]);
        context.messages[static_cast<std::size_t>(i)] = MessageInfo{};
    }
    context.symbolCount = 0;
}

void storeSymbol(DecodeContext& context, SymbolResult&& symbol, MessageInfo&& message) {
    const auto index = static_cast<std::size_t>(context.symbolCount);
    if (index < context.symbols.size()) {
        context.symbols[index] = std::move(symbol);
    } else {
        context.symbols.push_back(std::move(symbol));
    }
    if (index < context.messages.size()) {
        context.messages[index] = std::move(message);
    } else {
        context.messages.push_back(std::move(message));
    }
    ++context.symbolCount;
}

}  // namespace ternwick
