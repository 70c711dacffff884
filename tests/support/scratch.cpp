// Scratch folders for tests, named after the running test.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/picture_files.h"

namespace ternwick::testing {

std::string scratchDirectory() {
    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = info != nullptr ? std::string(info->test_suite_name()) + "." + info->name() : "scratch";
    for (char& c : name) {
        if (c == '/') c = '_';
    }
    const std::filesystem::path dir = std::filesystem::path(TERNWICK_TEST_OUTPUT_DIR) / name;
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir.string();
}

}  // namespace ternwick::testing
