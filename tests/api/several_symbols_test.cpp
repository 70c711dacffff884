// Several symbols in one picture through the public API.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "support/symbol_sheet.h"
#include "ternwick/ternwick.h"

namespace ternwick {
namespace {

ReadResult readSheet(const testing::SymbolSheet& sheet, int maxSymbols, std::vector<std::uint8_t>& grey) {
    const ImageBuffer& image = sheet.image;
    grey.resize(static_cast<std::size_t>(image.width) * image.height);
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x) {
            grey[static_cast<std::size_t>(y) * image.width + x] = greyAt(image, x, image.height - 1 - y);
        }
    }
    ReaderOptions options;
    options.maxSymbols = maxSymbols;
    return readSymbols({grey.data(), image.width, image.height, image.width, PixelFormat::Grey}, options);
}

std::multiset<std::string> textsOf(const ReadResult& result) {
    std::multiset<std::string> texts;
    for (const Symbol& symbol : result.symbols) texts.emplace(symbol.bytes.begin(), symbol.bytes.end());
    return texts;
}

TEST(SeveralSymbols, EverySymbolOfMixedSizesComesBackOnce) {
    struct Case {
        int count;
        std::vector<int> sizes;
    };
    for (const Case& c : {Case{2, {16, 24}}, Case{5, {10, 14, 20, 32, 12}}, Case{12, {10, 18, 26, 36, 48, 16}}}) {
        const testing::SymbolSheet sheet = testing::composeSheet(testing::mixedSymbols(c.count, c.sizes));
        std::vector<std::uint8_t> grey;
        const ReadResult result = readSheet(sheet, 50, grey);
        ASSERT_FALSE(result.error) << result.error.reason;
        const std::multiset<std::string> expected(sheet.texts.begin(), sheet.texts.end());
        EXPECT_EQ(textsOf(result), expected) << c.count << " symbols";
        // Where each was found: its corners lie in the picture.
        for (const Symbol& symbol : result.symbols) {
            for (const Point& p : symbol.corners) {
                EXPECT_GT(p.x, 0.0);
                EXPECT_LT(p.x, sheet.image.width);
            }
        }
        // Asking for one still stops at the first.
        EXPECT_EQ(readSheet(sheet, 1, grey).symbols.size(), 1u);
    }
}

TEST(SeveralSymbols, AFullSheetGivesNoMoreThanTheLimit) {
    const testing::SymbolSheet sheet = testing::composeSheet(testing::mixedSymbols(200, {10, 12}, true));
    std::vector<std::uint8_t> grey;
    for (const int limit : {7, 40}) {
        const ReadResult result = readSheet(sheet, limit, grey);
        ASSERT_FALSE(result.error);
        EXPECT_EQ(result.symbols.size(), static_cast<std::size_t>(limit));
        const std::multiset<std::string> texts = textsOf(result);
        EXPECT_EQ(std::set<std::string>(texts.begin(), texts.end()).size(), texts.size()) << "a symbol twice";
        for (const std::string& text : texts) {
            EXPECT_NE(std::find(sheet.texts.begin(), sheet.texts.end(), text), sheet.texts.end()) << text;
        }
    }
}

}  // namespace
}  // namespace ternwick
