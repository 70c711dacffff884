#include "support/symbol_records.h"

#include <stdexcept>

#include "ecc/reed_solomon.h"
#include "message/codeword_decoder.h"
#include "sample/placement.h"

namespace ternwick::testing {

SymbolResult prepareSymbol(int symbolSize) {
    const int index = findSizeIndex(symbolSize);
    if (index < 0) throw std::invalid_argument("no such symbol size");
    return prepareShape(index);
}

SymbolResult prepareShape(int sizeIndex) {
    const SymbolShape* row = shapeOf(sizeIndex);
    if (row == nullptr) throw std::invalid_argument("no such symbol size");
    SymbolResult symbol;
    symbol.sizeIndex = sizeIndex;
    symbol.regionCount = (row->rows / (row->regionRows + 2)) * (row->columns / (row->regionColumns + 2));
    symbol.mappingRows = row->rows - 2 - alignmentRows(*row);
    symbol.mappingCols = row->columns - 2 - alignmentColumns(*row);
    symbol.moduleCount = symbol.mappingRows * symbol.mappingCols;
    symbol.codewordCount = row->dataCodewords + row->eccCodewords;
    symbol.messageCapacity = 10 * symbol.codewordCount;
    symbol.modules.reset(new std::uint8_t[static_cast<std::size_t>(symbol.moduleCount)]());
    symbol.codewords.reset(new std::uint8_t[static_cast<std::size_t>(symbol.codewordCount)]());
    symbol.erasures.reset(new std::int32_t[static_cast<std::size_t>(symbol.codewordCount)]());
    symbol.message.reset(new std::uint8_t[static_cast<std::size_t>(symbol.messageCapacity)]());
    return symbol;
}

ModuleMatrix mappingOfShape(int sizeIndex, const ModuleMatrix& symbol) {
    const SymbolShape& shape = *shapeOf(sizeIndex);
    ModuleMatrix mapping;
    for (int r = 1; r < shape.rows - 1; ++r) {
        if ((r - 1) % (shape.regionRows + 2) >= shape.regionRows) continue;
        std::vector<bool> row;
        for (int c = 1; c < shape.columns - 1; ++c) {
            if ((c - 1) % (shape.regionColumns + 2) < shape.regionColumns) row.push_back(symbol.at(r).at(c));
        }
        mapping.push_back(row);
    }
    return mapping;
}

void loadMapping(SymbolResult& symbol, const ModuleMatrix& mapping) {
    for (int r = 0; r < symbol.mappingRows; ++r) {
        for (int c = 0; c < symbol.mappingCols; ++c) {
            const bool dark = mapping.at(static_cast<std::size_t>(r)).at(static_cast<std::size_t>(c));
            symbol.modules[static_cast<std::size_t>(r * symbol.mappingCols + c)] =
                static_cast<std::uint8_t>(ModuleSampled | (dark ? 0 : ModuleBackground));
        }
    }
}

void loadCodewords(SymbolResult& symbol, const std::vector<std::uint8_t>& codewords) {
    if (codewords.size() != static_cast<std::size_t>(symbol.codewordCount)) {
        throw std::invalid_argument("codeword stream of the wrong length");
    }
    std::copy(codewords.begin(), codewords.end(), symbol.codewords.get());
}

std::vector<std::uint8_t> codewordsOf(const SymbolResult& symbol) {
    return {symbol.codewords.get(), symbol.codewords.get() + symbol.codewordCount};
}

std::string messageOf(const SymbolResult& symbol) {
    return {reinterpret_cast<const char*>(symbol.message.get()), static_cast<std::size_t>(symbol.messageLength)};
}

CodewordLayerResult decodeMapping(int symbolSize, const ModuleMatrix& mapping) {
    SymbolResult symbol = prepareSymbol(symbolSize);
    loadMapping(symbol, mapping);
    placeCodewords(symbol);
    CodewordLayerResult result;
    result.placed = codewordsOf(symbol);
    result.corrected = correctSymbol(symbol);
    result.codewords = codewordsOf(symbol);
    if (result.corrected) {
        result.info = decodeCodewords(symbol);
        result.message = messageOf(symbol);
    }
    return result;
}

std::string metadataSummary(const MessageInfo& info) {
    std::string out(info.symbologyId());
    for (const EciMark& e : info.eci) out += " eci " + std::to_string(e.value) + "@" + std::to_string(e.position);
    if (const auto& sa = info.structuredAppend) {
        out += " sa " + std::to_string(sa->position) + "/" + std::to_string(sa->total) + " " +
               std::to_string(sa->fileId1) + "," + std::to_string(sa->fileId2);
    }
    if (info.readerProgramming) out += " programming";
    if (info.macro != 0) out += " macro " + std::to_string(info.macro);
    if (info.endedAbnormally()) out += " fault: " + std::string(messageFaultText(info.fault));
    return out;
}

}  // namespace ternwick::testing
