#include <gtest/gtest.h>

#include <csignal>

int main(int argc, char** argv) {
#ifdef SIGPIPE
    // A write to a pseudo-terminal whose other end has gone must fail, not kill the test.
    // (Windows has no such signal.)
    std::signal(SIGPIPE, SIG_IGN);
#endif
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
