// The whole state of one decode. A value of this type belongs to one decode at
// a time; two decodes with two contexts can run on two threads at once, since
// the working data of every stage lives here or in the stage's locals.
#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "image/image_buffer.h"
#include "sample/symbol_result.h"

namespace ternwick {

inline constexpr int kMaxSymbols = 16;
inline constexpr int kRejectedLineCapacity = 1024;

// Minimum, maximum and mid level seen by the latest top-side walk of this decode.
struct TopEdgeLevels {
    float minLevel = 0.0f;
    float maxLevel = 0.0f;
    float midLevel = 0.0f;
};

// Grids of the second pass's thresholded sampling: room for (S + 4)^2 cells
// with S up to 144.
inline constexpr int kGridCapacitySide = 148;
struct SamplingGrids {
    std::array<float, kGridCapacitySide * kGridCapacitySide> rawGrid{};
    std::array<float, kGridCapacitySide * kGridCapacitySide> binarisedGrid{};
};

struct DecodeContext;

// The two scan-line attempts the driver calls; each returns the symbol count.
// The driver reaches them through this table so that a test can substitute
// its own; a null table means the decoder's own attempts.
struct ScanLineAttempts {
    int (*firstPass)(DecodeContext& context, int direction, int lineIndex);
    int (*secondPass)(DecodeContext& context, int direction, int lineIndex);
};

struct DecodeTrace;

// Work one search pass may spend on its scan lines, in units of about one
// pixel read of the costly stages: edge-trace steps, side-walk samples,
// border, module and grid samples. Once a pass has spent it, its remaining
// crossings and lines are passed over. A pass that finds a symbol has spent
// a small part of it (about 2 % at most for pictures of symbols of every size
// up to 4000x4000 pixels, noisy, blurred and rotated ones included); pictures
// with level crossings at nearly every pixel, such as fine checkerboards or
// dense line art, reach it, and it keeps their decode within about a second.
inline constexpr std::int64_t kSearchWorkLimit = 10000000;

struct DecodeContext {
    std::int32_t flags = 0;        // bit 0: stop at the first decoded symbol
    std::int32_t symbolCount = 0;
    SymbolResult symbols[kMaxSymbols];
    ImageBuffer image;
    std::int32_t rejectedRows[kRejectedLineCapacity] = {};
    std::int32_t rejectedRowCount = 0;
    std::int32_t rejectedColumns[kRejectedLineCapacity] = {};
    std::int32_t rejectedColumnCount = 0;

    // Working data of this decode's stages.
    TopEdgeLevels lastTopEdgeLevels;
    std::unique_ptr<SamplingGrids> grids;      // allocated on first use
    std::int64_t searchWork = 0;               // spent by the current search pass
    std::int64_t searchWorkLimit = kSearchWorkLimit;

    const ScanLineAttempts* attempts = nullptr;  // null: the decoder's own
    DecodeTrace* trace = nullptr;                // filled only when asked for
};

// Frees the buffers of the first symbolCount symbols, zero-fills those records
// and sets symbolCount to 0.
void releaseSymbols(DecodeContext& context);

}  // namespace ternwick
