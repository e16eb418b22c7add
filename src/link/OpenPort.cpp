#include <algorithm>

#include "link/BridgeDiscovery.h"

namespace vorna {

int OpenPort(UsbUart& link, const BridgeLocation& location, std::string* failure) {
    // Looked up on every call: this is also how an unplugged bridge is noticed.
    const auto port = LookupBridgePort(location);
    if (!port) {
        link.isOpen = 0;
        link.usbState = 0;
        link.deviceState = 0;
        ClosePortHandle(link.portHandle);
        link.portHandle = kNoPort;
        link.portName.clear();
        return 2;
    }
    if (link.portHandle != kNoPort && link.portName != *port) {
        // The first bridge listed is now another one (the old node was replaced).
        link.ClosePort();
    }
    if (link.portHandle == kNoPort) {
        PortOpenResult opened = OpenSerialPort(*port);
        if (opened.handle == kNoPort) {
            if (failure) *failure = DescribeOpenFailure(*port, opened);
            return 1;
        }
        link.portHandle = opened.handle;
        link.portName = *port;
    }
    if (link.isOpen) return 0;

    SleepMs(60);
    if (ConfigureSerialPort(link.portHandle, link.baudRate)) {
        SleepMs(60);
        std::fill_n(link.txBuffer.begin(), 60, std::uint8_t{0});
        std::fill_n(link.rxBuffer.begin(), 60, std::uint8_t{0});
        PurgePort(link.portHandle, true, true);
    }
    // Even unconfigured, the port is used with whatever settings the driver holds.
    link.isOpen = 1;
    return 0;
}

}  // namespace vorna
