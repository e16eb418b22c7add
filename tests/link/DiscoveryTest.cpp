// Bridge discovery over a fake sysfs tree, and OpenPort's handling of a bridge that comes,
// goes, and cannot be opened.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <fstream>
#include <iterator>
#include <thread>

#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include "link/BridgeDiscovery.h"
#include "link/PortCheck.h"
#include "sim/SimulatedEsc.h"
#include "support/TestSupport.h"

namespace vorna {
namespace {
namespace fs = std::filesystem;

// Lays out /sys/class/tty/NAME/device -> ../../../devices/.../USBDEV/IFACE/NAME with the
// USB ids on USBDEV, the way the kernel does for usb-serial ttys.
class FakeSysfs {
public:
    FakeSysfs() {
        fs::create_directories(Sys() / "class" / "tty");
        fs::create_directories(Dev());
    }
    fs::path Sys() const { return dir_ / "sys"; }
    fs::path Dev() const { return dir_ / "dev"; }

    void AddUsbTty(const std::string& name, const std::string& vid, const std::string& pid,
                   const std::string& usbDev) {
        const fs::path usb = Sys() / "devices" / "pci0000:00" / "usb1" / usbDev;
        const fs::path tty = usb / (usbDev + ":1.0") / name;
        fs::create_directories(tty);
        std::ofstream(usb / "idVendor") << vid << "\n";
        std::ofstream(usb / "idProduct") << pid << "\n";
        std::ofstream(usb / "serial") << "SN-" << name << "\n";
        fs::create_directories(Sys() / "class" / "tty" / name);
        fs::create_directory_symlink(fs::relative(tty, Sys() / "class" / "tty" / name),
                                     Sys() / "class" / "tty" / name / "device");
    }
    void AddConsole(const std::string& name) {
        fs::create_directories(Sys() / "class" / "tty" / name);
    }
    void Remove(const std::string& name) { fs::remove_all(Sys() / "class" / "tty" / name); }
    // The device node: a symlink to a terminal the test controls.
    void Node(const std::string& name, const std::string& target) {
        fs::remove(Dev() / name);
        fs::create_symlink(target, Dev() / name);
    }
    BridgeLocation Location() const { return {Sys().string(), Dev().string(), ""}; }

private:
    test::TempDir dir_;
};

TEST(Discovery, ListsOnlyBridgesInNaturalOrder) {
    FakeSysfs sysfs;
    sysfs.AddConsole("tty0");
    sysfs.AddUsbTty("ttyUSB10", "10c4", "ea60", "1-4");
    sysfs.AddUsbTty("ttyUSB2", "10C4", "EA60", "1-3");  // ids in upper case too
    sysfs.AddUsbTty("ttyUSB0", "0403", "6001", "1-1");  // another maker's bridge
    sysfs.AddUsbTty("ttyUSB1", "10c4", "ea70", "1-2");  // same maker, other product
    auto bridges =
        ListBridges(BridgeLocation{sysfs.Sys().string(), sysfs.Dev().string(), {}}).Value();
    ASSERT_EQ(bridges.size(), 2u);
    EXPECT_EQ(bridges[0].node, (sysfs.Dev() / "ttyUSB2").string());
    EXPECT_EQ(bridges[1].node, (sysfs.Dev() / "ttyUSB10").string());
    EXPECT_EQ(bridges[0].serial, "SN-ttyUSB2");
    EXPECT_EQ(LookupBridgePort(sysfs.Location()).Value(), (sysfs.Dev() / "ttyUSB2").string());

    EXPECT_TRUE(
        ListBridges(BridgeLocation{(sysfs.Sys() / "missing").string(), "/dev", {}})->empty());
}

TEST(Discovery, OpenPortFollowsTheBridgeAcrossUnplugAndReplug) {
    FakeSysfs sysfs;
    test::TempDir dir;
    sim::SimulatedEsc first((dir / "a").string(), 16);
    sim::SimulatedEsc second((dir / "b").string(), 8);
    ASSERT_TRUE(first.Start());
    ASSERT_TRUE(second.Start());
    sysfs.AddUsbTty("ttyUSB0", "10c4", "ea60", "1-1");
    sysfs.AddUsbTty("ttyUSB1", "10c4", "ea60", "1-2");
    sysfs.Node("ttyUSB0", first.SlavePath());
    sysfs.Node("ttyUSB1", second.SlavePath());

    UsbUart link;
    EXPECT_TRUE(OpenPort(link, sysfs.Location()));
    EXPECT_TRUE(link.IsOpen());
    EXPECT_EQ(link.PortName(), (sysfs.Dev() / "ttyUSB0").string());
    const PortHandle handle = link.Port().Handle();
    // Open and still listed: nothing but the look-up.
    EXPECT_TRUE(OpenPort(link, sysfs.Location()));
    EXPECT_EQ(link.Port().Handle(), handle);

    // Another bridge becomes the first one listed: the port follows it.
    sysfs.Remove("ttyUSB0");
    EXPECT_TRUE(OpenPort(link, sysfs.Location()));
    EXPECT_EQ(link.PortName(), (sysfs.Dev() / "ttyUSB1").string());
    ASSERT_EQ(link.SendCommandByte(0xD7), LinkResult::Ok);
    ASSERT_EQ(link.ReadReply(7, 1000), LinkResult::Ok);
    EXPECT_EQ(link.Reply()[2], sim::IdentityForModel(8)[2]);

    // The last bridge goes: the next call closes the port and resets the link state...
    link.SetUsbState(UsbState::Connected);
    link.SetDeviceState(DeviceState::Connected);
    sysfs.Remove("ttyUSB1");
    EXPECT_EQ(OpenPort(link, sysfs.Location()).Kind(), ProblemKind::NoBridge);
    EXPECT_FALSE(link.IsOpen());
    EXPECT_EQ(link.GetUsbState(), UsbState::NoBridge);
    EXPECT_EQ(link.GetDeviceState(), DeviceState::NotPolled);
    EXPECT_FALSE(link.HasPort());

    // ...and a bridge plugged in again (under another name) is opened on the next call.
    sysfs.AddUsbTty("ttyUSB1", "10c4", "ea60", "1-2");
    EXPECT_TRUE(OpenPort(link, sysfs.Location()));
    EXPECT_EQ(link.PortName(), (sysfs.Dev() / "ttyUSB1").string());
    EXPECT_EQ(link.SendCommandByte(0xD7), LinkResult::Ok);
    ASSERT_EQ(link.ReadReply(7, 1000), LinkResult::Ok);
    EXPECT_EQ(link.Reply()[0], sim::IdentityForModel(8)[0]);
    EXPECT_EQ(link.Reply()[2], 0x85);
}

TEST(Discovery, ExplicitPathIsPresentWhileItExists) {
    test::TempDir dir;
    const std::string path = (dir / "esc").string();
    BridgeLocation location{"/nonexistent", "/dev", path};
    EXPECT_FALSE(LookupBridgePort(location));
    sim::SimulatedEsc esc(path, 16);
    ASSERT_TRUE(esc.Start());
    EXPECT_EQ(LookupBridgePort(location).Value(), path);
    esc.Unplug();
    EXPECT_FALSE(LookupBridgePort(location));
    ASSERT_TRUE(esc.Replug());
    EXPECT_EQ(LookupBridgePort(location).Value(), path);
}

TEST(Discovery, BusyPortIsExplainedAndLeftClosed) {
    test::TempDir dir;
    sim::SimulatedEsc esc((dir / "esc").string(), 16);
    ASSERT_TRUE(esc.Start());
    BridgeLocation location{"/nonexistent", "/dev", esc.LinkPath()};

    UsbUart holder;
    ASSERT_TRUE(OpenPort(holder, location));
    UsbUart second;
    const Status busy = OpenPort(second, location);
    ASSERT_FALSE(busy);
    EXPECT_EQ(busy.Kind(), ProblemKind::PortBusy);
    const std::string problem = busy.Detail();
    EXPECT_FALSE(second.HasPort());
    EXPECT_FALSE(second.IsOpen());
    EXPECT_NE(problem.find(esc.LinkPath()), std::string::npos) << problem;
    EXPECT_NE(problem.find("in use"), std::string::npos) << problem;

    // Once the holder lets go, the next call opens it.
    holder.ClosePort();
    EXPECT_TRUE(OpenPort(second, location));
    EXPECT_TRUE(second.IsOpen());
}

// From now on the system refuses, on the calling thread only, every call that sets a
// terminal's line (TCSETS and its kin, the termios2 ones too), with `err`: what a driver that
// turns a setting down looks like from here. False where the system takes no such filter.
bool RefuseLineSettingsOnThisThread(int err) {
    // The request's low 16 bits ('T' and the number); seccomp_data's arguments are 64 bits,
    // loaded here by their low word (little-endian).
    sock_filter filter[] = {
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, SYS_ioctl, 0, 8),
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, args[1])),
        BPF_STMT(BPF_ALU | BPF_AND | BPF_K, 0xFFFF),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, TCSETS, 6, 0),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, TCSETSW, 5, 0),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, TCSETSF, 4, 0),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, 0x542B, 3, 0),  // TCSETS2
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, 0x542C, 2, 0),  // TCSETSW2
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, 0x542D, 1, 0),  // TCSETSF2
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
        BPF_STMT(BPF_RET | BPF_K,
                 SECCOMP_RET_ERRNO | (static_cast<unsigned>(err) & SECCOMP_RET_DATA)),
    };
    sock_fprog program{static_cast<unsigned short>(std::size(filter)), filter};
    return ::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0 &&
           ::prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) == 0;
}

