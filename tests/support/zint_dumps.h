// Symbols written by zint (tests/data/zint, made by make_dumps.py there):
// each dump holds a symbol's modules, its size, the scheme zint opened it
// with and the message; some also the message's metadata and its GS1
// human-readable form.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "support/symbol_writer.h"

namespace ternwick::testing {

struct ZintDump {
    std::string name;
    int size = 0;     // rows
    int columns = 0;  // of a rectangle; 0 for a square
    std::string scheme;
    std::string message;
    std::string metadata;  // as metadataSummary writes it; "" for a plain message
    std::string hri;       // GS1 human-readable form, "" when not GS1
    ModuleMatrix modules;
};

std::string fromHex(const std::string& hex);
ZintDump readDump(const std::filesystem::path& path);
// Every dump of a folder of tests/data (zint: the square sizes, zint-rect:
// the rectangular ones), sorted by name.
std::vector<ZintDump> allDumps(const std::string& folder = "zint");

}  // namespace ternwick::testing
