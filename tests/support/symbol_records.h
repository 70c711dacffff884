// Decoder records for the codeword-layer tests: a SymbolResult with the
// buffers of a size, filled from a writer's mapping matrix, and the stages
// from placement to message run on it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "message/message_info.h"
#include "sample/symbol_result.h"
#include "support/symbol_writer.h"

namespace ternwick::testing {

// A record of the given size with its counts set and all buffers allocated
// and cleared, as the size search leaves it.
SymbolResult prepareSymbol(int symbolSize);

// The same for any row of the shape table (a rectangle's mapping matrix is
// its rows less the finder, clock and alignment lines by its columns less them).
SymbolResult prepareShape(int sizeIndex);

// The mapping matrix of a whole symbol of any shape: the modules of its data
// regions side by side.
ModuleMatrix mappingOfShape(int sizeIndex, const ModuleMatrix& symbol);

// Flags every module of the record as sampled, background where the mapping
// matrix is light.
void loadMapping(SymbolResult& symbol, const ModuleMatrix& mapping);

// Copies a codeword stream (data and check codewords) into the record.
void loadCodewords(SymbolResult& symbol, const std::vector<std::uint8_t>& codewords);

std::vector<std::uint8_t> codewordsOf(const SymbolResult& symbol);
std::string messageOf(const SymbolResult& symbol);

// Placement, correction and message decoding of a mapping matrix.
struct CodewordLayerResult {
    std::vector<std::uint8_t> placed;     // codewords as read from the modules
    int corrected = 0;                    // correctSymbol's result
    std::vector<std::uint8_t> codewords;  // after correction
    std::string message;
    MessageInfo info;
};
CodewordLayerResult decodeMapping(int symbolSize, const ModuleMatrix& mapping);

// A message's metadata in one line: the symbology identifier, then each ECI
// as " eci value@position", " sa position/total id1,id2", " programming",
// " macro 5" or " macro 6", and " fault: " with the fault's text.
std::string metadataSummary(const MessageInfo& info);

}  // namespace ternwick::testing
