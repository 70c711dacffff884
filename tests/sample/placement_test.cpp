#include "sample/placement.h"

#include <gtest/gtest.h>

#include <random>
#include <set>

#include "support/symbol_records.h"
#include "support/symbol_writer.h"

namespace ternwick {
namespace {

using testing::ModuleMatrix;

std::vector<std::uint8_t> randomStream(int size, std::mt19937& random) {
    const SymbolSize& row = kSymbolSizes[static_cast<std::size_t>(findSizeIndex(size))];
    std::vector<std::uint8_t> stream(static_cast<std::size_t>(row.dataCodewords + row.eccCodewords));
    for (auto& c : stream) c = static_cast<std::uint8_t>(random() & 0xFF);
    return stream;
}

TEST(Placement, ReadsTheWritersMatrixBackInEverySize) {
    std::mt19937 random(7);
    for (const SymbolSize& row : kSymbolSizes) {
        const int S = row.symbolSize;
        const std::vector<std::uint8_t> stream = randomStream(S, random);
        SymbolResult symbol = testing::prepareSymbol(S);
        testing::loadMapping(symbol, testing::mappingMatrix(S, stream));
        placeCodewords(symbol);
        EXPECT_EQ(testing::codewordsOf(symbol), stream) << S;
        EXPECT_EQ(symbol.erasureCount, 0);

        // Every module read once, except the fixed 2x2 corner of four sizes.
        const int n = symbol.mappingRows;
        const bool fixedCorner = S == 12 || S == 16 || S == 20 || S == 24;
        for (int r = 0; r < n; ++r) {
            for (int c = 0; c < n; ++c) {
                const bool visited = (symbol.modules[static_cast<std::size_t>(r * n + c)] & ModuleVisited) != 0;
                const bool inCorner = r >= n - 2 && c >= n - 2;
                EXPECT_EQ(visited, !(fixedCorner && inCorner)) << S << " at " << r << "," << c;
            }
        }
    }
}

// True when the eight positions of a corner shape form one codeword, in
// order from its most significant bit.
bool cornerShapeUsed(int S, const int (&positions)[8][2]) {
    const int n = testing::mappingSizeOf(S);
    ModuleMatrix mapping(static_cast<std::size_t>(n), std::vector<bool>(static_cast<std::size_t>(n), false));
    int codeword = -1;
    for (int b = 0; b < 8; ++b) {
        const int r = positions[b][0] < 0 ? n + positions[b][0] : positions[b][0];
        const int c = positions[b][1] < 0 ? n + positions[b][1] : positions[b][1];
        mapping[static_cast<std::size_t>(r)][static_cast<std::size_t>(c)] = true;
        SymbolResult symbol = testing::prepareSymbol(S);
        testing::loadMapping(symbol, mapping);
        placeCodewords(symbol);
        mapping[static_cast<std::size_t>(r)][static_cast<std::size_t>(c)] = false;
        int found = -1;
        for (int k = 0; k < symbol.codewordCount; ++k) {
            if (symbol.codewords[static_cast<std::size_t>(k)] == (0x80 >> b)) found = k;
        }
        if (found < 0 || (codeword >= 0 && found != codeword)) return false;
        codeword = found;
    }
    return true;
}

TEST(Placement, CornerShapesOccurInTheirSizes) {
    static constexpr int kCorner1[8][2] = {{-1, 0}, {-1, 1}, {-1, 2}, {0, -2}, {0, -1}, {1, -1}, {2, -1}, {3, -1}};
    static constexpr int kCorner2[8][2] = {{-3, 0}, {-2, 0}, {-1, 0}, {0, -4}, {0, -3}, {0, -2}, {0, -1}, {1, -1}};
    const std::set<int> withCorner1{14, 22, 32, 40, 48, 120, 144};
    const std::set<int> withCorner2{16, 24};
    for (const SymbolSize& row : kSymbolSizes) {
        const int S = row.symbolSize;
        EXPECT_EQ(cornerShapeUsed(S, kCorner1), withCorner1.count(S) == 1) << S;
        EXPECT_EQ(cornerShapeUsed(S, kCorner2), withCorner2.count(S) == 1) << S;
    }
}

TEST(Placement, UniformMatricesGiveUniformCodewords) {
    for (const bool dark : {true, false}) {
        SymbolResult symbol = testing::prepareSymbol(18);
        const int n = symbol.mappingRows;
        testing::loadMapping(symbol,
                             ModuleMatrix(static_cast<std::size_t>(n), std::vector<bool>(static_cast<std::size_t>(n), dark)));
        std::fill(symbol.codewords.get(), symbol.codewords.get() + symbol.codewordCount, 0x5A);
        placeCodewords(symbol);
        for (int k = 0; k < symbol.codewordCount; ++k) {
            ASSERT_EQ(symbol.codewords[static_cast<std::size_t>(k)], dark ? 255 : 0);
        }
    }
}

TEST(Placement, OutsideModulesListTheirCodewordsOnceInOrderMet) {
    SymbolResult symbol = testing::prepareSymbol(10);
    std::fill(symbol.modules.get(), symbol.modules.get() + symbol.moduleCount, ModuleSampled);
    // Direct calls: codeword 5 met first, then 2, then 5 again.
    symbol.modules[0] |= ModuleOutside;
    symbol.modules[9] |= ModuleOutside;
    placeModule(symbol, 0, 0, 5, 0x80);
    placeModule(symbol, 1, 1, 2, 0x01);
    placeModule(symbol, 0, 0, 5, 0x40);
    ASSERT_EQ(symbol.erasureCount, 2);
    EXPECT_EQ(symbol.erasures[0], 5);
    EXPECT_EQ(symbol.erasures[1], 2);
    EXPECT_EQ(symbol.codewords[5], 0xC0);

    // Through the whole walk: every module of the first mapping row outside.
    SymbolResult walked = testing::prepareSymbol(10);
    std::fill(walked.modules.get(), walked.modules.get() + walked.moduleCount, ModuleSampled);
    for (int c = 0; c < 8; ++c) walked.modules[static_cast<std::size_t>(c)] |= ModuleOutside;
    placeCodewords(walked);
    std::set<int> distinct;
    for (int e = 0; e < walked.erasureCount; ++e) {
        EXPECT_TRUE(distinct.insert(walked.erasures[static_cast<std::size_t>(e)]).second);
        if (e > 0) {
            EXPECT_LT(walked.erasures[static_cast<std::size_t>(e - 1)], walked.erasures[static_cast<std::size_t>(e)]);
        }
    }
    EXPECT_GE(walked.erasureCount, 3);
}

TEST(Placement, IgnoresPositionsAndRecordsOutsideItsBuffers) {
    SymbolResult symbol = testing::prepareSymbol(10);
    std::fill(symbol.modules.get(), symbol.modules.get() + symbol.moduleCount, ModuleSampled | ModuleOutside);
    placeModule(symbol, 0, 0, 8, 0x80);    // no codeword 8 in a 10x10
    placeModule(symbol, 0, 0, -1, 0x80);
    placeModule(symbol, 20, 3, 0, 0x80);   // beyond the matrix even after wrapping
    placeModule(symbol, -20, -20, 0, 0x80);
    EXPECT_EQ(symbol.erasureCount, 0);
    EXPECT_EQ(symbol.codewords[0], 0);
    // A full erasure list takes no more entries.
    symbol.erasureCount = symbol.codewordCount;
    placeModule(symbol, 0, 0, 3, 0x80);
    EXPECT_EQ(symbol.erasureCount, symbol.codewordCount);

    SymbolResult broken = testing::prepareSymbol(10);
    broken.mappingCols = 9;  // not square
    placeCodewords(broken);
    broken.mappingCols = 8;
    broken.moduleCount = 10;
    placeCodewords(broken);
    SymbolResult empty;
    placeCodewords(empty);
    EXPECT_EQ(testing::codewordsOf(broken), std::vector<std::uint8_t>(8, 0));
}

}  // namespace
}  // namespace ternwick
