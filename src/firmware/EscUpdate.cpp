#include "firmware/EscUpdate.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "base/Utf8Path.h"
#include "firmware/IdentityTexts.h"
#include "firmware/UpdateStop.h"
#include "protocol/Commands.h"
#include "protocol/Messages.h"
#include "protocol/ModelTypes.h"
#include "protocol/SettingsTransfer.h"
#include "protocol/VersionText.h"

namespace vorna {
namespace {

constexpr auto kEsc = FirmwarePageLink::DeviceKind::Esc;
constexpr std::uint8_t kEnterUpdate = 0x39, kEnterUpdateReply = 0x61;
constexpr std::uint8_t kStartUpdate = 0x31, kStartUpdateReply = 0x01;
using Firmware = UpdateOutcome::Firmware;
using Outcome = UpdateOutcome::Result;

// Whether the ESC can be used, by what its firmware is now.
const char* Usable(Firmware firmware) {
    switch (firmware) {
        case Firmware::Untouched:
            return msg::kEscFirmwareUntouched;
        case Firmware::MayBeIncomplete:
            return msg::kEscFirmwareMayBeIncomplete;
        case Firmware::Incomplete:
            return msg::kEscFirmwareIncomplete;
        case Firmware::Replaced:
            break;
    }
    return "";
}

// The sentence about the settings backup, when there is one to tell of.
std::string BackupText(const std::optional<SettingsBackup>& backup, bool fix) {
    if (const std::string* saved = SavedBackup(backup)) {
        return msg::EscBackupSavedIn(*saved);
    }
    if (const Problem* failed = FailedBackup(backup)) {
        return msg::EscBackupNotSaved(failed->detail);
    }
    if (fix) return msg::kEscNoBackupInFixMode;
    return {};
}

// The firmware an image holds, as the ESC names it once it runs it: the file's title, with the
// "1-8" that stands for "1:8" in file names.
std::string FirmwareOfImageName(const std::filesystem::path& file) {
    std::string title = Utf8FromPath(file.stem());
    if (title.rfind("1-8 ", 0) == 0) title[1] = ':';
    return title;
}

}  // namespace

EscUpdate::EscUpdate(UsbUart& link, SetupPageLink& setup, FirmwarePageLink& firmware,
                     PollTimer& timer, std::function<bool()> isFixMode,
                     std::function<std::string()> oddAnswer)
    : link_(link),
      setup_(setup),
      firmware_(firmware),
      timer_(timer),
      isFixMode_(std::move(isFixMode)),
      oddAnswer_(std::move(oddAnswer)) {}

bool EscUpdate::Requested() const {
    return requestedFile_.has_value() || firmware_.UpdateRequested(kEsc);
}

void EscUpdate::Request(const std::filesystem::path& file) {
    requestedFile_ = file;
}

bool EscUpdate::Connected(UpdateOutcome& outcome) {
    outcome.result = Outcome::NoDevice;
    outcome.next = NextStep::Reconnect;
    if (link_.GetUsbState() != UsbState::Connected) {
        outcome.message = UsbConnectionError(link_);
        return false;
    }
    const bool fix = isFixMode_ && isFixMode_();
    if (!fix && link_.GetDeviceState() != DeviceState::Connected) {
        const std::string odd = oddAnswer_ ? oddAnswer_() : std::string();
        outcome.message = std::string(msg::kEscConnectionError) + (odd.empty() ? "" : "\n" + odd);
        return false;
    }
    return true;
}

UpdateOutcome EscUpdate::Run() {
    UpdateOutcome outcome;
    outcome.device = UpdateOutcome::Device::Esc;
    const auto file = requestedFile_ ? *requestedFile_ : firmware_.SelectedImagePath(kEsc);
    if (Connected(outcome)) {
        auto read = ReadEscImage(file);
        if (!read.Ok()) {
            outcome.result = Outcome::Refused;
            outcome.next = NextStep::None;
            outcome.message = std::string(msg::kReadFileError) + "\n" + read.Detail() + "\n" +
                              msg::kEscNothingSent;
        } else if (const EscImage& image = read.Value(); image.firstSuspectLine) {
            const std::string line = SuspectText(image, file);
            if (!confirmSuspect) {
                outcome.result = Outcome::Refused;
                outcome.next = NextStep::None;
                outcome.message =
                    std::string(msg::kImageNotSound) + "\n" + line + "\n" + msg::kEscNothingSent;
            } else if (!confirmSuspect(line)) {
                outcome.result = Outcome::Declined;  // said no: nothing more to say
                outcome.next = NextStep::None;
            } else {
                Transfer(file, image, outcome);
            }
        } else {
            Transfer(file, image, outcome);
        }
    }
    if (outcome.result == Outcome::Refused || outcome.result == Outcome::NoBackup) {
        // The page shows the refusal, not the end of an earlier update.
        firmware_.ShowUpdateStatus(kEsc, FirmwarePageLink::UpdateStatus::Failed);
    }
    firmware_.ClearUpdateRequest(kEsc);
    requestedFile_.reset();
    return outcome;
}

void EscUpdate::Stop(UpdateOutcome& outcome, const std::string& step, const char* deviceText,
                     Firmware firmware) {
    StopUpdate(link_, outcome, "ESC", step, deviceText, firmware,
               Usable(firmware) + BackupText(outcome.backup, isFixMode_ && isFixMode_()),
               NextStep::RepairEsc);
    firmware_.ShowUpdateStatus(kEsc, FirmwarePageLink::UpdateStatus::Failed);
    timer_.StartTimer(kPollPeriodMs);
}

bool EscUpdate::BackedUp(bool identified, UpdateOutcome& outcome) {
    if (!backup) return true;
    std::string why;
    if (!identified || !setup_.HasValidRecord()) {
        why = msg::kEscSettingsNotRead;
    } else {
        outcome.backup = backup();
        if (const Problem* failed = FailedBackup(outcome.backup)) {
            why = failed->detail;
        } else {
            return true;
        }
    }
    // A new firmware may start from its factory settings: without the backup the user's
    // settings would be gone for good, so that is the user's choice, not ours.
    if (confirmNoBackup && confirmNoBackup(why)) return true;
    outcome.result = confirmNoBackup ? Outcome::Declined : Outcome::NoBackup;
    outcome.next = NextStep::None;
    outcome.message = msg::EscNotBackedUp(why);
    return false;
}

void EscUpdate::Transfer(const std::filesystem::path& file, const EscImage& image,
                         UpdateOutcome& outcome) {
    // The settings of the ESC the page shows, saved before its firmware is replaced.
    // In Fix Mode no settings are read, so what the page holds is not this ESC's.
    const bool fix = isFixMode_ && isFixMode_();
    const bool identified = !fix && link_.GetDeviceState() == DeviceState::Connected;
    if (!fix && !BackedUp(identified, outcome)) return;
    const IdentityBytes before = firmware_.Identity();
    if (identified) outcome.firmwareBefore = firmware_.CurrentFirmwareText();
    outcome.total = image.total;

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
        return link_.Reply()[0] == wanted;
    };
    if (!exchange(cmd::kFixProbe, cmd::kFixPresent)) {
        return Stop(outcome, msg::kEscNoStartAnswer, msg::kUpdateD6, Firmware::Untouched);
    }
    if (!exchange(kEnterUpdate, kEnterUpdateReply)) {
        return Stop(outcome, msg::kEscNoUpdateMode, msg::kUpdate39, Firmware::MayBeIncomplete);
    }
    if (!exchange(kStartUpdate, kStartUpdateReply)) {
        return Stop(outcome, msg::kEscNotTakingImage, msg::kUpdate31, Firmware::MayBeIncomplete);
    }

