// The decoder's own scan-line attempts under a time limit: once the time is
// up, every remaining attempt is passed over and the pass ends.
#pragma once

#include <chrono>

#include "driver/decode_context.h"

namespace ternwick {

class TimedAttempts final : public ScanLineAttempts {
public:
    // The time starts now; budgetMs of 0 or below leaves no time at all.
    explicit TimedAttempts(double budgetMs);
    int firstPass(DecodeContext& context, int direction, int lineIndex) override;
    int secondPass(DecodeContext& context, int direction, int lineIndex) override;
    int furtherPass(DecodeContext& context, int chain, int direction, int lineIndex) override;

private:
    bool timeUp(DecodeContext& context) const;
    std::chrono::steady_clock::time_point deadline_;
};

}  // namespace ternwick
