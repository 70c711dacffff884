// Loads each picture named on the command line and reads its symbols through
// the public API, one line a file: "<file>: <n> symbols <first text>" or
// "<file>: error <reason>". The memory-limit test runs it under a lowered
// address-space limit; whatever fails, it goes on with the next file.
#include <cstdio>
#include <string>

#include "ternwick/ternwick.h"

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const ternwick::LoadResult loaded = ternwick::loadPicture(argv[i]);
        if (!loaded) {
            std::printf("%s: error %s\n", argv[i], loaded.error.reason.c_str());
            continue;
        }
        ternwick::ReaderOptions options;
        options.maxSymbols = 3;
        const ternwick::ReadResult read = ternwick::readSymbols(loaded.picture.view(), options);
        if (!read) {
            std::printf("%s: error %s\n", argv[i], read.error.reason.c_str());
            continue;
        }
        std::printf("%s: %zu symbols", argv[i], read.symbols.size());
        if (!read.symbols.empty()) {
            const auto& bytes = read.symbols[0].bytes;
            std::printf(" %.*s", static_cast<int>(bytes.size()), reinterpret_cast<const char*>(bytes.data()));
        }
        std::printf("\n");
        std::fflush(stdout);
    }
    return 0;
}
