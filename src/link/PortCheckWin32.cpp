// The port check on Windows: the bridges SetupAPI lists, whether a driver was installed for
// each, the COM port the registry gives it, and whether that port opens (and if not, why). The
// Linux questions (udev rules, groups, the device node's mode) have no Windows counterpart;
// PortCheckPlaces and PortUser are not used here.
#include <string>

#include "base/Text.h"
#include "base/Utf8Path.h"
#include "link/BridgeDiscovery.h"
#include "link/PortCheck.h"
#include "link/WindowsDevices.h"

namespace vorna {
namespace {

std::string EscapeControls(std::string_view text) {
    std::string shown;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7f) {
            shown += EscapedByte(byte);
        } else {
            shown += c;
        }
    }
    return shown;
}

PortFinding Ok(std::string text) {
    return {FindingKind::Ok, std::move(text), "", ""};
}

PortFinding ProblemFinding(std::string text, std::string advice, std::string brief) {
    return {FindingKind::Problem, std::move(text), std::move(advice), std::move(brief)};
}

// Opens and closes the port once: the last word on whether the link can use it.
void TryOpen(const std::string& node, const std::string& shown, bool tryOpen,
             const std::function<std::string(std::string_view)>& quote,
             std::vector<PortFinding>& out) {
    if (!tryOpen) return;
    const Result<SerialPort> opened = SerialPort::Open(node);
    if (opened) {
        out.push_back(Ok("It opens."));
        return;
    }
    if (opened.Kind() == ProblemKind::PortBusy) {
        // Windows does not say who holds it. The finding says what is so and the advice what to
        // do, each once, as on Linux.
        out.push_back(ProblemFinding(shown + " is in use by another program.",
                                     "close the program that uses " + shown + " and check again.",
                                     shown + " is in use by another program"));
    } else {
        out.push_back(ProblemFinding(quote(DescribeOpenFailure(node, opened.Error(), false)), "",
                                     shown + " cannot be opened"));
    }
}

PortCheckSection CheckBridge(const windows::BridgeDevice& device, const PortCheckRequest& request,
                             const std::function<std::string(std::string_view)>& quote,
                             std::string& node) {
    const std::string id = quote(Utf8FromWide(device.instanceId));
    const std::optional<std::string> port = windows::PortOf(device);
    node = port.value_or("");
    const std::string shown = port ? quote(PortDisplayName(*port)) : std::string();
    std::string title = "Bridge " + (port ? shown + " (" + id + ")" : id);
    if (!device.description.empty()) title += ", " + quote(Utf8FromWide(device.description));
    PortCheckSection section{std::move(title), {}};
    auto& out = section.findings;
    if (device.driver.empty()) {
        // Whatever port the registry still names, without a driver there is none to open.
        out.push_back(
            ProblemFinding("It has no driver.", NoDriverAdvice(), "the bridge has no driver"));
        return section;
    }
    out.push_back(Ok("Its driver is installed" +
                     (device.service.empty() ? std::string(".")
                                             : " (" + quote(Utf8FromWide(device.service)) + ").")));
    if (!port) {
        out.push_back(ProblemFinding(device.portName
                                         ? "It has no COM port (its port name is \"" +
                                               quote(Utf8FromWide(*device.portName)) + "\")."
                                         : std::string("It has no COM port."),
                                     NoComPortAdvice(), "the bridge has no COM port"));
        return section;
    }
    out.push_back(Ok("Its port is " + shown + "."));
    TryOpen(*port, shown, request.tryOpen, quote, out);
    return section;
}

}  // namespace

PortUser PortUser::ThisProcess() {
    PortUser user;
    user.thisProcess = true;
    return user;
}

PortCheckResult CheckPorts(const PortCheckPlaces&, const PortUser&,
                           const PortCheckRequest& request) {
    const auto quote = request.quote ? request.quote : EscapeControls;
    const Result<std::vector<windows::BridgeDevice>> scanned = windows::ScanBridgeDevices(false);
    const std::vector<windows::BridgeDevice> devices =
        scanned ? scanned.Value() : std::vector<windows::BridgeDevice>{};
    // Without a port named, the bridges are what the link would use: their absence is a problem.
    const FindingKind missingKind =
        request.namedPort.empty() ? FindingKind::Problem : FindingKind::Note;

    PortCheckResult result;
    PortCheckSection system{"USB and system", {}};
    if (!scanned) {
        system.findings.push_back({missingKind, scanned.Detail(),
                                   "restart Windows and check again.",
                                   "the system device list is not available"});
    } else if (devices.empty()) {
        system.findings.push_back(
            {missingKind, "No CP210x bridge (USB " + BridgeUsbId() + ") is plugged in.",
             "plug the VORNA USB Link in; try another USB socket or cable. If Windows does not "
             "react to it at all, " +
                 NoDriverAdvice(),
             "no CP210x bridge found"});
    } else {
        system.findings.push_back(Ok(std::to_string(devices.size()) + " CP210x bridge" +
                                     (devices.size() == 1 ? " is" : "s are") + " plugged in."));
    }
    result.sections.push_back(std::move(system));

    std::string chosen = request.namedPort.empty() ? "" : windows::PortNameOf(request.namedPort);
    std::size_t chosenSection = 0;
    for (std::size_t i = 0; i < devices.size(); ++i) {
        std::string node;
        result.sections.push_back(CheckBridge(devices[i], request, quote, node));
        // The link takes the first bridge listed, whatever it has; a named port only itself.
        const bool decisive =
            request.namedPort.empty() ? i == 0 : (!node.empty() && node == chosen);
        if (decisive && chosenSection == 0) {
            chosenSection = result.sections.size() - 1;
            if (chosen.empty()) chosen = node;
        }
    }
    if (!request.namedPort.empty() && chosenSection == 0) {
        const std::string shown = quote(PortDisplayName(chosen));
        PortCheckSection port{"Port " + shown, {}};
        if (windows::ProbePort(chosen) == windows::PortPresence::Missing) {
            port.findings.push_back(
                ProblemFinding(shown + " does not exist.",
                               "check the name; 'vornactl ports' lists the bridges found.",
                               shown + " does not exist"));
        } else {
            port.findings.push_back(Ok(shown + " is there."));
            TryOpen(chosen, shown, request.tryOpen, quote, port.findings);
        }
        result.sections.push_back(std::move(port));
        chosenSection = result.sections.size() - 1;
    }

    GiveVerdict(result, chosenSection, quote(PortDisplayName(chosen)));
    return result;
}

// Windows refuses a port in use with "access denied": a busy port, never a question of groups.
GroupAdvice AdviseOnPermission(const std::string&) {
    return {};
}

const char* PortNodeNoun() {
    return "port";
}

}  // namespace vorna
