// Loading and prefiltering a 2000x2000 picture, in megapixels per second.
#include <benchmark/benchmark.h>

#include <cstring>

#include "image/bmp_reader.h"
#include "image/png_loader.h"
#include "support/picture_files.h"

namespace {

using namespace ternwick;

constexpr int kSide = 2000;

ImageBuffer pattern() {
    // Something like a photograph of a symbol: blocks, gradients and noise.
    return testing::makeGreyImage(kSide, kSide, [](int x, int y) {
        const unsigned block = ((x / 7) ^ (y / 7)) & 1u ? 200u : 40u;
        const unsigned noise = (static_cast<unsigned>(x) * 2654435761u ^ static_cast<unsigned>(y) * 40503u) >> 28;
        return static_cast<std::uint8_t>(block + noise + (x + y) / 200);
    });
}

void setPixelsPerSecond(benchmark::State& state) {
    state.counters["MP/s"] = benchmark::Counter(static_cast<double>(kSide) * kSide / 1e6,
                                                benchmark::Counter::kIsIterationInvariantRate);
}

void BM_LoadBmp(benchmark::State& state) {
    const auto bytes = testing::greyImageToBmp(pattern());
    for (auto _ : state) {
        ImageBuffer image;
        benchmark::DoNotOptimize(loadBmpMemory(image, bytes.data(), bytes.size()));
    }
    setPixelsPerSecond(state);
}
BENCHMARK(BM_LoadBmp)->Unit(benchmark::kMillisecond);

void BM_LoadPng(benchmark::State& state) {
    const auto bytes = testing::greyImageToPng(pattern());
    for (auto _ : state) {
        ImageBuffer image;
        benchmark::DoNotOptimize(loadPngMemory(image, bytes.data(), bytes.size()));
    }
    setPixelsPerSecond(state);
}
BENCHMARK(BM_LoadPng)->Unit(benchmark::kMillisecond);

void BM_MedianPrefilter(benchmark::State& state) {
    const ImageBuffer source = pattern();
    const std::size_t bytes = static_cast<std::size_t>(kSide) * kSide;
    ImageBuffer image = testing::makeGreyImage(kSide, kSide, [](int, int) { return 0; });
    for (auto _ : state) {
        state.PauseTiming();
        std::memcpy(image.pixels.get(), source.pixels.get(), bytes);
        state.ResumeTiming();
        benchmark::DoNotOptimize(medianPrefilter(image));
    }
    setPixelsPerSecond(state);
}
BENCHMARK(BM_MedianPrefilter)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
