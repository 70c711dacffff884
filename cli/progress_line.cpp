#include "progress_line.h"

#include <cstdio>

namespace ternwick {

std::string progressText(std::size_t done, std::size_t total, double seconds, std::size_t failures) {
    char text[128];
    std::snprintf(text, sizeof text, "%zu/%zu files, %.1f files/s, %zu failed", done, total,
                  seconds > 0.0 ? static_cast<double>(done) / seconds : 0.0, failures);
    return text;
}

ProgressLine::ProgressLine(std::size_t total, bool enabled)
    : total_(total), enabled_(enabled), start_(std::chrono::steady_clock::now()), lastShown_(start_) {}

void ProgressLine::update(std::size_t done, std::size_t failures) {
    if (!enabled_) return;
    const auto now = std::chrono::steady_clock::now();
    if (done < total_ && shown_ && now - lastShown_ < std::chrono::milliseconds(100)) return;
    lastShown_ = now;
    shown_ = true;
    const double seconds = std::chrono::duration<double>(now - start_).count();
    // Back to the start of the line, and the rest of the old text cleared.
    std::fprintf(stderr, "\r%s\033[K", progressText(done, total_, seconds, failures).c_str());
    std::fflush(stderr);
}

void ProgressLine::finish() {
    if (enabled_ && shown_) std::fputc('\n', stderr);
}

}  // namespace ternwick
