// Linux probing for the port check: sysfs for the bridges and their driver, the udev rule
// folders, the group file, /proc for the services that take CP210x bridges away, and stat (and
// for this process access()) on the device node.
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <set>
#include <system_error>

#include "base/Text.h"
#include "link/BridgeDiscovery.h"
#include "link/PortCheck.h"

namespace vorna {
namespace fs = std::filesystem;

namespace {

// Rule files and the group file are small; anything larger is not one of them.
constexpr std::size_t kMaxReadBytes = 1 << 20;

std::string ReadSmallFile(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::string text;
    char buffer[4096];
    while (in && text.size() < kMaxReadBytes) {
        in.read(buffer, sizeof buffer);
        text.append(buffer, static_cast<std::size_t>(in.gcount()));
    }
    return text;
}

std::string EscapeControls(std::string_view text) {
    std::string shown;
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7f) {
            shown += EscapedByte(byte);
        } else {
            shown += c;
        }
    }
    return shown;
}

bool Mentions(const std::string& lowerLine, const char* word) {
    return lowerLine.find(word) != std::string::npos;
}

// The non-comment lines of a rule file, in lower case, that name the bridge's USB ids.
std::vector<std::string> BridgeLines(const fs::path& file) {
    std::vector<std::string> lines;
    const std::string text = LowerAscii(ReadSmallFile(file));
    for (std::size_t at = 0; at < text.size();) {
        const auto end = std::min(text.find('\n', at), text.size());
        std::string line = text.substr(at, end - at);
        at = end + 1;
        const auto first = line.find_first_not_of(" \t");
        if (first == std::string::npos || line[first] == '#') continue;
        if (Mentions(line, kBridgeVendorId) && Mentions(line, kBridgeProductId))
            lines.push_back(line);
    }
    return lines;
}

struct RuleFiles {
    std::string bridgeRule;  // a rule that gives access to the bridge's node, empty: none
    bool uaccess = false;    // it gives the person at the desk access
    bool ignoredByModemManager = false;
    std::string brlttyRule;  // brltty's rule that claims the bridge for a braille display
};

// udev reads every *.rules file of its folders, and a file in an earlier folder hides one of
// the same name in a later one (the administrator's copy wins over the package's).
RuleFiles FindRules(const std::vector<std::string>& dirs) {
    RuleFiles found;
    std::set<std::string> seen;
    for (const std::string& dir : dirs) {
        std::vector<fs::path> files;
        std::error_code ec;
        for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
            // Only regular files: a FIFO of that name would block the read.
            std::error_code typeEc;
            if (it->path().extension() == ".rules" && it->is_regular_file(typeEc))
                files.push_back(it->path());
        }
        std::sort(files.begin(), files.end());
        for (const fs::path& file : files) {
            if (!seen.insert(file.filename().string()).second) continue;
            const std::vector<std::string> lines = BridgeLines(file);
            if (lines.empty()) continue;
            if (Mentions(LowerAscii(file.filename().string()), "brltty")) {
                if (found.brlttyRule.empty()) found.brlttyRule = file.string();
                continue;
            }
            const bool grants = std::any_of(lines.begin(), lines.end(), [](const auto& l) {
                return Mentions(l, "mode") || Mentions(l, "group") || Mentions(l, "uaccess");
            });
            if (!grants || !found.bridgeRule.empty()) continue;
            found.bridgeRule = file.string();
            for (const std::string& l : lines) {
                found.uaccess = found.uaccess || Mentions(l, "uaccess");
                found.ignoredByModemManager =
                    found.ignoredByModemManager || Mentions(l, "id_mm_device_ignore");
            }
        }
    }
    return found;
}

