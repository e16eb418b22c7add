// Linux discovery: walk /sys/class/tty and climb from each tty's device up to the USB
// device that carries idVendor/idProduct, the way libserialport's linux.c does.
#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "base/Text.h"
#include "link/BridgeDiscovery.h"

namespace vorna {
namespace fs = std::filesystem;

namespace {

// ttyUSB2 < ttyUSB10: compare digit runs by value.
bool NaturalLess(const std::string& a, const std::string& b) {
    std::size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (std::isdigit(static_cast<unsigned char>(a[i])) &&
            std::isdigit(static_cast<unsigned char>(b[j]))) {
            std::size_t ei = i, ej = j;
            while (ei < a.size() && std::isdigit(static_cast<unsigned char>(a[ei]))) ++ei;
            while (ej < b.size() && std::isdigit(static_cast<unsigned char>(b[ej]))) ++ej;
            std::string na = a.substr(i, ei - i), nb = b.substr(j, ej - j);
            na.erase(0, std::min(na.find_first_not_of('0'), na.size()));
            nb.erase(0, std::min(nb.find_first_not_of('0'), nb.size()));
            if (na.size() != nb.size()) return na.size() < nb.size();
            if (na != nb) return na < nb;
            i = ei;
            j = ej;
        } else {
            if (a[i] != b[j]) return a[i] < b[j];
            ++i;
            ++j;
        }
    }
    return a.size() - i < b.size() - j;
}

}  // namespace

Result<std::vector<BridgeInfo>> ListBridges(const BridgeLocation& where) {
    const std::string& sysfsRoot = where.sysfsRoot;
    const std::string& devRoot = where.devRoot;
    std::vector<std::pair<std::string, BridgeInfo>> found;
    std::error_code ec;
    const fs::path ttyClass = fs::path(sysfsRoot) / "class" / "tty";
    const fs::path root = fs::weakly_canonical(fs::path(sysfsRoot), ec);
    for (fs::directory_iterator it(ttyClass, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        fs::path dev = fs::canonical(it->path() / "device", ec);
        if (ec) {
            ec.clear();
            continue;  // virtual consoles and ptys have no device link
        }
        // Climb at most a few levels: tty -> USB interface -> USB device.
        for (int depth = 0; depth < 6 && !dev.empty(); ++depth) {
            if (fs::exists(dev / "idVendor", ec) && fs::exists(dev / "idProduct", ec)) {
                if (LowerAscii(FirstLineOf(dev / "idVendor")) == kBridgeVendorId &&
                    LowerAscii(FirstLineOf(dev / "idProduct")) == kBridgeProductId) {
                    BridgeInfo info;
                    info.node = (fs::path(devRoot) / name).string();
                    info.usbPath = dev.string();
                    info.product = FirstLineOf(dev / "product");
                    info.serial = FirstLineOf(dev / "serial");
                    found.emplace_back(name, std::move(info));
                }
                break;
            }
            if (dev == root || dev == dev.parent_path()) break;
            dev = dev.parent_path();
        }
        ec.clear();
    }
    std::sort(found.begin(), found.end(),
              [](const auto& a, const auto& b) { return NaturalLess(a.first, b.first); });
    std::vector<BridgeInfo> bridges;
    for (auto& entry : found) bridges.push_back(std::move(entry.second));
    return bridges;
}

BridgeLookup FindBridge(const BridgeLocation& location) {
    BridgeLookup found;
    std::error_code ec;
    if (!location.fixedPath.empty()) {
        // A dangling symlink (a simulated device that went away) counts as absent.
        if (fs::exists(location.fixedPath, ec)) {
            found.finding = BridgeFinding::Port;
            found.node = location.fixedPath;
        }
        return found;
    }
    // sysfs is read as far as it goes: no list it could not read.
    std::vector<BridgeInfo> bridges = ListBridges(location).Value();
    if (!bridges.empty()) {
        found.finding = BridgeFinding::Port;
        found.node = std::move(bridges.front().node);
        return found;
    }
    // A bridge the kernel lists as a USB device, with no tty: the cp210x driver is not loaded,
    // or it is and the bridge got no tty from it (brltty's rule takes such bridges away; doctor
    // tells which).
    const fs::path sysfs(location.sysfsRoot);
    const bool driverLoaded = fs::exists(sysfs / "module" / "cp210x", ec) ||
                              fs::exists(sysfs / "bus" / "usb-serial" / "drivers" / "cp210x", ec);
    for (fs::directory_iterator it(sysfs / "bus" / "usb" / "devices", ec), end; !ec && it != end;
         it.increment(ec)) {
        if (LowerAscii(FirstLineOf(it->path() / "idVendor")) == kBridgeVendorId &&
            LowerAscii(FirstLineOf(it->path() / "idProduct")) == kBridgeProductId) {
            found.finding = driverLoaded ? BridgeFinding::NoComPort : BridgeFinding::NoDriver;
            break;
        }
    }
    return found;
}

std::string NoDriverAdvice() {
    return "load the cp210x driver (sudo modprobe cp210x), then unplug the link and plug it in "
           "again.";
}

const char* BridgePortNoun() {
    return "serial port";
}

PortArgumentWords PortArgument() {
    return {"PATH", "the serial device PATH"};
}

std::string NoComPortAdvice() {
    return "unplug the link and plug it in again; 'sudo dmesg' shows what the kernel made of it.";
}

}  // namespace vorna
