// ternwick: decodes the Data Matrix symbol in each picture named on the command line.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "report.h"
#include "ternwick/ternwick.h"

int main(int argc, char** argv) {
    CLI::App app{"Reads an ECC200 Data Matrix symbol from BMP and PNG pictures."};
    app.set_version_flag("--version", std::string("ternwick ") + ternwick::version());
    std::vector<std::string> files;
    bool json = false;
    bool trace = false;
    int maxSymbols = 1;
    bool allSymbols = false;
    app.add_option("files", files, "BMP or PNG pictures to decode")->required();
    app.add_flag("--json", json, "print one JSON object per file and line");
    app.add_flag("--trace", trace,
                 "also show how the decode went: the candidate that decoded, or else the last one past the finder");
    app.add_option("--max-symbols", maxSymbols, "read up to N distinct symbols from each picture (default 1)")
        ->check(CLI::Range(1, ternwick::kSymbolCap));
    app.add_flag("--all", allSymbols, "read every symbol in each picture (up to " +
                                          std::to_string(ternwick::kSymbolCap) + ")");
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        const int status = app.exit(error);
        return status == 0 ? 0 : 2;
    }

    // Standard output carries only results; the decoder's diagnostics go to standard error.
    ternwick::sendDiagnosticsTo(ternwick::DiagnosticsTarget::StandardError);
    if (allSymbols) maxSymbols = ternwick::kSymbolCap;

    std::vector<ternwick::FileOutcome> outcomes;
    for (const std::string& file : files) {
        const ternwick::FileReport report = ternwick::decodeFileForReport(file, trace, maxSymbols);
        outcomes.push_back(report.outcome);
        if (report.outcome == ternwick::FileOutcome::NameNotAccepted) {
            std::cerr << "ternwick: " << ternwick::escapeBytes(file)
                      << ": not accepted (the name must end in .png or .bmp)\n";
        }
        std::cout << ternwick::formatReport(report, json);
        std::cout.flush();
    }
    return ternwick::exitStatusFor(outcomes);
}
