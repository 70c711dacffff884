#include "driver/timed_attempts.h"

#include "driver/scan_attempt.h"

namespace ternwick {

TimedAttempts::TimedAttempts(double budgetMs)
    : deadline_(std::chrono::steady_clock::now() + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                                                       std::chrono::duration<double, std::milli>(budgetMs))) {}

int TimedAttempts::firstPass(DecodeContext& context, int direction, int lineIndex) {
    if (timeUp(context)) return context.symbolCount;
    return attemptScanLine(context, direction, lineIndex);
}

int TimedAttempts::secondPass(DecodeContext& context, int direction, int lineIndex) {
    if (timeUp(context)) return context.symbolCount;
    return attemptScanLineSecondPass(context, direction, lineIndex);
}

int TimedAttempts::furtherPass(DecodeContext& context, int chain, int direction, int lineIndex) {
    if (timeUp(context)) return context.symbolCount;
    return ScanLineAttempts::furtherPass(context, chain, direction, lineIndex);
}

bool TimedAttempts::timeUp(DecodeContext& context) const {
    if (std::chrono::steady_clock::now() < deadline_) return false;
    context.work.spent = context.work.limit;  // the rest of the pass is passed over
    return true;
}

}  // namespace ternwick
