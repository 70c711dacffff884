// How the command line reports one decoded file, as text or as one JSON line.
#pragma once

#include <nlohmann/json.hpp>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "driver/decode_driver.h"
#include "driver/decode_trace.h"
#include "driver/result_text.h"
#include "input_list.h"
#include "ternwick/ternwick.h"

namespace ternwick {

// Outcome of one file on the command line; OutputFailed when it was decoded
// or searched but its outline could not be written.
enum class FileOutcome { Decoded, NoSymbol, LoadFailed, OutputFailed };

struct FileReport {
    std::string file;
    FileOutcome outcome = FileOutcome::NoSymbol;
    ResultFields fields;
    std::string timeText;  // "%dms"
    std::string error;     // why the file could not be loaded or searched, or its outline written; empty otherwise
    bool traced = false;
    DecodeTrace trace;
    Picture picture;       // the loaded picture, kept only when asked for
    bool severalAsked = false;  // the decode asked for more than one symbol
};

// How each file is decoded.
struct DecodeSettings {
    bool trace = false;        // the report also says how the decode went
    double budgetMs = 0.0;     // time limit of the search; 0: none
    bool keepPicture = false;  // the report keeps the loaded picture
    int maxSymbols = 1;        // above 1: every distinct symbol, up to that many
};

// Loads one file by its content (standardInput holds the bytes of "-") and
// decodes it as the dialog does: stop at the first symbol. With a context,
// the file loads into and decodes with it, and its buffers serve the next
// file; without one, with a fresh context. The time runs from before the
// load to after the release.
FileReport decodeFileForReport(const InputFile& input, const DecodeSettings& settings,
                               const std::vector<std::uint8_t>& standardInput = {},
                               DecodeContext* context = nullptr);

// The human-readable block of one file.
std::string formatReportText(const FileReport& report);

// The JSON object of one file, with exactly the documented keys.
nlohmann::ordered_json reportJson(const FileReport& report);

// The report of one file as the command prints it: one JSON line, or the
// text block. With several symbols asked for, a JSON line per symbol found,
// each with its index, and a text block that lists each symbol in turn.
std::string formatReport(const FileReport& report, bool json);

// Exit status over all files: 0 all decoded, 1 a load failure or an outline
// not written, 4 everything loaded but something held no symbol.
int exitStatusFor(const std::vector<FileOutcome>& outcomes);

}  // namespace ternwick