    firmware_.ShowBytesSent(kEsc, outcome.sent, image.total);
    const std::size_t count = image.records.size();
    for (std::size_t k = 0; k < count; ++k) {
        const EscRecord& record = image.records[k];
        const std::string which = msg::EscRecordOf(k, count, record.line);
        firmware_.ShowUpdateProgress(kEsc, ProgressPercent(outcome.sent, image.total));
        if (link_.SendBlock(record.bytes.data(), record.bytes.size()) != LinkResult::Ok) {
            return Stop(outcome, msg::CouldNotBeSent(which), msg::kUpdateDataError,
                        Firmware::Incomplete);
        }
        if (link_.ReadReply(1, kRecordReplyMs) != LinkResult::Ok) {
            return Stop(outcome, msg::DidNotAcknowledge("ESC", which), msg::kUpdateNoAck,
                        Firmware::Incomplete);
        }
        outcome.sent += record.bytes.size();
        firmware_.ShowBytesSent(kEsc, outcome.sent, image.total);
    }
    if (outcome.sent != image.total) {
        return Stop(outcome, msg::kFewerBytesSent, msg::kUpdateCountError, Firmware::Incomplete);
    }
    firmware_.ShowUpdateProgress(kEsc, 100);

    std::this_thread::sleep_for(std::chrono::milliseconds(kSettleMs));
    firmware_.ShowUpdateStatus(kEsc, FirmwarePageLink::UpdateStatus::Finished);
    const std::optional<IdentityBytes> now = PostUpdateCheck();
    link_.SetDeviceState(DeviceState::Absent);  // the monitor identifies the ESC afresh
    timer_.StartTimer(kPollPeriodMs);

