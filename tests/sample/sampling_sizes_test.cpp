// Location, size search and sampling on symbols from the writer: every size,
// both polarities, upright and rotated. The sampled mapping matrix must equal
// the writer's module for module.
#include <gtest/gtest.h>

#include <sstream>

#include "sample/grid_sampling.h"
#include "support/sample_walk.h"
#include "support/symbol_writer.h"

namespace ternwick {
namespace {

using testing::ModuleMatrix;
using testing::RenderOptions;
using testing::Sampling;

struct Case {
    int symbolSize;
    double moduleSize;
    double rotation;
    bool lightOnDark;
};

std::string describe(const Case& c) {
    std::ostringstream out;
    out << c.symbolSize << "x" << c.symbolSize << " at " << c.moduleSize << " px, " << c.rotation << " degrees, "
        << (c.lightOnDark ? "light on dark" : "dark on light");
    return out.str();
}

ModuleMatrix expectedMapping(int symbolSize, const std::string& text) {
    const auto codewords = testing::addCheckCodewords(testing::encodeAscii(text, symbolSize), symbolSize);
    return testing::mappingMatrix(symbolSize, codewords);
}

// The best candidate of the picture: fewest differing modules; -1 when no
// candidate of the right size was sampled.
int bestDifferences(DecodeContext& context, Sampling sampling, int symbolSize, const ModuleMatrix& mapping) {
    int best = -1;
    testing::forEachSampledCandidate(context, sampling, [&](const SymbolResult& symbol) {
        const int differences = testing::moduleDifferences(symbol, symbolSize, mapping);
        if (differences >= 0 && (best < 0 || differences < best)) best = differences;
        return best == 0;
    });
    return best;
}

int sampleRendered(const Case& c, Sampling sampling, const RenderOptions& base = RenderOptions{}) {
    const std::string text = testing::sampleText(c.symbolSize, static_cast<unsigned>(c.symbolSize));
    RenderOptions options = base;
    options.moduleSize = c.moduleSize;
    options.rotationDegrees = c.rotation;
    options.lightOnDark = c.lightOnDark;
    options.quietZone = 3.0;
    DecodeContext context;
    context.image = testing::renderText(text, c.symbolSize, options).image;
    if (sampling == Sampling::Levels) {
        medianPrefilter(context.image);
    } else {
        context.image.scale = 2.0f;  // the second pass: unfiltered, doubled resolution
    }
    return bestDifferences(context, sampling, c.symbolSize, expectedMapping(c.symbolSize, text));
}

TEST(SamplingSizes, EverySizeBothPolaritiesUprightAndRotated) {
    std::vector<Case> cases;
    for (const SymbolSize& size : kSymbolSizes) {
        for (double rotation : {0.0, 10.0, 30.0}) {
            for (bool light : {false, true}) cases.push_back({size.symbolSize, 5.0, rotation, light});
        }
        if (size.symbolSize <= 26) {
            for (double moduleSize : {3.0, 8.0}) {
                for (double rotation : {0.0, 10.0, 30.0}) cases.push_back({size.symbolSize, moduleSize, rotation, false});
            }
        }
    }
    int exact = 0;
    for (const Case& c : cases) {
        const int differences = sampleRendered(c, Sampling::Levels);
        if (differences == 0) {
            ++exact;
        } else {
            ADD_FAILURE() << describe(c) << ": " << differences;
        }
    }
    std::cout << "[ sampled  ] " << exact << " of " << cases.size() << " cases exact\n";
}

TEST(SamplingSizes, ThresholdedGridOnTheUnfilteredPictureAtScaleTwo) {
    // Upright symbols must all come out exact. Rotated ones are counted only:
    // at scale 2.0 the top walk often measures a wrong period on them, which
    // no sampling can make up for.
    int rotatedExact = 0;
    int rotatedTried = 0;
    for (const SymbolSize& size : kSymbolSizes) {
        const bool light = size.symbolSize % 8 == 0;
        EXPECT_EQ(sampleRendered({size.symbolSize, 5.0, 0.0, light}, Sampling::Thresholded), 0) << size.symbolSize;
        if (size.symbolSize <= 48) {
            ++rotatedTried;
            if (sampleRendered({size.symbolSize, 5.0, 30.0, light}, Sampling::Thresholded) == 0) ++rotatedExact;
        }
    }
    std::cout << "[ sampled  ] rotated by 30 degrees: " << rotatedExact << " of " << rotatedTried << " exact\n";
}

TEST(SamplingSizes, LocalThresholdCopesWithUnevenLightWhereTheLevelsDoNot) {
    // Dark modules on the right are lighter than light ones on the left.
    RenderOptions light;
    light.darkLevel = 20;
    light.lightLevel = 120;
    light.illuminationGradient = 124.0;
    const Case c{24, 6.0, 0.0, false};
    EXPECT_NE(sampleRendered(c, Sampling::Levels, light), 0);
    EXPECT_EQ(sampleRendered(c, Sampling::Thresholded, light), 0);
}

TEST(SamplingSizes, KeystoneIsCorrectedByTheSideFits) {
    for (const double keystone : {0.0015, -0.0015}) {
        RenderOptions options;
        options.perspective[0] = keystone;
        options.perspective[1] = keystone / 2;
        const Case c{24, 6.0, 0.0, false};
        EXPECT_EQ(sampleRendered(c, Sampling::Levels, options), 0) << keystone;
    }
}

}  // namespace
}  // namespace ternwick
