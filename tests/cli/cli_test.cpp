#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <sys/wait.h>

#include <array>
#include <set>
#include <cstdio>
#include <sstream>

#include "report.h"
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
    const std::string command = std::string(TERNWICK_CLI_PATH) + " " + arguments + " 2>/dev/null";
    CommandResult result;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return result;
    std::array<char, 4096> buffer{};
    std::size_t got = 0;
    while ((got = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0) result.output.append(buffer.data(), got);
    const int status = pclose(pipe);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
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
                                           "structured_append", "message_fault"};
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
    EXPECT_TRUE(lines[1]["time"].get<std::string>().ends_with("ms"));
    EXPECT_GE(lines[1]["decode_ms"].get<double>(), 0.0);

    const auto missing = runTernwick("--json " + dir + "/missing.png " + dir + "/blank.bmp");
    EXPECT_EQ(missing.status, 1);
    const auto missingLines = jsonLines(missing.output);
    ASSERT_EQ(missingLines.size(), 2u);
    EXPECT_EQ(missingLines[0]["status"], "Failed!");
    EXPECT_EQ(missingLines[0]["text"], kLoadFailureText);

    const auto wrongName = runTernwick("--json " + dir + "/photo.jpg");
    EXPECT_EQ(wrongName.status, 1);
    const auto wrongLines = jsonLines(wrongName.output);
    ASSERT_EQ(wrongLines.size(), 1u);
    EXPECT_EQ(wrongLines[0]["status"], "");
    EXPECT_EQ(wrongLines[0]["decoded"], false);
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
    EXPECT_NE(help.output.find("--json"), std::string::npos);
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
    EXPECT_EQ(exitStatusFor({O::NameNotAccepted}), 1);
}

}  // namespace
}  // namespace ternwick
