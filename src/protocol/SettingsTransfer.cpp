#include "protocol/SettingsTransfer.h"

#include <algorithm>
#include <cstdio>

#include "protocol/Commands.h"
#include "protocol/ModelTypes.h"

namespace vorna {

std::string UsbConnectionError(const UsbUart& link) {
    if (link.openFailure.failure == OpenFailure::None) return kMsgUsbConnectionError;
    return std::string(kMsgUsbConnectionError) + "\n" +
           DescribeOpenFailure(link.openFailure.path, link.openFailure);
}

std::string SettingsTransfer::EscConnectionError() const {
    return oddAnswer_.empty() ? std::string(kMsgEscConnectionError)
                              : std::string(kMsgEscConnectionError) + "\n" + oddAnswer_;
}

void SettingsTransfer::LinkLostDuringWrite(int acknowledged, int total) {
    setup_.ClearWriteRequest();
    lastWrite_ = WriteOutcome::LinkLost;
    link_.ClosePort();
    view_.ShowMessage(std::string(kMsgLinkLostDuringWrite) + " (" + std::to_string(acknowledged) +
                          " of " + std::to_string(total) + " were acknowledged).\n" +
                          kMsgLinkLostMix,
                      MessageIcon::Error);
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
            link_.rxBuffer[count - 1] == cmd::kRecordEnd) {
            setup_.ApplySettingsRecord(link_.rxBuffer.data(), count - 1);
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
        // Without an answer the ESC's BEC Voltage is unknown: leave the list unselected, so a
        // write sends nothing for it, rather than show (and later send) a guess.
        setup_.SelectBec(answered ? link_.rxBuffer[0] : -1);
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

void SettingsTransfer::WriteSettings() {
    if (link_.GetUsbState() != UsbState::Connected) {
        setup_.ClearWriteRequest();
        view_.ShowMessage(UsbConnectionError(link_), MessageIcon::Error);
        return;
    }
    if (link_.GetDeviceState() != DeviceState::Connected) {
        setup_.ClearWriteRequest();
        view_.ShowMessage(EscConnectionError(), MessageIcon::Error);
        return;
    }
    if (!setup_.HasValidRecord()) {
        // Without a record of this ESC the registers sent back unchanged (and every list the
        // read would have selected) hold nothing it reported: refuse rather than send guesses.
        setup_.ClearWriteRequest();
        lastWrite_ = WriteOutcome::Refused;
        view_.ShowMessage(lastReadFailed_ ? kMsgReadFailedNothingSent : kMsgNotReadYet,
                          MessageIcon::Error);
        return;
    }
    timer_.StopTimer();
    std::array<std::uint8_t, 100> pairs{};
    setup_.BuildWritePairs(pairs);
    setup_.RememberSentSelections();
    const int modelType = setup_.ModelType();
    const int count = PairCountFor(modelType, replyLength);
    const int divisor = ProgressDivisorFor(modelType, replyLength);
    for (int k = 0; k < count && k < 50; ++k) {
        char progress[16];
        std::snprintf(progress, sizeof progress, "%d%% ", 100 * k / divisor);
        if (link_.SendPairAwaitAck(&pairs[static_cast<std::size_t>(2 * k)]) != LinkResult::Ok) {
            if (link_.PortGone()) {
                LinkLostDuringWrite(k, count);
                timer_.StartTimer(kPollPeriodMs);
                return;
            }
            // Retry starts again from the first pair on the next tick; Cancel ends the request
            // and leaves the page as it is.
            if (!view_.AskRetry(kMsgSendFail)) {
                setup_.ClearWriteRequest();
                lastWrite_ = WriteOutcome::SendFailed;
            }
            timer_.StartTimer(kPollPeriodMs);
            return;
        }
        view_.ShowWriteProgress(progress);
        SleepMs(100);
    }
    if (ModelTypeInfoFor(modelType).writeSendsBecLast) {
        const int bec = setup_.BecSelection();
        // No selection means nothing the ESC reported; leave its BEC Voltage alone.
        if (bec >= 0) {
            link_.PurgeAndClear();
            const std::uint8_t pair[2] = {cmd::kBecRegister, static_cast<std::uint8_t>(bec)};
            // The ESC acknowledges the pair, then confirms the new voltage with one more byte.
            if (link_.SendPairAwaitAck(pair) != LinkResult::Ok ||
                link_.ReadReply(1, 500) != LinkResult::Ok || link_.rxBuffer[0] != cmd::kAck) {
                if (link_.PortGone()) {
                    LinkLostDuringWrite(count, count);
                    timer_.StartTimer(kPollPeriodMs);
                    return;
                }
                view_.ShowMessage(kMsgBecSetFailed, MessageIcon::None);
            }
        }
    }
    if (link_.SendCommandByte(cmd::kEndOfWrite) != LinkResult::Ok) {
        if (link_.PortGone()) {
            LinkLostDuringWrite(count, count);
            timer_.StartTimer(kPollPeriodMs);
            return;
        }
        lastWrite_ = WriteOutcome::SendFailed;
        view_.ShowMessage(kMsgEndOfWriteFail, MessageIcon::None);
    } else {
        verifyPending_ = true;
    }
    setup_.ClearWriteRequest();
    timer_.StartTimer(kPollPeriodMs);
}

void SettingsTransfer::VerifyWrite() {
    verifyPending_ = false;
    // A read of what the ESC now holds also refreshes the bytes sent back for lists without a
    // selection, so a later write cannot undo this one.
    if (link_.GetDeviceState() != DeviceState::Connected || !ReadSettings()) {
        setup_.ForgetEscValues();
        lastWrite_ = WriteOutcome::NotVerified;
        view_.ShowMessage(kMsgSentNotVerified, MessageIcon::Error);
        return;
    }
    const std::vector<std::string> differing = setup_.SettingsDifferingFromSent();
    if (differing.empty()) {
        lastWrite_ = WriteOutcome::Verified;
        view_.ShowMessage(kMsgSentAndVerified, MessageIcon::None);
        return;
    }
    std::string names;
    for (const std::string& name : differing) names += (names.empty() ? "" : ", ") + name;
    lastWrite_ = WriteOutcome::Differs;
    view_.ShowMessage(kMsgSentButDiffers + names, MessageIcon::Error);
}

void SettingsTransfer::RestoreDefaults() {
    if (link_.GetUsbState() != UsbState::Connected) {
        setup_.ClearDefaultRequest();
        lastRestore_ = RestoreOutcome::Refused;
        view_.ShowMessage(UsbConnectionError(link_), MessageIcon::Error);
        return;
    }
    if (link_.GetDeviceState() != DeviceState::Connected) {
        setup_.ClearDefaultRequest();
        lastRestore_ = RestoreOutcome::Refused;
        view_.ShowMessage(EscConnectionError(), MessageIcon::Error);
        return;
    }
    if (!setup_.HasValidRecord()) {
        // The page's values are not this ESC's: the user could not see what would be replaced.
        setup_.ClearDefaultRequest();
        lastRestore_ = RestoreOutcome::Refused;
        view_.ShowMessage(lastReadFailed_ ? kMsgReadFailedNothingSent : kMsgNotReadYet,
                          MessageIcon::Error);
        return;
    }
    if (link_.SendCommandByte(cmd::kRestoreDefaults) != LinkResult::Ok) {
        lastRestore_ = RestoreOutcome::Failed;
        view_.ShowMessage(kMsgDefaultError, MessageIcon::None);
        return;  // the request stays set and is tried again on the next tick
    }
    // The ESC's short answer to the restore carries nothing we use: the read that follows is
    // what shows its settings.
    static_cast<void>(link_.ReadReply(1, 100));
    const bool read = ReadSettings();
    setup_.ClearDefaultRequest();
    const std::string backup = setup_.DefaultsBackupPath();
    const std::string where = backup.empty() ? "" : "\n" + (kMsgBackupWhere + backup + ".");
    if (read) {
        lastRestore_ = RestoreOutcome::Restored;
        view_.ShowMessage(kMsgRestored + where, MessageIcon::None);
    } else {
        lastRestore_ = RestoreOutcome::NotReadBack;
        view_.ShowMessage(kMsgRestoredButReadFailed + where, MessageIcon::Error);
    }
    setup_.RefreshParameterBoxes();
}

}  // namespace vorna
