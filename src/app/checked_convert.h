// Float-to-integer conversions that never meet undefined behaviour: a NaN, an
// infinity or a value outside the integer range is reported instead.
#pragma once

#include <cstdint>

namespace ternwick {

// Truncates toward zero into out; false (out untouched) when v is NaN,
// infinite or outside the int32 range.
inline bool truncateToInt32(double v, std::int32_t& out) {
    if (!(v > -2147483649.0 && v < 2147483648.0)) return false;
    out = static_cast<std::int32_t>(v);
    return true;
}

}  // namespace ternwick
