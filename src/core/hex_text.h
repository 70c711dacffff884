// Bytes written as hexadecimal text, as the results and traces show them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace ternwick {

// The digit of a value 0..15; A-F in upper case unless asked otherwise.
constexpr char hexDigit(unsigned value, bool upperCase = true) {
    return static_cast<char>(value < 10 ? '0' + value : (upperCase ? 'A' : 'a') + value - 10);
}

// Two digits a byte, the high half first.
inline std::string hexOf(const std::uint8_t* bytes, std::size_t count, bool upperCase = true) {
    std::string out;
    out.reserve(count * 2);
    for (std::size_t i = 0; i < count; ++i) {
        out += hexDigit(bytes[i] >> 4, upperCase);
        out += hexDigit(bytes[i] & 0x0Fu, upperCase);
    }
    return out;
}

}  // namespace ternwick
