// One device session for vornactl: the real link, models, monitor and link thread, wired as
// in the window, with a view that prints. Commands drive the tick and wait for its results;
// unlike the window they do not wait for the poll's rhythm while the link moves on.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <iosfwd>
#include <mutex>
#include <string>
#include <vector>

#include "firmware/EscUpdate.h"
#include "firmware/FirmwarePageModel.h"
#include "firmware/FirmwareUpdater.h"
#include "link/BridgeDiscovery.h"
#include "link/UsbUart.h"
#include "protocol/ConnectionMonitor.h"
#include "protocol/LinkThread.h"
#include "settings/EscSetupModel.h"

namespace vorna::cli {

// Prints what the window would show; messages are "dismissed" at once.
class PrintingView : public LinkView {
public:
    explicit PrintingView(std::ostream& err) : err_(err) {}
    void ShowLamps(const LampState&) override {}
    void ShowMessage(const std::string& text, MessageIcon icon) override;
    void ShowPortProblem(const std::string& text) override;
    void ShowWriteProgress(const std::string& text) override;

    std::vector<std::string> TakeMessages();
    bool showProgress = false;
    // While false, messages are only kept for TakeMessages: a command that words the outcome
    // itself then prints each one once.
    std::atomic<bool> echoMessages{true};

private:
    std::ostream& err_;
    std::mutex mutex_;
    std::vector<std::string> messages_;
};

class Session {
public:
    // `trace`: every byte sent and received goes to `err` with a time stamp; `traceLines` also
    // receives those lines (without the line feed), on the link thread, whether or not `trace`.
    Session(BridgeLocation location, std::ostream& err, bool trace,
            std::function<void(const std::string&)> traceLines = nullptr);
    ~Session();

    // Starts the link thread; the tick runs every 500 ms from then on, and sooner while a
    // command waits (WaitAfterTicks).
    void Start();
    // Runs `job` on the link thread between ticks and waits for it.
    void Do(const std::function<void(ConnectionMonitor&)>& job);
    // Waits until `done` (evaluated on the link thread after each tick) holds, or the timeout.
    // The first tick runs at once. While `done` does not hold, a tick that moved the link on
    // (the port opened, a device was found or lost, a request was served) is followed by the
    // next at once; a tick that changed nothing is followed by the next of the 500 ms poll,
    // so a device that does not answer is asked no more often than the window asks it. The
    // pauses inside a tick (after a read, between the pairs of a write) are the protocol's
    // and stay.
    bool WaitAfterTicks(const std::function<bool(ConnectionMonitor&)>& done,
                        std::chrono::milliseconds timeout);

    // The poll timer, for the firmware updates that pause it while they own the line.
    PollTimer& Timer() { return thread_; }

    EscSetupModel setup;
    FirmwarePageModel firmware;
    PrintingView view;
    UsbUart link;

    // The ESC firmware update, served by the monitor's tick. Use it on the link thread (Do).
    EscUpdate& Esc() { return escUpdate_; }

private:
    LinkThread thread_;
    ConnectionMonitor monitor_;
    EscUpdate escUpdate_;
    FirmwareUpdater updater_;
    std::mutex mutex_;
    std::condition_variable ticked_;
    long tickCount_ = 0;
    std::function<bool(ConnectionMonitor&)> condition_;
    bool conditionMet_ = false;
};

}  // namespace vorna::cli
