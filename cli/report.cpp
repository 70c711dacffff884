#include "report.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <memory>

#include "driver/timed_attempts.h"
#include "trace_report.h"

namespace ternwick {

namespace {

// The fields of a file that could not be loaded, as the driver fills them.
void reportLoadFailure(FileReport& report, const std::string& reason) {
    report.outcome = FileOutcome::LoadFailed;
    report.error = reason;
    report.fields.statusText = "Failed!";
    report.fields.asciiText = kLoadFailureText;
}

}  // namespace

FileReport decodeFileForReport(const InputFile& input, const DecodeSettings& settings,
                               const std::vector<std::uint8_t>& standardInput, DecodeContext* given) {
    FileReport report;
    report.file = input.path;
    report.traced = settings.trace;
    report.severalAsked = settings.maxSymbols > 1;
    std::unique_ptr<DecodeContext> fresh;
    if (given == nullptr) fresh = std::make_unique<DecodeContext>();
    DecodeContext& context = given != nullptr ? *given : *fresh;
    report.fields.startTick = tickCount();  // the driver sets it again when the search starts
    const auto loadStart = std::chrono::steady_clock::now();
    Failure loadError;
    int loaded = 0;
    if (!input.listError.empty()) {
        loadError = failure(FailureKind::ReadFailed, input.listError);
    } else if (input.path != kStandardInputName) {
        loaded = loadIntoContext(context, input.path, loadError);
    } else if (standardInput.empty()) {
        loadError = failure(FailureKind::Truncated, "standard input is empty");
    } else {
        loaded = loadIntoContext(context, standardInput.data(), standardInput.size(), loadError);
    }
    report.fields.loadMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - loadStart).count();

    if (loaded != 1) {
        reportLoadFailure(report, loadError.reason);
    } else {
        if (settings.keepPicture) {
            report.picture.width = context.image.width;
            report.picture.height = context.image.height;
            report.picture.grey = pictureGrey(context);
        }
        context.trace = settings.trace ? &report.trace : nullptr;
        TimedAttempts timed(settings.budgetMs);
        context.attempts = settings.budgetMs > 0.0 ? &timed : nullptr;
        if (decodeLoadedImage(report.fields, context, settings.maxSymbols) == 1) {
            report.outcome = FileOutcome::LoadFailed;
            report.error = report.fields.loadError.reason;
        } else {
            report.outcome = report.fields.decoded ? FileOutcome::Decoded : FileOutcome::NoSymbol;
        }
        releaseSymbols(context);
        context.attempts = nullptr;
        context.trace = nullptr;
    }
    report.timeText = millisecondsText(elapsedTicks(report.fields.startTick, tickCount()));
    return report;
}

namespace {

// The text field as shown: a decoded message is always escaped; otherwise the
// field holds the driver's own message, which is shown as it is.
std::string shownText(const FileReport& report) {
    if (report.fields.decoded) return escapeBytes(report.fields.asciiText);
    return isValidUtf8(report.fields.asciiText) ? report.fields.asciiText : escapeBytes(report.fields.asciiText);
}

std::string jsonText(const std::string& text) { return isValidUtf8(text) ? text : escapeBytes(text); }

// A coordinate rounded to hundredths of a pixel.
double rounded(double v) { return std::round(v * 100.0) / 100.0; }

std::string cornersText(const std::vector<PicturePoint>& corners) {
    std::string out;
    for (const PicturePoint& p : corners) {
        char point[64];
        std::snprintf(point, sizeof point, "%s(%.2f, %.2f)", out.empty() ? "" : " ", rounded(p.x), rounded(p.y));
        out += point;
    }
    return out;
}

std::string messageString(const ResultFields& f) { return {f.message.begin(), f.message.end()}; }

// Each ECI as value@position, space-separated.
std::string eciText(const MessageInfo& info) {
    std::string out;
    for (const EciMark& e : info.eci) {
        if (!out.empty()) out += ' ';
        out += std::to_string(e.value) + "@" + std::to_string(e.position);
    }
    return out;
}

std::string structuredAppendText(const MessageInfo& info) {
    const auto& sa = info.structuredAppend;
    if (!sa) return "";
    return std::to_string(sa->position) + " of " + std::to_string(sa->total) + ", file " +
           std::to_string(sa->fileId1) + " " + std::to_string(sa->fileId2);
}

// The symbology identifier of a decoded symbol; empty when none was decoded.
std::string symbologyIdText(const ResultFields& f) {
    return f.decoded ? std::string(f.messageInfo.symbologyId()) : std::string();
}

}  // namespace

