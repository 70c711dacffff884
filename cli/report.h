// How the command line reports one decoded file, as text or as one JSON line.
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <string_view>

#include "driver/decode_driver.h"
#include "driver/decode_trace.h"
#include "driver/result_text.h"

namespace ternwick {

// Outcome of one file on the command line.
enum class FileOutcome { Decoded, NoSymbol, LoadFailed, NameNotAccepted };

struct FileReport {
    std::string file;
    FileOutcome outcome = FileOutcome::NoSymbol;
    ResultFields fields;
    std::string timeText;  // "%dms"
    bool traced = false;
    DecodeTrace trace;
};

// Decodes one file as the dialog does (fresh context, stop at the first
// symbol, time from the driver's start mark to after the release).
// With withTrace, the report also says how the decode went.
FileReport decodeFileForReport(const std::string& path, bool withTrace = false);

// The human-readable block of one file.
std::string formatReportText(const FileReport& report);

// The JSON object of one file, with exactly the documented keys.
nlohmann::ordered_json reportJson(const FileReport& report);

// Exit status over all files: 0 all decoded, 1 a load failure or a name not
// accepted, 4 everything loaded but something held no symbol.
int exitStatusFor(const std::vector<FileOutcome>& outcomes);

}  // namespace ternwick
