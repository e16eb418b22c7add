// Replacing the program card's firmware with the card image chosen on the firmware page. Runs
// on the link thread inside the tick, with the poll stopped while it owns the line, and
// reports only through the firmware page and the link view.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "link/UsbUart.h"
#include "protocol/ConnectionMonitor.h"
#include "protocol/LinkView.h"
#include "protocol/PageLinks.h"
#include "protocol/PollTimer.h"

namespace vorna {

inline constexpr const char* kMsgCardUsbError = "USB Connection Error!";
inline constexpr const char* kMsgCardConnectionError = "Program Card Connection Error!";
inline constexpr const char* kMsgCardD6SendFailed = "Update Error: TX=0xd6, TX Timeover!";
inline constexpr const char* kMsgCardD7SendFailed = "Update Error: TX=0xd7, TX Timeover!";
inline constexpr const char* kMsgCardNoD8 = "Update Error: TX=0xd7, RX!=0xd8!";
inline constexpr const char* kMsgCardNoD7 = "Update Error: TX=0xd6, RX!=0xd7!";
inline constexpr const char* kMsgCardBlockWriteFailed = "Update Error: Data transfer error!";
inline constexpr const char* kMsgCardNoAck = "Update Error: Data transfer no ack!";
inline constexpr const char* kMsgCardCrcError = "Update Error: Data transfer crc error!";
inline constexpr const char* kMsgCardTooManyRepeats =
    "Update Error: repeat Data transfer over four time!";
inline constexpr const char* kMsgCardCountError = "Update Error: transfer bytes number error!";

class CardUpdate {
public:
    // `cardConnected` tells whether the monitor has the card identified; `cardReplaced` makes
    // the monitor identify it afresh, since its firmware (and so its identity) may have changed.
    CardUpdate(UsbUart& link, FirmwarePageLink& page, LinkView& view, PollTimer& timer,
               std::function<bool()> cardConnected, std::function<void()> cardReplaced);

    bool Requested() const;
    void Run();

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

private:
    // Sends `code` until the card answers `wanted`: the first answer within `firstWaitMs`,
    // then three series of retries, each retry waiting a little longer.
    bool Handshake(std::uint8_t code, std::uint8_t wanted, int firstWaitMs, const char* sendFailed,
                   const char* noAnswer);
    void Fail();
    void Stage(const char* text) { staged_ = text; }

    using Kind = FirmwarePageLink::DeviceKind;
    UsbUart& link_;
    FirmwarePageLink& page_;
    LinkView& view_;
    PollTimer& timer_;
    std::function<bool()> cardConnected_;
    std::function<void()> cardReplaced_;
    std::string staged_;
};

}  // namespace vorna
