#include "report.h"

#include <cmath>
#include <cstdio>

#include "trace_report.h"

namespace ternwick {

FileReport decodeFileForReport(const std::string& path, bool withTrace, int maxSymbols) {
    FileReport report;
    report.file = path;
    report.traced = withTrace;
    report.severalAsked = maxSymbols > 1;
    auto context = std::make_unique<DecodeContext>();
    context->flags = StopAtFirstSymbol;
    if (withTrace) context->trace = &report.trace;
    report.fields.startTick = tickCount();
    const int result = decodeImageFile(report.fields, *context, path, maxSymbols);
    releaseSymbols(*context);
    report.timeText = millisecondsText(elapsedTicks(report.fields.startTick, tickCount()));

    if (imageFileKind(path) == ImageFileKind::NotAccepted) {
        report.outcome = FileOutcome::NameNotAccepted;
    } else if (result == 1) {
        report.outcome = FileOutcome::LoadFailed;
    } else if (report.fields.decoded) {
        report.outcome = FileOutcome::Decoded;
    } else {
        report.outcome = FileOutcome::NoSymbol;
    }
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
        if (o == FileOutcome::LoadFailed || o == FileOutcome::NameNotAccepted) loadProblem = true;
        if (o == FileOutcome::NoSymbol) noSymbol = true;
    }
    if (loadProblem) return 1;
    if (noSymbol) return 4;
    return 0;
}

}  // namespace ternwick
