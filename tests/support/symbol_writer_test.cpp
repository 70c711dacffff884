#include "support/symbol_writer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <stdexcept>

#include "image/png_loader.h"
#include "support/picture_files.h"

namespace ternwick::testing {
namespace {

std::uint8_t greyNear(const ImageBuffer& image, Vector2 p) {
    const int x = static_cast<int>(std::lround(p.x));
    const int y = static_cast<int>(std::lround(p.y));
    EXPECT_TRUE(x >= 0 && y >= 0 && x < image.width && y < image.height) << x << "," << y;
    return greyAt(image, x, y);
}

// Every module centre of the picture shows the module's colour.
void expectModulesVisible(const RenderedSymbol& r, const ModuleMatrix& modules, bool lightOnDark = false) {
    const int S = static_cast<int>(modules.size());
    int wrong = 0;
    for (int row = 0; row < S; ++row) {
        for (int col = 0; col < S; ++col) {
            const bool dark = modules[static_cast<std::size_t>(row)][static_cast<std::size_t>(col)];
            const std::uint8_t g = greyNear(r.image, r.toImage(col + 0.5, S - 1 - row + 0.5));
            if ((g < 128) != (dark != lightOnDark)) ++wrong;
        }
    }
    EXPECT_EQ(wrong, 0);
}

TEST(SymbolWriterCodewords, AsciiDigitPairsUpperShiftAndPads) {
    // The worked example of the standard: "123456" in 10x10.
    const std::vector<std::uint8_t> example = addCheckCodewords(encodeAscii("123456", 10), 10);
    EXPECT_EQ(example, (std::vector<std::uint8_t>{142, 164, 186, 114, 25, 5, 88, 102}));

    EXPECT_EQ(asciiCodewords("A1b23\xE9" "4"), (std::vector<std::uint8_t>{66, 50, 99, 153, 235, 106, 53}));
    // First pad 129, then 253-state pads: position 3 -> 129 + 194 + 1 - 254 = 70.
    const std::vector<std::uint8_t> padded = encodeAscii("A", 12);
    EXPECT_EQ(padded, (std::vector<std::uint8_t>{66, 129, 70, 220, 115}));
    EXPECT_THROW(encodeAscii("ABCD", 10), std::length_error);
    EXPECT_EQ(encodeAscii("ABC", 10).size(), 3u);  // exactly full: no pad
    EXPECT_THROW(addCheckCodewords({1, 2}, 10), std::invalid_argument);
    EXPECT_THROW(mappingSizeOf(28), std::invalid_argument);
}

TEST(SymbolRenderer, UprightSymbolIsPixelAlignedWithExactGroundTruth) {
    RenderOptions options;
    options.moduleSize = 4;
    options.quietZone = 2;
    const RenderedSymbol r = renderText("Up12", 12, options);
    EXPECT_EQ(r.image.width, 64);
    EXPECT_EQ(r.image.height, 64);
    EXPECT_FLOAT_EQ(r.finderCorner.x, 7.5f);
    EXPECT_FLOAT_EQ(r.finderCorner.y, 7.5f);
    EXPECT_FLOAT_EQ(r.solidRowEnd.x, 55.5f);
    EXPECT_FLOAT_EQ(r.solidRowEnd.y, 7.5f);
    EXPECT_FLOAT_EQ(r.solidColumnEnd.x, 7.5f);
    EXPECT_FLOAT_EQ(r.solidColumnEnd.y, 55.5f);
    for (std::size_t p = 0; p < 64u * 64u; ++p) {
        const std::uint8_t g = r.image.pixels[p];
        ASSERT_TRUE(g == 0 || g == 255);
    }
    // Bottom-left pixel of the finder is dark, the quiet zone next to it light.
    EXPECT_EQ(greyAt(r.image, 8, 8), 0);
    EXPECT_EQ(greyAt(r.image, 7, 8), 255);
    EXPECT_EQ(greyAt(r.image, 8, 7), 255);
    expectModulesVisible(r, symbolModules(12, addCheckCodewords(encodeAscii("Up12", 12), 12)));
}

TEST(SymbolRenderer, RotatedWarpedAndInvertedSymbolsShowEveryModule) {
    const ModuleMatrix modules = symbolModules(32, addCheckCodewords(encodeAscii("Rotated 32", 32), 32));
    RenderOptions options;
    options.rotationDegrees = 33.0;
    const RenderedSymbol rotated = renderSymbol(modules, options);
    expectModulesVisible(rotated, modules);
    // The finder corner turned by 33 degrees around the centre.
    const double cx = (rotated.image.width - 1) / 2.0;
    const double cy = (rotated.image.height - 1) / 2.0;
    const double angle = std::atan2(rotated.finderCorner.y - cy, rotated.finderCorner.x - cx) * 180.0 / M_PI;
    EXPECT_NEAR(angle, -135.0 + 33.0, 1e-3);
    // Anti-aliased edges: some pixels are neither dark nor light.
    int mixed = 0;
    for (std::int32_t p = 0; p < rotated.image.width * rotated.image.height; ++p) {
        const std::uint8_t g = rotated.image.pixels[static_cast<std::size_t>(p)];
        mixed += (g != 0 && g != 255) ? 1 : 0;
    }
    EXPECT_GT(mixed, 100);

    options.lightOnDark = true;
    const RenderedSymbol inverted = renderSymbol(modules, options);
    expectModulesVisible(inverted, modules, true);
    for (std::int32_t p = 0; p < rotated.image.width * rotated.image.height; p += 7) {
        const int sum = rotated.image.pixels[static_cast<std::size_t>(p)] +
                        inverted.image.pixels[static_cast<std::size_t>(p)];
        ASSERT_NEAR(sum, 255, 1);
    }

    RenderOptions warped;
    warped.rotationDegrees = -70.0;
    warped.affine[1] = 0.25;  // shear
    warped.affine[3] = 0.8;
    warped.perspective[0] = 0.0015;
    warped.perspective[1] = -0.001;
    const RenderedSymbol keystone = renderSymbol(modules, warped);
    expectModulesVisible(keystone, modules);
    // Opposite sides of a keystoned square differ in length.
    auto length = [](Vector2 a, Vector2 b) { return std::hypot(a.x - b.x, a.y - b.y); };
    const Vector2 far = keystone.toImage(32, 32);
    EXPECT_GT(std::fabs(length(keystone.finderCorner, keystone.solidRowEnd) - length(keystone.solidColumnEnd, far)),
              3.0);
}

TEST(SymbolRenderer, ContrastGradientPlacementBlurAndNoise) {
    const ModuleMatrix modules = symbolModules(10, addCheckCodewords(encodeAscii("Ab", 10), 10));
    RenderOptions options;
    options.width = 120;
    options.height = 80;
    options.centreX = 30;
    options.centreY = 50;
    options.darkLevel = 60;
    options.lightLevel = 180;
    options.illuminationGradient = 40;
    const RenderedSymbol plain = renderSymbol(modules, options);
    ASSERT_EQ(plain.image.width, 120);
    EXPECT_EQ(greyAt(plain.image, 0, 0), 180);
    EXPECT_EQ(greyAt(plain.image, 119, 0), 220);
    EXPECT_NEAR(plain.toImage(5, 5).x, 30.0f, 1e-4);
    EXPECT_NEAR(plain.toImage(5, 5).y, 50.0f, 1e-4);
    // The finder corner module: dark level plus the gradient at its column.
    const Vector2 corner = plain.toImage(0.5, 0.5);
    EXPECT_NEAR(greyNear(plain.image, corner), 60 + 40.0 * std::lround(corner.x) / 119, 1.0);

    options.blurSigma = 1.5;
    const RenderedSymbol blurred = renderSymbol(modules, options);
    expectModulesVisible(blurred, modules);  // 5-pixel modules survive a small blur
    options.noiseSigma = 8;
    const RenderedSymbol noisy = renderSymbol(modules, options);
    const RenderedSymbol again = renderSymbol(modules, options);
    options.seed = 2;
    const RenderedSymbol other = renderSymbol(modules, options);
    double meanShift = 0;
    int differs = 0;
    const std::size_t count = 120u * 80u;
    for (std::size_t p = 0; p < count; ++p) {
        ASSERT_EQ(noisy.image.pixels[p], again.image.pixels[p]);
        differs += noisy.image.pixels[p] != other.image.pixels[p] ? 1 : 0;
        meanShift += noisy.image.pixels[p] - blurred.image.pixels[p];
    }
    EXPECT_GT(differs, static_cast<int>(count / 2));
    EXPECT_NEAR(meanShift / count, 0.0, 0.5);
}

TEST(SymbolRenderer, RefusesOptionsThatMakeNoPicture) {
    const ModuleMatrix modules = symbolModules(10, addCheckCodewords(encodeAscii("A", 10), 10));
    RenderOptions options;
    options.affine[0] = 0;
    options.affine[2] = 0;
    EXPECT_THROW(renderSymbol(modules, options), std::invalid_argument);
    options = RenderOptions{};
    options.moduleSize = 0;
    EXPECT_THROW(renderSymbol(modules, options), std::invalid_argument);
    options = RenderOptions{};
    options.moduleSize = 1e6;
    EXPECT_THROW(renderSymbol(modules, options), std::invalid_argument);
}

TEST(SymbolRenderer, LargestSymbolRendersQuicklyAndSurvivesAPngFile) {
    RenderOptions options;
    options.rotationDegrees = 12.0;
    const auto start = std::chrono::steady_clock::now();
    const RenderedSymbol r = renderText("The largest symbol", 144, options);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    RecordProperty("render_seconds", std::to_string(seconds));
    EXPECT_LT(seconds, 5.0);  // well under one second in practice; generous for loaded machines

    const std::vector<std::uint8_t> png = greyImageToPng(r.image);
    ImageBuffer loaded;
    ASSERT_EQ(loadPngMemory(loaded, png.data(), png.size()), 1);
    ASSERT_EQ(loaded.width, r.image.width);
    ASSERT_EQ(loaded.height, r.image.height);
    EXPECT_EQ(std::memcmp(loaded.pixels.get(), r.image.pixels.get(),
                          static_cast<std::size_t>(r.image.width) * static_cast<std::size_t>(r.image.height)),
              0);
}

}  // namespace
}  // namespace ternwick::testing
