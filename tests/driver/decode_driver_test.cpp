#include "driver/decode_driver.h"

#include <gtest/gtest.h>

#include <new>
#include <utility>
#include <vector>

#include "image/png_loader.h"
#include "support/picture_files.h"

namespace ternwick {
namespace {

// What the recording attempts saw, for the test that installed them.
struct Recording {
    std::vector<std::pair<int, int>> firstPass;   // (direction, index)
    std::vector<std::pair<int, int>> secondPass;
    std::vector<float> secondPassScales;
    std::pair<int, int> yieldAt{-1, -1};  // (pass, call number) that stores a symbol
    std::vector<std::uint8_t> codewords{66};
    std::vector<std::uint8_t> message;
};
void storeSymbol(DecodeContext& context, const Recording* recording) {
    SymbolResult& symbol = context.symbols[context.symbolCount];
    symbol.sizeIndex = 0;
    symbol.codewordCount = static_cast<std::int32_t>(recording->codewords.size());
    symbol.codewords.reset(new std::uint8_t[recording->codewords.size()]);
    std::copy(recording->codewords.begin(), recording->codewords.end(), symbol.codewords.get());
    symbol.messageCapacity = static_cast<std::int32_t>(recording->message.size()) + 10;
    symbol.message.reset(new std::uint8_t[symbol.messageCapacity]());
    std::copy(recording->message.begin(), recording->message.end(), symbol.message.get());
    symbol.messageLength = static_cast<std::int32_t>(recording->message.size());
    symbol.modules.reset(new std::uint8_t[4]());
    symbol.erasures.reset(new std::int32_t[4]());
    ++context.symbolCount;
}

// Attempts that note every line they are given into a recording, and store a
// symbol at the call it names.
class RecordingAttempts final : public ScanLineAttempts {
public:
    explicit RecordingAttempts(Recording& recording) : recording_(recording) {}

    int firstPass(DecodeContext& context, int direction, int index) override {
        recording_.firstPass.emplace_back(direction, index);
        if (recording_.yieldAt == std::pair<int, int>(1, static_cast<int>(recording_.firstPass.size()))) {
            storeSymbol(context, &recording_);
        }
        return context.symbolCount;
    }

