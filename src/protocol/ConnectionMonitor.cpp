#include "protocol/ConnectionMonitor.h"

#include "base/Text.h"

#include <algorithm>
#include <cstdio>
#include <utility>

#include "protocol/Commands.h"
#include "protocol/Messages.h"
#include "protocol/ModelTypes.h"
#include "protocol/VersionText.h"

namespace vorna {
namespace {

// Why an identification that was asked for did not come whole; "" when the asking itself
// failed (its read-back did not come), which says nothing about the device.
std::string IdentityProblem(LinkResult result, const UsbUart& link, const char* device) {
    if (result != LinkResult::NoAnswer) return {};
    if (link.BytesRead() == 0) {
        return msg::NoIdentitySent(HexByte(cmd::kIdentify));
    }
    return msg::ShortIdentity(link.BytesRead(), device);
}

}  // namespace

ConnectionMonitor::ConnectionMonitor(UsbUart& link, BridgeLocation location, SetupPageLink& setup,
                                     FirmwarePageLink& firmware, LinkView& view, PollTimer& timer)
    : link_(link),
      location_(std::move(location)),
      setup_(setup),
      firmware_(firmware),
      view_(view),
      timer_(timer),
      transfer_(link, setup, firmware, view, timer) {}

void ConnectionMonitor::OnTimer() {
    const Status opened = OpenPort(link_, location_);
    // A port that cannot be opened or set up, or a bridge that could not be looked for at all;
    // no bridge, or one without its driver or its port, is the device note's to say.
    const bool portProblem = !opened && opened.Kind() != ProblemKind::NoBridge &&
                             opened.Kind() != ProblemKind::NoDriver &&
                             opened.Kind() != ProblemKind::NoComPort;
    if (portProblem) {
        // Said once; the following ticks keep trying without repeating it.
        if (opened.Error() != lastPortProblem_) {
            lastPortProblem_ = opened.Error();
            view_.ShowPortProblem(opened.Detail());
        }
    } else if (lastPortProblem_) {
        lastPortProblem_.reset();
        view_.PortProblemGone();
    }
    PollDevice();
    if (transfer_.VerifyPending()) EndWrite(transfer_.VerifyWrite());
    if (updates_ && updates_->CardUpdateRequested()) EndUpdate(updates_->RunCardUpdate());
    if (updates_ && updates_->EscUpdateRequested()) EndUpdate(updates_->RunEscUpdate());
    if (mode_ == DeviceMode::Card || mode_ == DeviceMode::Fix) {
        // What answers in these modes is no ESC whose settings the page could show.
        if (setup_.DefaultRequested()) {
            RestoreOutcome refused;
            refused.message = msg::kNotInEscMode;
            refused.next = NextStep::ChooseEsc;
            EndRestore(refused);
        }
        if (setup_.WriteRequested()) {
            WriteOutcome refused;
            refused.message = msg::kNotInEscMode;
            refused.next = NextStep::ChooseEsc;
            EndWrite(refused);
        }
    }
    if (setup_.DefaultRequested()) EndRestore(transfer_.RestoreDefaults());
    if (setup_.WriteRequested()) EndWrite(transfer_.WriteSettings());
}

void ConnectionMonitor::EndWrite(WriteOutcome outcome) {
    if (outcome.result == WriteOutcome::Result::Sent) {
        setup_.ClearWriteRequest();  // the read-back on the next tick ends it
        return;
    }
    // Lamps first: a message about a lost link must not sit beside lit lamps.
    UpdateStatusLamps();
    // Retry starts again from the first pair on the next tick; Cancel ends the request and
    // leaves the page as it is.
    if (outcome.result == WriteOutcome::Result::NotAcknowledged) {
        if (view_.AskRetry(outcome.message, LinkView::RetryOf::Write)) return;
        outcome.asked = true;
    }
    setup_.ClearWriteRequest();
    ++ended_;
    view_.WriteEnded(outcome);
}

void ConnectionMonitor::EndRestore(RestoreOutcome outcome) {
    UpdateStatusLamps();
    // The restore is tried again on the next tick if the user says so, once per failure.
    if (outcome.result == RestoreOutcome::Result::NotTaken) {
        if (view_.AskRetry(outcome.message, LinkView::RetryOf::Restore)) return;
        outcome.asked = true;
    }
    setup_.ClearDefaultRequest();
    transfer_.EndRestoreRequest();
    ++ended_;
    view_.RestoreEnded(outcome);
}

void ConnectionMonitor::EndUpdate(const UpdateOutcome& outcome) {
    // An ESC that answered after its update was shown, in Fix Mode too: the next mode clears it.
    if (outcome.identified) identityShown_ = true;
    UpdateStatusLamps();
    ++ended_;
    view_.UpdateEnded(outcome);
}

void ConnectionMonitor::PollDevice() {
    if (link_.GetUsbState() != UsbState::Connected) {
        setup_.ForgetEscValues();  // unplugged: the next ESC may be another one
        ForgetShownDevices();
        ClearOddAnswer();
        if (link_.IsOpen()) {
            link_.SetUsbState(UsbState::Connected);
            // The open's own settling is over; the device is asked on the very next tick.
            if (mode_ != DeviceMode::None) timer_.NextTickAfter(kFirstTrafficDelayMs);
        } else {
            cardState_ = DeviceState::NotPolled;
        }
        UpdateStatusLamps();
        return;  // device traffic begins on the following tick
    }
    switch (mode_) {
        case DeviceMode::Esc:
            PollEsc();
            break;
        case DeviceMode::Card:
            PollCard();
            break;
        case DeviceMode::Fix:
            PollFix();
            break;
        case DeviceMode::None:
            break;
    }
    UpdateStatusLamps();
}

void ConnectionMonitor::ClearEscTexts(bool keepBlinkyText) {
    setup_.SetModelNameText("");
    if (!keepBlinkyText || setup_.FirmwareText() != kBlinkyRx4FirmwareText) {
        setup_.SetFirmwareText("");
    }
}

void ConnectionMonitor::ForgetShownDevices() {
    if (!identityShown_) return;
    identityShown_ = false;
    setup_.ForgetModel();
    ClearEscTexts(false);
    firmware_.ForgetIdentity(FirmwarePageLink::DeviceKind::Esc);
    firmware_.ForgetIdentity(FirmwarePageLink::DeviceKind::Card);
    view_.DeviceChanged();
}

void ConnectionMonitor::PollEsc() {
    if (link_.SendCommandByte(cmd::kEscProbe) != LinkResult::Ok) {
        link_.ClosePort();
        ClearOddAnswer();
        return;
    }
    if (link_.ReadReply(1, 1000) != LinkResult::Ok) {
        ClearOddAnswer();  // nothing answered at all
        if (link_.GetDeviceState() != DeviceState::Absent) {
            link_.SetDeviceState(DeviceState::Absent);
            setup_.ForgetModel();
            UpdateStatusLamps();
            ClearEscTexts(true);
            firmware_.ForgetIdentity(FirmwarePageLink::DeviceKind::Esc);
            view_.DeviceChanged();
        }
        return;
    }
    if (link_.Reply()[0] != cmd::kEscPresent) {
        // An identified ESC that garbles one keep-alive stays what it is.
        if (link_.GetDeviceState() != DeviceState::Connected) {
            NoteOddAnswer(msg::OddToCheck(HexByte(link_.Reply()[0]), "ESC", HexByte(cmd::kEscProbe),
                                          "an ESC says " + HexByte(cmd::kEscPresent)));
        }
        link_.PurgeAndClear();
        return;
    }
    if (link_.GetDeviceState() == DeviceState::Connected) {
        ClearOddAnswer();
        RetryFailedRead();  // otherwise a keep-alive
        return;
    }

    // Tried again on the next tick; an answer is only taken from an identification that came.
    if (const LinkResult asked = IdentifyDevice(); asked != LinkResult::Ok) {
        const std::string problem = IdentityProblem(asked, link_, "an ESC");
        if (!problem.empty()) NoteOddAnswer(problem);
        return;
    }
    if (link_.Reply()[1] != cmd::kIdentityMarker) {
        NoteOddAnswer(msg::IdentityWithoutMark(HexBytes(link_.Reply().data(), 7),
                                               HexByte(cmd::kIdentityMarker)));
        return;
    }
    ClearOddAnswer();
    IdentityBytes identity{};
    std::copy_n(link_.Reply().begin(), identity.size(), identity.begin());
    setup_.SetVersionText(VersionText(identity[3]));
    link_.SetDeviceState(DeviceState::Connected);
    setup_.RecognizeModel(identity);
    firmware_.StoreIdentity(identity);
    firmware_.ShowIdentity(FirmwarePageLink::DeviceKind::Esc);
    identityShown_ = true;
    setup_.FillOptionLists();
    view_.DeviceChanged();
    readRetryInTicks_ = 0;
    readRetryDelay_ = 1;
    // Said once for this ESC; the read is then tried again on later ticks without a word.
    if (!transfer_.ReadSettings()) {
        view_.ShowMessage(std::string(msg::kReadFailed) + msg::kReadFailedRetried,
                          MessageIcon::Error);
    }
}

void ConnectionMonitor::RetryFailedRead() {
    if (!transfer_.LastReadFailed() || setup_.HasValidRecord()) return;
    if (readRetryInTicks_ > 0) {
        --readRetryInTicks_;
        return;
    }
    if (!transfer_.ReadSettings()) {
        // Waits twice as long each time, at most kMaxReadRetryTicks ticks.
        readRetryDelay_ = std::min(readRetryDelay_ * 2, kMaxReadRetryTicks);
        readRetryInTicks_ = readRetryDelay_;
    }
}

void ConnectionMonitor::PollCard() {
    if (link_.SendCommandByte(cmd::kCardProbe) != LinkResult::Ok) {
        link_.ClosePort();
        ClearOddAnswer();
        cardState_ = DeviceState::NotPolled;
        return;
    }
    if (link_.ReadReply(2, 150) != LinkResult::Ok) {
        if (link_.BytesRead() == 0) {
            ClearOddAnswer();
        } else {
            NoteOddAnswer(msg::HalfCardAnswer(HexByte(cmd::kCardProbe)));
        }
        LoseCard();
        return;
    }
    if ((link_.Reply()[0] & 0xF0) == 0xD0) {
        if (cardState_ != DeviceState::Connected) {
            // The card counts as connected once its identity came; otherwise it is asked
            // again on the next tick rather than shown with an identity it never sent.
            if (const LinkResult asked = IdentifyDevice(); asked != LinkResult::Ok) {
                const std::string problem = IdentityProblem(asked, link_, "a program card");
                if (!problem.empty()) NoteOddAnswer(problem);
                return;
            }
            ClearOddAnswer();
            cardState_ = DeviceState::Connected;
            IdentityBytes identity{};
            std::copy_n(link_.Reply().begin(), identity.size(), identity.begin());
            firmware_.StoreIdentity(identity);
            firmware_.ShowIdentity(FirmwarePageLink::DeviceKind::Card);
            identityShown_ = true;
            view_.DeviceChanged();
        }
    } else {
        NoteOddAnswer(msg::OddToCheck(HexBytes(link_.Reply().data(), 2), "card",
                                      HexByte(cmd::kCardProbe),
                                      "a program card's answer begins with 0xd0 to 0xdf"));
        LoseCard();
    }
}

void ConnectionMonitor::LoseCard() {
    if (cardState_ == DeviceState::Connected) {
        firmware_.ForgetIdentity(FirmwarePageLink::DeviceKind::Card);
        view_.DeviceChanged();
    }
    cardState_ = DeviceState::Absent;
}

void ConnectionMonitor::PollFix() {
    if (link_.SendCommandByte(cmd::kFixProbe) != LinkResult::Ok) {
        link_.ClosePort();
        ClearOddAnswer();
        return;
    }
    for (int retry = 0;; ++retry) {
        if (link_.ReadReply(1, 500) != LinkResult::Ok) {
            ClearOddAnswer();
            if (link_.GetDeviceState() != DeviceState::Absent) {
                link_.SetDeviceState(DeviceState::Absent);
                UpdateStatusLamps();
                ClearEscTexts(false);
                view_.DeviceChanged();
            }
            return;
        }
        if (link_.Reply()[0] == cmd::kFixPresent) {
            ClearOddAnswer();
            if (link_.GetDeviceState() != DeviceState::Connected) {
                // In Fix Mode the identity is neither stored nor shown, and nothing is read:
                // the device is asked only to keep its conversation in step.
                static_cast<void>(IdentifyDevice());
                link_.SetDeviceState(DeviceState::Connected);
            }
            return;
        }
        if (link_.GetDeviceState() != DeviceState::Connected) {
            NoteOddAnswer(
                msg::OddToCheck(HexByte(link_.Reply()[0]), "Fix Mode", HexByte(cmd::kFixProbe),
                                "an ESC's boot loader says " + HexByte(cmd::kFixPresent)));
        }
        if (retry >= kFixProbeRetries) return;
        if (link_.SendCommandByte(cmd::kFixProbe) != LinkResult::Ok) {
            link_.ClosePort();
            ClearOddAnswer();
            return;
        }
    }
}

LinkResult ConnectionMonitor::IdentifyDevice() {
    if (link_.SendCommandByte(cmd::kIdentify) != LinkResult::Ok) {
        // The device may have taken the command without its read-back reaching us: sending
        // it once more keeps the device's side in step. Its answer is not waited for here.
        static_cast<void>(link_.SendCommandByte(cmd::kIdentify));
        return LinkResult::SendFailed;
    }
    return link_.ReadReply(7, 500);
}

LampState ConnectionMonitor::Lamps() const {
    return LampState{link_.GetUsbState() == UsbState::Connected,
                     link_.GetDeviceState() == DeviceState::Connected,
                     cardState_ == DeviceState::Connected};
}

void ConnectionMonitor::UpdateStatusLamps() {
    view_.ShowLamps(Lamps());
}

DeviceMenuState ConnectionMonitor::MenuState() const {
    return DeviceMenuState{mode_, escPageEnabled_, firmwarePageEnabled_};
}

void ConnectionMonitor::AnnounceMode(bool selectLinksPage) {
    ClearOddAnswer();  // what answered in the mode left says nothing about the next one
    view_.DeviceModeChanged(MenuState(), selectLinksPage);
}

void ConnectionMonitor::NoteOddAnswer(const std::string& detail) {
    const char* device = mode_ == DeviceMode::Card  ? msg::kOddCard
                         : mode_ == DeviceMode::Fix ? msg::kOddFix
                                                    : msg::kOddEsc;
    ShowOddAnswer(msg::OddAnswer(link_.PortName(), device, detail));
}

void ConnectionMonitor::ClearOddAnswer() {
    ShowOddAnswer({});
}

void ConnectionMonitor::ShowOddAnswer(std::string odd) {
    if (odd == oddAnswer_) return;
    oddAnswer_ = std::move(odd);
    transfer_.SetOddAnswer(oddAnswer_);
    view_.OddAnswerChanged(oddAnswer_);
}

void ConnectionMonitor::ChooseEsc() {
    timer_.StopTimer();
    setup_.ForgetEscValues();  // the values belong to the ESC of the mode left
    ForgetShownDevices();      // and so do the texts of the device of the mode left
    const bool wasOn = mode_ == DeviceMode::Esc;
    cardState_ = DeviceState::NotPolled;
    if (wasOn) {
        mode_ = DeviceMode::None;
        link_.SetDeviceState(DeviceState::NotPolled);
        UpdateStatusLamps();
        AnnounceMode(false);
    } else {
        mode_ = DeviceMode::Esc;
        // Whatever answered in another mode is identified afresh before anything is read.
        link_.SetDeviceState(DeviceState::NotPolled);
        UpdateStatusLamps();
        escPageEnabled_ = true;
        firmwarePageEnabled_ = true;
        AnnounceMode(true);
    }
    timer_.StartTimer(kPollPeriodMs);
}

void ConnectionMonitor::ChooseProgramCard() {
    timer_.StopTimer();
    setup_.ForgetEscValues();  // the values belong to the ESC of the mode left
    ForgetShownDevices();      // and so do the texts of the device of the mode left
    const bool wasOn = mode_ == DeviceMode::Card;
    link_.SetDeviceState(DeviceState::NotPolled);
    if (wasOn) {
        mode_ = DeviceMode::None;
        cardState_ = DeviceState::NotPolled;
        UpdateStatusLamps();
        AnnounceMode(false);
    } else {
        mode_ = DeviceMode::Card;
        UpdateStatusLamps();
        firmwarePageEnabled_ = true;
        escPageEnabled_ = false;
        AnnounceMode(true);
    }
    timer_.StartTimer(kPollPeriodMs);
}

void ConnectionMonitor::ChooseFixMode() {
    setup_.ForgetEscValues();  // the values belong to the ESC of the mode left
    ForgetShownDevices();      // and so do the texts of the device of the mode left
    const bool wasOn = mode_ == DeviceMode::Fix;
    link_.SetDeviceState(DeviceState::NotPolled);
    cardState_ = DeviceState::NotPolled;
    if (wasOn) {
        mode_ = DeviceMode::None;
        UpdateStatusLamps();
    } else {
        mode_ = DeviceMode::Fix;
        UpdateStatusLamps();
        firmwarePageEnabled_ = true;
        escPageEnabled_ = false;
    }
    AnnounceMode(false);  // the page shown does not change
    timer_.StartTimer(kPollPeriodMs);
}

}  // namespace vorna
