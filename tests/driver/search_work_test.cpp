// The work allowance of a search pass: ordinary pictures stay far below it,
// busy ones are cut short within it, and each pass has its own.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "driver/decode_driver.h"
#include "core/diagnostics.h"
#include "image/bmp_reader.h"
#include "image/png_loader.h"
#include "driver/decode_trace.h"
#include "support/picture_files.h"
#include "support/search_work.h"
#include "support/worst_case_pictures.h"

namespace ternwick {
namespace {

struct Decoded {
    ResultFields fields;
    DecodeTrace trace;
    testing::PassWork work;
};

std::unique_ptr<Decoded> decodeMeasured(ImageBuffer image, std::int64_t limit = kSearchWorkLimit) {
    auto out = std::make_unique<Decoded>();
    auto context = std::make_unique<DecodeContext>();
    context->image = std::move(image);
    testing::MeasuringAttempts attempts(out->work);
    context->attempts = &attempts;
    context->trace = &out->trace;
    context->work.limit = limit;
    CapturingDiagnosticSink sink;
    ScopedDiagnosticSink scoped(sink);
    decodeLoadedImage(out->fields, *context);
    return out;
}

TEST(SearchWork, OrdinaryPicturesUseAFractionOfTheAllowance) {
    const std::string folder = TERNWICK_SOURCE_DIR "/tests/data/reference/";
    for (const char* name : {"upright-16x16.png", "rotated90-20x20.png", "light-on-dark-64x64.png",
                             "rotated20-32x32-grey24.bmp"}) {
        const std::string path = folder + name;
        ImageBuffer image;
        ASSERT_EQ(path.ends_with(".png") ? loadPngImage(image, path) : loadBmpImage(image, path), 1) << name;
        const auto decoded = decodeMeasured(std::move(image));
        EXPECT_TRUE(decoded->fields.decoded) << name;
        EXPECT_EQ(decoded->trace.passesCutShort, 0) << name;
        EXPECT_LT(decoded->work.firstPass, kSearchWorkLimit / 100) << name;
        EXPECT_LT(decoded->work.secondPass, kSearchWorkLimit / 100) << name;
    }
}

TEST(SearchWork, ABusyPictureIsCutShortNearTheAllowance) {
    // A checkerboard of single pixels makes a finder at nearly every crossing.
    constexpr std::int64_t kLimit = 150000;
    const auto decoded = decodeMeasured(testing::checkerboardPicture(300, 200), kLimit);
    EXPECT_FALSE(decoded->fields.decoded);
    EXPECT_EQ(decoded->fields.statusText, "Failed!");
    EXPECT_EQ(decoded->trace.passesCutShort, 2);
    // A pass stops at the first crossing after the allowance is spent, so it
    // overruns by at most one crossing's work.
    for (const std::int64_t work : {decoded->work.firstPass, decoded->work.secondPass}) {
        EXPECT_GE(work, kLimit);
        EXPECT_LT(work, kLimit + 50000);
    }
}

TEST(SearchWork, EachPassStartsWithTheWholeAllowance) {
    const auto decoded = decodeMeasured(testing::checkerboardPicture(300, 200), 150000);
    ASSERT_FALSE(decoded->work.atSecondPassStart.empty());
    EXPECT_EQ(decoded->work.atSecondPassStart.front(), 0);
}

TEST(SearchWork, TheFurtherPassesSpendAboutWhatTheFirstTwoSpent) {
    // Their allowance: the first two passes' work and what they did uncounted,
    // or a small floor; a picture without detail is not searched again.
    struct Case {
        const char* what;
        ImageBuffer picture;
        bool searched;
    };
    Case cases[] = {
        {"noise", testing::noisePicture(150, 150), true},
        {"checkerboard", testing::checkerboardPicture(120, 90), true},
        {"flat", testing::makeGreyImage(150, 150, [](int x, int y) { return x / 50 + y / 40 < 3 ? 200 : 180; }), false},
        // Soft shading looks blurred; with nothing located it is not read as blurred symbols.
        {"soft shading", testing::makeGreyImage(320, 240, [](int x, int y) {
             return static_cast<std::uint8_t>(128 + 60 * std::sin(x / 15.0) * std::cos(y / 23.0));
         }), false},
    };
    for (Case& c : cases) {
        const auto decoded = decodeMeasured(std::move(c.picture));
        const testing::PassWork& work = decoded->work;
        EXPECT_FALSE(decoded->fields.decoded) << c.what;
        EXPECT_EQ(work.furtherPasses > 0, c.searched) << c.what;
        EXPECT_LT(work.furtherPasses, std::max<std::int64_t>(80000, 2 * (work.firstPass + work.secondPass)) + 50000)
            << c.what;
    }
}

}  // namespace
}  // namespace ternwick
