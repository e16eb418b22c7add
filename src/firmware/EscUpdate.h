// The ESC firmware update: checks the connection, reads and checks the chosen image, saves the
// ESC's settings, opens the ESC's update mode with the three-byte handshake, sends the image one
// record at a time with one reply byte after each, checks what the ESC reports afterwards, and
// returns how it ended. It runs on the link thread from the tick, with the poll timer stopped.
#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "firmware/FirmwareImages.h"
#include "link/UsbUart.h"
#include "protocol/Outcomes.h"
#include "protocol/PageLinks.h"
#include "protocol/PollTimer.h"

namespace vorna {

class EscUpdate {
public:
    // `isFixMode` tells whether the Device mode is Fix Mode, in which an update may start
    // without an identified ESC. `oddAnswer` is what answered in place of the ESC, if anything.
    EscUpdate(UsbUart& link, SetupPageLink& setup, FirmwarePageLink& firmware, PollTimer& timer,
              std::function<bool()> isFixMode, std::function<std::string()> oddAnswer = {});

    // The firmware page's ESC update request, or one raised by Request().
    bool Requested() const;
    // Requests an update with any image file, without the firmware page's list (vornactl).
    // Call it on the link thread; the next tick runs it.
    void Request(const std::filesystem::path& file);
    // The whole procedure, for the requested image (else the one the firmware page selected).
    // The request is cleared at every end.
    UpdateOutcome Run();

    // Asked, with the image's first suspect line, whether to flash it anyway. Not set: a
    // suspect image is refused.
    std::function<bool(const std::string&)> confirmSuspect;
    // Saves the settings of the connected ESC before the handshake. In Esc mode an update does
    // not start without that backup unless `confirmNoBackup`, asked with the reason, says yes
    // (not set: it refuses). Not set: no backup is made or asked for (the update alone, in
    // tests of the wire exchange).
    std::function<SettingsBackup()> backup;
    std::function<bool(const std::string& why)> confirmNoBackup;

    // Reply time-outs of the wire exchange (ms).
    static constexpr int kHandshakeReplyMs = 1000;
    static constexpr int kRecordReplyMs = 2000;
    static constexpr int kCheckReplyMs = 500;
    static constexpr int kSettleMs = 1000;
    static constexpr int kLateAnswerMs = 50;  // before the 0xD6 whose answer counts

private:
    bool Connected(UpdateOutcome& outcome);
    // The backup before an update in Esc mode; false when there is none and the user did not
    // want to go on without it (the outcome then says so).
    bool BackedUp(bool identified, UpdateOutcome& outcome);
    void Transfer(const std::filesystem::path& file, const EscImage& image, UpdateOutcome& outcome);
    // The update stopped: `step` in plain words, the device's own text, and what the firmware
    // is now.
    void Stop(UpdateOutcome& outcome, const std::string& step, const char* deviceText,
              UpdateOutcome::Firmware firmware);
    // The identity the ESC answers after the update, if it answers.
    std::optional<IdentityBytes> PostUpdateCheck();
    void TakeNewIdentity(const IdentityBytes& identity, UpdateOutcome& outcome);

    UsbUart& link_;
    SetupPageLink& setup_;
    FirmwarePageLink& firmware_;
    PollTimer& timer_;
    std::function<bool()> isFixMode_;
    std::function<std::string()> oddAnswer_;
    std::optional<std::filesystem::path> requestedFile_;
};

}  // namespace vorna
