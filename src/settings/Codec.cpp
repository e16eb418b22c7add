// Settings record codec: the positional settings record <-> list selections, and
// list selections -> (register, value) write pairs.
//
// Everything layout-specific lives in tables: one decode table per layout (which record byte
// carries which list, with which code) and one pair table per layout (which register carries
// which list, with which code). The decode table doubles as the answer to "where does this
// layout's record carry parameter X", which the write needs for lists without a selection.
#include "settings/Codec.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <iterator>
#include <optional>
#include <vector>

namespace vorna {

namespace {

// Value encodings.
enum class Code : std::uint8_t {
    kRaw,  // i = r; value = i
    kFb5,  // Full Brake: i = (r - 75) / 5; value = 75 + 5 i
    kFbt,  // Full Brake, layout C: table of 11 percentages
    kRs,   // Reverse Speed: i = r / 25 - 1; value = 25 (i + 1)
    kIb,   // Initial Brake: 200 <-> 0, otherwise i = r + 1
    kNd3,  // NEU Dead Band, layouts A and B: 0 -> 0, otherwise i = r / 3; value = 3 i
    kN3,   // NEU Dead Band, layout C: i = r / 3; value = 3 i
    kLv4,  // Low Volt Cut: 0, 29, 30, 32
    kLv8,  // Low Volt Cut, model type 4: 0, 30, 32, 34, 36 (and 1 decodes as index 1)
    kLvm,  // Low Volt Cut, types 11 and 13: mode byte (0, 1, 2) and value byte (i + 48)
    kP5,   // PW LV SW Point, layout A: i = r / 5; value = 5 i
    kM1,   // i = r - 1; value = i + 1
    kZ1,   // Lipo Cells, layout C: 0 <-> 0, otherwise i = r - 1; value = i + 1
};

constexpr std::array<int, 11> kFbtTable = {15, 30, 40, 50, 65, 75, 80, 85, 90, 95, 100};
constexpr std::array<int, 4> kLv4Table = {0, 29, 30, 32};
constexpr std::array<int, 5> kLv8Table = {0, 30, 32, 34, 36};

// Position of r in a code table, or -1.
template <std::size_t N>
int IndexIn(const std::array<int, N>& table, int r) {
    const auto it = std::find(table.begin(), table.end(), r);
    return it == table.end() ? -1 : static_cast<int>(it - table.begin());
}

// One record byte (two for LVM) that sets one list.
struct Field {
    int byte;
    ParamId list;
    Code code = Code::kRaw;
    int valueByte = -1;  // LVM only: the byte holding the voltage
};

// Decode: record bytes -> option index, or -1 where the code selects nothing.
int Decode(const Field& f, const std::uint8_t* rec) {
    const int r = rec[f.byte];
    // clang-format off
    switch (f.code) {
        case Code::kRaw: return r;
        case Code::kFb5: return (r - 75) / 5;  // integer division truncates
        case Code::kFbt: return IndexIn(kFbtTable, r);
        case Code::kRs: return r / 25 - 1;
        case Code::kIb: return r == 200 ? 0 : r + 1;
        case Code::kNd3: return r == 0 ? 0 : r / 3;
        case Code::kN3: return r / 3;
        case Code::kLv4: return IndexIn(kLv4Table, r);
        case Code::kLv8: return r == 1 ? 1 : IndexIn(kLv8Table, r);
        case Code::kLvm: return (r == 0 || r == 1) ? r : rec[f.valueByte] - 48;
        case Code::kP5: return r / 5;
        case Code::kM1: return r - 1;
        case Code::kZ1: return r == 0 ? 0 : r - 1;
    }
    // clang-format on
    return -1;
}

// Encode: option index (>= 0) -> register value, or nothing where the index lies outside
// what the code can express (only the table codes have such a limit). For LVM this is the
// mode byte; the voltage byte is a pair of its own (PairSource::kLvmValue).
std::optional<std::uint8_t> Encode(Code code, int i) {
    auto byte = [](int v) { return static_cast<std::uint8_t>(v); };
    auto fromTable = [&](const auto& table) -> std::optional<std::uint8_t> {
        if (i >= static_cast<int>(table.size())) return std::nullopt;
        return byte(table[static_cast<std::size_t>(i)]);
    };
    // clang-format off
    switch (code) {
        case Code::kRaw: return byte(i);
        case Code::kFb5: return byte(75 + 5 * i);
        case Code::kFbt: return fromTable(kFbtTable);
        case Code::kRs: return byte(25 * (i + 1));
        case Code::kIb: return byte(i == 0 ? 200 : i - 1);
        case Code::kNd3:
        case Code::kN3: return byte(3 * i);
        case Code::kLv4: return fromTable(kLv4Table);
        case Code::kLv8: return fromTable(kLv8Table);
        case Code::kLvm: return byte(std::min(i, 2));
        case Code::kP5: return byte(5 * i);
        case Code::kM1: return byte(i + 1);
        case Code::kZ1: return byte(i == 0 ? 0 : i + 1);
    }
    // clang-format on
    return std::nullopt;
}

// ---- Decode tables ---------------------------------------------------------------------

// Layout A: fields that only some model types carry (the model-type table says which).
struct RowA {
    Field field;
    std::uint8_t group = 0;  // a RecordFields group, or 0: every layout-A record has it
};

bool Holds(std::uint8_t group, int type) {
    return group == 0 || (ModelTypeInfoFor(type).recordFields & group) != 0;
}

// Layout A, model types 0 to 11 (and any unknown type). Low Volt Cut's code is per type.
constexpr RowA kLayoutA[] = {
    {{0, ParamId::OperationMode}},
    {{1, ParamId::DragBrake}},
    {{3, ParamId::LowVoltCut, Code::kLv4}},  // type 4: LV8; type 11: LVM (see FieldsFor)
    {{5, ParamId::PowerLevel1}},
    {{6, ParamId::FullBrake, Code::kFb5}},
    {{7, ParamId::ReverseSpeed, Code::kRs}},
    {{8, ParamId::InitialBrake, Code::kIb}},
    {{9, ParamId::NeutralDeadBand, Code::kNd3}},
    {{10, ParamId::BoostTiming}, kBoostTurboFields},
    {{11, ParamId::TurboSlope}, kBoostTurboFields},
    {{12, ParamId::TempCutSet}},
    {{13, ParamId::TurboTiming}, kBoostTurboFields},
    {{14, ParamId::BoostStartRpm}, kBoostTurboFields},
    {{15, ParamId::TurboDelay}, kBoostTurboFields},
    {{16, ParamId::BoostAcc}, kBoostTurboFields},
    {{17, ParamId::DriveFrequency}},
    {{18, ParamId::BrakeFrequency}},
    {{21, ParamId::RotationMode}},
    {{22, ParamId::BecVoltage}, kBecField},
    {{23, ParamId::PwLvSwPoint, Code::kP5}, kPowerLevelFields},
    {{24, ParamId::BoostEndRpm}, kBoostTurboFields},
    {{25, ParamId::PowerLevel2}, kPowerLevelFields},
    {{26, ParamId::LipoCells}, kLipoCellsField},
};

// Layout B, model type 12. Bytes 2, 4, 17, 20, 21 are not decoded.
constexpr Field kLayoutB[] = {
    {0, ParamId::OperationMode},
    {1, ParamId::DragBrake},
    {3, ParamId::LowVoltCut, Code::kLv4},
    {5, ParamId::PowerLevel1},
    {6, ParamId::FullBrake, Code::kFb5},
    {7, ParamId::ReverseSpeed, Code::kRs},
    {8, ParamId::InitialBrake, Code::kIb},
    {9, ParamId::NeutralDeadBand, Code::kNd3},
    {10, ParamId::BoostTiming},
    {11, ParamId::TurboSlope},
    {12, ParamId::LipoCells},  // Turbo Off Slope
    {13, ParamId::TempCutSet},
    {14, ParamId::TurboTiming},
    {15, ParamId::BoostStartRpm},
    {16, ParamId::TurboDelay},
    {18, ParamId::DriveFrequency},
    {19, ParamId::BrakeFrequency},
    {22, ParamId::RotationMode},
    {23, ParamId::BecVoltage},
    {24, ParamId::PwLvSwPoint},
    {25, ParamId::BoostEndRpm},
    {26, ParamId::PowerLevel2},
    {27, ParamId::BoostAcc},
};

// Layout C, model type 13. Bytes 9, 11, 12, 14, 17, 18, 19 are not decoded.
constexpr Field kLayoutC[] = {
    {0, ParamId::OperationMode},
    {1, ParamId::LowVoltCut, Code::kLvm, 2},
    {3, ParamId::PowerLevel1},
    {4, ParamId::DragBrake},
    {5, ParamId::InitialBrake, Code::kIb},
    {6, ParamId::FullBrake, Code::kFbt},
    {7, ParamId::ReverseSpeed, Code::kRs},
    {8, ParamId::NeutralDeadBand, Code::kN3},
    {10, ParamId::BoostTiming},
    {13, ParamId::TurboTiming},
    {15, ParamId::TurboDelay},
    {16, ParamId::TempCutSet},
    {20, ParamId::RotationMode},
    {21, ParamId::BecVoltage},
    {22, ParamId::LipoCells, Code::kZ1},
    {23, ParamId::BrakeRateControl, Code::kM1},
    {24, ParamId::CoastValue},
    {25, ParamId::DriveMode},
};

// Layout D, model types 14 to 17. Bytes 2, 4, 17, 20, 21 and (type 14) 30 are not decoded.
constexpr Field kLayoutD[] = {
    {0, ParamId::OperationMode},
    {1, ParamId::DragBrake},
    {3, ParamId::LowVoltCut, Code::kLv4},
    {5, ParamId::PowerLevel1},
    {6, ParamId::FullBrake, Code::kFb5},
    {7, ParamId::ReverseSpeed, Code::kRs},
    {8, ParamId::InitialBrake, Code::kIb},
    {9, ParamId::NeutralDeadBand},  // raw index
    {10, ParamId::BoostTiming},
    {11, ParamId::TurboSlope},
    {12, ParamId::LipoCells},  // Turbo Off Slope
    {13, ParamId::TempCutSet},
    {14, ParamId::TurboTiming},
    {15, ParamId::BoostStartRpm},
    {16, ParamId::TurboDelay},
    {18, ParamId::DriveFrequency},
    {19, ParamId::BrakeFrequency},
    {22, ParamId::RotationMode},
    {23, ParamId::BecVoltage},
    {24, ParamId::BoostEndRpm},
    {25, ParamId::BoostAcc},
    {26, ParamId::BrakeRateControl, Code::kM1},
    {27, ParamId::BtSoftPower},
    {28, ParamId::BtSoftThRange},
    {29, ParamId::CoastValue},
};

// The record fields the model type's layout decodes, in table order.
std::vector<Field> FieldsFor(int type) {
    switch (LayoutFor(type)) {
        case RecordLayout::B:
            return {std::begin(kLayoutB), std::end(kLayoutB)};
        case RecordLayout::C:
            return {std::begin(kLayoutC), std::end(kLayoutC)};
        case RecordLayout::D:
            return {std::begin(kLayoutD), std::end(kLayoutD)};
        case RecordLayout::A:
            break;
    }
    std::vector<Field> fields;
    for (const RowA& row : kLayoutA) {
        if (!Holds(row.group, type)) continue;
        Field f = row.field;
        if (f.list == ParamId::LowVoltCut) {
            switch (ModelTypeInfoFor(type).lowVoltCut) {
                case LowVoltCoding::Lv4:
                    break;
                case LowVoltCoding::Lv8:
                    f.code = Code::kLv8;
                    break;
                // Mode and voltage in the same byte 3 (i = byte 3 - 48 past 0 and 1).
                case LowVoltCoding::ModeAndVoltage:
                    f = {3, f.list, Code::kLvm, 3};
                    break;
            }
        }
        fields.push_back(f);
    }
    return fields;
}

// ---- Pair tables -----------------------------------------------------------------------

enum class PairSource : std::uint8_t {
    kList,        // the list's selection through its code
    kRecordByte,  // lastRecord[byte], whatever is selected
    kLvmValue,    // Low Volt Cut voltage: i + 48 for i >= 2, else a reported byte (see below)
};

struct PairRule {
    std::uint8_t reg;
    PairSource source;
    ParamId list;  // not read for kRecordByte
    Code code;
    int byte;  // kRecordByte and kLvmValue: the lastRecord byte sent back
};

constexpr PairRule L(std::uint8_t reg, ParamId list, Code code = Code::kRaw) {
    return {reg, PairSource::kList, list, code, -1};
}
constexpr PairRule R(std::uint8_t reg, int byte) {
    return {reg, PairSource::kRecordByte, ParamId{}, Code::kRaw, byte};
}
constexpr PairRule V(std::uint8_t reg, int byte) {
    return {reg, PairSource::kLvmValue, ParamId::LowVoltCut, Code::kLvm, byte};
}

constexpr PairRule kPairsC[] = {
    L(0xE1, ParamId::OperationMode),
    L(0xE2, ParamId::DragBrake),
    L(0xE3, ParamId::LowVoltCut, Code::kLvm),  // mode
    V(0xD3, 2),                                // voltage, or byte 2 of lastRecord for mode 0, 1
    L(0xE4, ParamId::PowerLevel1),
    L(0xE5, ParamId::FullBrake, Code::kFbt),
    L(0xE6, ParamId::ReverseSpeed, Code::kRs),
    L(0xEB, ParamId::TempCutSet),
    L(0xE7, ParamId::InitialBrake, Code::kIb),
    L(0xE8, ParamId::NeutralDeadBand, Code::kN3),
    L(0xE9, ParamId::BoostTiming),
    L(0xEC, ParamId::TurboTiming),
    L(0xEE, ParamId::TurboDelay),
    R(0xF2, 19),
    L(0xF5, ParamId::RotationMode),
    L(0xFE, ParamId::BecVoltage),
    L(0xF3, ParamId::LipoCells, Code::kZ1),
    L(0xC4, ParamId::BrakeRateControl, Code::kM1),
    L(0xC7, ParamId::CoastValue),
    L(0xC8, ParamId::DriveMode),
};

constexpr PairRule kPairsD[] = {
    L(0xE1, ParamId::OperationMode),
    L(0xE2, ParamId::DragBrake),
    L(0xE3, ParamId::LowVoltCut, Code::kLv4),
    R(0xD3, 4),
    L(0xE4, ParamId::PowerLevel1),
    L(0xE5, ParamId::FullBrake, Code::kFb5),
    L(0xE6, ParamId::ReverseSpeed, Code::kRs),
    L(0xEB, ParamId::TempCutSet),
    L(0xE7, ParamId::InitialBrake, Code::kIb),
    L(0xE8, ParamId::NeutralDeadBand),
    L(0xE9, ParamId::BoostTiming),
    L(0xEC, ParamId::TurboTiming),
    L(0xEE, ParamId::TurboDelay),
    R(0xF2, 19),
    L(0xF5, ParamId::RotationMode),
    L(0xFE, ParamId::BecVoltage),
    L(0xF1, ParamId::BrakeFrequency),
    L(0xF0, ParamId::DriveFrequency),
    L(0xEC, ParamId::TurboTiming),
    L(0xED, ParamId::BoostStartRpm),
    L(0xEE, ParamId::TurboDelay),
    L(0xFC, ParamId::BoostEndRpm),
    L(0xC1, ParamId::TurboSlope),
    L(0xC2, ParamId::LipoCells),
    L(0xC3, ParamId::BoostAcc),
    L(0xC4, ParamId::BrakeRateControl, Code::kM1),
    L(0xC5, ParamId::BtSoftPower),
    L(0xC6, ParamId::BtSoftThRange),
    L(0xC7, ParamId::CoastValue),
};

// Layouts A and B share one table; a write sends its first (data-byte count) positions,
// which gives positions 23 to 25 to types 4 to 7, 11 and 12, 26 to 11 and 12, 27 to 12.
std::vector<PairRule> PairsAB(int type) {
    const bool b = LayoutFor(type) == RecordLayout::B;
    const LowVoltCoding coding = ModelTypeInfoFor(type).lowVoltCut;
    const Code lowVolt = coding == LowVoltCoding::Lv8              ? Code::kLv8
                         : coding == LowVoltCoding::ModeAndVoltage ? Code::kLvm
                                                                   : Code::kLv4;
    const std::uint8_t turboSlopeReg = b ? 0xC1 : 0xEA;
    const std::uint8_t lipoCellsReg = b ? 0xC2 : 0xF3;  // Turbo Off Slope on type 12
    std::vector<PairRule> pairs = {
        L(0xE1, ParamId::OperationMode),                                    // 0
        L(0xE2, ParamId::DragBrake),                                        // 1
        L(0xE2, ParamId::DragBrake),                                        // 2
        L(0xE3, ParamId::LowVoltCut, lowVolt),                              // 3
        coding == LowVoltCoding::ModeAndVoltage ? V(0xD3, 4) : R(0xD3, 4),  // 4
        L(0xE4, ParamId::PowerLevel1),                                      // 5
        L(0xE5, ParamId::FullBrake, Code::kFb5),                            // 6
        L(0xE6, ParamId::ReverseSpeed, Code::kRs),                          // 7
        L(0xE7, ParamId::InitialBrake, Code::kIb),                          // 8
        L(0xE8, ParamId::NeutralDeadBand, Code::kNd3),                      // 9
        L(0xE9, ParamId::BoostTiming),                                      // 10
        L(turboSlopeReg, ParamId::TurboSlope),                              // 11
        L(0xEB, ParamId::TempCutSet),                                       // 12
        L(0xEC, ParamId::TurboTiming),                                      // 13
        L(0xED, ParamId::BoostStartRpm),                                    // 14
        L(0xEE, ParamId::TurboDelay),                                       // 15
        L(0xE2, ParamId::DragBrake),                                // 16 (no Boost ACC in A)
        L(0xF0, ParamId::DriveFrequency),                           // 17
        L(0xF1, ParamId::BrakeFrequency),                           // 18
        R(0xF2, 19),                                                // 19
        L(0xE2, ParamId::DragBrake),                                // 20
        L(0xF5, ParamId::RotationMode),                             // 21
        L(0xF9, ParamId::PwLvSwPoint, b ? Code::kRaw : Code::kP5),  // 22
        L(0xFA, ParamId::PowerLevel2),                              // 23
        L(0xFC, ParamId::BoostEndRpm),                              // 24
        L(0xFE, ParamId::BecVoltage),                               // 25
        L(lipoCellsReg, ParamId::LipoCells),                        // 26
        L(0xC3, ParamId::BoostAcc),                                 // 27
    };
    pairs.resize(
        std::min<std::size_t>(pairs.size(), static_cast<std::size_t>(RecordDataBytes(type))));
    return pairs;
}

std::vector<PairRule> PairsFor(int type) {
    switch (LayoutFor(type)) {
        case RecordLayout::C:
            return {std::begin(kPairsC), std::end(kPairsC)};
        case RecordLayout::D:
            return {std::begin(kPairsD), std::end(kPairsD)};
        case RecordLayout::A:
        case RecordLayout::B:
            break;
    }
    return PairsAB(type);
}

// A write sends as many pairs as the model type table says, taking them from these tables:
// a layout with a fixed pair count must have exactly that many, and layouts A and B, whose
// table is cut to the record's data bytes, must send one pair per data byte.
constexpr bool PairTablesMatchTheModelTypes() {
    for (const ModelTypeInfo& info : kModelTypes) {
        int pairs = kOnePairPerRecordByte;
        if (info.layout == RecordLayout::C) pairs = static_cast<int>(std::size(kPairsC));
        if (info.layout == RecordLayout::D) pairs = static_cast<int>(std::size(kPairsD));
        if (info.writePairs != pairs) return false;
    }
    return true;
}
static_assert(PairTablesMatchTheModelTypes(), "a write sends the pairs its layout's table holds");

// The list's selection when it names an entry of the list, else -1.
int SelectedIndex(const OptionList& list) {
    return list.SelectedText() != nullptr ? list.selection : -1;
}

}  // namespace

RecordLayout LayoutFor(int modelType) {
    return ModelTypeInfoFor(modelType).layout;
}

int RecordDataBytes(int modelType) {
    return ModelTypeInfoFor(modelType).RecordDataBytes();
}

void ClearSelections(SetupState& state) {
    for (ParamId id : kParameters) {
        // Brake Rate Control, Coast Value, Drive Mode, BT Soft Power and BT Soft TH Range.
        if (id >= ParamId::BrakeRateControl && id <= ParamId::BtSoftThRange) continue;
        state.List(id).selection = -1;
    }
}

void ApplySettingsRecord(SetupState& state, const std::uint8_t* buffer) {
    std::array<std::uint8_t, 250> record{};
    std::memcpy(record.data(), buffer, record.size());
    ClearSelections(state);
    for (const Field& f : FieldsFor(state.modelType)) {
        state.List(f.list).Select(Decode(f, record.data()));
    }
}

WritePair WritePairAt(int modelType, int position) {
    const std::vector<PairRule> pairs = PairsFor(modelType);
    if (position < 0 || position >= static_cast<int>(pairs.size())) return {};
    const PairRule& p = pairs[static_cast<std::size_t>(position)];
    if (p.source == PairSource::kRecordByte) return {p.reg, std::nullopt};
    return {p.reg, p.list};
}

namespace {

// Whether the model type's record carries the parameter: a setting the model has.
bool Carries(const std::vector<Field>& fields, ParamId id) {
    return std::any_of(fields.begin(), fields.end(), [id](const Field& f) { return f.list == id; });
}

}  // namespace

bool WritesParameter(int modelType, ParamId id) {
    if (id == ParamId::BecVoltage && ModelTypeInfoFor(modelType).writeSendsBecLast) return true;
    // A pair for a setting the model does not have only gives back what the ESC holds.
    if (!Carries(FieldsFor(modelType), id)) return false;
    for (const PairRule& p : PairsFor(modelType)) {
        if (p.source != PairSource::kRecordByte && p.list == id) return true;
    }
    return false;
}

namespace {

// The record byte in which the ESC keeps a list's register: where the model type's record
// carries the parameter, else (layout A) where other model types of the layout carry it, for
// the ESC keeps the register there all the same. -1 when the layout has no such byte.
int RegisterByte(int type, ParamId list) {
    for (const Field& f : FieldsFor(type)) {
        if (f.list == list) return f.byte;
    }
    if (LayoutFor(type) == RecordLayout::A) {
        for (const RowA& row : kLayoutA) {
            if (row.field.list == list) return row.field.byte;
        }
    }
    return -1;
}

bool ModeSharesVoltageByte(const std::vector<Field>& fields) {
    return std::any_of(fields.begin(), fields.end(), [](const Field& f) {
        return f.code == Code::kLvm && f.byte == f.valueByte;
    });
}

}  // namespace

void BuildWritePairs(SetupState& state) {
    const int type = state.modelType;
    const std::vector<Field> fields = FieldsFor(type);
    const int dataBytes = RecordDataBytes(type);
    const auto& last = state.lastRecord;

    // What the ESC reported, decoded again: a list whose selection is still that one was not
    // changed by anybody, and its register gets the record byte back exactly as the ESC sent
    // it. Re-encoding the selection instead would change bytes the codes cannot express (a PW
    // LV SW Point of 47 would come back as 45), so a write would alter settings nobody chose.
    SetupState reported;
    reported.modelType = type;
    for (const ParamId id : kParameters) reported.List(id).entries = state.List(id).entries;
    std::array<std::uint8_t, 250> record{};
    std::copy(last.begin(), last.end(), record.begin());
    ApplySettingsRecord(reported, record.data());

    // The register of a list that was not changed, that has no selection (an empty list the
    // layout still writes, a disabled list, a record byte the codec could not decode, an index a
    // table code cannot express), or that this model type does not have at all, gets the byte
    // the ESC reported for it: the lastRecord byte in which the ESC keeps that register (each
    // code is the inverse of its decode, so the record byte already is the register value).
    // Low Volt Cut by LVM: the mode register 0xE3 gets the mode byte (layout C byte 1; type 11
    // byte 3, the only byte its decode reads). A mode byte of 2 and up is the voltage mode, in
    // which the ESC keeps what 0xD3 sends as the voltage: 0xD3 then gets the byte the decode
    // reads the voltage from (layout C byte 2; type 11 byte 3 itself, since the ESC keeps mode
    // and voltage in one byte), else what it gets for index 0 and 1 (layout C byte 2; type 11
    // byte 4, as every other layout-A type sends).
    auto reportedByte = [&](ParamId list) -> std::uint8_t {
        const int byte = RegisterByte(type, list);
        return byte >= 0 && byte < dataBytes ? last[static_cast<std::size_t>(byte)] : 0;
    };
    auto reportedVoltage = [&](const PairRule& p) -> std::uint8_t {
        for (const Field& f : fields) {
            if (f.code != Code::kLvm || last[static_cast<std::size_t>(f.byte)] < 2) continue;
            return last[static_cast<std::size_t>(f.valueByte)];
        }
        return last[static_cast<std::size_t>(p.byte)];
    };
    // The user's choice for the list, or -1 where the ESC's own byte goes back: a list not
    // changed, or one of a setting this model does not have (whatever a file selected in it).
    auto chosen = [&](ParamId list) {
        const int i = SelectedIndex(state.List(list));
        return i == reported.List(list).selection || !Carries(fields, list) ? -1 : i;
    };

    const std::vector<PairRule> pairs = PairsFor(type);
    for (std::size_t k = 0; k < pairs.size(); ++k) {
        const PairRule& p = pairs[k];
        std::uint8_t value = 0;
        switch (p.source) {
            case PairSource::kRecordByte:
                value = last[static_cast<std::size_t>(p.byte)];
                break;
            case PairSource::kLvmValue: {
                const int i = chosen(p.list);
                if (i >= 2) {
                    value = static_cast<std::uint8_t>(i + 48);
                } else if (i < 0) {
                    value = reportedVoltage(p);
                } else {
                    value = last[static_cast<std::size_t>(p.byte)];
                }
                break;
            }
            case PairSource::kList: {
                // Where mode and voltage share one record byte (type 11), the mode register is
                // no record byte of its own: its mode comes from the selection even unchanged.
                const int i = p.code == Code::kLvm && ModeSharesVoltageByte(fields)
                                  ? SelectedIndex(state.List(p.list))
                                  : chosen(p.list);
                const std::optional<std::uint8_t> encoded =
                    i >= 0 ? Encode(p.code, i) : std::nullopt;
                value = encoded ? *encoded : reportedByte(p.list);
                break;
            }
        }
        state.writePairs[2 * k] = p.reg;
        state.writePairs[2 * k + 1] = value;
    }
}

}  // namespace vorna
