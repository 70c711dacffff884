#include "sample/placement.h"

namespace ternwick {
namespace {

// A record whose buffers and counts describe a mapping matrix.
bool placementReady(const SymbolResult& symbol) {
    const std::int32_t rows = symbol.mappingRows;
    const std::int32_t columns = symbol.mappingCols;
    return symbol.modules && symbol.codewords && symbol.erasures && rows > 0 && columns > 0 && rows <= 144 &&
           columns <= 144 && symbol.moduleCount == rows * columns && symbol.codewordCount > 0 &&
           symbol.erasureCount >= 0 && symbol.erasureCount <= symbol.codewordCount;
}

// A position outside the matrix counts as visited, so no shape is placed there.
bool isVisited(const SymbolResult& symbol, std::int32_t row, std::int32_t col) {
    if (row < 0 || col < 0 || row >= symbol.mappingRows || col >= symbol.mappingCols) return true;
    return (symbol.modules[static_cast<std::size_t>(row * symbol.mappingCols + col)] & ModuleVisited) != 0;
}

}  // namespace

void placeModule(SymbolResult& symbol, std::int32_t row, std::int32_t col, std::int32_t codeword,
                 std::uint8_t mask) {
    const std::int32_t nrow = symbol.mappingRows;
    const std::int32_t ncol = symbol.mappingCols;
    if (row < 0) {
        row += nrow;
        col += 4 - ((nrow + 4) % 8);
    }
    if (col < 0) {
        col += ncol;
        row += 4 - ((ncol + 4) % 8);
        // Only rectangles whose mapping width is 4 modules past a multiple
        // of 8 and whose height is a multiple of 8 wrap past the last row.
        if (row >= nrow) row -= nrow;
    }
    if (row < 0 || col < 0 || row >= nrow || col >= ncol || codeword < 0 || codeword >= symbol.codewordCount) {
        return;
    }
    std::uint8_t& module = symbol.modules[static_cast<std::size_t>(row * ncol + col)];
    std::uint8_t& byte = symbol.codewords[static_cast<std::size_t>(codeword)];
    if (module & ModuleBackground) {
        byte = static_cast<std::uint8_t>(byte & ~mask);
    } else {
        byte = static_cast<std::uint8_t>(byte | mask);
    }
    module = static_cast<std::uint8_t>(module | ModuleVisited);
    if (module & ModuleOutside) {
        for (std::int32_t e = 0; e < symbol.erasureCount; ++e) {
            if (symbol.erasures[static_cast<std::size_t>(e)] == codeword) return;
        }
        if (symbol.erasureCount < symbol.codewordCount) {
            symbol.erasures[static_cast<std::size_t>(symbol.erasureCount++)] = codeword;
        }
    }
}

// The standard eight-module shape whose last module is at (row, col).
static void placeShape(SymbolResult& symbol, std::int32_t row, std::int32_t col, std::int32_t codeword) {
    placeModule(symbol, row - 2, col - 2, codeword, 0x80);
    placeModule(symbol, row - 2, col - 1, codeword, 0x40);
    placeModule(symbol, row - 1, col - 2, codeword, 0x20);
    placeModule(symbol, row - 1, col - 1, codeword, 0x10);
    placeModule(symbol, row - 1, col, codeword, 0x08);
    placeModule(symbol, row, col - 2, codeword, 0x04);
    placeModule(symbol, row, col - 1, codeword, 0x02);
    placeModule(symbol, row, col, codeword, 0x01);
}

namespace {

// The eight modules of a corner shape, most significant bit first; a negative
// row or column counts from the far end of the matrix (-1 = the last).
using CornerShape = std::int32_t[8][2];

constexpr CornerShape kCorner1 = {{-1, 0}, {-1, 1}, {-1, 2}, {0, -2}, {0, -1}, {1, -1}, {2, -1}, {3, -1}};
constexpr CornerShape kCorner2 = {{-3, 0}, {-2, 0}, {-1, 0}, {0, -4}, {0, -3}, {0, -2}, {0, -1}, {1, -1}};
constexpr CornerShape kCorner3 = {{-3, 0}, {-2, 0}, {-1, 0}, {0, -2}, {0, -1}, {1, -1}, {2, -1}, {3, -1}};
constexpr CornerShape kCorner4 = {{-1, 0}, {-1, -1}, {0, -3}, {0, -2}, {0, -1}, {1, -3}, {1, -2}, {1, -1}};

void placeCorner(SymbolResult& symbol, const CornerShape& shape, std::int32_t codeword) {
    for (int b = 0; b < 8; ++b) {
        const std::int32_t row = shape[b][0] < 0 ? symbol.mappingRows + shape[b][0] : shape[b][0];
        const std::int32_t col = shape[b][1] < 0 ? symbol.mappingCols + shape[b][1] : shape[b][1];
        placeModule(symbol, row, col, codeword, static_cast<std::uint8_t>(0x80 >> b));
    }
}

}  // namespace

// The two fixed corner shapes of square symbols.
static void placeCorner1(SymbolResult& symbol, std::int32_t codeword) {
    placeCorner(symbol, kCorner1, codeword);
}

static void placeCorner2(SymbolResult& symbol, std::int32_t codeword) {
    placeCorner(symbol, kCorner2, codeword);
}

void placeCodewords(SymbolResult& symbol) {
    if (!placementReady(symbol)) return;
    const std::int32_t nrow = symbol.mappingRows;
    const std::int32_t ncol = symbol.mappingCols;
    std::int32_t codeword = 0;
    std::int32_t row = 4;
    std::int32_t col = 0;
    do {
        if (row == nrow && col == 0) {
            placeCorner1(symbol, codeword++);
        } else if (row == nrow - 2 && col == 0 && ncol % 4 != 0) {
            placeCorner2(symbol, codeword++);
        } else if (row == nrow - 2 && col == 0 && ncol % 8 == 4) {
            // The two corner shapes only rectangles reach.
            placeCorner(symbol, kCorner3, codeword++);
        } else if (row == nrow + 4 && col == 2 && ncol % 8 == 0) {
            placeCorner(symbol, kCorner4, codeword++);
        }
        // Up and to the right.
        do {
            if (row < nrow && col >= 0 && !isVisited(symbol, row, col)) placeShape(symbol, row, col, codeword++);
            row -= 2;
            col += 2;
        } while (row >= 0 && col < ncol);
        row += 1;
        col += 3;
        // Down and to the left.
        do {
            if (row >= 0 && col < ncol && !isVisited(symbol, row, col)) placeShape(symbol, row, col, codeword++);
            row += 2;
            col -= 2;
        } while (row < nrow && col >= 0);
        row += 3;
        col += 1;
    } while (row < nrow || col < ncol);
}

}  // namespace ternwick
