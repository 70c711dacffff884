#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <sys/stat.h>

#include <array>
#include <set>
#include <cstdio>
#include <filesystem>
#include <sstream>

#include "command_options.h"
#include "image/png_loader.h"
#include "input_list.h"
#include "ordered_batch.h"
#include "outline_picture.h"
#include "progress_line.h"
#include "report.h"
#include "support/child_process.h"
#include "support/picture_files.h"
#include "support/symbol_sheet.h"
#include "support/symbol_writer.h"

namespace ternwick {
namespace {

struct CommandResult {
    int status = -1;
    std::string output;
};

// Runs the ternwick program with the given arguments; standard error is dropped.
CommandResult runTernwick(const std::string& arguments) {
    const testing::ChildRun run =
        testing::runShellCommand(std::string(TERNWICK_CLI_PATH) + " " + arguments + " 2>/dev/null");
    return {run.status, run.output};
}

std::vector<nlohmann::json> jsonLines(const std::string& output) {
    std::vector<nlohmann::json> lines;
    std::istringstream in(output);
    std::string line;
    while (std::getline(in, line)) lines.push_back(nlohmann::json::parse(line));
    return lines;
}

TEST(Command, JsonReportsEachFileWithTheDocumentedKeys) {
    const std::string dir = testing::scratchDirectory();
    auto blank = testing::makeGreyImage(40, 30, [](int, int) { return 200; });
    testing::writeFile(dir + "/blank.bmp", testing::greyImageToBmp(blank));
    testing::writeFile(dir + "/blank.png", testing::greyImageToPng(blank));

    const auto noSymbol = runTernwick("--json " + dir + "/blank.bmp " + dir + "/blank.png");
    EXPECT_EQ(noSymbol.status, 4);
    const auto lines = jsonLines(noSymbol.output);
    ASSERT_EQ(lines.size(), 2u);
    const std::vector<std::string> keys = {"file", "decoded", "status", "scheme", "text", "hex", "time",
                                           "message_hex", "size", "load_ms", "decode_ms", "corners",
                                           "message_text", "symbology_id", "gs1_hri", "eci",
                                           "structured_append", "message_fault", "error"};
    std::vector<std::string> seen;
    for (auto it = lines[0].begin(); it != lines[0].end(); ++it) seen.push_back(it.key());
    std::sort(seen.begin(), seen.end());
    auto sortedKeys = keys;
    std::sort(sortedKeys.begin(), sortedKeys.end());
    EXPECT_EQ(seen, sortedKeys);
    EXPECT_EQ(lines[0]["file"], dir + "/blank.bmp");
    EXPECT_EQ(lines[0]["decoded"], false);
    EXPECT_EQ(lines[0]["status"], "Failed!");
    EXPECT_EQ(lines[0]["size"], "");
    EXPECT_EQ(lines[0]["corners"], nlohmann::json::array());
    EXPECT_EQ(lines[0]["error"], "");
    EXPECT_TRUE(lines[1]["time"].get<std::string>().ends_with("ms"));
    EXPECT_GE(lines[1]["decode_ms"].get<double>(), 0.0);

    const auto missing = runTernwick("--json " + dir + "/missing.png " + dir + "/blank.bmp");
    EXPECT_EQ(missing.status, 1);
    const auto missingLines = jsonLines(missing.output);
    ASSERT_EQ(missingLines.size(), 2u);
    EXPECT_EQ(missingLines[0]["status"], "Failed!");
    EXPECT_EQ(missingLines[0]["text"], kLoadFailureText);

    EXPECT_EQ(missingLines[0]["error"], "no such file");
}

TEST(Command, DecodesTheExampleAndTracesItsStages) {
    const std::string example = TERNWICK_SOURCE_DIR "/examples/example.png";
    const auto plain = runTernwick("--json " + example);
    EXPECT_EQ(plain.status, 0);
    const auto line = jsonLines(plain.output).at(0);
    EXPECT_EQ(line["decoded"], true);
    EXPECT_EQ(line["status"], "Success!");
    EXPECT_EQ(line["scheme"], "C40 Latch");
    EXPECT_EQ(line["text"], "TERNWICK REA");
    EXPECT_FALSE(line.contains("trace"));

    const auto traced = jsonLines(runTernwick("--json --trace " + example).output).at(0);
    ASSERT_TRUE(traced.contains("trace"));
    ASSERT_EQ(traced["trace"].size(), 1u);
    const auto& candidate = traced["trace"][0];
    for (const char* key : {"pass", "line", "seed_across", "levels", "traces", "finder", "polarity_point", "top",
                            "right", "params_refined", "size", "sizeIndex", "erasures", "raw_codewords_head", "rs"}) {
        EXPECT_TRUE(candidate.contains(key)) << key;
    }
    EXPECT_EQ(candidate["rs"], "ok");
    EXPECT_TRUE(candidate["fail"].is_null());

    // A budget that runs out before the first scan line finds nothing; a generous one changes nothing.
    EXPECT_EQ(runTernwick("--budget-ms 0.001 " + example).status, 4);
    EXPECT_EQ(runTernwick("--budget-ms 60000 " + example).status, 0);

    const auto text = runTernwick("--trace " + example);
    EXPECT_NE(text.output.find("trace: decoded candidate, pass 1"), std::string::npos) << text.output;
    EXPECT_NE(text.output.find("correction: ok"), std::string::npos);
}

TEST(Command, SeveralSymbolsAreListedEachOnceWithTheirIndex) {
    const std::string dir = testing::scratchDirectory();
    const auto sheet = testing::composeSheet(testing::mixedSymbols(3, {12, 16, 20}));
    testing::writeFile(dir + "/three.png", testing::greyImageToPng(sheet.image));

    const auto first = jsonLines(runTernwick("--json " + dir + "/three.png").output);
    ASSERT_EQ(first.size(), 1u);
    EXPECT_FALSE(first[0].contains("index"));

    for (const std::string option : {"--max-symbols 5", "--all"}) {
        const auto result = runTernwick("--json " + option + " " + dir + "/three.png");
        EXPECT_EQ(result.status, 0);
        const auto lines = jsonLines(result.output);
        ASSERT_EQ(lines.size(), 3u) << option;
        std::multiset<std::string> texts;
        std::set<std::string> sizes;
        for (std::size_t i = 0; i < lines.size(); ++i) {
            sizes.insert(lines[i]["size"].get<std::string>());
            EXPECT_EQ(lines[i]["index"], i);
            EXPECT_EQ(lines[i]["file"], dir + "/three.png");
            EXPECT_EQ(lines[i]["corners"].size(), 4u);
            texts.insert(lines[i]["text"].get<std::string>());
        }
        EXPECT_EQ(texts, std::multiset<std::string>(sheet.texts.begin(), sheet.texts.end()));
        EXPECT_EQ(sizes, (std::set<std::string>{"12x12", "16x16", "20x20"}));
    }
    const auto two = runTernwick("--max-symbols 2 " + dir + "/three.png");
    EXPECT_NE(two.output.find("Symbol:  2 of 2"), std::string::npos) << two.output;
    EXPECT_EQ(two.output.find("Symbol:  3"), std::string::npos);
    EXPECT_EQ(runTernwick("--max-symbols 0 " + dir + "/three.png").status, 2);
}

TEST(Command, ReportsTheWholeMessageAndWhatTheSymbolSaysAboutIt) {
    // Structured append 2 of 7 (file 1, 234), then GS1 with ECI 26:
    // (01)09501101530003 (10)ABC123, a separator, (21)XYZ.
    namespace t = testing;
    const std::vector<std::uint8_t> data = {233, 26, 1, 234, 232, 241, 27, 131, 139, 180, 141, 131, 183, 130,
                                            133, 140, 66, 67, 68, 142, 52, 232, 151, 89, 90, 91};
    const auto modules = t::symbolModules(22, t::addCheckCodewords(t::padData(data, 22), 22));
    const std::string path = t::scratchDirectory() + "/gs1.png";
    t::writeFile(path, t::greyImageToPng(t::renderSymbol(modules, {}).image));

    const auto result = runTernwick("--json " + path);
    EXPECT_EQ(result.status, 0);
    const auto line = jsonLines(result.output).at(0);
    EXPECT_EQ(line["message_text"], "0109501101530003" "10ABC123\x1D" "21XYZ");
    EXPECT_EQ(line["text"], "010950110153");
    EXPECT_EQ(line["symbology_id"], "]d5");
    EXPECT_EQ(line["gs1_hri"], "(01)09501101530003(10)ABC123(21)XYZ");
    EXPECT_EQ(line["eci"], nlohmann::json::parse(R"([{"value": 26, "position": 0}])"));
    EXPECT_EQ(line["structured_append"], nlohmann::json::parse(R"({"position": 2, "total": 7, "file_id": [1, 234]})"));
    EXPECT_EQ(line["message_fault"], "");

    const auto text = runTernwick(path).output;
    for (const char* shown : {"Content: 0109501101530003" "10ABC123\\x1D" "21XYZ\n", "AIM id:  ]d5\n",
                              "GS1:     (01)09501101530003(10)ABC123(21)XYZ\n", "ECI:     26@0\n",
                              "Append:  2 of 7, file 1 234\n", "Fault:   \n"}) {
        EXPECT_NE(text.find(shown), std::string::npos) << shown << "\n" << text;
    }
}

TEST(Command, UsageErrorsHelpAndVersion) {
    EXPECT_EQ(runTernwick("").status, 2);
    EXPECT_EQ(runTernwick("--no-such-option x.png").status, 2);
    const auto help = runTernwick("--help");
    EXPECT_EQ(help.status, 0);
    for (const char* text : {"--json", "--bytes", "--outline-dir", "--budget-ms", "Exit status:", "1 wins over 4"}) {
        EXPECT_NE(help.output.find(text), std::string::npos) << text;
    }
    const std::string example = TERNWICK_SOURCE_DIR "/examples/example.png";
    for (const std::string& misuse : {"--json --bytes " + example, "--separator , " + example,
                                      "--outline x.png " + example + " " + example, "--verbose --quiet " + example,
                                      "--budget-ms -1 " + example, "--trace --bytes " + example}) {
        EXPECT_EQ(runTernwick(misuse).status, 2) << misuse;
    }
    const auto version = runTernwick("--version");
    EXPECT_EQ(version.status, 0);
    EXPECT_NE(version.output.find("ternwick"), std::string::npos);
}

TEST(Command, TextReportLabelsEveryField) {
    const std::string dir = testing::scratchDirectory();
    testing::writeFile(dir + "/blank.bmp",
                       testing::greyImageToBmp(testing::makeGreyImage(20, 20, [](int, int) { return 0; })));
    const auto result = runTernwick(dir + "/blank.bmp");
    EXPECT_EQ(result.status, 4);
    for (const char* label : {"Status:", "Scheme:", "Text:", "Hex:", "Time:", "Message:"}) {
        EXPECT_NE(result.output.find(label), std::string::npos) << label;
    }
}

TEST(Report, EscapingKeepsTerminalsAndJsonSafe) {
    EXPECT_EQ(escapeBytes("a\nb\tc\\d"), "a\\nb\\tc\\\\d");
    EXPECT_EQ(escapeBytes(std::string("\x01\x7F\xE9", 3)), "\\x01\\x7F\\xE9");
    EXPECT_TRUE(isValidUtf8("plain"));
    EXPECT_TRUE(isValidUtf8("\xE8\xAF\xB7"));
    EXPECT_FALSE(isValidUtf8("\xE9t\xE9"));
    EXPECT_FALSE(isValidUtf8("\xC0\xAF"));        // overlong
    EXPECT_FALSE(isValidUtf8("\xED\xA0\x80"));    // surrogate
    EXPECT_FALSE(isValidUtf8("\xE8\xAF"));        // cut short

    FileReport report;
    report.file = "x.png";
    report.outcome = FileOutcome::Decoded;
    report.fields.decoded = true;
    report.fields.asciiText = "caf\xE9\n";
    report.fields.message = {'c', 'a', 'f', 0xE9, '\n'};
    report.fields.symbolSize = 24;
    report.fields.corners = {{1.004, 2.0}, {30.0, 2.0}, {30.0, 31.5}, {1.0, 31.5}};
    const auto json = reportJson(report);
    EXPECT_EQ(json["corners"].dump(), "[[1.0,2.0],[30.0,2.0],[30.0,31.5],[1.0,31.5]]");
    EXPECT_NE(formatReportText(report).find("Corners: (1.00, 2.00) (30.00, 2.00) (30.00, 31.50) (1.00, 31.50)"),
              std::string::npos);
    EXPECT_EQ(json["text"], "caf\\xE9\\n");
    EXPECT_EQ(json["message_hex"], "636166E90A");
    EXPECT_EQ(json["size"], "24x24");
    EXPECT_NO_THROW((void)json.dump());
    EXPECT_NE(formatReportText(report).find("caf\\xE9\\n"), std::string::npos);
}

TEST(Report, ExitStatusPrefersLoadFailuresOverMissingSymbols) {
    using O = FileOutcome;
    EXPECT_EQ(exitStatusFor({O::Decoded, O::Decoded}), 0);
    EXPECT_EQ(exitStatusFor({O::Decoded, O::NoSymbol}), 4);
    EXPECT_EQ(exitStatusFor({O::NoSymbol, O::LoadFailed}), 1);
    EXPECT_EQ(exitStatusFor({O::Decoded, O::OutputFailed}), 1);
}

constexpr const char* kExampleMessage = "TERNWICK READS DATA MATRIX SYMBOLS FROM BMP AND PNG PICTURES";

// The example symbol as a picture of every kind the command reads, under
// names that never tell the kind; returns the paths.
std::vector<std::string> writeExampleKinds(const std::string& dir) {
    ImageBuffer example;
    EXPECT_EQ(loadPngImage(example, TERNWICK_SOURCE_DIR "/examples/example.png"), 1);
    testing::BmpLayout wide;
    wide.width = example.width;
    wide.height = example.height;
    wide.bitCount = 32;
    wide.pixel = [&](int x, int yTop) { return greyAt(example, x, example.height - 1 - yTop) * 0x010101u; };
    testing::BmpLayout rgb565 = wide;
    rgb565.bitCount = 16;
    rgb565.compression = 3;
    rgb565.masks = {0xF800, 0x07E0, 0x001F};
    rgb565.pixel = [&](int x, int yTop) {
        const unsigned g = greyAt(example, x, example.height - 1 - yTop);
        return ((g >> 3) << 11) | ((g >> 2) << 5) | (g >> 3);
    };
    const std::vector<std::pair<std::string, std::vector<std::uint8_t>>> files = {
        {"png-named.bmp", testing::greyImageToPng(example)},
        {"photo.dat", testing::greyImageToJpeg(example, testing::JpegStyle::Colour)},
        {"progressive", testing::greyImageToJpeg(example, testing::JpegStyle::Progressive)},
        {"wide.bmp", testing::makeBmp(wide)},
        {"rgb565.png", testing::makeBmp(rgb565)},
    };
    std::vector<std::string> paths;
    for (const auto& [name, bytes] : files) {
        testing::writeFile(dir + "/" + name, bytes);
        paths.push_back(dir + "/" + name);
    }
    return paths;
}

std::string joined(const std::vector<std::string>& paths) {
    std::string out;
    for (const std::string& path : paths) out += " " + path;
    return out;
}

TEST(Command, ReadsEveryKindOfPictureByContentAndFromStandardInput) {
    const std::string dir = testing::scratchDirectory();
    const auto paths = writeExampleKinds(dir);
    const auto result = runTernwick("--json" + joined(paths));
    EXPECT_EQ(result.status, 0);
    const auto lines = jsonLines(result.output);
    ASSERT_EQ(lines.size(), paths.size());
    for (std::size_t i = 0; i < paths.size(); ++i) {
        EXPECT_EQ(lines[i]["file"], paths[i]);
        EXPECT_EQ(lines[i]["text"], "TERNWICK REA") << paths[i] << ": " << lines[i]["error"];
    }
    const auto piped = jsonLines(runTernwick("--json - < " + paths[1]).output);
    ASSERT_EQ(piped.size(), 1u);
    EXPECT_EQ(piped[0]["file"], "-");
    EXPECT_EQ(piped[0]["decoded"], true);
}

TEST(Command, EachBadInputSaysWhyAndTheBatchGoesOn) {
    const std::string dir = testing::scratchDirectory();
    const auto good = writeExampleKinds(dir);
    const auto blank = testing::makeGreyImage(40, 30, [](int, int) { return 200; });
    const auto jpeg = testing::greyImageToJpeg(blank, testing::JpegStyle::Colour);
    testing::writeFile(dir + "/cut.jpg", std::vector<std::uint8_t>(jpeg.begin(), jpeg.begin() + jpeg.size() / 2));
    testing::writeFile(dir + "/cmyk.jpg", testing::greyImageToJpeg(blank, testing::JpegStyle::Cmyk));
    testing::writeFile(dir + "/notes.png", {'n', 'o', 't', 'e', 's'});
    testing::BmpLayout runLength;
    runLength.bitCount = 8;
    runLength.compression = 1;
    runLength.palette = {0};
    runLength.pixel = [](int, int) { return 0u; };
    testing::writeFile(dir + "/rle.bmp", testing::makeBmp(runLength));
    ASSERT_EQ(mkfifo((dir + "/fifo").c_str(), 0600), 0);
    const std::vector<std::pair<std::string, std::string>> cases = {
        {dir + "/missing.png", "no such file"},
        {dir + "/fifo", "not a regular file"},
        {dir + "/notes.png", "not a PNG, BMP or JPEG picture"},
        {dir + "/cut.jpg", "truncated JPEG data"},
        {dir + "/cmyk.jpg", "CMYK JPEG pictures are not supported"},
        {dir + "/rle.bmp", "run-length compressed BMP pictures are not supported"},
        {"-", "standard input is empty"},
    };
    std::string arguments = "--json -j 2";
    for (const auto& [path, reason] : cases) arguments += " " + path;
    const auto result = runTernwick(arguments + " " + good[0] + " < /dev/null");
    EXPECT_EQ(result.status, 1);
    const auto lines = jsonLines(result.output);
    ASSERT_EQ(lines.size(), cases.size() + 1);
    for (std::size_t i = 0; i < cases.size(); ++i) {
        EXPECT_EQ(lines[i]["file"], cases[i].first);
        EXPECT_EQ(lines[i]["error"], cases[i].second) << cases[i].first;
        EXPECT_EQ(lines[i]["text"], kLoadFailureText);
    }
    EXPECT_EQ(lines.back()["decoded"], true);
    EXPECT_NE(runTernwick(dir + "/cut.jpg").output.find("  Error:   truncated JPEG data\n"), std::string::npos);
}

TEST(Command, RawBytesGoOutAloneWithTheSeparatorAskedFor) {
    const std::string dir = testing::scratchDirectory();
    const auto paths = writeExampleKinds(dir);
    const std::string message = kExampleMessage;
    EXPECT_EQ(runTernwick("--bytes " + paths[0]).output, message);
    EXPECT_EQ(runTernwick("--bytes " + paths[0] + " " + dir + "/missing.png " + paths[1]).output, message + message);
    const auto separated = runTernwick("--bytes --separator '\\x00\\n' " + paths[0] + " " + paths[1]);
    EXPECT_EQ(separated.status, 0);
    EXPECT_EQ(separated.output, message + std::string("\0\n", 2) + message);
}

TEST(Command, FoldersAreWalkedAndThreadsKeepTheOrder) {
    const std::string dir = testing::scratchDirectory();
    std::filesystem::create_directories(dir + "/sub");
    const auto top = writeExampleKinds(dir);
    const auto below = writeExampleKinds(dir + "/sub");
    testing::writeFile(dir + "/readme.txt", {'x'});
    auto filesOf = [](const std::string& output) {
        std::vector<std::string> files;
        for (const auto& line : jsonLines(output)) files.push_back(line["file"].get<std::string>() + " " + line["text"].get<std::string>());
        return files;
    };
    // Only the picture names of the folder itself, sorted; pictures without such a name are left out.
    const auto flat = filesOf(runTernwick("--json " + dir).output);
    ASSERT_EQ(flat.size(), 3u);
    EXPECT_EQ(flat[0], dir + "/png-named.bmp TERNWICK REA");
    EXPECT_EQ(flat[2], dir + "/wide.bmp TERNWICK REA");
    const auto oneThread = filesOf(runTernwick("--json -r -j 1 " + dir).output);
    EXPECT_EQ(oneThread.size(), 6u);
    EXPECT_EQ(filesOf(runTernwick("--json -r -j 2 " + dir).output), oneThread);
    EXPECT_EQ(filesOf(runTernwick("--json -r -j 0 " + dir).output), oneThread);
}

TEST(Command, OutlinesAreWrittenForOneFileOrIntoAFolder) {
    const std::string dir = testing::scratchDirectory();
    const auto paths = writeExampleKinds(dir);
    EXPECT_EQ(runTernwick("--outline " + dir + "/one.png " + paths[1]).status, 0);
    const LoadResult one = loadPicture(dir + "/one.png");
    ASSERT_TRUE(one) << one.error.reason;
    EXPECT_EQ(one.picture.width, 136);
    std::filesystem::create_directories(dir + "/drawn");
    EXPECT_EQ(runTernwick("--outline-dir " + dir + "/drawn " + paths[0] + " " + paths[3]).status, 0);
    std::string flattened = paths[3].substr(1);
    std::replace(flattened.begin(), flattened.end(), '/', '_');
    EXPECT_TRUE(std::filesystem::exists(dir + "/drawn/" + flattened + ".png")) << flattened;
    EXPECT_EQ(runTernwick("--outline " + dir + "/no/such/folder.png " + paths[0]).status, 1);
}

TEST(Outline, RedSidesAndAGreenFinderCorner) {
    Picture picture{40, 40, std::vector<std::uint8_t>(1600, 255)};
    const std::vector<SymbolOutline> symbols = {{{{8, 8}, {32, 8}, {32, 32}, {8, 32}}}};
    const auto rgb = drawOutlines(picture, symbols);
    auto colourAt = [&](int x, int y) {
        const std::uint8_t* p = &rgb[(static_cast<std::size_t>(y) * 40 + x) * 3];
        return std::array<int, 3>{p[0], p[1], p[2]};
    };
    EXPECT_EQ(colourAt(20, 8), (std::array<int, 3>{230, 30, 30}));
    EXPECT_EQ(colourAt(8, 31), (std::array<int, 3>{20, 200, 40}));
    EXPECT_EQ(colourAt(31, 31), (std::array<int, 3>{230, 30, 30}));
    EXPECT_EQ(colourAt(20, 20), (std::array<int, 3>{255, 255, 255}));
    const std::vector<SymbolOutline> far = {{{{-1e9, -1e9}, {1e9, -1e9}, {1e9, 1e9}, {-1e9, 1e9}}}};
    EXPECT_EQ(drawOutlines(picture, far).size(), rgb.size());
}

TEST(CommandParts, EscapesNamesThreadsAndProgress) {
    const std::pair<const char*, std::string> escapes[] = {
        {"a\\nb", "a\nb"}, {"\\t\\r\\\\", "\t\r\\"}, {"\\0", std::string(1, '\0')},
        {"\\x41\\x4a", "AJ"}, {"\\xZ1", "\\xZ1"}, {"end\\", "end\\"},
    };
    for (const auto& [given, resolved] : escapes) EXPECT_EQ(resolveEscapes(given), resolved) << given;
    for (const char* name : {"a.png", "B.JPG", "c.jpeg", "d.Bmp", "e.jfif"}) EXPECT_TRUE(hasPictureName(name)) << name;
    for (const char* name : {"a.txt", "png", "a.png.bak", ""}) EXPECT_FALSE(hasPictureName(name)) << name;
    EXPECT_EQ(threadCount(4, 2), 2u);
    EXPECT_EQ(threadCount(3, 100), 3u);
    EXPECT_GE(threadCount(0, 100), 1u);
    EXPECT_EQ(progressText(120, 500, 4.0, 3), "120/500 files, 30.0 files/s, 3 failed");
}

TEST(CommandParts, OrderedBatchHandsResultsOverInOrder) {
    std::vector<std::size_t> emitted;
    std::size_t lastDone = 0;
    runOrdered<std::size_t>(
        50, 3, [](std::size_t i) { return i * i; },
        [&](std::size_t i, std::size_t& result) {
            EXPECT_EQ(result, i * i);
            emitted.push_back(i);
        },
        [&](std::size_t done) { lastDone = done; });
    ASSERT_EQ(emitted.size(), 50u);
    for (std::size_t i = 0; i < emitted.size(); ++i) EXPECT_EQ(emitted[i], i);
    EXPECT_EQ(lastDone, 50u);
}

}  // namespace
}  // namespace ternwick
