// Parameter catalogue: model recognition, option lists and enabled lists, all as tables;
// the code below only walks them.
#include "settings/Catalogue.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <initializer_list>
#include <string_view>
#include <variant>
#include <vector>

#include "protocol/ModelTypes.h"

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
// Model recognition (table "Model type" and algorithm "RecognizeModel").

constexpr int kAny = -1;

struct ModelRule {
    int family;    // identity byte 0
    int hardware;  // byte 2, or kAny
    int firmware;  // byte 3, or kAny
    int marker;    // byte 1, or kAny
    int modelType;
};

// First matching rule wins. A family listed here whose identity matches no rule keeps the
// previous model type; a family not listed gives type 0.
constexpr ModelRule kModelRules[] = {
    // 1:8 ESC R5: byte 3 only.
    {10, kAny, 0, kAny, 4},
    {10, kAny, 1, kAny, 11},
    {10, kAny, 3, kAny, 13},
    // VORNA ZEN
    {11, 0x81, kAny, kAny, 1},
    {11, 0x82, kAny, kAny, 5},
    {11, 0x83, 5, 0x40, 16},
    {11, 0x83, kAny, kAny, 5},
    {11, 0x85, kAny, kAny, 8},
    // Family 12, the stock-class ESC (type 17 does not test the marker)
    {12, 0x81, 4, kAny, 12},
    {12, 0x81, 5, kAny, 17},
    {12, 0x81, kAny, kAny, 3},
    {12, 0x82, kAny, kAny, 6},
    {12, 0x83, kAny, kAny, 6},
    {12, 0x85, kAny, kAny, 9},
    // VORNA ALTA
    {13, 0x81, kAny, kAny, 2},
    {13, 0x82, kAny, kAny, 7},
    {13, 0x83, 20, 0x40, 14},
    {13, 0x83, 5, 0x40, 15},
    {13, 0x83, kAny, kAny, 7},
    {13, 0x85, kAny, kAny, 10},
};

constexpr bool Matches(int want, int have) {
    return want == kAny || want == have;
}

// ---------------------------------------------------------------------------------------------
// Option lists (table under "FillOptionLists").

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
    std::vector<int> listIds;  // 1021 and 1023 share their rows
    TypeMask types;
    std::vector<Piece> pieces;  // empty: the list stays empty
    Condition condition = Condition::kAlways;
};

