// The committed fuzz inputs, corpora and reproducers of crashes alike, replayed
// through the targets' entry functions; and the loaders from a path and from
// memory compared on every committed picture file.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "core/diagnostics.h"
#include "fuzz_targets.h"
#include "image/bmp_reader.h"
#include "image/png_loader.h"
#include "support/picture_files.h"

namespace ternwick::fuzz {
void PrintTo(const FuzzTarget& target, std::ostream* out) { *out << target.name; }
}  // namespace ternwick::fuzz

// Any single allocation above 1 GiB in the tests is a fault: the picture size
// limit keeps every buffer the decoder makes far below it, so a request that
// large can only come from a length read out of a file unchecked.
extern "C" const char* __asan_default_options() { return "max_allocation_size_mb=1024"; }

namespace ternwick {
namespace {

namespace fs = std::filesystem;

std::vector<fs::path> inputsOf(const std::string& target, const char* kind) {
    std::vector<fs::path> files;
    const fs::path folder = fs::path(TERNWICK_SOURCE_DIR) / "fuzz" / kind / target;
    if (!fs::is_directory(folder)) return files;
    for (const auto& entry : fs::directory_iterator(folder)) {
        if (entry.is_regular_file()) files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    return files;
}

class FuzzReplay : public ::testing::TestWithParam<fuzz::FuzzTarget> {};

TEST_P(FuzzReplay, CommittedInputsRunClean) {
    const fuzz::FuzzTarget target = GetParam();
    const auto corpus = inputsOf(target.name, "corpus");
    EXPECT_FALSE(corpus.empty()) << "no corpus for " << target.name;
    auto inputs = corpus;
    const auto reproducers = inputsOf(target.name, "reproducers");
    inputs.insert(inputs.end(), reproducers.begin(), reproducers.end());
    for (const fs::path& path : inputs) {
        const auto bytes = testing::readFile(path.string());
        SCOPED_TRACE(path.string());
        EXPECT_EQ(target.entry(bytes.data(), bytes.size()), 0);
    }
}

INSTANTIATE_TEST_SUITE_P(Targets, FuzzReplay, ::testing::ValuesIn(fuzz::kFuzzTargets),
                         [](const ::testing::TestParamInfo<fuzz::FuzzTarget>& info) {
                             std::string name = info.param.name;
                             name.erase(std::remove(name.begin(), name.end(), '_'), name.end());
                             return name;
                         });

// Loads one file from its path and from memory; both must agree in everything.
void expectLoadersAgree(const fs::path& path, bool png) {
    const auto bytes = testing::readFile(path.string());
    CapturingDiagnosticSink quiet;
    ScopedDiagnosticSink scoped(quiet);
    ImageBuffer fromPath;
    ImageBuffer fromMemory;
    const int pathResult = png ? loadPngImage(fromPath, path.string()) : loadBmpImage(fromPath, path.string());
    const int memoryResult =
        png ? loadPngMemory(fromMemory, bytes.data(), bytes.size()) : loadBmpMemory(fromMemory, bytes.data(), bytes.size());
    ASSERT_EQ(pathResult, memoryResult) << path;
    if (pathResult != 1) return;
    ASSERT_EQ(fromPath.width, fromMemory.width) << path;
    ASSERT_EQ(fromPath.height, fromMemory.height) << path;
    const std::size_t size = static_cast<std::size_t>(fromPath.width) * static_cast<std::size_t>(fromPath.height) * 3;
    EXPECT_EQ(std::memcmp(fromPath.pixels.get(), fromMemory.pixels.get(), size), 0) << path;
}

TEST(CommittedPictures, LoadFromAPathAndFromMemoryAlike) {
    for (const char* kind : {"corpus", "reproducers"}) {
        for (const fs::path& path : inputsOf("bmp_loader", kind)) expectLoadersAgree(path, false);
        for (const fs::path& path : inputsOf("png_loader", kind)) expectLoadersAgree(path, true);
    }
}

}  // namespace
}  // namespace ternwick
