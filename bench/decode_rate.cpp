// Decode rate over a generated set of pictures: symbol sizes x module sizes x
// rotations x picture conditions (clean, two blurs, two noise levels), both polarities
// alternating. Prints the share decoded per group.
//
//   decode_rate [--quick]
//
// --quick takes every third picture only.
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "driver/decode_driver.h"
#include "core/diagnostics.h"
#include "support/symbol_writer.h"

namespace {

using namespace ternwick;

struct Tally {
    int tried = 0;
    int decoded = 0;
};

void printTable(const char* title, const std::map<std::string, Tally>& groups) {
    std::printf("\n%-22s %8s %8s %8s\n", title, "decoded", "tried", "share");
    for (const auto& [name, tally] : groups) {
        std::printf("%-22s %8d %8d %7.1f%%\n", name.c_str(), tally.decoded, tally.tried,
                    tally.tried > 0 ? 100.0 * tally.decoded / tally.tried : 0.0);
    }
}

std::string padded(int value, int width) {
    std::string text = std::to_string(value);
    return std::string(text.size() < static_cast<std::size_t>(width) ? width - text.size() : 0, ' ') + text;
}

}  // namespace

int main(int argc, char** argv) {
    const bool quick = argc > 1 && std::strcmp(argv[1], "--quick") == 0;
    CapturingDiagnosticSink quiet;
    ScopedDiagnosticSink scope(quiet);

    const int sizes[] = {10, 16, 24, 32, 48, 64, 96, 144};
    const int modulePixels[] = {2, 3, 4, 6, 10};
    const double rotations[] = {0, 7.5, 15, 22.5, 30, 37.5, 45, 90, 180, 270};
    struct Condition {
        const char* name;
        double blurSigma;  // in modules
        double noiseSigma;
    };
    const Condition conditions[] = {{"clean", 0.0, 0.0},
                                    {"blur 0.25 module", 0.25, 0.0},
                                    {"blur 0.5 module", 0.5, 0.0},
                                    {"noise 20", 0.0, 20.0},
                                    {"noise 40", 0.0, 40.0}};

    std::map<std::string, Tally> bySize, byModule, byRotation, byCondition, bySizeAndModule;
    Tally all;
    unsigned index = 0;
    for (const int size : sizes) {
        for (const int pixels : modulePixels) {
            for (const double rotation : rotations) {
                for (const Condition& condition : conditions) {
                    ++index;
                    if (quick && ((index - 1) / 5 + index - 1) % 3 != 0) continue;
                    testing::RenderOptions options;
                    options.moduleSize = pixels;
                    options.quietZone = 3.0;
                    options.rotationDegrees = rotation;
                    options.lightOnDark = index % 2 == 0;
                    options.blurSigma = condition.blurSigma * pixels;
                    options.noiseSigma = condition.noiseSigma;
                    options.seed = index;
                    options.supersampling = 3;
                    const std::string text = testing::sampleText(size, index);
                    ResultFields fields;
                    auto context = std::make_unique<DecodeContext>();
                    context->image = testing::renderText(text, size, options).image;
                    decodeLoadedImage(fields, *context);
                    releaseSymbols(*context);
                    const bool ok = fields.decoded && std::string(fields.message.begin(), fields.message.end()) == text;
                    for (Tally* t : {&bySize[padded(size, 3) + "x" + std::to_string(size)],
                                     &byModule[padded(pixels, 2) + " px a module"],
                                     &byRotation[(rotation < 10 ? "  " : rotation < 100 ? " " : "") +
                                                 std::to_string(rotation).substr(0, std::to_string(rotation).find('.') + 2) +
                                                 " degrees"],
                                     &byCondition[condition.name],
                                     &bySizeAndModule[padded(size, 3) + "x" + std::to_string(size) + " at " +
                                                      padded(pixels, 2) + " px"],
                                     &all}) {
                        ++t->tried;
                        if (ok) ++t->decoded;
                    }
                }
            }
        }
        std::fprintf(stderr, "%dx%d done\n", size, size);
    }
    printTable("symbol size", bySize);
    printTable("module size", byModule);
    printTable("rotation", byRotation);
    printTable("condition", byCondition);
    printTable("size and module", bySizeAndModule);
    std::printf("\nall: %d of %d decoded (%.1f%%)\n", all.decoded, all.tried, 100.0 * all.decoded / all.tried);
    return 0;
}
