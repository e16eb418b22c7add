#include "cli/Vornactl.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <mutex>
#include <optional>
#include <sstream>
#include <thread>

#include <pwd.h>
#include <sys/utsname.h>
#include <unistd.h>

#include "Version.h"
#include "cli/Session.h"
#include "cli/SettingsText.h"
#include "cli/TerminalText.h"
#include "cli/TransferProgress.h"
#include "firmware/CardUpdate.h"
#include "firmware/FirmwareImages.h"
#include "firmware/FirmwareUpdater.h"
#include "link/BridgeDiscovery.h"
#include "link/PortCheck.h"
#include "protocol/ModelTypes.h"
#include "settings/Catalogue.h"
#include "settings/Codec.h"
#include "settings/IniFile.h"
#include "settings/Profiles.h"
#include "sim/SimulatedCard.h"
#include "sim/SimulatedEsc.h"

namespace vorna::cli {
namespace {

using namespace std::chrono_literals;

constexpr const char* kUsage =
    "usage:\n"
    "  vornactl ports | --version | --help\n"
    "  vornactl [--port PATH] [--trace] [--timeout SEC] identify [--mode esc|card|fix]\n"
    "  vornactl [--port PATH] [--trace] [--timeout SEC] read [--format text|cfg|json] [-o FILE]\n"
    "  vornactl [--port PATH] [--trace] [--timeout SEC] write FILE.cfg\n"
    "  vornactl [--port PATH] [--trace] [--timeout SEC] set \"NAME=VALUE\" ...\n"
    "  vornactl [--port PATH] [--trace] [--timeout SEC] defaults\n"
    "  vornactl [--port PATH] [--trace] [--timeout SEC] flash-esc IMAGE.mmc [--fix] [--force]\n"
    "  vornactl [--port PATH] [--trace] [--timeout SEC] flash-card IMAGE.xup\n"
    "  vornactl [--port PATH] doctor\n"
    "  vornactl [--port PATH] [--trace] [--timeout SEC] report FILE\n"
    "  vornactl simulate esc --model N | card  [--link PATH] [--line-rate] [--fault NAME]\n"
    "\n"
    "Without --port the first CP210x bridge (USB 10c4:ea60) is used. --timeout takes 1 to 3600\n"
    "seconds (default 10). read -o FILE replaces FILE only once the settings were read.\n"
    "flash-esc and flash-card check the image before anything is sent; --force flashes an ESC\n"
    "image with a doubtful record. Their progress goes to standard error: a bar on a terminal,\n"
    "else a line per percentage.\n"
    "doctor says what stands between you and the port (driver, udev rule, permission, another\n"
    "program holding it) and what to do; it exits 0 when the port can be opened, else 1.\n"
    "report FILE writes a text for support: version, system, the doctor's findings and the\n"
    "connected ESC's identity, settings and byte trace (--timeout defaults to 5 there).\n"
    "Exit codes: 0 done, 1 device or link failure, 2 usage, 3 file problem.\n";

// Long enough for any device; short enough that the waits computed from it cannot overflow.
constexpr int kMaxTimeoutSec = 3600;

struct Options {
    std::string port;
    bool trace = false;
    int timeoutSec = 10;
    bool timeoutGiven = false;
    bool errTerminal = false;  // standard error is a terminal: progress as a bar
    std::string command;
    std::vector<std::string> args;
};

std::string Hex(const IdentityBytes& bytes) {
    std::string text;
    for (auto b : bytes) {
        char h[4];
        std::snprintf(h, sizeof h, "%02x ", b);
        text += h;
    }
    text.pop_back();
    return text;
}

BridgeLocation LocationFor(const Options& o) {
    BridgeLocation location;
    location.fixedPath = o.port;
    return location;
}

// What a wait saw of the link, for the line that says why nothing was identified. Noted after
// every tick, on the link thread.
struct LinkSeen {
    bool bridge = false;         // the port was open at some tick
    PortOpenResult portFailure;  // why the port could not be opened, at the last tick
    std::string oddAnswer;       // what answered in place of the device, at the last tick
    void Note(ConnectionMonitor& m) {
        bridge = bridge || m.Link().GetUsbState() == UsbState::Connected;
        portFailure = m.Link().openFailure;
        oddAnswer = m.OddAnswer();
    }
};

// The last line when nothing was identified: a port that could not be opened (the final word,
// not "no bridge"), no bridge at all, or something that answered but not as the device does.
// Empty when the port was open and nothing answered; each command says that in its own words.
std::string WhyNothingIdentified(const LinkSeen& seen, const Options& o) {
    if (seen.portFailure.failure != OpenFailure::None) {
        // The holder's name comes from the system's process table: shown escaped like any text
        // the program did not write itself.
        return "vornactl: " +
               Shown(DescribeOpenFailure(seen.portFailure.path, seen.portFailure, false)) + "\n";
    }
    if (!seen.bridge) {
        return "vornactl: no bridge found" +
               (o.port.empty() ? std::string() : " at " + Shown(o.port)) + " within " +
               std::to_string(o.timeoutSec) + " s. Is the USB link plugged in?\n";
    }
    if (!seen.oddAnswer.empty()) {
        return "vornactl: " + seen.oddAnswer +
               " Is this the VORNA USB link, with the right device connected to it?\n";
    }
    return {};
}

// Chooses Esc mode and waits until the ESC is identified and its settings read.
int ConnectEsc(Session& session, const Options& o, std::ostream& err) {
    session.Start();
    session.Do([](ConnectionMonitor& m) { m.ChooseEsc(); });
    LinkSeen seen;
    const bool identified = session.WaitAfterTicks(
        [&](ConnectionMonitor& m) {
            seen.Note(m);
            return m.Link().GetDeviceState() == DeviceState::Connected;
        },
        std::chrono::seconds(o.timeoutSec));
    if (!identified) {
        const std::string why = WhyNothingIdentified(seen, o);
        if (!why.empty()) {
            err << why;
        } else {
            err << "vornactl: no ESC answered within " << o.timeoutSec
                << " s. Is the ESC connected to the link and switched on?\n";
        }
        return kExitDevice;
    }
    if (!session.setup.HasValidRecord()) {
        err << "vornactl: the ESC was identified but did not send its settings.\n";
        return kExitDevice;
    }
    return kExitOk;
}

int Ports(std::ostream& out) {
    const auto bridges = ListBridges("/sys", "/dev");
    if (bridges.empty()) {
        out << "No CP210x bridge (USB 10c4:ea60) found.\n";
        return kExitOk;
    }
    for (const auto& b : bridges) {
        // Product and serial are the device's own strings, shown escaped.
        out << Shown(b.node);
        if (!b.product.empty()) out << "  " << Shown(b.product);
        if (!b.serial.empty()) out << "  serial " << Shown(b.serial);
        out << "  (" << Shown(b.usbPath) << ")\n";
    }
    return kExitOk;
}

// Reads the one option a command takes (`--mode`, `--format`), which must be one of `choices`;
// `value` keeps its default when the option is absent. False after saying what is wrong.
bool ReadChoiceOption(const Options& o, const std::string& option,
                      const std::vector<std::string>& choices, std::string& value,
                      std::ostream& err) {
    for (std::size_t i = 0; i < o.args.size(); ++i) {
        if (o.args[i] == option && i + 1 < o.args.size()) {
            value = o.args[++i];
        } else {
            err << "vornactl: unknown argument to " << o.command << ": " << Shown(o.args[i]) << "\n"
                << kUsage;
            return false;
        }
    }
    if (std::find(choices.begin(), choices.end(), value) == choices.end()) {
        err << "vornactl: " << option << " takes ";
        for (std::size_t i = 0; i < choices.size(); ++i) {
            err << (i == 0 ? "" : i + 1 == choices.size() ? " or " : ", ") << choices[i];
        }
        err << ", not " << Shown(value) << "\n";
        return false;
    }
    return true;
}

// The identified ESC as identify and report show it.
std::string EscIdentityText(Session& session) {
    const auto texts = session.firmware.EscTexts();
    const SetupState state = session.setup.Snapshot();
    std::ostringstream text;
    text << "Identity: " << Hex(session.firmware.Identity()) << "\n"
         << "Model type: " << state.modelType << "\n"
         << "Version: " << Shown(state.versionText) << "\n"
         << "Model: " << Shown(texts.model) << "\n"
         << "Hardware: " << Shown(texts.hardware) << "\n"
         << "Firmware: " << Shown(texts.firmware) << "\n";
    return text.str();
}

int Identify(const Options& o, std::ostream& out, std::ostream& err) {
    std::string mode = "esc";
    if (!ReadChoiceOption(o, "--mode", {"esc", "card", "fix"}, mode, err)) return kExitUsage;
    Session session(LocationFor(o), err, o.trace);
    session.Start();
    IdentityBytes fixIdentity{};
    session.Do([&](ConnectionMonitor& m) {
        if (mode == "esc") m.ChooseEsc();
        if (mode == "card") m.ChooseProgramCard();
        if (mode == "fix") m.ChooseFixMode();
    });
    LinkSeen seen;
    const bool identified = session.WaitAfterTicks(
        [&](ConnectionMonitor& m) {
            seen.Note(m);
            if (mode == "card") return m.CardState() == DeviceState::Connected;
            if (m.Link().GetDeviceState() != DeviceState::Connected) return false;
            if (mode == "fix") {
                std::copy_n(m.Link().rxBuffer.begin(), fixIdentity.size(), fixIdentity.begin());
            }
            return true;
        },
        std::chrono::seconds(o.timeoutSec));
    if (!identified) {
        const std::string why = WhyNothingIdentified(seen, o);
        if (!why.empty()) {
            err << why;
        } else {
            err << "vornactl: no device answered in " << mode << " mode within " << o.timeoutSec
                << " s.\n";
        }
        return kExitDevice;
    }
    if (mode == "card") {
        out << "Identity: " << Hex(session.firmware.Identity()) << "\n"
            << "Model: " << Shown(session.firmware.CardModelText()) << "\n"
            << "Firmware: " << Shown(session.firmware.CardFirmwareText()) << "\n";
    } else if (mode == "fix") {
        out << "Identity: " << Hex(fixIdentity) << "\n"
            << "A device answers in Fix Mode.\n";
    } else {
        out << EscIdentityText(session);
    }
    return kExitOk;
}

// With `-o FILE` the text replaces FILE only once the settings were read, through a temporary
// file renamed over it (WriteFileReplacing): a failed read leaves FILE as it was, where a shell
// redirection would already have emptied it.
int Read(const Options& o, std::ostream& out, std::ostream& err) {
    std::string format = "text";
    std::optional<std::filesystem::path> output;
    Options choice = o;
    choice.args.clear();
    for (std::size_t i = 0; i < o.args.size(); ++i) {
        if ((o.args[i] == "-o" || o.args[i] == "--output") && i + 1 < o.args.size()) {
            output = o.args[++i];
            if (output->empty()) {
                err << "vornactl: " << o.args[i - 1] << " takes a file name\n";
                return kExitUsage;
            }
        } else {
            choice.args.push_back(o.args[i]);
        }
    }
    if (!ReadChoiceOption(choice, "--format", {"text", "cfg", "json"}, format, err)) {
        return kExitUsage;
    }
    const std::string_view kind = format == "cfg" ? kSettingsFileKind : std::string_view("file");
    std::string problem;
    // Checked before the device is asked, and again when written.
    if (output && !CheckReplaceable(*output, kind, &problem)) {
        err << "vornactl: " << Shown(problem) << "\n";
        return kExitFile;
    }
    Session session(LocationFor(o), err, o.trace);
    if (int rc = ConnectEsc(session, o, err); rc != kExitOk) return rc;
    const SetupState state = session.setup.Snapshot();
    const std::string firmware = session.setup.FirmwareText();
    std::string text;
    if (format == "cfg") {
        text = SettingsFileText(state);
    } else if (format == "json") {
        text = SettingsJson(state, firmware);
    } else {
        text = SettingsTable(state, firmware);
    }
    if (!output) {
        out << text;
        return kExitOk;
    }
    if (!WriteFileReplacing(*output, text, &problem, kind)) {
        err << "vornactl: " << Shown(problem) << "\n";
        return kExitFile;
    }
    out << "Settings saved in " << Shown(output->string()) << ".\n";
    return kExitOk;
}

// Sends the selections in `state`, waits for the write and its read-back, and says how it
// ended. Only a write whose read-back matches counts as done.
int WriteState(Session& session, const SetupState& wanted, std::ostream& err) {
    session.setup.Edit([&](SetupState& s) {
        for (ParamId id : kParameters) s.List(id).selection = wanted.List(id).selection;
    });
    session.view.TakeMessages();
    session.view.showProgress = true;
    session.setup.RequestWrite();
    WriteOutcome outcome = WriteOutcome::None;
    const bool finished = session.WaitAfterTicks(
        [&](ConnectionMonitor& m) {
            if (session.setup.WriteRequested() || m.Transfer().VerifyPending()) return false;
            outcome = m.Transfer().LastWrite();
            return true;
        },
        60s);
    session.view.showProgress = false;
    err << "\n";
    const std::vector<std::string> messages = session.view.TakeMessages();
    if (!finished) {
        err << "vornactl: the write did not finish within 60 s.\n";
        return kExitDevice;
    }
    if (outcome == WriteOutcome::LinkLost) {
        err << "vornactl: the link was lost during the write, so the ESC may now hold a mix of its "
               "old and new settings. Connect it again and check them with 'vornactl read'.\n";
        return kExitDevice;
    }
    if (outcome != WriteOutcome::Verified) {
        err << "vornactl: the write failed"
            << (messages.empty() ? std::string() : ": " + messages.back()) << "\n";
        return kExitDevice;
    }
    return kExitOk;
}

int Write(const Options& o, std::ostream& out, std::ostream& err) {
    if (o.args.size() != 1) {
        err << "vornactl: write takes one settings file\n" << kUsage;
        return kExitUsage;
    }
    const std::filesystem::path file = o.args[0];
    // Read and checked before the port is opened: a folder, a FIFO or device, a file too large
    // or one that is no settings file is refused with nothing sent.
    const SettingsFile settings = ReadSettingsFile(file);
    if (!settings.ok) {
        err << "vornactl: " << Shown(settings.error) << "\n";
        return kExitFile;
    }
    Session session(LocationFor(o), err, o.trace);
    if (int rc = ConnectEsc(session, o, err); rc != kExitOk) return rc;
    SetupState state = session.setup.Snapshot();
    const ImportResult imported = ApplySettingsFile(state, settings);
    // Nothing is sent when any value of the file does not fit this ESC, nor when it sets none.
    for (const auto& p : imported.problems) {
        err << Shown(file.string()) << ":" << p.line << ": " << Shown(p.key) << "="
            << Shown(p.value) << ": " << Shown(p.why) << "\n";
    }
    for (const auto& p : imported.ignored) {
        err << Shown(file.string()) << ":" << p.line << ": " << Shown(p.key) << " " << p.why
            << "\n";
    }
    if (!imported.ok) {
        err << "vornactl: " << Shown(imported.error) << "; nothing was sent.\n";
        return kExitFile;
    }
    if (!imported.problems.empty()) {
        err << "vornactl: nothing was sent.\n";
        return kExitFile;
    }
    if (int rc = WriteState(session, state, err); rc != kExitOk) return rc;
    if (const std::string skipped = SkippedText(imported); !skipped.empty()) {
        err << Shown(skipped) << "\n";
    }
    out << "Wrote " << imported.applied << " settings from " << Shown(file.string()) << ".\n";
    return kExitOk;
}

int Set(const Options& o, std::ostream& out, std::ostream& err) {
    if (o.args.empty()) {
        err << "vornactl: set needs at least one \"NAME=VALUE\"\n" << kUsage;
        return kExitUsage;
    }
    std::vector<std::pair<std::string, std::string>> assignments;
    for (const auto& arg : o.args) {
        const auto eq = arg.find('=');
        if (eq == std::string::npos || eq == 0) {
            err << "vornactl: expected NAME=VALUE, not \"" << Shown(arg) << "\"\n";
            return kExitUsage;
        }
        assignments.emplace_back(arg.substr(0, eq), arg.substr(eq + 1));
    }
    Session session(LocationFor(o), err, o.trace);
    if (int rc = ConnectEsc(session, o, err); rc != kExitOk) return rc;
    SetupState state = session.setup.Snapshot();
    std::vector<ParamId> changed;
    for (const auto& [name, value] : assignments) {
        std::string problem;
        const std::optional<ParamId> id = ApplyAssignment(state, name, value, problem);
        if (!id) {
            err << "vornactl: " << ShownLines(problem) << "\n";
            return kExitUsage;
        }
        changed.push_back(*id);
    }
    if (int rc = WriteState(session, state, err); rc != kExitOk) return rc;
    for (ParamId id : changed) {
        out << ListCaption(id, state.modelType) << ": " << Shown(*state.List(id).SelectedText())
            << "\n";
    }
    return kExitOk;
}

int Defaults(const Options& o, std::ostream& out, std::ostream& err) {
    if (!o.args.empty()) {
        err << "vornactl: defaults takes no arguments\n" << kUsage;
        return kExitUsage;
    }
    Session session(LocationFor(o), err, o.trace);
    if (int rc = ConnectEsc(session, o, err); rc != kExitOk) return rc;
    // The settings about to be replaced are kept, as the window keeps them.
    const ExportResult backup =
        BackUpSettings(session.setup.Snapshot(), BackupFolder(), std::time(nullptr));
    if (!backup.ok) {
        err << "vornactl: " << Shown(backup.error) << "; nothing was restored.\n";
        return kExitFile;
    }
    session.view.TakeMessages();
    session.setup.RequestDefaults(backup.writtenPath.string());
    RestoreOutcome outcome = RestoreOutcome::None;
    const bool finished = session.WaitAfterTicks(
        [&](ConnectionMonitor& m) {
            if (!session.setup.DefaultRequested()) {
                outcome = m.Transfer().LastRestore();
                return true;
            }
            // A restore whose command was not taken is tried again by the window; here one
            // failure is the answer.
            if (m.Transfer().LastRestore() == RestoreOutcome::Failed) {
                session.setup.ClearDefaultRequest();
                outcome = RestoreOutcome::Failed;
                return true;
            }
            return false;
        },
        30s);
    const std::vector<std::string> messages = session.view.TakeMessages();
    if (!finished || outcome != RestoreOutcome::Restored) {
        err << "vornactl: restoring the defaults failed"
            << (messages.empty() ? std::string(" (no answer)") : ": " + ShownLines(messages.back()))
            << "\n";
        return kExitDevice;
    }
    out << "Factory settings restored. The settings before are saved in "
        << Shown(backup.writtenPath.string()) << ".\n"
        << SettingsTable(session.setup.Snapshot(), session.setup.FirmwareText());
    return kExitOk;
}

// Prints the messages an update left while the command held them, but `worded`, which the
// command prints in its own words.
void PrintMessagesBut(const std::string& worded, const std::vector<std::string>& messages,
                      std::ostream& err) {
    for (const std::string& m : messages) {
        if (m != worded) err << "vornactl: " << ShownLines(m) << "\n";
    }
}

extern "C" void OnQuitDuringUpdate(int) {
    static const char kText[] = "\nvornactl: waiting for the firmware update to end\n";
    // A lost line on a closed standard error changes nothing: the update goes on either way.
    const ssize_t written = ::write(STDERR_FILENO, kText, sizeof kText - 1);
    static_cast<void>(written);
}

// An update cut off half-way can leave the device without working firmware, so while one runs
// Ctrl-C and a polite kill only say that the command waits for it.
class QuitSignalsHeld {
public:
    QuitSignalsHeld() {
        struct sigaction held {};
        held.sa_handler = OnQuitDuringUpdate;
        held.sa_flags = SA_RESTART;
        sigemptyset(&held.sa_mask);
        sigaction(SIGINT, &held, &int_);
        sigaction(SIGTERM, &held, &term_);
    }
    ~QuitSignalsHeld() {
        sigaction(SIGINT, &int_, nullptr);
        sigaction(SIGTERM, &term_, nullptr);
    }
    QuitSignalsHeld(const QuitSignalsHeld&) = delete;
    QuitSignalsHeld& operator=(const QuitSignalsHeld&) = delete;

private:
    struct sigaction int_ {};
    struct sigaction term_ {};
};

// Replaces the ESC's firmware with IMAGE (any .mmc file). The image is read and checked before
// the port is opened: a refused image, or a suspect one without --force, exits 3 with no byte
// sent. In Esc mode the ESC must be identified first (its settings are saved as a backup); with
// --fix the update starts in Fix Mode, also without an identified ESC.
int FlashEsc(const Options& o, std::ostream& out, std::ostream& err) {
    std::string imageArg;
    bool fix = false;
    bool force = false;
    for (const std::string& a : o.args) {
        if (a == "--fix") {
            fix = true;
        } else if (a == "--force") {
            force = true;
        } else if (!a.empty() && a[0] == '-') {
            err << "vornactl: unknown argument to flash-esc: " << Shown(a) << "\n" << kUsage;
            return kExitUsage;
        } else if (imageArg.empty()) {
            imageArg = a;
        } else {
            err << "vornactl: flash-esc takes one image file\n" << kUsage;
            return kExitUsage;
        }
    }
    if (imageArg.empty()) {
        err << "vornactl: flash-esc needs an image file\n" << kUsage;
        return kExitUsage;
    }
    const std::filesystem::path image = imageArg;
    const auto read = ReadEscImage(image);
    if (!read.Ok()) {
        err << "vornactl: image refused: " << Shown(read.Refusal().Text())
            << "\nNothing was sent.\n";
        return kExitFile;
    }
    if (read.Value().firstSuspectLine && !force) {
        const ImageRefusal suspect{image.string(), read.Value().firstSuspectLine, std::nullopt,
                                   read.Value().suspectProblem};
        err << "vornactl: the image does not look sound: " << Shown(suspect.Text())
            << "\nNothing was sent. Use --force to flash it anyway.\n";
        return kExitFile;
    }

    // Declared first: the link thread may draw it until the session has stopped.
    TransferProgress progress(err, o.errTerminal);
    Session session(LocationFor(o), err, o.trace);
    if (fix) {
        session.Start();
        session.Do([](ConnectionMonitor& m) { m.ChooseFixMode(); });
        LinkSeen seen;
        const bool answered = session.WaitAfterTicks(
            [&](ConnectionMonitor& m) {
                seen.Note(m);
                return m.Link().GetDeviceState() == DeviceState::Connected;
            },
            std::chrono::seconds(o.timeoutSec));
        if (!answered) {
            if (!seen.bridge || seen.portFailure.failure != OpenFailure::None) {
                err << WhyNothingIdentified(seen, o);
                return kExitDevice;
            }
            if (seen.oddAnswer.empty()) {
                err << "vornactl: nothing answered in Fix Mode; trying the update anyway.\n";
            } else {
                err << "vornactl: " << seen.oddAnswer << " Trying the update anyway.\n";
            }
        }
    } else if (int rc = ConnectEsc(session, o, err); rc != kExitOk) {
        return rc;
    }

    session.firmware.SetListener([&] {
        constexpr auto kEsc = FirmwarePageLink::DeviceKind::Esc;
        progress.Percent(session.firmware.Progress(kEsc));
        if (const auto sent = session.firmware.Sent(kEsc)) progress.Bytes(sent->sent, sent->total);
    });
    session.view.TakeMessages();
    // The update's messages are worded below, once.
    session.view.echoMessages = false;
    std::optional<QuitSignalsHeld> held(std::in_place);
    session.Do([&](ConnectionMonitor&) {
        EscUpdate& update = session.Esc();
        if (force) update.confirmSuspect = [](const std::string&) { return true; };
        update.backup = [&session] {
            const ExportResult backup =
                BackUpSettings(session.setup.Snapshot(), BackupFolder(), std::time(nullptr));
            return SettingsBackupResult{backup.ok ? backup.writtenPath.string() : "",
                                        backup.ok ? "" : backup.error};
        };
        update.Request(image);
    });
    // Each record may take its reply time-out and the read-back of its bytes.
    const auto budget = std::chrono::seconds(o.timeoutSec + 10) +
                        read.Value().records.size() * std::chrono::milliseconds(2500);
    EscUpdate::Result result;
    const bool ended = session.WaitAfterTicks(
        [&](ConnectionMonitor&) {
            if (session.Esc().Requested()) return false;
            result = session.Esc().LastResult();
            return true;
        },
        std::chrono::duration_cast<std::chrono::milliseconds>(budget));
    held.reset();
    session.firmware.SetListener(nullptr);
    progress.End();
    const std::vector<std::string> messages = session.view.TakeMessages();
    session.view.echoMessages = true;
    if (!ended) {
        PrintMessagesBut("", messages, err);
        err << "vornactl: the update did not end in time\n";
        return kExitDevice;
    }
    if (result.outcome != EscUpdate::Outcome::Finished) {
        // A refusal found when the update read the image again: nothing was sent either.
        PrintMessagesBut(result.message, messages, err);
        err << "vornactl: "
            << (result.message.empty() ? std::string("the update did not run")
                                       : ShownLines(result.message))
            << "\n";
        return result.outcome == EscUpdate::Outcome::Refused ? kExitFile : kExitDevice;
    }
    // The update's own messages say nothing that these lines do not.
    out << "ESC firmware updated from " << Shown(image.string()) << ".\n";
    if (result.identified) {
        out << "The ESC now reports: " << Shown(result.firmwareText) << "\n";
    } else {
        out << "The check after the update got no answer from the ESC.\n";
    }
    if (!result.backup.path.empty()) {
        out << "Its settings from before the update are saved in " << Shown(result.backup.path)
            << ".\n";
    } else if (!result.backup.error.empty()) {
        out << "Its settings could not be saved before the update: " << Shown(result.backup.error)
            << "\n";
    }
    return kExitOk;
}

// The firmware page as flash-card sees it: the image named on the command line stands in for
// the page's choice, progress goes to standard error, and the rest is the session's own page.
class CommandLineCardPage : public FirmwarePageLink {
public:
    CommandLineCardPage(FirmwarePageLink& page, std::filesystem::path image,
                        TransferProgress& progress)
        : page_(page), image_(std::move(image)), progress_(progress) {}

