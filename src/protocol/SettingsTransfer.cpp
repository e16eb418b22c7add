#include "protocol/SettingsTransfer.h"

#include <algorithm>
#include <cstdio>

#include "link/PortCheck.h"
#include "protocol/Commands.h"
#include "protocol/Messages.h"
#include "protocol/ModelTypes.h"

namespace vorna {

std::string UsbConnectionError(const UsbUart& link) {
    if (!link.OpenFailure()) return msg::kUsbConnectionError;
    return std::string(msg::kUsbConnectionError) + "\n" +
           DescribeOpenFailure(link.OpenFailure()->path, link.OpenFailure()->problem);
}

std::string SettingsTransfer::EscConnectionError() const {
    return oddAnswer_.empty() ? std::string(msg::kEscConnectionError)
                              : std::string(msg::kEscConnectionError) + "\n" + oddAnswer_;
}

std::optional<std::string> SettingsTransfer::WhyNotNow(NextStep& next) const {
    if (link_.GetUsbState() != UsbState::Connected) {
        next = NextStep::Reconnect;
        return UsbConnectionError(link_);
    }
    if (link_.GetDeviceState() != DeviceState::Connected) {
        next = NextStep::Reconnect;
        return EscConnectionError();
    }
    if (!setup_.HasValidRecord()) {
        // Without a record of this ESC the registers sent back unchanged (and every list the
        // read would have selected) hold nothing it reported: refuse rather than send guesses.
        next = NextStep::WaitForRead;
        return lastReadFailed_ ? msg::kReadFailedNothingSent : msg::kNotReadYet;
    }
    return std::nullopt;
}

WriteOutcome SettingsTransfer::LinkLost(int acknowledged, int pairs) {
    link_.ClosePort();
    WriteOutcome lost;
    lost.result = WriteOutcome::Result::LinkLost;
    lost.acknowledged = acknowledged;
    lost.pairs = pairs;
    lost.next = NextStep::ReadBeforeDriving;
    lost.message = msg::LinkLostDuringWrite(acknowledged, pairs);
    return lost;
}

int SettingsTransfer::ReplyLengthFor(int modelType) {
    return ModelTypeInfoFor(modelType).replyLength;
}

int SettingsTransfer::PairCountFor(int modelType, int replyLength) {
    const int fixed = ModelTypeInfoFor(modelType).writePairs;
    if (fixed != kOnePairPerRecordByte) return fixed;
    return replyLength > 0 ? replyLength - 1 : 0;
}

int SettingsTransfer::ProgressDivisorFor(int modelType, int replyLength) {
    // The last pair shows 100%.
    return std::max(PairCountFor(modelType, replyLength) - 1, 1);
}

bool SettingsTransfer::ReadRecord(int modelType) {
    for (int attempt = 0; attempt < 6; ++attempt) {
        if (link_.SendCommandByte(cmd::kReadSettings) != LinkResult::Ok) continue;
        replyLength = ReplyLengthFor(modelType);
        const auto count = static_cast<std::size_t>(replyLength);
        if (link_.ReadReply(count, 500) == LinkResult::Ok &&
            link_.Reply()[count - 1] == cmd::kRecordEnd) {
            setup_.ApplySettingsRecord(link_.Reply().data(), count - 1);
            return true;
        }
    }
    return false;
}

bool SettingsTransfer::ReadSettings() {
    timer_.StopTimer();
    link_.PurgeAndClear();
    const int modelType = setup_.ModelType();
    const bool read = ReadRecord(modelType);
    if (!read) setup_.ForgetEscValues();
    if (read && ModelTypeInfoFor(modelType).readQueriesBec) {
        // The record has no room for the BEC Voltage; the ESC answers a query instead.
        link_.PurgeAndClear();
        const std::uint8_t query[2] = {cmd::kBecRegister, cmd::kBecQuery};
        bool answered = false;
        if (link_.SendPairAwaitAck(query) == LinkResult::Ok) {
            SleepMs(100);
            answered = link_.ReadReply(1, 1000) == LinkResult::Ok;
        }
        // Without an answer the ESC's BEC Voltage is unknown: the list stays unselected and
        // marked unread, so a write sends nothing for it, rather than show (and later send) a
        // guess.
        setup_.SelectBec(answered ? std::optional<int>(link_.Reply()[0]) : std::nullopt);
    }
    setup_.SetModelNameText(firmware_.EscModelText());
    setup_.SetFirmwareText(firmware_.CurrentFirmwareText());
    link_.PurgeAndClear();
    SleepMs(150);
    timer_.StartTimer(kPollPeriodMs);
    lastReadFailed_ = !read;
    if (read) view_.SettingsApplied();
    return read;
}

WriteOutcome SettingsTransfer::WriteSettings() {
    WriteOutcome outcome;  // Refused until something was sent
    if (auto why = WhyNotNow(outcome.next)) {
        outcome.message = *why;
        return outcome;
    }
    timer_.StopTimer();
    std::array<std::uint8_t, 100> pairs{};
    setup_.BuildWritePairs(pairs);
    setup_.RememberSentSelections();
    const int modelType = setup_.ModelType();
    const int count = std::min(PairCountFor(modelType, replyLength), 50);
    const int divisor = ProgressDivisorFor(modelType, replyLength);
    outcome.pairs = count;
    for (int k = 0; k < count; ++k) {
        char progress[16];
        std::snprintf(progress, sizeof progress, "%d%% ", 100 * k / divisor);
        if (link_.SendPairAwaitAck(&pairs[static_cast<std::size_t>(2 * k)]) != LinkResult::Ok) {
            timer_.StartTimer(kPollPeriodMs);
            if (link_.PortGone()) return LinkLost(k, count);
            outcome.result = WriteOutcome::Result::NotAcknowledged;
            outcome.acknowledged = k;
            outcome.next = NextStep::SendAgain;
            outcome.message = msg::PairNotAcknowledged(setup_.WritePairCaption(k), k, count);
            return outcome;
        }
        view_.ShowWriteProgress(progress);
        SleepMs(100);
    }
    outcome.acknowledged = count;
    bool becConfirmed = true;
    if (ModelTypeInfoFor(modelType).writeSendsBecLast) {
        const int bec = setup_.BecSelection();
        // No selection means nothing the ESC reported; leave its BEC Voltage alone.
        if (bec >= 0) {
            link_.PurgeAndClear();
            const std::uint8_t pair[2] = {cmd::kBecRegister, static_cast<std::uint8_t>(bec)};
            // The ESC acknowledges the pair, then confirms the new voltage with one more byte.
            if (link_.SendPairAwaitAck(pair) != LinkResult::Ok ||
                link_.ReadReply(1, 500) != LinkResult::Ok || link_.Reply()[0] != cmd::kAck) {
                if (link_.PortGone()) {
                    timer_.StartTimer(kPollPeriodMs);
                    return LinkLost(count, count);
                }
                // Said with the read-back, which tells whether the ESC holds it after all.
                becConfirmed = false;
            }
        }
    }
    if (link_.SendCommandByte(cmd::kEndOfWrite) != LinkResult::Ok) {
        timer_.StartTimer(kPollPeriodMs);
        if (link_.PortGone()) return LinkLost(count, count);
        outcome.result = WriteOutcome::Result::EndNotTaken;
        outcome.next = NextStep::SendAgain;
        outcome.message = std::string(msg::kEndOfWriteFail) + "\n" + msg::kEndOfWriteNotTaken;
        return outcome;
    }
    verifyPending_ = true;
    becUnconfirmed_ = !becConfirmed;
    pairsSent_ = count;
    timer_.StartTimer(kPollPeriodMs);
    outcome.result = WriteOutcome::Result::Sent;
    return outcome;
}

WriteOutcome SettingsTransfer::VerifyWrite() {
    verifyPending_ = false;
    WriteOutcome outcome;
    outcome.result = WriteOutcome::Result::NotVerified;
    outcome.pairs = outcome.acknowledged = pairsSent_;
    const std::string becNote =
        becUnconfirmed_ ? std::string("\n") + msg::kBecSetFailed + " " + msg::kBecNotConfirmed
                        : std::string();
    // A read of what the ESC now holds also refreshes the bytes sent back for lists without a
    // selection, so a later write cannot undo this one.
    if (link_.GetDeviceState() != DeviceState::Connected || !ReadSettings()) {
        setup_.ForgetEscValues();
        outcome.next = NextStep::ReadBeforeDriving;
        outcome.message = msg::kSentNotVerified + becNote;
        return outcome;
    }
    outcome.differing = setup_.SettingsDifferingFromSent();
    outcome.notReadBack = setup_.SettingsNotReadBack();
    if (!outcome.differing.empty()) {
        outcome.result = WriteOutcome::Result::Differs;
        outcome.next = NextStep::SendAgain;
        outcome.message = msg::kSentButDiffers + msg::Listed(outcome.differing) + becNote;
        return outcome;
    }
    if (!outcome.notReadBack.empty()) {
        outcome.next = NextStep::ReadBeforeDriving;
        outcome.message = msg::SentButNotReadBack(outcome.notReadBack) + becNote;
        return outcome;
    }
    // Read back as sent: the ESC holds it, whether or not it confirmed the BEC Voltage at once.
    outcome.result = WriteOutcome::Result::Verified;
    outcome.message = msg::kSentAndVerified;
    return outcome;
}

RestoreOutcome SettingsTransfer::RestoreDefaults() {
    RestoreOutcome outcome;  // Refused until the ESC was asked
    if (auto why = WhyNotNow(outcome.next)) {
        outcome.message = *why;
        return outcome;
    }
    // The settings about to be replaced are kept first; without them nothing is restored.
    if (backup && !restoreBackup_) restoreBackup_ = backup();
    outcome.backup = restoreBackup_;
    if (const Problem* failed = FailedBackup(outcome.backup)) {
        restoreBackup_.reset();
        outcome.result = RestoreOutcome::Result::NoBackup;
        outcome.message = std::string(msg::kBackupFailedNothingRestored) + "\n\n" + failed->detail;
        return outcome;
    }
    if (link_.SendCommandByte(cmd::kRestoreDefaults) != LinkResult::Ok) {
        outcome.result = RestoreOutcome::Result::NotTaken;
        outcome.next = NextStep::SendAgain;
        outcome.message = std::string(msg::kDefaultError) + "\n" + msg::kRestoreNotTaken;
        return outcome;
    }
    restoreBackup_.reset();
    // The ESC's short answer to the restore carries nothing we use: the read that follows is
    // what shows its settings.
    static_cast<void>(link_.ReadReply(1, 100));
    const bool read = ReadSettings();
    const std::string* saved = SavedBackup(outcome.backup);
    const std::string where = saved ? "\n" + (msg::kBackupWhere + *saved + ".") : "";
    if (read) {
        outcome.result = RestoreOutcome::Result::Restored;
        outcome.message = msg::kRestored + where;
    } else {
        outcome.result = RestoreOutcome::Result::NotReadBack;
        outcome.next = NextStep::ReadBeforeDriving;
        outcome.message = msg::kRestoredButReadFailed + where;
    }
    setup_.RefreshParameterBoxes();
    return outcome;
}

}  // namespace vorna
