#include <utility>

#include "link/BridgeDiscovery.h"
#include "link/PortCheck.h"

namespace vorna {
namespace {

ProblemKind KindOf(BridgeFinding finding) {
    switch (finding) {
        case BridgeFinding::NoDriver:
            return ProblemKind::NoDriver;
        case BridgeFinding::NoComPort:
            return ProblemKind::NoComPort;
        case BridgeFinding::NoDeviceList:
            return ProblemKind::NoDeviceList;
        case BridgeFinding::Port:
        case BridgeFinding::NoBridge:
            break;
    }
    return ProblemKind::NoBridge;
}

}  // namespace

std::string BridgeFindingText(BridgeFinding finding) {
    switch (finding) {
        case BridgeFinding::NoDriver:
            return "a CP210x bridge is plugged in, but it has no driver: " + NoDriverAdvice();
        case BridgeFinding::NoComPort:
            return std::string(
                       "a CP210x bridge is plugged in and its driver is installed, but it "
                       "has no ") +
                   BridgePortNoun() + ": " + NoComPortAdvice();
        case BridgeFinding::Port:
        case BridgeFinding::NoBridge:
        case BridgeFinding::NoDeviceList:
            break;
    }
    return {};
}

Result<std::string> LookupBridgePort(const BridgeLocation& location) {
    BridgeLookup found = FindBridge(location);
    if (found.finding != BridgeFinding::Port) {
        return Problem{KindOf(found.finding), std::move(found.problem)};
    }
    return std::move(found.node);
}

Status OpenPort(UsbUart& link, const BridgeLocation& location) {
    // Looked up on every call: this is also how an unplugged bridge is noticed.
    BridgeLookup found = FindBridge(location);
    link.SetBridgeFinding(found.finding);
    if (found.finding != BridgeFinding::Port) {
        link.ClosePort();
        link.SetOpenFailure(std::nullopt);
        return Problem{KindOf(found.finding), std::move(found.problem)};
    }
    const std::string port = std::move(found.node);
    if (link.HasPort() && link.PortName() != port) {
        // The first bridge listed is now another one (the old node was replaced).
        link.ClosePort();
    }
    if (!link.HasPort()) {
        Result<SerialPort> opened = SerialPort::Open(port);
        if (!opened) {
            std::string sentence = DescribeOpenFailure(port, opened.Error());
            link.SetOpenFailure(PortFailure{port, opened.Error()});
            return Problem{opened.Kind(), std::move(sentence)};
        }
        link.UsePort(std::move(opened).Value(), port);
    }
    link.SetOpenFailure(std::nullopt);
    if (link.IsOpen() && link.LineSet()) return {};

    if (!link.IsOpen()) SleepMs(60);
    const Status set = link.SetUpLine();
    // Even unconfigured, the port is used with whatever settings the driver holds: a bridge
    // whose driver already runs at the rate still works.
    link.SetOpen(true);
    if (!set) {
        // Said on every tick until it is set; the poll says it once.
        return Problem{ProblemKind::CannotSetUp,
                       DescribeConfigureFailure(PortDisplayName(link.PortName()), link.BaudRate(),
                                                set.Error())};
    }
    return {};
}

}  // namespace vorna
