#include "sample/symbol_result.h"

#include <gtest/gtest.h>

namespace ternwick {
namespace {

TEST(SizeTable, DerivedQuantitiesAgreeWithTheStandard) {
    int previous = 0;
    for (int row = 0; row < kSymbolSizeCount; ++row) {
        const SymbolSize& s = kSymbolSizes[row];
        EXPECT_GT(s.symbolSize, previous);
        previous = s.symbolSize;
        EXPECT_EQ(findSizeIndex(s.symbolSize), row);
        const int perSide = s.regionCount == 1 ? 1 : s.regionCount == 4 ? 2 : s.regionCount == 16 ? 4 : 6;
        EXPECT_EQ(perSide * perSide, s.regionCount);
        EXPECT_EQ(alignmentLineCount(s.regionCount), 2 * (perSide - 1));
        // Regions plus their alignment pairs fill the interior exactly.
        EXPECT_EQ(perSide * (s.regionSize + 2), s.symbolSize) << s.symbolSize;
        const int mapping = s.symbolSize - 2 - alignmentLineCount(s.regionCount);
        // Eight modules a codeword; the four corner modules of some sizes are left over.
        const int codewords = s.dataCodewords + s.eccCodewords;
        EXPECT_EQ(mapping * mapping / 8, codewords) << s.symbolSize;
        if (row >= 2) {
            EXPECT_EQ(s.maxErasures, s.blockCount * (s.eccCodewords / s.blockCount - 3)) << s.symbolSize;
        }
    }
    EXPECT_EQ(findSizeIndex(28), -1);
    EXPECT_EQ(findSizeIndex(30), -1);
    EXPECT_EQ(findSizeIndex(146), -1);
}

TEST(SymbolRecord, ReleaseFreesTheBuffersAndZeroFills) {
    SymbolResult symbol;
    releaseSymbolBuffers(symbol);  // nothing to free
    symbol.sizeIndex = 23;
    symbol.codewordCount = 2178;
    symbol.modules.reset(new std::uint8_t[16]);
    symbol.codewords.reset(new std::uint8_t[16]);
    symbol.message.reset(new std::uint8_t[16]);
    symbol.erasures.reset(new std::int32_t[16]);
    symbol.params.scaleX = 3.0f;
    symbol.finderPoints[1].x = 5.0f;
    releaseSymbolBuffers(symbol);
    EXPECT_EQ(symbol.modules, nullptr);
    EXPECT_EQ(symbol.erasures, nullptr);
    EXPECT_EQ(symbol.sizeIndex, 0);
    EXPECT_EQ(symbol.codewordCount, 0);
    EXPECT_EQ(symbol.params.scaleX, 0.0f);
    EXPECT_EQ(symbol.finderPoints[1].x, 0.0f);
}

}  // namespace
}  // namespace ternwick
