// Reading the ESC's settings, writing them back pair by pair, and restoring its defaults.
#pragma once

#include <string>

#include "link/UsbUart.h"
#include "protocol/LinkView.h"
#include "protocol/PageLinks.h"
#include "protocol/PollTimer.h"

namespace vorna {

inline constexpr const char* kMsgUsbConnectionError = "USB Connection Error!";
inline constexpr const char* kMsgEscConnectionError = "ESC Connection Error!";
inline constexpr const char* kMsgSendFail = "Send fail";
inline constexpr const char* kMsgEndOfWriteFail = "Send Fail";
inline constexpr const char* kMsgBecSetFailed = "BEC Voltage Set Failed!";
inline constexpr const char* kMsgDefaultError = "Default Setting error!";
inline constexpr const char* kMsgNotReadYet =
    "The settings of this ESC have not been read yet, so nothing was sent.\n"
    "Wait until the ESC lamp is lit and the page shows its settings, then send again.";
inline constexpr const char* kMsgNotInEscMode =
    "Settings are sent to an ESC in Esc mode only, so nothing was sent.\n"
    "Choose Device > Esc; its settings are read first.";
inline constexpr const char* kMsgReadFailed =
    "The settings of this ESC could not be read: it did not answer with a whole settings "
    "record after 6 tries.\nThe page shows no values until a read succeeds; the read is "
    "tried again every few seconds.";
inline constexpr const char* kMsgReadFailedNothingSent =
    "The settings of this ESC could not be read, so nothing was sent.\n"
    "The read is tried again every few seconds; send again once the page shows its settings.";
inline constexpr const char* kMsgRestoredButReadFailed =
    "The ESC restored its factory settings, but reading them back failed: it did not answer "
    "with a whole settings record.\nThe page shows no values until they are read.";
inline constexpr const char* kMsgRestored = "Factory settings restored.";
inline constexpr const char* kMsgBackupWhere = "The settings the ESC had before are saved in ";
inline constexpr const char* kMsgSentAndVerified = "Settings sent and verified";
inline constexpr const char* kMsgSentButDiffers =
    "Settings sent, but the ESC holds other values for: ";
// Followed by "(N of M were acknowledged)" and kMsgLinkLostMix.
inline constexpr const char* kMsgLinkLostDuringWrite =
    "The link to the ESC was lost while its settings were being sent";
inline constexpr const char* kMsgLinkLostMix =
    "The ESC may now hold a mix of its old and new settings: connect it again and read them "
    "before you drive.";
inline constexpr const char* kMsgSentNotVerified =
    "Settings sent, but reading them back failed, so they could not be verified.\n"
    "The page shows no values until they are read.";

// How the last write and the last restore ended, for those who cannot read a message box
// (vornactl).
enum class WriteOutcome { None, Refused, SendFailed, LinkLost, NotVerified, Differs, Verified };
enum class RestoreOutcome { None, Refused, Failed, NotReadBack, Restored };

// "USB Connection Error!", followed by why when the bridge's port is there but could not be
// opened (in use, no permission): the port's problem, not a missing bridge, is the reason.
std::string UsbConnectionError(const UsbUart& link);

class SettingsTransfer {
public:
    SettingsTransfer(UsbUart& link, SetupPageLink& setup, FirmwarePageLink& firmware,
                     LinkView& view, PollTimer& timer)
        : link_(link), setup_(setup), firmware_(firmware), view_(view), timer_(timer) {}

    // True when a whole settings record came and the page shows it. When not, the page's
    // values are forgotten: they may no longer be the ESC's.
    bool ReadSettings();
    void WriteSettings();
    // On the tick after a write: reads the settings back and compares them with what was sent.
    bool VerifyPending() const { return verifyPending_; }
    void VerifyWrite();
    void RestoreDefaults();
    bool LastReadFailed() const { return lastReadFailed_; }
    WriteOutcome LastWrite() const { return lastWrite_; }
    RestoreOutcome LastRestore() const { return lastRestore_; }
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
    // The port went away during a write: said at once (Retry could not help), and the port is
    // closed so that the bridge is looked for afresh.
    void LinkLostDuringWrite(int acknowledged, int total);

    bool verifyPending_ = false;
    bool lastReadFailed_ = false;
    WriteOutcome lastWrite_ = WriteOutcome::None;
    RestoreOutcome lastRestore_ = RestoreOutcome::None;
    std::string oddAnswer_;
    UsbUart& link_;
    SetupPageLink& setup_;
    FirmwarePageLink& firmware_;
    LinkView& view_;
    PollTimer& timer_;
};

}  // namespace vorna
