// Reading the ESC's settings, writing them back pair by pair, and restoring its defaults. Each
// procedure returns how it ended; the tick (ConnectionMonitor) shows the outcome and decides
// whether a request stays for the next tick.
#pragma once

#include <atomic>
#include <functional>
#include <optional>
#include <string>

#include "link/UsbUart.h"
#include "protocol/LinkView.h"
#include "protocol/Outcomes.h"
#include "protocol/PageLinks.h"
#include "protocol/PollTimer.h"

namespace vorna {

// "USB Connection Error!", followed by why when the bridge's port is there but could not be
// opened (in use, no permission): the port's problem, not a missing bridge, is the reason.
std::string UsbConnectionError(const UsbUart& link);

class SettingsTransfer {
public:
    // `view` shows the write's progress; outcomes go back to the caller.
    SettingsTransfer(UsbUart& link, SetupPageLink& setup, FirmwarePageLink& firmware,
                     LinkView& view, PollTimer& timer)
        : link_(link), setup_(setup), firmware_(firmware), view_(view), timer_(timer) {}

    // True when a whole settings record came and the page shows it. When not, the page's
    // values are forgotten: they may no longer be the ESC's. A BEC Voltage that the ESC keeps
    // apart and does not answer for is left unread (the page says so) without failing the read.
    [[nodiscard]] bool ReadSettings();
    // Sends the page's settings: Sent when every pair went out (the read-back on the next tick,
    // VerifyWrite, ends the write), else how it ended.
    WriteOutcome WriteSettings();
    // Read from any thread: the window keeps its controls still until the read-back is over.
    bool VerifyPending() const { return verifyPending_; }
    WriteOutcome VerifyWrite();
    // Saves the ESC's settings (the `backup` hook), then has the ESC restore its factory
    // settings and reads them; a backup that could not be written ends it there (NoBackup, nothing
    // sent). A backup written for a restore the ESC did not take is used again when the same
    // request is tried again; EndRestoreRequest forgets it.
    RestoreOutcome RestoreDefaults();
    void EndRestoreRequest() { restoreBackup_.reset(); }
    // Writes the settings backup before a restore. Not set: none is written.
    std::function<SettingsBackup()> backup;

    bool LastReadFailed() const { return lastReadFailed_; }
    // What answered in place of the ESC (ConnectionMonitor::OddAnswer), added to "ESC
    // Connection Error!" so that a wrong device is not taken for a missing one.
    void SetOddAnswer(const std::string& text) { oddAnswer_ = text; }

    // Length of the settings reply, end marker included, for a model type.
    static int ReplyLengthFor(int modelType);
    // Pairs a write sends, and the divisor of its progress figure (0 pairs: 0).
    static int PairCountFor(int modelType, int replyLength);
    static int ProgressDivisorFor(int modelType, int replyLength);

    int replyLength = 0;  // set by every read attempt; 0 before the first

private:
    bool ReadRecord(int modelType);
    std::string EscConnectionError() const;
    // Why nothing can be sent to the ESC now; nothing when something can.
    std::optional<std::string> WhyNotNow(NextStep& next) const;
    // The port went away during a write: the port is closed so that the bridge is looked for
    // afresh.
    WriteOutcome LinkLost(int acknowledged, int pairs);

    std::atomic<bool> verifyPending_{false};
    bool becUnconfirmed_ = false;  // the write's BEC pair got no confirmation
    bool lastReadFailed_ = false;
    int pairsSent_ = 0;
    std::optional<SettingsBackup> restoreBackup_;
    std::string oddAnswer_;
    UsbUart& link_;
    SetupPageLink& setup_;
    FirmwarePageLink& firmware_;
    LinkView& view_;
    PollTimer& timer_;
};

}  // namespace vorna
