#include <algorithm>
#include <ostream>
#include <sstream>

#include "base/DataFolders.h"
#include "base/Text.h"
#include "base/Utf8Path.h"
#include "cli/Commands.h"
#include "cli/TerminalText.h"
#include "link/BridgeDiscovery.h"
#include "link/PortCheck.h"

namespace vorna::cli {

BridgeLocation LocationFor(const Options& o) {
    BridgeLocation location;
    location.fixedPath = o.port;
    return location;
}

std::filesystem::path ShippedDataFor(const Options& o) {
    return o.dataDir.empty() ? ShippedDataFolder(ProgramFolder()) : PathFromUtf8(o.dataDir);
}

void LinkSeen::Note(ConnectionMonitor& m) {
    bridge = bridge || m.Link().GetUsbState() == UsbState::Connected;
    portFailure = m.Link().OpenFailure();
    oddAnswer = m.OddAnswer();
    finding = m.Link().LastBridgeFinding();
}

std::string WhyNothingIdentified(const LinkSeen& seen, const Options& o) {
    if (seen.portFailure) {
        // The holder's name comes from the system's process table: shown escaped like any text
        // the program did not write itself.
        return "vornactl: " +
               Shown(
                   DescribeOpenFailure(seen.portFailure->path, seen.portFailure->problem, false)) +
               "\n";
    }
    if (const std::string found = BridgeFindingText(seen.finding); !seen.bridge && !found.empty()) {
        return "vornactl: " + found + "\n";
    }
    if (!seen.bridge && seen.finding == BridgeFinding::NoDeviceList && !seen.portProblem.empty()) {
        return "vornactl: " + Shown(seen.portProblem) + "\n";
    }
    if (!seen.bridge) {
        return "vornactl: no bridge found" +
               (o.port.empty() ? std::string() : " at " + Shown(o.port)) + " within " +
               std::to_string(o.timeoutSec) + " s. Is the USB link plugged in?\n";
    }
    if (!seen.oddAnswer.empty()) {
        return "vornactl: " + Shown(seen.oddAnswer) +
               " Is this the VORNA USB link, with the right device connected to it?\n";
    }
    return {};
}

bool WaitForDevice(Session& session, const Options& o, DeviceMode mode, const std::string& silence,
                   std::ostream& err, LinkSeen* seen,
                   const std::function<void(ConnectionMonitor&)>& onAnswer) {
    session.Start();
    session.Do([mode](DeviceStack& stack) {
        if (mode == DeviceMode::Esc) stack.Monitor().ChooseEsc();
        if (mode == DeviceMode::Card) stack.Monitor().ChooseProgramCard();
        if (mode == DeviceMode::Fix) stack.Monitor().ChooseFixMode();
    });
    LinkSeen local;
    LinkSeen& saw = seen ? *seen : local;
    const bool answered = session.WaitAfterTicks(
        [&](ConnectionMonitor& m) {
            saw.Note(m);
            const bool there = mode == DeviceMode::Card
                                   ? m.CardState() == DeviceState::Connected
                                   : m.Link().GetDeviceState() == DeviceState::Connected;
            if (there && onAnswer) onAnswer(m);
            return there;
        },
        std::chrono::seconds(o.timeoutSec));
    if (answered) return true;
    saw.portProblem = session.view.LastPortProblem();
    const std::string why = WhyNothingIdentified(saw, o);
    err << (why.empty() ? "vornactl: " + silence + "\n" : why);
    return false;
}

int ConnectEsc(Session& session, const Options& o, std::ostream& err,
               const std::string& noEscHint) {
    if (!WaitForDevice(session, o, DeviceMode::Esc,
                       "no ESC answered within " + std::to_string(o.timeoutSec) +
                           " s. Is the ESC connected to the link and switched on?" + noEscHint,
                       err)) {
        return kExitDevice;
    }
    if (!session.setup.HasValidRecord()) {
        err << "vornactl: the ESC was identified, but it did not answer with a whole settings "
               "record after 6 tries.\n";
        return kExitDevice;
    }
    return kExitOk;
}

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

std::string EscIdentityText(Session& session) {
    const auto texts = session.firmware.EscTexts();
    const SetupState state = session.setup.Snapshot();
    std::ostringstream text;
    const IdentityBytes identity = session.firmware.Identity();
    text << "Identity: " << HexBytes(identity.data(), identity.size()) << "\n"
         << "Model type: " << state.modelType << "\n"
         << "Version: " << Shown(state.versionText) << "\n"
         << "Model: " << Shown(texts.model) << "\n"
         << "Hardware: " << Shown(texts.hardware) << "\n"
         << "Firmware: " << Shown(texts.firmware) << "\n";
    return text.str();
}

}  // namespace vorna::cli
