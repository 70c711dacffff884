#include "driver/decode_context.h"

namespace ternwick {

void releaseSymbols(DecodeContext& context) {
    const int count = context.symbolCount < kMaxSymbols ? context.symbolCount : kMaxSymbols;
    for (int i = 0; i < count; ++i) {
        releaseSymbolBuffers(context.symbols[i]);
        context.messages[i] = MessageInfo{};
    }
    context.symbolCount = 0;
}

}  // namespace ternwick
