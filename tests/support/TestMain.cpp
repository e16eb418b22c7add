#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <string>

int main(int argc, char** argv) {
    // A write to a pseudo-terminal whose other end has gone must fail, not kill the test.
    std::signal(SIGPIPE, SIG_IGN);
    // Backups and the user's own files go to a home of the tests' own, never the real one.
    std::string home = (std::filesystem::temp_directory_path() / "vorna-test-home-XXXXXX").string();
    if (::mkdtemp(home.data()) != nullptr) {
        ::setenv("HOME", home.c_str(), 1);
        ::unsetenv("XDG_DATA_HOME");
    }
    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    std::error_code ec;
    std::filesystem::remove_all(home, ec);
    return result;
}
