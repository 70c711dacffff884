#include "image/bmp_reader.h"

#include <gtest/gtest.h>

#include <cstring>

#include "support/picture_files.h"

namespace ternwick {
namespace {

using testing::BmpLayout;
using testing::makeBmp;

int load(ImageBuffer& image, const std::vector<std::uint8_t>& bytes) {
    return loadBmpMemory(image, bytes.data(), bytes.size());
}

std::uint8_t grey(const ImageBuffer& image, int x, int y) { return greyAt(image, x, y); }

BmpLayout rgbLayout(int width, int height, std::function<std::uint32_t(int, int)> pixel) {
    BmpLayout layout;
    layout.width = width;
    layout.height = height;
    layout.bitCount = 24;
    layout.pixel = std::move(pixel);
    return layout;
}

TEST(BmpReader, TwentyFourBitRowsArePaddedAndBottomUp) {
    // 3 pixels of 3 bytes: 9 bytes and 3 of padding a row.
    const auto bytes = makeBmp(rgbLayout(3, 2, [](int x, int yTop) {
        const std::uint32_t g = yTop == 1 ? 10u * (x + 1) : 200u;
        return (g << 16) | (g << 8) | g;
    }));
    ASSERT_EQ(testing::bmpStride(3, 24), 12u);
    ImageBuffer image;
    ASSERT_EQ(load(image, bytes), 1);
    EXPECT_EQ(image.width, 3);
    EXPECT_EQ(image.height, 2);
    EXPECT_EQ(image.scale, 1.0f);
    // Output row 0 is the bottom row, the file's first stored row.
    EXPECT_EQ(grey(image, 0, 0), 10);
    EXPECT_EQ(grey(image, 2, 0), 30);
    EXPECT_EQ(grey(image, 1, 1), 200);
}

TEST(BmpReader, GreyIsTheTruncatedWeightedMean) {
    const std::uint32_t colours[] = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF, 0x000000};
    const std::uint8_t expected[] = {76, 149, 29, 255, 0};
    const auto bytes = makeBmp(rgbLayout(5, 1, [&](int x, int) { return colours[x]; }));
    ImageBuffer image;
    ASSERT_EQ(load(image, bytes), 1);
    for (int x = 0; x < 5; ++x) EXPECT_EQ(grey(image, x, 0), expected[x]) << x;
}

TEST(BmpReader, TopDownFilesGiveTheSamePicture) {
    auto pattern = [](int x, int yTop) { return static_cast<std::uint32_t>(((x * 31 + yTop * 17) % 256) * 0x010101); };
    BmpLayout layout = rgbLayout(7, 5, pattern);
    ImageBuffer bottomUp;
    ASSERT_EQ(load(bottomUp, makeBmp(layout)), 1);
    layout.topDown = true;
    ImageBuffer topDown;
    ASSERT_EQ(load(topDown, makeBmp(layout)), 1);
    ASSERT_EQ(topDown.height, 5);
    EXPECT_EQ(0, std::memcmp(bottomUp.pixels.get(), topDown.pixels.get(), 7 * 5));
    EXPECT_EQ(grey(topDown, 0, 4), pattern(0, 0) & 0xFF);
}

TEST(BmpReader, PaletteDepthsLookUpTheirEntries) {
    BmpLayout one;
    one.width = 10;
    one.height = 2;
    one.bitCount = 1;
    one.palette = {0x102030, 0xFFFFFF};
    one.pixel = [](int x, int) { return static_cast<std::uint32_t>(x % 3 == 0); };
    ImageBuffer image;
    ASSERT_EQ(load(image, makeBmp(one)), 1);
    EXPECT_EQ(grey(image, 0, 0), 255);
    EXPECT_EQ(grey(image, 1, 0), (9798 * 0x10 + 19235 * 0x20 + 3735 * 0x30) / 32768);
    EXPECT_EQ(grey(image, 9, 1), 255);

    BmpLayout four;
    four.width = 3;
    four.height = 1;
    four.bitCount = 4;
    four.palette = {0, 0x111111, 0x222222, 0x333333};
    four.pixel = [](int x, int) { return static_cast<std::uint32_t>(x + 1); };  // bytes 0x12 0x30
    ASSERT_EQ(load(image, makeBmp(four)), 1);
    EXPECT_EQ(grey(image, 0, 0), 0x11);
    EXPECT_EQ(grey(image, 1, 0), 0x22);
    EXPECT_EQ(grey(image, 2, 0), 0x33);

    BmpLayout eight;
    eight.width = 4;
    eight.height = 1;
    eight.bitCount = 8;
    for (std::uint32_t e = 0; e < 256; ++e) eight.palette.push_back(e * 0x010101);
    eight.pixel = [](int x, int) { return static_cast<std::uint32_t>(x * 80); };
    ASSERT_EQ(load(image, makeBmp(eight)), 1);
    EXPECT_EQ(grey(image, 3, 0), 240);
}

TEST(BmpReader, PaletteFollowsLongerInformationHeaders) {
    for (std::uint32_t headerSize : {108u, 124u}) {
        BmpLayout layout;
        layout.width = 4;
        layout.height = 2;
        layout.bitCount = 8;
        layout.infoHeaderSize = headerSize;
        layout.palette = {0x000000, 0x808080, 0xFFFFFF};
        layout.pixel = [](int x, int) { return static_cast<std::uint32_t>(x % 3); };
        ImageBuffer image;
        ASSERT_EQ(load(image, makeBmp(layout)), 1) << headerSize;
        EXPECT_EQ(grey(image, 1, 0), 128) << headerSize;
        EXPECT_EQ(grey(image, 2, 1), 255) << headerSize;
    }
}

TEST(BmpReader, SixteenBitChannelsAreUsedUnscaled) {
    BmpLayout layout;
    layout.width = 2;
    layout.height = 1;
    layout.bitCount = 16;
    layout.pixel = [](int x, int) { return x == 0 ? 0x7FFFu : 0x001Fu; };
    ImageBuffer image;
    ASSERT_EQ(load(image, makeBmp(layout)), 1);
    EXPECT_EQ(grey(image, 0, 0), 31);
    EXPECT_EQ(grey(image, 1, 0), 3735 * 31 / 32768);
}

TEST(BmpReader, ZeroSizeImageFieldIsComputedFromTheStride) {
    auto bytes = makeBmp(rgbLayout(5, 3, [](int, int) { return 0x404040u; }));
    for (int i = 34; i < 38; ++i) bytes[i] = 0;
    ImageBuffer image;
    ASSERT_EQ(load(image, bytes), 1);
    EXPECT_EQ(grey(image, 4, 2), 0x40);
}

// Writes a little-endian 32-bit value into a file image.
void set32(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

TEST(BmpReader, BadFilesFailCleanly) {
    const auto good = makeBmp(rgbLayout(4, 4, [](int, int) { return 0x808080u; }));
    ImageBuffer probe;
    ASSERT_EQ(load(probe, good), 1);

    struct Case {
        const char* what;
        std::function<void(std::vector<std::uint8_t>&)> damage;
    };
    const Case cases[] = {
        {"not BM", [](auto& b) { b[0] = 'X'; }},
        {"file header cut", [](auto& b) { b.resize(10); }},
        {"offset below 54", [](auto& b) { set32(b, 10, 40); }},
        {"information header below 40", [](auto& b) { set32(b, 14, 12); }},
        {"offset past the end", [](auto& b) { set32(b, 10, 0x7FFFFFF0u); }},
        {"run-length coded", [](auto& b) { set32(b, 30, 1); }},
        {"32 bits a pixel", [](auto& b) { b[28] = 32; }},
        {"width 0", [](auto& b) { set32(b, 18, 0); }},
        {"negative width", [](auto& b) { set32(b, 18, static_cast<std::uint32_t>(-4)); }},
        {"height 0", [](auto& b) { set32(b, 22, 0); }},
        {"most negative height", [](auto& b) { set32(b, 22, 0x80000000u); }},
        {"size field too small", [](auto& b) { set32(b, 34, 20); }},
        {"pixel array cut", [](auto& b) { b.resize(b.size() - 1); }},
        {"too many pixels", [](auto& b) { set32(b, 18, 1u << 14); set32(b, 22, (1u << 12) + 1); set32(b, 34, 0); }},
        {"overflowing stride", [](auto& b) { set32(b, 18, 0x7FFFFFFFu); set32(b, 22, 0x7FFFFFFFu); set32(b, 34, 0); }},
    };
    for (const Case& c : cases) {
        auto bytes = good;
        c.damage(bytes);
        ImageBuffer image;
        EXPECT_EQ(load(image, bytes), 0) << c.what;
        EXPECT_EQ(image.pixels, nullptr) << c.what;
    }
}

TEST(BmpReader, PaletteIndexBeyondTheFilesPaletteFails) {
    BmpLayout layout;
    layout.width = 4;
    layout.height = 1;
    layout.bitCount = 8;
    layout.palette = {0, 0xFFFFFF};
    layout.pixel = [](int x, int) { return static_cast<std::uint32_t>(x); };
    ImageBuffer image;
    EXPECT_EQ(load(image, makeBmp(layout)), 0);
    layout.pixel = [](int x, int) { return static_cast<std::uint32_t>(x % 2); };
    EXPECT_EQ(load(image, makeBmp(layout)), 1);
}

TEST(BmpReader, PathAndMemoryLoadersAgree) {
    const auto bytes = makeBmp(rgbLayout(6, 4, [](int x, int y) { return static_cast<std::uint32_t>((x * 40 + y) * 0x010101); }));
    const std::string path = testing::scratchDirectory() + "/picture.bmp";
    testing::writeFile(path, bytes);
    ImageBuffer fromFile;
    ImageBuffer fromMemory;
    ASSERT_EQ(loadBmpImage(fromFile, path), 1);
    ASSERT_EQ(load(fromMemory, bytes), 1);
    EXPECT_EQ(0, std::memcmp(fromFile.pixels.get(), fromMemory.pixels.get(), 6 * 4));
    ImageBuffer missing;
    EXPECT_EQ(loadBmpImage(missing, path + ".absent"), 0);
    testing::writeFile(path, {bytes.begin(), bytes.begin() + 60});
    EXPECT_EQ(loadBmpImage(missing, path), 0);
}

}  // namespace
}  // namespace ternwick

