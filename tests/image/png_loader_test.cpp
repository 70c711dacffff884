#include "image/png_loader.h"

#include <gtest/gtest.h>

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <png.h>
#include <string>

#include "core/diagnostics.h"
#include "image/grey_level.h"
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
}

TEST(PngLoader, AlphaAndSixteenBitSamplesReduceToTheRgbPicture) {
    auto colour = [](int x, int y) { return static_cast<std::uint32_t>((x * 50 + y * 9) * 0x010203 & 0xFFFFFF); };
    ImageBuffer plain;
    ASSERT_EQ(load(plain, makePng(rgbLayout(4, 3, colour))), 1);
    ImageBuffer withAlpha;
    ASSERT_EQ(load(withAlpha, makePng(rgbLayout(4, 3, colour, true))), 1);
    EXPECT_EQ(0, std::memcmp(plain.pixels.get(), withAlpha.pixels.get(), 4 * 3));

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
    EXPECT_EQ(0, std::memcmp(plain.pixels.get(), sixteen.pixels.get(), 4 * 3));
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
    EXPECT_EQ(0, std::memcmp(image.pixels.get(), interlaced.pixels.get(), 11 * 9));
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

// Indices of 1, 2, 4 and 8 bits, interlaced or not, each picking its entry;
// an index beyond the palette is refused, as the BMP reader refuses it.
TEST(PngLoader, PaletteIndicesOfEveryDepthAndIndicesBeyondThePalette) {
    for (const int depth : {1, 2, 4, 8}) {
        for (const bool interlaced : {false, true}) {
            for (const bool beyond : {false, true}) {
                PngLayout layout;
                layout.width = 9;
                layout.height = 3;
                layout.colourType = PNG_COLOR_TYPE_PALETTE;
                layout.bitDepth = depth;
                layout.interlaced = interlaced;
                const int entries = depth == 1 ? 1 : 3;  // index 1 (or 3) lies beyond
                for (int e = 0; e < entries; ++e) layout.palette.push_back(0x010101u * static_cast<std::uint32_t>(60 + 70 * e));
                for (std::uint32_t y = 0; y < layout.height; ++y) {
                    std::vector<std::uint8_t> row((9 * depth + 7) / 8, 0);
                    for (int x = 0; x < 9; ++x) {
                        const int index = beyond && y == 1 && x == 7 ? entries : (x + static_cast<int>(y)) % entries;
                        const int bit = x * depth;
                        row[bit / 8] |= static_cast<std::uint8_t>(index << (8 - depth - bit % 8));
                    }
                    layout.rows.push_back(row);
                }
                Failure error;
                ImageBuffer image;
                const auto png = makePng(layout);
                CapturingDiagnosticSink quiet;
                ScopedDiagnosticSink scope(quiet);
                const int result = loadPngMemory(image, png.data(), png.size(), &error);
                SCOPED_TRACE(::testing::Message() << "depth " << depth << " interlaced " << interlaced);
                if (beyond) {
                    EXPECT_EQ(result, 0);
                    EXPECT_EQ(error.reason, "PNG palette index beyond the palette");
                    EXPECT_EQ(image.pixels, nullptr);
                    continue;
                }
                ASSERT_EQ(result, 1) << error.reason;
                for (int y = 0; y < 3; ++y) {
                    for (int x = 0; x < 9; ++x) EXPECT_EQ(grey(image, x, 2 - y), 60 + 70 * ((x + y) % entries)) << x << "," << y;
                }
            }
        }
    }
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
    EXPECT_EQ(std::memcmp(image.pixels.get(), expected.pixels.get(), 6 * 4), 0);

    // A chunk that declares about 1.6 GB in a file of a few hundred bytes:
    // before the image data, the load fails on the missing bytes and never
    // asks for memory of the declared size (the tests' allocator refuses
    // anything above 1 GiB); after it, the chunk is never read.
    const std::vector<std::uint8_t> absurd{0x61, 0x00, 0x00, 0x00, 't', 'E', 'X', 't', 'a', 'b', 'c'};
    ImageBuffer broken;
    EXPECT_EQ(load(broken, inserted(plain, "IDAT", absurd)), 0);
    EXPECT_EQ(broken.pixels, nullptr);
    ImageBuffer after;
    ASSERT_EQ(load(after, inserted(plain, "IEND", absurd)), 1);
    EXPECT_EQ(std::memcmp(after.pixels.get(), expected.pixels.get(), 6 * 4), 0);
}

// Counts the bytes a loader takes.
class CountingSource final : public ByteSource {
public:
    explicit CountingSource(const std::vector<std::uint8_t>& bytes) : inner_(bytes.data(), bytes.size()) {}
    bool read(void* buffer, std::size_t count) override {
        taken += count;
        return inner_.read(buffer, count);
    }
    std::uint64_t remaining() const override { return inner_.remaining(); }
    std::uint64_t taken = 0;

private:
    MemoryByteSource inner_;
};

// Deflate output of the input with a full flush: it stands alone, so that
// copies of it can follow one another in one stream.
std::vector<std::uint8_t> flushedDeflate(z_stream& stream, const std::vector<std::uint8_t>& input, int flush) {
    std::vector<std::uint8_t> out(deflateBound(&stream, static_cast<uLong>(input.size())) + 64);
    stream.next_in = const_cast<Bytef*>(input.data());
    stream.avail_in = static_cast<uInt>(input.size());
    stream.next_out = out.data();
    stream.avail_out = static_cast<uInt>(out.size());
    EXPECT_NE(deflate(&stream, flush), Z_STREAM_ERROR);
    out.resize(out.size() - stream.avail_out);
    return out;
}

// A zlib stream of the data followed by `surplus` bytes of zeros (a
// mebibyte's block repeated, so that gigabytes take a few megabytes and no
// time to build), with its right checksum.
std::vector<std::uint8_t> zlibWithSurplus(const std::vector<std::uint8_t>& data, std::uint64_t surplus) {
    const std::vector<std::uint8_t> zeros(std::size_t{1} << 20, 0);
    z_stream stream{};
    EXPECT_EQ(deflateInit(&stream, 9), Z_OK);
    auto packed = flushedDeflate(stream, data, Z_FULL_FLUSH);
    const auto block = flushedDeflate(stream, zeros, Z_FULL_FLUSH);
    const auto end = flushedDeflate(stream, {}, Z_FINISH);
    deflateEnd(&stream);
    uLong checksum = adler32(adler32(0, nullptr, 0), data.data(), static_cast<uInt>(data.size()));
    const uLong zerosChecksum = adler32(adler32(0, nullptr, 0), zeros.data(), static_cast<uInt>(zeros.size()));
    for (std::uint64_t done = 0; done < surplus; done += zeros.size()) {
        packed.insert(packed.end(), block.begin(), block.end());
        checksum = adler32_combine(checksum, zerosChecksum, static_cast<z_off_t>(zeros.size()));
    }
    packed.insert(packed.end(), end.begin(), end.end());
    for (int i = 0; i < 4; ++i) packed[packed.size() - 4 + i] = static_cast<std::uint8_t>(checksum >> (24 - 8 * i));
    return packed;
}

// The colour of pixel (x, y) of the pictures below; grey pictures take its red.
std::uint32_t surplusColour(int x, int y) {
    const auto v = static_cast<std::uint32_t>(x * 20 + y);
    return v << 16 | (v / 2) << 8 | (255 - v);
}

// A 10x10 grey or RGB picture whose compressed stream goes on after the rows
// with surplus zeros, in one image data chunk or in chunks of a mebibyte.
std::vector<std::uint8_t> pngWithSurplus(std::uint64_t surplus, bool split, bool colour) {
    std::vector<std::uint8_t> rows;
    for (int y = 0; y < 10; ++y) {
        rows.push_back(0);
        for (int x = 0; x < 10; ++x) {
            const std::uint32_t c = surplusColour(x, y);
            for (int shift = 16; shift >= (colour ? 0 : 16); shift -= 8) rows.push_back(static_cast<std::uint8_t>(c >> shift));
        }
    }
    const auto packed = zlibWithSurplus(rows, surplus);
    std::vector<std::uint8_t> png = colour ? makePng(rgbLayout(10, 10, surplusColour)) : uniformGreyPng(10, 10, 8);
    png.resize(chunkOffset(png, "IDAT"));
    const std::size_t piece = split ? std::size_t{1} << 20 : packed.size();
    for (std::size_t at = 0; at < packed.size(); at += piece) {
        const auto end = packed.begin() + static_cast<long>(std::min(packed.size(), at + piece));
        const auto chunk = pngChunk("IDAT", std::vector<std::uint8_t>(packed.begin() + static_cast<long>(at), end));
        png.insert(png.end(), chunk.begin(), chunk.end());
    }
    const auto iend = pngChunk("IEND", {});
    png.insert(png.end(), iend.begin(), iend.end());
    return png;
}

// Compressed data beyond the picture is neither read nor inflated: what the
// loader takes stays within the rows' own data and libpng's one input buffer,
// whether the surplus inflates to nothing, a gibibyte or four.
TEST(PngLoader, SurplusCompressedDataAfterTheLastRowIsNotRead) {
    for (const std::uint64_t surplus : {std::uint64_t{0}, std::uint64_t{1} << 30, std::uint64_t{4} << 30}) {
        for (const int form : {0, 1, 2, 3}) {
            const bool split = (form & 1) != 0;
            const bool colour = (form & 2) != 0;
            SCOPED_TRACE(::testing::Message() << "surplus " << surplus << " split " << split << " colour " << colour);
            const auto png = pngWithSurplus(surplus, split, colour);
            CountingSource source(png);
            CapturingDiagnosticSink quiet;
            ScopedDiagnosticSink scope(quiet);
            ImageBuffer image;
            ASSERT_EQ(loadPngSource(image, source), 1) << quiet.errors;
            // Row 0 is the last row read, the one the read stops in.
            for (int x = 0; x < 10; ++x) {
                const std::uint32_t c = surplusColour(x, 9);
                EXPECT_EQ(grey(image, x, 0), colour ? greyRounded(c >> 16, c >> 8 & 0xFF, c & 0xFF) : c >> 16);
            }
            EXPECT_LT(source.taken, 9000u);
        }
    }
}

// Compressed ancillary chunks (text, colour profile) holding a gibibyte are
// passed over, not inflated.
TEST(PngLoader, CompressedAncillaryChunksAreNotInflated) {
    const auto plain = uniformGreyPng(10, 10, 8);
    const auto packed = zlibWithSurplus({}, std::uint64_t{1} << 30);
    for (const std::string type : {"zTXt", "iCCP", "iTXt"}) {
        std::vector<std::uint8_t> data{'k', 0, 0};
        if (type == "iTXt") data.insert(data.end(), {1, 0, 0, 0});
        data.insert(data.end(), packed.begin(), packed.end());
        ImageBuffer image;
        EXPECT_EQ(load(image, inserted(plain, "IDAT", pngChunk(type, data))), 1) << type;
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
