// The progress line of a batch on standard error: files done of the total,
// the rate, and the failures so far, rewritten in place.
#pragma once

#include <chrono>
#include <cstddef>
#include <string>

namespace ternwick {

// The line's text, such as "120/500 files, 35.2 files/s, 3 failed".
std::string progressText(std::size_t done, std::size_t total, double seconds, std::size_t failures);

class ProgressLine {
public:
    // Shown only when enabled (standard error is a terminal and there is
    // more than one file).
    ProgressLine(std::size_t total, bool enabled);
    // Rewrites the line, at most ten times a second and always for the last file.
    void update(std::size_t done, std::size_t failures);
    // Ends the line, leaving the final count on the screen.
    void finish();

private:
    std::size_t total_;
    bool enabled_;
    bool shown_ = false;
    std::chrono::steady_clock::time_point start_;
    std::chrono::steady_clock::time_point lastShown_;
};

}  // namespace ternwick
