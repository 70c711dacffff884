// The public API as a caller sees it: pictures in every pixel format, where
// the symbol lies, and what comes back for bad input.
#include "ternwick/ternwick.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "support/caller_picture.h"
#include "support/picture_files.h"
#include "support/symbol_writer.h"

namespace ternwick {
namespace {

constexpr const char* kText = "TERNWICK 2026";

using testing::callerPicture;
using testing::CallerPicture;

// The drawn corner of the symbol in the API's picture coordinates.
Point drawnCorner(const ::ternwick::testing::RenderedSymbol& rendered, double X, double Y) {
    const Vector2 p = rendered.toImage(X, Y);
    return {p.x + 0.5, rendered.image.height - 0.5 - p.y};
}

TEST(SymbolReader, EveryPixelFormatAndStrideGivesTheSameSymbol) {
    ::ternwick::testing::RenderOptions options;
    options.rotationDegrees = 12;
    const auto rendered = ::ternwick::testing::renderText(kText, 16, options);
    std::vector<Symbol> found;
    for (const PixelFormat format :
         {PixelFormat::Grey, PixelFormat::RGB, PixelFormat::BGR, PixelFormat::RGBA, PixelFormat::BGRA}) {
        for (const int padding : {0, 3, 64}) {
            const CallerPicture picture = callerPicture(rendered.image, format, padding);
            const ReadResult result = readSymbols(picture.view);
            ASSERT_FALSE(result.error) << result.error.reason;
            ASSERT_EQ(result.symbols.size(), 1u) << static_cast<int>(format) << " padding " << padding;
            found.push_back(result.symbols[0]);
        }
    }
    for (const Symbol& symbol : found) {
        EXPECT_EQ(std::string(symbol.bytes.begin(), symbol.bytes.end()), kText);
        EXPECT_EQ(symbol.rows, 16);
        EXPECT_EQ(symbol.columns, 16);
        EXPECT_EQ(symbol.pass, 1);
        for (std::size_t i = 0; i < 4; ++i) {
            EXPECT_EQ(symbol.corners[i].x, found[0].corners[i].x);
            EXPECT_EQ(symbol.corners[i].y, found[0].corners[i].y);
        }
    }
}

TEST(SymbolReader, CornersLieOnTheDrawnSymbolAtAnyTurn) {
    for (const bool secondPass : {false, true}) {
        for (const double degrees : {0.0, 30.0, 90.0, 200.0}) {
            ::ternwick::testing::RenderOptions options;
            options.rotationDegrees = degrees;
            options.moduleSize = 6;
            if (secondPass) {
                // A strong illumination gradient leaves the symbol to the second pass.
                options.darkLevel = 20;
                options.lightLevel = 120;
                options.illuminationGradient = 124;
            }
            const int size = 24;
            const auto rendered = ::ternwick::testing::renderText(kText, size, options);
            const CallerPicture picture = callerPicture(rendered.image, PixelFormat::Grey, 0);
            const ReadResult result = readSymbols(picture.view);
            if (secondPass && result.symbols.empty()) continue;  // not every turn reaches the second pass's reach
            ASSERT_EQ(result.symbols.size(), 1u) << degrees;
            const Symbol& symbol = result.symbols[0];
            const Point drawn[4] = {drawnCorner(rendered, 0, size), drawnCorner(rendered, size, size),
                                    drawnCorner(rendered, size, 0), drawnCorner(rendered, 0, 0)};
            // The first pass places every corner within a pixel; the second,
            // under a strong gradient, within a module.
            const double tolerance = symbol.pass == 1 ? 1.0 : options.moduleSize;
            for (int i = 0; i < 4; ++i) {
                EXPECT_NEAR(symbol.corners[i].x, drawn[i].x, tolerance) << degrees << " corner " << i;
                EXPECT_NEAR(symbol.corners[i].y, drawn[i].y, tolerance) << degrees << " corner " << i;
            }
        }
    }
}

TEST(SymbolReader, MirroredSymbolsReadAtAnyTurnWithTheirOwnCorners) {
    namespace t = ::ternwick::testing;
    for (const int size : {16, 32}) {
        t::ModuleMatrix modules = t::symbolModules(size, t::addCheckCodewords(t::encodeAscii(kText, size), size));
        for (auto& row : modules) std::reverse(row.begin(), row.end());
        for (const double degrees : {0.0, 45.0, 90.0, 180.0, 270.0}) {
            t::RenderOptions options;
            options.rotationDegrees = degrees;
            options.lightOnDark = degrees == 90.0;
            const auto rendered = t::renderSymbol(modules, options);
            const CallerPicture picture = callerPicture(rendered.image, PixelFormat::Grey, 0);
            const ReadResult result = readSymbols(picture.view);
            ASSERT_EQ(result.symbols.size(), 1u) << size << " at " << degrees;
            const Symbol& symbol = result.symbols[0];
            EXPECT_EQ(std::string(symbol.bytes.begin(), symbol.bytes.end()), kText);
            EXPECT_TRUE(symbol.mirrored);
            // The symbol's own top-left corner is drawn at the top right.
            const Point drawn[4] = {drawnCorner(rendered, size, size), drawnCorner(rendered, 0, size),
                                    drawnCorner(rendered, 0, 0), drawnCorner(rendered, size, 0)};
            for (int i = 0; i < 4; ++i) {
                EXPECT_NEAR(symbol.corners[i].x, drawn[i].x, 1.0) << degrees << " corner " << i;
                EXPECT_NEAR(symbol.corners[i].y, drawn[i].y, 1.0) << degrees << " corner " << i;
            }
        }
    }
    // Symbols as printed say they are not mirrored.
    const auto upright = t::renderText(kText, 16, t::RenderOptions{});
    EXPECT_FALSE(readSymbols(callerPicture(upright.image, PixelFormat::Grey, 0).view).symbols.at(0).mirrored);
}

TEST(SymbolReader, BadPicturesAndOptionsAreRefusedWithAReason) {
    std::vector<std::uint8_t> pixels(64 * 64, 128);
    struct Case {
        const char* what;
        ImageView view;
        ReaderOptions options;
        ErrorCode expected;
    };
    ReaderOptions none;
    none.maxSymbols = 0;
    const Case cases[] = {
        {"null pixels", {nullptr, 64, 64, 64, PixelFormat::Grey}, {}, ErrorCode::InvalidArgument},
        {"zero width", {pixels.data(), 0, 64, 64, PixelFormat::Grey}, {}, ErrorCode::InvalidArgument},
        {"negative height", {pixels.data(), 64, -1, 64, PixelFormat::Grey}, {}, ErrorCode::InvalidArgument},
        {"short stride", {pixels.data(), 64, 64, 63, PixelFormat::Grey}, {}, ErrorCode::InvalidArgument},
        {"stride short of RGB", {pixels.data(), 30, 30, 64, PixelFormat::RGB}, {}, ErrorCode::InvalidArgument},
        {"too large", {pixels.data(), 1 << 14, 1 << 13, 1 << 14, PixelFormat::Grey}, {}, ErrorCode::TooLarge},
        {"no symbols asked for", {pixels.data(), 64, 64, 64, PixelFormat::Grey}, none, ErrorCode::InvalidArgument},
    };
    for (const Case& c : cases) {
        const ReadResult result = readSymbols(c.view, c.options);
        EXPECT_EQ(result.error.code, c.expected) << c.what;
        EXPECT_FALSE(result.error.reason.empty()) << c.what;
        EXPECT_TRUE(result.symbols.empty()) << c.what;
    }
    const ReadResult blank = readSymbols({pixels.data(), 64, 64, 64, PixelFormat::Grey});
    EXPECT_FALSE(blank.error);
    EXPECT_TRUE(blank.symbols.empty());
}

TEST(SymbolReader, DiagnosticsReachOnlyTheCallersFunction) {
    const auto rendered = ::ternwick::testing::renderText(kText, 16, {});
    const CallerPicture picture = callerPicture(rendered.image, PixelFormat::Grey, 0);
    std::string seen;
    ReaderOptions options;
    options.diagnostics = [&](std::string_view text) { seen += text; };
    ::testing::internal::CaptureStdout();
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(readSymbols(picture.view).symbols.size(), 1u);
    EXPECT_EQ(readSymbols(picture.view, options).symbols.size(), 1u);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
}

// The symbol read back from a picture of the given data codewords.
Symbol readCodewords(const std::vector<std::uint8_t>& data, int symbolSize) {
    namespace t = ::ternwick::testing;
    const auto modules = t::symbolModules(symbolSize, t::addCheckCodewords(t::padData(data, symbolSize), symbolSize));
    const auto rendered = t::renderSymbol(modules, {});
    const ReadResult result = readSymbols(callerPicture(rendered.image, PixelFormat::Grey, 0).view);
    if (result.symbols.size() != 1) throw std::runtime_error("no symbol read");
    return result.symbols[0];
}

TEST(SymbolReader, MessageMetadataTravelsWithTheSymbol) {
    // GS1: FNC1 first, then (01) of predefined length and (10) ended by the string's end.
    const Symbol gs1 = readCodewords({232, 131, 139, 180, 141, 131, 183, 130, 133, 140, 66, 67, 68}, 18);
    EXPECT_EQ(std::string(gs1.bytes.begin(), gs1.bytes.end()), "0109501101530003" "10ABC");
    EXPECT_TRUE(gs1.gs1);
    EXPECT_EQ(gs1.symbologyId, "]d2");
    EXPECT_EQ(gs1.gs1Hri, "(01)09501101530003(10)ABC");
    EXPECT_TRUE(gs1.eci.empty());
    EXPECT_FALSE(gs1.structuredAppend.has_value());
    EXPECT_EQ(gs1.messageFault, "");

    // Macro 06 with ECI 3 after its header, in the last symbol of a series of three.
    const Symbol macro = readCodewords({233, 0x2E, 7, 9, 237, 241, 4, 66, 235, 106}, 18);
    EXPECT_EQ(std::string(macro.bytes.begin(), macro.bytes.end()), "[)>\x1E" "06\x1D" "A\xE9\x1E\x04");
    EXPECT_EQ(macro.macro, 6);
    EXPECT_EQ(macro.symbologyId, "]d4");
    ASSERT_EQ(macro.eci.size(), 1u);
    EXPECT_EQ(macro.eci[0].value, 3u);
    EXPECT_EQ(macro.eci[0].position, 7u);
    ASSERT_TRUE(macro.structuredAppend.has_value());
    EXPECT_EQ(macro.structuredAppend->position, 3);
    EXPECT_EQ(macro.structuredAppend->total, 3);
    EXPECT_EQ(macro.structuredAppend->fileId1, 7);
    EXPECT_EQ(macro.structuredAppend->fileId2, 9);
    EXPECT_EQ(macro.gs1Hri, "");
    EXPECT_FALSE(macro.readerProgramming);

    // A stream whose data ends inside an ECI value: the message so far and why it stopped.
    const Symbol cut = readCodewords({234, 66, 241}, 10);
    EXPECT_EQ(std::string(cut.bytes.begin(), cut.bytes.end()), "A");
    EXPECT_TRUE(cut.readerProgramming);
    EXPECT_NE(cut.messageFault, "");
}

TEST(PictureLoading, LoadsByContentAndSaysWhyNot) {
    const std::string dir = ::ternwick::testing::scratchDirectory();
    const auto rendered = ::ternwick::testing::renderText(kText, 16, {});
    // A PNG under a BMP name still loads: the first bytes decide.
    ::ternwick::testing::writeFile(dir + "/png-named.bmp", ::ternwick::testing::greyImageToPng(rendered.image));
    ::ternwick::testing::writeFile(dir + "/text.png", {'h', 'e', 'l', 'l', 'o'});
    ::ternwick::testing::writeFile(dir + "/cut.png", {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0});
    std::filesystem::create_directories(dir + "/folder.png");
    ASSERT_EQ(mkfifo((dir + "/pipe.png").c_str(), 0600), 0);  // no writer: opening it must not block
    const LoadResult loaded = loadPicture(dir + "/png-named.bmp");
    ASSERT_TRUE(loaded) << loaded.error.reason;
    EXPECT_EQ(loaded.picture.width, rendered.image.width);
    const ReadResult read = readSymbols(loaded.picture.view());
    ASSERT_EQ(read.symbols.size(), 1u);
    EXPECT_EQ(std::string(read.symbols[0].bytes.begin(), read.symbols[0].bytes.end()), kText);

    struct Case {
        std::string path;
        ErrorCode expected;
        const char* reason;
    };
    const Case cases[] = {
        {dir + "/missing.png", ErrorCode::FileNotFound, "no such file"},
        {dir + "/folder.png", ErrorCode::NotARegularFile, "is a directory"},
        {dir + "/pipe.png", ErrorCode::NotARegularFile, "not a regular file"},
        {"/dev/null", ErrorCode::NotARegularFile, "not a regular file"},
        {dir + "/text.png", ErrorCode::UnsupportedFormat, "not a PNG, BMP or JPEG picture"},
        {dir + "/cut.png", ErrorCode::Truncated, "truncated PNG data"},
    };
    for (const Case& c : cases) {
        const LoadResult result = loadPicture(c.path);
        EXPECT_EQ(result.error.code, c.expected) << c.path;
        EXPECT_EQ(result.error.reason, c.reason) << c.path;
    }
    const std::vector<std::uint8_t> bytes = ::ternwick::testing::greyImageToPng(rendered.image);
    EXPECT_TRUE(loadPictureMemory(bytes.data(), bytes.size()));
    EXPECT_EQ(loadPictureMemory(nullptr, 4).error.code, ErrorCode::InvalidArgument);
}

}  // namespace
}  // namespace ternwick
