// Notice of a serial port appearing, so that the poll opens a plugged-in bridge at once instead
// of on its next tick. Linux listens to udev for new ttys and, for an explicit port path, to
// the path's folder (a path that is no udev node, such as a link to a pseudo-terminal);
// Windows has no listener here: the window hears of new ports through its own window messages.
// The poll's tick stays the fallback: nothing is lost where no notice comes.
#pragma once

#include <functional>
#include <memory>

#include "link/BridgeDiscovery.h"

namespace vorna {

class PortArrivals {
public:
    PortArrivals();
    ~PortArrivals();
    PortArrivals(const PortArrivals&) = delete;
    PortArrivals& operator=(const PortArrivals&) = delete;

    // Listens on a thread of its own and calls `arrived` there each time a port appears. A
    // listener the system refuses (no udev, no inotify) is left out without a word. Started
    // once; a second call does nothing.
    void Start(const BridgeLocation& where, std::function<void()> arrived);
    // Ends the listening thread. Safe to call twice.
    void Stop();

    struct State;

private:
    std::unique_ptr<State> state_;
};

}  // namespace vorna
