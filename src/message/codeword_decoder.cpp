#include "message/codeword_decoder.h"

#include <string>
#include <utility>

#include "core/diagnostics.h"

namespace ternwick {
namespace {

enum class Mode { Ascii, C40, Text, X12, Edifact, Base256, Done };

constexpr std::uint8_t kPad = 129;
constexpr std::uint8_t kFnc1 = 232;
constexpr std::uint8_t kStructuredAppend = 233;
constexpr std::uint8_t kReaderProgramming = 234;
constexpr std::uint8_t kUpperShift = 235;
constexpr std::uint8_t kMacro05 = 236;
constexpr std::uint8_t kMacro06 = 237;
constexpr std::uint8_t kEci = 241;
constexpr std::uint8_t kUnlatch = 254;
constexpr int kEdifactUnlatch = 31;
constexpr std::uint32_t kLargestEci = 999999;

constexpr std::uint8_t kEndOfTransmission = 0x04;
constexpr std::uint8_t kGroupSeparator = 0x1D;
constexpr std::uint8_t kRecordSeparator = 0x1E;

bool isLetter(std::uint8_t byte) { return (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z'); }
bool isDigit(std::uint8_t byte) { return byte >= '0' && byte <= '9'; }
// ECI value codewords after the first one lie in 1..254.
bool isEciContinuation(int codeword) { return codeword >= 1 && codeword <= 254; }

class CodewordDecoder {
public:
    CodewordDecoder(SymbolResult& symbol, const MessageOptions& options)
        : symbol_(symbol),
          options_(options),
          codewords_(symbol.codewords.get()),
          end_(kSymbolShapes[static_cast<std::size_t>(symbol.sizeIndex)].dataCodewords),
          start_(symbol.messageLength) {}

    MessageInfo run() {
        Mode mode = Mode::Ascii;
        while (mode != Mode::Done && position_ < end_) {
            switch (mode) {
                case Mode::Ascii: mode = asciiStep(); break;
                case Mode::C40:
                case Mode::Text:
                case Mode::X12: mode = tripletMode(mode); break;
                case Mode::Edifact: mode = edifactMode(); break;
                case Mode::Base256: mode = base256Mode(); break;
                case Mode::Done: break;
            }
        }
        // A Base256 latch as the last data codeword leaves no room for its length.
        if (mode == Mode::Base256) fail(MessageFault::CutShort);
        if (info_.macro != 0 && !info_.endedAbnormally()) {
            write(kRecordSeparator);
            write(kEndOfTransmission);
        }
        return std::move(info_);
    }

private:
    // Appends one byte unless the message buffer is full.
    void write(int byte) {
        if (symbol_.messageLength < symbol_.messageCapacity) {
            symbol_.message[static_cast<std::size_t>(symbol_.messageLength++)] = static_cast<std::uint8_t>(byte);
        }
    }

    std::uint8_t next() { return codewords_[static_cast<std::size_t>(position_++)]; }

    Mode fail(MessageFault fault) {
        info_.fault = fault;
        return Mode::Done;
    }

    Mode asciiStep() {
        const bool first = position_ == 0;
        // A macro may also follow a structured-append header, as FNC1 may.
        const bool opening = first || (position_ == 4 && info_.structuredAppend.has_value());
        const std::uint8_t cw = next();
        if (cw <= 128) {
            write((cw + 255) % 256);
        } else if (cw == kPad) {
            return Mode::Done;
        } else if (cw <= 229) {
            const int n = cw - 130;
            write('0' + n / 10);
            write('0' + n % 10);
        } else {
            switch (cw) {
                case 230: return Mode::C40;
                case 231: return Mode::Base256;
                case 238: return Mode::X12;
                case 239: return Mode::Text;
                case 240: return Mode::Edifact;
                case kFnc1: fnc1(); break;
                case kUpperShift:
                    // The next codeword is an ASCII value with 128 added.
                    if (position_ >= end_) return fail(MessageFault::CutShort);
                    write((next() - 1 + 128) % 256);
                    break;
                case kEci: return eci();
                // Structured append, reader programming and the macros open a symbol.
                case kStructuredAppend: return first ? structuredAppend() : fail(MessageFault::MisplacedCodeword);
                case kReaderProgramming:
                    if (!first) return fail(MessageFault::MisplacedCodeword);
                    info_.readerProgramming = true;
                    break;
                case kMacro05:
                case kMacro06:
                    if (!opening) return fail(MessageFault::MisplacedCodeword);
                    macroHeader(cw == kMacro05 ? 5 : 6);
                    break;
                default: break;  // 242..253 and 254 carry nothing in ASCII mode
            }
        }
        return Mode::Ascii;
    }

    // FNC1 before any data marks GS1 element strings, after a single letter or
    // digit pair an AIM application; both write nothing. Any other FNC1
    // separates GS1 fields and is written as the group separator.
    void fnc1() {
        if (!fnc1Seen_ && info_.macro == 0) {
            const std::uint8_t* written = symbol_.message.get() + start_;
            const int count = symbol_.messageLength - start_;
            if (count == 0) info_.gs1 = true;
            if ((count == 1 && isLetter(written[0])) || (count == 2 && isDigit(written[0]) && isDigit(written[1]))) {
                info_.aim = true;
            }
        }
        const bool leading = !fnc1Seen_ && (info_.gs1 || info_.aim);
        fnc1Seen_ = true;
        if (!leading) write(kGroupSeparator);
    }

    void macroHeader(int macro) {
        info_.macro = macro;
        for (const char c : std::string_view("[)>")) write(c);
        write(kRecordSeparator);
        write('0');
        write('0' + macro);
        write(kGroupSeparator);
    }

    // The value after 241 in one to three codewords; it applies from the next message byte on.
    Mode eci() {
        if (position_ >= end_) return fail(MessageFault::CutShort);
        const int c1 = next();
        std::uint32_t value = 0;
        if (c1 >= 1 && c1 <= 127) {
            value = static_cast<std::uint32_t>(c1 - 1);
        } else if (c1 >= 128 && c1 <= 191) {
            if (position_ >= end_) return fail(MessageFault::CutShort);
            const int c2 = next();
            if (!isEciContinuation(c2)) return fail(MessageFault::EciOutOfRange);
            value = static_cast<std::uint32_t>((c1 - 128) * 254 + (c2 - 1) + 127);
        } else if (c1 >= 192 && c1 <= 254) {
            if (end_ - position_ < 2) {
                position_ = end_;
                return fail(MessageFault::CutShort);
            }
            const int c2 = next();
            const int c3 = next();
            if (!isEciContinuation(c2) || !isEciContinuation(c3)) return fail(MessageFault::EciOutOfRange);
            value = static_cast<std::uint32_t>((c1 - 192) * 64516 + (c2 - 1) * 254 + (c3 - 1) + 16383);
        }
        if (c1 == 0 || c1 == 255 || value > kLargestEci) return fail(MessageFault::EciOutOfRange);
        info_.eci.push_back({value, symbol_.messageLength});
        return Mode::Ascii;
    }

    // 233, then the sequence indicator (position - 1 in the high four bits,
    // 17 - total in the low four) and the two file identifier codewords.
    Mode structuredAppend() {
        if (end_ - position_ < 3) {
            position_ = end_;
            return fail(MessageFault::CutShort);
        }
        const int sequence = next();
        const int fileId1 = next();
        const int fileId2 = next();
        const int position = (sequence >> 4) + 1;
        const int total = 17 - (sequence & 15);
        const auto validId = [](int id) { return id >= 1 && id <= 254; };
        if (total > 16 || position > total || !validId(fileId1) || !validId(fileId2)) {
            return fail(MessageFault::BadStructuredAppend);
        }
        info_.structuredAppend = StructuredAppendInfo{position, total, fileId1, fileId2};
        return Mode::Ascii;
    }

    // C40, Text and X12: three values per pair of codewords. Runs until the
    // mode ends; returns the mode that follows.
    Mode tripletMode(Mode mode) {
        int shift = 0;             // 0 basic, 1..3 the shift sets (C40 and Text)
        bool upperShift = false;   // add 128 to the next character written
        auto emit = [&](int byte) {
            if (upperShift) {
                byte += 128;
                upperShift = false;
            }
            write(byte % 256);
        };
        for (;;) {
            if (position_ >= end_) return Mode::Done;
            if (codewords_[position_] == kUnlatch) {
                ++position_;
                return Mode::Ascii;
            }
            // A single codeword left in the data is an ASCII codeword.
            if (position_ == end_ - 1) return Mode::Ascii;
            const int c1 = next();
            const int c2 = next();
            const int v = c1 * 256 + c2 - 1;
            if (v < 0) continue;  // the pair 0, 0 carries no values
            const int values[3] = {v / 1600, (v / 40) % 40, v % 40};
            for (const int value : values) {
                if (mode == Mode::X12) {
                    const int ch = x12Character(value);
                    if (options_.codewordNotes) {
                        const char echo = static_cast<char>(ch);
                        diagnostics().write(std::string_view(&echo, 1));
                    }
                    write(ch);
                } else {
                    decodeC40TextValue(mode == Mode::Text, value, shift, upperShift, emit);
                }
            }
        }
    }

    static int x12Character(int value) {
        switch (value) {
            case 0: return 13;
            case 1: return '*';
            case 2: return '>';
            case 3: return ' ';
            default: return value <= 13 ? value + 44 : value + 51;
        }
    }

    template <typename Emit>
    void decodeC40TextValue(bool text, int value, int& shift, bool& upperShift, Emit& emit) {
        const int set = shift;
        shift = 0;
        switch (set) {
            case 0:
                if (value <= 2) {
                    shift = value + 1;
                } else if (value == 3) {
                    emit(' ');
                } else if (value <= 13) {
                    emit(value + 44);
                } else {
                    emit(value + (text ? 83 : 51));
                }
                break;
            case 1:
                emit(value);
                break;
            case 2:
                if (value <= 14) {
                    emit(value + 33);
                } else if (value <= 21) {
                    emit(value + 43);
                } else if (value <= 26) {
                    emit(value + 69);
                } else if (value == 27) {
                    // A pending upper shift waits for the next character.
                    if (options_.codewordNotes) diagnostics().write("FNC1 (?)");
                    fnc1();
                } else if (value == 30) {
                    upperShift = true;
                }
                break;
            default:
                // Shift 3: lower case in C40, upper case in Text; 0 is the grave accent.
                emit(text && value >= 1 && value <= 26 ? value + 64 : value + 96);
                break;
        }
    }

    // Four 6-bit values in three codewords, each standing for ASCII 32..94
    // (values below 32 for 64 and above). The value 31 returns to ASCII at the
    // next codeword boundary. With fewer than three codewords left at the start
    // of a group, the encoder has left EDIFACT without the unlatch and they are
    // ASCII codewords.
    Mode edifactMode() {
        while (end_ - position_ >= 3) {
            const std::uint32_t bits = (std::uint32_t{codewords_[position_]} << 16) |
                                       (std::uint32_t{codewords_[position_ + 1]} << 8) | codewords_[position_ + 2];
            for (int i = 0; i < 4; ++i) {
                const int value = static_cast<int>((bits >> (18 - 6 * i)) & 63);
                if (value == kEdifactUnlatch) {
                    position_ += (6 * (i + 1) + 7) / 8;
                    return Mode::Ascii;
                }
                write(value < 32 ? value + 64 : value);
            }
            position_ += 3;
        }
        return Mode::Ascii;
    }

    // The 255-state un-randomising of the codeword at the read position.
    int unrandomisedNext() {
        const int streamPosition = position_ + 1;
        int value = next() - (149 * streamPosition) % 255 - 1;
        if (value < 0) value += 256;
        return value;
    }

    Mode base256Mode() {
        const int d1 = unrandomisedNext();
        int length = d1;
        if (d1 > 249) {
            if (position_ >= end_) return fail(MessageFault::CutShort);
            length = (d1 - 249) * 250 + unrandomisedNext();
        }
        if (length == 0) {
            while (position_ < end_) write(unrandomisedNext());
            return Mode::Done;
        }
        if (length > end_ - position_) {
            while (position_ < end_) write(unrandomisedNext());
            return fail(MessageFault::CutShort);
        }
        for (int i = 0; i < length; ++i) write(unrandomisedNext());
        return Mode::Ascii;
    }

    SymbolResult& symbol_;
    const MessageOptions& options_;
    const std::uint8_t* codewords_;
    std::int32_t position_ = 0;
    std::int32_t end_;
    std::int32_t start_;      // message length on entry
    bool fnc1Seen_ = false;
    MessageInfo info_;
};

}  // namespace

MessageInfo decodeCodewords(SymbolResult& symbol, const MessageOptions& options) {
    if (symbol.sizeIndex < 0 || symbol.sizeIndex >= kSymbolShapeCount || !symbol.codewords || !symbol.message) return {};
    if (symbol.codewordCount < kSymbolShapes[static_cast<std::size_t>(symbol.sizeIndex)].dataCodewords) return {};
    if (symbol.messageLength < 0 || symbol.messageLength > symbol.messageCapacity) return {};
    return CodewordDecoder(symbol, options).run();
}

}  // namespace ternwick
