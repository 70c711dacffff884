#include <cstdio>
#include <cstdlib>

#include "fuzz_targets.h"

namespace ternwick::fuzz {

void fuzzCheck(bool holds, const char* promise) {
    if (holds) return;
    std::fprintf(stderr, "broken promise: %s\n", promise);
    std::abort();
}

}  // namespace ternwick::fuzz
