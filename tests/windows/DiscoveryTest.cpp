// Finding the bridge on Windows: devices entered in the registry as the CP210x driver enters
// them, listed by SetupAPI, their COM port taken from PortName.
#include <windows.h>
// After windows.h, whose types it uses.
#include <setupapi.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "link/BridgeDiscovery.h"
#include "link/WindowsDevices.h"

namespace vorna {
namespace {

constexpr const wchar_t* kBridges = L"SYSTEM\\CurrentControlSet\\Enum\\USB\\VID_10C4&PID_EA60";

// Bridges entered in the registry for the test, taken out again when it ends.
class RegisteredBridges {
public:
    ~RegisteredBridges() {
        for (const std::wstring& serial : added_) {
            ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, (std::wstring(kBridges) + L"\\" + serial).c_str());
        }
    }
    // An empty portName: the driver gave it none.
    void Add(const std::wstring& serial, const std::wstring& portName, bool driver = true) {
        const std::wstring device = std::wstring(kBridges) + L"\\" + serial;
        // SetupAPI lists a device with its setup class; the Ports class for a serial bridge.
        SetText(device, L"ClassGUID", L"{4d36e978-e325-11ce-bfc1-08002be10318}");
        if (driver) {
            SetText(device, L"Driver", L"{4d36e978-e325-11ce-bfc1-08002be10318}\\0007");
            SetText(device, L"Service", L"silabser");
        }
        if (!portName.empty()) SetText(device + L"\\Device Parameters", L"PortName", portName);
        added_.push_back(serial);
    }

private:
    static void SetText(const std::wstring& key, const wchar_t* name, const std::wstring& value) {
        HKEY opened = nullptr;
        ASSERT_EQ(::RegCreateKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0, KEY_WRITE,
                                    nullptr, &opened, nullptr),
                  ERROR_SUCCESS);
        ::RegSetValueExW(opened, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                         static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
        ::RegCloseKey(opened);
    }
    std::vector<std::wstring> added_;
};

TEST(WindowsDiscovery, TheFirstBridgeListedGivesItsComPort) {
    const Result<std::vector<BridgeInfo>> none = ListBridges({});
    ASSERT_TRUE(none) << none.Detail();
    ASSERT_TRUE(none->empty()) << "a bridge is registered already";
    EXPECT_EQ(LookupBridgePort({}).Kind(), ProblemKind::NoBridge);

    RegisteredBridges bridges;
    bridges.Add(L"T0001", L"COM12");
    EXPECT_EQ(LookupBridgePort({}).Value(), "\\\\.\\COM12");
    bridges.Add(L"T0002", L"COM4");
    const std::vector<BridgeInfo> listed = ListBridges({}).Value();
    ASSERT_EQ(listed.size(), 2u);
    EXPECT_EQ(listed[1].node, listed[0].node == "\\\\.\\COM12" ? "\\\\.\\COM4" : "\\\\.\\COM12");
    EXPECT_EQ(LookupBridgePort({}).Value(), listed[0].node);
    EXPECT_EQ(PortDisplayName(listed[0].node), listed[0].node.substr(4));
    EXPECT_EQ(listed[0].usbPath.rfind("USB\\VID_10C4&PID_EA60\\T000", 0), 0u) << listed[0].usbPath;
}

// A bridge with its driver but no COM port (none named, or a name that is no COM port) and one
// without its driver are plugged in, and said so: never taken for no bridge at all.
TEST(WindowsDiscovery, ABridgeWithoutItsDriverOrItsPortIsSaidSoNotMissing) {
    for (const std::wstring& portName : {std::wstring(), std::wstring(L"LPT1")}) {
        RegisteredBridges bridges;
        bridges.Add(L"T0003", portName);
        const std::vector<BridgeInfo> listed = ListBridges({}).Value();
        ASSERT_EQ(listed.size(), 1u);
        EXPECT_EQ(listed[0].finding, BridgeFinding::NoComPort);
        EXPECT_TRUE(listed[0].node.empty());
        EXPECT_EQ(FindBridge({}).finding, BridgeFinding::NoComPort);
        EXPECT_EQ(LookupBridgePort({}).Kind(), ProblemKind::NoComPort);
    }
    RegisteredBridges bridges;
    // The registry may still name a port from an earlier driver: without one it is no port.
    bridges.Add(L"T0004", L"COM5", false);
    const BridgeLookup found = FindBridge({});
    EXPECT_EQ(found.finding, BridgeFinding::NoDriver);
    EXPECT_TRUE(found.node.empty());
    const std::vector<BridgeInfo> listed = ListBridges({}).Value();
    ASSERT_EQ(listed.size(), 1u);
    EXPECT_EQ(listed[0].finding, BridgeFinding::NoDriver);
    EXPECT_TRUE(listed[0].node.empty());
    EXPECT_NE(NoDriverAdvice().find("CP210x USB-to-UART driver"), std::string::npos);
}

TEST(WindowsDiscovery, ADeviceListThatBreaksOffIsNoListNotAnEmptyOne) {
    const windows::UniqueDeviceList empty(::SetupDiCreateDeviceInfoList(nullptr, nullptr));
    ASSERT_TRUE(empty);
    const Result<std::vector<windows::BridgeDevice>> none =
        windows::ScanDeviceList(empty.Get(), false);
    ASSERT_TRUE(none) << none.Detail();  // its end, reached at once
    EXPECT_TRUE(none->empty());

    const Result<std::vector<windows::BridgeDevice>> broken =
        windows::ScanDeviceList(INVALID_HANDLE_VALUE, false);
    ASSERT_FALSE(broken);
    EXPECT_EQ(broken.Error(),
              (Problem{ProblemKind::NoDeviceList, "The system device list is not available."}));
}

}  // namespace
}  // namespace vorna
