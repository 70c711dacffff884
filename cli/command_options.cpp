#include "command_options.h"

#include <cctype>

#include "ternwick/ternwick.h"

namespace ternwick {

namespace {

constexpr const char* kExitStatuses =
    "Exit status:\n"
    "  0  a symbol was decoded in every file\n"
    "  1  a file could not be loaded, or an outline could not be written\n"
    "  2  usage error\n"
    "  4  every file loaded, but one or more held no decodable symbol (1 wins over 4)\n";

}  // namespace

void addCommandOptions(CLI::App& app, CommandOptions& options) {
    app.footer(kExitStatuses);
    app.add_option("files", options.inputs,
                   "PNG, BMP or JPEG pictures, recognised by content; folders are walked for pictures; - reads one "
                   "picture from standard input")
        ->required();
    auto* json = app.add_flag("--json", options.json, "print one JSON object per file and line");
    app.add_flag("--trace", options.trace,
                 "also show how the decode went: the candidate that decoded, or else the last one past the finder");
    auto* bytes = app.add_flag("--bytes", options.bytes,
                               "write only the raw bytes of each decoded message to standard output");
    app.add_option("--separator", options.separator,
                   "with --bytes, written between two messages (escapes \\n \\t \\r \\0 \\\\ \\xNN)")
        ->needs(bytes);
    auto* outline = app.add_option("--outline", options.outlineFile,
                                   "write the one picture given, with each decoded symbol's outline and finder "
                                   "corner drawn on it, to this PNG file");
    app.add_option("--outline-dir", options.outlineDir,
                   "write every picture with its outlines drawn to this folder, as NAME.png")
        ->excludes(outline);
    app.add_option("-j,--jobs", options.jobs, "decode files on N threads (0: one a core)")->capture_default_str();
    app.add_flag("-r,--recursive", options.recursive, "walk folders and their subfolders");
    app.add_option("--max-symbols", options.maxSymbols, "read up to N distinct symbols from each picture (default 1)")
        ->check(CLI::Range(1, kSymbolCap));
    app.add_flag("--all", options.allSymbols,
                 "read every symbol in each picture (up to " + std::to_string(kSymbolCap) + ")");
    app.add_option("--budget-ms", options.budgetMs, "stop searching a picture after this many milliseconds (0: no limit)")
        ->check(CLI::NonNegativeNumber);
    auto* verbose = app.add_flag("--verbose", options.verbose, "show the decoder's diagnostics on standard error");
    app.add_flag("--quiet", options.quiet, "results only, no diagnostics (the default)")->excludes(verbose);
    json->excludes(bytes);
}

std::string checkCommandOptions(const CommandOptions& options, std::size_t fileCount) {
    if (!options.outlineFile.empty() && fileCount != 1) return "--outline needs exactly one picture";
    if (options.trace && options.bytes) return "--trace does not go with --bytes";
    return {};
}

std::string resolveEscapes(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        const char kind = text[++i];
        switch (kind) {
            case 'n': out += '\n'; break;
            case 't': out += '\t'; break;
            case 'r': out += '\r'; break;
            case '0': out += '\0'; break;
            case 'x': {
                const std::string digits(text.substr(i + 1, 2));
                if (digits.size() == 2 && std::isxdigit(static_cast<unsigned char>(digits[0])) &&
                    std::isxdigit(static_cast<unsigned char>(digits[1]))) {
                    out += static_cast<char>(std::stoi(digits, nullptr, 16));
                    i += 2;
                } else {
                    out += "\\x";
                }
                break;
            }
            default: out += kind; break;
        }
    }
    return out;
}

}  // namespace ternwick
