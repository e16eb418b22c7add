#include <gtest/gtest.h>

#include <csignal>

int main(int argc, char** argv) {
    // A write to a pseudo-terminal whose other end has gone must fail, not kill the test.
    std::signal(SIGPIPE, SIG_IGN);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
