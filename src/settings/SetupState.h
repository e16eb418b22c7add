// What the ESC setup page holds, as plain data: the 28 parameter lists and the two profile
// lists (by ParamId), the model type, the firmware version text, the last settings
// record and the write pairs. No locking here; EscSetupModel guards one instance.
#pragma once

#include <array>
#include <cassert>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace vorna {

// The lists of the setup state: the 28 parameters, then the two profile lists. The values are
// ordinals (the index of the list in SetupState), nothing the ESC or the window knows.
enum class ParamId : int {
    OperationMode,
    ReverseSpeed,
    LowVoltCut,
    DragBrake,
    InitialBrake,
    FullBrake,
    BrakeFrequency,
    PowerLevel1,
    DriveFrequency,
    NeutralDeadBand,
    TempCutSet,
    RotationMode,
    BoostTiming,
    TurboSlope,  // Turbo On Slope on model types 12, 14 to 17
    TurboTiming,
    BoostStartRpm,
    TurboDelay,
    BoostAcc,  // Boost Timing Activation on model types 12, 14 to 17
    BecVoltage,
    PowerLevel2,
    PwLvSwPoint,
    BoostEndRpm,
    LipoCells,  // Turbo Off Slope on model types 12, 14 to 17
    BrakeRateControl,
    CoastValue,
    DriveMode,
    BtSoftPower,
    BtSoftThRange,
    Category,
    SetupSheet,
};

// The 28 parameter lists, in the page's field order.
inline constexpr std::array<ParamId, 28> kParameters = {
    ParamId::OperationMode,   ParamId::ReverseSpeed, ParamId::LowVoltCut,
    ParamId::DragBrake,       ParamId::InitialBrake, ParamId::FullBrake,
    ParamId::BrakeFrequency,  ParamId::PowerLevel1,  ParamId::DriveFrequency,
    ParamId::NeutralDeadBand, ParamId::TempCutSet,   ParamId::RotationMode,
    ParamId::BoostTiming,     ParamId::TurboSlope,   ParamId::TurboTiming,
    ParamId::BoostStartRpm,   ParamId::TurboDelay,   ParamId::BoostAcc,
    ParamId::BecVoltage,      ParamId::PowerLevel2,  ParamId::PwLvSwPoint,
    ParamId::BoostEndRpm,     ParamId::LipoCells,    ParamId::BrakeRateControl,
    ParamId::CoastValue,      ParamId::DriveMode,    ParamId::BtSoftPower,
    ParamId::BtSoftThRange};

// All 30 lists: the parameter lists, then Category and Setup Sheet.
inline constexpr std::array<ParamId, 30> kAllLists = [] {
    std::array<ParamId, 30> all{};
    for (std::size_t i = 0; i < kParameters.size(); ++i) all[i] = kParameters[i];
    all[28] = ParamId::Category;
    all[29] = ParamId::SetupSheet;
    return all;
}();

// A list's ordinal is its place in kAllLists.
static_assert([] {
    for (std::size_t i = 0; i < kAllLists.size(); ++i) {
        if (static_cast<std::size_t>(kAllLists[i]) != i) return false;
    }
    return true;
}());

struct OptionList {
    std::vector<std::string> entries;
    int selection = -1;  // -1: nothing selected
    bool enabled = true;
    // False where the model shows the setting but takes no value for it from the PC: the list
    // shows what the ESC reports and cannot be changed.
    bool writable = true;

    // Selecting past the end (or below 0) leaves the list without a selection.
    void Select(int index) {
        selection = (index >= 0 && index < static_cast<int>(entries.size())) ? index : -1;
    }
    const std::string* SelectedText() const {
        return selection >= 0 && selection < static_cast<int>(entries.size()) ? &entries[selection]
                                                                              : nullptr;
    }
};

struct SetupState {
    // Every name of the enum has its list (the check above), so List() always finds one. Only
    // a number cast to a ParamId can name none: Find() is for ids from outside, nullptr then.
    OptionList& List(ParamId id) {
        OptionList* list = Find(id);
        assert(list != nullptr);
        return *list;
    }
    const OptionList& List(ParamId id) const {
        const OptionList* list = Find(id);
        assert(list != nullptr);
        return *list;
    }
    OptionList* Find(ParamId id) {
        return IndexOf(id) < lists_.size() ? &lists_[IndexOf(id)] : nullptr;
    }
    const OptionList* Find(ParamId id) const {
        return IndexOf(id) < lists_.size() ? &lists_[IndexOf(id)] : nullptr;
    }

    std::int32_t modelType = 0;  // 0 to 17; 0 before any ESC is identified
    std::string versionText;     // "1.30" etc., from identity byte 3
    std::array<std::uint8_t, 64> lastRecord{};
    std::array<std::uint8_t, 100> writePairs{};
    // True once the connected ESC's settings record has been read since it was identified;
    // a write without it would send registers we never learnt.
    bool recordValid = false;

    // A value outside the enum gives kAllLists.size() or more.
    static std::size_t IndexOf(ParamId id) { return static_cast<std::size_t>(id); }

private:
    std::array<OptionList, kAllLists.size()> lists_{};
};

}  // namespace vorna
