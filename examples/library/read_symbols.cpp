// read_symbols: prints the symbols in a picture, using only the installed
// Ternwick package.
#include <ternwick/ternwick.h>

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: read_symbols PICTURE\n");
        return 2;
    }
    const ternwick::LoadResult loaded = ternwick::loadPicture(argv[1]);
    if (!loaded) {
        std::fprintf(stderr, "%s: %s\n", argv[1], loaded.error.reason.c_str());
        return 1;
    }
    const ternwick::ReadResult read = ternwick::readSymbols(loaded.picture.view());
    for (const ternwick::Symbol& symbol : read.symbols) {
        const std::string message(symbol.bytes.begin(), symbol.bytes.end());
        std::printf("%dx%d symbol: %s\n", symbol.rows, symbol.columns, message.c_str());
        for (const ternwick::Point& corner : symbol.corners) std::printf("  corner (%.1f, %.1f)\n", corner.x, corner.y);
    }
    return read.symbols.empty() ? 4 : 0;
}
