#include "support/search_work.h"

#include <algorithm>

#include "locate/scan_attempt.h"

namespace ternwick::testing {
namespace {

thread_local PassWork* current = nullptr;

int measuredFirst(DecodeContext& context, int direction, int index) {
    const int count = attemptScanLine(context, direction, index);
    if (current != nullptr) current->firstPass = std::max(current->firstPass, context.searchWork);
    return count;
}

int measuredSecond(DecodeContext& context, int direction, int index) {
    if (current != nullptr) current->atSecondPassStart.push_back(context.searchWork);
    const int count = attemptScanLineSecondPass(context, direction, index);
    if (current != nullptr) current->secondPass = std::max(current->secondPass, context.searchWork);
    return count;
}

constexpr ScanLineAttempts kMeasuringAttempts{measuredFirst, measuredSecond};

}  // namespace

const ScanLineAttempts& measuringAttempts(PassWork& record) {
    current = &record;
    return kMeasuringAttempts;
}

}  // namespace ternwick::testing
