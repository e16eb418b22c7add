#include <windows.h>

#include <dbt.h>

#include <QByteArray>

#include "gui/MainWindow.h"
#include "gui/PortArrivalWatch.h"

namespace vorna::gui {
namespace {

// Every top-level window hears of a new port without asking for it: a COM port's arrival is
// broadcast. Anything else that arrives may be a bridge whose port comes with it, so any
// arrival wakes the poll; a needless look costs one device lookup.
class PortArrivalFilter : public QAbstractNativeEventFilter {
public:
    explicit PortArrivalFilter(MainWindow& window) : window_(window) {}

    bool nativeEventFilter(const QByteArray& eventType, void* message,
                           qintptr* /*result*/) override {
        if (eventType != "windows_generic_MSG") return false;
        const auto* msg = static_cast<const MSG*>(message);
        if (msg->message == WM_DEVICECHANGE && msg->wParam == DBT_DEVICEARRIVAL) {
            window_.PortArrived();
        }
        return false;  // others may want it too
    }

private:
    MainWindow& window_;
};

}  // namespace

std::unique_ptr<QAbstractNativeEventFilter> WatchPortArrivals(MainWindow& window) {
    return std::make_unique<PortArrivalFilter>(window);
}

}  // namespace vorna::gui
