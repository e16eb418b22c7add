// Where the system tells a window program, not a thread, that a serial port has appeared
// (Windows' device-change message), the window passes it on to the poll. Linux needs nothing
// here: the device stack listens to udev itself. PortArrivalWatchPosix.cpp,
// PortArrivalWatchWin32.cpp.
#pragma once

#include <QAbstractNativeEventFilter>

#include <memory>

namespace vorna::gui {

class MainWindow;

// A filter for the application's native events that calls window.PortArrived() when a port
// appears; none (nullptr) where the system needs none. Install it for the window's lifetime.
std::unique_ptr<QAbstractNativeEventFilter> WatchPortArrivals(MainWindow& window);

}  // namespace vorna::gui
