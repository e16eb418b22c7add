#include <QCoreApplication>
#include <QDir>
#include <QStandardPaths>

#include "gui/DemoDevice.h"
#include "protocol/ModelTypes.h"
#include "sim/SimulatedCard.h"
#include "sim/SimulatedEsc.h"

namespace vorna::gui {
namespace {

class PtyDemo : public DemoDevice {
public:
    explicit PtyDemo(std::unique_ptr<sim::PtyDevice> device) : device_(std::move(device)) {}
    ~PtyDemo() override { device_->Stop(); }

private:
    std::unique_ptr<sim::PtyDevice> device_;
};

}  // namespace

bool DemoDevicesAvailable() {
    return true;
}

QString DemoDevicesNote() {
    return {};
}

Result<DemoRun> StartDemoDevice(const QString& what) {
    DemoRun start;
    const QString link =
        QDir(QStandardPaths::writableLocation(QStandardPaths::TempLocation))
            .filePath(QString("vorna-link-sim-%1").arg(QCoreApplication::applicationPid()));
    start.link = link.toStdString();
    std::unique_ptr<sim::PtyDevice> device;
    if (what == "card") {
        device = std::make_unique<sim::SimulatedCard>(start.link);
    } else if (what == "esc" || what.startsWith("esc:")) {
        bool ok = true;
        const int model = what == "esc" ? 16 : what.mid(4).toInt(&ok);
        if (!ok || model < 0 || model >= kModelTypeCount) {
            return Problem{ProblemKind::BadContent,
                           "--simulate esc:MODEL takes a model type from 0 to 17"};
        }
        device = std::make_unique<sim::SimulatedEsc>(start.link, model);
    } else {
        return Problem{ProblemKind::BadContent, "--simulate takes esc, esc:MODEL or card"};
    }
    const Status started = device->Start();
    if (!started) {
        return Problem{ProblemKind::System,
                       "cannot start the simulated device: " + started.Detail()};
    }
    start.device = std::make_unique<PtyDemo>(std::move(device));
    return start;
}

}  // namespace vorna::gui
