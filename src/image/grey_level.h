// Grey levels of colour pixels, with the weights 9798, 19235 and 3735 (out of
// 32768) for red, green and blue. The PNG loader rounds the weighted sum and
// the BMP reader truncates it; both are kept as they are, since a picture
// must give the same grey levels, and so the same decode, as it always has.
#pragma once

#include <cstdint>

namespace ternwick {

// trunc((9798 R + 19235 G + 3735 B) / 32768 + 0.5): rounded, halves upwards.
inline std::uint8_t greyRounded(unsigned red, unsigned green, unsigned blue) {
    return static_cast<std::uint8_t>((9798u * red + 19235u * green + 3735u * blue + 16384u) >> 15);
}

// trunc((9798 R + 19235 G + 3735 B) / 32768).
inline std::uint8_t greyTruncated(unsigned red, unsigned green, unsigned blue) {
    return static_cast<std::uint8_t>((9798u * red + 19235u * green + 3735u * blue) >> 15);
}

}  // namespace ternwick
