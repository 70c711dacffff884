#include "locate/scan_attempt.h"

namespace ternwick {

int attemptScanLine(DecodeContext& context, int /*direction*/, int /*lineIndex*/) {
    return context.symbolCount;
}

int attemptScanLineSecondPass(DecodeContext& context, int /*direction*/, int /*lineIndex*/) {
    return context.symbolCount;
}

void recordRejectedLine(DecodeContext& context, int direction, int lineIndex) {
    std::int32_t* list = nullptr;
    std::int32_t* count = nullptr;
    if (direction == 1) {
        list = context.rejectedColumns;
        count = &context.rejectedColumnCount;
    } else if (direction == 8) {
        list = context.rejectedRows;
        count = &context.rejectedRowCount;
    } else {
        return;
    }
    if (*count > 0 && list[*count - 1] == lineIndex) return;
    if (*count >= kRejectedLineCapacity) return;
    list[*count] = lineIndex;
    ++*count;
}

}  // namespace ternwick
