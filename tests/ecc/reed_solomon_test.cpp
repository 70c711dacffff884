#include "ecc/reed_solomon.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <random>

#include "support/symbol_records.h"
#include "support/symbol_writer.h"

namespace ternwick {
namespace {

const SymbolSize& sizeOf(int symbolSize) {
    return kSymbolSizes[static_cast<std::size_t>(findSizeIndex(symbolSize))];
}

// A valid stream of random data whose first codeword can open a message.
std::vector<std::uint8_t> validStream(int symbolSize, std::mt19937& random) {
    std::vector<std::uint8_t> data(static_cast<std::size_t>(sizeOf(symbolSize).dataCodewords));
    for (auto& d : data) d = static_cast<std::uint8_t>(random() & 0xFF);
    data[0] = static_cast<std::uint8_t>(1 + random() % 241);
    return testing::addCheckCodewords(data, symbolSize);
}

// Damage planned for one block: erased and wrong positions within the block.
struct BlockDamage {
    int block;
    int erasures;
    int errors;
};

// Applies the damage to a record holding the stream: erased codewords get a
// random value and enter the erasure list, errors get a non-zero change.
void damage(SymbolResult& symbol, const std::vector<BlockDamage>& plan, std::mt19937& random) {
    const int B = kSymbolSizes[static_cast<std::size_t>(symbol.sizeIndex)].blockCount;
    for (const BlockDamage& d : plan) {
        std::vector<int> indexes;
        for (int m = d.block; m < symbol.codewordCount; m += B) indexes.push_back(m);
        std::shuffle(indexes.begin(), indexes.end(), random);
        for (int k = 0; k < d.erasures + d.errors; ++k) {
            const auto m = static_cast<std::size_t>(indexes.at(static_cast<std::size_t>(k)));
            if (k < d.erasures) {
                symbol.codewords[m] = static_cast<std::uint8_t>(random() & 0xFF);
                symbol.erasures[static_cast<std::size_t>(symbol.erasureCount++)] = static_cast<std::int32_t>(m);
            } else {
                symbol.codewords[m] ^= static_cast<std::uint8_t>(1 + random() % 255);
            }
        }
    }
}

SymbolResult recordWith(int symbolSize, const std::vector<std::uint8_t>& stream) {
    SymbolResult symbol = testing::prepareSymbol(symbolSize);
    testing::loadCodewords(symbol, stream);
    return symbol;
}

TEST(GaloisField, TablesFollowTheFieldPolynomial) {
    EXPECT_EQ(gfExp[0], 1);
    EXPECT_EQ(gfExp[255], 1);
    EXPECT_EQ(gfExp[7], 128);
    EXPECT_EQ(gfExp[8], 0x2D);  // 2^8 = x^5 + x^3 + x^2 + 1
    EXPECT_EQ(gfLog[1], 255);
    EXPECT_EQ(gfLog[0], -255);
    std::vector<int> seen(256, 0);
    for (int k = 0; k < 255; ++k) ++seen[static_cast<std::size_t>(gfExp[static_cast<std::size_t>(k)])];
    EXPECT_EQ(seen[0], 0);
    EXPECT_EQ(std::count(seen.begin() + 1, seen.end(), 1), 255);  // 2 is primitive
    for (int a = 1; a < 256; ++a) {
        EXPECT_EQ(gfExp[static_cast<std::size_t>(gfLog[static_cast<std::size_t>(a)])], a);
        EXPECT_EQ(gfMul(a, gfInv(a)), 1) << a;
        EXPECT_EQ(gfMul(a, 0), 0);
        EXPECT_EQ(gfMul(a, 1), a);
    }
    EXPECT_EQ(gfInv(0), 0);
    EXPECT_EQ(gfMul(0x80, 2), 0x2D);
    static_assert(gfExp[1] == 2 && gfLog[2] == 1, "tables are fixed at build time");
}

TEST(CorrectSymbol, EverySizeCorrectsErrorsAndErasuresUpToCapacity) {
    std::mt19937 random(11);
    for (const SymbolSize& row : kSymbolSizes) {
        const int S = row.symbolSize;
        const int n = row.eccCodewords / row.blockCount;
        for (int trial = 0; trial < 6; ++trial) {
            const std::vector<std::uint8_t> stream = validStream(S, random);
            SymbolResult symbol = recordWith(S, stream);
            EXPECT_EQ(correctSymbol(symbol), 1) << S;  // clean: accepted as it is
            std::vector<BlockDamage> plan;
            for (int b = 0; b < row.blockCount; ++b) {
                // Erasures within the per-block share of maxErasures, the rest as errors.
                const int maxErasures = row.maxErasures / row.blockCount;
                const int e = trial == 0 ? 0 : trial == 1 ? maxErasures : static_cast<int>(random() % (maxErasures + 1));
                plan.push_back({b, e, (n - e) / 2});
            }
            damage(symbol, plan, random);
            ASSERT_LE(symbol.erasureCount, row.maxErasures);
            EXPECT_EQ(correctSymbol(symbol), 1) << S << " trial " << trial;
            EXPECT_EQ(testing::codewordsOf(symbol), stream) << S << " trial " << trial;
        }
    }
}

TEST(CorrectSymbol, BeyondCapacityIsRefusedUnlessTheResultVerifies) {
    // One block gets one error more than it can correct. The decoder either
    // refuses or lands on another valid codeword; it never accepts a stream
    // that does not verify.
    std::mt19937 random(5);
    int refused = 0;
    int recovered = 0;
    int miscorrected = 0;
    int trials = 0;
    for (const SymbolSize& row : kSymbolSizes) {
        const int S = row.symbolSize;
        const int n = row.eccCodewords / row.blockCount;
        for (int trial = 0; trial < 40; ++trial) {
            const std::vector<std::uint8_t> stream = validStream(S, random);
            SymbolResult symbol = recordWith(S, stream);
            const int e = row.maxErasures == 0 ? 0 : static_cast<int>(random() % 3);
            damage(symbol, {{static_cast<int>(random() % static_cast<unsigned>(row.blockCount)), e, (n - e) / 2 + 1}},
                   random);
            ++trials;
            if (correctSymbol(symbol) == 0) {
                ++refused;
                continue;
            }
            const std::vector<std::uint8_t> result = testing::codewordsOf(symbol);
            if (result == stream) {
                ++recovered;  // e.g. an erased codeword kept its value
                continue;
            }
            ++miscorrected;
            const std::vector<std::uint8_t> data(result.begin(), result.begin() + row.dataCodewords);
            EXPECT_EQ(testing::addCheckCodewords(data, S), result) << S;
        }
    }
    RecordProperty("beyond_capacity_trials", trials);
    RecordProperty("beyond_capacity_miscorrected", miscorrected);
    std::printf("beyond capacity: %d trials, %d refused, %d recovered anyway, %d landed on another valid stream\n",
                trials, refused, recovered, miscorrected);
    EXPECT_GT(refused, trials * 9 / 10);
}

TEST(CorrectSymbol, ErasureLimitsOfSymbolAndBlock) {
    std::mt19937 random(3);
    // 14x14: n = 10, maxErasures 7.
    const std::vector<std::uint8_t> stream = validStream(14, random);
    SymbolResult seven = recordWith(14, stream);
    damage(seven, {{0, 7, 1}}, random);
    EXPECT_EQ(correctSymbol(seven), 1);
    EXPECT_EQ(testing::codewordsOf(seven), stream);
    SymbolResult eight = recordWith(14, stream);
    damage(eight, {{0, 8, 0}}, random);
    EXPECT_EQ(correctSymbol(eight), 0);
    // 12x12 accepts no erasure at all, even on a clean stream.
    SymbolResult small = recordWith(12, validStream(12, random));
    small.erasures[0] = 3;
    small.erasureCount = 1;
    EXPECT_EQ(correctSymbol(small), 0);

    // correctBlock itself: n = 10 takes 3 errors with 4 erasures, or 9
    // erasures, and refuses 10 erasures.
    auto blockCase = [&](int erasures, int errors) {
        ReedSolomonState state;
        state.eccPerBlock = 10;
        std::vector<std::uint8_t> block = stream;
        std::vector<int> order(18);
        std::iota(order.begin(), order.end(), 0);
        std::shuffle(order.begin(), order.end(), random);
        std::vector<std::int32_t> positions(order.begin(), order.begin() + erasures);
        for (int k = 0; k < erasures + errors; ++k) block[static_cast<std::size_t>(order[static_cast<std::size_t>(k)])] ^= 0x33;
        const std::vector<std::uint8_t> damaged = block;
        computeSyndromes(state, block.data(), 18);
        const int ok = correctBlock(state, block.data(), 18, positions.data(), erasures);
        if (!ok) {
            EXPECT_EQ(block, damaged);  // unchanged on refusal
        }
        return ok && block == stream;
    };
    EXPECT_TRUE(blockCase(4, 3));
    EXPECT_TRUE(blockCase(9, 0));
    EXPECT_FALSE(blockCase(10, 0));
}

TEST(CorrectSymbol, InterleavedBlocksAreCorrectedInPlace) {
    std::mt19937 random(9);
    // 52x52: two blocks of 144 codewords, n = 42.
    const std::vector<std::uint8_t> stream = validStream(52, random);
    SymbolResult symbol = recordWith(52, stream);
    damage(symbol, {{0, 10, 16}, {1, 0, 21}}, random);
    EXPECT_EQ(correctSymbol(symbol), 1);
    EXPECT_EQ(testing::codewordsOf(symbol), stream);

    // 144x144: blocks 0..7 hold 218 codewords, 8 and 9 hold 217; the first
    // check codeword (stream position 1558) belongs to block 8.
    const std::vector<std::uint8_t> large = validStream(144, random);
    SymbolResult clean = recordWith(144, large);
    EXPECT_EQ(correctSymbol(clean), 1);
    SymbolResult big = recordWith(144, large);
    damage(big, {{0, 0, 31}, {7, 20, 21}, {8, 59, 1}, {9, 0, 31}}, random);
    EXPECT_EQ(correctSymbol(big), 1);
    EXPECT_EQ(testing::codewordsOf(big), large);
    SymbolResult lastCheck = recordWith(144, large);
    lastCheck.codewords[1558] ^= 0xFF;  // block 8
    lastCheck.codewords[2177] ^= 0xFF;  // the last codeword: block 7
    lastCheck.codewords[1559] ^= 0x01;  // block 9
    EXPECT_EQ(correctSymbol(lastCheck), 1);
    EXPECT_EQ(testing::codewordsOf(lastCheck), large);
    // One block beyond capacity fails the whole symbol.
    SymbolResult tooMany = recordWith(144, large);
    damage(tooMany, {{8, 0, 40}}, random);
    EXPECT_EQ(correctSymbol(tooMany), 0);
}

TEST(CorrectSymbol, FirstCodewordMustOpenAMessage) {
    std::mt19937 random(1);
    for (const int first : {0, 1, 241, 242, 255}) {
        std::vector<std::uint8_t> data(8, 66);
        data[0] = static_cast<std::uint8_t>(first);
        std::vector<std::uint8_t> stream = testing::addCheckCodewords(data, 14);
        SymbolResult symbol = recordWith(14, stream);
        symbol.codewords[3] ^= 0x10;  // corrected first, then judged
        EXPECT_EQ(correctSymbol(symbol), first >= 1 && first <= 241 ? 1 : 0) << first;
        EXPECT_EQ(symbol.codewords[3], 66);
    }
}

TEST(CorrectBlock, RepeatedRootHasNoMagnitudeAndIsRefused) {
    // The same position erased twice makes the locator's root a double one:
    // its derivative vanishes there.
    std::mt19937 random(2);
    const std::vector<std::uint8_t> stream = validStream(14, random);
    std::vector<std::uint8_t> block = stream;
    block[3] ^= 0x21;
    const std::vector<std::uint8_t> damaged = block;
    ReedSolomonState state;
    state.eccPerBlock = 10;
    computeSyndromes(state, block.data(), 18);
    ASSERT_EQ(syndromesNonZero(state), 1);
    const std::int32_t single[1] = {3};
    const std::int32_t positions[2] = {3, 3};
    EXPECT_EQ(correctBlock(state, block.data(), 18, positions, 2), 0);
    EXPECT_EQ(block, damaged);
    // The locator found has the double root; the Chien search meets it once.
    EXPECT_EQ(state.errorLocationCount, 1);
    EXPECT_EQ(state.errorLocations[0], 18 - 1 - 3);
    EXPECT_EQ(correctBlock(state, block.data(), 18, single, 1), 1);
    EXPECT_EQ(block, stream);
}

TEST(CorrectSymbol, HostileRecordsStayInsideTheirBuffers) {
    std::mt19937 random(4);
    const std::vector<std::uint8_t> stream = validStream(14, random);
    SymbolResult symbol = recordWith(14, stream);
    symbol.codewords[2] ^= 1;
    symbol.erasures[0] = -7;
    symbol.erasures[1] = 100000;
    symbol.erasures[2] = 2;
    symbol.erasureCount = 3;  // two entries point nowhere and are passed over
    EXPECT_EQ(correctSymbol(symbol), 1);
    EXPECT_EQ(testing::codewordsOf(symbol), stream);

    SymbolResult wrongCount = recordWith(14, stream);
    wrongCount.codewordCount = 17;
    EXPECT_EQ(correctSymbol(wrongCount), 0);
    SymbolResult badSize = recordWith(14, stream);
    badSize.sizeIndex = 24;
    EXPECT_EQ(correctSymbol(badSize), 0);
    SymbolResult negative = recordWith(14, stream);
    negative.erasureCount = -5;
    EXPECT_EQ(correctSymbol(negative), 1);
    SymbolResult empty;
    EXPECT_EQ(correctSymbol(empty), 0);

    ReedSolomonState state;
    state.eccPerBlock = 10;
    std::vector<std::uint8_t> block = stream;
    const std::int32_t outside[1] = {18};
    EXPECT_EQ(correctBlock(state, block.data(), 18, outside, 1), 0);
    state.eccPerBlock = 300;
    EXPECT_EQ(correctBlock(state, block.data(), 18, outside, 0), 0);
}

}  // namespace
}  // namespace ternwick
