#include "image/png_loader.h"

#include <gtest/gtest.h>

#include <zlib.h>

#include <cstring>
#include <png.h>
#include <string>

#include "core/diagnostics.h"
#include "support/picture_files.h"

namespace ternwick {
namespace {

using testing::makePng;
using testing::PngLayout;

int load(ImageBuffer& image, const std::vector<std::uint8_t>& bytes) {
    CapturingDiagnosticSink quiet;
    ScopedDiagnosticSink scope(quiet);
    return loadPngMemory(image, bytes.data(), bytes.size());
}

std::uint8_t grey(const ImageBuffer& image, int x, int y) { return greyAt(image, x, y); }

PngLayout rgbLayout(std::uint32_t width, std::uint32_t height, std::function<std::uint32_t(int, int)> colour,
                bool alpha = false) {
    PngLayout layout;
    layout.width = width;
    layout.height = height;
    layout.colourType = alpha ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB;
    for (std::uint32_t y = 0; y < height; ++y) {
        std::vector<std::uint8_t> row;
        for (std::uint32_t x = 0; x < width; ++x) {
            const std::uint32_t c = colour(static_cast<int>(x), static_cast<int>(y));
            row.push_back(static_cast<std::uint8_t>(c >> 16));
            row.push_back(static_cast<std::uint8_t>(c >> 8));
            row.push_back(static_cast<std::uint8_t>(c));
            if (alpha) row.push_back(static_cast<std::uint8_t>(x * 70));
        }
        layout.rows.push_back(row);
    }
    return layout;
}

// A chunk: length, type, data and checksum.
std::vector<std::uint8_t> pngChunk(const std::string& type, const std::vector<std::uint8_t>& data) {
    std::vector<std::uint8_t> chunk;
    const auto length = static_cast<std::uint32_t>(data.size());
    for (int shift = 24; shift >= 0; shift -= 8) chunk.push_back(static_cast<std::uint8_t>(length >> shift));
    chunk.insert(chunk.end(), type.begin(), type.end());
    chunk.insert(chunk.end(), data.begin(), data.end());
    const auto crc = static_cast<std::uint32_t>(crc32(0, chunk.data() + 4, static_cast<uInt>(data.size() + 4)));
    for (int shift = 24; shift >= 0; shift -= 8) chunk.push_back(static_cast<std::uint8_t>(crc >> shift));
    return chunk;
}

// The bytes of a PNG file up to (not including) its first chunk of a type.
std::size_t chunkOffset(const std::vector<std::uint8_t>& png, const std::string& type) {
    std::size_t at = 8;
    while (at + 8 <= png.size() && std::string(png.begin() + static_cast<long>(at) + 4,
                                               png.begin() + static_cast<long>(at) + 8) != type) {
        at += 12 + ((std::size_t{png[at]} << 24) | (std::size_t{png[at + 1]} << 16) | (std::size_t{png[at + 2]} << 8) |
                    png[at + 3]);
    }
    return at;
}

std::vector<std::uint8_t> inserted(std::vector<std::uint8_t> png, const std::string& beforeType,
                                   const std::vector<std::uint8_t>& bytes) {
    png.insert(png.begin() + static_cast<long>(chunkOffset(png, beforeType)), bytes.begin(), bytes.end());
    return png;
}

// A grey picture of one grey level written chunk by chunk, its image data
// packed by zlib at the best level.
std::vector<std::uint8_t> uniformGreyPng(std::uint32_t width, std::uint32_t height, int bitDepth) {
    std::vector<std::uint8_t> header;
    for (const std::uint32_t v : {width, height}) {
        for (int shift = 24; shift >= 0; shift -= 8) header.push_back(static_cast<std::uint8_t>(v >> shift));
    }
    header.insert(header.end(), {static_cast<std::uint8_t>(bitDepth), 0, 0, 0, 0});
    const std::size_t rowBytes = (static_cast<std::size_t>(width) * bitDepth + 7) / 8;
    const std::vector<std::uint8_t> raw(height * (rowBytes + 1), 0);
    std::vector<std::uint8_t> packed(compressBound(static_cast<uLong>(raw.size())));
    uLongf packedSize = static_cast<uLongf>(packed.size());
    EXPECT_EQ(compress2(packed.data(), &packedSize, raw.data(), static_cast<uLong>(raw.size()), 9), Z_OK);
    packed.resize(packedSize);
    std::vector<std::uint8_t> png{0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    for (const auto& chunk : {pngChunk("IHDR", header), pngChunk("IDAT", packed), pngChunk("IEND", {})}) {
        png.insert(png.end(), chunk.begin(), chunk.end());
    }
    return png;
}

TEST(PngLoader, RowsComeOutBottomUpWithRoundedGrey) {
    const std::uint32_t colours[] = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF, 0x000000};
    const std::uint8_t expected[] = {76, 150, 29, 255, 0};
    const auto png = makePng(rgbLayout(5, 2, [&](int x, int y) { return y == 0 ? colours[x] : 0x0A0A0Au; }));
    ImageBuffer image;
    ASSERT_EQ(load(image, png), 1);
    EXPECT_EQ(image.width, 5);
    EXPECT_EQ(image.height, 2);
    for (int x = 0; x < 5; ++x) EXPECT_EQ(grey(image, x, 1), expected[x]) << x;
    EXPECT_EQ(grey(image, 2, 0), 10);  // the PNG's lower row is output row 0
    EXPECT_EQ(image.pixels[3 * 5 + 1], 76);
    EXPECT_EQ(image.pixels[3 * 5 + 2], 76);
}

TEST(PngLoader, AlphaAndSixteenBitSamplesReduceToTheRgbPicture) {
    auto colour = [](int x, int y) { return static_cast<std::uint32_t>((x * 50 + y * 9) * 0x010203 & 0xFFFFFF); };
    ImageBuffer plain;
    ASSERT_EQ(load(plain, makePng(rgbLayout(4, 3, colour))), 1);
    ImageBuffer withAlpha;
    ASSERT_EQ(load(withAlpha, makePng(rgbLayout(4, 3, colour, true))), 1);
    EXPECT_EQ(0, std::memcmp(plain.pixels.get(), withAlpha.pixels.get(), 4 * 3 * 3));

    PngLayout wide = rgbLayout(4, 3, colour);
    wide.bitDepth = 16;
    for (auto& row : wide.rows) {
        std::vector<std::uint8_t> doubled;
        for (std::uint8_t b : row) {
            doubled.push_back(b);
            doubled.push_back(0x7F);  // low byte dropped by the reduction
        }
        row = doubled;
    }
    ImageBuffer sixteen;
    ASSERT_EQ(load(sixteen, makePng(wide)), 1);
    EXPECT_EQ(0, std::memcmp(plain.pixels.get(), sixteen.pixels.get(), 4 * 3 * 3));
}

TEST(PngLoader, GreyOfEveryDepthKeepsItsSamples) {
    for (int depth : {1, 2, 4, 8, 16}) {
        PngLayout layout;
        layout.width = 9;
        layout.height = 2;
        layout.colourType = PNG_COLOR_TYPE_GRAY;
        layout.bitDepth = depth;
        const int maxSample = (1 << std::min(depth, 8)) - 1;
        std::vector<int> samples;
        for (int x = 0; x < 9; ++x) samples.push_back((x * 37) % (maxSample + 1));
        for (int y = 0; y < 2; ++y) {
            std::vector<std::uint8_t> row((9 * depth + 7) / 8, 0);
            for (int x = 0; x < 9; ++x) {
                if (depth == 16) {
                    row[2 * x] = static_cast<std::uint8_t>(samples[x]);
                } else if (depth == 8) {
                    row[x] = static_cast<std::uint8_t>(samples[x]);
                } else {
                    const int bit = x * depth;
                    row[bit / 8] |= static_cast<std::uint8_t>(samples[x] << (8 - depth - bit % 8));
                }
            }
            layout.rows.push_back(row);
        }
        ImageBuffer image;
        ASSERT_EQ(load(image, makePng(layout)), 1) << depth;
        for (int x = 0; x < 9; ++x) {
            // Low depths are widened by replicating their bits across the byte.
            const int expected = depth >= 8 ? samples[x] : samples[x] * 255 / maxSample;
            EXPECT_EQ(grey(image, x, 0), expected) << "depth " << depth << " x " << x;
        }
    }
}

TEST(PngLoader, GreyWithAlphaAndInterlacedPictures) {
    PngLayout layout;
    layout.width = 11;
    layout.height = 9;
    layout.colourType = PNG_COLOR_TYPE_GRAY_ALPHA;
    for (std::uint32_t y = 0; y < 9; ++y) {
        std::vector<std::uint8_t> row;
        for (std::uint32_t x = 0; x < 11; ++x) {
            row.push_back(static_cast<std::uint8_t>(x * 20 + y));
            row.push_back(static_cast<std::uint8_t>(y * 25));
        }
        layout.rows.push_back(row);
    }
    ImageBuffer image;
    ASSERT_EQ(load(image, makePng(layout)), 1);
    layout.interlaced = true;
    ImageBuffer interlaced;
    ASSERT_EQ(load(interlaced, makePng(layout)), 1);
    EXPECT_EQ(0, std::memcmp(image.pixels.get(), interlaced.pixels.get(), 11 * 9 * 3));
    EXPECT_EQ(grey(image, 10, 8), 200);  // top row of the file, x = 10
}

TEST(PngLoader, PaletteWithTransparencyLoadsItsColours) {
    PngLayout layout;
    layout.width = 4;
    layout.height = 1;
    layout.colourType = PNG_COLOR_TYPE_PALETTE;
    layout.palette = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF};
    layout.transparency = {0, 128, 255, 10};
    layout.rows = {{0, 1, 2, 3}};
    ImageBuffer image;
    ASSERT_EQ(load(image, makePng(layout)), 1);
    EXPECT_EQ(grey(image, 0, 0), 76);
    EXPECT_EQ(grey(image, 1, 0), 150);
    EXPECT_EQ(grey(image, 2, 0), 29);
    EXPECT_EQ(grey(image, 3, 0), 255);
}

TEST(PngLoader, CorruptTruncatedAndForeignFilesFail) {
    const auto good = makePng(rgbLayout(16, 16, [](int x, int y) { return static_cast<std::uint32_t>(x * y * 997); }));
    ImageBuffer image;
    ASSERT_EQ(load(image, good), 1);

    for (std::size_t cut : {std::size_t{4}, std::size_t{8}, std::size_t{20}, std::size_t{40}, good.size() / 2,
                            good.size() - 13}) {
        std::vector<std::uint8_t> truncated(good.begin(), good.begin() + static_cast<long>(cut));
        ImageBuffer broken;
        EXPECT_EQ(load(broken, truncated), 0) << cut;
        EXPECT_EQ(broken.pixels, nullptr);
    }
    auto badCrc = good;
    badCrc[good.size() / 2] ^= 0x55;
    ImageBuffer broken;
    EXPECT_EQ(load(broken, badCrc), 0);

    const auto bmp = testing::greyImageToBmp(testing::makeGreyImage(4, 4, [](int, int) { return 9; }));
    EXPECT_EQ(load(broken, bmp), 0);
}

TEST(PngLoader, AncillaryChunksAreSkippedUnread) {
    const auto plain = makePng(rgbLayout(6, 4, [](int x, int y) { return static_cast<std::uint32_t>(x * 0x2A1B0C + y); }));
    ImageBuffer expected;
    ASSERT_EQ(load(expected, plain), 1);
    const std::vector<std::uint8_t> text{'T', 'i', 't', 'l', 'e', 0, 'x'};
    auto annotated = inserted(plain, "IDAT", pngChunk("tEXt", text));
    annotated = inserted(annotated, "IDAT", pngChunk("gAMA", {0, 0, 0xB1, 0x8F}));
    annotated = inserted(annotated, "IEND", pngChunk("tEXt", text));
    ImageBuffer image;
    ASSERT_EQ(load(image, annotated), 1);
    EXPECT_EQ(std::memcmp(image.pixels.get(), expected.pixels.get(), 6 * 4 * 3), 0);

    // A chunk that declares about 1.6 GB, before or after the image data, in a
    // file of a few hundred bytes: the load fails on the missing bytes and
    // never asks for memory of the declared size (the tests' allocator
    // refuses anything above 1 GiB).
    const std::vector<std::uint8_t> absurd{0x61, 0x00, 0x00, 0x00, 't', 'E', 'X', 't', 'a', 'b', 'c'};
    for (const char* before : {"IDAT", "IEND"}) {
        ImageBuffer broken;
        EXPECT_EQ(load(broken, inserted(plain, before, absurd)), 0) << before;
        EXPECT_EQ(broken.pixels, nullptr);
    }
}

TEST(PngLoader, AHeaderPromisingMoreThanTheFileCanHoldIsRefusedUnread) {
    // 2^26 grey pixels of 8 bits need at least 65 KB of compressed data.
    auto huge = uniformGreyPng(8192, 8192, 8);
    huge = std::vector<std::uint8_t>(huge.begin(), huge.begin() + static_cast<long>(chunkOffset(huge, "IDAT")));
    const auto tail = pngChunk("IDAT", std::vector<std::uint8_t>(1000, 0));
    huge.insert(huge.end(), tail.begin(), tail.end());
    CapturingDiagnosticSink sink;
    ScopedDiagnosticSink scope(sink);
    ImageBuffer image;
    EXPECT_EQ(loadPngMemory(image, huge.data(), huge.size()), 0);
    EXPECT_EQ(image.pixels, nullptr);
    EXPECT_EQ(sink.errors, "");  // refused before the image data was read

    // The best packing zlib manages stays within the bound.
    const auto black = uniformGreyPng(2048, 2048, 1);
    ASSERT_LT(black.size(), 700u);
    ImageBuffer packed;
    ASSERT_EQ(loadPngMemory(packed, black.data(), black.size()), 1);
    EXPECT_EQ(packed.width, 2048);
    EXPECT_EQ(grey(packed, 2047, 2047), 0);
}

TEST(PngLoader, LibraryMessagesGoThroughTheDiagnosticSink) {
    auto bad = makePng(rgbLayout(8, 8, [](int, int) { return 0u; }));
    bad[bad.size() / 2] ^= 0xFF;
    CapturingDiagnosticSink sink;
    ScopedDiagnosticSink scope(sink);
    ImageBuffer image;
    EXPECT_EQ(loadPngMemory(image, bad.data(), bad.size()), 0);
    EXPECT_NE(sink.errors.find("libpng error: "), std::string::npos) << sink.errors;
    EXPECT_TRUE(sink.output.empty());
}

TEST(PngLoader, PathLoaderReadsFilesAndRefusesMissingOnes) {
    const auto png = makePng(rgbLayout(3, 3, [](int x, int) { return x * 0x404040u; }));
    const std::string path = testing::scratchDirectory() + "/picture.png";
    testing::writeFile(path, png);
    ImageBuffer image;
    ASSERT_EQ(loadPngImage(image, path), 1);
    EXPECT_EQ(grey(image, 2, 0), 0x80);
    ImageBuffer missing;
    EXPECT_EQ(loadPngImage(missing, path + ".absent"), 0);
}

}  // namespace
}  // namespace ternwick
