// Scan-line attempts that note how much of the search allowance each pass
// spends, for the tests and the benchmark of the worst cases.
#pragma once

#include <cstdint>
#include <vector>

#include "driver/decode_context.h"

namespace ternwick::testing {

struct PassWork {
    std::int64_t firstPass = 0;   // the most work the pass had spent after any of its lines
    std::int64_t secondPass = 0;
    std::int64_t furtherPasses = 0;  // the further passes together
    std::vector<std::int64_t> atSecondPassStart;  // work already spent when each second-pass line began
};

// The decoder's own attempts, noting their work into a record.
class MeasuringAttempts final : public ScanLineAttempts {
public:
    explicit MeasuringAttempts(PassWork& record) : record_(record) {}
    int firstPass(DecodeContext& context, int direction, int lineIndex) override;
    int secondPass(DecodeContext& context, int direction, int lineIndex) override;
    int furtherPass(DecodeContext& context, int chain, int direction, int lineIndex) override;

private:
    PassWork& record_;
};

}  // namespace ternwick::testing
