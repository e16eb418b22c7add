// Parameter catalogue: model recognition, option lists and enabled lists, all as tables;
// the code below only walks them.
#include "settings/Catalogue.h"

#include "settings/Parameters.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <initializer_list>
#include <optional>
#include <string_view>
#include <variant>
#include <vector>

#include "protocol/ModelTypes.h"
#include "settings/Codec.h"

namespace vorna {
namespace {

// A set of model types, bit t for type t.
using TypeMask = std::uint32_t;

constexpr TypeMask Types(std::initializer_list<int> types) {
    TypeMask mask = 0;
    for (int t : types) mask |= TypeMask{1} << t;
    return mask;
}
constexpr TypeMask TypeRange(int first, int last) {
    TypeMask mask = 0;
    for (int t = first; t <= last; ++t) mask |= TypeMask{1} << t;
    return mask;
}
constexpr bool Contains(TypeMask mask, int modelType) {
    return modelType >= 0 && modelType < kModelTypeCount && ((mask >> modelType) & 1U) != 0;
}

// "all" and "other types" in the model tables: a row that matches every type. Rows of a list are
// tried in order and the first match wins, so "other types" is simply the last row.
constexpr TypeMask kAllTypes = TypeRange(0, kModelTypeCount - 1);

// ---------------------------------------------------------------------------------------------
// Option lists: the entries of each list, by model type.

// A generated run: entry i is first + i * step (binary floating point), printed with format,
// for every value from first to last inclusive.
struct Run {
    const char* format;
    double first;
    double last;
    double step;
    bool integral;  // the format takes an int (%d), otherwise a double
};

constexpr Run Ints(const char* format, int first, int last, int step = 1) {
    return {format, static_cast<double>(first), static_cast<double>(last),
            static_cast<double>(step), true};
}
constexpr Run Reals(const char* format, double first, double last, double step) {
    return {format, first, last, step, false};
}

// An entry given verbatim, or a generated run of entries.
using Piece = std::variant<const char*, Run>;

enum class Condition {
    kAlways,
    kPowerLevelVersion,  // only for versionText "1.30" or "1.40"; otherwise the list stays empty
};

struct ListRow {
    std::vector<ParamId> listIds;  // Boost Timing and Turbo Timing share their rows
    TypeMask types;
    std::vector<Piece> pieces;  // empty: the list stays empty
    Condition condition = Condition::kAlways;
};

const std::vector<ListRow>& ListRows() {
    static const std::vector<ListRow> rows = {
        // Operation Mode, Reverse Speed
        {{ParamId::OperationMode}, kAllTypes, {"For/Brake", "For/Rev/Brake", "For/Rev"}},
        {{ParamId::ReverseSpeed}, kAllTypes, {"25%", "50%", "75%", "100%"}},
        // Low Volt Cut
        {{ParamId::LowVoltCut}, Types({4}), {"Disable", Reals("%.1f V", 3.0, 3.6, 0.2)}},
        {{ParamId::LowVoltCut},
         Types({11, 13}),
         {"Disable", "Auto", Reals("%1.1f V", 5.0, 20.0, 0.1)}},
        {{ParamId::LowVoltCut}, kAllTypes, {"None", "2.9 V/cell", "3.0 V/cell", "3.2 V/cell"}},
        // Drag Brake
        {{ParamId::DragBrake}, Types({4, 11}), {Ints("%d%%", 0, 50)}},
        {{ParamId::DragBrake}, Types({0}), {}},
        {{ParamId::DragBrake}, kAllTypes, {Ints("%d%%", 0, 100)}},
        // Initial Brake
        {{ParamId::InitialBrake}, kAllTypes, {"=Drag Brake", Ints("%d%%", 0, 50)}},
        // Full Brake
        {{ParamId::FullBrake},
         Types({13}),
         {"15%", "30%", "40%", "50%", "65%", "75%", "80%", "85%", "90%", "95%", "100%"}},
        {{ParamId::FullBrake}, kAllTypes, {"75%", "80%", "85%", "90%", "95%", "100%"}},
        // Brake Frequency
        {{ParamId::BrakeFrequency},
         Types({0, 1, 2, 3, 8, 9, 10}),
         {"1KHz", "2KHz", "4KHz", "8KHz", "16KHz", "32KHz"}},
        {{ParamId::BrakeFrequency}, Types({4, 11}), {"1KHz", "2KHz"}},
        {{ParamId::BrakeFrequency}, Types({5, 6, 7, 12}), {"1KHz", "2KHz", "3KHz", "4KHz"}},
        {{ParamId::BrakeFrequency}, Types({13}), {}},
        {{ParamId::BrakeFrequency}, TypeRange(14, 17), {"0.5KHz", "1KHz", "2KHz", "3KHz", "4KHz"}},
        // PW LV SW Point
        {{ParamId::PwLvSwPoint}, Types({12}), {Ints("%d %%", 0, 100, 1)}},
        {{ParamId::PwLvSwPoint}, kAllTypes, {Ints("%d %%", 0, 100, 5)}},
        // 1st Power Level
        {{ParamId::PowerLevel1},
         Types({1, 2, 3, 8, 9, 10}),
         {Ints("Level %d", 1, 12)},
         Condition::kPowerLevelVersion},
        {{ParamId::PowerLevel1}, Types({4}), {Ints("Level %d", 1, 10)}},
        {{ParamId::PowerLevel1}, Types({11}), {Ints("Level %d", 1, 8)}},
        {{ParamId::PowerLevel1}, Types({13}), {Ints("Level %d", 1, 9)}},
        {{ParamId::PowerLevel1}, Types({5, 6, 7, 12}), {Ints("Level %d", 0, 12)}},
        {{ParamId::PowerLevel1}, Types({14}), {Ints("Level %d", 0, 30)}},
        {{ParamId::PowerLevel1}, Types({15, 16, 17}), {Ints("Level %d", 1, 30)}},
        {{ParamId::PowerLevel1}, Types({0}), {}},
        // 2nd Power Level
        {{ParamId::PowerLevel2}, kAllTypes, {Ints("Level %d", 0, 12)}},
        // Drive Frequency
        {{ParamId::DriveFrequency},
         Types({0, 1, 2, 3, 8, 9, 10}),
         {"2KHz", "4KHz", "8KHz", "16KHz", "32KHz", "64KHz"}},
        {{ParamId::DriveFrequency}, Types({4, 11}), {"8KHz"}},
        {{ParamId::DriveFrequency}, Types({5}), {"8KHz", "16KHz", "28KHz", "32KHz"}},
        {{ParamId::DriveFrequency}, Types({6, 7}), {"8KHz", "16KHz", "28KHz", "32KHz", "36KHz"}},
        {{ParamId::DriveFrequency},
         Types({12}),
         {"2KHz", "4KHz", "8KHz", "16KHz", "28KHz", "32KHz"}},
        {{ParamId::DriveFrequency}, Types({13}), {}},
        {{ParamId::DriveFrequency},
         TypeRange(14, 17),
         {"1KHz", "2KHz", "4KHz", "8KHz", "16KHz", "32KHz"}},
        // NEU Dead Band
        {{ParamId::NeutralDeadBand}, Types({13}), {"6%", "9%", "12%"}},
        {{ParamId::NeutralDeadBand}, TypeRange(14, 17), {"4%", "6%", "8%"}},
        {{ParamId::NeutralDeadBand}, kAllTypes, {"0%", "3%", "6%", "9%", "12%"}},
        // Temp Cut Set
        {{ParamId::TempCutSet}, Types({0, 1, 2, 3, 8, 9, 10}), {"off", "176f/80c", "194f/90c"}},
        {{ParamId::TempCutSet}, Types({4, 5, 6, 7, 11, 12}), {"off", "196f/90c"}},
        {{ParamId::TempCutSet}, TypeRange(13, 17), {"off", "221f/105c", "257f/125c"}},
        // Rotation Mode
        {{ParamId::RotationMode}, Types({13}), {"CCW", "CW"}},
        {{ParamId::RotationMode}, kAllTypes, {"Normal", "Reverse"}},
        // Brake Rate Control, Coast Value, Drive Mode (no row: stays empty)
        {{ParamId::BrakeRateControl}, TypeRange(13, 17), {Ints("%d", 1, 20)}},
        {{ParamId::CoastValue}, TypeRange(13, 17), {Ints("%d%%", 0, 20)}},
        {{ParamId::DriveMode}, Types({13}), {"Sensored/Sonsorless Hybrid", "Full Sensored"}},
        // BEC Voltage
        {{ParamId::BecVoltage}, Types({4, 11, 12, 13, 14, 15, 16, 17}), {"6 V", "7.4 V"}},
        {{ParamId::BecVoltage}, kAllTypes, {"6 V", "7.2 V"}},
        // Boost Timing, Turbo Timing
        {{ParamId::BoostTiming, ParamId::TurboTiming},
         Types({1, 3, 5, 6, 7, 8, 9, 12, 16, 17}),
         {Ints("%d deg", 0, 60)}},
        {{ParamId::BoostTiming, ParamId::TurboTiming}, Types({13}), {Ints("%d deg", 0, 15)}},
        // Boost Start RPM
        {{ParamId::BoostStartRpm},
         Types({1, 8}),
         {"500",  "1000", "1500", "2000", "2500",  "3000",  "3500",  "4000",  "4500",  "5000",
          "6000", "7000", "8000", "9000", "10000", "11000", "12000", "13000", "14000", "15000"}},
        {{ParamId::BoostStartRpm},
         Types({5, 6, 7, 12, 16, 17}),
         {"300", "400", "500", "1000", "1500", "2000", "2500", "3000", "3500", "4000", "4500",
          Ints("%d", 5000, 60000, 1000)}},
        // Boost End RPM
        {{ParamId::BoostEndRpm}, Types({5, 6, 7, 12, 16, 17}), {Ints("%d", 2000, 70000, 1000)}},
        // Boost ACC / Boost Timing Activation
        {{ParamId::BoostAcc}, Types({1, 3, 8, 9}), {Ints("%d RPM/deg", 50, 700, 50)}},
        {{ParamId::BoostAcc}, Types({12, 16, 17}), {"Auto", "RPM"}},
        // Turbo Slope / Turbo On Slope
        {{ParamId::TurboSlope},
         Types({1, 3, 8, 9}),
         {"3  deg/0.1s", "6  deg/0.1s", "12 deg/0.1s", "18 deg/0.1s", "24 deg/0.1s", "Fastest"}},
        {{ParamId::TurboSlope},
         Types({5, 6, 7}),
         {"3  deg/0.1s", "6  deg/0.1s", "12 deg/0.1s", "15 deg/0.1s", "18 deg/0.1s", "24 deg/0.1s",
          "Fastest"}},
        {{ParamId::TurboSlope},
         Types({12}),
         {"3deg/0.1s", "6deg/0.1s", "10deg/0.1s", "12deg/0.1s", "14deg/0.1s", "16deg/0.1s",
          "18eg/0.1s", "20eg/0.1s", "22deg/0.1s", "24deg/0.1s", "Fastest"}},
        {{ParamId::TurboSlope},
         Types({16, 17}),
         {"6deg/0.1s", "12deg/0.1s", "18deg/0.1s", "24deg/0.1s", "Instant"}},
        // Lipo Cells / Turbo Off Slope
        {{ParamId::LipoCells}, Types({11, 13}), {"Auto", Ints("%d S", 2, 6)}},
        {{ParamId::LipoCells},
         Types({12}),
         {"1deg/0.1s", "3deg/0.1s", "6deg/0.1s", "8deg/0.1s", "10deg/0.1s", "12deg/0.1s",
          "14eg/0.1s", "16eg/0.1s", "18deg/0.1s", "22deg/0.1s"}},
        {{ParamId::LipoCells},
         Types({16, 17}),
         {"6deg/0.1s", "12deg/0.1s", "18deg/0.1s", "24deg/0.1s", "Instant"}},
        // Turbo Delay (type 6 is enabled but has no entries, as its table row has it)
        {{ParamId::TurboDelay},
         Types({1, 3, 5, 8, 9, 12, 16, 17}),
         {"off", Reals("%0.2fsec", 0.05, 0.40, 0.05)}},
        {{ParamId::TurboDelay}, Types({13}), {Reals("%0.2fsec", 0.0, 0.35, 0.05), "Instant"}},
        // BT Soft Power, BT Soft TH Range
        {{ParamId::BtSoftPower}, Types({16, 17}), {Ints("%d", 0, 20)}},
        {{ParamId::BtSoftThRange}, Types({16, 17}), {"0", Ints("%d%%", 10, 50, 5)}},
    };
    return rows;
}

void AppendRun(std::vector<std::string>& entries, const Run& run) {
    const long count = std::lround((run.last - run.first) / run.step) + 1;
    char text[64];
    for (long i = 0; i < count; ++i) {
        const double value = run.first + static_cast<double>(i) * run.step;
        if (run.integral) {
            std::snprintf(text, sizeof text, run.format, static_cast<int>(std::lround(value)));
        } else {
            std::snprintf(text, sizeof text, run.format, value);
        }
        entries.emplace_back(text);
    }
}

std::vector<std::string> Expand(const std::vector<Piece>& pieces) {
    std::vector<std::string> entries;
    for (const Piece& piece : pieces) {
        if (const auto* text = std::get_if<const char*>(&piece)) {
            entries.emplace_back(*text);
        } else {
            AppendRun(entries, std::get<Run>(piece));
        }
    }
    return entries;
}

bool ConditionHolds(Condition condition, const SetupState& state) {
    switch (condition) {
        case Condition::kAlways:
            return true;
        case Condition::kPowerLevelVersion:
            return state.versionText == "1.30" || state.versionText == "1.40";
    }
    return false;
}

// ---------------------------------------------------------------------------------------------
// Enabled lists. One character per model type 0 to 17:
// '+' on, '-' off, '.' keep (which, since every fill starts from the creation state, is on).

struct EnableRow {
    std::array<std::optional<ParamId>, 2> listIds;  // the second empty: the row has one list
    std::string_view cells;
};

// clang-format off
// Cells by model type:                                0         1
//                                                     012345678901234567
constexpr EnableRow kEnableRows[] = {
    {{ParamId::BrakeFrequency},                       "+++++++++++++-++++"},
    {{ParamId::DriveFrequency},                       ".............-...."},
    {{ParamId::RotationMode},                         ".............+...."},
    {{ParamId::BoostTiming, ParamId::TurboTiming},    ".+-+-++-++--++--.."},
    {{ParamId::TurboSlope},                           ".+-+-++-++--+---++"},
    {{ParamId::BoostStartRpm},                        ".+-+-++-++--+---.."},
    {{ParamId::TurboDelay},                           ".+-+-++-++--++..++"},
    {{ParamId::BoostAcc},                             "+++++++++++-+-++++"},
    {{ParamId::BecVoltage},                           ".---++++++++++++++"},
    {{ParamId::PowerLevel2, ParamId::PwLvSwPoint},    "-----+++----+-----"},
    {{ParamId::BoostEndRpm},                          "-----++-----+---++"},
    {{ParamId::LipoCells},                            "................++"},
    {{ParamId::CoastValue},                           "..............++++"},
    {{ParamId::DriveMode},                            ".............+----"},
    {{ParamId::BtSoftPower, ParamId::BtSoftThRange},  ".............-..++"},
};
// clang-format on

constexpr bool EnableRowsWellFormed() {
    for (const EnableRow& row : kEnableRows) {
        if (row.cells.size() != kModelTypeCount) return false;
        for (char c : row.cells) {
            if (c != '+' && c != '-' && c != '.') return false;
        }
    }
    return true;
}
static_assert(EnableRowsWellFormed(), "every enable row has one cell per model type");

// Special rules applied after the enable cells.
enum class SpecialAction {
    kClearSelection,   // type 13: the disabled lists lose their selection
    kEmptyAndDisable,  // types 14, 15: these lists are emptied as well as disabled
};

struct SpecialRule {
    TypeMask types;
    SpecialAction action;
    std::array<ParamId, 5> listIds;
};

constexpr SpecialRule kSpecialRules[] = {
    {Types({13}),
     SpecialAction::kClearSelection,
     {ParamId::BoostStartRpm, ParamId::BoostEndRpm, ParamId::BoostAcc, ParamId::BtSoftPower,
      ParamId::BtSoftThRange}},
    {Types({14, 15}),
     SpecialAction::kEmptyAndDisable,
     {ParamId::BoostTiming, ParamId::TurboSlope, ParamId::TurboTiming, ParamId::BoostStartRpm,
      ParamId::BoostEndRpm}},
};

// ---------------------------------------------------------------------------------------------
// Captions of the parameter lists.

}  // namespace

int RecognizeModel(SetupState& state, const std::uint8_t* identity) {
    // A listed family without a matching rule keeps the type.
    if (const auto type = ModelTypeForIdentity(identity)) state.modelType = *type;

    FillOptionLists(state);
    return state.modelType;
}

void FillOptionLists(SetupState& state) {
    // Back to the creation state: enabled, empty, nothing selected.
    for (ParamId id : kParameters) {
        OptionList& list = state.List(id);
        list.entries.clear();
        list.selection = -1;
        list.enabled = true;
    }

    const int type = state.modelType;
    for (ParamId id : kParameters) state.List(id).writable = WritesParameter(type, id);

    // Entries: per list, the first row naming the type wins.
    std::vector<ParamId> filled;
    for (const ListRow& row : ListRows()) {
        if (!Contains(row.types, type)) continue;
        for (ParamId id : row.listIds) {
            if (std::find(filled.begin(), filled.end(), id) != filled.end()) continue;
            filled.push_back(id);
            if (ConditionHolds(row.condition, state)) state.List(id).entries = Expand(row.pieces);
        }
    }

    // Enabled cells.
    if (type >= 0 && type < kModelTypeCount) {
        for (const EnableRow& row : kEnableRows) {
            const char cell = row.cells[static_cast<std::size_t>(type)];
            if (cell == '.') continue;
            for (const std::optional<ParamId>& id : row.listIds) {
                if (id) state.List(*id).enabled = (cell == '+');
            }
        }
    }

    // Special rules.
    for (const SpecialRule& rule : kSpecialRules) {
        if (!Contains(rule.types, type)) continue;
        for (ParamId id : rule.listIds) {
            OptionList& list = state.List(id);
            list.selection = -1;
            if (rule.action == SpecialAction::kEmptyAndDisable) {
                list.entries.clear();
                list.enabled = false;
            }
        }
    }
}

void ApplyDriveModeChoice(SetupState& state, int index) {
    for (ParamId id : {ParamId::TurboTiming, ParamId::TurboDelay}) {
        OptionList& list = state.List(id);
        if (index == 1) {
            list.enabled = true;
        } else {
            list.selection = -1;
            list.enabled = false;
        }
    }
}

bool UsesAlternateMiddleCaptions(int modelType) {
    return ModelTypeInfoFor(modelType).alternateCaptions;
}

std::string ListCaption(ParamId listId, int modelType) {
    const ParameterRow* row = FindParameterRow(listId);
    if (row == nullptr) return {};
    return std::string(!row->alternate.empty() && UsesAlternateMiddleCaptions(modelType)
                           ? row->alternate
                           : row->caption);
}

}  // namespace vorna
