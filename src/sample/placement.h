// Reads the sampled mapping matrix of a symbol into its codeword stream along
// the ECC200 module placement, marking every module read and listing the
// codewords that hold a module sampled outside the picture (erasures).
#pragma once

#include <cstdint>

#include "sample/symbol_result.h"

namespace ternwick {

// Fills all codewordCount codewords, the ModuleVisited marks and the erasure
// list (each codeword index once, in the order its first outside module is met).
// Square and rectangular matrices alike. Does nothing when the record's
// buffers or counts do not describe a mapping matrix.
void placeCodewords(SymbolResult& symbol);

// Reads module (row, col), wrapped around the matrix edges, into the bit of
// the codeword given by mask: set for a module of the finder's colour, clear
// for background. A position or codeword outside the record is ignored.
void placeModule(SymbolResult& symbol, std::int32_t row, std::int32_t col, std::int32_t codeword,
                 std::uint8_t mask);

}  // namespace ternwick
