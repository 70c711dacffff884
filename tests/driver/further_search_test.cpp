// The further passes: pictures today's two passes cannot read (no quiet zone,
// the finder on the picture's edge, one or two pixels a module, heavy blur) decode in
// pass 3 with their corners where they were drawn, and pictures the first two
// passes read keep their pass.
#include <gtest/gtest.h>

#include <array>
#include <vector>
#include <string>

#include "driver/further_search.h"
#include "support/symbol_writer.h"
#include "ternwick/ternwick.h"

namespace ternwick {
namespace {

struct Outcome {
    bool decoded = false;
    int pass = 0;
    std::array<Point, 4> corners{};
};

// Through the public reader, which reports the pass and the corners.
Outcome decode(const testing::RenderedSymbol& rendered, const std::string& text) {
    const int width = rendered.image.width;
    const int height = rendered.image.height;
    std::vector<std::uint8_t> grey(static_cast<std::size_t>(width) * height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) grey[static_cast<std::size_t>(y) * width + x] = greyAt(rendered.image, x, height - 1 - y);
    }
    const ReadResult result = readSymbols(ImageView{grey.data(), width, height, width, PixelFormat::Grey});
    Outcome out;
    if (result.symbols.empty()) return out;
    const Symbol& symbol = result.symbols.front();
    out.decoded = std::string(symbol.bytes.begin(), symbol.bytes.end()) == text;
    out.pass = symbol.pass;
    std::copy(std::begin(symbol.corners), std::end(symbol.corners), out.corners.begin());
    return out;
}

struct Case {
    const char* what;
    int size;
    double module;
    double quietZone;
    double degrees;
    bool lightOnDark;
    bool crisp;      // one sample a pixel, module edges on pixel edges
    int pass;        // the pass expected to read it
    double blur = 0.0;  // Gaussian sigma in modules
    double keystone = 0.0;  // the far side shorter by this share, along y
};

TEST(FurtherSearch, PicturesTheFirstPassesMissDecodeInPassThreeWhereTheyWereDrawn) {
    const Case cases[] = {
        {"no quiet zone", 24, 4, 0, 0, false, false, kFurtherPass},
        {"no quiet zone, light on dark, turned", 48, 5, 0, 90, true, false, kFurtherPass},
        {"no quiet zone, finder top right", 16, 3, 0, 180, false, false, kFurtherPass},
        {"one module of quiet zone at 2 px", 32, 2, 1, 0, true, false, kFurtherPass},
        {"crisp, 1 px a module", 20, 1, 2, 270, false, true, kFurtherPass},
        {"crisp, 1 px a module, large", 64, 1, 2, 0, true, true, kFurtherPass},
        {"blurred by half a module", 24, 4, 2, 12.5, false, false, kFurtherPass, 0.5},
        // Read by undoing the blur on the module grid.
        {"blurred by three quarters of a module", 24, 4, 2, 12.5, false, false, kFurtherPass, 0.75},
        {"blurred by three quarters, light on dark", 32, 8, 2, 102.5, true, false, kFurtherPass, 0.75},
        {"blurred by three quarters, four regions", 36, 4, 2, 192.5, false, false, kFurtherPass, 0.75},
        // Clock periods misread: sized from the border alone.
        {"keystone 20 %, several regions", 144, 4, 3, 30, true, false, kFurtherPass, 0.0, 0.2},
        // Read today: they keep the pass they had.
        {"clean", 24, 4, 3, 15, false, false, 1},
        {"light on dark", 16, 5, 2, 0, true, false, 1},
    };
    for (const Case& c : cases) {
        testing::RenderOptions options;
        options.moduleSize = c.module;
        options.quietZone = c.quietZone;
        options.rotationDegrees = c.degrees;
        options.lightOnDark = c.lightOnDark;
        options.blurSigma = c.blur * c.module;
        options.perspective[1] = c.keystone / (c.size * c.module);
        if (c.crisp) {
            options.supersampling = 1;
            options.width = options.height = static_cast<int>((c.size + 2 * c.quietZone) * c.module);
        }
        const std::string text = testing::sampleText(c.size, 3);
        const auto rendered = testing::renderText(text, c.size, options);
        const Outcome outcome = decode(rendered, text);
        ASSERT_TRUE(outcome.decoded) << c.what;
        EXPECT_EQ(outcome.pass, c.pass) << c.what;
        // Top-left, top-right, bottom-right, bottom-left of the upright symbol.
        const double S = c.size;
        const double drawn[4][2] = {{0, S}, {S, S}, {S, 0}, {0, 0}};
        for (int i = 0; i < 4; ++i) {
            const Vector2 p = rendered.toImage(drawn[i][0], drawn[i][1]);
            EXPECT_NEAR(outcome.corners[i].x, p.x + 0.5, 0.75 * c.module + 0.5) << c.what << " corner " << i;
            EXPECT_NEAR(outcome.corners[i].y, rendered.image.height - 0.5 - p.y, 0.75 * c.module + 0.5)
                << c.what << " corner " << i;
        }
    }
}

TEST(FurtherSearch, ASymbolOnThePicturesEdgeInALargerPicture) {
    // The finder's solid column lies on the left edge; the rest has a quiet zone.
    testing::RenderOptions options;
    options.moduleSize = 4;
    options.width = 200;
    options.height = 160;
    options.centreX = 26 * 4 / 2.0 - 0.5;
    options.centreY = 80;
    const std::string text = testing::sampleText(26, 9);
    const Outcome outcome = decode(testing::renderText(text, 26, options), text);
    EXPECT_TRUE(outcome.decoded);
    EXPECT_EQ(outcome.pass, kFurtherPass);
}

TEST(FurtherSearch, FramedCopiesFollowThePicturesEdgesDetailAndSize) {
    // Dark edges (a dark finder on them) are framed light first; small
    // pictures with runs of one or two pixels are magnified; pictures with
    // neither such runs nor detail at their edges get no framed copy.
    const auto picture = [](int width, int height, std::uint8_t edge, int runX, int runY) {
        ImageBuffer image;
        preparePixels(image, width, height);
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                const bool onEdge = x == 0 || y == 0 || x == width - 1 || y == height - 1;
                const bool dark = (x / runX + y / runY) % 2 != 0;
                const std::uint8_t grey = onEdge ? edge : static_cast<std::uint8_t>(dark ? 20 : 230);
                image.pixels[static_cast<std::size_t>(y) * width + x] = grey;
            }
        }
        return image;
    };
    struct Expected {
        int width, height, edge, runX, runY;
        int count, magnification, border;
        bool lightFirst, nearFrameOnly;
    };
    const Expected cases[] = {
        {100, 80, 0, 2, 5, 2, 2, 8, true, false},        // fine runs: magnified
        {1000, 600, 255, 3, 5, 2, 1, 60, false, true},   // too large to magnify: the frame only
        {100, 80, 0, 6, 5, 2, 1, 8, true, true},         // detail at the edges
        {100, 80, 230, 50, 200, 0, 0, 0, false, false},  // neither: two halves
    };
    for (const Expected& e : cases) {
        FramedCopy copies[kMaxFramedCopies];
        const int count = framedCopies(picture(e.width, e.height, static_cast<std::uint8_t>(e.edge), e.runX, e.runY), copies);
        ASSERT_EQ(count, e.count) << e.width << " " << e.runX;
        if (count == 0) continue;
        EXPECT_EQ(copies[0].outside > copies[1].outside, e.lightFirst) << e.width;
        EXPECT_EQ(copies[0].magnification, e.magnification) << e.width;
        EXPECT_EQ(copies[0].border, e.border) << e.width;
        EXPECT_EQ(copies[0].nearFrameOnly, e.nearFrameOnly) << e.width;
    }

    ImageBuffer copy;
    ASSERT_TRUE(makeFramedCopy(picture(10, 6, 0, 3, 5), FramedCopy{2, 200, 3, SearchPass::First}, copy));
    EXPECT_EQ(copy.width, 42);
    EXPECT_EQ(copy.height, 30);
    EXPECT_EQ(greyAt(copy, 5, 5), 200);   // border
    EXPECT_EQ(greyAt(copy, 6, 6), 0);     // the picture's corner pixel, three a side
    EXPECT_EQ(greyAt(copy, 8, 8), 0);
    EXPECT_EQ(greyAt(copy, 9, 9), 230);   // pixel (1, 1)
}

}  // namespace
}  // namespace ternwick