// A port the system will not set to 19200 baud is used as the driver has it, said to be so in
// the system's words on each tick (the poll shows it once), and set on the first tick the
// system lets it. The refusal is the system's own: a seccomp filter on the thread of the first
// two ticks, with the simulated ESC on the other end of a real pseudo-terminal.
TEST(Discovery, APortThatCannotBeSetToTheRateIsUsedSaidAndSetLater) {
    test::TempDir dir;
    sim::SimulatedEsc esc((dir / "esc").string(), 16);
    ASSERT_TRUE(esc.Start());
    const BridgeLocation location{"/nonexistent", "/dev", esc.LinkPath()};
    UsbUart link;
    std::string first;
    std::string second;
    bool filtered = false;
    std::thread refused([&] {
        filtered = RefuseLineSettingsOnThisThread(EINVAL);
        if (!filtered) return;
        // Not set up, but open and in use.
        for (std::string* said : {&first, &second}) {
            const Status opened = OpenPort(link, location);
            ASSERT_FALSE(opened);
            EXPECT_EQ(opened.Kind(), ProblemKind::CannotSetUp);
            *said = opened.Detail();
        }
    });
    refused.join();
    if (!filtered) GTEST_SKIP() << "the system takes no seccomp filter here";
    EXPECT_TRUE(link.IsOpen());
    for (const std::string& said : {first, second}) {
        EXPECT_NE(
            said.find("Cannot set " + esc.LinkPath() + " to 19200 baud: " + std::strerror(EINVAL)),
            std::string::npos)
            << said;
    }
    termios line{};
    ASSERT_EQ(::tcgetattr(static_cast<int>(link.Port().Handle()), &line), 0);
    EXPECT_NE(::cfgetospeed(&line), B19200);
    ASSERT_EQ(link.SendCommandByte(0xD7), LinkResult::Ok);  // usable meanwhile
    ASSERT_EQ(link.ReadReply(7, 1000), LinkResult::Ok);

    EXPECT_TRUE(OpenPort(link, location));
    EXPECT_TRUE(link.LineSet());
    ASSERT_EQ(::tcgetattr(static_cast<int>(link.Port().Handle()), &line), 0);
    EXPECT_EQ(::cfgetospeed(&line), B19200);
}

