// Bytes shown as text: escaped where they are not printable, and the test
// that tells whether bytes are UTF-8.
#pragma once

#include <string>
#include <string_view>

namespace ternwick {

// Control characters, backslash and bytes above 126 escaped (\n, \t, \r, \\, \xNN).
std::string escapeBytes(std::string_view bytes);

// True when the bytes are well-formed UTF-8.
bool isValidUtf8(std::string_view bytes);

}  // namespace ternwick
