// Runs a shell command in a child process and collects its standard output.
#pragma once

#include <string>

namespace ternwick::testing {

struct ChildRun {
    bool exited = false;  // ended by itself, not by a signal
    int status = -1;      // its exit status, when it exited
    std::string output;
};

ChildRun runShellCommand(const std::string& command);

}  // namespace ternwick::testing
