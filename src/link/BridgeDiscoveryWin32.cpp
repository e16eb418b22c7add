// Windows discovery: SetupAPI's list of the present devices of every class gives the bridge's
// device instance id (it starts with "USB" and names VID_10C4&PID_EA60), and the registry keeps
// its COM port under SYSTEM\CurrentControlSet\Enum\<id>\Device Parameters, value PortName.
// Both are asked anew on every tick, so an unplugged bridge is noticed by its absence. (Windows
// 9x kept the port elsewhere in the registry; no such system can run this program, so that
// lookup is not here.)
#include <windows.h>
// After windows.h, whose types it uses.
#include <setupapi.h>

#include <algorithm>
#include <cwctype>
#include <string>

#include "base/Utf8Path.h"
#include "base/WindowsHandles.h"
#include "link/BridgeDiscovery.h"
#include "link/WindowsDevices.h"

namespace vorna {
namespace {

constexpr const char* kNoDeviceList = "The system device list is not available.";
constexpr const char* kNoInstanceId = "The device identification string is not available.";

// "COM12" -> 12; anything but COM and digits is no COM port.
std::optional<unsigned> ComNumber(const std::wstring& name) {
    if (name.size() < 4 || name.size() > 8) return std::nullopt;
    for (std::size_t i = 0; i < 3; ++i) {
        if (std::towupper(name[i]) != L"COM"[i]) return std::nullopt;
    }
    unsigned number = 0;
    for (std::size_t i = 3; i < name.size(); ++i) {
        if (name[i] < L'0' || name[i] > L'9') return std::nullopt;
        number = number * 10 + static_cast<unsigned>(name[i] - L'0');
    }
    return number;
}

// The device name the port is opened under: \\.\COM4, \\.\COM12.
std::string PortNode(unsigned number) {
    return "\\\\.\\COM" + std::to_string(number);
}

bool NamesNoDevice(DWORD error) {
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ||
           error == ERROR_DEV_NOT_EXIST;
}

}  // namespace

namespace windows {

std::wstring BridgeIdsInInstanceId() {
    std::wstring ids = L"VID_";
    for (const char c : std::string(kBridgeVendorId)) ids += static_cast<wchar_t>(std::towupper(c));
    ids += L"&PID_";
    for (const char c : std::string(kBridgeProductId))
        ids += static_cast<wchar_t>(std::towupper(c));
    return ids;
}

std::string PortNameOf(const std::string& path) {
    const bool bare = path.size() > 3 && std::towupper(static_cast<wint_t>(path[0])) == L'C' &&
                      std::towupper(static_cast<wint_t>(path[1])) == L'O' &&
                      std::towupper(static_cast<wint_t>(path[2])) == L'M' &&
                      path.find_first_not_of("0123456789", 3) == std::string::npos;
    return bare ? "\\\\.\\" + path : path;
}

std::optional<std::wstring> RegistryText(HKEY root, const std::wstring& key, const wchar_t* value) {
    UniqueRegistryKey opened;
    if (::RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, opened.Receive()) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    std::optional<std::wstring> text;
    DWORD type = 0;
    DWORD bytes = 0;
    if (::RegQueryValueExW(opened.Get(), value, nullptr, &type, nullptr, &bytes) == ERROR_SUCCESS &&
        (type == REG_SZ || type == REG_EXPAND_SZ) && bytes <= 64 * 1024) {
        std::wstring buffer(bytes / sizeof(wchar_t) + 1, L'\0');
        DWORD got = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
        if (::RegQueryValueExW(opened.Get(), value, nullptr, &type,
                               reinterpret_cast<BYTE*>(buffer.data()), &got) == ERROR_SUCCESS) {
            buffer.resize(std::min<std::size_t>(got / sizeof(wchar_t), buffer.size()));
            // Stored with or without its terminating null.
            while (!buffer.empty() && buffer.back() == L'\0') buffer.pop_back();
            text = std::move(buffer);
        }
    }
    return text;
}

Result<std::vector<BridgeDevice>> ScanBridgeDevices(bool firstOnly) {
    const UniqueDeviceList devices(
        ::SetupDiGetClassDevsW(nullptr, nullptr, nullptr, DIGCF_PRESENT | DIGCF_ALLCLASSES));
    if (!devices) return Problem{ProblemKind::NoDeviceList, kNoDeviceList};
    return ScanDeviceList(devices.Get(), firstOnly);
}

Result<std::vector<BridgeDevice>> ScanDeviceList(HDEVINFO devices, bool firstOnly) {
    const std::wstring ids = BridgeIdsInInstanceId();
    std::vector<BridgeDevice> found;
    SP_DEVINFO_DATA info{};
    info.cbSize = sizeof info;
    for (DWORD index = 0;; ++index) {
        if (!::SetupDiEnumDeviceInfo(devices, index, &info)) {
            // Only the end of the list ends it well; a list that broke off part-way cannot say
            // which bridge comes first.
            if (::GetLastError() != ERROR_NO_MORE_ITEMS) {
                return Problem{ProblemKind::NoDeviceList, kNoDeviceList};
            }
            break;
        }
        wchar_t id[520];
        if (!::SetupDiGetDeviceInstanceIdW(devices, &info, id, 520, nullptr)) {
            // The list cannot be trusted past here: nothing found is the safe answer.
            return Problem{ProblemKind::NoDeviceList, kNoInstanceId};
        }
        std::wstring upper(id);
        for (wchar_t& c : upper) c = static_cast<wchar_t>(std::towupper(c));
        if (upper.rfind(L"USB", 0) != 0 || upper.find(ids, 1) == std::wstring::npos) continue;
        BridgeDevice device;
        device.instanceId = upper;
        const auto property = [&](DWORD which) -> std::wstring {
            wchar_t text[512] = {};
            DWORD type = 0;
            if (!::SetupDiGetDeviceRegistryPropertyW(devices, &info, which, &type,
                                                     reinterpret_cast<BYTE*>(text),
                                                     sizeof text - sizeof(wchar_t), nullptr) ||
                type != REG_SZ)
                return {};
            return text;
        };
        device.description = property(SPDRP_FRIENDLYNAME);
        if (device.description.empty()) device.description = property(SPDRP_DEVICEDESC);
        device.driver = property(SPDRP_DRIVER);
        device.service = property(SPDRP_SERVICE);
        device.portName = RegistryText(
            HKEY_LOCAL_MACHINE,
            L"SYSTEM\\CurrentControlSet\\Enum\\" + upper + L"\\Device Parameters", L"PortName");
        found.push_back(std::move(device));
        if (firstOnly) break;
    }
    return found;
}

std::optional<std::string> PortOf(const BridgeDevice& device) {
    if (!device.portName) return std::nullopt;
    const std::optional<unsigned> number = ComNumber(*device.portName);
    if (!number) return std::nullopt;
    return PortNode(*number);
}

PortPresence ProbePort(const std::string& node) {
    // Asked for no access at all, which is enough to tell whether it exists; a port held by
    // someone (this program included) refuses even that, and is there.
    const UniqueFileHandle probe(::CreateFileW(WideFromUtf8(node).c_str(), 0,
                                               FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (probe) return PortPresence::There;
    return NamesNoDevice(::GetLastError()) ? PortPresence::Missing : PortPresence::There;
}

}  // namespace windows

Result<std::vector<BridgeInfo>> ListBridges(const BridgeLocation&) {
    const Result<std::vector<windows::BridgeDevice>> devices = windows::ScanBridgeDevices(false);
    if (!devices) return devices.Error();
    std::vector<BridgeInfo> bridges;
    for (const windows::BridgeDevice& device : *devices) {
        BridgeInfo info;
        // Without its driver the bridge has no port to use, whatever the registry still names.
        const std::optional<std::string> port =
            device.driver.empty() ? std::nullopt : windows::PortOf(device);
        info.finding = device.driver.empty() ? BridgeFinding::NoDriver
                       : port                ? BridgeFinding::Port
                                             : BridgeFinding::NoComPort;
        info.node = port.value_or("");
        info.usbPath = Utf8FromWide(device.instanceId);
        info.product = Utf8FromWide(device.description);
        // The last part of a USB instance id is the device's serial number when it has one; a
        // made-up one holds '&'.
        const std::size_t slash = device.instanceId.rfind(L'\\');
        if (slash != std::wstring::npos &&
            device.instanceId.find(L'&', slash) == std::wstring::npos)
            info.serial = Utf8FromWide(device.instanceId.substr(slash + 1));
        bridges.push_back(std::move(info));
    }
    return bridges;
}

BridgeLookup FindBridge(const BridgeLocation& location) {
    BridgeLookup found;
    if (!location.fixedPath.empty()) {
        const std::string node = windows::PortNameOf(location.fixedPath);
        if (windows::ProbePort(node) == windows::PortPresence::There) {
            found.finding = BridgeFinding::Port;
            found.node = node;
        }
        return found;
    }
    // The first bridge the system lists is the one, whether or not it has a port.
    const Result<std::vector<windows::BridgeDevice>> first = windows::ScanBridgeDevices(true);
    if (!first) {
        found.finding = BridgeFinding::NoDeviceList;
        found.problem = first.Detail();
    } else if (first->empty()) {
        found.finding = BridgeFinding::NoBridge;
    } else if (first->front().driver.empty()) {
        // Without its driver the bridge has no port to use, whatever the registry still names.
        found.finding = BridgeFinding::NoDriver;
    } else if (const std::optional<std::string> port = windows::PortOf(first->front())) {
        found.finding = BridgeFinding::Port;
        found.node = *port;
    } else {
        // Its driver is there but gave it no COM port: plugged in all the same.
        found.finding = BridgeFinding::NoComPort;
    }
    return found;
}

std::string NoDriverAdvice() {
    return "install the CP210x USB-to-UART driver, then unplug the link and plug it in again.";
}

const char* BridgePortNoun() {
    return "COM port";
}

PortArgumentWords PortArgument() {
    return {"COMn", "the COM port COMn"};
}

std::string NoComPortAdvice() {
    return "unplug the link and plug it in again; if that does not help, " + NoDriverAdvice();
}

}  // namespace vorna
