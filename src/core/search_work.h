// The work one search pass may spend, counted in units of about one pixel read
// of the costly stages: edge-trace steps, side-walk samples, border, module and
// grid samples, and the Reed-Solomon check of a sized candidate.
#pragma once

#include <cstdint>

namespace ternwick {

// Work one search pass may spend on its scan lines. Once a pass has spent it,
// its remaining crossings and lines are passed over. A pass that finds a
// symbol has spent a small part of it (about 2 % at most for pictures of
// symbols of every size up to 4000x4000 pixels, noisy, blurred and rotated
// ones included); pictures with level crossings at nearly every pixel, such as
// fine checkerboards or dense line art, reach it, and it keeps their decode
// within about a second.
inline constexpr std::int64_t kSearchWorkLimit = 10000000;

struct SearchWork {
    std::int64_t spent = 0;                 // by the current pass
    std::int64_t limit = kSearchWorkLimit;  // per pass

    void charge(std::int64_t units) { spent += units; }
    bool exhausted() const { return spent >= limit; }
    // A new pass starts with the whole allowance.
    void startPass() { spent = 0; }
};

}  // namespace ternwick
