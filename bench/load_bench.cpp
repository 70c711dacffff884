// Loading PNG pictures of a camera's sizes, colour and grey, from memory into
// one image buffer kept across the iterations (as a decode context keeps it).
#include <benchmark/benchmark.h>

#include "image/png_loader.h"
#include "support/picture_files.h"

namespace {

using namespace ternwick;

// Something like a photograph: blocks, gradients and noise, in colour.
std::vector<std::uint8_t> photoPng(int width, int height, bool colour) {
    testing::PngLayout layout;
    layout.width = static_cast<std::uint32_t>(width);
    layout.height = static_cast<std::uint32_t>(height);
    layout.colourType = colour ? 2 : 0;
    for (int y = 0; y < height; ++y) {
        std::vector<std::uint8_t> row;
        for (int x = 0; x < width; ++x) {
            const unsigned block = ((x / 7) ^ (y / 7)) & 1u ? 200u : 40u;
            const unsigned noise = (static_cast<unsigned>(x) * 2654435761u ^ static_cast<unsigned>(y) * 40503u) >> 28;
            const auto base = static_cast<std::uint8_t>(block + noise + (x + y) / 200 % 10);
            row.push_back(base);
            if (colour) {
                row.push_back(static_cast<std::uint8_t>(base / 2 + 20));
                row.push_back(static_cast<std::uint8_t>(255 - base));
            }
        }
        layout.rows.push_back(std::move(row));
    }
    return testing::makePng(layout);
}

void loadPng(benchmark::State& state, int width, int height, bool colour) {
    const auto bytes = photoPng(width, height, colour);
    ImageBuffer image;
    for (auto _ : state) {
        benchmark::DoNotOptimize(loadPngMemory(image, bytes.data(), bytes.size()));
    }
    if (image.width != width) state.SkipWithError("not loaded");
}

void BM_LoadPng_1280x960_Rgb(benchmark::State& state) { loadPng(state, 1280, 960, true); }
void BM_LoadPng_1280x960_Grey(benchmark::State& state) { loadPng(state, 1280, 960, false); }
void BM_LoadPng_4000x3000_Rgb(benchmark::State& state) { loadPng(state, 4000, 3000, true); }
void BM_LoadPng_4000x3000_Grey(benchmark::State& state) { loadPng(state, 4000, 3000, false); }
BENCHMARK(BM_LoadPng_1280x960_Rgb)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadPng_1280x960_Grey)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadPng_4000x3000_Rgb)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadPng_4000x3000_Grey)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
