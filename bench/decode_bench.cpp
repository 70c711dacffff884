// Whole decodes through decodeImageFile, file loading included: a 24x24
// symbol in a 1280x960 PNG, a 10x10 symbol in a 640x480 BMP, and pictures
// without any symbol of 1280x960, 400x300 and 150x150 (every pass over the
// whole schedule).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

#include "driver/decode_driver.h"
#include "core/diagnostics.h"
#include "support/decode_run.h"
#include "support/picture_files.h"
#include "support/symbol_writer.h"

namespace {

using namespace ternwick;

std::string temporaryPath(const char* name) { return std::string("/tmp/ternwick-bench-") + name; }

void decodeFile(benchmark::State& state, const std::string& path, bool expectSymbol) {
    for (auto _ : state) {
        const auto run = testing::decodeFileOnce(path);
        if (run->fields.decoded != expectSymbol) state.SkipWithError("unexpected outcome");
        benchmark::DoNotOptimize(run->fields);
    }
}

// A scene: mid-grey paper with soft blotches, the symbol somewhere on it.
ImageBuffer scene(int width, int height, const testing::RenderedSymbol* symbol, int atX, int atY) {
    return testing::makeGreyImage(width, height, [&](int x, int y) -> std::uint8_t {
        if (symbol != nullptr) {
            const int sx = x - atX;
            const int sy = y - atY;
            if (sx >= 0 && sy >= 0 && sx < symbol->image.width && sy < symbol->image.height) {
                return greyAt(symbol->image, sx, sy);
            }
        }
        return static_cast<std::uint8_t>(190 + 25 * ((x / 97 + y / 61) % 2) + (x * y) % 7);
    });
}

void BM_Decode_24x24_In1280x960Png(benchmark::State& state) {
    testing::RenderOptions options;
    options.moduleSize = 6.0;
    options.rotationDegrees = 12.0;
    const auto symbol = testing::renderText("Ternwick benchmark 24x24", 24, options);
    const std::string path = temporaryPath("24x24.png");
    testing::writeFile(path, testing::greyImageToPng(scene(1280, 960, &symbol, 700, 300)));
    decodeFile(state, path, true);
}
BENCHMARK(BM_Decode_24x24_In1280x960Png)->Unit(benchmark::kMillisecond);

void BM_Decode_10x10_In640x480Bmp(benchmark::State& state) {
    testing::RenderOptions options;
    options.moduleSize = 5.0;
    const auto symbol = testing::renderText("Ter", 10, options);
    const std::string path = temporaryPath("10x10.bmp");
    testing::writeFile(path, testing::greyImageToBmp(scene(640, 480, &symbol, 410, 150)));
    decodeFile(state, path, true);
}
BENCHMARK(BM_Decode_10x10_In640x480Bmp)->Unit(benchmark::kMillisecond);

void BM_Decode_NoSymbol_1280x960Png(benchmark::State& state) {
    const std::string path = temporaryPath("empty.png");
    testing::writeFile(path, testing::greyImageToPng(scene(1280, 960, nullptr, 0, 0)));
    decodeFile(state, path, false);
}
BENCHMARK(BM_Decode_NoSymbol_1280x960Png)->Unit(benchmark::kMillisecond);

// Small enough that the further passes would search it magnified if it
// showed runs of one or two pixels.
void BM_Decode_NoSymbol_400x300Png(benchmark::State& state) {
    const std::string path = temporaryPath("empty-small.png");
    testing::writeFile(path, testing::greyImageToPng(scene(400, 300, nullptr, 0, 0)));
    decodeFile(state, path, false);
}
BENCHMARK(BM_Decode_NoSymbol_400x300Png)->Unit(benchmark::kMillisecond);

// A tiny picture, about a symbol's size, where the further passes' floor of
// work counts most.
void BM_Decode_NoSymbol_150x150Png(benchmark::State& state) {
    const std::string path = temporaryPath("empty-tiny.png");
    testing::writeFile(path, testing::greyImageToPng(scene(150, 150, nullptr, 0, 0)));
    decodeFile(state, path, false);
}
BENCHMARK(BM_Decode_NoSymbol_150x150Png)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
