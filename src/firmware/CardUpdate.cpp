#include "firmware/CardUpdate.h"

#include <algorithm>
#include <chrono>
#include <thread>
#include <utility>

#include "firmware/FirmwareImages.h"
#include "firmware/IdentityTexts.h"
#include "firmware/UpdateStop.h"
#include "protocol/Commands.h"
#include "protocol/Messages.h"
#include "protocol/SettingsTransfer.h"

namespace vorna {

namespace {

using Firmware = UpdateOutcome::Firmware;
using Outcome = UpdateOutcome::Result;

void Pause(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

const char* Usable(Firmware firmware) {
    switch (firmware) {
        case Firmware::Untouched:
            return msg::kCardFirmwareUntouched;
        case Firmware::MayBeIncomplete:
            return msg::kCardFirmwareMayBeIncomplete;
        case Firmware::Incomplete:
            return msg::kCardFirmwareIncomplete;
        case Firmware::Replaced:
            break;
    }
    return "";
}

}  // namespace

CardUpdate::CardUpdate(UsbUart& link, FirmwarePageLink& page, PollTimer& timer,
                       std::function<bool()> cardConnected, std::function<void()> cardReplaced)
    : link_(link),
      page_(page),
      timer_(timer),
      cardConnected_(std::move(cardConnected)),
      cardReplaced_(std::move(cardReplaced)) {}

bool CardUpdate::Requested() const {
    return requestedFile_.has_value() || page_.UpdateRequested(Kind::Card);
}

void CardUpdate::Request(const std::filesystem::path& file) {
    requestedFile_ = file;
}

UpdateOutcome CardUpdate::Run() {
    UpdateOutcome outcome;
    outcome.device = UpdateOutcome::Device::Card;
    const std::filesystem::path file =
        requestedFile_ ? *requestedFile_ : page_.SelectedImagePath(Kind::Card);
    if (link_.GetUsbState() != UsbState::Connected) {
        outcome.result = Outcome::NoDevice;
        outcome.next = NextStep::Reconnect;
        outcome.message = UsbConnectionError(link_);
    } else if (!cardConnected_()) {
        outcome.result = Outcome::NoDevice;
        outcome.next = NextStep::Reconnect;
        outcome.message = msg::kCardConnectionError;
    } else {
        Transfer(file, outcome);
    }
    page_.ClearUpdateRequest(Kind::Card);
    requestedFile_.reset();
    return outcome;
}

void CardUpdate::Stop(UpdateOutcome& outcome, const std::string& step, const char* deviceText,
                      Firmware firmware) {
    StopUpdate(link_, outcome, "program card", step, deviceText, firmware, Usable(firmware),
               NextStep::FlashCardAgain);
    page_.ShowUpdateStatus(Kind::Card, FirmwarePageLink::UpdateStatus::Failed);
    timer_.StartTimer(kPollPeriodMs);
}

void CardUpdate::Transfer(const std::filesystem::path& file, UpdateOutcome& outcome) {
    // The whole image is read and checked before the card hears anything: a card left in its
    // update mode with half an image has no firmware to start.
    const auto read = ReadCardImage(file);
    if (!read.Ok()) {
        outcome.result = Outcome::Refused;
        outcome.message =
            std::string(msg::kReadFileError) + "\n" + read.Detail() + "\n" + msg::kCardNothingSent;
        // The page shows the refusal, not the end of an earlier update.
        page_.ShowUpdateStatus(Kind::Card, FirmwarePageLink::UpdateStatus::Failed);
        return;
    }
    const CardImage& image = read.Value();
    outcome.total = image.bytes.size();

    timer_.StopTimer();
    page_.ShowUpdateStatus(Kind::Card, FirmwarePageLink::UpdateStatus::Running);
    link_.PurgeAndClear();

    // First stage: the opener three times (whatever the card says to it), then the stage code.
    for (int i = 0; i < 3; ++i) {
        if (link_.SendCommandByte(kEnter) != LinkResult::Ok) {
            return Stop(outcome, msg::kCardNoStart, msg::kUpdateD6, Firmware::Untouched);
        }
        static_cast<void>(link_.ReadReply(1, 1000));
    }
    const char* failure = nullptr;
    if (!Handshake(kStageOne, kStageOneAck, 1000, failure, msg::kUpdateD7, msg::kUpdateNoD8)) {
        return Stop(outcome, msg::kCardNoUpdateMode, failure, Firmware::Untouched);
    }
    if (!Handshake(kEnter, kStageTwoAck, 1500, failure, msg::kUpdateD6, msg::kUpdateNoD7)) {
        return Stop(outcome, msg::kCardNotReady, failure, Firmware::MayBeIncomplete);
    }

    int negativeReplies = 0;
    page_.ShowBytesSent(Kind::Card, outcome.sent, image.bytes.size());
    const std::size_t count = image.blocks.size();
    for (std::size_t index = 0; index < count;) {
        const CardBlock& block = image.blocks[index];
        const std::string which = msg::CardBlockOf(index, count);
        const int percent = ProgressPercent(outcome.sent, image.bytes.size());
        Pause(kBlockPauseMs);
        page_.ShowUpdateProgress(Kind::Card, percent);
        link_.PurgeAndClear();
        if (link_.SendBlock(image.bytes.data() + block.offset, block.size) != LinkResult::Ok) {
            return Stop(outcome, msg::CouldNotBeSent(which), msg::kUpdateDataError,
                        Firmware::Incomplete);
        }
        if (link_.ReadReply(1, 2000) != LinkResult::Ok) {
            return Stop(outcome, msg::DidNotAcknowledge("card", which), msg::kUpdateNoAck,
                        Firmware::Incomplete);
        }
        const std::uint8_t reply = link_.Reply()[0];
        if (reply == kBlockAccepted) {
            outcome.sent += block.size;
            page_.ShowBytesSent(Kind::Card, outcome.sent, image.bytes.size());
            negativeReplies = 0;
            ++index;
        } else if (reply == kBlockRejected) {
            return Stop(outcome, msg::CardFoundDamaged(which), msg::kUpdateCrcError,
                        Firmware::Incomplete);
        } else if (++negativeReplies >= kMaxNegativeReplies) {
            return Stop(outcome, msg::CardAskedAgain(which), msg::kUpdateTooManyRepeats,
                        Firmware::Incomplete);
        }
        // Any other reply asks for the same block again.
    }
    if (outcome.sent != image.bytes.size()) {
        return Stop(outcome, msg::kFewerBytesSent, msg::kUpdateCountError, Firmware::Incomplete);
    }
    // The card starts its new firmware once the last block is in.
    Pause(kStartPauseMs);
    page_.ShowUpdateStatus(Kind::Card, FirmwarePageLink::UpdateStatus::Finished);
    link_.PurgeAndClear();
    const std::optional<std::string> now = NewFirmware();
    cardReplaced_();  // the poll identifies the card afresh and shows what it now holds
    timer_.StartTimer(kPollPeriodMs);
    outcome.result = Outcome::Finished;
    outcome.firmware = Firmware::Replaced;
    outcome.next = NextStep::None;
    outcome.message = msg::CardUpdated(image.bytes.size(), count);
    if (now) {
        outcome.identified = true;
        outcome.firmwareNow = *now;
        outcome.message += msg::CardNowReports(*now);
    } else {
        outcome.message += msg::kCardVersionNotRead;
    }
}

std::optional<std::string> CardUpdate::NewFirmware() {
    // The card's identity exchange, as the poll asks it.
    if (link_.SendCommandByte(cmd::kIdentify) != LinkResult::Ok) return std::nullopt;
    if (link_.ReadReply(7, kIdentifyReplyMs) != LinkResult::Ok) return std::nullopt;
    IdentityBytes identity{};
    std::copy_n(link_.Reply().begin(), identity.size(), identity.begin());
    return CardFirmwareText(identity.data());
}

bool CardUpdate::Handshake(std::uint8_t code, std::uint8_t wanted, int firstWaitMs,
                           const char*& failure, const char* sendFailed, const char* noAnswer) {
    failure = sendFailed;
    if (link_.SendCommandByte(code) != LinkResult::Ok) return false;
    failure = noAnswer;
    if (link_.ReadReply(1, firstWaitMs) == LinkResult::Ok && link_.Reply()[0] == wanted) {
        return true;
    }
    // A card busy erasing answers late; each series of retries gives it longer.
    static constexpr int kRetryWaitsMs[] = {1000, 1500, 2000, 1500, 2000, 2000};
    for (const int waitMs : kRetryWaitsMs) {
        // A lost read-back does not mean the card missed the code; its answer decides.
        static_cast<void>(link_.SendCommandByte(code));
        if (link_.ReadReply(1, waitMs) == LinkResult::Ok && link_.Reply()[0] == wanted) {
            return true;
        }
    }
    return false;
}

}  // namespace vorna
