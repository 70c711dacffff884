// Reed-Solomon correction and module placement on the largest symbol.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>
#include <random>

#include "ecc/reed_solomon.h"
#include "sample/placement.h"
#include "support/symbol_records.h"
#include "support/symbol_writer.h"

namespace {

using namespace ternwick;

constexpr int kSize = 144;

std::vector<std::uint8_t> largestStream() {
    std::mt19937 random(42);
    const SymbolSize& row = kSymbolSizes[static_cast<std::size_t>(findSizeIndex(kSize))];
    std::vector<std::uint8_t> data(static_cast<std::size_t>(row.dataCodewords));
    for (auto& d : data) d = static_cast<std::uint8_t>(random() & 0xFF);
    data[0] = 66;
    return testing::addCheckCodewords(data, kSize);
}

// Damage per block: `erasures` erased codewords and `errors` wrong ones.
struct Damage {
    std::vector<std::uint8_t> codewords;
    std::vector<std::int32_t> erasures;
};

Damage damaged(const std::vector<std::uint8_t>& stream, int erasures, int errors) {
    std::mt19937 random(7);
    const SymbolSize& row = kSymbolSizes[static_cast<std::size_t>(findSizeIndex(kSize))];
    Damage out{stream, {}};
    for (int b = 0; b < row.blockCount; ++b) {
        std::vector<int> indexes;
        for (int m = b; m < static_cast<int>(stream.size()); m += row.blockCount) indexes.push_back(m);
        std::shuffle(indexes.begin(), indexes.end(), random);
        for (int k = 0; k < erasures + errors; ++k) {
            const auto m = static_cast<std::size_t>(indexes[static_cast<std::size_t>(k)]);
            out.codewords[m] ^= static_cast<std::uint8_t>(1 + random() % 255);
            if (k < erasures) out.erasures.push_back(static_cast<std::int32_t>(m));
        }
    }
    return out;
}

void runCorrection(benchmark::State& state, const Damage& input) {
    SymbolResult symbol = testing::prepareSymbol(kSize);
    for (auto _ : state) {
        std::memcpy(symbol.codewords.get(), input.codewords.data(), input.codewords.size());
        std::copy(input.erasures.begin(), input.erasures.end(), symbol.erasures.get());
        symbol.erasureCount = static_cast<std::int32_t>(input.erasures.size());
        const int ok = correctSymbol(symbol);
        if (!ok) state.SkipWithError("not corrected");
        benchmark::DoNotOptimize(ok);
    }
}

void BM_CorrectSymbol144_Clean(benchmark::State& state) {
    runCorrection(state, damaged(largestStream(), 0, 0));
}
BENCHMARK(BM_CorrectSymbol144_Clean)->Unit(benchmark::kMicrosecond);

// 31 errors in each of the 10 blocks (n = 62): the most errors it corrects.
void BM_CorrectSymbol144_MaxErrors(benchmark::State& state) {
    runCorrection(state, damaged(largestStream(), 0, 31));
}
BENCHMARK(BM_CorrectSymbol144_MaxErrors)->Unit(benchmark::kMicrosecond);

// 59 erasures (the symbol's limit of 590) and one error in each block.
void BM_CorrectSymbol144_MaxErasures(benchmark::State& state) {
    runCorrection(state, damaged(largestStream(), 59, 1));
}
BENCHMARK(BM_CorrectSymbol144_MaxErasures)->Unit(benchmark::kMicrosecond);

// Placement of a sampled 132x132 mapping matrix; each pass restores the
// sampled flags first (a copy of 17424 bytes, included in the time).
void BM_PlaceCodewords144(benchmark::State& state) {
    SymbolResult symbol = testing::prepareSymbol(kSize);
    testing::loadMapping(symbol, testing::mappingMatrix(kSize, largestStream()));
    const std::vector<std::uint8_t> sampled(symbol.modules.get(), symbol.modules.get() + symbol.moduleCount);
    for (auto _ : state) {
        std::memcpy(symbol.modules.get(), sampled.data(), sampled.size());
        symbol.erasureCount = 0;
        placeCodewords(symbol);
        benchmark::DoNotOptimize(symbol.codewords[0]);
    }
}
BENCHMARK(BM_PlaceCodewords144)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
