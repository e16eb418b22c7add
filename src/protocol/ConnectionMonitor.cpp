#include "protocol/ConnectionMonitor.h"

#include <algorithm>

#include "protocol/Commands.h"
#include "protocol/VersionText.h"

namespace vorna {

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
    std::string problem;
    const int opened = OpenPort(link_, location_, &problem);
    if (opened == 1) {
        // Said once; the following ticks keep trying without repeating it.
        if (problem != lastPortProblem_) {
            lastPortProblem_ = problem;
            view_.ShowPortProblem(problem);
        }
    } else {
        lastPortProblem_.clear();
    }
    PollDevice();
    if (updates_ && updates_->CardUpdateRequested()) updates_->RunCardUpdate();
    if (updates_ && updates_->EscUpdateRequested()) updates_->RunEscUpdate();
    if (setup_.DefaultRequested()) transfer_.RestoreDefaults();
    if (setup_.WriteRequested()) transfer_.WriteSettings();
}

void ConnectionMonitor::PollDevice() {
    if (link_.usbState < 2) {
        if (link_.isOpen) {
            link_.usbState = 2;
        } else {
            cardState_ = 0;
        }
        UpdateStatusLamps();
        return;  // device traffic begins on the following tick
    }
    if (link_.usbState > 2) {
        link_.usbState = 0;
        cardState_ = 0;
        UpdateStatusLamps();
        return;
    }
    if (escMode_) {
        PollEsc();
    } else if (cardMode_) {
        PollCard();
    } else if (fixMode_) {
        PollFix();
    }
    UpdateStatusLamps();
}

void ConnectionMonitor::ClearEscTexts(bool keepBlinkyText) {
    setup_.SetModelNameText("");
    if (!keepBlinkyText || setup_.FirmwareText() != kBlinkyRx4FirmwareText) {
        setup_.SetFirmwareText("");
    }
}

void ConnectionMonitor::PollEsc() {
    if (link_.SendCommandByte(cmd::kEscProbe) != 0) {
        link_.ClosePort();
        return;
    }
    if (link_.ReadReply(1, 1000) != 0) {
        if (link_.deviceState != 1) {
            link_.deviceState = 1;
            UpdateStatusLamps();
            ClearEscTexts(true);
            view_.DeviceChanged();
        }
        return;
    }
    if (link_.rxBuffer[0] != cmd::kEscPresent) {
        link_.PurgeAndClear();
        return;
    }
    if (link_.deviceState == 2) return;  // keep-alive

    IdentifyDevice();
    if (link_.rxBuffer[1] != cmd::kIdentityMarker) return;  // tried again next tick
    IdentityBytes identity{};
    std::copy_n(link_.rxBuffer.begin(), identity.size(), identity.begin());
    setup_.SetVersionText(VersionText(identity[3]));
    link_.deviceState = 2;
    modelType_ = setup_.RecognizeModel(identity);
    firmware_.StoreIdentity(identity);
    firmware_.ShowIdentity(FirmwarePageLink::DeviceKind::Esc);
    setup_.FillOptionLists();
    view_.DeviceChanged();
    transfer_.ReadSettings();
}

void ConnectionMonitor::PollCard() {
    if (link_.SendCommandByte(cmd::kCardProbe) != 0) {
        link_.ClosePort();
        cardState_ = 0;
        return;
    }
    if (link_.ReadReply(2, 150) != 0) {
        cardState_ = 1;
        return;
    }
    if ((link_.rxBuffer[0] & 0xF0) == 0xD0) {
        if (cardState_ != 2) {
            cardState_ = 2;
            IdentifyDevice();
            IdentityBytes identity{};
            std::copy_n(link_.rxBuffer.begin(), identity.size(), identity.begin());
            firmware_.StoreIdentity(identity);
            firmware_.ShowIdentity(FirmwarePageLink::DeviceKind::Card);
            view_.DeviceChanged();
        }
    } else {
        cardState_ = 1;
    }
}

