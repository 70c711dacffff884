// Turns the corrected data codewords of a symbol into message bytes: ASCII
// (with digit pairs, upper shift and pad), C40, Text, X12, Base256, and
// EDIFACT shown as the hexadecimal of its codewords.
#pragma once

#include "sample/symbol_result.h"

namespace ternwick {

// Appends the decoded bytes to symbol.message from messageLength on and
// advances messageLength; never writes beyond messageCapacity. Prints
// "FNC1 (?)" for a C40/Text FNC1 and echoes X12 characters, both through the
// diagnostics sink. Does nothing for a record without a valid size or buffers.
void decodeCodewords(SymbolResult& symbol);

}  // namespace ternwick
