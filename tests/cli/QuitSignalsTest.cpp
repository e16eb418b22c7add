// vornactl as a process of its own: a quit signal that comes while a firmware update or a
// settings write runs waits for it to end, and then ends the program as it asked; the file size
// limit's signal ends nothing.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <string>
#include <vector>

#include "firmware/FirmwareImages.h"
#include "support/TestSupport.h"

extern char** environ;

namespace vorna {
namespace {

// vornactl started with `args`, its standard error kept; `shellFirst`: a shell command run in
// its process before it.
class Vornactl {
public:
    explicit Vornactl(std::vector<std::string> args, const std::string& shellFirst = {}) {
        args.insert(args.begin(), std::string(VORNA_BINARY_DIR) + "/bin/vornactl");
        if (!shellFirst.empty()) {
            args.insert(args.begin(), {"/bin/sh", "-c", shellFirst + " && exec \"$0\" \"$@\""});
        }
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        int pipe[2];
        EXPECT_EQ(::pipe2(pipe, O_CLOEXEC), 0);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, pipe[1], STDERR_FILENO);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
        EXPECT_EQ(posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ), 0);
        posix_spawn_file_actions_destroy(&actions);
        ::close(pipe[1]);
        err_ = pipe[0];
    }
    ~Vornactl() {
        if (pid_ > 0 && status_ < 0) {
            ::kill(pid_, SIGKILL);
            Wait();
        }
        ::close(err_);
    }
    void Signal(int signal) const { ::kill(pid_, signal); }
    // Waits for the end; the wait status.
    int Wait() {
        if (status_ < 0) {
            int status = 0;
            while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
            }
            status_ = status;
        }
        return status_;
    }
    std::string Err() const {
        std::string text;
        char buffer[4096];
        for (ssize_t n; (n = ::read(err_, buffer, sizeof buffer)) > 0;) text.append(buffer, n);
        return text;
    }

private:
    pid_t pid_ = -1;
    int err_ = -1;
    int status_ = -1;
};

class QuitSignalsTest : public ::testing::Test {
protected:
    std::string Link() const { return (dir / "esc").string(); }
    test::TempDir dir;
};

TEST_F(QuitSignalsTest, AHangUpDuringAFlashWaitsForTheUpdateToEnd) {
    sim::SimulatedEsc esc(Link(), 16);
    esc.SetLineRate(true);  // a few seconds of records, time enough to hang up among them
    ASSERT_TRUE(esc.Start());
    const std::vector<std::uint8_t> payload(200 * 16, 0x5A);
    test::WriteText(dir / "image.mmc", MakeEscImage(payload).Value());
    Vornactl flash({"--port", Link(), "flash-esc", (dir / "image.mmc").string()});
    ASSERT_TRUE(test::WaitFor([&] { return esc.UpdateRecords().size() >= 2; }));
    flash.Signal(SIGHUP);
    const int status = flash.Wait();
    EXPECT_EQ(esc.UpdatesFinished(), 1);
    EXPECT_EQ(esc.UpdateImage(), payload);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGHUP) << status;
    EXPECT_NE(flash.Err().find("waiting for the firmware update to end"), std::string::npos);
}

TEST_F(QuitSignalsTest, ATerminateDuringAWriteWaitsForItsEnd) {
    sim::SimulatedEsc esc(Link(), 16);
    esc.SetLineRate(true);
    ASSERT_TRUE(esc.Start());
    Vornactl set({"--port", Link(), "set", "Drag Brake=10%"});
    ASSERT_TRUE(test::WaitFor([&] { return esc.Pairs().size() >= 2; }));
    set.Signal(SIGTERM);
    const int status = set.Wait();
    EXPECT_EQ(esc.Pairs().size(), 29u);
    EXPECT_EQ(esc.WritesEnded(), 1);
    EXPECT_EQ(esc.Record()[1], 10);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << status;
    EXPECT_NE(set.Err().find("waiting for the settings write to end"), std::string::npos);
}

TEST_F(QuitSignalsTest, AFileOverTheSizeLimitIsAWriteErrorThatLeavesNothing) {
    sim::SimulatedEsc esc(Link(), 16);
    ASSERT_TRUE(esc.Start());
    const std::string file = (dir / "f.cfg").string();
    Vornactl read({"--port", Link(), "read", "--format", "cfg", "-o", file}, "ulimit -f 0");
    const int status = read.Wait();
    ASSERT_TRUE(WIFEXITED(status)) << status;
    EXPECT_EQ(WEXITSTATUS(status), 3);
    const std::string err = read.Err();
    EXPECT_NE(err.find("Cannot write \"" + file + "\""), std::string::npos) << err;
    EXPECT_NE(err.find("File too large"), std::string::npos) << err;
    std::vector<std::string> left;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
        if (entry.path().filename() != "esc") left.push_back(entry.path().filename());
    }
    EXPECT_TRUE(left.empty()) << left.front();
}

}  // namespace
}  // namespace vorna
