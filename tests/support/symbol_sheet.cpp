#include "support/symbol_sheet.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace ternwick::testing {

SymbolSheet composeSheet(const std::vector<SheetSymbol>& symbols) {
    std::vector<RenderedSymbol> rendered;
    int cellWidth = 0;
    int cellHeight = 0;
    SymbolSheet sheet;
    for (const SheetSymbol& symbol : symbols) {
        rendered.push_back(renderText(symbol.text, symbol.symbolSize, symbol.options));
        cellWidth = std::max(cellWidth, rendered.back().image.width);
        cellHeight = std::max(cellHeight, rendered.back().image.height);
        sheet.texts.push_back(symbol.text);
    }
    const int count = static_cast<int>(symbols.size());
    const int columns = std::max(1, static_cast<int>(std::ceil(std::sqrt(static_cast<double>(count)))));
    const int rows = (count + columns - 1) / columns;
    ImageBuffer& image = sheet.image;
    image.width = columns * cellWidth;
    image.height = rows * cellHeight;
    const std::size_t bytes = static_cast<std::size_t>(image.width) * image.height;
    image.pixels.reset(new std::uint8_t[bytes]);
    std::memset(image.pixels.get(), 255, bytes);
    for (int i = 0; i < count; ++i) {
        const ImageBuffer& tile = rendered[static_cast<std::size_t>(i)].image;
        // Cell (i / columns, i % columns) counted from the top; rows of the buffer run upwards.
        const int left = (i % columns) * cellWidth + (cellWidth - tile.width) / 2;
        const int bottom = (rows - 1 - i / columns) * cellHeight + (cellHeight - tile.height) / 2;
        for (int y = 0; y < tile.height; ++y) {
            std::memcpy(image.pixels.get() + static_cast<std::size_t>(bottom + y) * image.width + left,
                        tile.pixels.get() + static_cast<std::size_t>(y) * tile.width,
                        static_cast<std::size_t>(tile.width));
        }
    }
    return sheet;
}

std::vector<SheetSymbol> mixedSymbols(int count, const std::vector<int>& sizes, bool uprightOnly) {
    std::vector<SheetSymbol> symbols;
    for (int i = 0; i < count; ++i) {
        SheetSymbol symbol;
        symbol.symbolSize = sizes[static_cast<std::size_t>(i) % sizes.size()];
        symbol.text = "S" + std::to_string(i);  // fits the smallest size up to S999
        // Symbols of about the same width in pixels, so that the scan lines cross each.
        symbol.options.moduleSize = std::max(2.0, std::round(90.0 / symbol.symbolSize)) + i % 2;
        symbol.options.quietZone = 3.0;
        symbol.options.rotationDegrees = uprightOnly ? 0.0 : (i * 37) % 360;
        symbol.options.supersampling = 2;
        symbols.push_back(symbol);
    }
    return symbols;
}

}  // namespace ternwick::testing
