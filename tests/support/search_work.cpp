#include "support/search_work.h"

#include <algorithm>

#include "driver/scan_attempt.h"

namespace ternwick::testing {

int MeasuringAttempts::firstPass(DecodeContext& context, int direction, int lineIndex) {
    const int count = attemptScanLine(context, direction, lineIndex);
    record_.firstPass = std::max(record_.firstPass, context.work.spent);
    return count;
}

int MeasuringAttempts::secondPass(DecodeContext& context, int direction, int lineIndex) {
    record_.atSecondPassStart.push_back(context.work.spent);
    const int count = attemptScanLineSecondPass(context, direction, lineIndex);
    record_.secondPass = std::max(record_.secondPass, context.work.spent);
    return count;
}

int MeasuringAttempts::furtherPass(DecodeContext& context, int chain, int direction, int lineIndex) {
    const int count = ScanLineAttempts::furtherPass(context, chain, direction, lineIndex);
    record_.furtherPasses = std::max(record_.furtherPasses, context.work.spent);
    return count;
}

}  // namespace ternwick::testing
