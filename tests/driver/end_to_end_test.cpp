// Whole decodes through decodeImageFile of pictures written to BMP and PNG
// files: symbols from the writer in every size, turned and in both
// polarities, zint's symbols in every encodation scheme, every kind of file,
// damaged and cut symbols, and symbols only the second pass finds.
#include <gtest/gtest.h>
#include <png.h>

#include <algorithm>
#include <fstream>
#include <sstream>

#include "driver/decode_driver.h"
#include "core/diagnostics.h"
#include "driver/decode_trace.h"
#include "support/decode_run.h"
#include "support/picture_files.h"
#include "support/symbol_records.h"
#include "support/symbol_writer.h"
#include "support/zint_dumps.h"

namespace ternwick {
namespace {

using testing::ModuleMatrix;
using testing::RenderOptions;

using Decoded = testing::DecodeRun;

Decoded decodeFile(const std::string& path) { return std::move(*testing::decodeFileOnce(path, true)); }

Decoded decodeFileBytes(const std::string& name, const std::vector<std::uint8_t>& bytes) {
    const std::string path = testing::scratchDirectory() + "/" + name;
    testing::writeFile(path, bytes);
    return decodeFile(path);
}

Decoded decodePicture(const ImageBuffer& image, bool asPng) {
    return asPng ? decodeFileBytes("picture.png", testing::greyImageToPng(image))
                 : decodeFileBytes("picture.bmp", testing::greyImageToBmp(image));
}

std::string bytesOf(const std::vector<std::uint8_t>& message) { return std::string(message.begin(), message.end()); }

TEST(EndToEnd, EverySizeTurnedAndInBothPolarities) {
    const double rotations[] = {0, 5, 15, 30, 90, 180, 270};
    const double moduleSizes[] = {4, 5, 6};
    int decoded = 0;
    int tried = 0;
    unsigned seed = 0;
    for (const SymbolSize& size : kSymbolSizes) {
        for (const double rotation : rotations) {
            ++seed;
            RenderOptions options;
            options.moduleSize = moduleSizes[seed % 3];
            options.rotationDegrees = rotation;
            options.lightOnDark = seed % 2 == 1;
            options.quietZone = 2.0 + seed % 2;
            const std::string text = testing::sampleText(size.symbolSize, seed);
            const auto rendered = testing::renderText(text, size.symbolSize, options);
            const Decoded result = decodePicture(rendered.image, seed % 4 != 0);
            std::ostringstream what;
            what << size.symbolSize << "x" << size.symbolSize << " at " << options.moduleSize << " px, " << rotation
                 << " degrees" << (options.lightOnDark ? ", light on dark" : "");
            ++tried;
            const bool ok = result.fields.decoded && bytesOf(result.fields.message) == text &&
                            result.fields.symbolSize == size.symbolSize;
            if (ok) ++decoded;
            if (!ok) ADD_FAILURE() << what.str();
        }
    }
    std::cout << "[ decoded  ] " << decoded << " of " << tried << "\n";
}

std::string schemeNameOf(const std::string& scheme) {
    if (scheme == "c40") return "C40 Latch";
    if (scheme == "text") return "Text Latch";
    if (scheme == "x12") return "X12 Latch";
    if (scheme == "edifact") return "EDIFACT Latch";
    if (scheme == "base256") return "Base256 Latch";
    if (scheme == "uppershift") return "Upper Shift Latch";
    return "";
}

TEST(EndToEnd, ZintSymbolsOfEverySchemeDecodeToTheirMessages) {
    CapturingDiagnosticSink quiet;  // X12 symbols echo their characters
    ScopedDiagnosticSink scope(quiet);
    int tried = 0;
    for (const testing::ZintDump& dump : testing::allDumps()) {
        if (dump.size > 48) continue;  // the large sizes are covered above
        ++tried;
        RenderOptions options;
        options.moduleSize = 5.0;
        options.rotationDegrees = tried % 3 == 0 ? 15.0 : 0.0;
        const auto rendered = testing::renderSymbol(dump.modules, options);
        const Decoded result = decodePicture(rendered.image, tried % 2 == 0);
        ASSERT_TRUE(result.fields.decoded) << dump.name;
        // The codeword layer alone on zint's own modules gives the bytes to expect
        // (for EDIFACT the hexadecimal of its codewords, else zint's message).
        const auto layer = testing::decodeMapping(dump.size, testing::mappingFromSymbol(dump.size, dump.modules));
        EXPECT_EQ(bytesOf(result.fields.message), layer.message) << dump.name;
        if (dump.scheme != "edifact") {
            EXPECT_EQ(bytesOf(result.fields.message), dump.message) << dump.name;
        }
        EXPECT_EQ(result.fields.schemeText, schemeNameOf(dump.scheme)) << dump.name;
        EXPECT_EQ(result.fields.statusText, schemeNameOf(dump.scheme).empty() ? "" : "Success!") << dump.name;
    }
    EXPECT_GT(tried, 60);
}

// One symbol, drawn once, written as every kind of file the loaders take.
TEST(EndToEnd, EveryKindOfFileOfOneSymbol) {
    const std::string text = "FILES 0123 of every kind";
    RenderOptions options;
    options.moduleSize = 5.0;
    options.supersampling = 1;  // crisp black and white, so that palettes lose nothing
    const auto rendered = testing::renderText(text, 24, options);
    const ImageBuffer& image = rendered.image;
    const int width = image.width;
    const int height = image.height;
    auto grey = [&](int x, int yTop) { return greyAt(image, x, height - 1 - yTop); };

    std::vector<std::pair<std::string, std::vector<std::uint8_t>>> files;
    for (const int bits : {1, 4, 8, 24}) {
        testing::BmpLayout layout;
        layout.width = width;
        layout.height = height;
        layout.bitCount = static_cast<std::uint16_t>(bits);
        if (bits <= 8) layout.palette = {0x000000, 0xFFFFFF};
        layout.pixel = [&, bits](int x, int yTop) -> std::uint32_t {
            const std::uint32_t g = grey(x, yTop);
            if (bits <= 8) return g >= 128 ? 1u : 0u;
            return g * 0x010101u;
        };
        files.emplace_back("depth" + std::to_string(bits) + ".bmp", testing::makeBmp(layout));
        if (bits == 24) {
            layout.topDown = true;
            files.emplace_back("topdown.bmp", testing::makeBmp(layout));
        }
    }
    auto pngRows = [&](int bytesPerSample, int channels, bool alpha) {
        std::vector<std::vector<std::uint8_t>> rows;
        for (int yTop = 0; yTop < height; ++yTop) {
            std::vector<std::uint8_t> row;
            for (int x = 0; x < width; ++x) {
                for (int c = 0; c < channels; ++c) {
                    for (int b = 0; b < bytesPerSample; ++b) row.push_back(grey(x, yTop));
                }
                if (alpha) {
                    for (int b = 0; b < bytesPerSample; ++b) row.push_back(static_cast<std::uint8_t>(x * 7));
                }
            }
            rows.push_back(row);
        }
        return rows;
    };
    struct PngKind {
        const char* name;
        int colourType;
        int bitDepth;
        int channels;
        bool alpha;
        bool interlaced;
    };
    for (const PngKind& kind : {PngKind{"rgb.png", PNG_COLOR_TYPE_RGB, 8, 3, false, false},
                                PngKind{"grey16.png", PNG_COLOR_TYPE_GRAY, 16, 1, false, false},
                                PngKind{"rgba16.png", PNG_COLOR_TYPE_RGB_ALPHA, 16, 3, true, false},
                                PngKind{"greyalpha.png", PNG_COLOR_TYPE_GRAY_ALPHA, 8, 1, true, false},
                                PngKind{"interlaced.png", PNG_COLOR_TYPE_GRAY, 8, 1, false, true}}) {
        testing::PngLayout layout;
        layout.width = static_cast<std::uint32_t>(width);
        layout.height = static_cast<std::uint32_t>(height);
        layout.colourType = kind.colourType;
        layout.bitDepth = kind.bitDepth;
        layout.interlaced = kind.interlaced;
        layout.rows = pngRows(kind.bitDepth / 8, kind.channels, kind.alpha);
        files.emplace_back(kind.name, testing::makePng(layout));
    }
    testing::PngLayout palette;
    palette.width = static_cast<std::uint32_t>(width);
    palette.height = static_cast<std::uint32_t>(height);
    palette.colourType = PNG_COLOR_TYPE_PALETTE;
    palette.palette = {0x102030, 0xF0F0E0};
    palette.transparency = {255, 0};
    for (int yTop = 0; yTop < height; ++yTop) {
        std::vector<std::uint8_t> row;
        for (int x = 0; x < width; ++x) row.push_back(grey(x, yTop) >= 128 ? 1 : 0);
        palette.rows.push_back(row);
    }
    files.emplace_back("palette.png", testing::makePng(palette));

    for (const auto& [name, bytes] : files) {
        const Decoded result = decodeFileBytes(name, bytes);
        EXPECT_EQ(bytesOf(result.fields.message), text) << name;
    }
}

TEST(EndToEnd, APictureWithoutSymbolFails) {
    for (const bool noise : {false, true}) {
        unsigned state = 7;
        const ImageBuffer image = testing::makeGreyImage(160, 120, [&](int x, int y) -> std::uint8_t {
            if (!noise) return static_cast<std::uint8_t>(100 + x / 4 + y / 8);
            state = state * 1103515245u + 12345u;
            return static_cast<std::uint8_t>(state >> 24);
        });
        const Decoded result = decodePicture(image, true);
        EXPECT_EQ(result.result, 0);
        EXPECT_EQ(result.fields.statusText, "Failed!");
        EXPECT_EQ(result.fields.schemeText, "");
        EXPECT_EQ(result.fields.asciiText, "");
        EXPECT_FALSE(result.fields.decoded);
        EXPECT_EQ(result.trace.decodedPass, 0);
    }
}

ModuleMatrix symbolOfText(const std::string& text, int size) {
    return testing::symbolModules(size, testing::addCheckCodewords(testing::encodeAscii(text, size), size));
}

TEST(EndToEnd, DamagedModulesAreCorrectedAndTooMuchDamageIsRefused) {
    const std::string text = "Damaged but readable 2026";
    ModuleMatrix modules = symbolOfText(text, 26);
    // A blot of 4x4 modules inside the symbol and a few single flips.
    for (int r = 8; r < 12; ++r) {
        for (int c = 9; c < 13; ++c) modules[r][c] = !modules[r][c];
    }
    for (const auto& [r, c] : {std::pair{3, 20}, {17, 5}, {21, 14}}) modules[r][c] = !modules[r][c];
    RenderOptions options;
    options.moduleSize = 5.0;
    options.rotationDegrees = 5.0;
    const Decoded repaired = decodePicture(testing::renderSymbol(modules, options).image, true);
    EXPECT_EQ(bytesOf(repaired.fields.message), text);

    // Half of the data region wiped: no correction can recover that.
    for (int r = 1; r < 13; ++r) {
        for (int c = 1; c < 25; ++c) modules[r][c] = (r + c) % 3 == 0;
    }
    const Decoded wrecked = decodePicture(testing::renderSymbol(modules, options).image, true);
    EXPECT_FALSE(wrecked.fields.decoded);
    EXPECT_EQ(wrecked.fields.statusText, "Failed!");
    ASSERT_TRUE(wrecked.trace.hasCandidate);
    EXPECT_EQ(wrecked.trace.candidate.correction, "failed");
    EXPECT_EQ(wrecked.trace.candidate.failedStage, "correction");
}

// Turned clockwise, a symbol meets the picture's right border with the corner
// opposite its finder first; the modules cut off become erasures.
Decoded decodeCutSymbol(const std::string& text, int symbolSize, double cutModules) {
    RenderOptions options;
    options.moduleSize = 5.0;
    options.quietZone = 3.0;
    options.rotationDegrees = -30.0;
    const auto rendered = testing::renderText(text, symbolSize, options);
    const int keep = static_cast<int>(rendered.toImage(symbolSize, symbolSize).x - cutModules * options.moduleSize);
    const ImageBuffer& full = rendered.image;
    const ImageBuffer cut =
        testing::makeGreyImage(keep, full.height, [&](int x, int y) { return greyAt(full, x, y); });
    return decodePicture(cut, false);
}

TEST(EndToEnd, ASymbolCutByThePicturesBorderDecodesThroughErasures) {
    const std::string text = "Cut by the border";
    const Decoded result = decodeCutSymbol(text, 32, 9.6);
    EXPECT_EQ(bytesOf(result.fields.message), text);
    ASSERT_TRUE(result.trace.hasCandidate);
    EXPECT_GT(result.trace.candidate.erasures, 5);
    EXPECT_LE(result.trace.candidate.erasures, kSymbolSizes[findSizeIndex(32)].maxErasures);
}

TEST(EndToEnd, SymbolsOnlyTheSecondPassFinds) {
    // Dark modules on the right of the symbol are lighter than light ones on its left.
    RenderOptions uneven;
    uneven.moduleSize = 6.0;
    uneven.quietZone = 3.0;
    uneven.darkLevel = 20;
    uneven.lightLevel = 120;
    uneven.illuminationGradient = 124.0;
    const std::string text = "Second pass";
    const Decoded result = decodePicture(testing::renderText(text, 24, uneven).image, true);
    EXPECT_EQ(bytesOf(result.fields.message), text);
    EXPECT_EQ(result.trace.decodedPass, 2);
    EXPECT_EQ(result.trace.candidate.pass, 2);
    EXPECT_EQ(result.trace.candidate.attempt, 2);  // through the thresholded retry
}

// Pictures zint itself wrote (tests/data/zint-pictures, made by make_pictures.sh there).
TEST(EndToEnd, PicturesWrittenByZint) {
    const std::string folder = TERNWICK_SOURCE_DIR "/tests/data/zint-pictures/";
    std::ifstream manifest(folder + "messages.txt");
    ASSERT_TRUE(manifest.good());
    std::string name;
    std::string scheme;
    std::string hex;
    int count = 0;
    while (manifest >> name >> scheme >> hex) {
        const Decoded result = decodeFile(folder + name);
        EXPECT_TRUE(result.fields.decoded) << name;
        EXPECT_EQ(bytesOf(result.fields.message), testing::fromHex(hex)) << name;
        EXPECT_EQ(result.fields.schemeText, schemeNameOf(scheme)) << name;
        ++count;
    }
    EXPECT_GE(count, 6);
}

}  // namespace
}  // namespace ternwick
