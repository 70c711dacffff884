// The --trace output: how the decode of one picture went, stage by stage.
#pragma once

#include <nlohmann/json.hpp>
#include <string>

#include "driver/decode_trace.h"

namespace ternwick {

// The traced candidate as a JSON array of zero or one objects, with the field
// names, order and units of the reference files in tests/data/reference.
nlohmann::ordered_json traceJson(const DecodeTrace& trace);

// The same as readable text, one stage a line.
std::string formatTraceText(const DecodeTrace& trace);

}  // namespace ternwick
