// Turns the corrected data codewords of a symbol into message bytes: ASCII
// (with digit pairs, upper shift and pad), C40, Text, X12, EDIFACT and
// Base256, together with what the symbol says about its message: FNC1 (GS1
// and AIM data), ECI, structured append, reader programming and the 05/06
// macros.
#pragma once

#include "message/message_info.h"
#include "sample/symbol_result.h"

namespace ternwick {

struct MessageOptions {
    // Sends "FNC1 (?)" for each C40/Text FNC1 and echoes every X12 character
    // to the diagnostics sink. Off by default: these notes never reach a result.
    bool codewordNotes = false;
};

// Appends the decoded bytes to symbol.message from messageLength on and
// advances messageLength; never writes beyond messageCapacity nor reads past
// the data codewords. ECI positions are indexes into symbol.message. A stream
// that breaks off or breaks the encodation rules stops there, with the fault
// in the result. Does nothing (and returns an empty result) for a record
// without a valid size or buffers.
MessageInfo decodeCodewords(SymbolResult& symbol, const MessageOptions& options = {});

}  // namespace ternwick
