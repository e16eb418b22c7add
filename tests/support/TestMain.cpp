#include <gtest/gtest.h>

#include <filesystem>

#include "support/TestSupport.h"

int main(int argc, char** argv) {
    const std::filesystem::path home = vorna::test::PrepareTestProcess();
    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    std::error_code ec;
    if (!home.empty()) std::filesystem::remove_all(home, ec);
    return result;
}
