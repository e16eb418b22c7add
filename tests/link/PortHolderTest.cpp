// Who holds a busy port (fake /proc trees and real second holders), the exclusive mode given up
// on closing, and a port that has gone.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <fstream>

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include "link/BridgeDiscovery.h"
#include "link/PortCheck.h"
#include "link/SerialPort.h"
#include "sim/SimulatedEsc.h"
#include "support/HeldPort.h"
#include "support/TestSupport.h"

namespace vorna {
namespace {
namespace fs = std::filesystem;

// A /proc of the test's making: processes with a name and descriptors (symlinks to whatever
// the test names), and the kernel's table of locks.
class FakeProc {
public:
    fs::path Root() const { return dir_ / "proc"; }
    fs::path LockDir() const { return dir_ / "lock"; }
    HolderSearch Search() const { return {Root().string(), {LockDir().string()}}; }

    void Process(long pid, const std::string& name) {
        fs::create_directories(Root() / std::to_string(pid) / "fd");
        std::ofstream(Root() / std::to_string(pid) / "comm") << name << "\n";
    }
    void Descriptor(long pid, int fd, const std::string& target) {
        fs::create_symlink(target, Root() / std::to_string(pid) / "fd" / std::to_string(fd));
    }
    // A line of /proc/locks for a lock on `node` held by `pid` ("->" for a waiter).
    void Lock(long pid, const std::string& node, const std::string& kind = "FLOCK",
              bool waiter = false) {
        struct stat st {};
        ASSERT_EQ(::stat(node.c_str(), &st), 0);
        char where[64];
        std::snprintf(where, sizeof where, "%02x:%02x:%llu", major(st.st_dev), minor(st.st_dev),
                      static_cast<unsigned long long>(st.st_ino));
        fs::create_directories(Root());
        std::ofstream(Root() / "locks", std::ios::app)
            << ++locks_ << ": " << (waiter ? "-> " : "") << kind << "  ADVISORY  WRITE " << pid
            << " " << where << " 0 EOF\n";
    }
    void LockFile(const std::string& name, const std::string& content) {
        fs::create_directories(LockDir());
        std::ofstream(LockDir() / ("LCK.." + name), std::ios::binary) << content;
    }

private:
    test::TempDir dir_;
    int locks_ = 0;
};

std::string BaseName(const std::string& path) {
    return fs::path(path).filename().string();
}

TEST(PortHolder, TheProcessWithTheDeviceOpenIsNamedNotOneWithASimilarName) {
    test::BarePty port;
    test::BarePty other;
    FakeProc proc;
    proc.Process(100, "vorna-link");  // the same name as this program, on another terminal
    proc.Descriptor(100, 3, other.SlavePath());
    proc.Descriptor(100, 4, "/dev/null");
    proc.Process(150, "vorna-linkd");  // a similar name and nothing open at all
    proc.Process(200, "picocom");
    proc.Descriptor(200, 0, "/dev/null");
    proc.Descriptor(200, 5, port.SlavePath());
    proc.Process(::getpid(), "this-test");  // this process's own descriptors are not "another"
    proc.Descriptor(::getpid(), 7, port.SlavePath());
    fs::create_directories(proc.Root() / "self" / "fd");

    EXPECT_EQ(FindPortHolder(port.SlavePath(), proc.Search()), "picocom (pid 200)");
    EXPECT_EQ(FindPortHolder(other.SlavePath(), proc.Search()), "vorna-link (pid 100)");

    // Two programs with the port open and no lock: either may be the one; both are named.
    proc.Process(300, "screen");
    proc.Descriptor(300, 9, port.SlavePath());
    EXPECT_EQ(FindPortHolder(port.SlavePath(), proc.Search()),
              "picocom (pid 200) and screen (pid 300)");
}

TEST(PortHolder, TheHolderOfTheLockIsNamedBeforeBystanders) {
    test::BarePty port;
    FakeProc proc;
    proc.Process(200, "picocom");  // has the port open, but holds no lock
    proc.Descriptor(200, 5, port.SlavePath());
    proc.Process(300, "minicom");
    proc.Descriptor(300, 3, port.SlavePath());
    proc.Process(400, "waiter");  // waits for the lock: holds nothing yet
    proc.Descriptor(400, 3, port.SlavePath());
    proc.Process(500, "bash");  // a pid reused since the lock was taken: no descriptor on it
    proc.Lock(400, port.SlavePath(), "FLOCK", true);
    proc.Lock(600, port.SlavePath());  // a process that has ended
    proc.Lock(500, port.SlavePath(), "POSIX");
    proc.Lock(-1, port.SlavePath(), "OFDLCK");
    proc.Lock(::getpid(), port.SlavePath());
    proc.Lock(300, port.SlavePath());
    EXPECT_EQ(FindPortHolder(port.SlavePath(), proc.Search()), "minicom (pid 300)");

    // A lock on another node says nothing about this one.
    test::BarePty other;
    EXPECT_EQ(FindPortHolder(other.SlavePath(), proc.Search()), "");
}

TEST(PortHolder, ALiveUucpLockFileNamesItsOwner) {
    test::BarePty port;
    FakeProc proc;
    proc.Process(200, "cat");
    proc.Descriptor(200, 5, port.SlavePath());
    // A stale lock file of a program that has ended names nobody.
    proc.LockFile(BaseName(port.SlavePath()), "       999\n");
    EXPECT_EQ(FindPortHolder(port.SlavePath(), proc.Search()), "cat (pid 200)");

    proc.Process(700, "minicom");
    proc.Descriptor(700, 3, port.SlavePath());
    proc.LockFile(BaseName(port.SlavePath()), "       700\n");
    EXPECT_EQ(FindPortHolder(port.SlavePath(), proc.Search()), "minicom (pid 700)");

    // Old programs write the pid as a binary int.
    proc.Process(800, "uucico");
    proc.Descriptor(800, 3, port.SlavePath());
    const int binary = 800;
    proc.LockFile(BaseName(port.SlavePath()),
                  std::string(reinterpret_cast<const char*>(&binary), sizeof binary));
    EXPECT_EQ(FindPortHolder(port.SlavePath(), proc.Search()), "uucico (pid 800)");
}

// The process at the other end of a pseudo-terminal (a simulated ESC keeps its slave open as
// well) is the device, not a program in the way; one holding another terminal's master is not.
TEST(PortHolder, TheOtherEndOfAPseudoTerminalHoldsNothing) {
    test::BarePty port;
    FakeProc proc;
    struct stat slave {};
    ASSERT_EQ(::stat(port.SlavePath().c_str(), &slave), 0);
    const unsigned index = (major(slave.st_rdev) - 136) * 256 + minor(slave.st_rdev);
    proc.Process(200, "vornactl");
    proc.Descriptor(200, 3, port.SlavePath());
    proc.Descriptor(200, 4, "/dev/ptmx");
    fs::create_directories(proc.Root() / "200" / "fdinfo");
    std::ofstream(proc.Root() / "200" / "fdinfo" / "4")
        << "pos:\t0\nflags:\t02\ntty-index:\t" << index + 1 << "\n";
    EXPECT_EQ(FindPortHolder(port.SlavePath(), proc.Search()), "vornactl (pid 200)");
    std::ofstream(proc.Root() / "200" / "fdinfo" / "4")
        << "pos:\t0\nflags:\t02\ntty-index:\t" << index << "\n";
    EXPECT_EQ(FindPortHolder(port.SlavePath(), proc.Search()), "");
}

TEST(PortHolder, NobodyToNameSaysAnotherProgram) {
    test::BarePty port;
    FakeProc proc;
    proc.Process(100, "bash");
    EXPECT_EQ(FindPortHolder(port.SlavePath(), proc.Search()), "");
    const Problem busy{ProblemKind::PortBusy, ""};
    EXPECT_NE(DescribeOpenFailure(port.SlavePath(), busy).find("in use by another program"),
              std::string::npos);
    EXPECT_EQ(FindPortHolder((fs::path(port.SlavePath()) / "missing").string(), proc.Search()), "");
}

TEST(PortHolder, TheOpenNamesTheHolderFromTheTreeItIsGiven) {
    test::BarePty port;
    test::HeldPort held(port.SlavePath(), "anything");
    ASSERT_TRUE(held.Holding());
    FakeProc proc;
    proc.Process(4242, "picocom");
    proc.Descriptor(4242, 3, port.SlavePath());
    proc.Lock(4242, port.SlavePath());
    const Result<SerialPort> opened = SerialPort::Open(port.SlavePath(), proc.Search());
    ASSERT_FALSE(opened);
    EXPECT_EQ(opened.Kind(), ProblemKind::PortBusy);
    EXPECT_EQ(opened.Detail(), "picocom (pid 4242)");
}

// Real processes: a bystander with the port open first (so it comes first in /proc, under this
// program's own name), then the holder that locks it and sets the exclusive mode. As root the
// open itself succeeds and the lock refuses; otherwise the exclusive mode refuses the open.
TEST(PortHolder, ARealSecondHolderIsNamedByItsLockNotTheBystander) {
    test::BarePty port;
    test::HeldPort bystander(port.SlavePath(), "vorna-link", {false, false});
    ASSERT_TRUE(bystander.Holding());
    test::HeldPort holder(port.SlavePath(), "minicom");
    ASSERT_TRUE(holder.Holding());

    const Result<SerialPort> opened = SerialPort::Open(port.SlavePath());
    ASSERT_FALSE(opened);
    ASSERT_EQ(opened.Kind(), ProblemKind::PortBusy);
    const std::string expected = "minicom (pid " + std::to_string(holder.Pid()) + ")";
    EXPECT_EQ(opened.Detail(), expected);
    const std::string text = DescribeOpenFailure(port.SlavePath(), opened.Error());
    EXPECT_NE(text.find("in use by " + expected), std::string::npos) << text;
    EXPECT_NE(text.find("the link retries by itself"), std::string::npos) << text;
    const std::string last = DescribeOpenFailure(port.SlavePath(), opened.Error(), false);
    EXPECT_NE(last.find("Close that program and try again."), std::string::npos) << last;

    // Through the poll's OpenPort the reason stays with the link until the port opens.
    UsbUart link;
    const BridgeLocation location{"/nonexistent", "/dev", port.SlavePath()};
    const Status busy = OpenPort(link, location);
    ASSERT_FALSE(busy);
    EXPECT_EQ(busy.Kind(), ProblemKind::PortBusy);
    ASSERT_TRUE(link.OpenFailure());
    EXPECT_EQ(link.OpenFailure()->path, port.SlavePath());
    EXPECT_EQ(link.OpenFailure()->problem, (Problem{ProblemKind::PortBusy, expected}));
    EXPECT_NE(busy.Detail().find(expected), std::string::npos) << busy.Detail();
}

TEST(PortHolder, AHolderWithoutALockIsNamedByItsDescriptor) {
    test::BarePty port;
    test::HeldPort holder(port.SlavePath(), "cu", {false, true});
    ASSERT_TRUE(holder.Holding());
    EXPECT_EQ(FindPortHolder(port.SlavePath()), "cu (pid " + std::to_string(holder.Pid()) + ")");
}

#ifdef TIOCGEXCL
bool Exclusive(int fd) {
    int on = -1;
    if (::ioctl(fd, TIOCGEXCL, &on) != 0) return false;
    return on != 0;
}
#endif

constexpr int kCannotDropPrivileges = 200;

// Whether a process that is not root can open `path` now: 0 it can, EBUSY the exclusive mode
// keeps it out, another errno for anything else. Root ignores the exclusive mode, so as root
// the attempt runs in a child that has given up its privileges (the node is opened to all for
// it); kCannotDropPrivileges where root may not do that (a restricted container).
int UnprivilegedOpen(const std::string& path) {
    auto attempt = [&]() -> int {
        const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (fd < 0) return errno;
        ::close(fd);
        return 0;
    };
    if (::geteuid() != 0) return attempt();
    const pid_t child = ::fork();
    if (child == 0) {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(kCannotDropPrivileges);
        ::_exit(attempt());
    }
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

// The pty stays open on the test's side (as a simulated device, or a program that opened the
// bridge earlier, keep it): the terminal outlives the port's handle, and its exclusive mode with
// it unless the close gives it up. Two witnesses, both good as root: the terminal's flag read
// through another handle (TIOCGEXCL), and an open by an ordinary user (a child that drops root).
TEST(ExclusiveMode, ClosingThePortLetsTheNextUserOpenIt) {
    test::BarePty port;
    if (::geteuid() == 0) {
        ASSERT_EQ(::chmod(port.SlavePath().c_str(), 0666), 0);
    }
    const int watcher = ::open(port.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(watcher, 0);
    const bool asUser = UnprivilegedOpen(port.SlavePath()) != kCannotDropPrivileges;
#ifndef TIOCGEXCL
    if (!asUser) GTEST_SKIP() << "neither TIOCGEXCL nor an unprivileged user to try with";
#endif
    auto expectUserOpen = [&](int expected) {
        if (asUser) {
            EXPECT_EQ(UnprivilegedOpen(port.SlavePath()), expected);
        }
    };

    Result<SerialPort> opened = SerialPort::Open(port.SlavePath());
    ASSERT_TRUE(opened) << opened.Detail();
#ifdef TIOCGEXCL
    EXPECT_TRUE(Exclusive(watcher));
#endif
    expectUserOpen(EBUSY);  // while it is open, the exclusive mode does keep an ordinary user out
    opened->Close();
#ifdef TIOCGEXCL
    EXPECT_FALSE(Exclusive(watcher));
#endif
    expectUserOpen(0);

    // The same through the link: ClosePort, and the link's end.
    for (const bool byDestructor : {false, true}) {
        SCOPED_TRACE(byDestructor ? "destructor" : "ClosePort");
        {
            UsbUart link;
            ASSERT_TRUE(OpenPort(link, BridgeLocation{"/nonexistent", "/dev", port.SlavePath()}));
            expectUserOpen(EBUSY);
            if (!byDestructor) link.ClosePort();
        }
#ifdef TIOCGEXCL
        EXPECT_FALSE(Exclusive(watcher));
#endif
        expectUserOpen(0);
    }
    ::close(watcher);
}

TEST(LostLink, APortThatHasGoneIsToldFromAQuietOne) {
    test::TempDir dir;
    sim::SimulatedEsc esc((dir / "esc").string(), 16);
    ASSERT_TRUE(esc.Start());
    UsbUart link;
    EXPECT_FALSE(link.PortGone());  // no port: nothing to lose
    ASSERT_TRUE(OpenPort(link, BridgeLocation{"/nonexistent", "/dev", esc.LinkPath()}));
    esc.SetFault(sim::Fault::Silent);
    ASSERT_EQ(link.SendCommandByte(0xD5), LinkResult::Ok);
    EXPECT_EQ(link.ReadReply(1, 200), LinkResult::NoAnswer);
    EXPECT_FALSE(link.PortGone());  // silent, but there

    esc.Unplug();
    EXPECT_EQ(link.SendCommandByte(0xD5), LinkResult::SendFailed);
    EXPECT_TRUE(link.PortGone());
    link.ClosePort();
    EXPECT_FALSE(link.PortGone());
}

}  // namespace
}  // namespace vorna
