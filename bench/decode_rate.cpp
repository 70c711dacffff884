// Decode rate over a generated set of pictures: symbol sizes x module sizes x
// rotations x picture conditions (clean, two blurs, two noise levels), both polarities
// alternating. Prints the share decoded per group and the decode time of the
// square pictures, then the same shares for the hard groups: quiet zones of 0
// and 1 module, heavy blur, strong keystone, crisp pictures of 1 and 2 pixels
// a module, pictures thresholded to black and white, and look-alikes of
// photographs (tilted labels on a gentle cylinder, uneven light, a JPEG round
// trip; large symbols at an angle; labels cut tight). Where the tree has
// them, also rectangular and DMRE symbols (the zint dumps), mirrored squares
// and pictures of several symbols.
//
//   decode_rate [--quick] [--squares] | --hard
//   decode_rate --times [--repeat N] [--fresh]
//   decode_rate --write-pictures DIR
//
// --quick takes every third square picture only; --squares leaves out the
// other groups; --hard runs the hard groups alone. --times instead times the
// decode (after loading) of every picture of the trace-diff set
// (support/picture_set.h), the median of N runs (default 3) a picture, and
// prints the median and 90th percentile per group, in milliseconds of the
// thread's processor time (steady on a machine shared with other work); one
// decode context serves every picture, or a new one each with --fresh.
// --write-pictures writes the pictures of that set as grey PNG files into DIR
// (for timing the command).
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <map>
#include <string>
#include <vector>

#include <turbojpeg.h>

#include "driver/decode_driver.h"
#include "core/diagnostics.h"
#include "image/pixel_import.h"
#include "support/picture_files.h"
#include "support/picture_set.h"
#include "support/symbol_writer.h"

#if __has_include("support/symbol_sheet.h")
#define TERNWICK_MORE_SYMBOLS 1
#include "support/symbol_sheet.h"
#include "support/zint_dumps.h"
#endif

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

double quantile(std::vector<double> values, double q) {
    std::sort(values.begin(), values.end());
    return values[static_cast<std::size_t>(q * static_cast<double>(values.size() - 1) + 0.5)];
}

// Milliseconds of processor time the calling thread has used.
double threadMilliseconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

int timeDecodes(int repeat, bool fresh) {
    std::map<std::string, std::vector<double>> byGroup;
    auto kept = std::make_unique<DecodeContext>();
    for (const testing::PictureRecipe& recipe : testing::pictureSet()) {
        const testing::GreyPicture picture = testing::renderPicture(recipe);
        std::vector<double> runs;
        for (int r = 0; r < repeat; ++r) {
            if (fresh) kept = std::make_unique<DecodeContext>();
            DecodeContext& context = *kept;
            importPixels(context.image, picture.grey.data(), picture.width, picture.height, picture.width,
                         PixelLayout::Grey);
            ResultFields fields;
            const double start = threadMilliseconds();
            decodeLoadedImage(fields, context);
            runs.push_back(threadMilliseconds() - start);
            releaseSymbols(context);
        }
        const double median = quantile(runs, 0.5);
        byGroup[recipe.group].push_back(median);
        byGroup["all"].push_back(median);
    }
    std::printf("%-30s %8s %12s %12s\n", "group", "pictures", "median ms", "90th pct ms");
    for (const auto& [name, times] : byGroup) {
        std::printf("%-30s %8zu %12.3f %12.3f\n", name.c_str(), times.size(), quantile(times, 0.5), quantile(times, 0.9));
    }
    return 0;
}

int writePictures(const std::string& directory) {
    int index = 0;
    for (const testing::PictureRecipe& recipe : testing::pictureSet()) {
        const testing::GreyPicture picture = testing::renderPicture(recipe);
        testing::PngLayout layout;
        layout.width = static_cast<std::uint32_t>(picture.width);
        layout.height = static_cast<std::uint32_t>(picture.height);
        layout.colourType = 0;  // grey
        for (int y = 0; y < picture.height; ++y) {
            const auto* row = picture.grey.data() + static_cast<std::size_t>(y) * picture.width;
            layout.rows.emplace_back(row, row + picture.width);
        }
        char name[32];
        std::snprintf(name, sizeof name, "/%03d-", index++);
        testing::writeFile(directory + name + recipe.name + ".png", testing::makePng(layout));
    }
    std::printf("%d pictures written to %s\n", index, directory.c_str());
    return 0;
}

