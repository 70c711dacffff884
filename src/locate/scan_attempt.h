// One scan line of the search schedule: the whole chain from level crossings
// to the decoded message.
#pragma once

#include "app/decode_context.h"

namespace ternwick {

// Both return the context's symbol count at their end.
int attemptScanLine(DecodeContext& context, int direction, int lineIndex);
int attemptScanLineSecondPass(DecodeContext& context, int direction, int lineIndex);

// Appends the index to the rejected-line list of the direction (1: columns,
// 8: rows) unless it is already the list's last entry or the list is full.
void recordRejectedLine(DecodeContext& context, int direction, int lineIndex);

}  // namespace ternwick
