// What the ESC setup page holds, as plain data: the 28 parameter lists and the two profile
// lists (by control identifier), the model type, the firmware version text, the last settings
// record and the write pairs. No locking here; EscSetupModel guards one instance.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace vorna {

// Control identifiers of the setup page's lists.
enum ListId : int {
    kIdcOperationMode = 1009,
    kIdcReverseSpeed = 1010,
    kIdcLowVoltCut = 1011,
    kIdcDragBrake = 1012,
    kIdcInitialBrake = 1013,
    kIdcFullBrake = 1014,
    kIdcBrakeFrequency = 1015,
    kIdcPowerLevel1 = 1016,
    kIdcDriveFrequency = 1017,
    kIdcNeutralDeadBand = 1018,
    kIdcTempCutSet = 1019,
    kIdcRotationMode = 1020,
    kIdcBoostTiming = 1021,
    kIdcTurboSlope = 1022,  // Turbo On Slope on model types 12, 14 to 17
    kIdcTurboTiming = 1023,
    kIdcBoostStartRpm = 1024,
    kIdcTurboDelay = 1025,
    kIdcBoostAcc = 1026,  // Boost Timing Activation on model types 12, 14 to 17
    kIdcCategory = 1027,
    kIdcSetupSheet = 1028,
    kIdcBecVoltage = 1029,
    kIdcPowerLevel2 = 1030,
    kIdcPwLvSwPoint = 1031,
    kIdcBoostEndRpm = 1032,
    kIdcLipoCells = 1106,  // Turbo Off Slope on model types 12, 14 to 17
    kIdcBrakeRateControl = 1107,
    kIdcCoastValue = 1108,
    kIdcDriveMode = 1109,
    kIdcBtSoftPower = 1110,
    kIdcBtSoftThRange = 1111,
};

// The 28 parameter lists, in the page's field order.
inline constexpr std::array<int, 28> kParameterListIds = {
    1009, 1010, 1011, 1012, 1013, 1014, 1015, 1016, 1017, 1018, 1019, 1020, 1021, 1022,
    1023, 1024, 1025, 1026, 1029, 1030, 1031, 1032, 1106, 1107, 1108, 1109, 1110, 1111};

// All 30 lists: the parameter lists, then Category and Setup Sheet.
inline constexpr std::array<int, 30> kAllListIds = {
    1009, 1010, 1011, 1012, 1013, 1014, 1015, 1016, 1017, 1018, 1019, 1020, 1021, 1022, 1023,
    1024, 1025, 1026, 1029, 1030, 1031, 1032, 1106, 1107, 1108, 1109, 1110, 1111, 1027, 1028};

struct OptionList {
    std::vector<std::string> entries;
    int selection = -1;  // -1: nothing selected
    bool enabled = true;

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
    SetupState() { lists_.resize(kAllListIds.size()); }

    OptionList& List(int id) { return lists_.at(IndexOf(id)); }
    const OptionList& List(int id) const { return lists_.at(IndexOf(id)); }

    std::int32_t modelType = 0;      // 0 to 17; 0 before any ESC is identified
    std::string versionText;         // "1.30" etc., from identity byte 3
    std::array<std::uint8_t, 64> lastRecord{};
    std::array<std::uint8_t, 100> writePairs{};
    // True once the connected ESC's settings record has been read since it was identified;
    // a write without it would send registers we never learnt.
    bool recordValid = false;

    static std::size_t IndexOf(int id) {
        for (std::size_t i = 0; i < kAllListIds.size(); ++i) {
            if (kAllListIds[i] == id) return i;
        }
        return kAllListIds.size();  // makes List() throw std::out_of_range
    }

private:
    std::vector<OptionList> lists_;
};

}  // namespace vorna
