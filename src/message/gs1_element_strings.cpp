#include "message/gs1_element_strings.h"

#include <cstdint>

namespace ternwick {
namespace {

constexpr char kGroupSeparator = 0x1D;

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Digits of the application identifiers that begin with the given two digits;
// 0 where GS1 assigns none.
int identifierLength(int prefix) {
    if (prefix <= 4) return 2;                                  // 00..04
    if (prefix >= 10 && prefix <= 22) return 2;                 // 10..22
    if (prefix >= 23 && prefix <= 25) return 3;                 // 235, 240..243, 250..255
    if (prefix == 30 || prefix == 37) return 2;
    if ((prefix >= 31 && prefix <= 36) || prefix == 39) return 4;  // 3100..3699, 3900..3955
    if (prefix >= 40 && prefix <= 42) return 3;                 // 400..427
    if (prefix == 43) return 4;                                 // 4300..4333
    if (prefix == 70 || prefix == 72) return 4;                 // 7001..7041, 7230..7259
    if (prefix == 71) return 3;                                 // 710..717
    if (prefix >= 80 && prefix <= 82) return 4;                 // 8001..8200
    if (prefix >= 90) return 2;                                 // 90..99
    return 0;
}

// Data digits of the element strings whose length GS1 predefines (no
// separator needs to follow them), by the identifier's first two digits; 0
// for the rest.
int predefinedDataLength(int prefix) {
    switch (prefix) {
        case 0: return 18;
        case 1: case 2: case 3: return 14;
        case 4: return 16;
        case 11: case 12: case 13: case 14: case 15: case 16: case 17: case 18: case 19: return 6;
        case 20: return 2;
        case 31: case 32: case 33: case 34: case 35: case 36: return 6;
        case 41: return 13;
        default: return 0;
    }
}

// The 82 characters GS1 allows in element strings: printable ASCII without
// space, '#', '$', '@', '[', '\', ']', '^', '`', '{', '|', '}' and '~'.
bool isGs1Character(char c) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x21 || u > 0x7A) return false;
    switch (c) {
        case '#': case '$': case '@': case '[': case '\\': case ']': case '^': case '`': return false;
        default: return true;
    }
}

bool allDigits(std::string_view text) {
    for (const char c : text) {
        if (!isDigit(c)) return false;
    }
    return true;
}

}  // namespace

std::string gs1HumanReadable(std::string_view message) {
    std::string out;
    std::size_t at = 0;
    while (at < message.size()) {
        if (message.size() - at < 2 || !isDigit(message[at]) || !isDigit(message[at + 1])) return {};
        const int prefix = (message[at] - '0') * 10 + (message[at + 1] - '0');
        const std::size_t idLength = static_cast<std::size_t>(identifierLength(prefix));
        if (idLength == 0 || message.size() - at < idLength) return {};
        const std::string_view identifier = message.substr(at, idLength);
        if (!allDigits(identifier)) return {};
        at += idLength;

        std::string_view data;
        if (const std::size_t fixed = static_cast<std::size_t>(predefinedDataLength(prefix)); fixed != 0) {
            data = message.substr(at, fixed);
            if (data.size() != fixed || !allDigits(data)) return {};
        } else {
            data = message.substr(at, message.find(kGroupSeparator, at) - at);
            if (data.empty()) return {};
            for (const char c : data) {
                if (!isGs1Character(c)) return {};
            }
        }
        at += data.size();
        // A separator (optional after a predefined length) must have a field after it.
        if (at < message.size() && message[at] == kGroupSeparator && ++at == message.size()) return {};
        out += '(';
        out += identifier;
        out += ')';
        out += data;
    }
    return out;
}

std::string gs1HumanReadableOf(const MessageInfo& info, const std::uint8_t* message, std::size_t length) {
    if (!info.gs1 || message == nullptr) return {};
    return gs1HumanReadable({reinterpret_cast<const char*>(message), length});
}

}  // namespace ternwick
