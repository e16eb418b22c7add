// Replacing the program card's firmware with a card image. Runs on the link thread inside the
// tick, with the poll stopped while it owns the line, shows its progress on the firmware page and
// returns how it ended.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "link/UsbUart.h"
#include "protocol/Outcomes.h"
#include "protocol/PageLinks.h"
#include "protocol/PollTimer.h"

namespace vorna {

class CardUpdate {
public:
    // `cardConnected` tells whether the monitor has the card identified; `cardReplaced` makes
    // the monitor identify it afresh, since its firmware (and so its identity) may have changed.
    CardUpdate(UsbUart& link, FirmwarePageLink& page, PollTimer& timer,
               std::function<bool()> cardConnected, std::function<void()> cardReplaced);

    // The firmware page's card update request, or one raised by Request().
    bool Requested() const;
    // Requests an update with any image file (vornactl). Call it on the link thread.
    void Request(const std::filesystem::path& file);
    // The whole procedure; the request is cleared at every end.
    UpdateOutcome Run();

    // Codes of the card's update mode.
    static constexpr std::uint8_t kEnter = 0xD6;     // first stage opener, second stage code
    static constexpr std::uint8_t kStageOne = 0xD7;  // answered with kStageOneAck
    static constexpr std::uint8_t kStageOneAck = 0xD8;
    static constexpr std::uint8_t kStageTwoAck = 0xD7;  // the answer to the second kEnter
    static constexpr std::uint8_t kBlockAccepted = 0x11;
    static constexpr std::uint8_t kBlockRejected = 0x12;  // the card's check of the block failed
    // Negative replies in a row after which the block is given up.
    static constexpr int kMaxNegativeReplies = 4;
    // The pause before each block, and the one after the last block while the card starts
    // its new firmware (ms).
    static constexpr int kBlockPauseMs = 5;
    static constexpr int kStartPauseMs = 1000;
    // How long the card may take to answer for its identity once its new firmware runs (ms).
    static constexpr int kIdentifyReplyMs = 500;

private:
    // Sends `code` until the card answers `wanted`: the first answer within `firstWaitMs`,
    // then three series of retries, each retry waiting a little longer.
    bool Handshake(std::uint8_t code, std::uint8_t wanted, int firstWaitMs, const char*& failure,
                   const char* sendFailed, const char* noAnswer);
    void Transfer(const std::filesystem::path& file, UpdateOutcome& outcome);
    // The firmware text the card reports after the update; none when it does not answer.
    std::optional<std::string> NewFirmware();
    void Stop(UpdateOutcome& outcome, const std::string& step, const char* deviceText,
              UpdateOutcome::Firmware firmware);

    using Kind = FirmwarePageLink::DeviceKind;
    UsbUart& link_;
    FirmwarePageLink& page_;
    PollTimer& timer_;
    std::function<bool()> cardConnected_;
    std::function<void()> cardReplaced_;
    std::optional<std::filesystem::path> requestedFile_;
};

}  // namespace vorna
