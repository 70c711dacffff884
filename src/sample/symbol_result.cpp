#include "sample/symbol_result.h"

#include <cmath>
#include <new>

namespace ternwick {

void releaseSymbolBuffers(SymbolResult& symbol) {
    symbol.modules.reset();
    symbol.codewords.reset();
    symbol.message.reset();
    symbol.erasures.reset();
    symbol = SymbolResult{};
}

int findSizeIndex(std::int32_t symbolSize) {
    for (int row = 0; row < kSymbolSizeCount; ++row) {
        if (kSymbolSizes[row].symbolSize == symbolSize) return row;
    }
    return -1;
}

const SymbolShape* shapeOf(std::int32_t sizeIndex) {
    if (sizeIndex < 0 || sizeIndex >= kSymbolShapeCount) return nullptr;
    return &kSymbolShapes[static_cast<std::size_t>(sizeIndex)];
}

int findShapeIndex(std::int32_t rows, std::int32_t columns) {
    for (int row = 0; row < kSymbolShapeCount; ++row) {
        const SymbolShape& shape = kSymbolShapes[static_cast<std::size_t>(row)];
        if (shape.rows == rows && shape.columns == columns) return row;
    }
    return -1;
}

std::int32_t symbolRows(const SymbolResult& symbol) {
    const SymbolShape* shape = shapeOf(symbol.sizeIndex);
    return shape != nullptr ? shape->rows : 0;
}

std::int32_t symbolColumns(const SymbolResult& symbol) {
    const SymbolShape* shape = shapeOf(symbol.sizeIndex);
    return shape != nullptr ? shape->columns : 0;
}

SampledGrid sampledGrid(const SymbolResult& symbol) {
    const SymbolShape* shape = shapeOf(symbol.sizeIndex);
    if (shape == nullptr) return {0, 0, 0, 0};
    if (symbol.mirrored != 0) return {shape->columns, shape->rows, shape->regionColumns, shape->regionRows};
    return {shape->rows, shape->columns, shape->regionRows, shape->regionColumns};
}

bool turnOverModules(SymbolResult& symbol) {
    const std::int32_t rows = symbol.mappingRows;
    const std::int32_t columns = symbol.mappingCols;
    if (!symbol.modules || rows <= 0 || columns <= 0 || symbol.moduleCount != rows * columns) return false;
    std::unique_ptr<std::uint8_t[]> turned(new (std::nothrow) std::uint8_t[static_cast<std::size_t>(rows) * columns]);
    if (!turned) return false;
    // The mirror line runs through the finder's corner: the sampled row from
    // the top is the symbol's column from the right, and the sampled column
    // from the left its row from the bottom.
    for (std::int32_t i = 0; i < columns; ++i) {
        for (std::int32_t j = 0; j < rows; ++j) {
            turned[static_cast<std::size_t>(i) * rows + j] =
                symbol.modules[static_cast<std::size_t>(rows - 1 - j) * columns + (columns - 1 - i)];
        }
    }
    symbol.modules = std::move(turned);
    symbol.mappingRows = columns;
    symbol.mappingCols = rows;
    return true;
}

std::int32_t alignmentRows(const SymbolShape& shape) { return 2 * (shape.rows / (shape.regionRows + 2) - 1); }

std::int32_t alignmentColumns(const SymbolShape& shape) {
    return 2 * (shape.columns / (shape.regionColumns + 2) - 1);
}

std::int32_t alignmentLineCount(std::int32_t regionCount) {
    const double perSide = std::sqrt(static_cast<double>(regionCount));
    return static_cast<std::int32_t>(2.0 * (perSide - 1.0));
}

}  // namespace ternwick
