#include "settings/EscSetupModel.h"

#include <algorithm>

#include "base/Text.h"
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

std::vector<ParamId> EscSetupModel::UnsentChanges() const {
    std::lock_guard lock(mutex_);
    std::vector<ParamId> changed;
    for (std::size_t i = 0; i < kParameters.size(); ++i) {
        const int selection = state_.List(kParameters[i]).selection;
        if (selection >= 0 && selection != escSelections_[i]) changed.push_back(kParameters[i]);
    }
    return changed;
}

bool EscSetupModel::HasUnsentChanges() const {
    return !UnsentChanges().empty();
}

SetupState EscSetupModel::EscValues() const {
    std::lock_guard lock(mutex_);
    SetupState values = state_;
    for (std::size_t i = 0; i < kParameters.size(); ++i) {
        values.List(kParameters[i]).Select(escSelections_[i]);
    }
    return values;
}

bool EscSetupModel::SelectEscValues() {
    const int driveMode = state_.List(ParamId::DriveMode).selection;
    for (std::size_t i = 0; i < kParameters.size(); ++i) {
        state_.List(kParameters[i]).Select(escSelections_[i]);
    }
    const int escDriveMode = state_.List(ParamId::DriveMode).selection;
    if (escDriveMode < 0 || escDriveMode == driveMode) return false;
    ApplyDriveModeChoice(state_, escDriveMode);
    return true;
}

std::vector<ParamId> EscSetupModel::LoadCompared(const Comparison& comparison,
                                                 const std::vector<ParamId>& checked) {
    std::vector<ParamId> loaded;
    Edit([&](SetupState& state) { loaded = LoadCheckedRows(state, comparison, checked); },
         std::find(checked.begin(), checked.end(), ParamId::DriveMode) != checked.end()
             ? Change::Lists
             : Change::Selections);
    return loaded;
}

Result<LoadedSheet> EscSetupModel::LoadSheet(const std::filesystem::path& sheetPath,
                                             std::vector<ParamId>* leftAtEscValues) {
    if (leftAtEscValues != nullptr) leftAtEscValues->clear();
    // Read and parsed first: the link thread never waits for a file.
    const Result<SheetFile> sheet = ReadSetupSheet(sheetPath);
    if (!sheet) return sheet.Error();
    return LoadSheet(*sheet, leftAtEscValues);
}

Result<LoadedSheet> EscSetupModel::LoadSheet(const SheetFile& sheet,
                                             std::vector<ParamId>* leftAtEscValues) {
    if (leftAtEscValues != nullptr) leftAtEscValues->clear();
    LoadedSheet loaded;
    bool enabledChanged = false;
    {
        std::lock_guard lock(mutex_);
        const bool overEscValues = state_.recordValid;
        if (overEscValues) {
            // A refused sheet leaves the lists as the user had them, unsent changes and all.
            const SetupState before = state_;
            enabledChanged = SelectEscValues();
            Result<LoadedSheet> applied = ApplySetupSheet(state_, sheet, nullptr);
            if (!applied) {
                state_ = before;
                return applied;
            }
            loaded = std::move(applied).Value();
        } else {
            Result<LoadedSheet> applied = ApplySetupSheet(state_, sheet, ClearSelections);
            if (!applied) return applied;
            loaded = std::move(applied).Value();
        }
        if (leftAtEscValues != nullptr) {
            for (const ParamId id : kParameters) {
                const OptionList& list = state_.List(id);
                if (!overEscValues || list.entries.empty() || !list.enabled) continue;
                if (std::find(loaded.selected.begin(), loaded.selected.end(), id) !=
                    loaded.selected.end()) {
                    continue;
                }
                leftAtEscValues->push_back(id);
            }
        }
    }
    Notify(enabledChanged ? Change::Lists : Change::Selections);
    return loaded;
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
        std::fill(escSelections_.begin(), escSelections_.end(), -1);
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
        becUnread_ = false;
        const std::size_t n = std::min(dataBytes, state_.lastRecord.size());
        std::copy_n(buffer, n, state_.lastRecord.begin());
        state_.recordValid = true;
        for (std::size_t i = 0; i < kParameters.size(); ++i) {
            escSelections_[i] = state_.List(kParameters[i]).selection;
        }
    }
    Notify(Change::Selections);
}

bool EscSetupModel::HasValidRecord() const {
    std::lock_guard lock(mutex_);
    return state_.recordValid;
}

std::vector<ParamId> EscSetupModel::UnreadSettings() const {
    std::lock_guard lock(mutex_);
    if (!state_.recordValid || !becUnread_) return {};
    return {ParamId::BecVoltage};
}

void EscSetupModel::ForgetEscValues() {
    {
        std::lock_guard lock(mutex_);
        if (!state_.recordValid) return;
        state_.recordValid = false;
        becUnread_ = false;
        for (const ParamId id : kParameters) state_.List(id).selection = -1;
        state_.lastRecord.fill(0);
        sentSelections_.clear();
        std::fill(escSelections_.begin(), escSelections_.end(), -1);
    }
    Notify(Change::Selections);
}

void EscSetupModel::ForgetModel() {
    ForgetEscValues();
    {
        std::lock_guard lock(mutex_);
        bool empty = state_.modelType == 0;
        for (const ParamId id : kParameters) empty = empty && state_.List(id).entries.empty();
        if (empty) return;
        state_.modelType = 0;
        state_.versionText.clear();
        for (const ParamId id : kParameters) {
            OptionList& list = state_.List(id);
            list = OptionList{};
        }
    }
    Notify(Change::Lists);
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
        // A setting that could not be read back is not verified; it does not differ either.
        if (becUnread_ && kParameters[i] == ParamId::BecVoltage) continue;
        if (sent >= 0 && now.selection != sent) {
            differing.push_back(ListCaption(kParameters[i], state_.modelType));
        }
    }
    return differing;
}

std::vector<std::string> EscSetupModel::SettingsNotReadBack() const {
    std::lock_guard lock(mutex_);
    const std::size_t bec = SetupState::IndexOf(ParamId::BecVoltage);
    if (!becUnread_ || bec >= sentSelections_.size() || sentSelections_[bec] < 0) return {};
    return {ListCaption(ParamId::BecVoltage, state_.modelType)};
}

std::string EscSetupModel::WritePairCaption(int position) const {
    std::lock_guard lock(mutex_);
    const WritePair pair = WritePairAt(state_.modelType, position);
    if (pair.parameter) return ListCaption(*pair.parameter, state_.modelType);
    return "the setting it keeps at register " + HexByte(pair.reg);
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

void EscSetupModel::SelectBec(std::optional<int> index) {
    {
        std::lock_guard lock(mutex_);
        OptionList& bec = state_.List(ParamId::BecVoltage);
        bec.Select(index.value_or(-1));
        becUnread_ = !index.has_value();
        escSelections_[SetupState::IndexOf(ParamId::BecVoltage)] = bec.selection;
    }
    Notify(Change::Selections);
}

void EscSetupModel::RefreshParameterBoxes() {
    Notify(Change::Selections);
}

}  // namespace vorna
