// What stands between the user and the link: the check behind `vornactl doctor` and the
// window's Help > Check Connection. It looks at the USB bridges, the driver, the udev rule, the
// device node's permissions, the programs holding the port, and the system services known to
// take CP210x bridges away, and says each in a sentence with what to do about it.
// The probing of the system is in PortCheckLinux.cpp; the decisions and the text are here.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "link/SerialPort.h"

namespace vorna {

// The name of the program's udev rule, as the package installs it.
inline constexpr const char* kUdevRuleName = "70-vorna-link.rules";

// Where the check looks. Tests point every root at a tree of their own.
struct PortCheckPlaces {
    std::string sysfsRoot = "/sys";
    std::string devRoot = "/dev";
    // Where udev reads its rules: the administrator's folder first, then the packages'.
    std::vector<std::string> ruleDirs = {"/etc/udev/rules.d", "/usr/lib/udev/rules.d",
                                         "/lib/udev/rules.d"};
    std::string groupFile = "/etc/group";
    HolderSearch holders;  // /proc and the lock folders
};

// Who wants the port. The check decides read and write access from this and the node's owner,
// group and mode, so tests can be somebody else than the root that runs them.
struct PortUser {
    unsigned uid = 0;
    std::vector<unsigned> gids;  // the groups this login has now (primary and supplementary)
    std::string name;            // to look the user up in the group file
    // This process: the kernel is asked too, for what the mode bits do not show (the access list
    // that udev's uaccess gives the person at the desk).
    bool thisProcess = false;

    static PortUser ThisProcess();
};

enum class FindingKind { Ok, Note, Problem };

struct PortFinding {
    FindingKind kind = FindingKind::Note;
    std::string text;    // what was found, in a sentence
    std::string advice;  // what to do about it; empty when nothing
    std::string brief;   // a Problem's reason for the verdict line: "/dev/ttyUSB0 is held by ..."
};

// The findings about one subject: the system as a whole, or one port.
struct PortCheckSection {
    std::string title;
    std::vector<PortFinding> findings;
    bool HasProblem() const;
};

struct PortCheckResult {
    std::vector<PortCheckSection> sections;
    bool ready = false;
    std::string verdict;  // one line: "Ready: /dev/ttyUSB0 can be opened." or "Not ready: ..."
};

struct PortCheckRequest {
    std::string namedPort;  // the port named with --port; empty: the bridges found
    // Open and close the port once nothing else speaks against it: the last word on what the
    // check cannot see (another user's program holding it). Not while this program holds the
    // port itself, as the window does.
    bool tryOpen = false;
    // How text from the system (paths, USB strings, process names) is shown; it may hold control
    // characters. Empty: such characters are shown as \xNN.
    std::function<std::string(std::string_view)> quote;
};

PortCheckResult CheckPorts(const PortCheckPlaces& places, const PortUser& user,
                           const PortCheckRequest& request);

// The verdict, about the port the link would use: the named one, else the first bridge. That
// port's findings are result.sections[chosenSection] (0: there is none; the first section is the
// system's); `shownPort` is its name as the text shows it.
void GiveVerdict(PortCheckResult& result, std::size_t chosenSection, const std::string& shownPort);

// The findings as text: a heading per section, one line per finding, the advice indented below
// it, and the verdict last. With `columns`, no line is as wide as that (a console's width; a
// finding goes on, indented, on the next line); 0: lines as long as they come.
std::string PortCheckText(const PortCheckResult& result, int columns = 0);

// Whether `user` may read and write a node with this owner, group and mode, by the mode bits
// alone (root always may).
bool ModeAllowsReadWrite(const PortUser& user, unsigned owner, unsigned group, unsigned mode);

// One line of the group file: the group's name and its listed members.
struct GroupEntry {
    std::string name;
    unsigned gid = 0;
    std::vector<std::string> members;
};
std::vector<GroupEntry> ParseGroupFile(std::string_view text);

// Explains why a port would not open (a problem from SerialPort::Open) in one sentence that
// names the device node, the cause and the fix. `retrying`: the link tries again by itself (the
// poll); false for a final word.
std::string DescribeOpenFailure(const std::string& path, const Problem& problem,
                                bool retrying = true);

// Says that the port (`path`: its name as the user knows it) could not be set to the rate, with
// the system's words, and that it is used with the driver's settings while the link keeps
// trying.
std::string DescribeConfigureFailure(const std::string& path, std::uint32_t baudRate,
                                     const Problem& problem);

// Which group owns the node, and whether the user joined it after this login started: the
// usual reason a freshly set-up link still says "permission denied". Looked up on Linux only.
struct GroupAdvice {
    std::string group = "dialout";
    bool memberButNotActive = false;
};
GroupAdvice AdviseOnPermission(const std::string& path);

// What this system calls the name of a port that has gone: "device node" or "port".
const char* PortNodeNoun();

}  // namespace vorna
