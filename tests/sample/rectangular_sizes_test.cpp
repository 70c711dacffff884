// The rectangular and DMRE sizes: the table, symbols written by zint read
// through placement and correction, and the same symbols drawn and read
// through the public API at several rotations, in both polarities and
// mirrored.
#include <gtest/gtest.h>

#include <set>

#include "core/diagnostics.h"
#include "ecc/reed_solomon.h"
#include "message/codeword_decoder.h"
#include "sample/placement.h"
#include "support/symbol_records.h"
#include "support/symbol_writer.h"
#include "support/zint_dumps.h"
#include "ternwick/ternwick.h"

namespace ternwick {
namespace {

using testing::ModuleMatrix;
using testing::ZintDump;

int shapeIndexOf(const ZintDump& d) { return findShapeIndex(d.size, d.columns); }

// The mirror image of a whole symbol, left and right swapped.
ModuleMatrix mirrored(ModuleMatrix modules) {
    for (auto& row : modules) std::reverse(row.begin(), row.end());
    return modules;
}

// A rectangle at the bottom left of a light square, for the square renderer.
ModuleMatrix onSquare(const ModuleMatrix& modules) {
    const std::size_t side = std::max(modules.size(), modules[0].size());
    ModuleMatrix square(side, std::vector<bool>(side, false));
    for (std::size_t r = 0; r < modules.size(); ++r) {
        std::copy(modules[r].begin(), modules[r].end(), square[side - modules.size() + r].begin());
    }
    return square;
}

// Placement, correction and message of a record filled from a mapping matrix.
std::string decodeRecord(SymbolResult& symbol) {
    placeCodewords(symbol);
    if (correctSymbol(symbol) != 1) return "(uncorrectable)";
    decodeCodewords(symbol);
    return testing::messageOf(symbol);
}

TEST(RectangularSizes, TableRowsFillTheirSymbols) {
    std::set<std::pair<int, int>> seen;
    for (int index = kFirstRectangularIndex; index < kSymbolShapeCount; ++index) {
        const SymbolShape& s = kSymbolShapes[static_cast<std::size_t>(index)];
        EXPECT_LT(s.rows, s.columns);
        EXPECT_EQ(s.rows % (s.regionRows + 2), 0) << s.rows << "x" << s.columns;
        EXPECT_EQ(s.columns % (s.regionColumns + 2), 0) << s.rows << "x" << s.columns;
        const int mapping = (s.rows - 2 - alignmentRows(s)) * (s.columns - 2 - alignmentColumns(s));
        EXPECT_EQ(mapping / 8, s.dataCodewords + s.eccCodewords) << s.rows << "x" << s.columns;
        EXPECT_EQ(findShapeIndex(s.rows, s.columns), index);
        seen.insert({s.rows, s.columns});
    }
    EXPECT_EQ(seen.size(), 24u);
    EXPECT_EQ(findShapeIndex(18, 8), -1);
}

TEST(RectangularSizes, ZintSymbolsOfEverySizeDecodeAlsoFromTheirMirrorImage) {
    CapturingDiagnosticSink sink;
    ScopedDiagnosticSink scope(sink);
    std::set<int> sizes;
    for (const ZintDump& d : testing::allDumps("zint-rect")) {
        SCOPED_TRACE(d.name);
        const int index = shapeIndexOf(d);
        ASSERT_GE(index, kFirstRectangularIndex);
        sizes.insert(index);
        SymbolResult symbol = testing::prepareShape(index);
        testing::loadMapping(symbol, testing::mappingOfShape(index, d.modules));
        EXPECT_EQ(decodeRecord(symbol), d.message);
        for (int i = 0; i < symbol.moduleCount; ++i) {
            EXPECT_NE(symbol.modules[static_cast<std::size_t>(i)] & ModuleVisited, 0) << "module " << i;
        }

        // The mirror image as the size search samples it: rows along X.
        SymbolResult turned = testing::prepareShape(index);
        const ModuleMatrix mapping = testing::mappingOfShape(index, d.modules);
        std::swap(turned.mappingRows, turned.mappingCols);
        for (int r = 0; r < turned.mappingRows; ++r) {
            for (int c = 0; c < turned.mappingCols; ++c) {
                // Sampled row r from the top is the symbol's column from the
                // right; sampled column c its row from the bottom.
                const bool dark = mapping[mapping.size() - 1 - c][mapping[0].size() - 1 - r];
                turned.modules[static_cast<std::size_t>(r * turned.mappingCols + c)] =
                    static_cast<std::uint8_t>(ModuleSampled | (dark ? 0 : ModuleBackground));
            }
        }
        ASSERT_TRUE(turnOverModules(turned));
        EXPECT_EQ(decodeRecord(turned), d.message);
    }
    EXPECT_EQ(sizes.size(), 24u);
}

TEST(RectangularSizes, DrawnSymbolsReadAtEveryRotationAndPolarity) {
    // Every size at four right angles and at 30 degrees, dark on light and
    // light on dark, the last one mirrored. What is read must be right; a
    // few pictures of the longest sizes may go unread.
    int tried = 0;
    int read = 0;
    for (const ZintDump& d : testing::allDumps("zint-rect")) {
        if (d.scheme != "ascii") continue;
        int readOfSize = 0;
        for (const double rotation : {0.0, 90.0, 180.0, 270.0, 30.0}) {
            for (const bool lightOnDark : {false, true}) {
                SCOPED_TRACE(d.name + " at " + std::to_string(rotation) + (lightOnDark ? " light" : " dark"));
                testing::RenderOptions options;
                options.moduleSize = d.columns > 64 ? 3.0 : 4.0;
                options.rotationDegrees = rotation;
                options.lightOnDark = lightOnDark;
                options.quietZone = 4.0;
                options.supersampling = 2;
                const bool mirror = rotation == 30.0 && lightOnDark;
                const auto rendered = testing::renderSymbol(onSquare(mirror ? mirrored(d.modules) : d.modules), options);
                Picture picture;
                picture.width = rendered.image.width;
                picture.height = rendered.image.height;
                for (int y = picture.height - 1; y >= 0; --y) {
                    for (int x = 0; x < picture.width; ++x) picture.grey.push_back(greyAt(rendered.image, x, y));
                }
                const ReadResult result = readSymbols(picture.view());
                ++tried;
                if (result.symbols.empty()) continue;
                ++read;
                ++readOfSize;
                const Symbol& symbol = result.symbols[0];
                EXPECT_EQ(std::string(symbol.bytes.begin(), symbol.bytes.end()), d.message);
                EXPECT_EQ(symbol.rows, d.size);
                EXPECT_EQ(symbol.columns, d.columns);
                EXPECT_EQ(symbol.mirrored, mirror);
            }
        }
        EXPECT_GE(readOfSize, 7) << d.name;
    }
    EXPECT_EQ(tried, 240);
    EXPECT_GE(read, 228);
}

}  // namespace
}  // namespace ternwick
