// The device stack, put together once: the link, the link thread that runs the 500 ms tick, the
// connection monitor with its settings transfer, both firmware updates, and the settings backup
// written before a restore or an ESC update replaces the ESC's settings. The window, vornactl
// and the tests each build one and add only how they show things (their LinkView) and the
// models of the pages they show.
#pragma once

#include <functional>

#include "firmware/CardUpdate.h"
#include "firmware/EscUpdate.h"
#include "firmware/FirmwarePageModel.h"
#include "firmware/FirmwareUpdater.h"
#include "link/BridgeDiscovery.h"
#include "link/PortArrivals.h"
#include "link/UsbUart.h"
#include "protocol/ConnectionMonitor.h"
#include "protocol/LinkThread.h"
#include "settings/EscSetupModel.h"

namespace vorna {

class DeviceStack {
public:
    // The models and the view must outlive the stack; its thread uses them until Shutdown.
    DeviceStack(BridgeLocation location, EscSetupModel& setup, FirmwarePageModel& firmware,
                LinkView& view);
    ~DeviceStack();
    DeviceStack(const DeviceStack&) = delete;
    DeviceStack& operator=(const DeviceStack&) = delete;

    // Starts the link thread: a tick every 500 ms, then `afterTick` on the same thread; a port
    // that appears brings the next tick forward (PortArrivals).
    void Start(std::function<void()> afterTick = {});
    // A serial port has appeared (where the system tells the window, not the stack): the next
    // tick comes at once.
    void PortArrived() { thread_.TickNow(); }
    // Runs `job` on the link thread after the tick or job under way.
    void Post(std::function<void()> job);
    // Finishes the tick or job under way, drops queued jobs and joins. Safe to call twice.
    void Shutdown();
    // One tick on the calling thread, for a stack whose thread was never started (tests).
    void Tick();

    ConnectionMonitor& Monitor() { return monitor_; }
    // A write's read-back is still to come; safe from any thread.
    bool ReadBackPending() const { return monitor_.Transfer().VerifyPending(); }
    UsbUart& Link() { return link_; }
    LinkThread& Thread() { return thread_; }
    EscUpdate& Esc() { return esc_; }
    CardUpdate& Card() { return card_; }
    EscSetupModel& Setup() { return setup_; }
    FirmwarePageModel& Firmware() { return firmware_; }

private:
    EscSetupModel& setup_;
    FirmwarePageModel& firmware_;
    BridgeLocation location_;
    UsbUart link_;
    LinkThread thread_;
    ConnectionMonitor monitor_;
    EscUpdate esc_;
    CardUpdate card_;
    FirmwareUpdater updater_;
    std::function<void()> afterTick_;
    PortArrivals arrivals_;
};

// The one way a settings backup is written: the connected ESC's settings as last read from it
// (never the page's unsent choices), saved in the user's backup folder with the date, the time
// and the model type in the name, and why it was made in a comment line of the file.
SettingsBackup BackUpEscSettings(const EscSetupModel& setup, BackupReason reason);

}  // namespace vorna