// The processes of that name, by /proc/PID/comm.
std::vector<long> ProcessesNamed(const std::string& procRoot, const std::string& name) {
    std::vector<long> pids;
    std::error_code ec;
    for (fs::directory_iterator it(procRoot, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string entry = it->path().filename().string();
        if (entry.empty() || !std::all_of(entry.begin(), entry.end(), [](char c) {
                return std::isdigit(static_cast<unsigned char>(c));
            }))
            continue;
        if (entry.size() < 10 && FirstLineOf(it->path() / "comm") == name)
            pids.push_back(std::strtol(entry.c_str(), nullptr, 10));
    }
    std::sort(pids.begin(), pids.end());
    return pids;
}

// USB devices with the bridge's ids, whether or not a driver gave them a tty.
std::vector<fs::path> BridgeUsbDevices(const std::string& sysfsRoot) {
    std::vector<fs::path> devices;
    std::error_code ec;
    for (fs::directory_iterator it(fs::path(sysfsRoot) / "bus" / "usb" / "devices", ec), end;
         !ec && it != end; it.increment(ec)) {
        if (LowerAscii(FirstLineOf(it->path() / "idVendor")) != kBridgeVendorId ||
            LowerAscii(FirstLineOf(it->path() / "idProduct")) != kBridgeProductId)
            continue;
        std::error_code canonicalEc;
        const fs::path real = fs::canonical(it->path(), canonicalEc);
        devices.push_back(canonicalEc ? it->path() : real);
    }
    std::sort(devices.begin(), devices.end());
    return devices;
}

std::string Octal(unsigned mode) {
    char text[8];
    std::snprintf(text, sizeof text, "%04o", mode & 07777u);
    return text;
}

// What the checks of every port share.
struct Context {
    const PortCheckPlaces& places;
    const PortUser& user;
    const PortCheckRequest& request;
    std::function<std::string(std::string_view)> quote;
    RuleFiles rules;
    std::vector<GroupEntry> groups;
};

const GroupEntry* GroupById(const Context& c, unsigned gid) {
    for (const GroupEntry& g : c.groups)
        if (g.gid == gid) return &g;
    return nullptr;
}

// How the user gets read and write access to a node owned by `group`.
std::string PermissionAdvice(const Context& c, const struct stat& st) {
    const GroupEntry* group = GroupById(c, st.st_gid);
    const std::string groupName = group ? c.quote(group->name) : std::to_string(st.st_gid);
    std::string advice;
    if ((st.st_mode & 0060u) == 0060u) {
        const bool listed = group && std::find(group->members.begin(), group->members.end(),
                                               c.user.name) != group->members.end();
        const bool active =
            std::find(c.user.gids.begin(), c.user.gids.end(), st.st_gid) != c.user.gids.end();
        if (listed && !active) {
            // The groups of a login are fixed when it starts.
            advice = "your user is in group " + groupName +
                     ", but this login started before it was added: log out and in again (or "
                     "restart the computer).";
        } else if (!listed) {
            advice = "add your user to group " + groupName + ": sudo usermod -aG " + groupName +
                     " $USER, then log out and in again.";
        }
    } else {
        advice = "its group " + groupName +
                 " may not use it either; only the program's udev rule "
                 "sets the node up for use.";
    }
    if (c.rules.bridgeRule.empty()) {
        advice += std::string(advice.empty() ? "" : " Or: ") + "install the program's udev rule " +
                  kUdevRuleName +
                  " (the package does); it gives the person at the desk access without a group "
                  "or a new login.";
    } else if (c.rules.uaccess) {
        advice += std::string(advice.empty() ? "" : " ") +
                  "The installed udev rule gives access only to the person logged in at the desk, "
                  "not to a remote login or a service.";
    }
    return advice;
}

PortFinding Problem(std::string text, std::string advice, std::string brief) {
    return {FindingKind::Problem, std::move(text), std::move(advice), std::move(brief)};
}

// A program holding the port is found by FindPortHolder, ModemManager and brltty included: they
// keep the node open while they probe or claim it.
PortCheckSection CheckNode(const Context& c, const std::string& node, std::string title) {
    PortCheckSection section{std::move(title), {}};
    auto& out = section.findings;
    const std::string shown = c.quote(node);
    std::error_code ec;
    const bool linkThere = fs::is_symlink(fs::symlink_status(node, ec));
    struct stat st {};
    if (::stat(node.c_str(), &st) != 0) {
        if (linkThere) {
            const std::string target = fs::read_symlink(node, ec).string();
            out.push_back(Problem(shown + " points to " + c.quote(target) +
                                      ", which is not there: the device has gone.",
                                  "plug the link in again, or name the port it has now.",
                                  shown + " points to a device that is not there"));
        } else {
            out.push_back(
                Problem(shown + " does not exist.",
                        "check the name; 'vornactl ports' lists the bridges found. A bridge's "
                        "port that is missing was not made by udev: unplug the link and plug "
                        "it in again.",
                        shown + " does not exist"));
        }
        return section;
    }
    out.push_back({FindingKind::Ok, shown + " is there.", "", ""});

    const GroupEntry* group = GroupById(c, st.st_gid);
    const std::string owner = st.st_uid == 0            ? std::string("root")
                              : st.st_uid == c.user.uid ? std::string("your user")
                                                        : "user " + std::to_string(st.st_uid);
    const std::string modeText = "owner " + owner + ", group " +
                                 (group ? c.quote(group->name) : std::to_string(st.st_gid)) +
                                 ", mode " + Octal(st.st_mode);
    const bool byMode = ModeAllowsReadWrite(c.user, st.st_uid, st.st_gid, st.st_mode);
    // The kernel has the last word for this process: an access list (uaccess) grants more.
    const bool allowed = c.user.thisProcess
                             ? ::faccessat(AT_FDCWD, node.c_str(), R_OK | W_OK, AT_EACCESS) == 0
                             : byMode;
    if (allowed) {
        out.push_back({FindingKind::Ok,
                       std::string("Your user may read and write it") +
                           (byMode ? "" : " through its access list (udev's uaccess)") + " (" +
                           modeText + ").",
                       "", ""});
    } else {
        out.push_back(Problem("Your user may not read and write it (" + modeText + ").",
                              PermissionAdvice(c, st),
                              "your user may not read and write " + shown));
    }

    // The holder of the port's lock keeps this program out; a program that merely has it open
    // reads the answers meant for this one. ModemManager and brltty get their own advice.
    const PortHolders holders = FindPortHolders(node, c.places.holders);
    std::vector<std::string> all = holders.openedBy;
    if (!holders.lockHolder.empty()) all.insert(all.begin(), holders.lockHolder);
    for (const std::string& holder : all) {
        std::string advice = "close that program and check again.";
        if (holder.rfind("brltty (pid", 0) == 0) {
            advice =
                "brltty takes CP210x bridges for braille displays. If you use none: sudo apt "
                "remove brltty, then plug the link in again.";
        } else if (holder.rfind("ModemManager (pid", 0) == 0) {
            advice = std::string("ModemManager is trying the link as a modem; ") +
                     (c.rules.ignoredByModemManager
                          ? "wait a few seconds and check again."
                          : "install the program's udev rule " + std::string(kUdevRuleName) +
                                ", which tells it to leave the bridge alone.");
        }
        out.push_back(Problem(shown + " is held by " + c.quote(holder) + ".", advice,
                              shown + " is held by " + c.quote(holder)));
    }
    if (all.empty()) out.push_back({FindingKind::Ok, "No other program holds it.", "", ""});

    if (c.request.tryOpen && !section.HasProblem()) {
        const Result<SerialPort> opened = SerialPort::Open(node, c.places.holders);
        if (opened) {
            out.push_back({FindingKind::Ok, "It opens.", "", ""});
        } else {
            out.push_back(Problem(c.quote(DescribeOpenFailure(node, opened.Error(), false)), "",
                                  shown + " cannot be opened"));
        }
    }
    return section;
}

bool SamePlace(const std::string& a, const std::string& b) {
    std::error_code ea, eb;
    const fs::path ca = fs::weakly_canonical(a, ea), cb = fs::weakly_canonical(b, eb);
    return ea || eb ? a == b : ca == cb;
}

}  // namespace

