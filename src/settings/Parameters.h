// One row per parameter: what the program knows of a setting apart from its entries, which
// the catalogue gives by model type. Its caption (and the caption the model types with
// alternate captions show instead), its key in settings files and setup sheets, and where the
// ESC SETUP page shows it. The catalogue, the settings files and setup sheets, vornactl and the
// page's skin all read this table.
#pragma once

#include <algorithm>
#include <array>
#include <string_view>

#include "settings/SetupState.h"

namespace vorna {

// The page's two columns of settings.
enum class PageColumn { Left, Middle };

struct ParameterRow {
    ParamId id;
    std::string_view fileKey;    // its [option] key in settings files and setup sheets
    std::string_view caption;    // as the page, vornactl and the messages name it
    std::string_view alternate;  // on the model types with alternate captions; empty: caption
    PageColumn column;
    int row;  // from the top of its column
};

// In the order settings files hold them: the 19 keys settings files have always carried
// (setup sheets carry the first 18 of them), then the keys for the lists those cannot carry.
// clang-format off
inline constexpr std::array<ParameterRow, 28> kParameterTable = {{
    {ParamId::OperationMode,   "Operation Mode",   "Operation Mode",   "", PageColumn::Left, 0},
    {ParamId::ReverseSpeed,    "Reverse Speed",    "Reverse Speed",    "", PageColumn::Left, 1},
    {ParamId::LowVoltCut,      "Low Volt Cut",     "Low Volt Cut",     "", PageColumn::Left, 2},
    {ParamId::DragBrake,       "Drag Brake",       "Drag Brake",       "", PageColumn::Left, 3},
    {ParamId::InitialBrake,    "Initial Brake",    "Initial Brake",    "", PageColumn::Left, 4},
    {ParamId::FullBrake,       "Full Brake",       "Full Brake",       "", PageColumn::Left, 5},
    {ParamId::BrakeFrequency,  "Brake Frequency",  "Brake Frequency",  "", PageColumn::Left, 6},
    {ParamId::PowerLevel1,     "Power Profile",    "1st Power Level",  "", PageColumn::Left, 8},
    {ParamId::DriveFrequency,  "Drive Frequency",  "Drive Frequency",  "", PageColumn::Left, 10},
    {ParamId::NeutralDeadBand, "Neutral DeadBand", "NEU Dead Band",    "", PageColumn::Left, 11},
    {ParamId::TempCutSet,      "Temp Cut Set",     "Temp Cut Set",     "", PageColumn::Left, 12},
    {ParamId::BoostTiming,     "Boost Timing",     "Boost Timing",     "", PageColumn::Middle, 1},
    {ParamId::BoostStartRpm,   "Boost RPM",        "Boost Start RPM",  "", PageColumn::Middle, 2},
    {ParamId::BoostAcc,        "Boost ACC",        "Boost ACC",        "Boost Timing Activation",
     PageColumn::Middle, 4},
    {ParamId::TurboTiming,     "Turbo Timing",     "Turbo Timing",     "", PageColumn::Middle, 5},
    {ParamId::TurboSlope,      "Turbo Slope",      "Turbo Slope",      "Turbo On Slope",
     PageColumn::Middle, 6},
    {ParamId::TurboDelay,      "Turbo Delay",      "Turbo Delay",      "", PageColumn::Middle, 8},
    {ParamId::RotationMode,    "Rotation Mode",    "Rotation Mode",    "", PageColumn::Left, 13},
    {ParamId::BecVoltage,      "BEC Voltage",      "BEC Voltage",      "", PageColumn::Middle, 0},
    {ParamId::PowerLevel2,     "2nd Power Level",  "2nd Power Level",  "", PageColumn::Left, 9},
    {ParamId::PwLvSwPoint,     "PW LV SW Point",   "PW LV SW Point",   "", PageColumn::Left, 7},
    {ParamId::BoostEndRpm,     "Boost End RPM",    "Boost End RPM",    "", PageColumn::Middle, 3},
    {ParamId::LipoCells,       "Lipo Cells",       "Lipo Cells",       "Turbo Off Slope",
     PageColumn::Middle, 7},
    {ParamId::BrakeRateControl, "Brake Rate Control", "Brake Rate Control", "", PageColumn::Left,
     14},
    {ParamId::CoastValue,      "Coast Value",      "Coast Value",      "", PageColumn::Left, 15},
    {ParamId::DriveMode,       "Drive Mode",       "Drive Mode",       "", PageColumn::Left, 16},
    {ParamId::BtSoftPower,     "BT Soft Power",    "BT Soft Power",    "", PageColumn::Middle, 9},
    {ParamId::BtSoftThRange,   "BT Soft TH Range", "BT Soft TH Range", "", PageColumn::Middle, 10},
}};
// clang-format on

// Settings files have always carried the first 19 keys; setup sheets the first 18 (and BEC
// Voltage, the 19th, is read from them too).
inline constexpr std::size_t kClassicFileKeys = 19;
inline constexpr std::size_t kSheetParameterKeys = 18;

// The row of a parameter; none for the two profile lists (or a value outside ParamId).
constexpr const ParameterRow* FindParameterRow(ParamId id) {
    for (const ParameterRow& row : kParameterTable) {
        if (row.id == id) return &row;
    }
    return nullptr;
}

// The parameters in the page's reading order: the left column top to bottom, then the middle.
inline constexpr std::array<ParamId, 28> kPageOrder = [] {
    std::array<ParameterRow, 28> rows = kParameterTable;
    std::sort(rows.begin(), rows.end(), [](const ParameterRow& a, const ParameterRow& b) {
        return a.column != b.column ? a.column < b.column : a.row < b.row;
    });
    std::array<ParamId, 28> order{};
    for (std::size_t i = 0; i < rows.size(); ++i) order[i] = rows[i].id;
    return order;
}();

static_assert(
    [] {
        for (const ParamId id : kParameters) {
            int found = 0;
            for (const ParameterRow& row : kParameterTable) found += row.id == id;
            if (found != 1) return false;
        }
        return true;
    }(),
    "every parameter has exactly one row");

}  // namespace vorna
