#include "firmware/CardUpdate.h"

#include <chrono>
#include <filesystem>
#include <thread>
#include <utility>

#include "firmware/FirmwareImages.h"

namespace vorna {

namespace {

void Pause(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

}  // namespace

CardUpdate::CardUpdate(UsbUart& link, FirmwarePageLink& page, LinkView& view, PollTimer& timer,
                       std::function<bool()> cardConnected, std::function<void()> cardReplaced)
    : link_(link),
      page_(page),
      view_(view),
      timer_(timer),
      cardConnected_(std::move(cardConnected)),
      cardReplaced_(std::move(cardReplaced)) {}

bool CardUpdate::Requested() const {
    return page_.UpdateRequested(Kind::Card);
}

void CardUpdate::Run() {
    const std::filesystem::path imagePath = page_.SelectedImagePath(Kind::Card);
    if (link_.GetUsbState() != UsbState::Connected) {
        page_.ClearUpdateRequest(Kind::Card);
        view_.ShowMessage(UsbConnectionError(link_), MessageIcon::Error);
        return;
    }
    if (!cardConnected_()) {
        page_.ClearUpdateRequest(Kind::Card);
        view_.ShowMessage(kMsgCardConnectionError, MessageIcon::Error);
        return;
    }
    // The whole image is read and checked before the card hears anything: a card left in its
    // update mode with half an image has no firmware to start.
    const ImageResult<CardImage> read = ReadCardImage(imagePath);
    if (!read.Ok()) {
        page_.ClearUpdateRequest(Kind::Card);
        view_.ShowMessage(read.Refusal().Text(), MessageIcon::Error);
        return;
    }
    const CardImage& image = read.Value();

    timer_.StopTimer();
    page_.ShowUpdateStatus(Kind::Card, FirmwarePageLink::UpdateStatus::Running);
    link_.PurgeAndClear();

    // First stage: the opener three times (whatever the card says to it), then the stage code.
    for (int i = 0; i < 3; ++i) {
        Stage(kMsgCardD6SendFailed);
        if (link_.SendCommandByte(kEnter) != LinkResult::Ok) return Fail();
        static_cast<void>(link_.ReadReply(1, 1000));
    }
    if (!Handshake(kStageOne, kStageOneAck, 1000, kMsgCardD7SendFailed, kMsgCardNoD8)) {
        return Fail();
    }
    if (!Handshake(kEnter, kStageTwoAck, 1500, kMsgCardD6SendFailed, kMsgCardNoD7)) {
        return Fail();
    }

    std::size_t sent = 0;
    int negativeReplies = 0;
    page_.ShowBytesSent(Kind::Card, sent, image.bytes.size());
    for (std::size_t index = 0; index < image.blocks.size();) {
        const CardBlock& block = image.blocks[index];
        const int percent = ProgressPercent(sent, image.bytes.size());
        Pause(kBlockPauseMs);
        page_.ShowUpdateProgress(Kind::Card, percent);
        link_.PurgeAndClear();
        Stage(kMsgCardBlockWriteFailed);
        if (link_.SendBlock(image.bytes.data() + block.offset, block.size) != LinkResult::Ok) {
            return Fail();
        }
        Stage(kMsgCardNoAck);
        if (link_.ReadReply(1, 2000) != LinkResult::Ok) return Fail();
        const std::uint8_t reply = link_.rxBuffer[0];
        if (reply == kBlockAccepted) {
            sent += block.size;
            page_.ShowBytesSent(Kind::Card, sent, image.bytes.size());
            negativeReplies = 0;
            ++index;
        } else if (reply == kBlockRejected) {
            Stage(kMsgCardCrcError);
            return Fail();
        } else if (++negativeReplies >= kMaxNegativeReplies) {
            Stage(kMsgCardTooManyRepeats);
            return Fail();
        }
        // Any other reply asks for the same block again.
    }
    if (sent != image.bytes.size()) {
        Stage(kMsgCardCountError);
        return Fail();
    }
    // The card starts its new firmware once the last block is in.
    Pause(kStartPauseMs);
    page_.ClearUpdateRequest(Kind::Card);
    page_.ShowUpdateStatus(Kind::Card, FirmwarePageLink::UpdateStatus::Finished);
    cardReplaced_();
    link_.PurgeAndClear();
    timer_.StartTimer(kPollPeriodMs);
}

bool CardUpdate::Handshake(std::uint8_t code, std::uint8_t wanted, int firstWaitMs,
                           const char* sendFailed, const char* noAnswer) {
    Stage(sendFailed);
    if (link_.SendCommandByte(code) != LinkResult::Ok) return false;
    Stage(noAnswer);
    if (link_.ReadReply(1, firstWaitMs) == LinkResult::Ok && link_.rxBuffer[0] == wanted) {
        return true;
    }
    // A card busy erasing answers late; each series of retries gives it longer.
    static constexpr int kRetryWaitsMs[] = {1000, 1500, 2000, 1500, 2000, 2000};
    for (const int waitMs : kRetryWaitsMs) {
        // A lost read-back does not mean the card missed the code; its answer decides.
        static_cast<void>(link_.SendCommandByte(code));
        if (link_.ReadReply(1, waitMs) == LinkResult::Ok && link_.rxBuffer[0] == wanted) {
            return true;
        }
    }
    return false;
}

void CardUpdate::Fail() {
    // The card is in an unknown state: the port is opened afresh and the card found again.
    link_.ClosePort();
    view_.ShowMessage(staged_, MessageIcon::None);
    page_.ShowUpdateStatus(Kind::Card, FirmwarePageLink::UpdateStatus::Failed);
    page_.ClearUpdateRequest(Kind::Card);
    timer_.StartTimer(kPollPeriodMs);
}

}  // namespace vorna