    int secondPass(DecodeContext& context, int direction, int index) override {
        recording_.secondPass.emplace_back(direction, index);
        recording_.secondPassScales.push_back(context.image.scale);
        if (index == 10) {
            context.rejectedColumns[context.rejectedColumnCount++] = index;
        }
        if (recording_.yieldAt == std::pair<int, int>(2, static_cast<int>(recording_.secondPass.size()))) {
            storeSymbol(context, &recording_);
        }
        return context.symbolCount;
    }

private:
    Recording& recording_;
};

struct DriverRun {
    explicit DriverRun(Recording& rec) : attempts(rec) {}
    ResultFields fields;
    int result = -1;
    RecordingAttempts attempts;
    DecodeContext context;
};

std::unique_ptr<DriverRun> decode(const std::string& path, Recording& rec) {
    auto run = std::make_unique<DriverRun>(rec);
    run->context.flags = StopAtFirstSymbol;
    run->context.attempts = &run->attempts;
    run->result = decodeImageFile(run->fields, run->context, path);
    return run;
}

std::string writePicture(int width, int height, const char* name = "picture.bmp") {
    const std::string path = testing::scratchDirectory() + "/" + name;
    auto image = testing::makeGreyImage(width, height, [](int x, int y) { return static_cast<std::uint8_t>(x ^ y); });
    const std::string_view tail(name);
    testing::writeFile(path, tail.ends_with(".bmp") || tail.ends_with(".BMP") || tail.ends_with(".Bmp")
                                 ? testing::greyImageToBmp(image)
                                 : testing::greyImageToPng(image));
    return path;
}

std::vector<std::pair<int, int>> lines(int direction, int step, int below) {
    std::vector<std::pair<int, int>> out;
    for (int i = step; i < below; i += step) out.emplace_back(direction, i);
    return out;
}

TEST(DecodeDriver, ScheduleScansColumnsThenRowsInBothPasses) {
    Recording rec;
    auto run = decode(writePicture(100, 80), rec);
    EXPECT_EQ(run->result, 0);
    auto expected = lines(1, 5, 100);
    const auto rows = lines(8, 4, 80);
    expected.insert(expected.end(), rows.begin(), rows.end());
    EXPECT_EQ(rec.firstPass, expected);
    EXPECT_EQ(rec.secondPass, expected);
    for (float scale : rec.secondPassScales) EXPECT_EQ(scale, 2.0f);
    EXPECT_EQ(run->fields.statusText, "Failed!");
    EXPECT_EQ(run->fields.schemeText, "");
    EXPECT_EQ(run->fields.asciiText, "");
    EXPECT_FALSE(run->fields.decoded);
    EXPECT_EQ(run->context.image.pixels, nullptr);
}

TEST(DecodeDriver, StepsFollowFivePercentRoundedHalfUp) {
    struct Case {
        int size;
        int step;
    };
    for (const Case c : {Case{30, 2}, Case{49, 2}, Case{50, 3}, Case{70, 4}, Case{10, 1}, Case{29, 1}}) {
        Recording rec;
        decode(writePicture(c.size, 12), rec);
        std::vector<std::pair<int, int>> columns;
        for (const auto& line : rec.firstPass) {
            if (line.first == 1) columns.push_back(line);
        }
        EXPECT_EQ(columns, lines(1, c.step, c.size)) << c.size;
    }
}

TEST(DecodeDriver, TinyPicturesUseStepOneAndEnd) {
    Recording rec;
    decode(writePicture(3, 7), rec);
    auto expected = lines(1, 1, 3);
    const auto rows = lines(8, 1, 7);
    expected.insert(expected.end(), rows.begin(), rows.end());
    EXPECT_EQ(rec.firstPass, expected);
    Recording single;
    decode(writePicture(1, 1), single);
    EXPECT_TRUE(single.firstPass.empty());
}

TEST(DecodeDriver, FirstSymbolEndsTheSearchAndFillsTheFields) {
    Recording rec;
    rec.yieldAt = {1, 3};
    rec.codewords = {231, 1, 2};
    rec.message = {'A', 'B', 'C'};
    auto run = decode(writePicture(100, 80), rec);
    EXPECT_EQ(rec.firstPass.size(), 3u);
    EXPECT_TRUE(rec.secondPass.empty());
    EXPECT_EQ(run->fields.statusText, "Success!");
    EXPECT_EQ(run->fields.schemeText, "Base256 Latch");
    EXPECT_EQ(run->fields.asciiText, "ABC");
    EXPECT_EQ(run->fields.hexText, "414243");
    EXPECT_TRUE(run->fields.decoded);
    EXPECT_EQ(run->fields.symbolSize, 10);
    // The driver has emptied the first record; symbolCount stays for the caller.
    EXPECT_EQ(run->context.symbolCount, 1);
    EXPECT_EQ(run->context.symbols[0].codewords, nullptr);
    releaseSymbols(run->context);
    EXPECT_EQ(run->context.symbolCount, 0);
}

TEST(DecodeDriver, SchemeTableDecidesStatusAndScheme) {
    const std::pair<int, const char*> table[] = {{224, "AsciiStd"},       {230, "C40 Latch"},
                                                 {231, "Base256 Latch"},  {235, "Upper Shift Latch"},
                                                 {238, "X12 Latch"},      {239, "Text Latch"},
                                                 {240, "EDIFACT Latch"}};
    for (const auto& [codeword, name] : table) {
        Recording rec;
        rec.yieldAt = {1, 1};
        rec.codewords = {static_cast<std::uint8_t>(codeword)};
        rec.message = {'x'};
        auto run = decode(writePicture(40, 40), rec);
        EXPECT_EQ(run->fields.statusText, "Success!") << codeword;
        EXPECT_EQ(run->fields.schemeText, name);
    }
    Recording ascii;
    ascii.yieldAt = {1, 1};
    ascii.codewords = {66};
    ascii.message = {'A'};
    auto run = decode(writePicture(40, 40), ascii);
    EXPECT_EQ(run->fields.statusText, "");
    EXPECT_EQ(run->fields.schemeText, "");
    EXPECT_EQ(run->fields.asciiText, "A");
    EXPECT_EQ(run->fields.hexText, "41");
    EXPECT_TRUE(run->fields.decoded);
}

TEST(DecodeDriver, TextAndHexShowAtMostTwelveBytesAndAZeroEndsTheText) {
    Recording rec;
    rec.yieldAt = {1, 1};
    rec.message = {'a', 'b', 0x0A, 'c', 0, 'd', 'e', 'f', 'g', 'h', 'i', 'j', 'k', 'l', 'm', 'n', 'o', 'p', 'q', 'r'};
    auto run = decode(writePicture(40, 40), rec);
    EXPECT_EQ(run->fields.asciiText, "ab\nc");
    EXPECT_EQ(run->fields.hexText, "61620A63006465666768696A");
    EXPECT_EQ(run->fields.message, rec.message);
}

TEST(DecodeDriver, SecondPassRunsOnTheUnfilteredPictureWithFreshRejectedLists) {
    Recording rec;
    rec.yieldAt = {2, 2};
    auto run = decode(writePicture(100, 80), rec);
    EXPECT_EQ(rec.secondPass.size(), 2u);
    EXPECT_EQ(rec.secondPassScales, (std::vector<float>{2.0f, 2.0f}));
    EXPECT_EQ(run->context.rejectedColumnCount, 1);
    EXPECT_EQ(run->context.rejectedColumns[0], 10);
    EXPECT_TRUE(run->fields.decoded);
}

TEST(DecodeDriver, PathRules) {
    Recording rec;
    // Accepted whatever the letter case; five characters are enough.
    for (const char* name : {"a.Bmp", "IMG.PNG", "x.bmp"}) {
        auto run = decode(writePicture(20, 20, name), rec);
        EXPECT_EQ(run->result, 0) << name;
        EXPECT_EQ(run->fields.statusText, "Failed!") << name;
    }
    for (const char* path : {".bmp", "photo.jpg", "bmp"}) {
        Recording none;
        ResultFields fields;
        fields.statusText = "kept";
        fields.asciiText = "kept";
        RecordingAttempts attempts(none);
        DecodeContext context;
        context.attempts = &attempts;
        EXPECT_EQ(decodeImageFile(fields, context, path), 0) << path;
        EXPECT_EQ(fields.statusText, "kept");
        EXPECT_EQ(fields.asciiText, "kept");
        EXPECT_TRUE(none.firstPass.empty());
    }
}

TEST(DecodeDriver, UnloadableFilesShowTheLoadMessage) {
    const std::string dir = testing::scratchDirectory();
    testing::writeFile(dir + "/fake.bmp", {'n', 'o', 't', ' ', 'a', ' ', 'b', 'm', 'p'});
    for (const std::string& path : {dir + "/fake.bmp", dir + "/missing.png", dir + "/missing.bmp"}) {
        ResultFields fields;
        fields.schemeText = "kept";
        fields.hexText = "kept";
        DecodeContext context;
        EXPECT_EQ(decodeImageFile(fields, context, path), 1) << path;
        EXPECT_EQ(fields.statusText, "Failed!");
        EXPECT_EQ(fields.asciiText, kLoadFailureText);
        EXPECT_EQ(fields.schemeText, "kept");
        EXPECT_EQ(fields.hexText, "kept");
    }
}

// Attempts that run out of memory: by the stages' flag, or by an exception
// from the standard library.
class StarvedAttempts final : public ScanLineAttempts {
public:
    explicit StarvedAttempts(bool thrown) : thrown_(thrown) {}
    int firstPass(DecodeContext& context, int, int) override { return starve(context); }
    int secondPass(DecodeContext& context, int, int) override { return starve(context); }

private:
    int starve(DecodeContext& context) const {
        if (thrown_) throw std::bad_alloc();
        context.outOfMemory = true;
        return 0;
    }
    bool thrown_;
};

TEST(DecodeDriver, MemoryRunningOutShowsTheLoadMessage) {
    for (const bool thrown : {false, true}) {
        StarvedAttempts starved(thrown);
        DecodeContext context;
        context.attempts = &starved;
        ResultFields fields;
        const std::string path = TERNWICK_SOURCE_DIR "/tests/data/reference/rotated90-20x20.png";
        EXPECT_EQ(decodeImageFile(fields, context, path), 1) << thrown;
        EXPECT_EQ(fields.statusText, "Failed!");
        EXPECT_EQ(fields.asciiText, kLoadFailureText);
        EXPECT_EQ(fields.loadError.code, FailureKind::OutOfMemory);
        EXPECT_EQ(context.image.pixels, nullptr);
    }
}

TEST(DecodeDriver, APictureInMemoryDecodesAsTheSameFileDoes) {
    const std::string path = TERNWICK_SOURCE_DIR "/tests/data/reference/rotated90-20x20.png";
    ResultFields fromFile;
    auto fileContext = std::make_unique<DecodeContext>();
    ASSERT_EQ(decodeImageFile(fromFile, *fileContext, path), 0);
    ASSERT_TRUE(fromFile.decoded);

    ResultFields fromMemory;
    auto memoryContext = std::make_unique<DecodeContext>();
    ASSERT_EQ(loadPngImage(memoryContext->image, path), 1);
    EXPECT_EQ(decodeLoadedImage(fromMemory, *memoryContext), 0);
    EXPECT_EQ(fromMemory.statusText, fromFile.statusText);
    EXPECT_EQ(fromMemory.schemeText, fromFile.schemeText);
    EXPECT_EQ(fromMemory.asciiText, fromFile.asciiText);
    EXPECT_EQ(fromMemory.hexText, fromFile.hexText);
    EXPECT_EQ(fromMemory.message, fromFile.message);
    EXPECT_EQ(fromMemory.symbolSize, fromFile.symbolSize);
    EXPECT_EQ(memoryContext->image.pixels, nullptr);
}

TEST(DecodeDriver, APictureNoLoaderWouldGiveIsRefused) {
    struct Case {
        const char* what;
        std::int32_t width;
        std::int32_t height;
        bool pixels;
    };
    const Case cases[] = {{"no pixels", 20, 20, false},
                          {"no columns", 0, 20, true},
                          {"negative height", 20, -20, true},
                          {"above 2^26 pixels", 8193, 8192, true},
                          {"dimensions whose product wraps", 65536, 65536, true}};
    for (const Case& c : cases) {
        auto context = std::make_unique<DecodeContext>();
        context->image.width = c.width;
        context->image.height = c.height;
        // A small buffer: nothing may be read from it once the dimensions are refused.
        if (c.pixels) context->image.pixels.reset(new std::uint8_t[3]());
        ResultFields fields;
        EXPECT_EQ(decodeLoadedImage(fields, *context), 1) << c.what;
        EXPECT_EQ(fields.statusText, "Failed!") << c.what;
        EXPECT_EQ(fields.asciiText, kLoadFailureText) << c.what;
        EXPECT_FALSE(fields.decoded);
        EXPECT_EQ(context->image.pixels, nullptr) << c.what;
    }
}

TEST(DecodeDriver, ReleaseSymbolsFreesEveryStoredRecord) {
    DecodeContext context;
    for (int i = 0; i < 3; ++i) {
        context.symbols[i].codewords.reset(new std::uint8_t[8]);
        context.symbols[i].message.reset(new std::uint8_t[8]);
        context.symbols[i].messageLength = 5;
    }
    context.symbolCount = 3;
    releaseSymbols(context);
    EXPECT_EQ(context.symbolCount, 0);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(context.symbols[i].codewords, nullptr);
        EXPECT_EQ(context.symbols[i].messageLength, 0);
    }
}

}  // namespace
}  // namespace ternwick
