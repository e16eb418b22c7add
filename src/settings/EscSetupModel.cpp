#include "settings/EscSetupModel.h"

#include <algorithm>

#include "settings/Catalogue.h"
#include "settings/Codec.h"

namespace vorna {

void EscSetupModel::SetListener(Listener listener) {
    std::lock_guard lock(listenerMutex_);
    listener_ = std::move(listener);
}

void EscSetupModel::Notify(Change change) {
    Listener listener;
    {
        std::lock_guard lock(listenerMutex_);
        listener = listener_;
    }
    if (listener) listener(change);
}

SetupState EscSetupModel::Snapshot() const {
    std::lock_guard lock(mutex_);
    return state_;
}

std::string EscSetupModel::ModelNameText() const {
    std::lock_guard lock(mutex_);
    return modelNameText_;
}

void EscSetupModel::SelectByUser(ParamId listId, int index) {
    {
        std::lock_guard lock(mutex_);
        if (!state_.List(listId).writable) return;  // the ESC keeps its own value
        state_.List(listId).Select(index);
        if (listId == ParamId::DriveMode) ApplyDriveModeChoice(state_, index);
    }
    Notify(listId == ParamId::DriveMode ? Change::Lists : Change::Selections);
}

void EscSetupModel::Edit(const std::function<void(SetupState&)>& edit, Change change) {
    {
        std::lock_guard lock(mutex_);
        edit(state_);
    }
    Notify(change);
}

void EscSetupModel::SetVersionText(const std::string& text) {
    std::lock_guard lock(mutex_);
    state_.versionText = text;
}

int EscSetupModel::RecognizeModel(const IdentityBytes& identity) {
    int modelType = 0;
    {
        std::lock_guard lock(mutex_);
        modelType = vorna::RecognizeModel(state_, identity.data());
        // A newly identified ESC has not been read yet.
        state_.recordValid = false;
    }
    Notify(Change::Lists);
    return modelType;
}

void EscSetupModel::FillOptionLists() {
    {
        std::lock_guard lock(mutex_);
        vorna::FillOptionLists(state_);
    }
    Notify(Change::Lists);
}

int EscSetupModel::ModelType() const {
    std::lock_guard lock(mutex_);
    return state_.modelType;
}

void EscSetupModel::SetModelNameText(const std::string& text) {
    {
        std::lock_guard lock(mutex_);
        modelNameText_ = text;
    }
    Notify(Change::Texts);
}

void EscSetupModel::SetFirmwareText(const std::string& text) {
    {
        std::lock_guard lock(mutex_);
        firmwareText_ = text;
    }
    Notify(Change::Texts);
}

std::string EscSetupModel::FirmwareText() const {
    std::lock_guard lock(mutex_);
    return firmwareText_;
}

void EscSetupModel::ApplySettingsRecord(const std::uint8_t* buffer, std::size_t dataBytes) {
    {
        std::lock_guard lock(mutex_);
        vorna::ApplySettingsRecord(state_, buffer);
        const std::size_t n = std::min(dataBytes, state_.lastRecord.size());
        std::copy_n(buffer, n, state_.lastRecord.begin());
        state_.recordValid = true;
    }
    Notify(Change::Selections);
}

bool EscSetupModel::HasValidRecord() const {
    std::lock_guard lock(mutex_);
    return state_.recordValid;
}

void EscSetupModel::RequestDefaults(std::string backupPath) {
    {
        std::lock_guard lock(mutex_);
        defaultsBackupPath_ = std::move(backupPath);
    }
    defaultRequest_ = true;
}

std::string EscSetupModel::DefaultsBackupPath() const {
    std::lock_guard lock(mutex_);
    return defaultsBackupPath_;
}

void EscSetupModel::ForgetEscValues() {
    {
        std::lock_guard lock(mutex_);
        if (!state_.recordValid) return;
        state_.recordValid = false;
        for (const ParamId id : kParameters) state_.List(id).selection = -1;
        state_.lastRecord.fill(0);
        sentSelections_.clear();
    }
    Notify(Change::Selections);
}

void EscSetupModel::RememberSentSelections() {
    std::lock_guard lock(mutex_);
    sentSelections_.clear();
    for (const ParamId id : kParameters) {
        const OptionList& list = state_.List(id);
        sentSelections_.push_back(list.enabled ? list.selection : -1);
    }
}

std::vector<std::string> EscSetupModel::SettingsDifferingFromSent() const {
    std::lock_guard lock(mutex_);
    std::vector<std::string> differing;
    for (std::size_t i = 0; i < sentSelections_.size() && i < kParameters.size(); ++i) {
        const int sent = sentSelections_[i];
        const OptionList& now = state_.List(kParameters[i]);
        if (sent >= 0 && now.selection != sent) {
            differing.push_back(ListCaption(kParameters[i], state_.modelType));
        }
    }
    return differing;
}

void EscSetupModel::BuildWritePairs(std::array<std::uint8_t, 100>& pairs) {
    std::lock_guard lock(mutex_);
    vorna::BuildWritePairs(state_);
    pairs = state_.writePairs;
}

int EscSetupModel::BecSelection() const {
    std::lock_guard lock(mutex_);
    return state_.List(ParamId::BecVoltage).selection;
}

void EscSetupModel::SelectBec(int index) {
    {
        std::lock_guard lock(mutex_);
        state_.List(ParamId::BecVoltage).Select(index);
    }
    Notify(Change::Selections);
}

void EscSetupModel::RefreshParameterBoxes() {
    Notify(Change::Selections);
}

}  // namespace vorna
