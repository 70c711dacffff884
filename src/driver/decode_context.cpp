#include "driver/decode_context.h"

#include "driver/scan_attempt.h"

namespace ternwick {

int ScanLineAttempts::furtherPass(DecodeContext& context, int chain, int direction, int lineIndex) {
    return chain == static_cast<int>(SearchPass::First) ? attemptScanLine(context, direction, lineIndex)
                                                        : attemptScanLineSecondPass(context, direction, lineIndex);
}

void releaseSymbols(DecodeContext& context) {
    const int count = context.symbolCount < kMaxSymbols ? context.symbolCount : kMaxSymbols;
    for (int i = 0; i < count; ++i) {
        releaseSymbolBuffers(context.symbols[i]);
        context.messages[i] = MessageInfo{};
    }
    context.symbolCount = 0;
}

}  // namespace ternwick