// Decodes a picture as the command does; the milliseconds it took go to times.
ResultFields decodePicture(ImageBuffer image, std::vector<double>* times = nullptr, int maxSymbols = 1) {
    ResultFields fields;
    auto context = std::make_unique<DecodeContext>();
    context->image = std::move(image);
    const auto start = std::chrono::steady_clock::now();
#ifdef TERNWICK_MORE_SYMBOLS
    decodeLoadedImage(fields, *context, maxSymbols);
#else
    (void)maxSymbols;
    decodeLoadedImage(fields, *context);
#endif
    if (times != nullptr) {
        times->push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    releaseSymbols(*context);
    return fields;
}

bool decodedAs(const ResultFields& fields, const std::string& text) {
    return fields.decoded && std::string(fields.message.begin(), fields.message.end()) == text;
}

#ifdef TERNWICK_MORE_SYMBOLS
const testing::RenderOptions kCleanRender = [] {
    testing::RenderOptions options;
    options.quietZone = 3.0;
    options.supersampling = 3;
    return options;
}();

// A rectangle at the bottom left of a light square, for the square renderer.
testing::ModuleMatrix onSquare(const testing::ModuleMatrix& modules) {
    const std::size_t side = std::max(modules.size(), modules[0].size());
    testing::ModuleMatrix square(side, std::vector<bool>(side, false));
    for (std::size_t r = 0; r < modules.size(); ++r) {
        std::copy(modules[r].begin(), modules[r].end(), square[side - modules.size() + r].begin());
    }
    return square;
}

// Rectangular and DMRE symbols (zint's), mirrored squares and sheets of several symbols.
void moreGroups() {
    std::map<std::string, Tally> groups;
    const double rotations[] = {0, 15, 30, 90, 180, 270};
    unsigned index = 0;
    for (const testing::ZintDump& d : testing::allDumps("zint-rect")) {
        if (d.scheme != "ascii") continue;
        const bool dmre = findShapeIndex(d.size, d.columns) >= kFirstRectangularIndex + 6;
        for (const double rotation : rotations) {
            for (const double noise : {0.0, 20.0}) {
                testing::RenderOptions options = kCleanRender;
                options.moduleSize = d.columns > 64 ? 3.0 : 4.0;
                options.rotationDegrees = rotation;
                options.noiseSigma = noise;
                options.lightOnDark = ++index % 2 == 0;
                options.seed = index;
                const ResultFields fields = decodePicture(testing::renderSymbol(onSquare(d.modules), options).image);
                Tally& tally = groups[dmre ? "DMRE" : "rectangular"];
                ++tally.tried;
                if (decodedAs(fields, d.message)) ++tally.decoded;
            }
        }
    }
    for (const int size : {10, 16, 24, 32, 48, 64}) {
        const std::string text = testing::sampleText(size, static_cast<unsigned>(size));
        testing::ModuleMatrix modules =
            testing::symbolModules(size, testing::addCheckCodewords(testing::encodeAscii(text, size), size));
        for (auto& row : modules) std::reverse(row.begin(), row.end());
        for (const double rotation : rotations) {
            for (const double noise : {0.0, 20.0}) {
                testing::RenderOptions options = kCleanRender;
                options.moduleSize = size > 32 ? 3.0 : 5.0;
                options.rotationDegrees = rotation;
                options.noiseSigma = noise;
                options.lightOnDark = ++index % 2 == 0;
                options.seed = index;
                const ResultFields fields = decodePicture(testing::renderSymbol(modules, options).image);
                Tally& tally = groups["mirrored"];
                ++tally.tried;
                if (decodedAs(fields, text)) ++tally.decoded;
            }
        }
    }
    // Sheets: the share of their symbols found, each once.
    for (const int count : {2, 5, 12}) {
        for (const bool upright : {true, false}) {
            testing::SymbolSheet sheet = testing::composeSheet(testing::mixedSymbols(count, {10, 16, 24, 32, 12}, upright));
            const ResultFields fields = decodePicture(std::move(sheet.image), nullptr, 50);
            std::vector<std::string> found;
            if (fields.decoded) found.emplace_back(fields.message.begin(), fields.message.end());
            for (const ResultFields& further : fields.furtherSymbols) {
                found.emplace_back(further.message.begin(), further.message.end());
            }
            Tally& tally = groups["several (" + std::to_string(count) + " a sheet)"];
            tally.tried += count;
            for (const std::string& text : sheet.texts) {
                if (std::count(found.begin(), found.end(), text) == 1) ++tally.decoded;
            }
        }
    }
    printTable("more symbols", groups);
}
#endif

// True when the picture decodes to the text.
bool decodesTo(ImageBuffer picture, const std::string& text) { return decodedAs(decodePicture(std::move(picture)), text); }

// Every grey at or above the middle becomes white, the rest black.
void binarise(ImageBuffer& image) {
    const std::size_t bytes = static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height);
    for (std::size_t i = 0; i < bytes; ++i) image.pixels[i] = image.pixels[i] >= 128 ? 255 : 0;
}