    outcome.firmware = Firmware::Replaced;
    outcome.result = Outcome::Finished;
    outcome.next = NextStep::None;  // nothing left to do after a finished update
    if (!now) {
        outcome.message = msg::kEscUpdateNotConfirmed + BackupText(outcome.backup, fix);
        return;
    }
    outcome.identified = true;
    TakeNewIdentity(*now, outcome);
    if (identified && *now == before) {
        // Taken whole and acknowledged, yet the same firmware answers. When the image holds
        // that very firmware, this was a re-flash and all is well; otherwise it did not take,
        // and flashing the same image again would end the same way.
        if (outcome.firmwareNow == FirmwareOfImageName(file)) {
            outcome.sameFirmware = true;
            outcome.message =
                msg::EscFlashedAgain(outcome.firmwareNow) + BackupText(outcome.backup, fix);
            return;
        }
        outcome.result = Outcome::Unchanged;
        outcome.firmware = Firmware::Untouched;
        outcome.message =
            msg::EscFirmwareUnchanged(outcome.firmwareNow) + BackupText(outcome.backup, fix);
        return;
    }
    outcome.message = msg::EscUpdated(outcome.firmwareNow) + BackupText(outcome.backup, fix);
}

std::optional<IdentityBytes> EscUpdate::PostUpdateCheck() {
    if (link_.SendCommandByte(cmd::kFixProbe) != LinkResult::Ok) return std::nullopt;
    if (link_.ReadReply(1, kCheckReplyMs) != LinkResult::Ok ||
        link_.Reply()[0] != cmd::kFixPresent) {
        return std::nullopt;
    }
    // IdentifyDevice: a failed send is tried once more, without reading.
    if (link_.SendCommandByte(cmd::kIdentify) != LinkResult::Ok) {
        static_cast<void>(link_.SendCommandByte(cmd::kIdentify));
        return std::nullopt;
    }
    if (link_.ReadReply(7, kCheckReplyMs) != LinkResult::Ok) return std::nullopt;
    if (link_.Reply()[1] != cmd::kIdentityMarker) return std::nullopt;
    IdentityBytes identity{};
    std::copy_n(link_.Reply().begin(), identity.size(), identity.begin());
    return identity;
}

void EscUpdate::TakeNewIdentity(const IdentityBytes& identity, UpdateOutcome& outcome) {
    if (IsBlinkyRx4Firmware(identity.data())) {
        // The setup page keeps its model type.
        outcome.firmwareNow = kBlinkyRx4FirmwareText;
        firmware_.SetCurrentFirmwareText(outcome.firmwareNow);
        setup_.SetFirmwareText(outcome.firmwareNow);
        return;
    }
    EscIdentityTexts texts{firmware_.EscModelText(), "", firmware_.CurrentFirmwareText()};
    ApplyEscIdentity(texts, identity.data());
    outcome.firmwareNow = texts.firmware;
    setup_.SetVersionText(VersionText(identity[3]));
    setup_.RecognizeModel(identity);
    firmware_.StoreIdentity(identity);
    firmware_.ShowIdentity(kEsc);
    firmware_.SetCurrentFirmwareText(outcome.firmwareNow);
    setup_.SetFirmwareText(outcome.firmwareNow);
}

}  // namespace vorna
