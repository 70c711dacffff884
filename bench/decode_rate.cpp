// Decode rate over a generated set of pictures: symbol sizes x module sizes x
// rotations x picture conditions (clean, two blurs, two noise levels), both polarities
// alternating. Prints the share decoded per group, then the same for the hard
// groups: quiet zones of 0 and 1 module, heavy blur, strong keystone, crisp
// pictures of 1 and 2 pixels a module, and pictures thresholded to black and
// white.
//
//   decode_rate [--quick | --hard]
//
// --quick takes every third picture only; --hard runs the hard groups alone.
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

// True when the picture decodes to the text.
bool decodesTo(ImageBuffer picture, const std::string& text) {
    ResultFields fields;
    auto context = std::make_unique<DecodeContext>();
    context->image = std::move(picture);
    decodeLoadedImage(fields, *context);
    releaseSymbols(*context);
    return fields.decoded && std::string(fields.message.begin(), fields.message.end()) == text;
}

// Every grey at or above the middle becomes white, the rest black.
void binarise(ImageBuffer& image) {
    const std::size_t bytes = static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height) * 3;
    for (std::size_t i = 0; i < bytes; ++i) image.pixels[i] = image.pixels[i] >= 128 ? 255 : 0;
}

// The hard groups. Each picture alternates the polarity; sizes and module
// sizes are those where the group's difficulty is real.
void runHardGroups() {
    std::map<std::string, Tally> groups;
    unsigned seed = 1000;
    auto tally = [&](const std::string& group, const std::string& text, int size, testing::RenderOptions options,
                     bool threshold) {
        ++seed;
        options.seed = seed;
        options.lightOnDark = seed % 2 == 0;
        ImageBuffer picture = testing::renderText(text, size, options).image;
        if (threshold) binarise(picture);
        Tally& t = groups[group];
        ++t.tried;
        if (decodesTo(std::move(picture), text)) ++t.decoded;
    };
    const int sizes[] = {10, 16, 24, 32, 48, 64, 96, 144};
    const double rightAngles[] = {0, 90, 180, 270};
    for (const int size : sizes) {
        for (int k = 0; k < 4; ++k) {
            const std::string text = testing::sampleText(size, seed + 7);
            testing::RenderOptions options;
            options.rotationDegrees = rightAngles[k];
            options.supersampling = 3;
            // No quiet zone: the symbol fills the picture, its finder on two edges.
            for (const int pixels : {3, 5}) {
                options.moduleSize = pixels;
                options.quietZone = 0.0;
                tally("quiet zone 0", text, size, options, false);
            }
            // One module of quiet zone at two and three pixels a module.
            for (const int pixels : {2, 3}) {
                options.moduleSize = pixels;
                options.quietZone = 1.0;
                tally("quiet zone 1 at " + std::to_string(pixels) + " px", text, size, options, false);
            }
            // Crisp pictures of whole-pixel modules at right angles; the
            // picture's size is set so that module edges fall on pixel edges.
            options.supersampling = 1;
            options.quietZone = 2.0;
            for (const int pixels : {1, 2}) {
                options.moduleSize = pixels;
                options.width = options.height = (size + 4) * pixels;
                tally("crisp " + std::to_string(pixels) + " px a module", text, size, options, false);
            }
            options.width = options.height = 0;
            options.supersampling = 3;
            // Heavy blur, a Gaussian in module units, at a slant.
            options.rotationDegrees = rightAngles[k] + 12.5;
            for (const double sigma : {0.5, 0.75, 1.0}) {
                for (const int pixels : {4, 8}) {
                    options.moduleSize = pixels;
                    options.blurSigma = sigma * pixels;
                    std::string name = "blur " + std::to_string(sigma).substr(0, 4) + " module";
                    tally(name, text, size, options, false);
                }
            }
            options.blurSigma = 0.0;
            // Thresholded pictures: a little blur and noise, then black and white.
            for (const int pixels : {3, 5}) {
                options.moduleSize = pixels;
                options.blurSigma = 0.3 * pixels;
                options.noiseSigma = 12.0;
                tally("binarised", text, size, options, true);
            }
            options.blurSigma = 0.0;
            options.noiseSigma = 0.0;
            // Keystone on the large sizes: one side shorter than the other by
            // the given share, along x or y.
            if (size >= 48) {
                for (const int percent : {10, 15, 20}) {
                    options.moduleSize = 4;
                    options.quietZone = 3.0;
                    const double term = percent / 100.0 / (size * options.moduleSize);
                    options.perspective[0] = k % 2 == 0 ? term : 0.0;
                    options.perspective[1] = k % 2 == 0 ? 0.0 : term;
                    options.rotationDegrees = 10.0 * k;
                    tally("keystone " + std::to_string(percent) + " %", text, size, options, false);
                }
                options.perspective[0] = options.perspective[1] = 0.0;
            }
        }
        std::fprintf(stderr, "hard %dx%d done\n", size, size);
    }
    printTable("hard group", groups);
}

}  // namespace

int main(int argc, char** argv) {
    const bool quick = argc > 1 && std::strcmp(argv[1], "--quick") == 0;
    const bool hardOnly = argc > 1 && std::strcmp(argv[1], "--hard") == 0;
    CapturingDiagnosticSink quiet;
    ScopedDiagnosticSink scope(quiet);
    if (hardOnly) {
        runHardGroups();
        return 0;
    }

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
                    const bool ok = decodesTo(testing::renderText(text, size, options).image, text);
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
    runHardGroups();
    return 0;
}
