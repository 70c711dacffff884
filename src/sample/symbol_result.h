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
    std::int32_t mirrored = 0;            // 1: read from its mirror image
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

// Every size the decoder reads, the size index naming its row: the 24 square
// sizes in the order of kSymbolSizes, then the six rectangular sizes and the
// 18 rectangular extension (DMRE) sizes. A rectangle is wider than high.
struct SymbolShape {
    std::int32_t rows;           // modules, finder and clock included
    std::int32_t columns;
    std::int32_t regionRows;     // modules of one data region
    std::int32_t regionColumns;
    std::int32_t blockCount;     // interleaved Reed-Solomon blocks
    std::int32_t dataCodewords;
    std::int32_t eccCodewords;
    std::int32_t maxErasures;    // most erasures error correction accepts
};

inline constexpr int kSymbolShapeCount = 48;
inline constexpr int kFirstRectangularIndex = kSymbolSizeCount;

namespace detail {
// Check codewords a block may lose as erasures: three are kept for detecting
// errors, and blocks of fewer than ten accept none.
constexpr std::int32_t erasureAllowance(std::int32_t blocks, std::int32_t ecc) {
    return ecc / blocks < 10 ? 0 : blocks * (ecc / blocks - 3);
}
constexpr std::array<SymbolShape, kSymbolShapeCount> makeShapes() {
    std::array<SymbolShape, kSymbolShapeCount> shapes{};
    for (int i = 0; i < kSymbolSizeCount; ++i) {
        const SymbolSize& s = kSymbolSizes[static_cast<std::size_t>(i)];
        shapes[static_cast<std::size_t>(i)] = {s.symbolSize, s.symbolSize, s.regionSize,   s.regionSize,
                                               s.blockCount, s.dataCodewords, s.eccCodewords, s.maxErasures};
    }
    // rows, columns, region rows, region columns, data and check codewords; one block each.
    constexpr std::int32_t rectangles[kSymbolShapeCount - kSymbolSizeCount][6] = {
        {8, 18, 6, 16, 5, 7},      {8, 32, 6, 14, 10, 11},    {12, 26, 10, 24, 16, 14},  {12, 36, 10, 16, 22, 18},
        {16, 36, 14, 16, 32, 24},  {16, 48, 14, 22, 49, 28},
        {8, 48, 6, 22, 18, 15},    {8, 64, 6, 14, 24, 18},    {8, 80, 6, 18, 32, 22},    {8, 96, 6, 22, 38, 28},
        {8, 120, 6, 18, 49, 32},   {8, 144, 6, 22, 63, 36},   {12, 64, 10, 14, 43, 27},  {12, 88, 10, 20, 64, 36},
        {16, 64, 14, 14, 62, 36},  {20, 36, 18, 16, 44, 28},  {20, 44, 18, 20, 56, 34},  {20, 64, 18, 14, 84, 42},
        {22, 48, 20, 22, 72, 38},  {24, 48, 22, 22, 80, 41},  {24, 64, 22, 14, 108, 46}, {26, 40, 24, 18, 70, 38},
        {26, 48, 24, 22, 90, 42},  {26, 64, 24, 14, 118, 50},
    };
    for (int i = 0; i < kSymbolShapeCount - kSymbolSizeCount; ++i) {
        const std::int32_t* r = rectangles[i];
        shapes[static_cast<std::size_t>(kSymbolSizeCount + i)] = {r[0], r[1], r[2], r[3], 1, r[4], r[5],
                                                                   erasureAllowance(1, r[5])};
    }
    return shapes;
}
}  // namespace detail

inline constexpr std::array<SymbolShape, kSymbolShapeCount> kSymbolShapes = detail::makeShapes();

// The row of the size index, or null for an index that names no size.
const SymbolShape* shapeOf(std::int32_t sizeIndex);

// Row of kSymbolShapes with the given rows and columns, or -1.
int findShapeIndex(std::int32_t rows, std::int32_t columns);

// Row of the size table whose symbolSize equals the given size, or -1.
int findSizeIndex(std::int32_t symbolSize);

// Modules of a sized symbol from top to bottom and from left to right, finder
// and clock included; 0 when its size index names no size.
std::int32_t symbolRows(const SymbolResult& symbol);
std::int32_t symbolColumns(const SymbolResult& symbol);

// How a sized symbol lies in the symbol square: its modules along Y and along
// X (finder and clock included) and the modules of one data region along
// each. A mirrored symbol lies with its rows along X.
struct SampledGrid {
    std::int32_t rows;
    std::int32_t columns;
    std::int32_t regionRows;
    std::int32_t regionColumns;
};
SampledGrid sampledGrid(const SymbolResult& symbol);

// Turns a mapping matrix sampled from a mirrored symbol (sampledGrid's frame)
// into the symbol's own, swapping mappingRows and mappingCols. False, with
// the modules as they were, when memory is exhausted.
bool turnOverModules(SymbolResult& symbol);

// Alignment lines a symbol of the size has across its rows (between region
// rows) and across its columns.
std::int32_t alignmentRows(const SymbolShape& shape);
std::int32_t alignmentColumns(const SymbolShape& shape);

// Alignment lines per direction of a size row: 0, 2, 6 or 10.
std::int32_t alignmentLineCount(std::int32_t regionCount);

}  // namespace ternwick
