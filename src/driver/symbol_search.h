// The search of one picture: the prefilter, the first pass over the scan
// schedule on the filtered picture and, when it found nothing, the second
// pass on the picture as loaded (a search for all symbols runs it whenever
// there is room for more). The symbols found stay in the context.
#pragma once

#include <cstdint>

#include "core/failure.h"
#include "driver/decode_context.h"

namespace ternwick {

// Distance between the scan lines of one dimension: 5 % of it, rounded half
// up; 1 for dimensions below 10 pixels, where that would be 0.
std::uint32_t scanStep(std::int32_t dimension);

// Searches the picture in context.image (width, height and pixels set, one
// grey byte a pixel, rows bottom-up). Afterwards context.symbols holds
// what was found and context.image the picture as loaded. An error for a
// picture no loader would give (no pixels, a side of 0 or below, more than
// kMaxImagePixels pixels) or when memory ran out; the symbols found until
// then stay in the context.
Failure searchPicture(DecodeContext& context);

}  // namespace ternwick
