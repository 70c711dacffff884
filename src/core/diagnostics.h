// The one place the decoder's diagnostic texts go through. By default they go
// nowhere: a program that wants them installs a sink (standard output and
// standard error, standard error alone, a string, or its own).
#pragma once

#include <string>
#include <string_view>

namespace ternwick {

class DiagnosticSink {
public:
    virtual ~DiagnosticSink() = default;
    // A text the decoder prints on standard output ("det: ...", "FNC1 (?)", the X12 echo).
    virtual void write(std::string_view text) = 0;
    // A system-error report: the label, ": ", and the text for the current errno.
    virtual void systemError(std::string_view label) = 0;
    // A plain text meant for standard error (the PNG library's own messages).
    virtual void errorText(std::string_view text) = 0;
};

// Drops everything: the library's default.
class SilentDiagnosticSink final : public DiagnosticSink {
public:
    void write(std::string_view) override {}
    void systemError(std::string_view) override {}
    void errorText(std::string_view) override {}
};

// Writes to the process's standard output and standard error, system errors
// in the manner of perror.
class StandardDiagnosticSink final : public DiagnosticSink {
public:
    void write(std::string_view text) override;
    void systemError(std::string_view label) override;
    void errorText(std::string_view text) override;
};

// Sends both kinds of text to standard error (what the command-line tool uses,
// so that its standard output carries only results).
class StandardErrorDiagnosticSink final : public DiagnosticSink {
public:
    void write(std::string_view text) override;
    void systemError(std::string_view label) override;
    void errorText(std::string_view text) override;
};

// Collects everything into a string; system errors are recorded as "label\n".
class CapturingDiagnosticSink final : public DiagnosticSink {
public:
    void write(std::string_view text) override { output += text; }
    void systemError(std::string_view label) override {
        errors += label;
        errors += '\n';
    }
    void errorText(std::string_view text) override { errors += text; }
    std::string output;
    std::string errors;
};

// The sink in effect on the calling thread: the thread's own override if one is
// installed, otherwise the process-wide sink (silent unless a program set one).
DiagnosticSink& diagnostics();

// Installs the process-wide sink (nullptr restores the silent one). Meant to
// be called once at program start, by a program rather than a library.
void setDiagnosticSink(DiagnosticSink* sink);

// Routes this thread's diagnostics to a sink for the lifetime of the object.
class ScopedDiagnosticSink {
public:
    explicit ScopedDiagnosticSink(DiagnosticSink& sink);
    ~ScopedDiagnosticSink();
    ScopedDiagnosticSink(const ScopedDiagnosticSink&) = delete;
    ScopedDiagnosticSink& operator=(const ScopedDiagnosticSink&) = delete;

private:
    DiagnosticSink* previous_;
};

// printf-style formatting into a std::string, for the few formatted texts.
std::string formatText(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace ternwick