// A look-alike of a photograph of a printed label: the rendered picture
// wrapped round a cylinder whose axis runs along y (radius in picture
// widths), lit unevenly (a light spot, the far corner at shade of its light),
// then written as a JPEG of the given quality and read back.
struct PhotoLook {
    double cylinderRadius = 0.0;  // 0: flat
    double shade = 1.0;           // the light at the darkest corner, 1 for even light
    int jpegQuality = 0;          // 0: no JPEG round trip
};

ImageBuffer photographed(const ImageBuffer& picture, const PhotoLook& look) {
    const int width = picture.width;
    const int height = picture.height;
    const double cx = (width - 1) / 2.0;
    const double radius = look.cylinderRadius * width;
    const auto sample = [&](double x, int y) {
        const double clamped = std::clamp(x, 0.0, width - 1.0);
        const int x0 = static_cast<int>(clamped);
        const int x1 = std::min(x0 + 1, width - 1);
        const double f = clamped - x0;
        return greyAt(picture, x0, y) * (1.0 - f) + greyAt(picture, x1, y) * f;
    };
    const double spotX = 0.3 * width;
    const double spotY = 0.7 * height;
    const double reach = std::hypot(width - spotX, spotY);
    ImageBuffer out = testing::makeGreyImage(width, height, [&](int x, int y) {
        // The label's arc length that shows at x, taken from the flat picture.
        double source = x;
        if (radius > 0.0) source = cx + radius * std::asin(std::clamp((x - cx) / radius, -1.0, 1.0));
        const double light = 1.0 - (1.0 - look.shade) * std::hypot(x - spotX, y - spotY) / reach;
        return static_cast<std::uint8_t>(std::clamp(std::lround(sample(source, y) * light), 0L, 255L));
    });
    if (look.jpegQuality <= 0) return out;
    std::vector<std::uint8_t> grey(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) grey[static_cast<std::size_t>(y) * width + x] = greyAt(out, x, y);
    }
    tjhandle compressor = tjInitCompress();
    unsigned char* jpeg = nullptr;
    unsigned long jpegSize = 0;
    const int packed = tjCompress2(compressor, grey.data(), width, width, height, TJPF_GRAY, &jpeg, &jpegSize,
                                   TJSAMP_GRAY, look.jpegQuality, 0);
    tjDestroy(compressor);
    tjhandle decompressor = tjInitDecompress();
    const int unpacked = packed == 0 ? tjDecompress2(decompressor, jpeg, jpegSize, grey.data(), width, width, height,
                                                     TJPF_GRAY, 0)
                                     : -1;
    tjDestroy(decompressor);
    tjFree(jpeg);
    if (unpacked != 0) return out;
    return testing::makeGreyImage(width, height,
                                  [&](int x, int y) { return grey[static_cast<std::size_t>(y) * width + x]; });
}

