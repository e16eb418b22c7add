// The simulated device that --simulate runs inside the window's own process: a demo without
// hardware. The simulated devices answer through pseudo-terminals, which Windows does not have,
// so the Windows build offers no --simulate and its --help says so (DemoDeviceWin32.cpp).
#pragma once

#include <QString>

#include <memory>
#include <string>

#include "base/Result.h"

namespace vorna::gui {

// A running simulated device; it stops when destroyed.
class DemoDevice {
public:
    virtual ~DemoDevice() = default;
};

// Whether this build can run one.
bool DemoDevicesAvailable();

// What --help says about --simulate where it is not available; empty where it is.
QString DemoDevicesNote();

struct DemoRun {
    std::unique_ptr<DemoDevice> device;
    std::string link;  // the path the window opens as its port
};

// Starts `what` ("esc", "esc:MODEL" with a model type from 0 to 17, or "card") behind a link
// named after this process. The problem, with its words for standard error, is BadContent when
// `what` names none of those or this build has no simulated devices, System when the device
// did not start.
Result<DemoRun> StartDemoDevice(const QString& what);

}  // namespace vorna::gui
