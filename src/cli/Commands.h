// vornactl's commands, one function each, and what they share: the options of the command line
// and the wait for a device. Each command prints its results on `out`, everything else on
// `err`, and returns its exit code.
#pragma once

#include <filesystem>
#include <iosfwd>
#include <string>
#include <vector>

#include "cli/Session.h"
#include "cli/Vornactl.h"

namespace vorna::cli {

extern const std::string kUsage;

// The parts of the usage text that differ by system (HelpPosix.cpp, HelpWin32.cpp): what names
// a port, how the bridge is found, and what doctor looks at. Whole lines, each ending in \n.
struct SystemHelp {
    const char* port;      // "PATH", "COMn"
    std::string finding;   // how the bridge is found without --port
    const char* doctor;    // what doctor looks at
    const char* simulate;  // the usage line of simulate; empty where this build has none
};
SystemHelp HelpForThisSystem();

struct Options {
    std::string port;
    std::string dataDir;  // --data-dir: the shipped data in place of the program's own
    bool trace = false;
    int timeoutSec = 10;
    bool timeoutGiven = false;
    bool errTerminal = false;  // standard error is a terminal: progress as a bar
    std::string command;
    std::vector<std::string> args;
};

BridgeLocation LocationFor(const Options& o);
// The shipped data (Firmware/ and its manifest): --data-dir, else the program's data folder.
std::filesystem::path ShippedDataFor(const Options& o);

// What a wait saw of the link, for the line that says why nothing was identified. Noted after
// every tick, on the link thread.
struct LinkSeen {
    bool bridge = false;                     // the port was open at some tick
    std::optional<PortFailure> portFailure;  // why the port would not open, at the last tick
    std::string oddAnswer;  // what answered in place of the device, at the last tick
    BridgeFinding finding = BridgeFinding::NoBridge;  // what the last look for the bridge found
    std::string portProblem;  // the last port problem the link reported (Session's view)
    void Note(ConnectionMonitor& m);
};

// The last line when nothing was identified: a port that could not be opened (the final word,
// not "no bridge"), a bridge without its driver and what to install, a device list the system
// would not give, no bridge at all, or something that answered but not as the device does.
// Empty when the port was open and nothing answered; each command says that in its own words.
std::string WhyNothingIdentified(const LinkSeen& seen, const Options& o);

// Starts the session, chooses `mode` and waits until its device answers (the ESC or the card
// identified, something answering in Fix Mode). `onAnswer` runs on the link thread at the tick
// it answered. When nothing answered in time, says why on `err` (`silence` when the port was
// open and nothing answered at all) and returns false; `seen` keeps what the wait saw.
bool WaitForDevice(Session& session, const Options& o, DeviceMode mode, const std::string& silence,
                   std::ostream& err, LinkSeen* seen = nullptr,
                   const std::function<void(ConnectionMonitor&)>& onAnswer = {});

// Chooses Esc mode and waits until the ESC is identified and its settings read. `noEscHint`
// is added to the line that says no ESC answered.
int ConnectEsc(Session& session, const Options& o, std::ostream& err,
               const std::string& noEscHint = {});

// Reads the one option a command takes (`--mode`, `--format`), which must be one of `choices`;
// `value` keeps its default when the option is absent. False after saying what is wrong.
bool ReadChoiceOption(const Options& o, const std::string& option,
                      const std::vector<std::string>& choices, std::string& value,
                      std::ostream& err);

// The identified ESC as identify and report show it.
std::string EscIdentityText(Session& session);

int Ports(std::ostream& out, std::ostream& err);
int Identify(const Options& o, std::ostream& out, std::ostream& err);
int Read(const Options& o, std::ostream& out, std::ostream& err);
int Write(const Options& o, std::ostream& out, std::ostream& err);
int Set(const Options& o, std::ostream& out, std::ostream& err);
int Defaults(const Options& o, std::ostream& out, std::ostream& err);
int FlashEsc(const Options& o, std::ostream& out, std::ostream& err);
int FlashCard(const Options& o, std::ostream& out, std::ostream& err);
// diff A [B]: the settings that differ (B is the ESC when not given); exit 4 when any do.
int Diff(const Options& o, std::ostream& out, std::ostream& err);
int Backups(const Options& o, std::ostream& out, std::ostream& err);
int Explain(const Options& o, std::ostream& out, std::ostream& err);
int Doctor(const Options& o, std::ostream& out, std::ostream& err);
int Report(const Options& o, std::ostream& out, std::ostream& err);
// vornactl simulate: the simulated devices answer through pseudo-terminals, which Windows does
// not have; the Windows build says so instead (SimulateCommandWin32.cpp).
int Simulate(const Options& o, std::ostream& out, std::ostream& err);
// What --help adds about simulate: nothing where it is there, a note where it is not.
std::string SimulateNote();

}  // namespace vorna::cli
