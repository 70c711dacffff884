#include "support/zint_dumps.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace ternwick::testing {

std::string fromHex(const std::string& hex) {
    std::string out;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        out.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    }
    return out;
}

// Header lines "size", "columns" (rectangles only), "scheme", "message",
// optionally "metadata" and "hri" (each the rest of its line), then rows of hex digits (four
// modules a digit, the first module the most significant bit).
ZintDump readDump(const std::filesystem::path& path) {
    ZintDump dump;
    dump.name = path.stem().string();
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        std::string key;
        words >> key;
        if (key == "size") {
            words >> dump.size;
        } else if (key == "columns") {
            words >> dump.columns;
        } else if (key == "scheme") {
            words >> dump.scheme;
        } else if (key == "message") {
            std::string hex;
            words >> hex;
            dump.message = fromHex(hex);
        } else if (key == "metadata" || key == "hri") {
            std::string rest;
            std::getline(words >> std::ws, rest);
            (key == "hri" ? dump.hri : dump.metadata) = rest;
        } else if (!line.empty()) {
            std::vector<bool> row;
            for (const char c : line) {
                if (c == ' ') continue;
                const int digit = std::stoi(std::string(1, c), nullptr, 16);
                for (int bit = 3; bit >= 0; --bit) row.push_back(((digit >> bit) & 1) != 0);
            }
            row.resize(static_cast<std::size_t>(dump.columns > 0 ? dump.columns : dump.size));
            dump.modules.push_back(row);
        }
    }
    return dump;
}

std::vector<ZintDump> allDumps(const std::string& folder) {
    std::vector<ZintDump> dumps;
    for (const auto& entry : std::filesystem::directory_iterator(TERNWICK_SOURCE_DIR "/tests/data/" + folder)) {
        if (entry.path().extension() == ".txt") dumps.push_back(readDump(entry.path()));
    }
    std::sort(dumps.begin(), dumps.end(), [](const ZintDump& a, const ZintDump& b) { return a.name < b.name; });
    return dumps;
}

}  // namespace ternwick::testing