std::string formatReportText(const FileReport& report) {
    std::string out = report.file + "\n";
    out += "  Status:  " + jsonText(report.fields.statusText) + "\n";
    out += "  Scheme:  " + jsonText(report.fields.schemeText) + "\n";
    out += "  Text:    " + shownText(report) + "\n";
    out += "  Hex:     " + report.fields.hexText + "\n";
    out += "  Time:    " + report.timeText + "\n";
    out += "  Message: " + hexOf(report.fields.message.data(), report.fields.message.size()) + "\n";
    out += "  Corners: " + cornersText(report.fields.corners) + "\n";
    out += "  Content: " + escapeBytes(messageString(report.fields)) + "\n";
    out += "  AIM id:  " + symbologyIdText(report.fields) + "\n";
    out += "  GS1:     " + report.fields.gs1Hri + "\n";
    out += "  ECI:     " + eciText(report.fields.messageInfo) + "\n";
    out += "  Append:  " + structuredAppendText(report.fields.messageInfo) + "\n";
    out += "  Fault:   " + std::string(messageFaultText(report.fields.messageInfo.fault)) + "\n";
    if (!report.error.empty()) out += "  Error:   " + jsonText(report.error) + "\n";
    if (report.traced) out += formatTraceText(report.trace);
    return out;
}

nlohmann::ordered_json reportJson(const FileReport& report) {
    const ResultFields& f = report.fields;
    nlohmann::ordered_json j;
    j["file"] = jsonText(report.file);
    j["decoded"] = f.decoded;
    j["status"] = jsonText(f.statusText);
    j["scheme"] = jsonText(f.schemeText);
    j["text"] = jsonText(f.asciiText);
    j["hex"] = f.hexText;
    j["time"] = report.timeText;
    j["message_hex"] = hexOf(f.message.data(), f.message.size());
    const std::int32_t columns = f.symbolColumns > 0 ? f.symbolColumns : f.symbolSize;  // 0: a square
    j["size"] = f.symbolSize > 0 ? std::to_string(f.symbolSize) + "x" + std::to_string(columns) : "";
    j["load_ms"] = f.loadMs;
    j["decode_ms"] = f.decodeMs;
    j["corners"] = nlohmann::ordered_json::array();
    for (const PicturePoint& p : f.corners) j["corners"].push_back({rounded(p.x), rounded(p.y)});
    j["message_text"] = jsonText(messageString(f));
    j["symbology_id"] = symbologyIdText(f);
    j["gs1_hri"] = f.gs1Hri;
    j["eci"] = nlohmann::ordered_json::array();
    for (const EciMark& e : f.messageInfo.eci) j["eci"].push_back({{"value", e.value}, {"position", e.position}});
    if (const auto& sa = f.messageInfo.structuredAppend) {
        j["structured_append"] = {{"position", sa->position},
                                  {"total", sa->total},
                                  {"file_id", {sa->fileId1, sa->fileId2}}};
    } else {
        j["structured_append"] = nullptr;
    }
    j["message_fault"] = std::string(messageFaultText(f.messageInfo.fault));
    j["error"] = jsonText(report.error);
    if (report.traced) j["trace"] = traceJson(report.trace);
    return j;
}

std::string formatReport(const FileReport& report, bool json) {
    if (!report.severalAsked || !report.fields.decoded) {
        return json ? reportJson(report).dump() + "\n" : formatReportText(report);
    }
    // One report per symbol: the file's own, then one for each further symbol.
    std::vector<FileReport> symbols(1 + report.fields.furtherSymbols.size(), report);
    for (FileReport& symbol : symbols) symbol.fields.furtherSymbols.clear();
    for (std::size_t i = 1; i < symbols.size(); ++i) {
        symbols[i].fields = report.fields.furtherSymbols[i - 1];
        symbols[i].fields.loadMs = report.fields.loadMs;
        symbols[i].fields.decodeMs = report.fields.decodeMs;
        symbols[i].traced = false;
    }
    std::string out;
    for (std::size_t i = 0; i < symbols.size(); ++i) {
        if (json) {
            nlohmann::ordered_json line = reportJson(symbols[i]);
            line["index"] = i;
            out += line.dump() + "\n";
            continue;
        }
        std::string block = formatReportText(symbols[i]);
        const std::size_t fileLine = block.find('\n') + 1;
        const std::string heading =
            "  Symbol:  " + std::to_string(i + 1) + " of " + std::to_string(symbols.size()) + "\n";
        out += (i == 0 ? block.substr(0, fileLine) : "") + heading + block.substr(fileLine);
    }
    return out;
}

int exitStatusFor(const std::vector<FileOutcome>& outcomes) {
    bool loadProblem = false;
    bool noSymbol = false;
    for (const FileOutcome o : outcomes) {
        if (o == FileOutcome::LoadFailed || o == FileOutcome::OutputFailed) loadProblem = true;
        if (o == FileOutcome::NoSymbol) noSymbol = true;
    }
    if (loadProblem) return 1;
    if (noSymbol) return 4;
    return 0;
}

}  // namespace ternwick
