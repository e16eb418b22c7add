// One device session for vornactl: the device stack with the page models and a view that keeps
// each procedure's outcome for the command to print. Commands drive the tick and wait for its
// results; unlike the window they do not wait for the poll's rhythm while the link moves on.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <iosfwd>
#include <mutex>
#include <optional>
#include <string>

#include "device/DeviceStack.h"

namespace vorna::cli {

// What vornactl shows while a command runs: the write's progress, on a terminal only (a file or a
// pipe gets whole lines or nothing, and the outcome says how the write ended). Port problems
// are kept for the command's last word rather than printed as they come, so that each is said
// once, with one piece of advice. Messages meant for the window are not printed; each command
// prints from the outcome it waited for.
class PrintingView : public LinkView {
public:
    explicit PrintingView(std::ostream& err) : err_(err) {}
    void ShowLamps(const LampState&) override {}
    void ShowMessage(const std::string&, MessageIcon) override {}
    void ShowPortProblem(const std::string& text) override;
    void ShowWriteProgress(const std::string& text) override;
    void WriteEnded(const WriteOutcome& outcome) override;
    void RestoreEnded(const RestoreOutcome& outcome) override;
    void UpdateEnded(const UpdateOutcome& outcome) override;

    // The outcome of the last procedure of each kind that ended, taken once.
    std::optional<WriteOutcome> TakeWrite();
    std::optional<RestoreOutcome> TakeRestore();
    std::optional<UpdateOutcome> TakeUpdate();
    // The last port problem the link reported, if any.
    std::string LastPortProblem();
    // Ends the progress line, if one was drawn, and stops drawing it.
    void EndProgress();

    std::atomic<bool> showProgress{false};
    std::atomic<bool> terminal{false};  // standard error is a terminal

private:
    std::ostream& err_;
    std::mutex mutex_;
    std::optional<WriteOutcome> write_;
    std::optional<RestoreOutcome> restore_;
    std::optional<UpdateOutcome> update_;
    std::string portProblem_;
    std::atomic<bool> progressShown_{false};
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
    // Runs `job` on the link thread between ticks and waits for it; false when it could not
    // run because the session is ending.
    bool Do(const std::function<void(DeviceStack&)>& job);
    // Waits until `done` (evaluated on the link thread after each tick) holds, or the timeout.
    // The first tick runs at once. While `done` does not hold, a tick that moved the link on
    // (the port opened, a device was found or lost, a request was served) is followed by the
    // next at once; a tick that changed nothing is followed by the next of the 500 ms poll,
    // so a device that does not answer is asked no more often than the window asks it. The
    // pauses inside a tick (after a read, between the pairs of a write) are the protocol's
    // and stay.
    bool WaitAfterTicks(const std::function<bool(ConnectionMonitor&)>& done,
                        std::chrono::milliseconds timeout);

    EscSetupModel setup;
    FirmwarePageModel firmware;
    PrintingView view;
    DeviceStack& Stack() { return stack_; }
    UsbUart& Link() { return stack_.Link(); }

private:
    // What a tick can move on: when none of it changed, the next tick would only repeat this
    // one.
    struct LinkProgress {
        UsbState usb;
        DeviceState device;
        DeviceState card;
        DeviceMode mode;
        bool validRecord;
        bool writeRequested;
        bool verifyPending;
        bool defaultRequested;
        long ended;
        bool operator==(const LinkProgress&) const = default;
    };
    LinkProgress ProgressNow();

    DeviceStack stack_;
    std::optional<LinkProgress> lastProgress_;  // link thread only
    std::mutex mutex_;
    std::condition_variable ticked_;
    std::function<bool(ConnectionMonitor&)> condition_;
    bool conditionMet_ = false;
};

}  // namespace vorna::cli
