// The --trace output: how the decode of one picture went, stage by stage.
#pragma once

#include <nlohmann/json.hpp>
#include <string>

#include "driver/decode_trace.h"

namespace ternwick {

// Rounded to the decimals of the reference files, or exact (every float and
// double as it is, non-finite values by name) for bit-for-bit comparisons.
enum class TraceNumbers { Rounded, Exact };

// The traced candidate as a JSON array of zero or one objects, with the field
// names, order and units of the reference files in tests/data/reference.
nlohmann::ordered_json traceJson(const DecodeTrace& trace, TraceNumbers numbers = TraceNumbers::Rounded);

// The same as readable text, one stage a line.
std::string formatTraceText(const DecodeTrace& trace);

}  // namespace ternwick
