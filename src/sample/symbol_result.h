// One candidate (or decoded) symbol, and the table of the 24 square ECC200 sizes.
#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "locate/candidate.h"

namespace ternwick {

// Flag bits of one module of the mapping matrix.
enum ModuleFlag : std::uint8_t {
    ModuleBackground = 0x01,  // sampled on the background side of the threshold
    ModuleSampled = 0x02,
    ModuleVisited = 0x04,     // read by the placement
    ModuleOutside = 0x08,     // sample point outside the picture: an erasure
};

// A located candidate with what the size search, the sampling, the
// correction and the message decoder add to it.
struct SymbolResult : Candidate {
    std::int32_t sizeIndex = 0;
    std::int32_t regionCount = 0;
    std::int32_t mappingRows = 0;
    std::int32_t mappingCols = 0;
    std::int32_t moduleCount = 0;
    std::int32_t codewordCount = 0;
    std::int32_t messageCapacity = 0;
    std::int32_t messageLength = 0;
    std::unique_ptr<std::uint8_t[]> modules;     // moduleCount flag bytes, row by row
    std::unique_ptr<std::uint8_t[]> codewords;   // codewordCount bytes, data first
    std::unique_ptr<std::uint8_t[]> message;     // messageCapacity bytes
    std::unique_ptr<std::int32_t[]> erasures;    // codewordCount entries
    std::int32_t erasureCount = 0;
    std::int32_t pass = 0;                // the search pass that found it
    std::int32_t correctedCodewords = 0;  // codewords error correction changed
};

// Frees the four owned buffers (modules, codewords, message, erasures, each
// only if present) and zero-fills the whole record.
void releaseSymbolBuffers(SymbolResult& symbol);

struct SymbolSize {
    std::int32_t symbolSize;     // modules per side, finder and clock included
    std::int32_t regionSize;     // modules per side of one data region
    std::int32_t regionCount;    // 1, 4, 16 or 36
    std::int32_t blockCount;     // interleaved Reed-Solomon blocks
    std::int32_t dataCodewords;
    std::int32_t eccCodewords;
    std::int32_t maxErasures;    // most erasures error correction accepts
};

inline constexpr int kSymbolSizeCount = 24;

inline constexpr std::array<SymbolSize, kSymbolSizeCount> kSymbolSizes{{
    {10, 8, 1, 1, 3, 5, 0},         {12, 10, 1, 1, 5, 7, 0},       {14, 12, 1, 1, 8, 10, 7},
    {16, 14, 1, 1, 12, 12, 9},      {18, 16, 1, 1, 18, 14, 11},    {20, 18, 1, 1, 22, 18, 15},
    {22, 20, 1, 1, 30, 20, 17},     {24, 22, 1, 1, 36, 24, 21},    {26, 24, 1, 1, 44, 28, 25},
    {32, 14, 4, 1, 62, 36, 33},     {36, 16, 4, 1, 86, 42, 39},    {40, 18, 4, 1, 114, 48, 45},
    {44, 20, 4, 1, 144, 56, 53},    {48, 22, 4, 1, 174, 68, 65},   {52, 24, 4, 2, 204, 84, 78},
    {64, 14, 16, 2, 280, 112, 106}, {72, 16, 16, 4, 368, 144, 132}, {80, 18, 16, 4, 456, 192, 180},
    {88, 20, 16, 4, 576, 224, 212}, {96, 22, 16, 4, 696, 272, 260}, {104, 24, 16, 6, 816, 336, 318},
    {120, 18, 36, 6, 1050, 408, 390}, {132, 20, 36, 8, 1304, 496, 472}, {144, 22, 36, 10, 1558, 620, 590},
}};

// Row of the size table whose symbolSize equals the given size, or -1.
int findSizeIndex(std::int32_t symbolSize);

// Alignment lines per direction of a size row: 0, 2, 6 or 10.
std::int32_t alignmentLineCount(std::int32_t regionCount);

}  // namespace ternwick
