// Finding the CP210x bridge (USB 10c4:ea60) and opening its port on every poll tick. Linux
// looks in sysfs (BridgeDiscoveryLinux.cpp); Windows asks SetupAPI for the present devices and
// the registry for the bridge's COM port (BridgeDiscoveryWin32.cpp).
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "link/UsbUart.h"

namespace vorna {

inline constexpr const char* kBridgeVendorId = "10c4";
inline constexpr const char* kBridgeProductId = "ea60";

// Where to look for the bridge. Tests point sysfsRoot and devRoot (Linux) at a temporary tree;
// an explicit port path replaces discovery (the bridge is "present" while the path exists; on
// Windows COM7 and \\.\COM7 both name that port).
struct BridgeLocation {
    std::string sysfsRoot = "/sys";
    std::string devRoot = "/dev";
    std::string fixedPath;  // empty: discover
};

struct BridgeInfo {
    std::string node;     // what is opened: /dev/ttyUSB0, or \\.\COM7 on Windows
    std::string usbPath;  // sysfs folder of the USB device; on Windows its device instance id
    std::string product;  // USB product string (Windows: the device's description), if any
    std::string serial;   // USB serial number, when the device offers one
    // Windows: the bridge has no COM port (no driver for it, or the driver gave it none); node
    // is then empty. Linux lists only bridges with a tty.
    bool noPort = false;
};

// Every CP210x bridge. Linux: each tty whose USB parent is one, in natural order of the tty name
// (ttyUSB2 before ttyUSB10). Windows: each present device whose instance id starts with "USB"
// and contains VID_10C4&PID_EA60, in the order the system lists them, with the COM port the
// registry names for it. When the system's device list cannot be read, `problem` (if given)
// says so and the list is empty.
std::vector<BridgeInfo> ListBridges(const BridgeLocation& where, std::string* problem = nullptr);

// What one look for the bridge found: the port the link should use (the first bridge listed, or
// the explicit path while it exists), or why there is none. Looked up anew on every call.
struct BridgeLookup {
    BridgeFinding finding = BridgeFinding::NoBridge;
    std::string node;     // Port: what to open
    std::string problem;  // NoDeviceList: the system's list could not be read, in a sentence
};
BridgeLookup FindBridge(const BridgeLocation& location);

// FindBridge's port, if it found one; `problem` (if given) receives its sentence.
std::optional<std::string> LookupBridgePort(const BridgeLocation& location,
                                            std::string* problem = nullptr);

// What to do for a bridge without a driver, as advice that completes "what to do: ": on Windows
// install the CP210x USB-to-UART driver, on Linux load the cp210x module.
std::string NoDriverAdvice();

// A port's name as the user knows it: COM7 for \\.\COM7; other names as they are.
inline std::string PortDisplayName(const std::string& node) {
    return node.rfind("\\\\.\\", 0) == 0 ? node.substr(4) : node;
}

enum class [[nodiscard]] OpenResult{
    Open = 0,        // the port is open (now or already)
    CannotOpen = 1,  // the bridge is there but its port could not be opened
    NoBridge = 2,
};

// One step of the poll's port handling. When opening fails, or the bridge could not be looked
// for, `failure` receives a sentence for the user; otherwise it is left as it was.
OpenResult OpenPort(UsbUart& link, const BridgeLocation& location, std::string* failure = nullptr);

}  // namespace vorna
