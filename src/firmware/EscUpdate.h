// The ESC firmware update: checks the connection, reads and checks the chosen image,
// saves the ESC's settings, opens the ESC's update mode with the three-byte handshake, sends the
// image one record at a time with one reply byte after each, and leaves Finished or Failed on the
// firmware page. It runs on the link thread from the tick, with the poll timer stopped.
#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "firmware/FirmwareImages.h"
#include "link/UsbUart.h"
#include "protocol/ConnectionMonitor.h"
#include "protocol/LinkView.h"
#include "protocol/PageLinks.h"
#include "protocol/PollTimer.h"

namespace vorna {

// What saving the connected ESC's settings before an update gave: the file written, or why
// nothing could be written.
struct SettingsBackupResult {
    std::string path;   // empty when nothing was written
    std::string error;  // empty unless the backup failed
};

class EscUpdate {
public:
    // `isFixMode` tells whether the Device mode is Fix Mode, in which an update may start
    // without an identified ESC.
    EscUpdate(UsbUart& link, SetupPageLink& setup, FirmwarePageLink& firmware, LinkView& view,
              PollTimer& timer, std::function<bool()> isFixMode);

    // The firmware page's ESC update request, or one raised by Request().
    bool Requested() const;
    // Requests an update with any image file, without the firmware page's list (vornactl).
    // Call it on the link thread; the next tick runs it.
    void Request(const std::filesystem::path& file);
    // The whole procedure, for the image the firmware page selected. The request is cleared at
    // every end.
    void Run();
    // The same for an image already read (the connection checks, the backup and everything
    // after them). An image without records runs the handshake alone and finishes.
    void Run(const EscImage& image);

    // Asked, with the image's first suspect line, whether to flash it anyway. Not set: a
    // suspect image is refused.
    std::function<bool(const std::string&)> confirmSuspect;
    // Saves the settings of the connected ESC; called before the handshake when the setup page
    // holds a valid record of it. Not set: no backup.
    std::function<SettingsBackupResult()> backup;

    // How the last run ended, for callers that report it (vornactl).
    enum class Outcome { NotRun, Refused, NoConnection, Finished, Failed };
    struct Result {
        Outcome outcome = Outcome::NotRun;
        std::string message;       // the text shown at the end (staged error, refusal, ...)
        bool identified = false;   // the post-update check got an identity
        std::string firmwareText;  // the ESC's firmware text after a successful update
        SettingsBackupResult backup;
    };
    const Result& LastResult() const { return result_; }

    // Reply time-outs of the wire exchange (ms).
    static constexpr int kHandshakeReplyMs = 1000;
    static constexpr int kRecordReplyMs = 2000;
    static constexpr int kCheckReplyMs = 500;
    static constexpr int kSettleMs = 1000;
    static constexpr int kLateAnswerMs = 50;  // before the 0xD6 whose answer counts

private:
    bool ConnectionChecked();
    void Transfer(const EscImage& image);
    void ErrorExit(const std::string& staged);
    void PostUpdateCheck();
    void End(Outcome outcome, const std::string& message, MessageIcon icon);

    UsbUart& link_;
    SetupPageLink& setup_;
    FirmwarePageLink& firmware_;
    LinkView& view_;
    PollTimer& timer_;
    std::function<bool()> isFixMode_;
    std::optional<std::filesystem::path> requestedFile_;
    Result result_;
};

}  // namespace vorna
