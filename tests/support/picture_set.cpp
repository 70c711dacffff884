#include "support/picture_set.h"

#include <algorithm>
#include <cmath>
#include <random>

#include "image/pixel_import.h"

namespace ternwick::testing {
namespace {

constexpr int kSquareSizes[] = {10, 12, 14, 16, 18, 20, 22, 24, 26, 32, 36, 40,
                                44, 48, 52, 64, 72, 80, 88, 96, 104, 120, 132, 144};

// Module size that keeps a symbol of the size within a few hundred pixels.
int compactModule(int size) { return size <= 26 ? 4 : size <= 52 ? 3 : 2; }

PictureRecipe symbolRecipe(std::string name, std::string group, int size, double module, unsigned seed) {
    PictureRecipe recipe;
    recipe.name = std::move(name);
    recipe.group = std::move(group);
    recipe.symbolSize = size;
    recipe.text = sampleText(size, seed);
    recipe.options.moduleSize = module;
    recipe.options.quietZone = 3.0;
    recipe.options.supersampling = 3;
    recipe.options.seed = seed;
    return recipe;
}

std::string tag(const char* prefix, int a, int b = -1, int c = -1) {
    std::string text = prefix;
    for (const int v : {a, b, c}) {
        if (v >= 0) text += "-" + std::to_string(v);
    }
    return text;
}

void addEverySize(std::vector<PictureRecipe>& set) {
    for (const int size : kSquareSizes) {
        const int m = compactModule(size);
        const auto seed = static_cast<unsigned>(size * 100);
        PictureRecipe clean = symbolRecipe(tag("size", size, 0), size <= 26 ? "small clean" : "large clean", size, m, seed);
        set.push_back(clean);

        PictureRecipe rotated = symbolRecipe(tag("size", size, 1), "rotated and keystoned", size, m, seed + 1);
        rotated.options.rotationDegrees = std::fmod(11.0 + 37.0 * size, 360.0);
        set.push_back(rotated);

        PictureRecipe inverse = symbolRecipe(tag("size", size, 2), "light-on-dark", size, m, seed + 2);
        inverse.options.lightOnDark = true;
        inverse.options.rotationDegrees = 3.0;
        set.push_back(inverse);

        PictureRecipe soft = symbolRecipe(tag("size", size, 3), "blurred and noisy", size, m + 1, seed + 3);
        soft.options.blurSigma = 0.35 * (m + 1);
        soft.options.noiseSigma = 10.0;
        set.push_back(soft);

        PictureRecipe keystone = symbolRecipe(tag("size", size, 4), "rotated and keystoned", size, m, seed + 4);
        const double extent = (size + 6.0) * m;
        keystone.options.perspective[0] = 0.12 / extent;
        keystone.options.perspective[1] = -0.08 / extent;
        keystone.options.rotationDegrees = 20.0 + size % 50;
        set.push_back(keystone);

        PictureRecipe uneven = symbolRecipe(tag("size", size, 5), "rotated and keystoned", size, m, seed + 5);
        uneven.options.rotationDegrees = 90.0 * (size % 4);
        uneven.options.darkLevel = 40;
        uneven.options.lightLevel = 190;
        uneven.options.illuminationGradient = 60.0;
        set.push_back(uneven);

        // Large modules: a few hundred pixels for every size.
        const double large = std::clamp(800.0 / (size + 6), 3.0, 12.0);
        set.push_back(symbolRecipe(tag("large", size), size <= 26 ? "small clean" : "large clean", size,
                                 std::floor(large), seed + 6));
    }
}

void addRotationSweep(std::vector<PictureRecipe>& set) {
    const int sizes[] = {12, 16, 22, 32, 48, 64};
    for (const int size : sizes) {
        for (int step = 0; step < 24; ++step) {
            PictureRecipe recipe = symbolRecipe(tag("turn", size, step * 15), "rotated and keystoned", size,
                                          size <= 22 ? 5 : 3, static_cast<unsigned>(size * 1000 + step));
            recipe.options.rotationDegrees = step * 15.0 + (step % 3) * 2.5;
            recipe.options.lightOnDark = step % 5 == 4;
            if (step % 4 == 3) recipe.options.perspective[0] = 0.0004;
            set.push_back(recipe);
        }
    }
}

void addBlurAndNoise(std::vector<PictureRecipe>& set) {
    const int sizes[] = {10, 14, 18, 24, 32, 40};
    const double blurs[] = {0.2, 0.4, 0.6};  // in modules
    const double noises[] = {0.0, 20.0, 40.0};
    for (const int size : sizes) {
        for (int b = 0; b < 3; ++b) {
            for (int n = 0; n < 3; ++n) {
                const int m = size <= 18 ? 5 : 4;
                PictureRecipe recipe = symbolRecipe(tag("soft", size, b, n), "blurred and noisy", size, m,
                                              static_cast<unsigned>(size * 7000 + b * 10 + n));
                recipe.options.blurSigma = blurs[b] * m;
                recipe.options.noiseSigma = noises[n];
                recipe.options.rotationDegrees = 5.0 * (b + n);
                set.push_back(recipe);
            }
        }
    }
}

void addLightOnDark(std::vector<PictureRecipe>& set) {
    const int sizes[] = {10, 16, 20, 26, 36, 48, 72, 96};
    for (const int size : sizes) {
        for (int k = 0; k < 4; ++k) {
            PictureRecipe recipe = symbolRecipe(tag("inverse", size, k), "light-on-dark", size, compactModule(size) + k % 2,
                                          static_cast<unsigned>(size * 300 + k));
            recipe.options.lightOnDark = true;
            recipe.options.rotationDegrees = 25.0 * k + 4.0;
            recipe.options.blurSigma = k == 3 ? 0.8 : 0.0;
            recipe.options.noiseSigma = k == 2 ? 12.0 : 0.0;
            set.push_back(recipe);
        }
    }
}

void addClutteredPages(std::vector<PictureRecipe>& set) {
    for (int k = 0; k < 20; ++k) {
        const int size = kSquareSizes[k % 8];
        PictureRecipe recipe = symbolRecipe(tag("page", k), "cluttered pages", size, 3 + k % 2,
                                      static_cast<unsigned>(90000 + k));
        recipe.options.width = 1280;
        recipe.options.height = 960;
        recipe.options.centreX = 200.0 + (k * 173) % 880;
        recipe.options.centreY = 150.0 + (k * 131) % 660;
        recipe.options.rotationDegrees = (k * 29) % 360;
        recipe.options.noiseSigma = k % 3 == 0 ? 6.0 : 0.0;
        recipe.clutter = 40 + 10 * (k % 4);
        set.push_back(recipe);
    }
}

// Small modules, heavy blur and low contrast: the pictures the first pass
// on the filtered picture tends to miss.
void addHardPictures(std::vector<PictureRecipe>& set) {
    const int sizes[] = {10, 12, 14, 16, 18, 20, 22, 24};
    for (const int size : sizes) {
        for (int k = 0; k < 6; ++k) {
            const double module = k < 3 ? 2.0 : 2.5;
            PictureRecipe recipe = symbolRecipe(tag("hard", size, k), "small modules and heavy blur", size, module,
                                          static_cast<unsigned>(size * 500 + k));
            recipe.options.rotationDegrees = 13.0 * k;
            recipe.options.blurSigma = (k % 3 == 0 ? 0.35 : k % 3 == 1 ? 0.5 : 0.7) * module;
            recipe.options.lightLevel = k % 2 == 0 ? 255 : 170;
            recipe.options.darkLevel = k % 2 == 0 ? 0 : 80;
            recipe.options.lightOnDark = k == 5;
            set.push_back(recipe);
        }
    }
}

void addEmptyPictures(std::vector<PictureRecipe>& set) {
    for (int kind = 0; kind < 10; ++kind) {
        for (int k = 0; k < 4; ++k) {
            PictureRecipe recipe;
            recipe.name = tag("empty", kind, k);
            recipe.group = "no symbol";
            recipe.noSymbolKind = kind;
            recipe.options.seed = static_cast<unsigned>(kind * 10 + k);
            // Sizes from a single pixel to a page.
            const int widths[] = {1, 9, 160, 640};
            const int heights[] = {1, 12, 120, 480};
            recipe.options.width = kind == 9 ? 1280 : widths[k];
            recipe.options.height = kind == 9 ? 960 : heights[k];
            set.push_back(recipe);
        }
    }
}

// Bars, blocks and frames at random places, kept out of a box around the symbol.
void drawClutter(GreyPicture& picture, const PictureRecipe& recipe) {
    std::mt19937 random(recipe.options.seed * 31u + 7u);
    const double cx = recipe.options.centreX;
    const double cy = picture.height - 1 - recipe.options.centreY;  // rows top-down
    const double keepOut = (recipe.symbolSize * 0.75 + 5.0) * recipe.options.moduleSize;
    auto uniform = [&](int low, int high) { return std::uniform_int_distribution<int>(low, high)(random); };
    for (int item = 0; item < recipe.clutter; ++item) {
        const int w = uniform(2, 180);
        const int h = item % 3 == 0 ? uniform(1, 6) : uniform(2, 120);
        const int x0 = uniform(0, picture.width - 1);
        const int y0 = uniform(0, picture.height - 1);
        const int grey = uniform(0, 1) != 0 ? uniform(0, 70) : uniform(150, 255);
        const bool frame = item % 4 == 1;
        for (int y = y0; y < std::min(picture.height, y0 + h); ++y) {
            for (int x = x0; x < std::min(picture.width, x0 + w); ++x) {
                if (std::fabs(x - cx) < keepOut && std::fabs(y - cy) < keepOut) continue;
                if (frame && x > x0 + 2 && x < x0 + w - 3 && y > y0 + 2 && y < y0 + h - 3) continue;
                picture.grey[static_cast<std::size_t>(y) * picture.width + x] = static_cast<std::uint8_t>(grey);
            }
        }
    }
}

GreyPicture emptyPicture(const PictureRecipe& recipe) {
    GreyPicture picture;
    picture.width = recipe.options.width;
    picture.height = recipe.options.height;
    picture.grey.assign(static_cast<std::size_t>(picture.width) * picture.height, 0);
    std::mt19937 random(recipe.options.seed);
    std::normal_distribution<double> noise(0.0, 30.0);
    for (int y = 0; y < picture.height; ++y) {
        for (int x = 0; x < picture.width; ++x) {
            double v = 0;
            switch (recipe.noSymbolKind) {
                case 0: v = 200; break;
                case 1: v = 255.0 * x / std::max(1, picture.width - 1); break;
                case 2: v = 128 + noise(random); break;
                case 3: v = ((x + y) % 2) * 255; break;
                case 4: v = ((x / 2 + y / 2) % 2) * 255; break;
                case 5: v = ((x / 8 + y / 8) % 2) * 255; break;
                case 6: v = (x / 5) % 2 == 0 ? 30 : 220; break;
                case 7: v = (y / 3) % 3 == 0 ? 10 : 240; break;
                case 8: v = 128 + 100 * std::sin(x * 0.3) * std::cos(y * 0.2); break;
                default: v = 230; break;
            }
            picture.grey[static_cast<std::size_t>(y) * picture.width + x] =
                static_cast<std::uint8_t>(std::clamp(std::lround(v), 0L, 255L));
        }
    }
    if (recipe.noSymbolKind == 9) {
        PictureRecipe clutter = recipe;
        clutter.clutter = 120;
        clutter.options.centreX = -1000;
        clutter.options.centreY = -1000;
        drawClutter(picture, clutter);
    }
    return picture;
}

}  // namespace

std::vector<PictureRecipe> pictureSet() {
    std::vector<PictureRecipe> set;
    addEverySize(set);
    addRotationSweep(set);
    addBlurAndNoise(set);
    addLightOnDark(set);
    addClutteredPages(set);
    addHardPictures(set);
    addEmptyPictures(set);
    return set;
}

GreyPicture renderPicture(const PictureRecipe& recipe) {
    if (recipe.symbolSize == 0) return emptyPicture(recipe);
    const RenderedSymbol rendered = renderText(recipe.text, recipe.symbolSize, recipe.options);
    GreyPicture picture;
    picture.width = rendered.image.width;
    picture.height = rendered.image.height;
    picture.grey.resize(static_cast<std::size_t>(picture.width) * picture.height);
    exportGrey(rendered.image, picture.grey.data());
    if (recipe.clutter > 0) drawClutter(picture, recipe);
    return picture;
}

}  // namespace ternwick::testing