PortUser PortUser::ThisProcess() {
    PortUser user;
    user.uid = static_cast<unsigned>(::geteuid());
    user.thisProcess = true;
    user.gids.push_back(static_cast<unsigned>(::getegid()));
    const int count = ::getgroups(0, nullptr);
    if (count > 0) {
        std::vector<gid_t> groups(static_cast<std::size_t>(count));
        const int got = ::getgroups(count, groups.data());
        for (int i = 0; i < got; ++i)
            user.gids.push_back(static_cast<unsigned>(groups[static_cast<std::size_t>(i)]));
    }
    // The reentrant lookup: the window runs the check beside its link thread.
    passwd entry{};
    passwd* found = nullptr;
    std::vector<char> buffer(16384);
    if (::getpwuid_r(::geteuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found &&
        found->pw_name)
        user.name = found->pw_name;
    return user;
}

PortCheckResult CheckPorts(const PortCheckPlaces& places, const PortUser& user,
                           const PortCheckRequest& request) {
    Context c{places,
              user,
              request,
              request.quote ? request.quote : EscapeControls,
              FindRules(places.ruleDirs),
              ParseGroupFile(ReadSmallFile(places.groupFile))};
    // sysfs is read as far as it goes: no list it could not read.
    const std::vector<BridgeInfo> bridges =
        ListBridges(BridgeLocation{places.sysfsRoot, places.devRoot, {}}).Value();
    const std::vector<fs::path> usbDevices = BridgeUsbDevices(places.sysfsRoot);
    const std::vector<long> modemManager = ProcessesNamed(places.holders.procRoot, "ModemManager");
    const std::vector<long> brltty = ProcessesNamed(places.holders.procRoot, "brltty");
    std::error_code ec;
    const bool driverLoaded =
        fs::exists(fs::path(places.sysfsRoot) / "module" / "cp210x", ec) ||
        fs::exists(fs::path(places.sysfsRoot) / "bus" / "usb-serial" / "drivers" / "cp210x", ec);
    // Without a port named, the bridges are what the link would use: their absence is a problem.
    const FindingKind missingKind =
        request.namedPort.empty() ? FindingKind::Problem : FindingKind::Note;

    PortCheckSection system{"USB and system", {}};
    auto& found = system.findings;
    const std::string modprobe = "load the driver: sudo modprobe cp210x";
    if (driverLoaded) found.push_back({FindingKind::Ok, "The cp210x driver is loaded.", "", ""});
    for (const fs::path& usb : usbDevices) {
        const bool hasTty = std::any_of(bridges.begin(), bridges.end(), [&](const BridgeInfo& b) {
            return fs::path(b.usbPath) == usb;
        });
        if (hasTty) continue;
        std::string advice =
            !driverLoaded ? modprobe + "."
            : !brltty.empty() || !c.rules.brlttyRule.empty()
                ? "brltty may have taken it for a braille display. If you use none: sudo apt "
                  "remove brltty, then plug the link in again."
                : NoComPortAdvice();
        found.push_back({missingKind,
                         "A CP210x bridge is plugged in (USB " + c.quote(usb.filename().string()) +
                             ") but has no serial port" +
                             (driverLoaded ? "." : ": the cp210x driver is not loaded."),
                         advice, "the bridge is plugged in but has no serial port"});
    }
    if (usbDevices.empty() && bridges.empty()) {
        found.push_back({missingKind, "No CP210x bridge (USB " + BridgeUsbId() + ") is plugged in.",
                         std::string("plug the VORNA USB Link in; try another USB socket or "
                                     "cable.") +
                             (driverLoaded ? ""
                                           : " The cp210x driver is not loaded either: if the "
                                             "link is plugged in and still not found, " +
                                                 modprobe + "."),
                         "no CP210x bridge found"});
    }
    if (c.rules.bridgeRule.empty()) {
        found.push_back({FindingKind::Note, "The program's udev rule is not installed.",
                         std::string("install the package, or copy packaging/") + kUdevRuleName +
                             " of the source to /etc/udev/rules.d/ and run: sudo udevadm control "
                             "--reload && sudo udevadm trigger",
                         ""});
    } else {
        found.push_back({FindingKind::Ok,
                         "The udev rule " + c.quote(c.rules.bridgeRule) + " is installed.", "",
                         ""});
    }
    if (!bridges.empty()) {
        const fs::path stable = fs::path(places.devRoot) / "vorna-link";
        if (fs::exists(stable, ec)) {
            found.push_back({FindingKind::Ok, c.quote(stable.string()) + " is there.", "", ""});
        } else {
            found.push_back(
                {FindingKind::Note,
                 c.quote(stable.string()) + " is missing: " +
                     (c.rules.bridgeRule.empty()
                          ? std::string("the program's udev rule is not installed.")
                          : std::string("the udev rule has not been applied to the bridge yet.")),
                 c.rules.bridgeRule.empty()
                     ? std::string()
                     : std::string("unplug the link and plug it in again, or run: sudo udevadm "
                                   "trigger"),
                 ""});
        }
    }
    if (!modemManager.empty()) {
        found.push_back(
            {FindingKind::Note,
             std::string("ModemManager is running") +
                 (c.rules.ignoredByModemManager
                      ? "; the udev rule tells it to leave the bridge alone."
                      : " and may try the bridge as a modem for a while after it is plugged in."),
             c.rules.ignoredByModemManager
                 ? std::string()
                 : "install the program's udev rule " + std::string(kUdevRuleName) +
                       ", which tells it to leave the bridge alone.",
             ""});
    }
    if (!brltty.empty() || !c.rules.brlttyRule.empty()) {
        found.push_back(
            {FindingKind::Note,
             std::string("brltty (for braille displays) is ") +
                 (brltty.empty() ? "installed" : "running") +
                 (c.rules.brlttyRule.empty()
                      ? "."
                      : "; its udev rule " + c.quote(c.rules.brlttyRule) +
                            " claims CP210x bridges like this link and can take their port away."),
             "if you use no braille display: sudo apt remove brltty", ""});
    }

    PortCheckResult result;
    result.sections.push_back(std::move(system));
    std::string chosen = request.namedPort;
    std::size_t chosenSection = 0;
    for (const BridgeInfo& b : bridges) {
        std::string title = "Bridge " + c.quote(b.node);
        std::string about;
        if (!b.product.empty()) about = c.quote(b.product);
        if (!b.serial.empty())
            about += (about.empty() ? "serial " : ", serial ") + c.quote(b.serial);
        if (!about.empty()) title += " (" + about + ")";
        result.sections.push_back(CheckNode(c, b.node, title));
        if (chosen.empty()) chosen = b.node;
        if (chosenSection == 0 && SamePlace(chosen, b.node))
            chosenSection = result.sections.size() - 1;
    }
    if (!request.namedPort.empty() && chosenSection == 0) {
        result.sections.push_back(
            CheckNode(c, request.namedPort, "Port " + c.quote(request.namedPort)));
        chosenSection = result.sections.size() - 1;
    }

    GiveVerdict(result, chosenSection, c.quote(chosen));
    return result;
}

GroupAdvice AdviseOnPermission(const std::string& path) {
    GroupAdvice advice;
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) return advice;
    // The reentrant lookups: this runs on the link thread, beside whatever else looks users up.
    std::vector<char> groupBuffer(16384), userBuffer(16384);
    group groupEntry{};
    group* owner = nullptr;
    if (getgrgid_r(st.st_gid, &groupEntry, groupBuffer.data(), groupBuffer.size(), &owner) != 0 ||
        owner == nullptr || owner->gr_name == nullptr) {
        return advice;
    }
    advice.group = owner->gr_name;
    passwd userEntry{};
    passwd* user = nullptr;
    if (getpwuid_r(getuid(), &userEntry, userBuffer.data(), userBuffer.size(), &user) != 0 ||
        user == nullptr) {
        return advice;
    }
    bool listed = false;
    for (char** member = owner->gr_mem; member && *member; ++member) {
        if (std::strcmp(*member, user->pw_name) == 0) listed = true;
    }
    gid_t active[256];
    const int count = getgroups(256, active);
    bool isActive = getegid() == st.st_gid;
    for (int i = 0; i < count; ++i) isActive = isActive || active[i] == st.st_gid;
    advice.memberButNotActive = listed && !isActive;
    return advice;
}

const char* PortNodeNoun() {
    return "device node";
}

}  // namespace vorna
