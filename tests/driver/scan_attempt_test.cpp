#include "driver/scan_attempt.h"

#include <gtest/gtest.h>

#include "support/picture_files.h"
#include "support/symbol_writer.h"

namespace ternwick {
namespace {

TEST(ScanAttempt, StopsAtOnceWhenASymbolIsAlreadyStored) {
    DecodeContext context;
    context.flags = StopAtFirstSymbol;
    context.symbolCount = 1;  // and no picture at all: nothing may be read
    EXPECT_EQ(attemptScanLine(context, 1, 5), 1);
    EXPECT_EQ(attemptScanLineSecondPass(context, 8, 5), 1);
}

TEST(ScanAttempt, LinesThatDoNotQualifyLeaveNoTrace) {
    DecodeContext context;
    context.flags = StopAtFirstSymbol;
    // Two transitions only: one dark bar across a light picture.
    context.image = testing::makeGreyImage(40, 40, [](int x, int) { return x >= 10 && x < 20 ? 0 : 255; });
    EXPECT_EQ(attemptScanLine(context, 8, 20), 0);
    // Eleven pixels, however busy.
    context.image = testing::makeGreyImage(11, 11, [](int x, int y) { return (x + y) % 2 ? 0 : 255; });
    EXPECT_EQ(attemptScanLine(context, 8, 5), 0);
    EXPECT_EQ(attemptScanLine(context, 1, 5), 0);
    EXPECT_EQ(context.rejectedRowCount, 0);
    EXPECT_EQ(context.rejectedColumnCount, 0);
    // Lines that are not lines of the picture are refused.
    EXPECT_EQ(attemptScanLine(context, 1, 11), 0);
    EXPECT_EQ(attemptScanLine(context, 8, -1), 0);
    EXPECT_EQ(attemptScanLine(context, 2, 5), 0);
}

TEST(ScanAttempt, RejectedLinesAreRecordedOnceInARowAndNeverBeyondTheList) {
    DecodeContext context;
    recordRejectedLine(context, 1, 15);
    recordRejectedLine(context, 1, 15);
    recordRejectedLine(context, 8, 15);
    recordRejectedLine(context, 1, 20);
    recordRejectedLine(context, 1, 15);
    recordRejectedLine(context, 4, 15);
    EXPECT_EQ(context.rejectedColumnCount, 3);
    EXPECT_EQ(context.rejectedColumns[0], 15);
    EXPECT_EQ(context.rejectedColumns[1], 20);
    EXPECT_EQ(context.rejectedColumns[2], 15);
    EXPECT_EQ(context.rejectedRowCount, 1);
    for (int i = 0; i < 3000; ++i) recordRejectedLine(context, 8, i);
    EXPECT_EQ(context.rejectedRowCount, kRejectedLineCapacity);
    EXPECT_EQ(context.rejectedRows[kRejectedLineCapacity - 1], kRejectedLineCapacity - 2);
}

TEST(ScanAttempt, WithoutStopAtFirstNoMoreThanSixteenSymbolsAreStored) {
    testing::RenderOptions options;
    options.moduleSize = 5.0;
    const auto rendered = testing::renderText("Sixteen", 16, options);
    auto context = std::make_unique<DecodeContext>();
    context->flags = 0;
    context->image = testing::renderText("Sixteen", 16, options).image;
    medianPrefilter(context->image);
    const int line = static_cast<int>((rendered.finderCorner.x + rendered.solidRowEnd.x) / 2);
    int count = 0;
    for (int i = 0; i < 40; ++i) count = attemptScanLine(*context, 1, line);
    EXPECT_EQ(count, kMaxSymbols);
    for (int i = 0; i < kMaxSymbols; ++i) {
        ASSERT_NE(context->symbols[i].message, nullptr) << i;
        EXPECT_EQ(std::string(context->symbols[i].message.get(),
                              context->symbols[i].message.get() + context->symbols[i].messageLength),
                  "Sixteen");
    }
    releaseSymbols(*context);
}

}  // namespace
}  // namespace ternwick
