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
    MessageInfo info;
};

// Decodes data codewords in a symbol of the given size (0: chosen by sizeFor)
// whose check codewords are real, so that reading past the data would show.
Decoded decode(const Codewords& data, int symbolSize = 0, bool notes = false) {
    const int size = symbolSize != 0 ? symbolSize : sizeFor(data.size());
    SymbolResult symbol = testing::prepareSymbol(size);
    testing::loadCodewords(symbol, testing::addCheckCodewords(testing::padData(data, size), size));
    CapturingDiagnosticSink sink;
    ScopedDiagnosticSink scope(sink);
    MessageInfo info = decodeCodewords(symbol, MessageOptions{notes});
    return {testing::messageOf(symbol), sink.output, std::move(info)};
}

Decoded decodeWithNotes(const Codewords& data) { return decode(data, 0, true); }

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
    // 242..255: no output.
    EXPECT_EQ(decode({66, 242, 253, 254, 255, 67}).message, "AB");
    EXPECT_EQ(decode({129, 66, 67}).message, "");
}

TEST(AsciiMode, UpperShiftAddsOneTwentyEightToTheNextCodeword) {
    // 235 then c: (c - 1 + 128) mod 256, also as the very first codeword.
    EXPECT_EQ(decode({235, 106, 66, 235, 68}).message, "\xE9" "A\xC3");
    EXPECT_EQ(decode({66, 235, 230, 66}).message, "AeA");  // a latch value after the shift is data
    EXPECT_EQ(decode({235, 129, 66}).message, std::string("\0A", 2));  // so is the pad value
    const Decoded cut = decode({66, 66, 235});  // nothing left to shift
    EXPECT_EQ(cut.message, "AA");
    EXPECT_EQ(cut.info.fault, MessageFault::CutShort);
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
    // An FNC1 keeps the shift pending; here it opens the message, so it marks GS1.
    const Decoded d = decodeWithNotes(join({{230}, pair(1, 30, 1), pair(27, 14, 3)}));
    EXPECT_EQ(d.message, "\xC1 ");
    EXPECT_EQ(d.printed, "FNC1 (?)");
    EXPECT_TRUE(d.info.gs1);
    EXPECT_EQ(decode(join({{230}, pair(14, 15, 1), pair(30, 1, 27), pair(14, 3, 3)})).message, "AB\x1D\xC1  ");
}

TEST(TextMode, LowerCaseBasicSetUpperCaseShiftThree) {
    EXPECT_EQ(decode(join({{239}, pair(14, 39, 3), pair(2, 1, 2), pair(0, 2, 26)})).message, "az A`Z");
    EXPECT_EQ(decode(join({{239}, pair(2, 27, 1), pair(30, 2, 1)})).message, "{\xC1");
    const Decoded fnc1 = decodeWithNotes(join({{239}, pair(1, 27, 14), Codewords{254, 66}}));
    EXPECT_EQ(fnc1.message, "aA");
    EXPECT_EQ(fnc1.printed, "FNC1 (?)");
    EXPECT_EQ(decode(join({{239}, pair(1, 27, 14), Codewords{254, 66}})).printed, "");  // notes only when asked
}

