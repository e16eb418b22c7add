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
// The bridge's ids as the user reads them: 10c4:ea60.
inline std::string BridgeUsbId() {
    return std::string(kBridgeVendorId) + ":" + kBridgeProductId;
}

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
    // Port: node is its port. Windows also lists a bridge without its driver (NoDriver) and one
    // whose driver gave it no COM port (NoComPort), with node empty; Linux lists only bridges
    // with a tty.
    BridgeFinding finding = BridgeFinding::Port;
};

// Every CP210x bridge. Linux: each tty whose USB parent is one, in natural order of the tty name
// (ttyUSB2 before ttyUSB10). Windows: each present device whose instance id starts with "USB"
// and contains VID_10C4&PID_EA60, in the order the system lists them, with the COM port the
// registry names for it. NoDeviceList, with a sentence, when the system's device list cannot be
// read.
Result<std::vector<BridgeInfo>> ListBridges(const BridgeLocation& where);

// What one look for the bridge found: the port the link should use (the first bridge listed, or
// the explicit path while it exists), or why there is none. Looked up anew on every call.
struct BridgeLookup {
    BridgeFinding finding = BridgeFinding::NoBridge;
    std::string node;     // Port: what to open
    std::string problem;  // NoDeviceList: the system's list could not be read, in a sentence
};
BridgeLookup FindBridge(const BridgeLocation& location);

// FindBridge's port, if it found one; else NoBridge, NoDriver, NoComPort, or NoDeviceList with
// its sentence.
Result<std::string> LookupBridgePort(const BridgeLocation& location);

// What to do for a bridge without a driver, as advice that completes "what to do: ": on Windows
// install the CP210x USB-to-UART driver, on Linux load the cp210x module.
std::string NoDriverAdvice();

// What this system calls the port a bridge's driver gives it: "COM port", "serial port".
const char* BridgePortNoun();

// How a port is named on this system's command line (--port): "PATH", "the serial device PATH"
// on Linux; "COMn", "the COM port COMn" on Windows.
struct PortArgumentWords {
    const char* placeholder;
    const char* phrase;
};
PortArgumentWords PortArgument();

// What to do for a bridge whose driver is there but gave it no port, in the same form.
std::string NoComPortAdvice();

// What the look found when it found no port to use, in one sentence with what to do: the same
// words for the window's note, vornactl and its ports list. Empty for Port, and for NoBridge and
// NoDeviceList, which each edge says its own way.
std::string BridgeFindingText(BridgeFinding finding);

// A port's name as the user knows it: COM7 for \\.\COM7; other names as they are.
inline std::string PortDisplayName(const std::string& node) {
    return node.rfind("\\\\.\\", 0) == 0 ? node.substr(4) : node;
}

// One step of the poll's port handling. Done: the port is open (now or already). Otherwise the
// kind says why not: NoBridge, NoDriver, NoComPort or NoDeviceList (the bridge's finding, also kept
// in the link), a kind from SerialPort::Open (the port would not open), or CannotSetUp: the port is
// open, but would not take the line settings, and is used with the driver's. The detail is a
// sentence for the user, empty for NoBridge, NoDriver and NoComPort (the device note says those).
Status OpenPort(UsbUart& link, const BridgeLocation& location);

}  // namespace vorna
