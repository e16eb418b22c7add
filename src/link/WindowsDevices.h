// What the Windows side of the link shares: the bridges as SetupAPI and the registry list them,
// and whether a COM port is there. Included by the *Win32.cpp files only; defined in
// BridgeDiscoveryWin32.cpp.
#pragma once

#include <windows.h>
// After windows.h, whose types it uses.
#include <setupapi.h>

#include <optional>
#include <string>
#include <vector>

#include "base/Result.h"
#include "base/UniqueHandle.h"

namespace vorna::windows {

// A present device whose instance id starts with "USB" and names the bridge's ids.
struct BridgeDevice {
    std::wstring instanceId;               // upper case: USB\VID_10C4&PID_EA60\0001
    std::wstring description;              // what the system calls it, if anything
    std::wstring driver;                   // the driver key it was installed with; empty: no driver
    std::wstring service;                  // the driver's service (its name), if any
    std::optional<std::wstring> portName;  // Device Parameters\PortName: COM7
};

// SetupAPI's device lists, destroyed when they go.
inline void DestroyDeviceList(HDEVINFO devices) {
    ::SetupDiDestroyDeviceInfoList(devices);
}
using UniqueDeviceList = UniqueHandle<HDEVINFO, -1, &DestroyDeviceList>;

// The bridges in the order SetupAPI lists them (only the first with `firstOnly`). When the list
// cannot be read: NoDeviceList, with a sentence.
Result<std::vector<BridgeDevice>> ScanBridgeDevices(bool firstOnly);
// The same over a device list already asked for. A list that cannot be walked to its end is
// NoDeviceList: which bridge comes first cannot be told.
Result<std::vector<BridgeDevice>> ScanDeviceList(HDEVINFO devices, bool firstOnly);

// What a bridge's instance id holds: VID_10C4&PID_EA60.
std::wstring BridgeIdsInInstanceId();

// \\.\COM7 for a device whose PortName is COM7; nothing for one without a COM port.
std::optional<std::string> PortOf(const BridgeDevice& device);

// COM7 as \\.\COM7; \\.\COM7 and other names as they are.
std::string PortNameOf(const std::string& path);

enum class PortPresence { There, Missing };
// Whether a port of that name exists, without taking it.
PortPresence ProbePort(const std::string& node);

// A registry value of text, or nothing when the key or value is missing or is not text.
std::optional<std::wstring> RegistryText(HKEY root, const std::wstring& key, const wchar_t* value);

}  // namespace vorna::windows
