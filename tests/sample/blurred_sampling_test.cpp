// Undoing a blur on the module grid: the greys at the module centres of a
// blurred picture, each a mix of the modules around it, give back the modules.
#include <gtest/gtest.h>

#include <vector>

#include "sample/blurred_sampling.h"
#include "sample/grid_sampling.h"
#include "support/symbol_writer.h"

namespace ternwick {
namespace {

struct Case {
    int size;
    double moduleSize;
    double blur;       // Gaussian sigma in modules
    bool lightOnDark;
    int mostWrong;     // modules that may come out wrong
};

TEST(BlurredSampling, DeblurringTheModuleGridGivesBackTheModules) {
    const Case cases[] = {
        {16, 4, 0.75, false, 0},
        {36, 8, 0.75, true, 0},   // four data regions
        {24, 4, 1.0, false, 12},  // at a blur of a module, nearly all
    };
    for (const Case& c : cases) {
        testing::RenderOptions options;
        options.moduleSize = c.moduleSize;
        options.blurSigma = c.blur * c.moduleSize;
        options.rotationDegrees = 12.5;
        options.lightOnDark = c.lightOnDark;
        options.supersampling = 3;
        const std::string text = testing::sampleText(c.size, 5);
        const testing::ModuleMatrix modules =
            testing::symbolModules(c.size, testing::addCheckCodewords(testing::encodeAscii(text, c.size), c.size));
        const testing::RenderedSymbol rendered = testing::renderText(text, c.size, options);
        // Module (k, l) of the grid: k rows up from the solid row, l columns from the solid column.
        const int n = c.size + gridMargin;
        const int half = gridMargin / 2;
        std::vector<float> grid(static_cast<std::size_t>(n) * n);
        std::vector<float> read(grid.size());
        for (int k = -half; k < c.size + half; ++k) {
            for (int l = -half; l < c.size + half; ++l) {
                const Vector2 p = rendered.toImage(l + 0.5, k + 0.5);
                sampleBilinear(rendered.image, grid[static_cast<std::size_t>(k + half) * n + (l + half)], p.x, p.y);
            }
        }
        int regionSize = 0;
        for (const SymbolSize& s : kSymbolSizes) {
            if (s.symbolSize == c.size) regionSize = s.regionSize;
        }
        deblurModuleGrid(grid.data(), read.data(), c.size, regionSize, c.blur, !c.lightOnDark);
        int wrong = 0;
        for (int k = 0; k < c.size; ++k) {
            for (int l = 0; l < c.size; ++l) {
                const bool dark = modules[static_cast<std::size_t>(c.size - 1 - k)][static_cast<std::size_t>(l)] !=
                                  c.lightOnDark;
                const bool readDark = read[static_cast<std::size_t>(k + half) * n + (l + half)] == 0.0f;
                if (dark != readDark) ++wrong;
            }
        }
        EXPECT_LE(wrong, c.mostWrong) << c.size << "x" << c.size << " blurred by " << c.blur << " module";
    }
}

}  // namespace
}  // namespace ternwick