const std::vector<ListRow>& ListRows() {
    static const std::vector<ListRow> rows = {
        // Operation Mode, Reverse Speed
        {{kIdcOperationMode}, kAllTypes, {"For/Brake", "For/Rev/Brake", "For/Rev"}},
        {{kIdcReverseSpeed}, kAllTypes, {"25%", "50%", "75%", "100%"}},
        // Low Volt Cut
        {{kIdcLowVoltCut}, Types({4}), {"Disable", Reals("%.1f V", 3.0, 3.6, 0.2)}},
        {{kIdcLowVoltCut}, Types({11, 13}), {"Disable", "Auto", Reals("%1.1f V", 5.0, 20.0, 0.1)}},
        {{kIdcLowVoltCut}, kAllTypes, {"None", "2.9 V/cell", "3.0 V/cell", "3.2 V/cell"}},
        // Drag Brake
        {{kIdcDragBrake}, Types({4, 11}), {Ints("%d%%", 0, 50)}},
        {{kIdcDragBrake}, Types({0}), {}},
        {{kIdcDragBrake}, kAllTypes, {Ints("%d%%", 0, 100)}},
        // Initial Brake
        {{kIdcInitialBrake}, kAllTypes, {"=Drag Brake", Ints("%d%%", 0, 50)}},
        // Full Brake
        {{kIdcFullBrake},
         Types({13}),
         {"15%", "30%", "40%", "50%", "65%", "75%", "80%", "85%", "90%", "95%", "100%"}},
        {{kIdcFullBrake}, kAllTypes, {"75%", "80%", "85%", "90%", "95%", "100%"}},
        // Brake Frequency
        {{kIdcBrakeFrequency},
         Types({0, 1, 2, 3, 8, 9, 10}),
         {"1KHz", "2KHz", "4KHz", "8KHz", "16KHz", "32KHz"}},
        {{kIdcBrakeFrequency}, Types({4, 11}), {"1KHz", "2KHz"}},
        {{kIdcBrakeFrequency}, Types({5, 6, 7, 12}), {"1KHz", "2KHz", "3KHz", "4KHz"}},
        {{kIdcBrakeFrequency}, Types({13}), {}},
        {{kIdcBrakeFrequency}, TypeRange(14, 17), {"0.5KHz", "1KHz", "2KHz", "3KHz", "4KHz"}},
        // PW LV SW Point
        {{kIdcPwLvSwPoint}, Types({12}), {Ints("%d %%", 0, 100, 1)}},
        {{kIdcPwLvSwPoint}, kAllTypes, {Ints("%d %%", 0, 100, 5)}},
        // 1st Power Level
        {{kIdcPowerLevel1},
         Types({1, 2, 3, 8, 9, 10}),
         {Ints("Level %d", 1, 12)},
         Condition::kPowerLevelVersion},
        {{kIdcPowerLevel1}, Types({4}), {Ints("Level %d", 1, 10)}},
        {{kIdcPowerLevel1}, Types({11}), {Ints("Level %d", 1, 8)}},
        {{kIdcPowerLevel1}, Types({13}), {Ints("Level %d", 1, 9)}},
        {{kIdcPowerLevel1}, Types({5, 6, 7, 12}), {Ints("Level %d", 0, 12)}},
        {{kIdcPowerLevel1}, Types({14}), {Ints("Level %d", 0, 30)}},
        {{kIdcPowerLevel1}, Types({15, 16, 17}), {Ints("Level %d", 1, 30)}},
        {{kIdcPowerLevel1}, Types({0}), {}},
        // 2nd Power Level
        {{kIdcPowerLevel2}, kAllTypes, {Ints("Level %d", 0, 12)}},
        // Drive Frequency
        {{kIdcDriveFrequency},
         Types({0, 1, 2, 3, 8, 9, 10}),
         {"2KHz", "4KHz", "8KHz", "16KHz", "32KHz", "64KHz"}},
        {{kIdcDriveFrequency}, Types({4, 11}), {"8KHz"}},
        {{kIdcDriveFrequency}, Types({5}), {"8KHz", "16KHz", "28KHz", "32KHz"}},
        {{kIdcDriveFrequency}, Types({6, 7}), {"8KHz", "16KHz", "28KHz", "32KHz", "36KHz"}},
        {{kIdcDriveFrequency}, Types({12}), {"2KHz", "4KHz", "8KHz", "16KHz", "28KHz", "32KHz"}},
        {{kIdcDriveFrequency}, Types({13}), {}},
        {{kIdcDriveFrequency},
         TypeRange(14, 17),
         {"1KHz", "2KHz", "4KHz", "8KHz", "16KHz", "32KHz"}},
        // NEU Dead Band
        {{kIdcNeutralDeadBand}, Types({13}), {"6%", "9%", "12%"}},
        {{kIdcNeutralDeadBand}, TypeRange(14, 17), {"4%", "6%", "8%"}},
        {{kIdcNeutralDeadBand}, kAllTypes, {"0%", "3%", "6%", "9%", "12%"}},
        // Temp Cut Set
        {{kIdcTempCutSet}, Types({0, 1, 2, 3, 8, 9, 10}), {"off", "176f/80c", "194f/90c"}},
        {{kIdcTempCutSet}, Types({4, 5, 6, 7, 11, 12}), {"off", "196f/90c"}},
        {{kIdcTempCutSet}, TypeRange(13, 17), {"off", "221f/105c", "257f/125c"}},
        // Rotation Mode
        {{kIdcRotationMode}, Types({13}), {"CCW", "CW"}},
        {{kIdcRotationMode}, kAllTypes, {"Normal", "Reverse"}},
        // Brake Rate Control, Coast Value, Drive Mode (no row: stays empty)
        {{kIdcBrakeRateControl}, TypeRange(13, 17), {Ints("%d", 1, 20)}},
        {{kIdcCoastValue}, TypeRange(13, 17), {Ints("%d%%", 0, 20)}},
        {{kIdcDriveMode}, Types({13}), {"Sensored/Sonsorless Hybrid", "Full Sensored"}},
        // BEC Voltage
        {{kIdcBecVoltage}, Types({4, 11, 12, 13, 14, 15, 16, 17}), {"6 V", "7.4 V"}},
        {{kIdcBecVoltage}, kAllTypes, {"6 V", "7.2 V"}},
        // Boost Timing, Turbo Timing
        {{kIdcBoostTiming, kIdcTurboTiming},
         Types({1, 3, 5, 6, 7, 8, 9, 12, 16, 17}),
         {Ints("%d deg", 0, 60)}},
        {{kIdcBoostTiming, kIdcTurboTiming}, Types({13}), {Ints("%d deg", 0, 15)}},
        // Boost Start RPM
        {{kIdcBoostStartRpm},
         Types({1, 8}),
         {"500",  "1000", "1500", "2000", "2500",  "3000",  "3500",  "4000",  "4500",  "5000",
          "6000", "7000", "8000", "9000", "10000", "11000", "12000", "13000", "14000", "15000"}},
        {{kIdcBoostStartRpm},
         Types({5, 6, 7, 12, 16, 17}),
         {"300", "400", "500", "1000", "1500", "2000", "2500", "3000", "3500", "4000", "4500",
          Ints("%d", 5000, 60000, 1000)}},
        // Boost End RPM
        {{kIdcBoostEndRpm}, Types({5, 6, 7, 12, 16, 17}), {Ints("%d", 2000, 70000, 1000)}},
        // Boost ACC / Boost Timing Activation
        {{kIdcBoostAcc}, Types({1, 3, 8, 9}), {Ints("%d RPM/deg", 50, 700, 50)}},
        {{kIdcBoostAcc}, Types({12, 16, 17}), {"Auto", "RPM"}},
        // Turbo Slope / Turbo On Slope
        {{kIdcTurboSlope},
         Types({1, 3, 8, 9}),
         {"3  deg/0.1s", "6  deg/0.1s", "12 deg/0.1s", "18 deg/0.1s", "24 deg/0.1s", "Fastest"}},
        {{kIdcTurboSlope},
         Types({5, 6, 7}),
         {"3  deg/0.1s", "6  deg/0.1s", "12 deg/0.1s", "15 deg/0.1s", "18 deg/0.1s", "24 deg/0.1s",
          "Fastest"}},
        {{kIdcTurboSlope},
         Types({12}),
         {"3deg/0.1s", "6deg/0.1s", "10deg/0.1s", "12deg/0.1s", "14deg/0.1s", "16deg/0.1s",
          "18eg/0.1s", "20eg/0.1s", "22deg/0.1s", "24deg/0.1s", "Fastest"}},
        {{kIdcTurboSlope},
         Types({16, 17}),
         {"6deg/0.1s", "12deg/0.1s", "18deg/0.1s", "24deg/0.1s", "Instant"}},
        // Lipo Cells / Turbo Off Slope
        {{kIdcLipoCells}, Types({11, 13}), {"Auto", Ints("%d S", 2, 6)}},
        {{kIdcLipoCells},
         Types({12}),
         {"1deg/0.1s", "3deg/0.1s", "6deg/0.1s", "8deg/0.1s", "10deg/0.1s", "12deg/0.1s",
          "14eg/0.1s", "16eg/0.1s", "18deg/0.1s", "22deg/0.1s"}},
        {{kIdcLipoCells},
         Types({16, 17}),
         {"6deg/0.1s", "12deg/0.1s", "18deg/0.1s", "24deg/0.1s", "Instant"}},
        // Turbo Delay (type 6 is enabled but has no entries, as its table row has it)
        {{kIdcTurboDelay},
         Types({1, 3, 5, 8, 9, 12, 16, 17}),
         {"off", Reals("%0.2fsec", 0.05, 0.40, 0.05)}},
        {{kIdcTurboDelay}, Types({13}), {Reals("%0.2fsec", 0.0, 0.35, 0.05), "Instant"}},
        // BT Soft Power, BT Soft TH Range
        {{kIdcBtSoftPower}, Types({16, 17}), {Ints("%d", 0, 20)}},
        {{kIdcBtSoftThRange}, Types({16, 17}), {"0", Ints("%d%%", 10, 50, 5)}},
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
// Enabled lists (table "Which lists are usable"). One character per model type 0 to 17:
// '+' on, '-' off, '.' keep (which, since every fill starts from the creation state, is on).

struct EnableRow {
    std::array<int, 2> listIds;  // second id 0 when the row has one list
    std::string_view cells;
};

// clang-format off
// Cells by model type:                       0         1
//                                            012345678901234567
constexpr EnableRow kEnableRows[] = {
    {{kIdcBrakeFrequency, 0},                   "+++++++++++++-++++"},
    {{kIdcDriveFrequency, 0},                   ".............-...."},
    {{kIdcRotationMode, 0},                     ".............+...."},
    {{kIdcBoostTiming, kIdcTurboTiming},        ".+-+-++-++--++--.."},
    {{kIdcTurboSlope, 0},                       ".+-+-++-++--+---++"},
    {{kIdcBoostStartRpm, 0},                    ".+-+-++-++--+---.."},
    {{kIdcTurboDelay, 0},                       ".+-+-++-++--++..++"},
    {{kIdcBoostAcc, 0},                         "+++++++++++-+-++++"},
    {{kIdcBecVoltage, 0},                       ".---++++++++++++++"},
    {{kIdcPowerLevel2, kIdcPwLvSwPoint},        "-----+++----+-----"},
    {{kIdcBoostEndRpm, 0},                      "-----++-----+---++"},
    {{kIdcLipoCells, 0},                        "................++"},
    {{kIdcCoastValue, 0},                       "..............++++"},
    {{kIdcDriveMode, 0},                        ".............+----"},
    {{kIdcBtSoftPower, kIdcBtSoftThRange},      ".............-..++"},
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
    std::array<int, 5> listIds;
};

constexpr SpecialRule kSpecialRules[] = {
    {Types({13}),
     SpecialAction::kClearSelection,
     {kIdcBoostStartRpm, kIdcBoostEndRpm, kIdcBoostAcc, kIdcBtSoftPower, kIdcBtSoftThRange}},
    {Types({14, 15}),
     SpecialAction::kEmptyAndDisable,
     {kIdcBoostTiming, kIdcTurboSlope, kIdcTurboTiming, kIdcBoostStartRpm, kIdcBoostEndRpm}},
};

// ---------------------------------------------------------------------------------------------
// Captions (table "Parameter controls").

struct CaptionRow {
    int listId;
    const char* caption;
    const char* alternate;  // for the model types with alternate captions, or nullptr
};

constexpr CaptionRow kCaptions[] = {
    {kIdcOperationMode, "Operation Mode", nullptr},
    {kIdcReverseSpeed, "Reverse Speed", nullptr},
    {kIdcLowVoltCut, "Low Volt Cut", nullptr},
    {kIdcDragBrake, "Drag Brake", nullptr},
    {kIdcInitialBrake, "Initial Brake", nullptr},
    {kIdcFullBrake, "Full Brake", nullptr},
    {kIdcBrakeFrequency, "Brake Frequency", nullptr},
    {kIdcPwLvSwPoint, "PW LV SW Point", nullptr},
    {kIdcPowerLevel1, "1st Power Level", nullptr},
    {kIdcPowerLevel2, "2nd Power Level", nullptr},
    {kIdcDriveFrequency, "Drive Frequency", nullptr},
    {kIdcNeutralDeadBand, "NEU Dead Band", nullptr},
    {kIdcTempCutSet, "Temp Cut Set", nullptr},
    {kIdcRotationMode, "Rotation Mode", nullptr},
    {kIdcBrakeRateControl, "Brake Rate Control", nullptr},
    {kIdcCoastValue, "Coast Value", nullptr},
    {kIdcDriveMode, "Drive Mode", nullptr},
    {kIdcBecVoltage, "BEC Voltage", nullptr},
    {kIdcBoostTiming, "Boost Timing", nullptr},
    {kIdcBoostStartRpm, "Boost Start RPM", nullptr},
    {kIdcBoostEndRpm, "Boost End RPM", nullptr},
    {kIdcBoostAcc, "Boost ACC", "Boost Timing Activation"},
    {kIdcTurboTiming, "Turbo Timing", nullptr},
    {kIdcTurboSlope, "Turbo Slope", "Turbo On Slope"},
    {kIdcLipoCells, "Lipo Cells", "Turbo Off Slope"},
    {kIdcTurboDelay, "Turbo Delay", nullptr},
    {kIdcBtSoftPower, "BT Soft Power", nullptr},
    {kIdcBtSoftThRange, "BT Soft TH Range", nullptr},
};

}  // namespace

int RecognizeModel(SetupState& state, const std::uint8_t* identity) {
    const int family = identity[0];
    const int marker = identity[1];
    const int hardware = identity[2];
    const int firmware = identity[3];

    // An unlisted family gives 0; a listed family without a matching rule keeps the type.
    bool knownFamily = false;
    for (const ModelRule& rule : kModelRules) {
        if (rule.family != family) continue;
        knownFamily = true;
        if (Matches(rule.hardware, hardware) && Matches(rule.firmware, firmware) &&
            Matches(rule.marker, marker)) {
            state.modelType = rule.modelType;
            break;
        }
    }
    if (!knownFamily) state.modelType = 0;

    FillOptionLists(state);
    return state.modelType;
}

void FillOptionLists(SetupState& state) {
    // Back to the creation state: enabled, empty, nothing selected.
    for (int id : kParameterListIds) {
        OptionList& list = state.List(id);
        list.entries.clear();
        list.selection = -1;
        list.enabled = true;
    }

    const int type = state.modelType;

    // Entries: per list, the first row naming the type wins.
    std::vector<int> filled;
    for (const ListRow& row : ListRows()) {
        if (!Contains(row.types, type)) continue;
        for (int id : row.listIds) {
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
            for (int id : row.listIds) {
                if (id != 0) state.List(id).enabled = (cell == '+');
            }
        }
    }

    // Special rules.
    for (const SpecialRule& rule : kSpecialRules) {
        if (!Contains(rule.types, type)) continue;
        for (int id : rule.listIds) {
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
    for (int id : {kIdcTurboTiming, kIdcTurboDelay}) {
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

std::string ListCaption(int listId, int modelType) {
    for (const CaptionRow& row : kCaptions) {
        if (row.listId != listId) continue;
        if (row.alternate != nullptr && UsesAlternateMiddleCaptions(modelType)) {
            return row.alternate;
        }
        return row.caption;
    }
    return {};
}

}  // namespace vorna
