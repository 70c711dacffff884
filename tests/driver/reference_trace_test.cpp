// Whole decodes of four real pictures, traced stage by stage and compared with
// the values recorded for each stage. The first stage that differs shows
// where the decoder went its own way.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <nlohmann/json.hpp>

#include "driver/decode_driver.h"
#include "core/hex_text.h"
#include "driver/decode_trace.h"
#include "support/decode_run.h"

namespace ternwick {
namespace {

using nlohmann::json;

constexpr double kRounding = 6e-4;  // recorded values carry 3 to 5 decimals

class Comparison {
public:
    void number(double actual, const json& expected, const std::string& what, double tolerance = kRounding) {
        const double want = expected.get<double>();
        EXPECT_NEAR(actual, want, tolerance + 2e-6 * std::fabs(want)) << what;
    }
    void point(const Vector2& actual, const json& expected, const std::string& what, double tolerance = kRounding) {
        number(actual.x, expected[0], what + ".x", tolerance);
        number(actual.y, expected[1], what + ".y", tolerance);
    }
    void line(const EdgeLine& actual, const json& expected, const std::string& what) {
        EXPECT_EQ(actual.valid, expected["valid"].get<int>()) << what;
        EXPECT_EQ(actual.refined, expected["refined"].get<int>()) << what;
        number(actual.tStart, expected["tStart"], what + ".tStart");
        number(actual.tEnd, expected["tEnd"], what + ".tEnd");
        point(actual.origin, expected["origin"], what + ".origin");
        point(actual.direction, expected["direction"], what + ".direction", 1e-5);
    }
    void params(const TransformParams& p, const json& e, const std::string& what) {
        number(p.translateX, e["translateX"], what + ".translateX");
        number(p.translateY, e["translateY"], what + ".translateY");
        number(p.shearX, e["shearX"], what + ".shearX");
        number(p.shearY, e["shearY"], what + ".shearY");
        number(p.scaleX, e["scaleX"], what + ".scaleX");
        number(p.scaleY, e["scaleY"], what + ".scaleY");
        number(p.widthAtY0, e["widthAtY0"], what + ".widthAtY0");
        number(p.widthAtY100, e["widthAtY100"], what + ".widthAtY100");
        number(p.heightAtX0, e["heightAtX0"], what + ".heightAtX0");
        number(p.heightAtX100, e["heightAtX100"], what + ".heightAtX100");
    }
    void walk(const EdgeWalkRecord& w, const json& e, const std::string& what) {
        point(w.anchorUv, e["anchor_uv"], what + ".anchor_uv");
        point(w.farUv, e["far_uv"], what + ".far_uv");
        point(w.anchorSquare, e["anchor_sq"], what + ".anchor_sq");
        point(w.farSquare, e["far_sq"], what + ".far_sq");
        point(w.periodStartUv, e["period_uv"][0], what + ".period_uv[0]");
        point(w.periodEndUv, e["period_uv"][1], what + ".period_uv[1]");
        number(w.bestGap, e["best_gap"], what + ".best_gap");
        point(w.periodStartImage, e["period_img"][0], what + ".period_img[0]");
        point(w.periodEndImage, e["period_img"][1], what + ".period_img[1]");
        EXPECT_EQ(w.clearings, e["clearings"].get<int>()) << what;
        point(w.endUv, e["end_uv"], what + ".end_uv");
        EXPECT_EQ(w.legCondition, e["legcond"].get<bool>()) << what;
        EXPECT_EQ(w.axisAligned, e["axis"].get<bool>()) << what;
    }
};

std::string hex(const std::vector<std::uint8_t>& bytes) { return hexOf(bytes.data(), bytes.size(), false); }

std::string upper(std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

class ReferenceTrace : public ::testing::TestWithParam<const char*> {};

TEST_P(ReferenceTrace, EveryStageMatchesTheRecordedValues) {
    const std::string base = std::string(TERNWICK_SOURCE_DIR "/tests/data/reference/") + GetParam();
    std::ifstream jsonFile(base + ".json");
    ASSERT_TRUE(jsonFile.good());
    const json reference = json::parse(jsonFile);
    const std::string picture = base + (std::string(GetParam()).find("grey24") != std::string::npos ? ".bmp" : ".png");

    const auto run = testing::decodeFileOnce(picture, true);
    ASSERT_EQ(run->result, 0);
    const ResultFields& fields = run->fields;
    const DecodeTrace& trace = run->trace;

    EXPECT_EQ(fields.statusText, reference["status"].get<std::string>());
    EXPECT_EQ(fields.schemeText, reference["scheme"].get<std::string>());
    EXPECT_EQ(fields.asciiText, reference["text"].get<std::string>());
    EXPECT_EQ(fields.hexText, reference["hex"].get<std::string>());
    std::vector<std::uint8_t> message = fields.message;
    EXPECT_EQ(upper(hex(message)), reference["message_hex"].get<std::string>());
    EXPECT_EQ(trace.decodedPass, reference["pass"].get<int>());
    EXPECT_EQ(trace.rejectedRows, reference["rejected"]["rows"].get<std::vector<std::int32_t>>());
    EXPECT_EQ(trace.rejectedColumns, reference["rejected"]["cols"].get<std::vector<std::int32_t>>());

    ASSERT_TRUE(trace.hasCandidate);
    const CandidateTrace& c = trace.candidate;
    const json& e = reference["trace"][0];
    Comparison compare;
    EXPECT_EQ(c.pass, e["pass"].get<int>());
    EXPECT_EQ(onColumnLine(c) ? "col" : "row", e["line"][0].get<std::string>());
    EXPECT_EQ(c.lineIndex, e["line"][1].get<int>());
    compare.number(c.seedAcross, e["seed_across"], "seed_across");
    EXPECT_EQ(c.attempt, e["attempt"].get<int>());
    compare.number(c.levels.minLevel, e["levels"]["minLevel"], "minLevel");
    compare.number(c.levels.midLevel, e["levels"]["midLevel"], "midLevel");
    compare.number(c.levels.maxLevel, e["levels"]["maxLevel"], "maxLevel");
    compare.number(c.levels.baseValue, e["levels"]["baseValue"], "baseValue");
    compare.number(c.levels.sign, e["levels"]["sign"], "sign");
    for (int t = 0; t < 2; ++t) {
        compare.line(c.traceLines[t][0], e["traces"][t]["line1"], "trace " + std::to_string(t) + " line1");
        compare.line(c.traceLines[t][1], e["traces"][t]["line2"], "trace " + std::to_string(t) + " line2");
    }
    compare.point(c.finderPoints[0], e["finder"]["pC"], "pC");
    compare.point(c.finderPoints[1], e["finder"]["pB"], "pB");
    compare.point(c.finderPoints[2], e["finder"]["pA"], "pA");
    compare.params(c.finderParams, e["finder"]["params_finder"], "params_finder");
    compare.point(c.top.polarityPoint, e["polarity_point"], "polarity_point");
    EXPECT_EQ(c.top.polarityGrey, e["polarity_point"][2].get<int>());
    compare.walk(c.top, e["top"], "top");
    compare.walk(c.right, e["right"], "right");
    compare.params(c.refinedParams, e["params_refined"], "params_refined");
    EXPECT_EQ(c.polarity, e["polarity"].get<int>());
    EXPECT_EQ(c.size.e1, e["size"]["e1"].get<int>());
    EXPECT_EQ(c.size.e2, e["size"]["e2"].get<int>());
    compare.number(c.size.topPeriodLength, e["size"]["d_top"], "d_top");
    compare.number(c.size.rightPeriodLength, e["size"]["d_right"], "d_right");
    const json& tries = e["size"]["tries"];
    ASSERT_EQ(c.size.tries.size(), tries.size());
    for (std::size_t i = 0; i < tries.size(); ++i) {
        EXPECT_EQ(c.size.tries[i].symbolSize, tries[i]["symbolSize"].get<int>());
        EXPECT_EQ(c.size.tries[i].mismatches, tries[i]["mismatches"].get<int>());
        EXPECT_EQ(c.size.tries[i].outside, tries[i]["outside"].get<int>());
        EXPECT_EQ(c.size.tries[i].passed ? 1 : 0, tries[i]["passed"].get<int>());
    }
    EXPECT_EQ(c.sizeIndex, e["sizeIndex"].get<int>());
    EXPECT_EQ(c.symbolSize, e["symbolSize"].get<int>());
    EXPECT_EQ(c.erasures, e["erasures"].get<int>());
    EXPECT_EQ(hex(c.rawCodewordsHead), e["raw_codewords_head"].get<std::string>());
    EXPECT_EQ(c.correction, e["rs"].get<std::string>());
    EXPECT_TRUE(e["fail"].is_null());
    EXPECT_TRUE(c.failedStage.empty()) << c.failedStage;
    EXPECT_EQ(upper(hex(c.message)), e["message_hex"].get<std::string>());
}

INSTANTIATE_TEST_SUITE_P(Pictures, ReferenceTrace,
                         ::testing::Values("upright-16x16", "rotated20-32x32-grey24", "light-on-dark-64x64",
                                           "rotated90-20x20"),
                         [](const auto& info) {
                             std::string name = info.param;
                             for (char& c : name) {
                                 if (c == '-') c = '_';
                             }
                             return name;
                         });

}  // namespace
}  // namespace ternwick
