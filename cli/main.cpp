// ternwick: decodes the Data Matrix symbol in each picture named on the command line.
#include <CLI/CLI.hpp>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <iostream>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <vector>

#include "command_options.h"
#include "input_list.h"
#include "ordered_batch.h"
#include "outline_picture.h"
#include "progress_line.h"
#include "report.h"
#include "ternwick/ternwick.h"

namespace {

using namespace ternwick;

// Decode contexts for the threads: each file borrows one, so that the buffers
// of one picture serve the next file instead of being allocated again. A
// context whose file ran out of memory is not given back.
class ContextPool {
public:
    std::unique_ptr<DecodeContext> take() {
        {
            std::lock_guard<std::mutex> guard(lock_);
            if (!idle_.empty()) {
                std::unique_ptr<DecodeContext> context = std::move(idle_.back());
                idle_.pop_back();
                return context;
            }
        }
        return std::make_unique<DecodeContext>();
    }

    void give(std::unique_ptr<DecodeContext> context) {
        std::lock_guard<std::mutex> guard(lock_);
        idle_.push_back(std::move(context));
    }

private:
    std::mutex lock_;
    std::vector<std::unique_ptr<DecodeContext>> idle_;
};

// The most bytes read from standard input: as much as the largest file a loader reads.
constexpr std::size_t kMaxStandardInputBytes = std::size_t{1} << 28;

// All of standard input, or the reason it could not be read.
std::vector<std::uint8_t> readStandardInput(std::string& error) {
    std::vector<std::uint8_t> bytes;
    std::uint8_t buffer[65536];
    std::size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, stdin)) > 0) {
        if (bytes.size() + got > kMaxStandardInputBytes) {
            error = "standard input larger than 268435456 bytes";
            return {};
        }
        bytes.insert(bytes.end(), buffer, buffer + got);
    }
    if (std::ferror(stdin)) error = "cannot read standard input";
    return bytes;
}

// The outline file of one input in --outline-dir: its path as given, with
// folder separators turned into underscores so that files of different
// folders do not meet, and ".png" appended.
std::string outlinePathIn(const std::string& folder, const std::string& input) {
    std::string name = input == kStandardInputName ? "stdin" : input;
    while (name.starts_with("./")) name.erase(0, 2);
    while (name.starts_with("/")) name.erase(0, 1);
    for (char& c : name) {
        if (c == '/') c = '_';
    }
    return folder + "/" + name + ".png";
}

// The corners of each decoded symbol, four points a symbol.
std::vector<SymbolOutline> outlinesOf(const ResultFields& fields) {
    std::vector<SymbolOutline> outlines;
    const auto add = [&](const ResultFields& symbol) {
        const auto& c = symbol.corners;
        for (std::size_t i = 0; i + 4 <= c.size(); i += 4) outlines.push_back({c[i], c[i + 1], c[i + 2], c[i + 3]});
    };
    add(fields);
    for (const ResultFields& further : fields.furtherSymbols) add(further);
    return outlines;
}

// Writes what one file gave to standard output, in the form asked for.
class ResultWriter {
public:
    explicit ResultWriter(const CommandOptions& options)
        : options_(options), separator_(resolveEscapes(options.separator)) {}

    void write(const FileReport& report) {
        if (!options_.bytes) {
            std::cout << formatReport(report, options_.json);
        } else {
            if (!report.error.empty()) std::cerr << "ternwick: " << escapeBytes(report.file) << ": " << report.error << "\n";
            if (report.fields.decoded) {
                writeMessage(report.fields.message);
                for (const ResultFields& further : report.fields.furtherSymbols) writeMessage(further.message);
            }
        }
        std::cout.flush();
    }

private:
    void writeMessage(const std::vector<std::uint8_t>& message) {
        if (messages_++ > 0) std::cout << separator_;
        std::cout.write(reinterpret_cast<const char*>(message.data()), static_cast<std::streamsize>(message.size()));
    }

    const CommandOptions& options_;
    std::string separator_;
    std::size_t messages_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"Reads an ECC200 Data Matrix symbol from PNG, BMP and JPEG pictures."};
    app.set_version_flag("--version", std::string("ternwick ") + version());
    CommandOptions options;
    addCommandOptions(app, options);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        const int status = app.exit(error);
        return status == 0 ? 0 : 2;
    }
    const std::vector<InputFile> inputs = expandInputs(options.inputs, options.recursive);
    if (const std::string problem = checkCommandOptions(options, inputs.size()); !problem.empty()) {
        std::cerr << "ternwick: " << problem << "\n";
        return 2;
    }

    // Standard output carries only results; with --verbose the decoder's diagnostics go to standard error.
    sendDiagnosticsTo(options.verbose ? DiagnosticsTarget::StandardError : DiagnosticsTarget::Silent);

    std::vector<std::uint8_t> standardInput;
    std::string standardInputError;
    for (const InputFile& input : inputs) {
        if (input.path == kStandardInputName) {
            standardInput = readStandardInput(standardInputError);
            break;
        }
    }

    const bool outlines = !options.outlineFile.empty() || !options.outlineDir.empty();
    const DecodeSettings settings{options.trace, options.budgetMs, outlines,
                                  options.allSymbols ? kSymbolCap : options.maxSymbols};
    std::atomic<std::size_t> failures{0};
    ContextPool contexts;
    const std::function<FileReport(std::size_t)> decode = [&](std::size_t i) {
        FileReport report;
        try {
            InputFile input = inputs[i];
            if (input.path == kStandardInputName && input.listError.empty()) input.listError = standardInputError;
            std::unique_ptr<DecodeContext> context = contexts.take();
            report = decodeFileForReport(input, settings, standardInput, context.get());
            contexts.give(std::move(context));
            if (outlines && report.outcome != FileOutcome::LoadFailed) {
                const std::string target = !options.outlineFile.empty() ? options.outlineFile
                                                                        : outlinePathIn(options.outlineDir, input.path);
                const std::string problem = writeOutlinePicture(target, report.picture, outlinesOf(report.fields));
                if (!problem.empty()) {
                    report.outcome = FileOutcome::OutputFailed;
                    report.error = "cannot write the outline " + target + ": " + problem;
                }
            }
        } catch (const std::bad_alloc&) {
            report = FileReport{};
            report.file = inputs[i].path;
            report.outcome = FileOutcome::LoadFailed;
            report.error = "out of memory";
        }
        report.picture = Picture{};
        if (report.outcome != FileOutcome::Decoded) ++failures;
        return report;
    };

    std::vector<FileOutcome> outcomes;
    ResultWriter writer(options);
    ProgressLine progress(inputs.size(), inputs.size() > 1 && isatty(STDERR_FILENO));
    runOrdered<FileReport>(
        inputs.size(), threadCount(options.jobs, inputs.size()), decode,
        [&](std::size_t, FileReport& report) {
            outcomes.push_back(report.outcome);
            writer.write(report);
        },
        [&](std::size_t done) { progress.update(done, failures); });
    progress.finish();
    return exitStatusFor(outcomes);
}
