// Finding the CP210x bridge (USB 10c4:ea60) and opening its port on every poll tick.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "link/UsbUart.h"

namespace vorna {

inline constexpr const char* kBridgeVendorId = "10c4";
inline constexpr const char* kBridgeProductId = "ea60";

// Where to look for the bridge. Tests point sysfsRoot and devRoot at a temporary tree; an
// explicit port path replaces discovery (the bridge is "present" while the path exists).
struct BridgeLocation {
    std::string sysfsRoot = "/sys";
    std::string devRoot = "/dev";
    std::string fixedPath;  // empty: discover
};

struct BridgeInfo {
    std::string node;     // /dev/ttyUSB0
    std::string usbPath;  // sysfs folder of the USB device
    std::string product;  // USB product string, when the device offers one
    std::string serial;   // USB serial number, when the device offers one
};

// Every tty whose USB parent is a CP210x bridge, in natural order of the tty name
// (ttyUSB2 before ttyUSB10).
std::vector<BridgeInfo> ListBridges(const std::string& sysfsRoot, const std::string& devRoot);

// The port the link should use: the first bridge listed, or the explicit path while it exists.
std::optional<std::string> LookupBridgePort(const BridgeLocation& location);

enum class [[nodiscard]] OpenResult{
    Open = 0,        // the port is open (now or already)
    CannotOpen = 1,  // the bridge is there but its port could not be opened
    NoBridge = 2,
};

// One step of the poll's port handling. When opening fails, `failure` receives a sentence
// for the user.
OpenResult OpenPort(UsbUart& link, const BridgeLocation& location, std::string* failure = nullptr);

}  // namespace vorna