namespace ternwick {
namespace {

// 32-bit and bit-field files: read, with channels scaled to 0..255, only when
// asked for; the classic reader (the dialog's) refuses them as it always has.
TEST(BmpReader, ExtendedVariantsReadThirtyTwoBitAndBitFieldFiles) {
    struct Case {
        const char* what;
        std::uint16_t bitCount;
        std::uint32_t compression;
        std::vector<std::uint32_t> masks;
        std::uint32_t pixel;
        int grey;           // expected, or -1 when refused
        const char* reason;  // of the refusal
    };
    const Case cases[] = {
        {"32-bit uncompressed", 32, 0, {}, 0x00FF8040, 158, ""},
        {"8-8-8-8 bit fields", 32, 3, {0xFF0000, 0xFF00, 0xFF}, 0xAAFF8040, 158, ""},
        {"8-8-8 fields, blue high", 32, 3, {0xFF, 0xFF00, 0xFF0000}, 0x4080FF, 158, ""},
        {"RGB565 white", 16, 3, {0xF800, 0x07E0, 0x001F}, 0xFFFF, 255, ""},
        {"RGB565 red", 16, 3, {0xF800, 0x07E0, 0x001F}, 0xF800, 76, ""},
        {"RGB565 green", 16, 3, {0xF800, 0x07E0, 0x001F}, 0x07E0, 149, ""},
        {"RGB555 white", 16, 3, {0x7C00, 0x03E0, 0x001F}, 0x7FFF, 255, ""},
        {"gappy mask", 16, 3, {0x0F0F, 0x00F0, 0x1000}, 0, -1, "unsupported BMP bit-field masks"},
        {"mask past 16 bits", 16, 3, {0x1F0000, 0x07E0, 0x001F}, 0, -1, "unsupported BMP bit-field masks"},
        {"zero mask", 32, 3, {0, 0xFF00, 0xFF}, 0, -1, "unsupported BMP bit-field masks"},
        {"masks missing", 32, 3, {}, 0, -1, "corrupt BMP header"},
        {"24-bit bit fields", 24, 3, {0xFF0000, 0xFF00, 0xFF}, 0, -1,
         "compressed or bit-field BMP pictures are not supported"},
        {"run-length", 8, 1, {}, 0, -1, "run-length compressed BMP pictures are not supported"},
    };
    for (const Case& c : cases) {
        BmpLayout layout;
        layout.width = 3;
        layout.height = 2;
        layout.bitCount = c.bitCount;
        layout.compression = c.compression;
        layout.masks = c.masks;
        if (c.bitCount == 8) layout.palette = {0};
        layout.pixel = [&](int, int) { return c.pixel; };
        const auto bytes = makeBmp(layout);
        MemoryByteSource source(bytes.data(), bytes.size());
        ImageBuffer image;
        Failure error;
        const int loaded = loadBmpSource(image, source, &error, BmpVariants::Extended);
        if (c.grey < 0) {
            EXPECT_EQ(loaded, 0) << c.what;
            EXPECT_EQ(error.reason, c.reason) << c.what;
        } else {
            ASSERT_EQ(loaded, 1) << c.what << ": " << error.reason;
            EXPECT_EQ(greyAt(image, 2, 1), c.grey) << c.what;
        }
        ImageBuffer classic;
        EXPECT_EQ(loadBmpMemory(classic, bytes.data(), bytes.size()), 0) << c.what;
    }
}

}  // namespace
}  // namespace ternwick
