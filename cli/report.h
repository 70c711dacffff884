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
    bool severalAsked = false;  // the decode asked for more than one symbol
};

// Decodes one file as the dialog does (fresh context, stop at the first
// symbol, time from the driver's start mark to after the release).
// With withTrace, the report also says how the decode went.
// maxSymbols above 1 asks for every distinct symbol, up to that many.
FileReport decodeFileForReport(const std::string& path, bool withTrace = false, int maxSymbols = 1);

// The human-readable block of one file.
std::string formatReportText(const FileReport& report);

// The JSON object of one file, with exactly the documented keys.
nlohmann::ordered_json reportJson(const FileReport& report);

// The report of one file as the command prints it: one JSON line, or the
// text block. With several symbols asked for, a JSON line per symbol found,
// each with its index, and a text block that lists each symbol in turn.
std::string formatReport(const FileReport& report, bool json);

// Exit status over all files: 0 all decoded, 1 a load failure or a name not
// accepted, 4 everything loaded but something held no symbol.
int exitStatusFor(const std::vector<FileOutcome>& outcomes);

}  // namespace ternwick
