// Symbols written by zint, an encoder no one here wrote (tests/data/zint,
// made by make_dumps.py there): every dump goes through placement, correction
// and message decoding, and the symbol writer must draw the same modules for
// the same codewords.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "core/diagnostics.h"
#include "message/codeword_decoder.h"
#include "support/symbol_records.h"
#include "support/symbol_writer.h"
#include "support/zint_dumps.h"

namespace ternwick {
namespace {

namespace fs = std::filesystem;
using testing::ModuleMatrix;
using testing::ZintDump;
using testing::allDumps;
using testing::fromHex;

std::string toHex(const std::uint8_t* bytes, std::size_t count) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (std::size_t i = 0; i < count; ++i) {
        out.push_back(kHex[bytes[i] >> 4]);
        out.push_back(kHex[bytes[i] & 15]);
    }
    return out;
}

std::string schemeOfFirstCodeword(std::uint8_t first) {
    switch (first) {
        case 230: return "c40";
        case 231: return "base256";
        case 235: return "uppershift";
        case 238: return "x12";
        case 239: return "text";
        case 240: return "edifact";
        default: return "ascii";
    }
}

// ASCII codewords decoded as a message of their own.
std::string decodeAsciiTail(const std::vector<std::uint8_t>& tail) {
    for (const SymbolSize& row : kSymbolSizes) {
        if (static_cast<std::size_t>(row.dataCodewords) < tail.size()) continue;
        SymbolResult symbol = testing::prepareSymbol(row.symbolSize);
        testing::loadCodewords(symbol, testing::addCheckCodewords(testing::padData(tail, row.symbolSize), row.symbolSize));
        decodeCodewords(symbol);
        return testing::messageOf(symbol);
    }
    return {};
}

// The text an EDIFACT stream carries: groups of four 6-bit values in three
// codewords, 31 = back to ASCII at the next codeword, values below 32 stand
// for 64 and above. Fewer than three codewords left at a group's start are
// ASCII without the unlatch.
std::string unpackEdifact(const std::vector<std::uint8_t>& data) {
    std::string text;
    std::size_t bit = 8;  // after the latch codeword
    const std::size_t end = data.size() * 8;
    while (bit + 6 <= end) {
        if (bit % 24 == 8 && end - bit < 24) {
            return text + decodeAsciiTail({data.begin() + static_cast<std::ptrdiff_t>(bit / 8), data.end()});
        }
        int value = 0;
        for (int k = 0; k < 6; ++k, ++bit) value = value * 2 + ((data[bit / 8] >> (7 - bit % 8)) & 1);
        if (value == 31) {
            const std::size_t next = (bit + 7) / 8;
            return text + decodeAsciiTail({data.begin() + static_cast<std::ptrdiff_t>(next), data.end()});
        }
        text.push_back(static_cast<char>(value < 32 ? value + 64 : value));
    }
    return text;
}

TEST(ZintDumps, CoverEverySizeAndScheme) {
    const std::vector<ZintDump> dumps = allDumps();
    std::set<int> sizes;
    std::map<std::string, int> schemes;
    for (const ZintDump& d : dumps) {
        sizes.insert(d.size);
        ++schemes[d.scheme];
    }
    EXPECT_EQ(sizes.size(), static_cast<std::size_t>(kSymbolSizeCount));
    for (const char* scheme : {"ascii", "c40", "text", "x12", "edifact", "base256", "uppershift"}) {
        EXPECT_GT(schemes[scheme], 0) << scheme;
    }
}

TEST(ZintDumps, DecodeToTheirMessagesAndAgreeWithTheWriter) {
    int asciiStreamsCompared = 0;
    for (const ZintDump& d : allDumps()) {
        SCOPED_TRACE(d.name);
        ASSERT_EQ(d.modules.size(), static_cast<std::size_t>(d.size));
        const ModuleMatrix mapping = testing::mappingFromSymbol(d.size, d.modules);
        // Finder, clock and alignment patterns as the writer draws them.
        EXPECT_EQ(testing::symbolFromMapping(d.size, mapping), d.modules);

        CapturingDiagnosticSink sink;  // keeps the X12 echo off the test output
        ScopedDiagnosticSink scope(sink);
        const testing::CodewordLayerResult result = testing::decodeMapping(d.size, mapping);
        ASSERT_EQ(result.corrected, 1);
        EXPECT_EQ(result.codewords, result.placed);  // nothing to correct
        EXPECT_EQ(schemeOfFirstCodeword(result.placed[0]), d.scheme);

        // The writer places the same codewords into the same modules.
        EXPECT_EQ(testing::symbolModules(d.size, result.placed), d.modules);

        const SymbolSize& row = kSymbolSizes[static_cast<std::size_t>(findSizeIndex(d.size))];
        const std::vector<std::uint8_t> data(result.placed.begin(), result.placed.begin() + row.dataCodewords);
        if (d.scheme == "edifact") {
            EXPECT_EQ(result.message, toHex(data.data() + 1, data.size() - 1));
            EXPECT_EQ(unpackEdifact(data), d.message);
        } else {
            EXPECT_EQ(result.message, d.message);
        }

        // A stream zint wrote in ASCII alone (no latch before the first pad)
        // is what the writer's ASCII encoder and pads make of the message.
        const auto firstPad = std::find(data.begin(), data.end(), 129);
        const bool asciiOnly = std::none_of(data.begin(), firstPad, [](std::uint8_t c) {
            return c == 230 || c == 231 || (c >= 238 && c <= 240);
        });
        if (asciiOnly) {
            EXPECT_EQ(testing::addCheckCodewords(testing::encodeAscii(d.message, d.size), d.size), result.placed);
            ++asciiStreamsCompared;
        }
    }
    EXPECT_GE(asciiStreamsCompared, 10);
}

}  // namespace
}  // namespace ternwick
