#include <algorithm>
#include <filesystem>
#include <optional>
#include <ostream>

#include "base/Text.h"
#include "base/Utf8Path.h"
#include "cli/Commands.h"
#include "cli/OutcomeWords.h"
#include "cli/QuitSignals.h"
#include "cli/SettingsText.h"
#include "cli/TerminalText.h"
#include "protocol/Messages.h"
#include "settings/Catalogue.h"
#include "settings/IniFile.h"
#include "settings/Profiles.h"

namespace vorna::cli {

using namespace std::chrono_literals;

int Identify(const Options& o, std::ostream& out, std::ostream& err) {
    std::string mode = "esc";
    if (!ReadChoiceOption(o, "--mode", {"esc", "card", "fix"}, mode, err)) return kExitUsage;
    Session session(LocationFor(o), err, o.trace);
    IdentityBytes fixIdentity{};
    const DeviceMode deviceMode = mode == "card"  ? DeviceMode::Card
                                  : mode == "fix" ? DeviceMode::Fix
                                                  : DeviceMode::Esc;
    if (!WaitForDevice(session, o, deviceMode,
                       "no device answered in " + mode + " mode within " +
                           std::to_string(o.timeoutSec) + " s.",
                       err, nullptr, [&](ConnectionMonitor& m) {
                           // In Fix Mode the identity is not stored: taken as it came.
                           std::copy_n(m.Link().Reply().begin(), fixIdentity.size(),
                                       fixIdentity.begin());
                       })) {
        return kExitDevice;
    }
    if (mode == "card") {
        const IdentityBytes identity = session.firmware.Identity();
        out << "Identity: " << HexBytes(identity.data(), identity.size()) << "\n"
            << "Model: " << Shown(session.firmware.CardModelText()) << "\n"
            << "Firmware: " << Shown(session.firmware.CardFirmwareText()) << "\n";
    } else if (mode == "fix") {
        out << "Identity: " << HexBytes(fixIdentity.data(), fixIdentity.size()) << "\n"
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
            output = PathFromUtf8(o.args[++i]);
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
    // Checked before the device is asked, and again when written.
    if (output) {
        if (const Status replaceable = CheckReplaceable(*output, kind); !replaceable) {
            err << "vornactl: " << Shown(replaceable.Detail()) << "\n";
            return ExitCodeFor(replaceable.Error());
        }
    }
    Session session(LocationFor(o), err, o.trace);
    if (int rc = ConnectEsc(session, o, err); rc != kExitOk) return rc;
    const SetupState state = session.setup.Snapshot();
    const std::string firmware = session.setup.FirmwareText();
    const std::vector<ParamId> unread = session.setup.UnreadSettings();
    std::string text;
    if (format == "cfg") {
        text = SettingsFileText(state);
    } else if (format == "json") {
        text = SettingsJson(state, firmware, unread);
    } else {
        text = SettingsTable(state, firmware, unread);
    }
    // Settings the ESC did not give: what was read is shown, but the read is not called done,
    // nor a file written that would lack them.
    for (const ParamId id : unread) {
        err << "vornactl: " << ListCaption(id, state.modelType)
            << " could not be read: " << msg::kBecNotAnswered << ".\n";
    }
    if (!output) {
        out << text;
        return unread.empty() ? kExitOk : kExitDevice;
    }
    if (!unread.empty()) {
        err << "vornactl: " << Shown(Utf8FromPath(*output)) << " was left as it was.\n";
        return kExitDevice;
    }
    if (const Status written = WriteTextFileReplacing(*output, text, kind); !written) {
        err << "vornactl: " << Shown(written.Detail()) << "\n";
        return ExitCodeFor(written.Error());
    }
    out << "Settings saved in " << Shown(Utf8FromPath(*output)) << ".\n";
    return kExitOk;
}

namespace {

// Sends the selections in `state`, waits for the write and its read-back, and says how it
// ended. Only a write whose read-back matches counts as done. A quit signal meanwhile waits for
// the write's end: cut off, it would leave the ESC with a mix of old and new settings.
int WriteState(Session& session, const SetupState& wanted, std::ostream& err, bool errTerminal) {
    session.setup.Edit([&](SetupState& s) {
        for (ParamId id : kParameters) s.List(id).selection = wanted.List(id).selection;
    });
    session.view.TakeWrite();
    std::optional<QuitSignalsHeld> held(std::in_place, "the settings write");
    session.view.terminal = errTerminal;
    session.view.showProgress = true;
    session.setup.RequestWrite();
    std::optional<WriteOutcome> outcome;
    const bool finished = session.WaitAfterTicks(
        [&](ConnectionMonitor&) {
            outcome = session.view.TakeWrite();
            return outcome.has_value();
        },
        60s);
    held.reset();
    session.view.EndProgress();
    if (!finished) {
        err << "vornactl: the write did not end within 60 s; the ESC may hold a mix of its old "
               "and new settings.\n";
        return kExitDevice;
    }
    if (!outcome->Done()) {
        err << FailureLines(outcome->message, outcome->next);
        return kExitDevice;
    }
    return kExitOk;
}

}  // namespace

int Write(const Options& o, std::ostream& out, std::ostream& err) {
    std::vector<std::string> args = o.args;
    const auto dry = std::find(args.begin(), args.end(), "--dry-run");
    const bool dryRun = dry != args.end();
    if (dryRun) args.erase(dry);
    if (args.size() != 1) {
        err << "vornactl: write takes one settings file\n" << kUsage;
        return kExitUsage;
    }
    const std::filesystem::path file = PathFromUtf8(args[0]);
    // Read and checked before the port is opened: a folder, a FIFO or device, a file too large
    // or one that is no settings file is refused with nothing sent.
    const Result<SettingsFile> settings = ReadSettingsFile(file);
    if (!settings) {
        err << "vornactl: " << Shown(settings.Detail()) << "\n";
        return ExitCodeFor(settings.Error());
    }
    Session session(LocationFor(o), err, o.trace);
    if (int rc = ConnectEsc(session, o, err); rc != kExitOk) return rc;
    SetupState state = session.setup.Snapshot();
    const ImportOutcome outcome = ApplySettingsFile(state, *settings);
    const ImportReport& imported = outcome.report;
    // Nothing is sent when any value of the file does not fit this ESC, nor when it sets none.
    for (const auto& p : imported.problems) {
        err << Shown(Utf8FromPath(file)) << ":" << p.line << ": " << Shown(p.key) << "="
            << Shown(p.value) << ": " << Shown(p.why) << "\n";
    }
    for (const auto& p : imported.ignored) {
        err << Shown(Utf8FromPath(file)) << ":" << p.line << ": " << Shown(p.key) << " " << p.why
            << "\n";
    }
    if (!outcome.Done()) {
        err << "vornactl: " << Shown(outcome.refusal->detail) << "; nothing was sent.\n";
        return ExitCodeFor(*outcome.refusal);
    }
    if (!imported.problems.empty()) {
        err << "vornactl: nothing was sent.\n";
        return kExitFile;
    }
    if (dryRun) {
        // What a write would send: every list whose selection the file changes.
        const SetupState before = session.setup.EscValues();
        int changes = 0;
        for (const ParamId id : kPageOrder) {
            const std::string* was = before.List(id).SelectedText();
            const std::string* now = state.List(id).SelectedText();
            if (now == nullptr || (was != nullptr && *was == *now)) continue;
            out << ListCaption(id, state.modelType) << ": " << (was ? Shown(*was) : "(none)")
                << " -> " << Shown(*now) << "\n";
            ++changes;
        }
        if (changes == 0) out << "The file would change nothing on this ESC.\n";
        out << "Nothing was sent (--dry-run).\n";
        return kExitOk;
    }
    if (int rc = WriteState(session, state, err, o.errTerminal); rc != kExitOk) return rc;
    if (const std::string skipped = SkippedText(imported); !skipped.empty()) {
        err << Shown(skipped) << "\n";
    }
    out << "Wrote " << imported.applied << " settings from " << Shown(Utf8FromPath(file)) << ".\n";
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
    for (std::size_t i = 0; i < assignments.size(); ++i) {
        const auto& [name, value] = assignments[i];
        const Result<ParamId> id = ApplyAssignment(state, name, value);
        if (!id) {
            err << "vornactl: " << ShownLines(id.Detail()) << "\n";
            return kExitUsage;
        }
        // Which of two values was meant cannot be told; a settings file names its repeats too.
        const auto first = std::find(changed.begin(), changed.end(), *id);
        if (first != changed.end()) {
            err << "vornactl: " << ListCaption(*id, state.modelType) << " is given twice (\""
                << Shown(o.args[static_cast<std::size_t>(first - changed.begin())]) << "\" and \""
                << Shown(o.args[i]) << "\"); give each setting once. Nothing was sent.\n";
            return kExitUsage;
        }
        changed.push_back(*id);
    }
    if (int rc = WriteState(session, state, err, o.errTerminal); rc != kExitOk) return rc;
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
    // The link saves the settings about to be replaced before it asks the ESC, as the window's.
    session.view.TakeRestore();
    session.setup.RequestDefaults();
    std::optional<RestoreOutcome> outcome;
    const bool finished = session.WaitAfterTicks(
        [&](ConnectionMonitor&) {
            outcome = session.view.TakeRestore();
            return outcome.has_value();
        },
        30s);
    if (!finished) {
        err << "vornactl: restoring the defaults did not end within 30 s.\n";
        return kExitDevice;
    }
    if (!outcome->Done()) {
        err << FailureLines(outcome->message, outcome->next);
        return outcome->result == RestoreOutcome::Result::NoBackup ? kExitFile : kExitDevice;
    }
    const std::string* saved = SavedBackup(outcome->backup);
    out << "Factory settings restored. The settings before are saved in "
        << Shown(saved ? *saved : std::string()) << ".\n"
        << SettingsTable(session.setup.Snapshot(), session.setup.FirmwareText(),
                         session.setup.UnreadSettings());
    return kExitOk;
}

}  // namespace vorna::cli
