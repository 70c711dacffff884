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
#include "message/gs1_element_strings.h"
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
        EXPECT_EQ(result.message, d.message);
        EXPECT_EQ(testing::metadataSummary(result.info), d.metadata.empty() ? "]d1" : d.metadata);
        EXPECT_EQ(result.info.gs1 ? gs1HumanReadable(result.message) : "", d.hri);

        // A stream zint wrote in ASCII data alone (no latch, FNC1, header or
        // ECI before the first pad) is what the writer's ASCII encoder and
        // pads make of the message.
        const auto firstPad = std::find(data.begin(), data.end(), 129);
        const bool asciiOnly = std::none_of(data.begin(), firstPad, [](std::uint8_t c) {
            return c >= 230 && c <= 241 && c != 235;
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
