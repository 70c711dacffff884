#include "message/codeword_decoder.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>

#include "core/diagnostics.h"
#include "support/symbol_records.h"
#include "support/symbol_writer.h"

namespace ternwick {
namespace {

using Codewords = std::vector<std::uint8_t>;

// The smallest size whose data capacity equals the data exactly, or else the
// smallest that holds it (the rest padded with 129).
int sizeFor(std::size_t dataCount) {
    for (const SymbolSize& row : kSymbolSizes) {
        if (static_cast<std::size_t>(row.dataCodewords) == dataCount) return row.symbolSize;
    }
    for (const SymbolSize& row : kSymbolSizes) {
        if (static_cast<std::size_t>(row.dataCodewords) >= dataCount) return row.symbolSize;
    }
    return 0;
}

struct Decoded {
    std::string message;
    std::string printed;  // what went to the diagnostics sink
};

// Decodes data codewords in a symbol of the given size (0: chosen by sizeFor)
// whose check codewords are real, so that reading past the data would show.
Decoded decode(const Codewords& data, int symbolSize = 0) {
    const int size = symbolSize != 0 ? symbolSize : sizeFor(data.size());
    SymbolResult symbol = testing::prepareSymbol(size);
    testing::loadCodewords(symbol, testing::addCheckCodewords(testing::padData(data, size), size));
    CapturingDiagnosticSink sink;
    ScopedDiagnosticSink scope(sink);
    decodeCodewords(symbol);
    return {testing::messageOf(symbol), sink.output};
}

// C40/Text/X12 pair carrying three values.
Codewords pair(int a, int b, int c) {
    const int v = 1600 * a + 40 * b + c + 1;
    return {static_cast<std::uint8_t>(v / 256), static_cast<std::uint8_t>(v % 256)};
}

Codewords join(std::initializer_list<Codewords> parts) {
    Codewords out;
    for (const Codewords& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

// Base256 codeword for a byte at 1-based stream position k (255-state randomising).
std::uint8_t randomised(int value, int k) {
    return static_cast<std::uint8_t>((value + (149 * k) % 255 + 1) % 256);
}

TEST(AsciiMode, CharactersDigitPairsPadAndIgnoredCodewords) {
    EXPECT_EQ(decode({66, 67, 68, 129, 66, 66}).message, "ABC");
    EXPECT_EQ(decode({142, 130, 229}).message, "120099");
    EXPECT_EQ(decode({1, 128, 0}).message, std::string("\0\x7F\xFF", 3));
    // FNC1, structured append, reader programming, macros, ECI, 241..255: no output.
    EXPECT_EQ(decode({66, 232, 233, 234, 236, 237, 241, 242, 254, 255, 67}).message, "AB");
    EXPECT_EQ(decode({129, 66, 67}).message, "");
}

TEST(AsciiMode, UpperShiftAddsOneTwentyEightToTheNextCodeword) {
    // 235 then c: (c - 1 + 128) mod 256, also as the very first codeword.
    EXPECT_EQ(decode({235, 106, 66, 235, 68}).message, "\xE9" "A\xC3");
    EXPECT_EQ(decode({66, 235, 230, 66}).message, "AeA");  // a latch value after the shift is data
    EXPECT_EQ(decode({235, 129, 66}).message, std::string("\0A", 2));  // so is the pad value
    EXPECT_EQ(decode({66, 66, 235}).message, "AA");  // nothing left to shift
}

TEST(C40Mode, BasicAndShiftedSetsAcrossPairBoundaries) {
    // "AB1" then " Z9".
    EXPECT_EQ(decode(join({{230}, pair(14, 15, 5), pair(3, 39, 13)})).message, "AB1 Z9");
    // Shift 2 as the last value of a pair applies to the first of the next.
    EXPECT_EQ(decode(join({{230}, pair(14, 15, 1), pair(0, 14, 2), pair(26, 3, 3)})).message, "AB!Az  ");
    // Shift 1: control bytes; shift 2 punctuation; shift 3 lower case, 0 the grave accent.
    EXPECT_EQ(decode(join({{230}, pair(0, 9, 1), pair(15, 1, 22), pair(2, 0, 2), pair(31, 2, 1), {254}})).message,
              std::string("\t:[`\x7F") + "a");
    // Values past the sets: 40 (pairs from 64000 on) reads as value + 51 in the basic set.
    EXPECT_EQ(decode(join({{230}, Codewords{250, 135}, Codewords{254}})).message, "[ A");
}

TEST(C40Mode, UpperShiftAppliesToTheNextCharacterWhateverItsSet) {
    // Shift 2 value 30, then a basic "A" and a shift-3 "a" after another upper shift.
    EXPECT_EQ(decode(join({{230}, pair(1, 30, 14), pair(1, 30, 2), pair(1, 3, 3)})).message, "\xC1\xE1  ");
    const Decoded d = decode(join({{230}, pair(1, 30, 1), pair(27, 14, 3)}));
    EXPECT_EQ(d.message, "\xC1 ");  // FNC1 writes nothing and keeps the shift pending
    EXPECT_EQ(d.printed, "FNC1 (?)");
}

TEST(TextMode, LowerCaseBasicSetUpperCaseShiftThree) {
    EXPECT_EQ(decode(join({{239}, pair(14, 39, 3), pair(2, 1, 2), pair(0, 2, 26)})).message, "az A`Z");
    EXPECT_EQ(decode(join({{239}, pair(2, 27, 1), pair(30, 2, 1)})).message, "{\xC1");
    const Decoded fnc1 = decode(join({{239}, pair(1, 27, 14), Codewords{254, 66}}));
    EXPECT_EQ(fnc1.message, "aA");
    EXPECT_EQ(fnc1.printed, "FNC1 (?)");
}

TEST(X12Mode, CharactersAreWrittenAndEchoed) {
    const Decoded d = decode(join({{238}, pair(0, 1, 2), pair(3, 4, 39), Codewords{254, 66}}));
    EXPECT_EQ(d.message, "\r*> 0ZA");
    EXPECT_EQ(d.printed, "\r*> 0Z");
}

TEST(TripletModes, EndUnlatchAndTheLoneLastCodeword) {
    // A pair ending exactly at the end of the data: all three values, then stop.
    EXPECT_EQ(decode(join({{230}, pair(14, 15, 16)}), 10).message, "ABC");
    // 254 returns to ASCII after the last pair.
    EXPECT_EQ(decode(join({{239}, pair(14, 15, 16), Codewords{254, 142, 66}})).message, "abc12A");
    // One data codeword left over in C40, Text or X12 is an ASCII codeword;
    // the first check codeword is never read as data.
    for (const std::uint8_t latch : {230, 239, 238}) {
        const Codewords data = join({{latch}, pair(14, 15, 16), pair(14, 15, 16), pair(14, 15, 16), {91}});
        ASSERT_EQ(sizeFor(data.size()), 14);
        const std::string expected = latch == 239 ? "abcabcabcZ" : "ABCABCABCZ";
        EXPECT_EQ(decode(data).message, expected) << int{latch};
    }
    EXPECT_EQ(decode(join({{230}, pair(14, 15, 16), pair(14, 15, 16), pair(14, 15, 16), {142}})).message, "ABCABCABC12");
    EXPECT_EQ(decode(join({{230}, pair(14, 15, 16), pair(14, 15, 16), pair(14, 15, 16), {235}})).message, "ABCABCABC");
    // The pair 0, 0 carries no values.
    EXPECT_EQ(decode(join({{230}, Codewords{0, 0}, pair(14, 15, 16)}), 12).message, "ABC");
}

TEST(EdifactMode, RemainingCodewordsAsHexadecimal) {
    EXPECT_EQ(decode({240, 255, 0, 129, 0x3C}).message, "FF00813C");
    EXPECT_EQ(decode({66, 240, 10}).message, "A0A");
}

TEST(Base256Mode, LengthFieldsAndUnrandomising) {
    // Length 3 at position 2, then bytes at 3..5, then ASCII.
    Codewords data{231, randomised(3, 2), randomised(0, 3), randomised(0xFF, 4), randomised('x', 5), 66};
    EXPECT_EQ(decode(data).message, std::string("\0\xFFx", 3) + "A");
    // Length 0: everything to the end of the data.
    Codewords toEnd{231, randomised(0, 2)};
    for (int k = 3; k <= 8; ++k) toEnd.push_back(randomised(k, k));
    EXPECT_EQ(decode(toEnd, 14).message, std::string("\3\4\5\6\7\x08", 6));
    // A length running past the data stops at its end.
    EXPECT_EQ(decode({231, randomised(9, 2), randomised('a', 3)}, 10).message, "a");
    // Two-byte length: 300 = (250 - 249) * 250 + 50.
    Codewords longField{231, randomised(250, 2), randomised(50, 3)};
    std::string expected;
    for (int i = 0; i < 300; ++i) {
        longField.push_back(randomised(i % 256, static_cast<int>(longField.size()) + 1));
        expected.push_back(static_cast<char>(i % 256));
    }
    longField.push_back(67);
    EXPECT_EQ(decode(longField).message, expected + "B");
}

TEST(DecodeCodewords, AppendsAfterExistingBytesAndStaysInsideTheBuffer) {
    SymbolResult symbol = testing::prepareSymbol(14);
    testing::loadCodewords(symbol, testing::addCheckCodewords(testing::padData({240, 1, 2, 3, 4, 5, 6, 7}, 14), 14));
    symbol.message[0] = 'x';
    symbol.messageLength = 1;
    decodeCodewords(symbol);
    EXPECT_EQ(testing::messageOf(symbol), "x01020304050607");
    symbol.messageLength = symbol.messageCapacity - 3;
    decodeCodewords(symbol);
    EXPECT_EQ(symbol.messageLength, symbol.messageCapacity);
    symbol.messageLength = -4;
    decodeCodewords(symbol);  // a corrupt length writes nothing
    EXPECT_EQ(symbol.messageLength, -4);

    SymbolResult noSize = testing::prepareSymbol(10);
    noSize.sizeIndex = -1;
    decodeCodewords(noSize);
    EXPECT_EQ(noSize.messageLength, 0);
    SymbolResult empty;
    decodeCodewords(empty);
}

}  // namespace
}  // namespace ternwick