void ConnectionMonitor::PollFix() {
    if (link_.SendCommandByte(cmd::kFixProbe) != 0) {
        link_.ClosePort();
        return;
    }
    for (int retry = 0;; ++retry) {
        if (link_.ReadReply(1, 500) != 0) {
            if (link_.deviceState != 1) {
                link_.deviceState = 1;
                UpdateStatusLamps();
                ClearEscTexts(false);
                view_.DeviceChanged();
            }
            return;
        }
        if (link_.rxBuffer[0] == cmd::kFixPresent) {
            if (link_.deviceState != 2) {
                // In Fix Mode the identity is neither stored nor shown, and nothing is read.
                IdentifyDevice();
                link_.deviceState = 2;
            }
            return;
        }
        if (retry >= kFixProbeRetries) return;
        if (link_.SendCommandByte(cmd::kFixProbe) != 0) {
            link_.ClosePort();
            return;
        }
    }
}

void ConnectionMonitor::IdentifyDevice() {
    if (link_.SendCommandByte(cmd::kIdentify) != 0) {
        link_.SendCommandByte(cmd::kIdentify);
        return;
    }
    link_.ReadReply(7, 500);
}

LampState ConnectionMonitor::Lamps() const {
    return LampState{link_.usbState == 2, link_.deviceState == 2, cardState_ == 2};
}

void ConnectionMonitor::UpdateStatusLamps() { view_.ShowLamps(Lamps()); }

DeviceMode ConnectionMonitor::Mode() const {
    if (escMode_) return DeviceMode::Esc;
    if (cardMode_) return DeviceMode::Card;
    if (fixMode_) return DeviceMode::Fix;
    return DeviceMode::None;
}

DeviceMenuState ConnectionMonitor::MenuState() const {
    return DeviceMenuState{Mode(), escPageEnabled_, firmwarePageEnabled_};
}

void ConnectionMonitor::AnnounceMode(bool selectLinksPage) {
    view_.DeviceModeChanged(MenuState(), selectLinksPage);
}

void ConnectionMonitor::ChooseEsc() {
    timer_.StopTimer();
    const bool wasOn = escMode_;
    cardMode_ = false;
    fixMode_ = false;
    cardState_ = 0;
    if (wasOn) {
        escMode_ = false;
        link_.deviceState = 0;
        UpdateStatusLamps();
        AnnounceMode(false);
    } else {
        escMode_ = true;
        UpdateStatusLamps();
        escPageEnabled_ = true;
        firmwarePageEnabled_ = true;
        AnnounceMode(true);
    }
    timer_.StartTimer(kPollPeriodMs);
}

void ConnectionMonitor::ChooseProgramCard() {
    timer_.StopTimer();
    const bool wasOn = cardMode_;
    escMode_ = false;
    fixMode_ = false;
    link_.deviceState = 0;
    if (wasOn) {
        cardMode_ = false;
        cardState_ = 0;
        UpdateStatusLamps();
        AnnounceMode(false);
    } else {
        cardMode_ = true;
        UpdateStatusLamps();
        firmwarePageEnabled_ = true;
        escPageEnabled_ = false;
        AnnounceMode(true);
    }
    timer_.StartTimer(kPollPeriodMs);
}

void ConnectionMonitor::ChooseFixMode() {
    const bool wasOn = fixMode_;
    escMode_ = false;
    cardMode_ = false;
    link_.deviceState = 0;
    cardState_ = 0;
    if (wasOn) {
        fixMode_ = false;
        UpdateStatusLamps();
    } else {
        fixMode_ = true;
        UpdateStatusLamps();
        firmwarePageEnabled_ = true;
        escPageEnabled_ = false;
    }
    AnnounceMode(false);  // the page shown does not change
    timer_.StartTimer(kPollPeriodMs);
}

}  // namespace vorna
