// The ESC setup page as a model: the page state behind one lock, the link side's SetupPageLink
// interface, and what the window and vornactl do with it (user choices, requests, files).
#pragma once

#include <atomic>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "protocol/PageLinks.h"
#include "settings/Compare.h"
#include "settings/Profiles.h"
#include "settings/SetupState.h"

namespace vorna {

class EscSetupModel : public SetupPageLink {
public:
    enum class Change {
        Lists,       // entries and enabled states rebuilt (identification)
        Selections,  // selections set in bulk (record read, restore, profile, import)
        Texts,       // the model name text and the firmware text
    };
    using Listener = std::function<void(Change)>;

    EscSetupModel() = default;

    // Called after every change, on the thread that made it, without the lock held.
    void SetListener(Listener listener);

    SetupState Snapshot() const;
    // The page state with the ESC's values as last read in place of the user's picks.
    SetupState EscValues() const;
    std::string ModelNameText() const;

    // A choice the user made in a list (Drive Mode carries its dependency).
    void SelectByUser(ParamId listId, int index);
    // Runs `edit` on the state under the lock, then reports `change`.
    void Edit(const std::function<void(SetupState&)>& edit, Change change = Change::Selections);

    // The parameter lists whose selection differs from the ESC's value as last read (a send
    // counts once it has been read back), in kParameters order: what a send would change. A
    // list without a selection sends the ESC's own value back, so it never counts.
    std::vector<ParamId> UnsentChanges() const;
    bool HasUnsentChanges() const;

    // Loads a setup sheet (LoadProfile) over the ESC's values as last read, so a list the sheet
    // does not set keeps what a send would keep for it; without a valid record, over cleared
    // selections. `leftAtEscValues` (if given) gets the lists in use (with entries, enabled)
    // that the sheet did not set; none without a valid record. A refused sheet (its Problem
    // returned) changes nothing. The file is read before the lock is taken.
    Result<LoadedSheet> LoadSheet(const std::filesystem::path& sheetPath,
                                  std::vector<ParamId>* leftAtEscValues = nullptr);
    // The same for a sheet already read (ReadSetupSheet): only applying it takes the lock.
    Result<LoadedSheet> LoadSheet(const SheetFile& sheet,
                                  std::vector<ParamId>* leftAtEscValues = nullptr);

    // Puts the checked rows of a comparison with the ESC's values on the page (LoadCheckedRows)
    // as unsent changes; every other list keeps its selection. Nothing is sent. Returns the
    // lists set: none when the comparison was made with another model's lists.
    std::vector<ParamId> LoadCompared(const Comparison& comparison,
                                      const std::vector<ParamId>& checked);

    void RequestWrite() { writeRequest_ = true; }
    void RequestDefaults() { defaultRequest_ = true; }
    // The settings whose value the last read could not get (BEC Voltage, when the ESC did not
    // answer the query for it).
    std::vector<ParamId> UnreadSettings() const;

    // SetupPageLink
    void SetVersionText(const std::string& text) override;
    int RecognizeModel(const IdentityBytes& identity) override;
    void FillOptionLists() override;
    int ModelType() const override;
    void SetModelNameText(const std::string& text) override;
    void SetFirmwareText(const std::string& text) override;
    std::string FirmwareText() const override;
    void ApplySettingsRecord(const std::uint8_t* buffer, std::size_t dataBytes) override;
    bool HasValidRecord() const override;
    void ForgetEscValues() override;
    void ForgetModel() override;
    void RememberSentSelections() override;
    std::vector<std::string> SettingsDifferingFromSent() const override;
    std::vector<std::string> SettingsNotReadBack() const override;
    void BuildWritePairs(std::array<std::uint8_t, 100>& pairs) override;
    std::string WritePairCaption(int position) const override;
    int BecSelection() const override;
    // Called by a read with the BEC Voltage the ESC answered apart from its record, so the
    // selection counts as one of the ESC's values; nothing: it did not answer.
    void SelectBec(std::optional<int> index) override;
    void RefreshParameterBoxes() override;
    bool WriteRequested() const override { return writeRequest_; }
    void ClearWriteRequest() override { writeRequest_ = false; }
    bool DefaultRequested() const override { return defaultRequest_; }
    void ClearDefaultRequest() override { defaultRequest_ = false; }

private:
    void Notify(Change change);
    // Under the lock: back to the ESC's values in every parameter list, Drive Mode carrying its
    // dependency as a choice in the list does. True when that changed which lists are enabled.
    bool SelectEscValues();

    mutable std::mutex mutex_;
    SetupState state_;
    std::vector<int> sentSelections_;  // by position in kParameters; -1: nothing was chosen
    std::string modelNameText_;        // the model name text (hidden on the page)
    std::string firmwareText_;         // the firmware text
    // What the last read selected, by position in kParameters (-1: nothing): the ESC's values.
    std::vector<int> escSelections_ = std::vector<int>(kParameters.size(), -1);
    std::atomic<bool> writeRequest_{false};
    std::atomic<bool> defaultRequest_{false};
    bool becUnread_ = false;  // the last read got no BEC Voltage from the ESC
    std::mutex listenerMutex_;
    Listener listener_;
};

}  // namespace vorna
