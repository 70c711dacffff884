// The location stages on four real pictures, against the values recorded for
// each stage: the crossing's statistics, both traces' lines and the finder.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>

#include "image/bmp_reader.h"
#include "image/png_loader.h"
#include "support/locate_walk.h"

namespace ternwick {
namespace {

using nlohmann::json;
using testing::FinderTry;
using testing::ScanLineRef;

// Recorded values are rounded to 3 to 5 decimals; the rest is single-precision rounding.
constexpr double kRounding = 6e-4;

void expectClose(double actual, const json& expected, const std::string& what, double tolerance = kRounding) {
    const double want = expected.get<double>();
    EXPECT_NEAR(actual, want, tolerance + 2e-6 * std::fabs(want)) << what;
}

void expectPoint(const Vector2& actual, const json& expected, const std::string& what,
                 double tolerance = kRounding) {
    expectClose(actual.x, expected[0], what + ".x", tolerance);
    expectClose(actual.y, expected[1], what + ".y", tolerance);
}

void expectLine(const EdgeLine& actual, const json& expected, const std::string& what) {
    EXPECT_EQ(actual.valid, expected["valid"].get<int>()) << what;
    EXPECT_EQ(actual.refined, expected["refined"].get<int>()) << what;
    if (!actual.valid || !expected["valid"].get<int>()) return;
    expectClose(actual.tStart, expected["tStart"], what + ".tStart");
    expectClose(actual.tEnd, expected["tEnd"], what + ".tEnd");
    expectPoint(actual.origin, expected["origin"], what + ".origin");
    expectPoint(actual.direction, expected["direction"], what + ".direction", 1e-5);
}

class ReferenceLocation : public ::testing::TestWithParam<const char*> {};

TEST_P(ReferenceLocation, CrossingTracesAndFinderMatchTheRecordedValues) {
    const std::string base = std::string(TERNWICK_SOURCE_DIR "/tests/data/reference/") + GetParam();
    std::ifstream jsonFile(base + ".json");
    ASSERT_TRUE(jsonFile.good());
    const json reference = json::parse(jsonFile);
    const json& expected = reference["trace"][0];

    DecodeContext context;
    const bool isPng = std::string(GetParam()).find("grey24") == std::string::npos;
    ASSERT_EQ(isPng ? loadPngImage(context.image, base + ".png") : loadBmpImage(context.image, base + ".bmp"), 1);
    ASSERT_EQ(medianPrefilter(context.image), 1);

    const ScanLineRef line{expected["line"][0] == "col" ? ScanDirectionUp : ScanDirectionRight,
                           expected["line"][1].get<int>()};
    const double seedAcross = expected["seed_across"].get<double>();
    CrossingCursor seed;
    bool found = false;
    testing::walkCrossings(context.image, line, [&](const CrossingCursor& cursor) {
        if (std::fabs(cursor.current + static_cast<double>(cursor.fraction) - seedAcross) < 1e-3) {
            seed = cursor;
            found = true;
        }
        return !found;
    });
    ASSERT_TRUE(found) << "no crossing at " << seedAcross;

    const json& levels = expected["levels"];
    expectClose(seed.local.minLevel, levels["minLevel"], "minLevel");
    expectClose(seed.local.midLevel, levels["midLevel"], "midLevel");
    expectClose(seed.local.maxLevel, levels["maxLevel"], "maxLevel");
    expectClose(seed.local.baseValue, levels["baseValue"], "baseValue");
    expectClose(seed.local.sign, levels["sign"], "sign");

    FinderTry attempt;
    testing::tryFinder(context, seed, attempt);
    const json& traces = expected["traces"];
    expectLine(attempt.first.line1, traces[0]["line1"], "first.line1");
    expectLine(attempt.first.line2, traces[0]["line2"], "first.line2");
    expectLine(attempt.second.line1, traces[1]["line1"], "second.line1");
    expectLine(attempt.second.line2, traces[1]["line2"], "second.line2");

    ASSERT_EQ(attempt.accepted, 1);
    const json& finder = expected["finder"];
    expectPoint(attempt.symbol.finderPoints[0], finder["pC"], "pC");
    expectPoint(attempt.symbol.finderPoints[1], finder["pB"], "pB");
    expectPoint(attempt.symbol.finderPoints[2], finder["pA"], "pA");
    const json& params = finder["params_finder"];
    const TransformParams& p = attempt.symbol.params;
    expectClose(p.translateX, params["translateX"], "translateX");
    expectClose(p.translateY, params["translateY"], "translateY");
    expectClose(p.shearX, params["shearX"], "shearX");
    expectClose(p.shearY, params["shearY"], "shearY");
    expectClose(p.scaleX, params["scaleX"], "scaleX");
    expectClose(p.scaleY, params["scaleY"], "scaleY");
    expectClose(p.widthAtY0, params["widthAtY0"], "widthAtY0");
    expectClose(p.widthAtY100, params["widthAtY100"], "widthAtY100");
    expectClose(p.heightAtX0, params["heightAtX0"], "heightAtX0");
    expectClose(p.heightAtX100, params["heightAtX100"], "heightAtX100");
    EXPECT_EQ(attempt.symbol.levels.midLevel, seed.local.midLevel);
}

INSTANTIATE_TEST_SUITE_P(Pictures, ReferenceLocation,
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
