// Decode time of 4000x3000 pictures that hold no symbol but make every stage
// work: pure noise, a checkerboard of one-pixel squares, and many L shapes,
// tiny ones and ones of a finder's size, each decoded from memory through
// decodeLoadedImage. The counter "work" is the larger of the two passes' work
// in units of the search allowance (kSearchWorkLimit), which the busy
// pictures reach. Argument 1 decodes with the allowance, argument 0 without
// it (run once: that shows what the allowance saves). At the size limit
// (8192x8192, kMaxImagePixels), noise is decoded with the allowance, and
// loaded from memory as an 8-bit grey PNG and as a 24-bit BMP.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>

#include "core/diagnostics.h"
#include "driver/decode_driver.h"
#include "image/bmp_reader.h"
#include "image/png_loader.h"
#include "support/picture_files.h"
#include "support/search_work.h"
#include "support/worst_case_pictures.h"

namespace {

using namespace ternwick;

constexpr int kWidth = 4000;
constexpr int kHeight = 3000;
constexpr int kLimitSide = 8192;

void decodePicture(benchmark::State& state, const ImageBuffer& picture) {
    const bool bounded = state.range(0) != 0;
    const std::size_t bytes = static_cast<std::size_t>(picture.width) * static_cast<std::size_t>(picture.height);
    CapturingDiagnosticSink sink;
    ScopedDiagnosticSink scoped(sink);
    for (auto _ : state) {
        state.PauseTiming();
        auto context = std::make_unique<DecodeContext>();
        context->image.width = picture.width;
        context->image.height = picture.height;
        context->image.pixels.reset(new std::uint8_t[bytes]);
        std::memcpy(context->image.pixels.get(), picture.pixels.get(), bytes);
        testing::PassWork work;
        testing::MeasuringAttempts attempts(work);
        context->attempts = &attempts;
        if (!bounded) context->work.limit = INT64_MAX;
        ResultFields fields;
        state.ResumeTiming();
        benchmark::DoNotOptimize(decodeLoadedImage(fields, *context));
        state.PauseTiming();
        if (fields.decoded) state.SkipWithError("a symbol was decoded in a picture without one");
        state.counters["work"] = static_cast<double>(std::max(work.firstPass, work.secondPass)) / kSearchWorkLimit;
        context.reset();
        sink.output.clear();
        sink.errors.clear();
        state.ResumeTiming();
    }
}

void BM_DecodeNoise(benchmark::State& state) {
    decodePicture(state, testing::noisePicture(kWidth, kHeight));
}
BENCHMARK(BM_DecodeNoise)->Unit(benchmark::kMillisecond)->Arg(1)->Iterations(3);
BENCHMARK(BM_DecodeNoise)->Unit(benchmark::kMillisecond)->Arg(0)->Iterations(1);

void BM_DecodeCheckerboard(benchmark::State& state) {
    decodePicture(state, testing::checkerboardPicture(kWidth, kHeight));
}
BENCHMARK(BM_DecodeCheckerboard)->Unit(benchmark::kMillisecond)->Arg(1)->Iterations(3);
BENCHMARK(BM_DecodeCheckerboard)->Unit(benchmark::kMillisecond)->Arg(0)->Iterations(1);

void BM_DecodeTinyLShapes(benchmark::State& state) {
    decodePicture(state, testing::lShapesPicture(kWidth, kHeight));
}
BENCHMARK(BM_DecodeTinyLShapes)->Unit(benchmark::kMillisecond)->Arg(1)->Iterations(3);
BENCHMARK(BM_DecodeTinyLShapes)->Unit(benchmark::kMillisecond)->Arg(0)->Iterations(1);

// Legs long enough for a finder leg, so that many candidates reach the side walks.
void BM_DecodeFinderSizedLShapes(benchmark::State& state) {
    decodePicture(state, testing::lShapesPicture(kWidth, kHeight, 30, 3, 40));
}
BENCHMARK(BM_DecodeFinderSizedLShapes)->Unit(benchmark::kMillisecond)->Arg(1)->Iterations(3);
BENCHMARK(BM_DecodeFinderSizedLShapes)->Unit(benchmark::kMillisecond)->Arg(0)->Iterations(1);

void BM_DecodeNoiseAtTheSizeLimit(benchmark::State& state) {
    decodePicture(state, testing::noisePicture(kLimitSide, kLimitSide));
}
BENCHMARK(BM_DecodeNoiseAtTheSizeLimit)->Unit(benchmark::kMillisecond)->Arg(1)->Iterations(3);

// Loads the file's bytes from memory; argument 0 a PNG, 1 a BMP.
void BM_LoadNoiseAtTheSizeLimit(benchmark::State& state) {
    const bool png = state.range(0) == 0;
    const ImageBuffer noise = testing::noisePicture(kLimitSide, kLimitSide);
    const std::vector<std::uint8_t> file = png ? testing::greyImageToPng(noise) : testing::greyImageToBmp(noise);
    CapturingDiagnosticSink sink;
    ScopedDiagnosticSink scoped(sink);
    for (auto _ : state) {
        ImageBuffer image;
        const int loaded = png ? loadPngMemory(image, file.data(), file.size()) : loadBmpMemory(image, file.data(), file.size());
        if (loaded != 1) state.SkipWithError("the picture did not load");
        benchmark::DoNotOptimize(image.pixels.get());
    }
    state.counters["file_MB"] = static_cast<double>(file.size()) / 1e6;
}
BENCHMARK(BM_LoadNoiseAtTheSizeLimit)->Unit(benchmark::kMillisecond)->Arg(0)->Arg(1)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
