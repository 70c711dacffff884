#include "message/codeword_decoder.h"

#include <string>

#include "core/diagnostics.h"
#include "core/hex_text.h"

namespace ternwick {
namespace {

enum class Mode { Ascii, C40, Text, X12, Edifact, Base256, Done };

constexpr std::uint8_t kPad = 129;
constexpr std::uint8_t kUpperShift = 235;
constexpr std::uint8_t kUnlatch = 254;

class CodewordDecoder {
public:
    explicit CodewordDecoder(SymbolResult& symbol)
        : symbol_(symbol),
          codewords_(symbol.codewords.get()),
          end_(kSymbolShapes[static_cast<std::size_t>(symbol.sizeIndex)].dataCodewords) {}

    void run() {
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
    }

private:
    // Appends one byte unless the message buffer is full.
    void write(int byte) {
        if (symbol_.messageLength >= 0 && symbol_.messageLength < symbol_.messageCapacity) {
            symbol_.message[static_cast<std::size_t>(symbol_.messageLength++)] = static_cast<std::uint8_t>(byte);
        }
    }

    std::uint8_t next() { return codewords_[static_cast<std::size_t>(position_++)]; }

    Mode asciiStep() {
        const std::uint8_t cw = next();
        if (cw <= 128) {
            write((cw + 255) % 256);
        } else if (cw == kPad) {
            return Mode::Done;
        } else if (cw <= 229) {
            const int n = cw - 130;
            write('0' + n / 10);
            write('0' + n % 10);
        } else if (cw == kUpperShift) {
            // The next codeword is an ASCII value with 128 added.
            if (position_ < end_) write((next() - 1 + 128) % 256);
        } else {
            switch (cw) {
                case 230: return Mode::C40;
                case 231: return Mode::Base256;
                case 238: return Mode::X12;
                case 239: return Mode::Text;
                case 240: return Mode::Edifact;
                default: break;  // FNC1, structured append, reader programming, macros, ECI: no output
            }
        }
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
                    diagnostics().write(std::string(1, static_cast<char>(ch)));
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
    static void decodeC40TextValue(bool text, int value, int& shift, bool& upperShift, Emit& emit) {
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
                    diagnostics().write("FNC1 (?)");
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

    Mode edifactMode() {
        while (position_ < end_) {
            const std::uint8_t cw = next();
            write(hexDigit(cw >> 4));
            write(hexDigit(cw & 15));
        }
        return Mode::Done;
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
            if (position_ >= end_) return Mode::Done;
            length = (d1 - 249) * 250 + unrandomisedNext();
        }
        if (length == 0) {
            while (position_ < end_) write(unrandomisedNext());
            return Mode::Done;
        }
        for (int i = 0; i < length && position_ < end_; ++i) write(unrandomisedNext());
        return Mode::Ascii;
    }

    SymbolResult& symbol_;
    const std::uint8_t* codewords_;
    std::int32_t position_ = 0;
    std::int32_t end_;
};

}  // namespace

void decodeCodewords(SymbolResult& symbol) {
    if (symbol.sizeIndex < 0 || symbol.sizeIndex >= kSymbolShapeCount || !symbol.codewords || !symbol.message) return;
    if (symbol.codewordCount < kSymbolShapes[static_cast<std::size_t>(symbol.sizeIndex)].dataCodewords) return;
    CodewordDecoder(symbol).run();
}

}  // namespace ternwick
