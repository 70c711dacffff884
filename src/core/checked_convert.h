// Guarded numerics: float-to-integer conversions that never meet undefined
// behaviour (a NaN, an infinity or a value outside the integer range is
// reported instead), and a division that tolerates a zero divisor.
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

namespace ternwick {

// Truncates toward zero into out; false (out untouched) when v is NaN,
// infinite or outside the int32 range.
inline bool truncateToInt32(double v, std::int32_t& out) {
    if (!(v > -2147483649.0 && v < 2147483648.0)) return false;
    out = static_cast<std::int32_t>(v);
    return true;
}

// a / b as IEEE arithmetic gives it, a zero divisor included (an infinity of
// the quotient's sign, or NaN for 0 / 0), but without dividing by zero, which
// the build's float-divide-by-zero check would stop.
inline double ieeeDivide(double a, double b) {
    if (b != 0.0) return a / b;
    if (a == 0.0 || std::isnan(a)) return std::numeric_limits<double>::quiet_NaN();
    const bool negative = std::signbit(a) != std::signbit(b);
    return negative ? -std::numeric_limits<double>::infinity() : std::numeric_limits<double>::infinity();
}

}  // namespace ternwick
