#include "gui/PortArrivalWatch.h"

namespace vorna::gui {

std::unique_ptr<QAbstractNativeEventFilter> WatchPortArrivals(MainWindow& /*window*/) {
    return nullptr;
}

}  // namespace vorna::gui
