#include "core/diagnostics.h"

#include <atomic>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace ternwick {
namespace {

SilentDiagnosticSink silentSink;
std::atomic<DiagnosticSink*> processSink{nullptr};
thread_local DiagnosticSink* threadSink = nullptr;

void writeSystemError(std::string_view label) {
    const int saved = errno;
    std::fprintf(stderr, "%.*s: %s\n", static_cast<int>(label.size()), label.data(),
                 std::strerror(saved));
}

}  // namespace

void StandardDiagnosticSink::write(std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), stdout);
}

void StandardDiagnosticSink::systemError(std::string_view label) { writeSystemError(label); }

void StandardDiagnosticSink::errorText(std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), stderr);
}

void StandardErrorDiagnosticSink::write(std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), stderr);
}

void StandardErrorDiagnosticSink::systemError(std::string_view label) { writeSystemError(label); }

void StandardErrorDiagnosticSink::errorText(std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), stderr);
}

DiagnosticSink& diagnostics() {
    if (threadSink != nullptr) return *threadSink;
    DiagnosticSink* sink = processSink.load(std::memory_order_acquire);
    return sink != nullptr ? *sink : silentSink;
}

void setDiagnosticSink(DiagnosticSink* sink) { processSink.store(sink, std::memory_order_release); }

ScopedDiagnosticSink::ScopedDiagnosticSink(DiagnosticSink& sink) : previous_(threadSink) {
    threadSink = &sink;
}

ScopedDiagnosticSink::~ScopedDiagnosticSink() { threadSink = previous_; }

std::string formatText(const char* format, ...) {
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    const int length = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    std::string text;
    if (length > 0) {
        text.resize(static_cast<std::size_t>(length) + 1);
        std::vsnprintf(text.data(), text.size(), format, args);
        text.resize(static_cast<std::size_t>(length));
    }
    va_end(args);
    return text;
}

}  // namespace ternwick
