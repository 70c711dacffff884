// What a symbol says about its message besides the bytes: GS1 or AIM data,
// the character sets (ECI) in force, its place in a structured-append series,
// reader programming, the 05/06 macros, and whether the codeword stream broke
// off or broke the encodation rules.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace ternwick {

// An extended channel interpretation and the message byte from which it applies.
struct EciMark {
    std::uint32_t value = 0;    // 0..999999
    std::int32_t position = 0;  // index into the symbol's message bytes
};

// One symbol of a series whose messages join into one.
struct StructuredAppendInfo {
    std::int32_t position = 0;  // 1..total
    std::int32_t total = 0;     // 2..16
    std::int32_t fileId1 = 0;   // 1..254: with fileId2, the same for every symbol of the series
    std::int32_t fileId2 = 0;   // 1..254
};

// Why decoding stopped before the end of the data. The message then holds the
// bytes decoded up to that point (no macro trailer).
enum class MessageFault : std::uint8_t {
    None,
    CutShort,              // the data ended inside an ECI value, a structured-append header,
                           // a Base256 length or field, or after an upper shift
    EciOutOfRange,         // an ECI value above 999999 or a value codeword outside 1..254
    BadStructuredAppend,   // a header whose position, total or file identifier is out of range
    MisplacedCodeword,     // structured append or reader programming after the first codeword, or a
                           // macro neither first nor right after a structured-append header
};

struct MessageInfo {
    bool gs1 = false;                 // FNC1 in the first position: GS1 element strings follow
    bool aim = false;                 // FNC1 after a single letter or digit pair: an AIM application
    std::vector<EciMark> eci;         // in message order
    std::optional<StructuredAppendInfo> structuredAppend;
    bool readerProgramming = false;
    std::int32_t macro = 0;           // 5 or 6 for the macro codewords 236 and 237, otherwise 0
    MessageFault fault = MessageFault::None;

    bool endedAbnormally() const { return fault != MessageFault::None; }

    // The symbology identifier a reader transmits before the message:
    // ]d1 plain, ]d2 GS1, ]d3 AIM; ]d4 to ]d6 the same with ECI.
    std::string_view symbologyId() const {
        static constexpr std::string_view kIds[6] = {"]d1", "]d2", "]d3", "]d4", "]d5", "]d6"};
        return kIds[(eci.empty() ? 0 : 3) + (gs1 ? 1 : aim ? 2 : 0)];
    }
};

// A short English name of the fault ("" for none).
std::string_view messageFaultText(MessageFault fault);

}  // namespace ternwick
