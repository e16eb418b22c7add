// The port check over fake sysfs, /dev, udev rule folders, group file and /proc: each thing that
// stands between the user and the link is found, with its advice and the verdict it leads to.
// The user is a made-up one (uid and groups), so the permission cases hold when root runs them.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <sstream>

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include "link/BridgeDiscovery.h"
#include "link/PortCheck.h"
#include "support/TestSupport.h"

namespace vorna {
namespace {
namespace fs = std::filesystem;

class PortCheckTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* d : {"sys/class/tty", "sys/bus/usb/devices", "dev", "rules", "proc"})
            fs::create_directories(dir / d);
        places.sysfsRoot = (dir / "sys").string();
        places.devRoot = (dir / "dev").string();
        places.ruleDirs = {(dir / "rules").string()};
        places.groupFile = (dir / "group").string();
        places.holders = {(dir / "proc").string(), {(dir / "lock").string()}};
        struct stat st {};
        ASSERT_EQ(::stat(pty.SlavePath().c_str(), &st), 0);
        ptyGid = st.st_gid;
        // Somebody who neither owns the node nor is root, whoever runs the test.
        user.uid = st.st_uid + 1;
        user.name = "racer";
        user.gids = {ptyGid + 1};
        Group("");
    }

    // A CP210x on USB `usbDev`; with a tty and its node (the test's terminal) unless told not.
    void Bridge(const std::string& usbDev = "1-2", bool withTty = true) {
        const fs::path usb = dir / "sys/devices/pci0000:00/usb1" / usbDev;
        fs::create_directories(usb);
        std::ofstream(usb / "idVendor") << "10c4\n";
        std::ofstream(usb / "idProduct") << "ea60\n";
        std::ofstream(usb / "product") << "CP2102N USB to UART\n";
        fs::create_directory_symlink(usb, dir / "sys/bus/usb/devices" / usbDev);
        if (!withTty) return;
        const fs::path tty = usb / (usbDev + ":1.0") / "ttyUSB0";
        fs::create_directories(tty);
        fs::create_directories(dir / "sys/class/tty/ttyUSB0");
        fs::create_directory_symlink(tty, dir / "sys/class/tty/ttyUSB0/device");
        fs::create_symlink(pty.SlavePath(), Node());
    }
    std::string Node() const { return (dir / "dev/ttyUSB0").string(); }
    void Mode(mode_t mode) { ASSERT_EQ(::chmod(pty.SlavePath().c_str(), mode), 0); }
    // The group file names the node's group "dialout", with these members.
    void Group(const std::string& members) {
        std::ofstream(dir / "group") << "dialout:x:" << ptyGid << ":" << members
                                     << "\nplugdev:x:" << ptyGid + 1 << ":racer\n";
    }
    void Rule(const std::string& name, const std::string& lines) {
        std::ofstream(dir / "rules" / name) << lines;
    }
    void Process(long pid, const std::string& name, const std::string& openFile = "") {
        fs::create_directories(dir / "proc" / std::to_string(pid) / "fd");
        std::ofstream(dir / "proc" / std::to_string(pid) / "comm") << name << "\n";
        if (!openFile.empty())
            fs::create_symlink(openFile, dir / "proc" / std::to_string(pid) / "fd" / "3");
    }

    PortCheckResult Check(const std::string& namedPort = "") {
        PortCheckRequest request;
        request.namedPort = namedPort;
        result = CheckPorts(places, user, request);
        text = PortCheckText(result);
        return result;
    }

    test::TempDir dir;
    test::BarePty pty;
    unsigned ptyGid = 0;
    PortCheckPlaces places;
    PortUser user;
    PortCheckResult result;
    std::string text;
};