TEST(Discovery, OpenFailuresNameTheCauseAndTheFix) {
    const Problem denied{ProblemKind::NoPermission, std::strerror(EACCES)};
    const std::string text = DescribeOpenFailure("/dev/ttyUSB0", denied);
    EXPECT_NE(text.find("/dev/ttyUSB0"), std::string::npos);
    EXPECT_NE(text.find("dialout"), std::string::npos);
    EXPECT_NE(text.find("log"), std::string::npos);

    const Problem busy{ProblemKind::PortBusy, "minicom (pid 42)"};
    EXPECT_NE(DescribeOpenFailure("/dev/ttyUSB0", busy).find("minicom (pid 42)"),
              std::string::npos);

    // A plain file is not a serial port.
    test::TempDir dir;
    std::ofstream(dir / "file") << "x";
    const Result<SerialPort> notTty = SerialPort::Open((dir / "file").string());
    ASSERT_FALSE(notTty);
    EXPECT_EQ(notTty.Kind(), ProblemKind::NotAPort);
    EXPECT_EQ(DescribeOpenFailure((dir / "file").string(), notTty.Error()),
              "Cannot open " + (dir / "file").string() + ": it is not a serial port.");
}

}  // namespace
}  // namespace vorna

namespace vorna {
namespace {

// The permission path for real: a node the caller may not open. Root bypasses file modes, so
// as root the check runs in a child that has given up its privileges.
TEST(Discovery, NodeWithoutPermissionIsExplainedWithItsGroup) {
    test::BarePty pty;
    ASSERT_EQ(::chmod(pty.SlavePath().c_str(), 0600), 0);
    auto attempt = [&]() -> int {
        const Result<SerialPort> opened = SerialPort::Open(pty.SlavePath());
        if (opened) return 10;
        if (opened.Kind() != ProblemKind::NoPermission) return 11;
        const std::string text = DescribeOpenFailure(pty.SlavePath(), opened.Error());
        if (text.find(pty.SlavePath()) == std::string::npos) return 12;
        if (text.find("permission denied") == std::string::npos) return 13;
        if (text.find("log out and in again") == std::string::npos) return 14;
        return 0;
    };
    if (::geteuid() != 0) {
        ASSERT_EQ(::chmod(pty.SlavePath().c_str(), 0000), 0);
        EXPECT_EQ(attempt(), 0);
        return;
    }
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(20);
        ::_exit(attempt());
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

}  // namespace
}  // namespace vorna
