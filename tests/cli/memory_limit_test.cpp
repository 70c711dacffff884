// Decodes under lowered address-space limits, in child processes (the command
// over several files, and the public API's load and read): whatever runs out
// of memory, every file ends with a result or an error value, never a signal,
// and the batch goes on with the next file.
#include <gtest/gtest.h>
#include <string>

#include "support/child_process.h"
#include "support/picture_files.h"
#include "support/symbol_writer.h"

namespace ternwick {
namespace {

constexpr const char* kText = "LOW MEMORY";

using testing::ChildRun;

// Runs the program with its address space limited to the given mebibytes.
ChildRun runLimited(const char* program, int mebibytes, const std::string& arguments) {
    return testing::runShellCommand("ulimit -v " + std::to_string(mebibytes * 1024) + " && exec " + program + " " +
                                    arguments + " 2>/dev/null");
}

TEST(MemoryLimit, EveryFileEndsWithAResultOrAnErrorAndTheBatchGoesOn) {
    const std::string dir = testing::scratchDirectory();
    // Large pictures that need tens of megabytes to load and to search (a
    // plain one, searched quickly), then a small one with a symbol, which
    // must still be read.
    const auto busy = testing::makeGreyImage(3000, 2000, [](int, int) { return 200; });
    testing::writeFile(dir + "/busy.png", testing::greyImageToPng(busy));
    testing::writeFile(dir + "/busy.bmp", testing::greyImageToBmp(busy));
    testing::writeFile(dir + "/symbol.png",
                       testing::greyImageToPng(testing::renderText(kText, 16, testing::RenderOptions{}).image));
    const std::string files = dir + "/busy.png " + dir + "/busy.bmp " + dir + "/symbol.png";

    for (const int mebibytes : {24, 44, 50, 64, 128}) {
        SCOPED_TRACE(::testing::Message() << mebibytes << " MiB");
        const ChildRun command = runLimited(TERNWICK_LIMIT_COMMAND_PATH, mebibytes, files);
        ASSERT_TRUE(command.exited) << command.output;
        EXPECT_LE(command.status, 4);
        EXPECT_NE(command.output.find(kText), std::string::npos) << command.output;

        const ChildRun api = runLimited(TERNWICK_READ_SYMBOLS_CHILD_PATH, mebibytes, files);
        ASSERT_TRUE(api.exited) << api.output;
        EXPECT_EQ(api.status, 0);
        EXPECT_NE(api.output.find("symbol.png: 1 symbols " + std::string(kText)), std::string::npos) << api.output;
    }
}

}  // namespace
}  // namespace ternwick
