// The 500 ms poll: keeps the port open, talks to the device of the chosen Device mode,
// identifies a newly found device, keeps the three lamps, and serves the pages' requests.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "link/BridgeDiscovery.h"
#include "link/UsbUart.h"
#include "protocol/LinkView.h"
#include "protocol/PageLinks.h"
#include "protocol/PollTimer.h"
#include "protocol/SettingsTransfer.h"

namespace vorna {

// Firmware updates are started from the tick; they run on the link thread, one at a time.
class FirmwareUpdates {
public:
    virtual ~FirmwareUpdates() = default;
    virtual bool CardUpdateRequested() const = 0;
    virtual UpdateOutcome RunCardUpdate() = 0;
    virtual bool EscUpdateRequested() const = 0;
    virtual UpdateOutcome RunEscUpdate() = 0;
};

class ConnectionMonitor {
public:
    ConnectionMonitor(UsbUart& link, BridgeLocation location, SetupPageLink& setup,
                      FirmwarePageLink& firmware, LinkView& view, PollTimer& timer);

    // One poll tick: open the port, poll, then serve card update, ESC update, restore and
    // write requests, in that order. Each procedure that ends is shown through the view; a
    // write whose pair was not acknowledged, or a restore the ESC did not take, is asked about
    // once (Retry keeps the request for the next tick).
    void OnTimer();
    void PollDevice();
    // Asks for the seven identity bytes; on Ok they are at the start of the link's Reply().
    LinkResult IdentifyDevice();
    void UpdateStatusLamps();

    // Device menu items: each toggles its mode; the modes exclude each other.
    void ChooseEsc();
    void ChooseProgramCard();
    void ChooseFixMode();

    DeviceMode Mode() const { return mode_; }
    DeviceMenuState MenuState() const;
    DeviceState CardState() const { return cardState_; }
    // The card's firmware was replaced: it is identified afresh on the next tick.
    void CardReplaced() { cardState_ = DeviceState::Absent; }
    LampState Lamps() const;

    // Something answered the chosen mode's check or identification, but not as that device
    // does: one sentence naming the port and what came. Empty while the device answers as it
    // should, while nothing answers at all, and without an open port.
    const std::string& OddAnswer() const { return oddAnswer_; }

    SettingsTransfer& Transfer() { return transfer_; }
    const SettingsTransfer& Transfer() const { return transfer_; }
    UsbUart& Link() { return link_; }
    void SetFirmwareUpdates(FirmwareUpdates* updates) { updates_ = updates; }
    // How many procedures have ended so far (a write, a restore, an update): a tick that
    // changes it moved the link on.
    long EndedProcedures() const { return ended_; }

    // A device answering Fix Mode's probe with anything but 0xD7 is asked again; this many
    // times per tick at most, so a babbling line cannot hold the link thread for ever.
    static constexpr int kFixProbeRetries = 20;
    // A read that failed is tried again after 1, 2, 4, 8 and then every 16 ticks.
    static constexpr int kMaxReadRetryTicks = 16;

private:
    void PollEsc();
    void PollCard();
    void PollFix();
    void RetryFailedRead();
    void ClearEscTexts(bool keepBlinkyText);
    // The bridge went or another Device mode was chosen: the pages show no device's texts.
    void ForgetShownDevices();
    // The card no longer answers as one: it counts as absent, and its texts go.
    void LoseCard();
    void AnnounceMode(bool selectLinksPage);
    void EndWrite(WriteOutcome outcome);
    void EndRestore(RestoreOutcome outcome);
    void EndUpdate(const UpdateOutcome& outcome);
    // What answered in the chosen mode was not the device: `detail` says how.
    void NoteOddAnswer(const std::string& detail);
    // Nothing odd answered (the device did, or nothing at all).
    void ClearOddAnswer();
    void ShowOddAnswer(std::string odd);

    UsbUart& link_;
    BridgeLocation location_;
    SetupPageLink& setup_;
    FirmwarePageLink& firmware_;
    LinkView& view_;
    PollTimer& timer_;
    SettingsTransfer transfer_;
    FirmwareUpdates* updates_ = nullptr;

    DeviceMode mode_ = DeviceMode::None;
    DeviceState cardState_ = DeviceState::Absent;
    int readRetryInTicks_ = 0;
    int readRetryDelay_ = 1;
    bool identityShown_ = false;  // an identity is on the pages since the last ForgetShownDevices
    bool escPageEnabled_ = false;
    bool firmwarePageEnabled_ = false;
    std::optional<Problem> lastPortProblem_;  // shown, and not gone since
    std::string oddAnswer_;
    long ended_ = 0;
};

}  // namespace vorna
