// One scan line of the search schedule: the whole chain from level crossings
// to the decoded message.
#pragma once

#include "driver/decode_context.h"

namespace ternwick {

// The two search passes: the first on the prefiltered picture, the second on
// the picture as loaded, at twice the sampling resolution, with a
// thresholded retry of candidates whose size search failed.
enum class SearchPass { First = 1, Second = 2 };

// Both return the context's symbol count at their end. direction is
// ScanDirectionUp (a column line, lineIndex its x) or ScanDirectionRight (a
// row line, lineIndex its y).
int attemptScanLine(DecodeContext& context, int direction, int lineIndex);
int attemptScanLineSecondPass(DecodeContext& context, int direction, int lineIndex);

// Reads a kept first-pass candidate (see DecodeContext::unsized) on the
// picture as loaded, its size found from the border pattern alone or its
// grid bent to follow its sides; a symbol read is stored with the given
// pass. For a picture of black and white only, a bent grid that does not
// correct is read once more with light modules shrunk by dim light taken
// into account. True when it was read.
bool readUnsizedCandidate(DecodeContext& context, const Candidate& located, int pass, bool blackAndWhite = false);

// Appends the index to the rejected-line list of the direction unless it is
// already the list's last entry or the list is full.
void recordRejectedLine(DecodeContext& context, int direction, int lineIndex);

}  // namespace ternwick