TEST(X12Mode, CharactersAreWrittenAndEchoedWhenAsked) {
    const Codewords data = join({{238}, pair(0, 1, 2), pair(3, 4, 39), Codewords{254, 66}});
    const Decoded d = decodeWithNotes(data);
    EXPECT_EQ(d.message, "\r*> 0ZA");
    EXPECT_EQ(d.printed, "\r*> 0Z");
    EXPECT_EQ(decode(data).printed, "");
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

// EDIFACT codewords for 6-bit values, four to three codewords, the last one
// filled with zero bits.
Codewords edifact(std::initializer_list<int> values) {
    Codewords out;
    std::uint32_t bits = 0;
    int count = 0;
    for (const int v : values) {
        bits = (bits << 6) | static_cast<std::uint32_t>(v);
        count += 6;
        while (count >= 8) out.push_back(static_cast<std::uint8_t>(bits >> (count -= 8)));
    }
    if (count > 0) out.push_back(static_cast<std::uint8_t>(bits << (8 - count)));
    return out;
}

TEST(EdifactMode, FourValuesPerThreeCodewordsAndTheWaysBackToAscii) {
    // Values 32..63 stand for themselves, 0..30 for 64..94; 31 unlatches at
    // the next codeword boundary, after one, two or three codewords.
    const Codewords abc = edifact({1, 2, 3, 32});
    EXPECT_EQ(decode(join({{240}, abc, edifact({0, 30, 63, 31}), {66}})).message, "ABC @^?A");
    EXPECT_EQ(decode(join({{240}, edifact({31}), {66, 67}})).message, "AB");
    EXPECT_EQ(decode(join({{240}, edifact({'1', 31}), {66, 67, 68}})).message, "1ABC");
    EXPECT_EQ(decode(join({{240}, edifact({'1', '2', 31}), {66, 67, 68}})).message, "12ABC");
    // One or two codewords left at the start of a group are ASCII, unlatched or not.
    EXPECT_EQ(decode(join({{240}, abc, {67}}), 12).message, "ABC B");
    EXPECT_EQ(decode(join({{66, 66, 240}, abc, {142, 67}}), 14).message, "AAABC 12B");
    // Full groups up to the end of the data.
    EXPECT_EQ(decode(join({{66, 66, 240}, abc, abc, abc}), 16).message, "AAABC ABC ABC ");
}

TEST(Base256Mode, LengthFieldsAndUnrandomising) {
    // Length 3 at position 2, then bytes at 3..5, then ASCII.
    Codewords data{231, randomised(3, 2), randomised(0, 3), randomised(0xFF, 4), randomised('x', 5), 66};
    EXPECT_EQ(decode(data).message, std::string("\0\xFFx", 3) + "A");
    // Length 0: everything to the end of the data.
    Codewords toEnd{231, randomised(0, 2)};
    for (int k = 3; k <= 8; ++k) toEnd.push_back(randomised(k, k));
    EXPECT_EQ(decode(toEnd, 14).message, std::string("\3\4\5\6\7\x08", 6));
    // A length running past the data stops at its end, flagged; so does a
    // latch or a two-codeword length with the data ending inside it.
    const Decoded cut = decode({231, randomised(9, 2), randomised('a', 3)}, 10);
    EXPECT_EQ(cut.message, "a");
    EXPECT_EQ(cut.info.fault, MessageFault::CutShort);
    EXPECT_EQ(decode({66, 66, 231}, 10).info.fault, MessageFault::CutShort);
    EXPECT_EQ(decode({66, 231, randomised(250, 3)}, 10).info.fault, MessageFault::CutShort);
    EXPECT_EQ(decode(toEnd, 14).info.fault, MessageFault::None);
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

struct MetadataCase {
    const char* what;
    Codewords data;  // in the smallest size that holds them exactly, if any
    std::string message;
    std::string summary;
};

TEST(MessageMetadata, HeadersFnc1AndEciAsTheStandardDefinesThem) {
    const std::string cut = " fault: " + std::string(messageFaultText(MessageFault::CutShort));
    const std::string badEci = " fault: " + std::string(messageFaultText(MessageFault::EciOutOfRange));
    const std::string badSa = " fault: " + std::string(messageFaultText(MessageFault::BadStructuredAppend));
    const std::string misplaced = " fault: " + std::string(messageFaultText(MessageFault::MisplacedCodeword));
    const MetadataCase cases[] = {
        {"plain", {66, 67}, "AB", "]d1"},
        {"FNC1 first: GS1, later ones separate fields", {232, 131, 140, 66, 232, 151, 67}, "0110A\x1D" "21B", "]d2"},
        {"FNC1 after a letter: AIM", {66, 232, 67}, "AB", "]d3"},
        {"FNC1 after a digit pair: AIM", {142, 232, 67, 232, 68}, "12B\x1D" "C", "]d3"},
        {"FNC1 after two characters", {66, 67, 232, 68}, "AB\x1D" "C", "]d1"},
        {"FNC1 in C40 after data", join({{230}, pair(14, 15, 1), pair(27, 16, 3)}), "AB\x1D" "C ", "]d1"},
        {"FNC1 in Text first", join({{239}, pair(1, 27, 14), {254, 142}}), "a12", "]d2"},
        {"ECI in one, two and three codewords", {241, 4, 66, 241, 131, 12, 67, 241, 207, 63, 129, 68},
         "ABC", "]d4 eci 3@0 eci 900@1 eci 999999@2"},
        {"ECI 127 and 16383, the first of their lengths", {241, 128, 1, 241, 192, 1, 1, 66}, "A",
         "]d4 eci 127@0 eci 16383@0"},
        {"GS1 with ECI", {232, 241, 27, 131, 140}, "0110", "]d5 eci 26@0"},
        {"AIM with ECI", {66, 232, 241, 27, 67}, "AB", "]d6 eci 26@1"},
        {"structured append", {233, 26, 1, 234, 66}, "A", "]d1 sa 2/7 1,234"},
        {"structured append, then GS1", {233, 15, 254, 1, 232, 131, 140, 66}, "0110A", "]d2 sa 1/2 254,1"},
        {"reader programming", {234, 66, 67}, "AB", "]d1 programming"},
        {"macro 05", {236, 66}, "[)>\x1E" "05\x1D" "A\x1E\x04", "]d1 macro 5"},
        {"macro 06 with FNC1 and ECI", {237, 241, 4, 232, 66}, "[)>\x1E" "06\x1D\x1D" "A\x1E\x04",
         "]d4 eci 3@7 macro 6"},
        // Streams that break off or break the rules: the message so far and the fault.
        {"data ends after 241", {66, 66, 241}, "AA", "]d1" + cut},
        {"data ends inside a two-codeword ECI", {66, 66, 66, 241, 131}, "AAA", "]d1" + cut},
        {"data ends inside a three-codeword ECI", {66, 66, 66, 66, 66, 241, 207, 63}, "AAAAA", "]d1" + cut},
        {"ECI above 999999", {66, 241, 254, 254, 254, 67}, "A", "]d1" + badEci},
        {"ECI value codeword 0", {66, 241, 0, 67}, "A", "]d1" + badEci},
        {"ECI continuation codeword 0", {66, 241, 131, 0, 67}, "A", "]d1" + badEci},
        {"data ends inside a structured append header", {233, 26, 1}, "", "]d1" + cut},
        {"structured append total above 16", {233, 0x10, 1, 1, 66}, "", "]d1" + badSa},
        {"structured append position past the total", {233, 0x2F, 1, 1, 66}, "", "]d1" + badSa},
        {"structured append file identifier 255", {233, 0x1E, 255, 1, 66}, "", "]d1" + badSa},
        {"structured append after data", {66, 233, 26, 1, 1}, "A", "]d1" + misplaced},
        {"reader programming after structured append", {233, 26, 1, 1, 234, 66}, "",
         "]d1 sa 2/7 1,1" + misplaced},
        {"structured append, then a macro", {233, 26, 1, 1, 236, 66}, "[)>\x1E" "05\x1D" "A\x1E\x04",
         "]d1 sa 2/7 1,1 macro 5"},
        {"a second macro", {236, 66, 237, 67}, "[)>\x1E" "05\x1D" "A", "]d1 macro 5" + misplaced},
    };
    for (const MetadataCase& c : cases) {
        const Decoded d = decode(c.data);
        EXPECT_EQ(d.message, c.message) << c.what;
        EXPECT_EQ(testing::metadataSummary(d.info), c.summary) << c.what;
    }
}

TEST(DecodeCodewords, AppendsAfterExistingBytesAndStaysInsideTheBuffer) {
    SymbolResult symbol = testing::prepareSymbol(14);
    testing::loadCodewords(symbol, testing::addCheckCodewords(testing::padData({236, 232, 66, 241, 4, 67}, 14), 14));
    symbol.message[0] = 'x';
    symbol.messageLength = 1;
    const MessageInfo info = decodeCodewords(symbol);
    EXPECT_EQ(testing::messageOf(symbol), "x[)>\x1E" "05\x1D" "\x1D" "AB\x1E\x04");
    ASSERT_EQ(info.eci.size(), 1u);
    EXPECT_EQ(info.eci[0].position, 10);  // an index into the whole buffer
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
