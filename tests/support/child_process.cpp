#include "support/child_process.h"

#include <sys/wait.h>

#include <array>
#include <cstdio>

namespace ternwick::testing {

ChildRun runShellCommand(const std::string& command) {
    ChildRun run;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return run;
    std::array<char, 4096> buffer{};
    std::size_t got = 0;
    while ((got = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0) run.output.append(buffer.data(), got);
    const int status = pclose(pipe);
    run.exited = WIFEXITED(status);
    run.status = run.exited ? WEXITSTATUS(status) : -1;
    return run;
}

}  // namespace ternwick::testing
