// Runs the location stages and the size search over a picture the way the
// scan-line attempt does, for tests of sampling: every crossing of the first
// pass's schedule is tried until one candidate is sized and sampled.
#pragma once

#include <functional>

#include "driver/decode_context.h"
#include "sample/symbol_result.h"
#include "support/symbol_writer.h"

namespace ternwick::testing {

enum class Sampling {
    Levels,       // fitSymbolSize, then sampleModules
    Thresholded,  // the second pass's retry: fitSymbolSizeThresholded with the top walk's levels
};

// Calls accept with each candidate that was located, sized and sampled, until
// accept returns true. Returns whether one was accepted.
bool forEachSampledCandidate(DecodeContext& context, Sampling sampling,
                             const std::function<bool(const SymbolResult&)>& accept);

// How many modules of a sampled candidate differ from the writer's mapping
// matrix (a dark module must not carry ModuleBackground, a light one must);
// -1 when the sizes differ.
int moduleDifferences(const SymbolResult& symbol, int symbolSize, const ModuleMatrix& mapping);

}  // namespace ternwick::testing
