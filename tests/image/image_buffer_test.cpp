#include "image/image_buffer.h"

#include <gtest/gtest.h>

#include "support/picture_files.h"

namespace ternwick {
namespace {

using testing::makeGreyImage;

TEST(ReleaseImage, FreesPixelsAndResetsScale) {
    ImageBuffer image = makeGreyImage(2, 2, [](int, int) { return 7; });
    image.scale = 2.0f;
    EXPECT_EQ(releaseImage(&image), 0);
    EXPECT_EQ(image.pixels, nullptr);
    EXPECT_EQ(image.scale, 1.0f);
    image.scale = 2.0f;
    releaseImage(&image);  // no pixels: only the scale changes
    EXPECT_EQ(image.scale, 1.0f);
    EXPECT_EQ(releaseImage(nullptr), 0);
}

TEST(SampleNearest, ReadsThePixelOfTheScaledCoordinateAndZeroOutside) {
    ImageBuffer image = makeGreyImage(4, 3, [](int x, int y) { return static_cast<std::uint8_t>(10 * x + y + 1); });
    float v = -1;
    sampleNearest(image, v, 2, 1);
    EXPECT_EQ(v, 22);
    sampleNearest(image, v, -1, 0);
    EXPECT_EQ(v, 0);
    sampleNearest(image, v, 4, 0);
    EXPECT_EQ(v, 0);
    sampleNearest(image, v, 0, 3);
    EXPECT_EQ(v, 0);
    image.scale = 2.0f;
    sampleNearest(image, v, -1, 0);  // trunc(-0.5) = 0: column 0
    EXPECT_EQ(v, 1);
    sampleNearest(image, v, 7, 5);  // (3, 2)
    EXPECT_EQ(v, 33);
    sampleNearest(image, v, 8, 0);
    EXPECT_EQ(v, 0);
}

TEST(SampleBilinear, InterpolatesInsideAndFallsBackToNearestAtTheEdges) {
    ImageBuffer image = makeGreyImage(20, 6, [](int x, int y) { return static_cast<std::uint8_t>(10 * x + y); });
    float v = 0;
    sampleBilinear(image, v, 5.0f, 2.0f);
    EXPECT_FLOAT_EQ(v, 52);
    sampleBilinear(image, v, 5.5f, 2.25f);
    EXPECT_FLOAT_EQ(v, 57.25f);
    // xi = 0 fails the strict test xi > 0: the nearest sample of column 0.
    sampleBilinear(image, v, 0.3f, 2.0f);
    EXPECT_FLOAT_EQ(v, 2);
    sampleBilinear(image, v, -0.7f, 2.0f);  // trunc towards zero: still column 0
    EXPECT_FLOAT_EQ(v, 2);
    sampleBilinear(image, v, -1.0f, 2.0f);
    EXPECT_FLOAT_EQ(v, 0);
    sampleBilinear(image, v, 19.5f, 2.0f);  // last column: nearest
    EXPECT_FLOAT_EQ(v, 192);
    sampleBilinear(image, v, 20.0f, 2.0f);
    EXPECT_FLOAT_EQ(v, 0);
}

TEST(SampleBilinear, ScaleTwoInterpolatesOverThePictureEnlargedByRepetition) {
    ImageBuffer image = makeGreyImage(20, 6, [](int x, int y) { return static_cast<std::uint8_t>(10 * x + y); });
    image.scale = 2.0f;
    float v = 0;
    sampleBilinear(image, v, 10.25f, 2.0f);
    EXPECT_FLOAT_EQ(v, 102);
    sampleBilinear(image, v, 10.75f, 2.0f);
    EXPECT_FLOAT_EQ(v, 107);
    sampleBilinear(image, v, 10.0f, 2.75f);
    EXPECT_FLOAT_EQ(v, 102.5f);
}

TEST(SampleBilinear, NonFiniteAndFarCoordinatesReadAsOutside) {
    ImageBuffer image = makeGreyImage(8, 8, [](int, int) { return 200; });
    float v = 1;
    sampleBilinear(image, v, std::numeric_limits<float>::quiet_NaN(), 2.0f);
    EXPECT_EQ(v, 0);
    sampleBilinear(image, v, 3.0f, std::numeric_limits<float>::infinity());
    EXPECT_EQ(v, 0);
    sampleBilinear(image, v, 3e12f, 2.0f);
    EXPECT_EQ(v, 0);
}

std::uint8_t pixel(const ImageBuffer& image, int x, int y) { return greyAt(image, x, y); }

TEST(MedianPrefilter, RemovesIsolatedDetailButKeepsTheFirstAndLastRows) {
    ImageBuffer image = makeGreyImage(9, 7, [](int x, int y) -> std::uint8_t {
        if ((x == 4 && y == 0) || (x == 2 && y == 6)) return 0;  // dark dots in the outer rows
        if (x == 3 && y == 3) return 255;                      // a bright dot inside
        if (x == 6) return 10;                                 // a one-pixel vertical line
        if (y == 2) return 30;                                 // a one-pixel horizontal line
        return 120;
    });
    ASSERT_EQ(medianPrefilter(image), 1);
    EXPECT_EQ(pixel(image, 4, 0), 0);
    EXPECT_EQ(pixel(image, 2, 6), 0);
    EXPECT_EQ(pixel(image, 3, 3), 120);
    EXPECT_EQ(pixel(image, 6, 4), 120);
    EXPECT_EQ(pixel(image, 4, 2), 120);
    // The outer rows are left exactly as loaded, even the vertical line in them.
    EXPECT_EQ(pixel(image, 6, 0), 10);
}

TEST(MedianPrefilter, PicturesOfOneOrTwoRowsComeOutUnchanged) {
    for (int height : {1, 2}) {
        ImageBuffer image = makeGreyImage(5, height, [](int x, int) { return x == 2 ? 255 : 0; });
        ASSERT_EQ(medianPrefilter(image), 1);
        EXPECT_EQ(pixel(image, 2, 0), 255) << height;
    }
    ImageBuffer column = makeGreyImage(1, 5, [](int, int y) { return y == 2 ? 255 : 0; });
    ASSERT_EQ(medianPrefilter(column), 1);
    EXPECT_EQ(pixel(column, 0, 2), 0);
}

TEST(MedianCache, GivesTheWholePictureFilterAtEveryPixelAndFiltersOnlyTheTilesRead) {
    MedianCache cache;  // one cache over pictures of every shape, as a decode context keeps it
    const int sizes[][2] = {{1, 1}, {1, 9}, {9, 1}, {2, 2}, {8, 8}, {9, 17}, {17, 9}, {31, 24}, {64, 3}};
    for (const auto& size : sizes) {
        const int width = size[0];
        const int height = size[1];
        const auto grey = [](int x, int y) { return static_cast<std::uint8_t>((x * 73 + y * 151 + x * y * 29) % 256); };
        ImageBuffer filtered = makeGreyImage(width, height, grey);
        ASSERT_EQ(medianPrefilter(filtered), 1);
        ImageBuffer image = makeGreyImage(width, height, grey);
        ASSERT_TRUE(cache.start(image));
        image.median = &cache;
        // One pixel first: only its tile is filtered.
        EXPECT_EQ(pixel(image, width - 1, height - 1), pixel(filtered, width - 1, height - 1));
        EXPECT_EQ(cache.tilesFilled(), 1u);
        // Then all of them, from the far corner backwards.
        for (int y = height - 1; y >= 0; --y) {
            for (int x = width - 1; x >= 0; --x) {
                ASSERT_EQ(pixel(image, x, y), pixel(filtered, x, y)) << width << "x" << height << " at " << x << "," << y;
            }
        }
        EXPECT_EQ(cache.tilesFilled(), static_cast<std::size_t>((width + 7) / 8 * ((height + 7) / 8)));
        image.median = nullptr;
        EXPECT_EQ(pixel(image, 0, 0), grey(0, 0));  // the picture itself is left as it was
    }
}

}  // namespace
}  // namespace ternwick
