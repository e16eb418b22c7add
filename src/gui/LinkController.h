// The window's way to the device: owns the device stack and turns its reports into queued
// signals for the UI thread, worded as the window words them. Messages the link thread asks for
// block it until the user has dismissed them.
#pragma once

#include <QObject>
#include <QString>

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

#include "device/DeviceStack.h"
#include "gui/ModelNews.h"

namespace vorna::gui {

class LinkController : public QObject, public LinkView {
    Q_OBJECT
public:
    LinkController(BridgeLocation location, EscSetupModel& setup, FirmwarePageModel& firmware,
                   QObject* parent = nullptr);
    ~LinkController() override;

    void Start();
    // Ordered shutdown: a message the link thread waits for is given up, then the thread ends.
    void Shutdown();
    // The same without waiting here: the link thread finishes the tick or job under way (a
    // write, say) and ends; `stopped` then runs on this object's thread.
    void ShutdownLater(std::function<void()> stopped);

    // Device menu items, run on the link thread between ticks.
    void ChooseEsc();
    void ChooseProgramCard();
    void ChooseFixMode();
    // A write's pairs are sent and the read-back that ends it is still to come (any thread).
    bool ReadBackPending() const;
    // Runs `job` on the link thread between ticks.
    void Post(std::function<void(ConnectionMonitor&)> job);
    // The system says a serial port has appeared: the poll looks at once.
    void PortArrived() { stack_.PortArrived(); }

    // LinkView (called on the link thread).
    void ShowLamps(const LampState& lamps) override;
    void ShowMessage(const std::string& text, MessageIcon icon) override;
    bool AskRetry(const std::string& text, RetryOf what) override;
    void WriteEnded(const WriteOutcome& outcome) override;
    void RestoreEnded(const RestoreOutcome& outcome) override;
    void UpdateEnded(const UpdateOutcome& outcome) override;
    void ShowPortProblem(const std::string& text) override;
    void PortProblemGone() override;
    void ShowWriteProgress(const std::string& text) override;
    void DeviceModeChanged(const DeviceMenuState& state, bool selectLinksPage) override;
    void OddAnswerChanged(const std::string& text) override;

    // The UI thread answers a messageRequested signal with this once the box is closed.
    void MessageDismissed(quint64 ticket, bool retry = false);

    // Changes of the setup model, whichever thread made them, arrive here as one signal.
    SetupModelNews& SetupNews() { return setupNews_; }

signals:
    void lampsChanged(bool usb, bool esc, bool card);
    void messageRequested(quint64 ticket, const QString& text, bool errorIcon);
    // Answered with MessageDismissed(ticket, retry).
    void retryRequested(quint64 ticket, const QString& text);
    // A yes or no question, No by default; answered with MessageDismissed(ticket, yes).
    void questionRequested(quint64 ticket, const QString& text);
    // The port is there but cannot be opened; empty once that is over.
    void portProblem(const QString& text);
    void writeProgress(const QString& text);
    void deviceModeChanged(vorna::DeviceMode mode, bool escPageEnabled, bool firmwarePageEnabled,
                           bool selectLinksPage);
    // Something answers, but not as the chosen device does; empty once that is over.
    void oddAnswerChanged(const QString& text);
    // What the last look for the bridge found (a port, none, one without its driver or its
    // port); said on each change.
    void bridgeFindingChanged(vorna::BridgeFinding finding);
    // After every tick: is the ESC, or in card mode the card, identified (for tests and the
    // screenshot mode).
    void ticked(bool escConnected, bool cardConnected);
    // After a tick that ended with no transfer requested, running or awaiting its read-back:
    // every transfer before it has ended, and its outcome's box has been closed (the link
    // thread waits for it within the tick).
    void settled();
    // A firmware update has ended; said before its outcome's box. `stopped`: it began and
    // broke off (the device may hold part of the image); `portClosed`: it closed the port
    // itself on stopping, as every stopped update does, rather than finding it gone.
    void updateEnded(bool card, bool stopped, bool portClosed);

private:
    // Emits the question through `ask` with a fresh ticket and waits for its answer.
    bool AwaitAnswer(const std::function<void(quint64)>& ask);
    void Tell(const QString& text, bool errorIcon);

    SetupModelNews setupNews_;
    DeviceStack stack_;
    std::mutex messageMutex_;
    std::condition_variable messageDone_;
    quint64 nextTicket_ = 0;
    quint64 dismissedTicket_ = 0;
    bool retryChosen_ = false;
    bool shuttingDown_ = false;
    std::thread stopper_;                              // ShutdownLater's wait for the link thread
    BridgeFinding finding_ = BridgeFinding::NoBridge;  // as last said; the link thread's
};

}  // namespace vorna::gui
