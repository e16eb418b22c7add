#include <algorithm>
#include <utility>

#include "link/BridgeDiscovery.h"

namespace vorna {

std::optional<std::string> LookupBridgePort(const BridgeLocation& location, std::string* problem) {
    BridgeLookup found = FindBridge(location);
    if (problem && !found.problem.empty()) *problem = found.problem;
    if (found.finding != BridgeFinding::Port) return std::nullopt;
    return std::move(found.node);
}

OpenResult OpenPort(UsbUart& link, const BridgeLocation& location, std::string* failure) {
    // Looked up on every call: this is also how an unplugged bridge is noticed.
    BridgeLookup found = FindBridge(location);
    link.bridgeFinding = found.finding;
    if (found.finding != BridgeFinding::Port) {
        link.ClosePort();
        link.openFailure = {};
        if (failure && !found.problem.empty()) *failure = found.problem;
        return OpenResult::NoBridge;
    }
    const std::optional<std::string> port = std::move(found.node);
    if (link.portHandle != kNoPort && link.portName != *port) {
        // The first bridge listed is now another one (the old node was replaced).
        link.ClosePort();
    }
    if (link.portHandle == kNoPort) {
        PortOpenResult opened = OpenSerialPort(*port);
        if (opened.handle == kNoPort) {
            if (failure) *failure = DescribeOpenFailure(*port, opened);
            link.openFailure = std::move(opened);
            return OpenResult::CannotOpen;
        }
        link.portHandle = opened.handle;
        link.portName = *port;
    }
    link.openFailure = {};
    if (link.IsOpen() && link.LineSet()) return OpenResult::Open;

    if (!link.IsOpen()) SleepMs(60);
    const ConfigureResult set = ConfigureSerialPort(link.portHandle, link.baudRate);
    if (set.ok) {
        SleepMs(60);
        std::fill_n(link.txBuffer.begin(), 60, std::uint8_t{0});
        std::fill_n(link.rxBuffer.begin(), 60, std::uint8_t{0});
        PurgePort(link.portHandle, true, true);
        link.SetLineSet(true);
    } else if (failure) {
        // Said on every tick until it is set; the poll says it once.
        *failure = DescribeConfigureFailure(PortDisplayName(link.portName), link.baudRate,
                                            set.errorNumber);
    }
    // Even unconfigured, the port is used with whatever settings the driver holds: a bridge
    // whose driver already runs at the rate still works.
    link.SetOpen(true);
    return OpenResult::Open;
}

}  // namespace vorna
