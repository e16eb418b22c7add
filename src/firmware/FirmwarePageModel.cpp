#include "firmware/FirmwarePageModel.h"

namespace vorna {

void FirmwarePageModel::SetListener(Listener listener) {
    std::lock_guard lock(listenerMutex_);
    listener_ = std::move(listener);
}

IdentityBytes FirmwarePageModel::Identity() const {
    std::lock_guard lock(mutex_);
    return identityBytes_;
}

EscIdentityTexts FirmwarePageModel::EscTexts() const {
    std::lock_guard lock(mutex_);
    return escTexts_;
}

std::string FirmwarePageModel::CardModelText() const {
    std::lock_guard lock(mutex_);
    return cardModelText_;
}

std::string FirmwarePageModel::CardFirmwareText() const {
    std::lock_guard lock(mutex_);
    return cardFirmwareText_;
}

void FirmwarePageModel::StoreIdentity(const IdentityBytes& identity) {
    std::lock_guard lock(mutex_);
    identityBytes_ = identity;
}

void FirmwarePageModel::ShowIdentity(DeviceKind kind) {
    {
        std::lock_guard lock(mutex_);
        if (kind == DeviceKind::Card) {
            cardModelText_ = std::string(kCardModelText);
            cardFirmwareText_ = vorna::CardFirmwareText(identityBytes_.data());
        } else {
            ApplyEscIdentity(escTexts_, identityBytes_.data());
        }
    }
    Listener listener;
    {
        std::lock_guard lock(listenerMutex_);
        listener = listener_;
    }
    if (listener) listener();
}

std::string FirmwarePageModel::EscModelText() const {
    std::lock_guard lock(mutex_);
    return escTexts_.model;
}

std::string FirmwarePageModel::CurrentFirmwareText() const {
    std::lock_guard lock(mutex_);
    return escTexts_.firmware;
}

}  // namespace vorna
