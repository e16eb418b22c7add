#include "gui/DemoDevice.h"

namespace vorna::gui {

bool DemoDevicesAvailable() {
    return false;
}

QString DemoDevicesNote() {
    return QStringLiteral(
        "--simulate is not part of the Windows build: the simulated devices answer through "
        "pseudo-terminals, which Windows does not have. Run one on Linux (vornactl simulate) "
        "instead.");
}

Result<DemoRun> StartDemoDevice(const QString&) {
    return Problem{ProblemKind::BadContent, DemoDevicesNote().toStdString()};
}

}  // namespace vorna::gui
