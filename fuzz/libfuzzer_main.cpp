// The libFuzzer program of one target: TERNWICK_FUZZ_ENTRY names its entry function.
#include "fuzz_targets.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    return ternwick::fuzz::TERNWICK_FUZZ_ENTRY(data, size);
}