// The hard groups. Each picture alternates the polarity; sizes and module
// sizes are those where the group's difficulty is real.
void runHardGroups() {
    std::map<std::string, Tally> groups;
    unsigned seed = 1000;
    auto tally = [&](const std::string& group, const std::string& text, int size, testing::RenderOptions options,
                     bool threshold, const PhotoLook* look = nullptr) {
        ++seed;
        options.seed = seed;
        options.lightOnDark = seed % 2 == 0;
        ImageBuffer picture = testing::renderText(text, size, options).image;
        if (look != nullptr) picture = photographed(picture, *look);
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
    // Photograph look-alikes: a label at a slant, tilted (a projective map),
    // on a gentle cylinder, lit unevenly, with little contrast, slightly soft
    // and noisy, saved as a JPEG; large symbols of several regions at an
    // angle; labels cut tight round the symbol; and all of it thresholded.
    for (const int size : {16, 24, 32, 48, 64, 96, 144}) {
        for (int k = 0; k < 4; ++k) {
            const std::string text = testing::sampleText(size, seed + 11);
            testing::RenderOptions options;
            options.supersampling = 3;
            options.moduleSize = size >= 64 ? 3.0 : 5.0;
            options.quietZone = 2.0;
            options.rotationDegrees = 20.0 + 90.0 * k + 7.0 * (size % 5);
            const double tilt = (0.06 + 0.02 * k) / (size * options.moduleSize);
            options.perspective[0] = k % 2 == 0 ? tilt : 0.3 * tilt;
            options.perspective[1] = k % 2 == 0 ? 0.3 * tilt : tilt;
            options.darkLevel = 50;
            options.lightLevel = 200;
            options.blurSigma = 0.3 * options.moduleSize;
            options.noiseSigma = 5.0;
            const PhotoLook look{1.2, 0.6, 75};
            tally(size >= 64 ? "photo: large, slanted" : "photo: label", text, size, options, false, &look);
            // Cut tight: half a module of margin, the label's edge the picture's.
            options.quietZone = 0.5;
            tally("photo: cut tight", text, size, options, false, &look);
            options.quietZone = 2.0;
            tally("photo: thresholded", text, size, options, true, &look);
        }
    }
    // Keystone on the small sizes too, after every other group so that their
    // pictures stay as they were.
    for (const int size : {10, 16, 24, 32}) {
        for (int k = 0; k < 4; ++k) {
            const std::string text = testing::sampleText(size, seed + 7);
            testing::RenderOptions options;
            options.supersampling = 3;
            options.moduleSize = 4;
            options.quietZone = 3.0;
            options.rotationDegrees = 10.0 * k;
            for (const int percent : {10, 15, 20}) {
                const double term = percent / 100.0 / (size * options.moduleSize);
                options.perspective[0] = k % 2 == 0 ? term : 0.0;
                options.perspective[1] = k % 2 == 0 ? 0.0 : term;
                tally("keystone " + std::to_string(percent) + " %, 10-32", text, size, options, false);
            }
        }
    }
    printTable("hard group", groups);
}

}  // namespace

int main(int argc, char** argv) {
    bool quick = false;
    bool squaresOnly = false;
    bool hardOnly = false;
    bool timed = false;
    bool fresh = false;
    int repeat = 3;
    for (int i = 1; i < argc; ++i) {
        quick = quick || std::strcmp(argv[i], "--quick") == 0;
        squaresOnly = squaresOnly || std::strcmp(argv[i], "--squares") == 0;
        hardOnly = hardOnly || std::strcmp(argv[i], "--hard") == 0;
        timed = timed || std::strcmp(argv[i], "--times") == 0;
        fresh = fresh || std::strcmp(argv[i], "--fresh") == 0;
        if (std::strcmp(argv[i], "--repeat") == 0 && i + 1 < argc) repeat = std::max(1, std::atoi(argv[++i]));
        if (std::strcmp(argv[i], "--write-pictures") == 0 && i + 1 < argc) return writePictures(argv[i + 1]);
    }
    CapturingDiagnosticSink quiet;
    ScopedDiagnosticSink scope(quiet);
    if (timed) return timeDecodes(repeat, fresh);
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
    std::vector<double> times;
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
                    const bool ok = decodedAs(decodePicture(testing::renderText(text, size, options).image, &times), text);
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
    double total = 0.0;
    for (const double t : times) total += t;
    std::sort(times.begin(), times.end());
    std::printf("square decode time: %.1f ms in all, median %.3f ms a picture\n", total,
                times.empty() ? 0.0 : times[times.size() / 2]);
    if (!squaresOnly) runHardGroups();
#ifdef TERNWICK_MORE_SYMBOLS
    if (!squaresOnly) moreGroups();
#else
    (void)squaresOnly;
#endif
    return 0;
}