TEST_F(PortCheckTest, ABridgeWithoutItsPortOrNoneAtAllIsNamedWithTheDriverAdvice) {
    Check();
    EXPECT_FALSE(result.ready);
    EXPECT_EQ(result.verdict, "Not ready: no CP210x bridge found.");
    EXPECT_NE(text.find("sudo modprobe cp210x"), std::string::npos) << text;

    Bridge("1-2", false);
    Check();
    EXPECT_EQ(result.verdict, "Not ready: the bridge is plugged in but has no serial port.");
    EXPECT_NE(text.find("(USB 1-2) but has no serial port: the cp210x driver is not loaded"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("What to do: load the driver: sudo modprobe cp210x."), std::string::npos);
    // The link's own look says so too: a bridge without its driver, not no bridge.
    const BridgeLocation where{places.sysfsRoot, places.devRoot, ""};
    EXPECT_EQ(FindBridge(where).finding, BridgeFinding::NoDriver);

    // For a console 40 columns wide: no line reaches the last column, no word is lost, and a
    // finding goes on indented.
    const std::string narrow = PortCheckText(result, 40);
    std::istringstream lines(narrow);
    std::string words, line;
    while (std::getline(lines, line)) {
        const bool oneWord = line.find(' ', line.find_first_not_of(' ')) == std::string::npos;
        EXPECT_TRUE(line.size() < 40 || oneWord) << line;
        words += line + " ";
    }
    std::istringstream wrappedWords(words), wideWords(text);
    EXPECT_EQ(std::vector<std::string>(std::istream_iterator<std::string>(wrappedWords), {}),
              std::vector<std::string>(std::istream_iterator<std::string>(wideWords), {}));
    EXPECT_NE(narrow.find("\n           "), std::string::npos) << narrow;

    // With the driver loaded, loading it is no advice; brltty's rule claiming the bridge is. The
    // link's look finds a bridge without its port, not no bridge.
    fs::create_directories(dir / "sys/module/cp210x");
    EXPECT_EQ(FindBridge(where).finding, BridgeFinding::NoComPort);
    Rule("85-brltty.rules", "ENV{PRODUCT}==\"10c4/ea60/*\", ENV{BRLTTY_BRAILLE_DRIVER}=\"sk\"\n");
    Check();
    EXPECT_EQ(text.find("modprobe"), std::string::npos) << text;
    EXPECT_NE(text.find("ok       The cp210x driver is loaded."), std::string::npos);
    EXPECT_NE(text.find("What to do: brltty may have taken it"), std::string::npos) << text;
    // brltty's rule is no rule of this program's.
    EXPECT_NE(text.find("The program's udev rule is not installed."), std::string::npos);
}

TEST_F(PortCheckTest, ANamedPortThatIsMissingOrGone) {
    Check((dir / "dev/nothing").string());
    EXPECT_FALSE(result.ready);
    EXPECT_EQ(result.verdict, "Not ready: " + (dir / "dev/nothing").string() + " does not exist.");

    fs::create_symlink(dir / "dev/pts-gone", dir / "dev/vorna-esc");
    Check((dir / "dev/vorna-esc").string());
    EXPECT_EQ(result.verdict, "Not ready: " + (dir / "dev/vorna-esc").string() +
                                  " points to a device that is not there.");
}

TEST_F(PortCheckTest, PermissionAdviceFollowsTheGroupTheLoginAndTheRule) {
    Bridge();
    Mode(0660);
    const std::string denied = "Not ready: your user may not read and write " + Node() + ".";

    // Not in the node's group at all.
    Check();
    EXPECT_EQ(result.verdict, denied);
    EXPECT_NE(text.find("sudo usermod -aG dialout $USER, then log out and in again"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("group dialout, mode 0660"), std::string::npos);
    // Without the rule, its uaccess is the other way, and the stable name is missing.
    EXPECT_NE(text.find("Or: install the program's udev rule 70-vorna-link.rules"),
              std::string::npos);
    EXPECT_NE(text.find("/dev/vorna-link is missing: the program's udev rule is not installed"),
              std::string::npos)
        << text;

    // Added to the group after this login started.
    Group("pilot,racer");
    Check();
    EXPECT_EQ(result.verdict, denied);
    EXPECT_NE(text.find("your user is in group dialout, but this login started before it was "
                        "added: log out and in again"),
              std::string::npos)
        << text;
    EXPECT_EQ(text.find("usermod"), std::string::npos);

    // In the group for this login: ready.
    user.gids.push_back(ptyGid);
    Check();
    EXPECT_TRUE(result.ready) << text;
    EXPECT_EQ(result.verdict, "Ready: " + Node() + " can be opened.");

    // A group without rights does not help its members.
    Mode(0600);
    Check();
    EXPECT_EQ(result.verdict, denied);
    EXPECT_NE(text.find("its group dialout may not use it either"), std::string::npos) << text;

    // With the program's rule installed its uaccess is explained, not offered.
    Rule(kUdevRuleName,
         "# the link\nSUBSYSTEM==\"tty\", ATTRS{idVendor}==\"10c4\", ATTRS{idProduct}==\"ea60\", "
         "MODE=\"0660\", GROUP=\"dialout\", TAG+=\"uaccess\", SYMLINK+=\"vorna-link\"\n");
    Check();
    EXPECT_NE(text.find("The installed udev rule gives access only to the person logged in"),
              std::string::npos)
        << text;
    EXPECT_EQ(text.find("Or: install"), std::string::npos);
    EXPECT_NE(text.find("/dev/vorna-link is missing: the udev rule has not been applied"),
              std::string::npos);
}

TEST_F(PortCheckTest, ModeBitsAreReadAsTheKernelReadsThem) {
    PortUser u;
    u.uid = 1000;
    u.gids = {1000, 20};
    EXPECT_TRUE(ModeAllowsReadWrite(u, 1000, 5, 0600));
    EXPECT_FALSE(ModeAllowsReadWrite(u, 1000, 20, 0460));  // the owner's bits decide for the owner
    EXPECT_TRUE(ModeAllowsReadWrite(u, 0, 20, 0660));
    EXPECT_FALSE(ModeAllowsReadWrite(u, 0, 20, 0606));  // the group's bits decide for a member
    EXPECT_TRUE(ModeAllowsReadWrite(u, 0, 5, 0606));
    EXPECT_FALSE(ModeAllowsReadWrite(u, 0, 5, 0604));
    u.uid = 0;
    EXPECT_TRUE(ModeAllowsReadWrite(u, 1, 1, 0000));
}

TEST_F(PortCheckTest, ProgramsHoldingThePortAndTheServicesThatTakeBridges) {
    Bridge();
    Mode(0666);
    fs::create_symlink(Node(), dir / "dev/vorna-link");
    Rule(kUdevRuleName,
         "ATTRS{idVendor}==\"10c4\", ATTRS{idProduct}==\"ea60\", GROUP=\"dialout\", "
         "ENV{ID_MM_DEVICE_IGNORE}=\"1\"\n");
    Process(50, "ModemManager");
    Check();
    EXPECT_TRUE(result.ready) << text;
    EXPECT_NE(text.find("ModemManager is running; the udev rule tells it to leave the bridge"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("ok       " + (dir / "dev/vorna-link").string() + " is there."),
              std::string::npos);

    // A rule without ModemManager's flag: it may probe the bridge (still no problem by itself).
    Rule(kUdevRuleName, "ATTRS{idVendor}==\"10c4\", ATTRS{idProduct}==\"ea60\", MODE=\"0666\"\n");
    Check();
    EXPECT_TRUE(result.ready);
    EXPECT_NE(text.find("may try the bridge as a modem"), std::string::npos) << text;

    // brltty running and holding the node: the port is taken.
    Process(60, "brltty", pty.SlavePath());
    Check();
    EXPECT_EQ(result.verdict, "Not ready: " + Node() + " is held by brltty (pid 60).");
    EXPECT_NE(text.find("What to do: brltty takes CP210x bridges for braille displays"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("brltty (for braille displays) is running"), std::string::npos);
    fs::remove_all(dir / "proc/60");

    // Another program's lock on the node; a name from the system is shown escaped.
    Process(200, "pico\x1b[2Jcom", pty.SlavePath());
    struct stat st {};
    ASSERT_EQ(::stat(pty.SlavePath().c_str(), &st), 0);
    std::ofstream(dir / "proc/locks")
        << "1: FLOCK  ADVISORY  WRITE 200 " << std::hex << major(st.st_dev) << ":"
        << minor(st.st_dev) << std::dec << ":" << st.st_ino << " 0 EOF\n";
    Check();
    EXPECT_FALSE(result.ready);
    EXPECT_EQ(result.verdict, "Not ready: " + Node() + " is held by pico\\x1b[2Jcom (pid 200).");
    EXPECT_NE(text.find("What to do: close that program"), std::string::npos);
}

}  // namespace
}  // namespace vorna
