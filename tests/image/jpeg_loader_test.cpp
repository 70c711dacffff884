#include "image/jpeg_loader.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <functional>

#include "support/picture_files.h"

namespace ternwick {
namespace {

using testing::JpegStyle;

// Dark top half, a light bottom half with a ramp across it.
ImageBuffer twoHalves() {
    return testing::makeGreyImage(48, 32, [](int x, int y) { return static_cast<std::uint8_t>(y < 16 ? 160 + x : 30); });
}

TEST(JpegLoader, EveryStyleLoadsAsNearlyTheSameGreyRowsBottomUp) {
    const ImageBuffer original = twoHalves();
    for (const JpegStyle style : {JpegStyle::Grey, JpegStyle::Colour, JpegStyle::Progressive}) {
        const auto bytes = testing::greyImageToJpeg(original, style);
        ImageBuffer image;
        Failure error;
        ASSERT_EQ(loadJpegMemory(image, bytes.data(), bytes.size(), &error), 1) << error.reason;
        ASSERT_EQ(image.width, 48);
        ASSERT_EQ(image.height, 32);
        EXPECT_EQ(image.scale, 1.0f);
        int worst = 0;
        for (int y = 0; y < 32; ++y) {
            for (int x = 0; x < 48; ++x) {
                worst = std::max(worst, std::abs(greyAt(image, x, y) - greyAt(original, x, y)));
            }
        }
        EXPECT_LE(worst, 12) << static_cast<int>(style);
    }
}

// The bytes of a JPEG with the frame header's height and width replaced.
std::vector<std::uint8_t> withSize(std::vector<std::uint8_t> bytes, unsigned height, unsigned width) {
    for (std::size_t i = 2; i + 9 < bytes.size(); ++i) {
        if (bytes[i] == 0xFF && (bytes[i + 1] == 0xC0 || bytes[i + 1] == 0xC2)) {
            bytes[i + 5] = static_cast<std::uint8_t>(height >> 8);
            bytes[i + 6] = static_cast<std::uint8_t>(height);
            bytes[i + 7] = static_cast<std::uint8_t>(width >> 8);
            bytes[i + 8] = static_cast<std::uint8_t>(width);
            break;
        }
    }
    return bytes;
}

TEST(JpegLoader, BadFilesSayWhy) {
    const auto good = testing::greyImageToJpeg(twoHalves(), JpegStyle::Colour);
    const auto half = std::vector<std::uint8_t>(good.begin(), good.begin() + good.size() / 2);
    auto scrambled = good;
    for (std::size_t i = good.size() / 2; i + 2 < good.size(); i += 7) scrambled[i] = 0xFF;
    struct Case {
        const char* what;
        std::vector<std::uint8_t> bytes;
        FailureKind code;
        const char* reason;  // nullptr: any reason
    };
    const Case cases[] = {
        {"cut in half", half, FailureKind::Truncated, "truncated JPEG data"},
        {"cut after the start marker", {0xFF, 0xD8, 0xFF}, FailureKind::Truncated, "truncated JPEG data"},
        {"CMYK", testing::greyImageToJpeg(twoHalves(), JpegStyle::Cmyk), FailureKind::UnsupportedFormat,
         "CMYK JPEG pictures are not supported"},
        {"65535 pixels wide", withSize(good, 32, 65535), FailureKind::TooLarge,
         "JPEG picture wider or taller than 65500 pixels"},
        {"too many pixels", withSize(good, 8193, 8192), FailureKind::TooLarge, "picture larger than 67108864 pixels"},
        {"width 0", withSize(good, 32, 0), FailureKind::Corrupt, nullptr},
        {"scrambled", scrambled, FailureKind::Corrupt, nullptr},
    };
    for (const Case& c : cases) {
        ImageBuffer image;
        Failure error;
        EXPECT_EQ(loadJpegMemory(image, c.bytes.data(), c.bytes.size(), &error), 0) << c.what;
        EXPECT_EQ(image.pixels, nullptr) << c.what;
        EXPECT_EQ(error.code, c.code) << c.what << ": " << error.reason;
        if (c.reason != nullptr) {
            EXPECT_EQ(error.reason, c.reason) << c.what;
        }
    }
}

// A scan of stray bytes that ends at the end marker is accepted with a
// warning, but the library leaves rows of it unwritten: they must not keep
// what the reused pixels held before.
TEST(JpegLoader, RowsTheLibraryLeavesUnwrittenDoNotKeepOldPixels) {
    const auto bytes =
        testing::readFile(TERNWICK_SOURCE_DIR "/fuzz/corpus/jpeg_loader/12f363d7a29d7298bae9d4477927705e14250115");
    std::vector<std::uint8_t> loaded[2];
    for (const std::uint8_t before : {0, 255}) {
        ImageBuffer image;
        std::memset(preparePixels(image, 64, 64), before, 64 * 64);
        ASSERT_EQ(loadJpegMemory(image, bytes.data(), bytes.size()), 1);
        loaded[before != 0].assign(image.pixels.get(), image.pixels.get() + image.width * image.height);
    }
    EXPECT_EQ(loaded[0], loaded[1]);
}

}  // namespace
}  // namespace ternwick
