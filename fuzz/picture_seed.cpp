// Writes a picture file (BMP or PNG) as an input of the decode target: its
// width, its height, then its grey levels from the bottom row up.
#include <cstdio>
#include <string>

#include "fuzz_targets.h"
#include "image/bmp_reader.h"
#include "image/png_loader.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s PICTURE OUTPUT\n", argv[0]);
        return 2;
    }
    const std::string path = argv[1];
    ternwick::ImageBuffer image;
    const bool png = path.size() >= 4 && path.compare(path.size() - 4, 4, ".png") == 0;
    if ((png ? ternwick::loadPngImage(image, path) : ternwick::loadBmpImage(image, path)) != 1) {
        std::fprintf(stderr, "%s: cannot load\n", argv[1]);
        return 1;
    }
    if (image.width > ternwick::fuzz::kMaxPictureSide || image.height > ternwick::fuzz::kMaxPictureSide) {
        std::fprintf(stderr, "%s: larger than %d pixels a side\n", argv[1], ternwick::fuzz::kMaxPictureSide);
        return 1;
    }
    std::FILE* out = std::fopen(argv[2], "wb");
    if (out == nullptr) {
        std::perror(argv[2]);
        return 1;
    }
    std::fputc(image.width, out);
    std::fputc(image.height, out);
    const long pixels = static_cast<long>(image.width) * image.height;
    for (long i = 0; i < pixels; ++i) std::fputc(image.pixels[static_cast<std::size_t>(i)], out);
    return std::fclose(out) == 0 ? 0 : 1;
}
