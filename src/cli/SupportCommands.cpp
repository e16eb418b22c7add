// The commands that help when something is in the way: ports (the bridges found), doctor (what
// stands between the user and the port) and report (one file for support).
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <mutex>
#include <ostream>
#include <sstream>

#include "Version.h"
#include "base/Utf8Path.h"
#include "cli/Commands.h"
#include "cli/OutcomeWords.h"
#include "cli/SettingsText.h"
#include "cli/SystemInfo.h"
#include "cli/TerminalText.h"
#include "link/PortCheck.h"
#include "settings/IniFile.h"

namespace vorna::cli {
namespace {

// The port check as vornactl runs it: text from the system escaped, and the port opened once
// as the last word on what the check cannot see.
PortCheckResult CheckThePort(const Options& o) {
    PortCheckRequest request;
    request.namedPort = o.port;
    request.tryOpen = true;
    request.quote = [](std::string_view text) { return Shown(text); };
    return CheckPorts(PortCheckPlaces{}, PortUser::ThisProcess(), request);
}

// Replaces every whole-word `word` in `text` by `with`: a word is not part of a longer name
// (letters, digits, '_', '-' and '.' join a name).
void ReplaceWord(std::string& text, const std::string& word, const std::string& with) {
    auto joins = [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '-' || c == '.';
    };
    for (std::size_t at = text.find(word); at != std::string::npos; at = text.find(word, at)) {
        const std::size_t end = at + word.size();
        if ((at > 0 && joins(text[at - 1])) || (end < text.size() && joins(text[end]))) {
            at = end;
            continue;
        }
        text.replace(at, word.size(), with);
        at += with.size();
    }
}

// A report goes to strangers: the home folder, the user's and the computer's names are taken
// out wherever they appear (a port named under the home folder, for instance).
std::string Redacted(std::string text) {
    const std::string home = HomeFolder();
    const auto separator = [](char c) { return c == '/' || c == '\\'; };
    if (home.size() > 1) {
        for (std::size_t at = text.find(home); at != std::string::npos; at = text.find(home, at)) {
            const std::size_t end = at + home.size();
            if (end < text.size() && !separator(text[end]) && text[end] != ' ' &&
                text[end] != '\n') {
                at = end;
                continue;
            }
            text.replace(at, home.size(), "~");
            ++at;
        }
    }
    // root names nobody in particular, and says which account the report was made from.
    for (const std::string& user : AccountNames()) {
        if (user.size() > 1 && user != "root") ReplaceWord(text, user, "<user>");
    }
    const std::string host = HostName();
    if (host.size() > 1) ReplaceWord(text, host, "<host>");
    return text;
}

// How long the report waits for an ESC when no --timeout is given: an ESC on the link answers
// within a few polls, and a racer without one should not wait long for the file.
constexpr int kReportWaitSec = 5;

}  // namespace

int Ports(std::ostream& out, std::ostream& err) {
    const Result<std::vector<BridgeInfo>> listed = ListBridges(BridgeLocation{});
    if (!listed) {
        err << "vornactl: " << Shown(listed.Detail()) << "\n";
        return kExitDevice;
    }
    const std::vector<BridgeInfo>& bridges = *listed;
    if (bridges.empty()) {
        out << "No CP210x bridge (USB " << BridgeUsbId() << ") found.\n";
        return kExitOk;
    }
    for (const auto& b : bridges) {
        // Product and serial are the device's own strings, shown escaped.
        out << (b.finding == BridgeFinding::NoDriver ? std::string("(no driver)")
                : b.finding == BridgeFinding::NoComPort
                    ? std::string("(no ") + BridgePortNoun() + ")"
                    : Shown(PortDisplayName(b.node)));
        if (!b.product.empty()) out << "  " << Shown(b.product);
        if (!b.serial.empty()) out << "  serial " << Shown(b.serial);
        out << "  (" << Shown(b.usbPath) << ")\n";
        // A bridge the link cannot use says why, in the words the other commands use.
        if (const std::string why = BridgeFindingText(b.finding); !why.empty())
            out << "  " << why << "\n";
    }
    return kExitOk;
}

int Doctor(const Options& o, std::ostream& out, std::ostream& err) {
    if (!o.args.empty()) {
        err << "vornactl: doctor takes no arguments\n" << kUsage;
        return kExitUsage;
    }
    const PortCheckResult check = CheckThePort(o);
    out << PortCheckText(check, OutputColumns());
    return check.ready ? kExitOk : kExitDevice;
}

// One text file for support: the version, the system, the port check, and the connected ESC's
// identity and settings with the bytes of that exchange. No ESC answering is reported, not a
// failure: the file is as useful without one. Written whole or not at all, like read -o.
int Report(const Options& o, std::ostream& out, std::ostream& err) {
    if (o.args.size() != 1 || o.args[0].empty()) {
        err << "vornactl: report takes one file name\n" << kUsage;
        return kExitUsage;
    }
    const std::filesystem::path file = PathFromUtf8(o.args[0]);
    if (const Status replaceable = CheckReplaceable(file, "report"); !replaceable) {
        err << "vornactl: " << Shown(replaceable.Detail()) << "\n";
        return ExitCodeFor(replaceable.Error());
    }
    std::ostringstream text;
    text << "VORNA USB Link report\n\n"
         << "Program: vornactl " << kVersion << "\n"
         << "System: " << Shown(SystemDescription()) << "\n\n"
         << "== Connection check (vornactl doctor) ==\n";
    const PortCheckResult check = CheckThePort(o);
    text << PortCheckText(check) << "\n== ESC ==\n";

    std::mutex traceMutex;
    std::vector<std::string> trace;
    if (!check.ready) {
        text << "No ESC was asked: the port is not ready (see above).\n";
    } else {
        Options wait = o;
        if (!o.timeoutGiven) wait.timeoutSec = kReportWaitSec;
        std::ostringstream sessionLog, why;
        {
            Session session(LocationFor(o), sessionLog, false, [&](const std::string& line) {
                std::lock_guard lock(traceMutex);
                trace.push_back(line);
            });
            if (ConnectEsc(session, wait, why) == kExitOk) {
                text << EscIdentityText(session) << "\nSettings:\n"
                     << SettingsTable(session.setup.Snapshot(), session.setup.FirmwareText());
            } else {
                text << "No ESC answered (the report is complete without one):\n" << why.str();
            }
        }
        // The session has ended: its link thread writes no more.
        text << sessionLog.str();
    }
    text << "\n== Byte trace ==\n";
    if (trace.empty()) text << "(no bytes were exchanged)\n";
    for (const std::string& line : trace) {
        text << line << "\n";
        if (o.trace) err << line << "\n";
    }
    if (const Status written = WriteTextFileReplacing(file, Redacted(text.str()), "report");
        !written) {
        err << "vornactl: " << Shown(written.Detail()) << "\n";
        return ExitCodeFor(written.Error());
    }
    out << "Report written to " << Shown(Utf8FromPath(file)) << " (" << check.verdict << ")\n";
    return kExitOk;
}

}  // namespace vorna::cli
