#include "firmware/EscUpdate.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "firmware/IdentityTexts.h"
#include "folders/Utf8Path.h"
#include "protocol/Commands.h"
#include "protocol/VersionText.h"

namespace vorna {
namespace {

constexpr auto kEsc = FirmwarePageLink::DeviceKind::Esc;
constexpr std::uint8_t kEnterUpdate = 0x39, kEnterUpdateReply = 0x61;
constexpr std::uint8_t kStartUpdate = 0x31, kStartUpdateReply = 0x01;

constexpr const char* kEscError = "ESC Connection Error!";
constexpr const char* kReadFileError = "Read File Error!";
constexpr const char* kD6Error = "Update Error: TX=0xd6, TX Timeover!";
constexpr const char* k39Error = "Update Error: TX=0x39, TX Timeover!";
constexpr const char* k31Error = "Update Error: TX=0x31, TX Timeover!";
constexpr const char* kDataError = "Update Error: Data transfer error!";
constexpr const char* kNoAckError = "Update Error: Data transfer no ack!";
constexpr const char* kCountError = "Update Error: transfer bytes number error!";

}  // namespace

EscUpdate::EscUpdate(UsbUart& link, SetupPageLink& setup, FirmwarePageLink& firmware,
                     LinkView& view, PollTimer& timer, std::function<bool()> isFixMode)
    : link_(link),
      setup_(setup),
      firmware_(firmware),
      view_(view),
      timer_(timer),
      isFixMode_(std::move(isFixMode)) {}

bool EscUpdate::Requested() const {
    return requestedFile_.has_value() || firmware_.UpdateRequested(kEsc);
}

void EscUpdate::Request(const std::filesystem::path& file) {
    requestedFile_ = file;
}

void EscUpdate::End(Outcome outcome, const std::string& message, MessageIcon icon) {
    result_.outcome = outcome;
    result_.message = message;
    firmware_.ClearUpdateRequest(kEsc);
    requestedFile_.reset();
    if (!message.empty()) view_.ShowMessage(message, icon);
}

bool EscUpdate::ConnectionChecked() {
    if (link_.GetUsbState() != UsbState::Connected) {
        End(Outcome::NoConnection, UsbConnectionError(link_), MessageIcon::Error);
        return false;
    }
    const bool fix = isFixMode_ && isFixMode_();
    if (!fix && link_.GetDeviceState() != DeviceState::Connected) {
        End(Outcome::NoConnection, kEscError, MessageIcon::Error);
        return false;
    }
    return true;
}

void EscUpdate::Run() {
    result_ = Result{};
    if (!ConnectionChecked()) return;
    const auto file = requestedFile_ ? *requestedFile_ : firmware_.SelectedImagePath(kEsc);
    auto read = ReadEscImage(file);
    if (!read.Ok()) {
        End(Outcome::Refused, std::string(kReadFileError) + "\n" + read.Refusal().Text(),
            MessageIcon::Error);
        return;
    }
    const EscImage& image = read.Value();
    if (image.firstSuspectLine) {
        ImageRefusal suspect{Utf8FromPath(file), image.firstSuspectLine, std::nullopt,
                             image.suspectProblem};
        const std::string line = suspect.Text();
        if (!confirmSuspect || !confirmSuspect(line)) {
            End(Outcome::Refused, "The image does not look sound; not flashed.\n" + line,
                MessageIcon::Error);
            return;
        }
    }
    Transfer(image);
}

void EscUpdate::Run(const EscImage& image) {
    result_ = Result{};
    if (!ConnectionChecked()) return;
    Transfer(image);
}

void EscUpdate::Transfer(const EscImage& image) {
    // The settings of the ESC the page shows, saved before its firmware is replaced.
    // In Fix Mode no settings are read, so what the page holds is not this ESC's.
    const bool fix = isFixMode_ && isFixMode_();
    if (backup && !fix && setup_.HasValidRecord() &&
        link_.GetDeviceState() == DeviceState::Connected) {
        result_.backup = backup();
        if (!result_.backup.error.empty()) {
            view_.ShowMessage("The settings of the ESC could not be saved: " +
                                  result_.backup.error + "\nThe update goes on.",
                              MessageIcon::None);
        }
    }

    timer_.StopTimer();
    firmware_.ShowUpdateProgress(kEsc, 0);
    firmware_.ShowUpdateStatus(kEsc, FirmwarePageLink::UpdateStatus::Running);
    link_.PurgeAndClear();

    // Handshake: 0xD6 three times, outcomes ignored, then the one that counts.
    for (int i = 0; i < 3; ++i) static_cast<void>(link_.SendCommandByte(cmd::kFixProbe));
    // Their answers are not read; a late one must not pass for the read-back of the fourth,
    // which discards what has come in before it is sent.
    std::this_thread::sleep_for(std::chrono::milliseconds(kLateAnswerMs));
    const auto exchange = [this](std::uint8_t command, std::uint8_t wanted) {
        if (link_.SendCommandByte(command) != LinkResult::Ok) return false;
        static_cast<void>(link_.ReadReply(1, kHandshakeReplyMs));  // a missing byte reads 0x00
        return link_.rxBuffer[0] == wanted;
    };
    if (!exchange(cmd::kFixProbe, cmd::kFixPresent)) return ErrorExit(kD6Error);
    if (!exchange(kEnterUpdate, kEnterUpdateReply)) return ErrorExit(k39Error);
    if (!exchange(kStartUpdate, kStartUpdateReply)) return ErrorExit(k31Error);

    std::size_t sent = 0;
    firmware_.ShowBytesSent(kEsc, sent, image.total);
    for (const EscRecord& record : image.records) {
        firmware_.ShowUpdateProgress(kEsc, ProgressPercent(sent, image.total));
        if (link_.SendBlock(record.bytes.data(), record.bytes.size()) != LinkResult::Ok) {
            return ErrorExit(kDataError);
        }
        if (link_.ReadReply(1, kRecordReplyMs) != LinkResult::Ok) return ErrorExit(kNoAckError);
        sent += record.bytes.size();
        firmware_.ShowBytesSent(kEsc, sent, image.total);
    }
    if (sent != image.total) return ErrorExit(kCountError);
    firmware_.ShowUpdateProgress(kEsc, 100);

    std::this_thread::sleep_for(std::chrono::milliseconds(kSettleMs));
    firmware_.ClearUpdateRequest(kEsc);
    requestedFile_.reset();
    firmware_.ShowUpdateStatus(kEsc, FirmwarePageLink::UpdateStatus::Finished);
    PostUpdateCheck();
    link_.SetDeviceState(DeviceState::Absent);  // the monitor identifies the ESC afresh
    timer_.StartTimer(kPollPeriodMs);

    std::string message = "ESC firmware update finished.";
    if (result_.identified) {
        message += "\nThe ESC now reports: " + result_.firmwareText;
    } else {
        message += "\nThe ESC did not answer the check after the update.";
    }
    if (!result_.backup.path.empty()) {
        message += "\nIts settings from before the update were saved to " + result_.backup.path;
    }
    End(Outcome::Finished, message, MessageIcon::None);
}

void EscUpdate::PostUpdateCheck() {
    if (link_.SendCommandByte(cmd::kFixProbe) != LinkResult::Ok) return;
    if (link_.ReadReply(1, kCheckReplyMs) != LinkResult::Ok ||
        link_.rxBuffer[0] != cmd::kFixPresent) {
        return;
    }
    // IdentifyDevice: a failed send is tried once more, without reading.
    if (link_.SendCommandByte(cmd::kIdentify) != LinkResult::Ok) {
        static_cast<void>(link_.SendCommandByte(cmd::kIdentify));
        return;
    }
    if (link_.ReadReply(7, kCheckReplyMs) != LinkResult::Ok) return;
    if (link_.rxBuffer[1] != cmd::kIdentityMarker) return;
    IdentityBytes identity{};
    std::copy_n(link_.rxBuffer.begin(), identity.size(), identity.begin());
    result_.identified = true;
    if (identity[1] == 0x40 && identity[3] == 0x14) {
        // The Blinky firmware: the setup page keeps its model type.
        result_.firmwareText = kBlinkyRx4FirmwareText;
        firmware_.SetCurrentFirmwareText(result_.firmwareText);
        setup_.SetFirmwareText(result_.firmwareText);
        return;
    }
    EscIdentityTexts texts{firmware_.EscModelText(), "", firmware_.CurrentFirmwareText()};
    ApplyEscIdentity(texts, identity.data());
    result_.firmwareText = texts.firmware;
    setup_.SetVersionText(VersionText(identity[3]));
    setup_.RecognizeModel(identity);
    firmware_.StoreIdentity(identity);
    firmware_.ShowIdentity(kEsc);
    firmware_.SetCurrentFirmwareText(result_.firmwareText);
    setup_.SetFirmwareText(result_.firmwareText);
}

void EscUpdate::ErrorExit(const std::string& staged) {
    link_.ClosePort();
    result_.outcome = Outcome::Failed;
    result_.message = staged;
    view_.ShowMessage(staged, MessageIcon::None);
    firmware_.ClearUpdateRequest(kEsc);
    requestedFile_.reset();
    firmware_.ShowUpdateStatus(kEsc, FirmwarePageLink::UpdateStatus::Failed);
    timer_.StartTimer(kPollPeriodMs);
}

}  // namespace vorna
