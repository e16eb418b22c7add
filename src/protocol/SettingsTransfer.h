// Reading the ESC's settings, writing them back pair by pair, and restoring its defaults.
#pragma once

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

class SettingsTransfer {
public:
    SettingsTransfer(UsbUart& link, SetupPageLink& setup, FirmwarePageLink& firmware,
                     LinkView& view, PollTimer& timer)
        : link_(link), setup_(setup), firmware_(firmware), view_(view), timer_(timer) {}

    void ReadSettings();
    void WriteSettings();
    void RestoreDefaults();

    // Length of the settings reply, end marker included, for a model type.
    static int ReplyLengthFor(int modelType);
    // Pairs a write sends, and the divisor of its progress figure (0 pairs: 0).
    static int PairCountFor(int modelType, int replyLength);
    static int ProgressDivisorFor(int modelType, int replyLength);

    int replyLength = 0;  // set by every read attempt; 0 before the first

private:
    UsbUart& link_;
    SetupPageLink& setup_;
    FirmwarePageLink& firmware_;
    LinkView& view_;
    PollTimer& timer_;
};

}  // namespace vorna