    void Request() { requested_ = true; }
    UpdateStatus CardStatus() const { return cardStatus_; }

    void StoreIdentity(const IdentityBytes& identity) override { page_.StoreIdentity(identity); }
    void ShowIdentity(DeviceKind kind) override { page_.ShowIdentity(kind); }
    std::string EscModelText() const override { return page_.EscModelText(); }
    std::string CurrentFirmwareText() const override { return page_.CurrentFirmwareText(); }
    void SetCurrentFirmwareText(const std::string& text) override {
        page_.SetCurrentFirmwareText(text);
    }
    bool UpdateRequested(DeviceKind kind) const override {
        return kind == DeviceKind::Card && requested_;
    }
    void ClearUpdateRequest(DeviceKind kind) override {
        if (kind == DeviceKind::Card) requested_ = false;
    }
    std::filesystem::path SelectedImagePath(DeviceKind kind) const override {
        return kind == DeviceKind::Card ? image_ : std::filesystem::path{};
    }
    void ShowUpdateStatus(DeviceKind kind, UpdateStatus status) override {
        if (kind == DeviceKind::Card) cardStatus_ = status;
    }
    void ShowUpdateProgress(DeviceKind kind, int percent) override {
        if (kind == DeviceKind::Card) progress_.Percent(percent);
    }
    void ShowBytesSent(DeviceKind kind, std::size_t sent, std::size_t total) override {
        if (kind == DeviceKind::Card) progress_.Bytes(sent, total);
    }

private:
    FirmwarePageLink& page_;
    std::filesystem::path image_;
    TransferProgress& progress_;
    std::atomic<bool> requested_{false};
    std::atomic<UpdateStatus> cardStatus_{UpdateStatus::Ready};
};

int FlashCard(const Options& o, std::ostream& out, std::ostream& err) {
    if (o.args.size() != 1) {
        err << "vornactl: flash-card takes one card image\n" << kUsage;
        return kExitUsage;
    }
    const std::filesystem::path imagePath = o.args[0];
    // Checked before the port is even opened: a refused image never reaches the card.
    const ImageResult<CardImage> image = ReadCardImage(imagePath);
    if (!image.Ok()) {
        err << "vornactl: " << Shown(image.Refusal().Text()) << "; nothing was sent.\n";
        return kExitFile;
    }

    TransferProgress progress(err, o.errTerminal);
    Session session(LocationFor(o), err, o.trace);
    CommandLineCardPage page(session.firmware, imagePath, progress);
    ConnectionMonitor* monitor = nullptr;
    CardUpdate update(
        session.link, page, session.view, session.Timer(),
        [&monitor] { return monitor->CardState() == DeviceState::Connected; },
        [&monitor] { monitor->CardReplaced(); });
    FirmwareUpdater updates(nullptr, &update);
    session.Start();
    session.Do([&](ConnectionMonitor& m) {
        monitor = &m;
        m.SetFirmwareUpdates(&updates);
        m.ChooseProgramCard();
    });
    // The update refers to objects of this function: it leaves the tick before they go.
    auto detach = [&session] {
        session.Do([](ConnectionMonitor& m) { m.SetFirmwareUpdates(nullptr); });
    };

    LinkSeen seen;
    const bool found = session.WaitAfterTicks(
        [&seen](ConnectionMonitor& m) {
            seen.Note(m);
            return m.CardState() == DeviceState::Connected;
        },
        std::chrono::seconds(o.timeoutSec));
    if (!found) {
        detach();
        const std::string why = WhyNothingIdentified(seen, o);
        if (!why.empty()) {
            err << why;
        } else {
            err << "vornactl: no program card answered within " << o.timeoutSec
                << " s. Is the card connected to the link?\n";
        }
        return kExitDevice;
    }
    session.view.TakeMessages();
    // The update's messages are worded below, once.
    session.view.echoMessages = false;
    std::optional<QuitSignalsHeld> held(std::in_place);
    page.Request();
    // Each block may be sent four times and each send waits up to two seconds for the card.
    const auto limit = std::chrono::seconds(60) + image.Value().blocks.size() * 10s;
    const bool ended = session.WaitAfterTicks(
        [&page](ConnectionMonitor&) {
            return !page.UpdateRequested(FirmwarePageLink::DeviceKind::Card);
        },
        limit);
    held.reset();
    detach();
    progress.End();
    const std::vector<std::string> messages = session.view.TakeMessages();
    session.view.echoMessages = true;
    if (!ended || page.CardStatus() != FirmwarePageLink::UpdateStatus::Finished) {
        const std::string last = messages.empty() ? std::string() : messages.back();
        PrintMessagesBut(last, messages, err);
        err << "vornactl: the program card update failed"
            << (last.empty() ? std::string(" (no answer)") : ": " + ShownLines(last)) << "\n";
        return kExitDevice;
    }
    out << "Program card firmware updated: " << image.Value().bytes.size() << " bytes in "
        << image.Value().blocks.size() << " blocks.\n";
    return kExitOk;
}

// The port check as vornactl runs it: text from the system escaped, and the port opened once
// as the last word on what the check cannot see.
PortCheckResult CheckThePort(const Options& o) {
    PortCheckRequest request;
    request.namedPort = o.port;
    request.tryOpen = true;
    request.quote = [](std::string_view text) { return Shown(text); };
    return CheckPorts(PortCheckPlaces{}, PortUser::ThisProcess(), request);
}

int Doctor(const Options& o, std::ostream& out, std::ostream& err) {
    if (!o.args.empty()) {
        err << "vornactl: doctor takes no arguments\n" << kUsage;
        return kExitUsage;
    }
    const PortCheckResult check = CheckThePort(o);
    out << PortCheckText(check);
    return check.ready ? kExitOk : kExitDevice;
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
    std::string home;
    if (const char* env = std::getenv("HOME")) home = env;
    while (home.size() > 1 && home.back() == '/') home.pop_back();
    if (home.size() > 1) {
        for (std::size_t at = text.find(home); at != std::string::npos; at = text.find(home, at)) {
            const std::size_t end = at + home.size();
            if (end < text.size() && text[end] != '/' && text[end] != ' ' && text[end] != '\n') {
                at = end;
                continue;
            }
            text.replace(at, home.size(), "~");
            ++at;
        }
    }
    std::vector<std::string> users;
    if (const passwd* entry = ::getpwuid(::geteuid()); entry && entry->pw_name)
        users.emplace_back(entry->pw_name);
    if (const char* env = std::getenv("USER")) users.emplace_back(env);
    // root names nobody in particular, and says which account the report was made from.
    for (const std::string& user : users) {
        if (user.size() > 1 && user != "root") ReplaceWord(text, user, "<user>");
    }
    char host[256] = {};
    if (::gethostname(host, sizeof host - 1) == 0 && std::strlen(host) > 1)
        ReplaceWord(text, host, "<host>");
    return text;
}

// "Linux 6.1.0-18-amd64 x86_64, Debian GNU/Linux 12 (bookworm)"
std::string SystemText() {
    std::string text = "unknown";
    utsname names{};
    if (::uname(&names) == 0) {
        text = std::string(names.sysname) + " " + names.release + " " + names.machine;
    }
    std::ifstream release("/etc/os-release");
    for (std::string line; std::getline(release, line);) {
        if (line.rfind("PRETTY_NAME=", 0) != 0) continue;
        std::string name = line.substr(12);
        if (name.size() >= 2 && (name.front() == '"' || name.front() == '\'') &&
            name.back() == name.front())
            name = name.substr(1, name.size() - 2);
        text += ", " + name;
        break;
    }
    return Shown(text);
}

// How long the report waits for an ESC when no --timeout is given: an ESC on the link answers
// within a few polls, and a racer without one should not wait long for the file.
constexpr int kReportWaitSec = 5;

// One text file for support: the version, the system, the port check, and the connected ESC's
// identity and settings with the bytes of that exchange. No ESC answering is reported, not a
// failure: the file is as useful without one. Written whole or not at all, like read -o.
int Report(const Options& o, std::ostream& out, std::ostream& err) {
    if (o.args.size() != 1 || o.args[0].empty()) {
        err << "vornactl: report takes one file name\n" << kUsage;
        return kExitUsage;
    }
    const std::filesystem::path file = o.args[0];
    std::string problem;
    if (!CheckReplaceable(file, "report", &problem)) {
        err << "vornactl: " << Shown(problem) << "\n";
        return kExitFile;
    }
    std::ostringstream text;
    text << "VORNA USB Link report\n\n"
         << "Program: vornactl " << kVersion << "\n"
         << "System: " << SystemText() << "\n\n"
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
    if (!WriteFileReplacing(file, Redacted(text.str()), &problem, "report")) {
        err << "vornactl: " << Shown(problem) << "\n";
        return kExitFile;
    }
    out << "Report written to " << Shown(file.string()) << " (" << check.verdict << ")\n";
    return kExitOk;
}

std::atomic<bool> gStop{false};
extern "C" void OnStopSignal(int) {
    gStop = true;
}

int Simulate(const Options& o, std::ostream& out, std::ostream& err) {
    if (o.args.empty() || (o.args[0] != "esc" && o.args[0] != "card")) {
        err << "vornactl: simulate takes esc or card\n" << kUsage;
        return kExitUsage;
    }
    const bool esc = o.args[0] == "esc";
    int model = -1;
    std::string link;
    bool lineRate = false;
    sim::FaultChoice fault;
    for (std::size_t i = 1; i < o.args.size(); ++i) {
        const std::string& a = o.args[i];
        const bool hasValue = i + 1 < o.args.size();
        if (a == "--model" && esc) {
            const std::optional<int> type =
                hasValue ? WholeNumber(o.args[i + 1], 0, kModelTypeCount - 1) : std::nullopt;
            if (!type) {
                err << "vornactl: --model takes a model type from 0 to " << kModelTypeCount - 1
                    << (hasValue ? ", not \"" + Shown(o.args[i + 1]) + "\"" : std::string())
                    << "\n";
                return kExitUsage;
            }
            model = *type;
            ++i;
        } else if (a == "--link" && hasValue) {
            link = o.args[++i];
        } else if (a == "--line-rate") {
            lineRate = true;
        } else if (a == "--fault" && hasValue) {
            auto f = sim::ParseFault(o.args[++i]);
            if (!f) {
                err << "vornactl: unknown fault " << Shown(o.args[i]) << "; one of "
                    << sim::FaultNames() << "\n";
                return kExitUsage;
            }
            fault = *f;
        } else {
            err << "vornactl: unknown argument to simulate: " << Shown(a) << "\n" << kUsage;
            return kExitUsage;
        }
    }
    if (esc && model < 0) {
        err << "vornactl: simulate esc needs --model N (0 to 17)\n";
        return kExitUsage;
    }
    if (link.empty())
        link =
            (std::filesystem::temp_directory_path() / (esc ? "vorna-esc" : "vorna-card")).string();

    std::unique_ptr<sim::PtyDevice> device;
    if (esc) {
        auto e = std::make_unique<sim::SimulatedEsc>(link, model);
        e->SetFault(fault.fault, fault.record);
        device = std::move(e);
    } else {
        auto c = std::make_unique<sim::SimulatedCard>(link);
        c->SetFault(fault.fault);
        device = std::move(c);
    }
    device->SetLineRate(lineRate);
    std::string error;
    if (!device->Start(&error)) {
        err << "vornactl: cannot start the simulated device: " << Shown(error) << "\n";
        return kExitDevice;
    }
    out << "Simulated "
        << (esc ? "ESC model type " + std::to_string(model) : std::string("program card")) << " at "
        << Shown(link) << " (" << Shown(device->SlavePath()) << ").\n"
        << "Use: vornactl --port " << Shown(link) << " identify" << (esc ? "" : " --mode card")
        << "\n"
        << "Stop with Ctrl-C.\n"
        << std::flush;
    std::signal(SIGINT, OnStopSignal);
    std::signal(SIGTERM, OnStopSignal);
    while (!gStop) std::this_thread::sleep_for(100ms);
    device->Stop();
    out << "Stopped.\n";
    return kExitOk;
}

}  // namespace

int RunVornactl(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                bool errIsTerminal) {
    Options o;
    o.errTerminal = errIsTerminal;
    std::size_t i = 0;
    for (; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool hasValue = i + 1 < args.size();
        if (a == "--port" && hasValue) {
            o.port = args[++i];
        } else if (a == "--trace") {
            o.trace = true;
        } else if (a == "--timeout") {
            // Digits only: "1x", "-3", " 5", "" and numbers past the range are usage errors.
            const std::optional<int> seconds =
                hasValue ? WholeNumber(args[i + 1], 1, kMaxTimeoutSec) : std::nullopt;
            if (!seconds) {
                err << "vornactl: --timeout takes a whole number of seconds from 1 to "
                    << kMaxTimeoutSec
                    << (hasValue ? ", not \"" + Shown(args[i + 1]) + "\"" : std::string()) << "\n";
                return kExitUsage;
            }
            o.timeoutSec = *seconds;
            o.timeoutGiven = true;
            ++i;
        } else if (a == "--help" || a == "-h") {
            out << kUsage;
            return kExitOk;
        } else if (a == "--version") {
            out << "vornactl " << kVersion << "\n";
            return kExitOk;
        } else if (!a.empty() && a[0] == '-') {
            err << "vornactl: unknown option " << Shown(a) << "\n" << kUsage;
            return kExitUsage;
        } else {
            break;
        }
    }
    if (i >= args.size()) {
        err << kUsage;
        return kExitUsage;
    }
    o.command = args[i];
    o.args.assign(args.begin() + static_cast<std::ptrdiff_t>(i) + 1, args.end());
    if (o.command == "ports") return Ports(out);
    if (o.command == "identify") return Identify(o, out, err);
    if (o.command == "read") return Read(o, out, err);
    if (o.command == "write") return Write(o, out, err);
    if (o.command == "set") return Set(o, out, err);
    if (o.command == "defaults") return Defaults(o, out, err);
    if (o.command == "flash-esc") return FlashEsc(o, out, err);
    if (o.command == "flash-card") return FlashCard(o, out, err);
    if (o.command == "doctor") return Doctor(o, out, err);
    if (o.command == "report") return Report(o, out, err);
    if (o.command == "simulate") return Simulate(o, out, err);
    err << "vornactl: unknown command " << Shown(o.command) << "\n" << kUsage;
    return kExitUsage;
}

int RunVornactl(int argc, char** argv) {
    std::signal(SIGPIPE, SIG_IGN);
    std::vector<std::string> args(argv + 1, argv + argc);
    return RunVornactl(args, std::cout, std::cerr, ::isatty(STDERR_FILENO) == 1);
}

}  // namespace vorna::cli
