// The command's options: what each one sets, and the checks CLI11 cannot make.
#pragma once

#include <CLI/CLI.hpp>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace ternwick {

struct CommandOptions {
    std::vector<std::string> inputs;  // files, folders and "-" as given
    bool json = false;
    bool trace = false;
    bool bytes = false;
    std::string separator;            // written between raw messages, escapes resolved
    std::string outlineFile;
    std::string outlineDir;
    unsigned jobs = 1;                // 0: one a core
    bool recursive = false;
    double budgetMs = 0.0;            // 0: no time limit
    int maxSymbols = 1;               // distinct symbols read from each picture
    bool allSymbols = false;          // every symbol, up to kSymbolCap
    bool verbose = false;
    bool quiet = false;               // the default anyway; only refuses --verbose beside it
};

// Adds every option to the parser, bound to the fields of options.
void addCommandOptions(CLI::App& app, CommandOptions& options);

// What the parser cannot check, once the inputs are known: empty when the
// options make sense together, else the usage error.
std::string checkCommandOptions(const CommandOptions& options, std::size_t fileCount);

// The separator's escapes resolved: \n, \t, \r, \0, \\ and \xNN.
std::string resolveEscapes(std::string_view text);

}  // namespace ternwick
