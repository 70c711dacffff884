// Writes a folder of generated symbol pictures for the Python tests and the
// throughput figures, and a list of what each holds.
//
//   ternwick_picture_maker FOLDER COUNT
//
// Picture i holds one symbol of a generated text, its size, module size,
// rotation and polarity varying with i; every fifth is a BMP, the rest PNG.
// FOLDER/expected.tsv lists "file<TAB>text" a line.
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <string>

#include "support/picture_files.h"
#include "support/symbol_writer.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s FOLDER COUNT\n", argv[0]);
        return 2;
    }
    namespace testing = ternwick::testing;
    try {
        const std::filesystem::path folder = argv[1];
        const int count = std::stoi(argv[2]);
        std::filesystem::create_directories(folder);
        std::ofstream expected(folder / "expected.tsv");
        const int sizes[] = {10, 12, 14, 16, 18, 20, 22, 24, 26, 32, 36};
        const double modulePixels[] = {3, 4, 5};
        const double rotations[] = {0, 90, 180, 270, 8, 20};
        for (int i = 0; i < count; ++i) {
            const int size = sizes[i % std::size(sizes)];
            testing::RenderOptions options;
            options.moduleSize = modulePixels[(i / 3) % std::size(modulePixels)];
            options.rotationDegrees = rotations[(i / 7) % std::size(rotations)];
            options.quietZone = 3.0;
            options.lightOnDark = i % 4 == 3;
            options.supersampling = 2;
            options.seed = static_cast<unsigned>(i + 1);
            const std::string text = testing::sampleText(size, static_cast<unsigned>(i + 1));
            const testing::RenderedSymbol rendered = testing::renderText(text, size, options);
            char name[32];
            const bool bmp = i % 5 == 4;
            std::snprintf(name, sizeof name, "picture-%04d.%s", i, bmp ? "bmp" : "png");
            testing::writeFile((folder / name).string(), bmp ? testing::greyImageToBmp(rendered.image)
                                                             : testing::greyImageToPng(rendered.image));
            expected << name << '\t' << text << '\n';
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s: %s\n", argv[0], error.what());
        return 1;
    }
    return 0;
}
