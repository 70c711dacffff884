// The blur estimate and the unsharp mask of the further search.
#include <gtest/gtest.h>

#include <cmath>

#include "image/sharpening.h"
#include "support/picture_files.h"

namespace ternwick {
namespace {

// A vertical step from 40 to 220 at x = 50, blurred by a Gaussian of sigma pixels.
ImageBuffer blurredStep(double sigma) {
    return testing::makeGreyImage(100, 40, [sigma](int x, int) {
        const double t = sigma > 0.0 ? 0.5 * (1.0 + std::erf((x - 49.5) / (sigma * std::sqrt(2.0)))) : (x >= 50);
        return static_cast<std::uint8_t>(std::lround(40 + 180 * t));
    });
}

TEST(Sharpening, TheBlurEstimateFollowsTheEdgesWidth) {
    for (const double sigma : {1.5, 3.0, 5.0}) {
        EXPECT_NEAR(estimateBlurSigma(blurredStep(sigma)), sigma, 0.25 * sigma) << sigma;
    }
    EXPECT_LT(estimateBlurSigma(blurredStep(0.0)), 1.0);
    EXPECT_EQ(estimateBlurSigma(testing::makeGreyImage(20, 20, [](int, int) { return 128; })), 0.0);
}

TEST(Sharpening, TheMaskSteepensEdgesAndKeepsFlatAreas) {
    const ImageBuffer step = blurredStep(3.0);
    ImageBuffer sharpened;
    ASSERT_TRUE(unsharpMask(step, 3.0, 2.0, sharpened));
    ASSERT_EQ(sharpened.width, step.width);
    EXPECT_EQ(greyAt(sharpened, 5, 10), greyAt(step, 5, 10));
    EXPECT_EQ(greyAt(sharpened, 95, 10), greyAt(step, 95, 10));
    const auto rise = [](const ImageBuffer& image) { return greyAt(image, 50, 10) - greyAt(image, 49, 10); };
    // At the centre of the edge the mask of the same sigma and amount 2 multiplies the slope by 1 + 2 (1 - 1/sqrt 2).
    EXPECT_GT(2 * rise(sharpened), 3 * rise(step));
}

}  // namespace
}  // namespace ternwick
