#include <algorithm>
#include <ostream>
#include <sstream>

#include "cli/Commands.h"
#include "cli/TerminalText.h"
#include "link/Text.h"

namespace vorna::cli {

BridgeLocation LocationFor(const Options& o) {
    BridgeLocation location;
    location.fixedPath = o.port;
    return location;
}

void LinkSeen::Note(ConnectionMonitor& m) {
    bridge = bridge || m.Link().GetUsbState() == UsbState::Connected;
    portFailure = m.Link().openFailure;
    oddAnswer = m.OddAnswer();
}

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
        return "vornactl: " + Shown(seen.oddAnswer) +
               " Is this the VORNA USB link, with the right device connected to it?\n";
    }
    return {};
}

int ConnectEsc(Session& session, const Options& o, std::ostream& err,
               const std::string& noEscHint) {
    session.Start();
    session.Do([](DeviceStack& stack) { stack.Monitor().ChooseEsc(); });
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
                << " s. Is the ESC connected to the link and switched on?" << noEscHint << "\n";
        }
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
