// What a model type (0 to 17, recognised from the ESC's identity) means to the settings
// conversation: how long its settings record is and how it is laid out, how many pairs a write
// sends, and how BEC Voltage travels. One row per model type; the transfer, the codec, the
// catalogue and the simulated ESC all read this table, so the layers cannot disagree about it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

namespace vorna {

inline constexpr int kModelTypeCount = 18;  // model types 0 to 17

// Which record byte carries which setting: the codec's decode and pair tables, and the
// simulated ESC's register map, each have one per layout.
enum class RecordLayout { A, B, C, D };

// writePairs of a layout whose write sends one pair per data byte of the record last read.
inline constexpr int kOnePairPerRecordByte = 0;

// How a layout-A record and its write code Low Volt Cut.
enum class LowVoltCoding : std::uint8_t {
    Lv4,            // one byte, the common table
    Lv8,            // one byte, the table of the 8-cell ESC
    ModeAndVoltage  // mode and voltage share byte 3 (the voltage register gets its own pair)
};

// Optional field groups of a layout-A record: which of them this model's record carries.
enum RecordFields : std::uint8_t {
    kBoostTurboFields = 1u << 0,  // Boost Timing, Turbo Slope / Timing / Delay, Boost Start RPM,
                                  // Boost ACC, Boost End RPM
    kBecField = 1u << 1,          // BEC Voltage at byte 22
    kPowerLevelFields = 1u << 2,  // PW LV SW Point and 2nd Power Level
    kLipoCellsField = 1u << 3,    // Lipo Cells at byte 26
};

struct ModelTypeInfo {
    RecordLayout layout;
    // Bytes of the ESC's answer to a settings read (0xD8), the 0xDD end marker included.
    int replyLength;
    // Pairs a settings write sends: a fixed count, or kOnePairPerRecordByte.
    int writePairs;
    // The record has no room for BEC Voltage: after the record, a read asks for it (0xFE 0x02)
    // and the ESC answers with the index.
    bool readQueriesBec;
    // After the pairs, a write sends BEC Voltage once more as a pair of its own (0xFE, index),
    // which the ESC answers with a second byte.
    bool writeSendsBecLast;
    // The page calls Boost ACC, Turbo Slope and Lipo Cells "Boost Timing Activation", "Turbo On
    // Slope" and "Turbo Off Slope": on these ESCs the three lists set those settings.
    bool alternateCaptions;
    // How a layout-A record codes Low Volt Cut, and which optional field groups (RecordFields)
    // the model has. A layout-A record carries only those; a layout-D record has room for the
    // boost and turbo fields whether or not the model has them (types 14 and 15 leave them 0).
    LowVoltCoding lowVoltCut;
    std::uint8_t recordFields;

    // The settings record without its end marker.
    constexpr int RecordDataBytes() const { return replyLength - 1; }
};

// clang-format off
inline constexpr std::array<ModelTypeInfo, kModelTypeCount> kModelTypes = {{
    // layout         reply  writePairs              readQueries  writeSends  alternate
    //                Length                         Bec          BecLast     Captions
    //  lowVoltCut          recordFields (layout A)
    {RecordLayout::A, 23,    kOnePairPerRecordByte,  false,       false,      false,  // 0
     LowVoltCoding::Lv4, kBoostTurboFields},
    {RecordLayout::A, 23,    kOnePairPerRecordByte,  false,       false,      false,  // 1
     LowVoltCoding::Lv4, kBoostTurboFields},
    {RecordLayout::A, 23,    kOnePairPerRecordByte,  false,       false,      false,  // 2
     LowVoltCoding::Lv4, kBoostTurboFields},
    {RecordLayout::A, 23,    kOnePairPerRecordByte,  false,       false,      false,  // 3
     LowVoltCoding::Lv4, kBoostTurboFields},
    {RecordLayout::A, 27,    kOnePairPerRecordByte,  false,       true,       false,  // 4
     LowVoltCoding::Lv8, kBoostTurboFields | kBecField},
    {RecordLayout::A, 27,    kOnePairPerRecordByte,  false,       false,      false,  // 5
     LowVoltCoding::Lv4, kBoostTurboFields | kBecField | kPowerLevelFields},
    {RecordLayout::A, 27,    kOnePairPerRecordByte,  false,       false,      false,  // 6
     LowVoltCoding::Lv4, kBoostTurboFields | kBecField | kPowerLevelFields},
    {RecordLayout::A, 27,    kOnePairPerRecordByte,  false,       false,      false,  // 7
     LowVoltCoding::Lv4, kBecField | kPowerLevelFields},
    {RecordLayout::A, 23,    kOnePairPerRecordByte,  true,        true,       false,  // 8
     LowVoltCoding::Lv4, kBoostTurboFields | kBecField},
    {RecordLayout::A, 23,    kOnePairPerRecordByte,  true,        true,       false,  // 9
     LowVoltCoding::Lv4, kBoostTurboFields | kBecField},
    {RecordLayout::A, 23,    kOnePairPerRecordByte,  true,        true,       false,  // 10
     LowVoltCoding::Lv4, kBoostTurboFields | kBecField},
    {RecordLayout::A, 28,    kOnePairPerRecordByte,  false,       true,       false,  // 11
     LowVoltCoding::ModeAndVoltage, kBoostTurboFields | kBecField | kLipoCellsField},
    {RecordLayout::B, 29,    kOnePairPerRecordByte,  false,       false,      true,  // 12
     LowVoltCoding::Lv4, 0},
    {RecordLayout::C, 27,    20,                     false,       false,      false,  // 13
     LowVoltCoding::Lv4, 0},
    {RecordLayout::D, 32,    29,                     false,       false,      true,  // 14
     LowVoltCoding::Lv4, 0},
    {RecordLayout::D, 31,    29,                     false,       false,      true,  // 15
     LowVoltCoding::Lv4, 0},
    {RecordLayout::D, 31,    29,                     false,       false,      true,  // 16
     LowVoltCoding::Lv4, kBoostTurboFields},
    {RecordLayout::D, 31,    29,                     false,       false,      true,  // 17
     LowVoltCoding::Lv4, kBoostTurboFields},
}};
// clang-format on

// The row of a model type. A type outside the table is taken as type 0, the type of an ESC
// from no family we know.
constexpr const ModelTypeInfo& ModelTypeInfoFor(int modelType) {
    const bool known = modelType >= 0 && modelType < kModelTypeCount;
    return kModelTypes[static_cast<std::size_t>(known ? modelType : 0)];
}

// ESC families (identity byte 0): the codes the rules below name, and in kEscFamilies one row
// per family with the model text the firmware page and the image checks show for it.
namespace family {
inline constexpr int kR5 = 10;
inline constexpr int kZen = 11;
inline constexpr int kStock = 12;  // the stock-class ESC
inline constexpr int kAlta = 13;
inline constexpr int kR5V = 26;
}  // namespace family

// The hardware code (identity byte 2) of a one-cell ESC: its firmware lines are the "-1S" ones.
inline constexpr int kOneCellHardware = 0x82;

struct EscFamily {
    int code;          // identity byte 0
    const char* name;  // the ESC's model text
};

// clang-format off
inline constexpr EscFamily kEscFamilies[] = {
    {family::kR5,    "1:8 ESC R5"},
    {family::kR5V,   "1:8 ESC R5 V"},
    {family::kZen,   "VORNA ZEN"},
    {family::kStock, "VORNA CLASS SPEC"},
    {family::kAlta,  "VORNA ALTA"},
};
// clang-format on

// The row of a family code; none for a family we do not know.
constexpr const EscFamily* EscFamilyFor(int code) {
    for (const EscFamily& row : kEscFamilies) {
        if (row.code == code) return &row;
    }
    return nullptr;
}

// Whether a family code has its row. Asked by code, not by EscFamilyFor's pointer: a compiler
// built with the address sanitizer does not take a pointer comparison as a constant.
constexpr bool HasEscFamily(int code) {
    for (const EscFamily& row : kEscFamilies) {
        if (row.code == code) return true;
    }
    return false;
}

// Identity bytes to model type: which ESC, with which firmware, speaks which record. The
// simulated ESC reads it too, so that an ESC given new firmware answers as the program then
// expects.
namespace model_rules {
inline constexpr int kAny = -1;

struct ModelRule {
    int family;    // identity byte 0
    int hardware;  // byte 2, or kAny
    int firmware;  // byte 3, or kAny
    int marker;    // byte 1, or kAny
    int modelType;
};

// First matching rule wins. A family listed here whose identity matches no rule keeps the
// previous model type; a family not listed gives type 0.
inline constexpr ModelRule kModelRules[] = {
    // 1:8 ESC R5: byte 3 only.
    {family::kR5, kAny, 0, kAny, 4},
    {family::kR5, kAny, 1, kAny, 11},
    {family::kR5, kAny, 3, kAny, 13},
    {family::kZen, 0x81, kAny, kAny, 1},
    {family::kZen, 0x82, kAny, kAny, 5},
    {family::kZen, 0x83, 5, 0x40, 16},
    {family::kZen, 0x83, kAny, kAny, 5},
    {family::kZen, 0x85, kAny, kAny, 8},
    // The stock-class ESC (type 17 does not test the marker)
    {family::kStock, 0x81, 4, kAny, 12},
    {family::kStock, 0x81, 5, kAny, 17},
    {family::kStock, 0x81, kAny, kAny, 3},
    {family::kStock, 0x82, kAny, kAny, 6},
    {family::kStock, 0x83, kAny, kAny, 6},
    {family::kStock, 0x85, kAny, kAny, 9},
    {family::kAlta, 0x81, kAny, kAny, 2},
    {family::kAlta, 0x82, kAny, kAny, 7},
    {family::kAlta, 0x83, 20, 0x40, 14},
    {family::kAlta, 0x83, 5, 0x40, 15},
    {family::kAlta, 0x83, kAny, kAny, 7},
    {family::kAlta, 0x85, kAny, kAny, 10},
};

constexpr bool Matches(int want, int have) {
    return want == kAny || want == have;
}
}  // namespace model_rules
static_assert(
    [] {
        for (const model_rules::ModelRule& rule : model_rules::kModelRules) {
            if (!HasEscFamily(rule.family)) return false;
        }
        return true;
    }(),
    "every family a rule names has its row in kEscFamilies");

// The "Blinky" firmware of the ALTA ESCs (version byte 0x14 with the identity mark): the ESC
// keeps the model type it had, and the firmware is named by this text rather than by its family.
inline constexpr const char* kBlinkyRx4FirmwareText = "Blinky V3.0_K7T_RX4";
constexpr bool IsBlinkyRx4Firmware(const std::uint8_t* identity) {
    return identity[1] == 0x40 && identity[3] == 0x14;
}

// The model type the first matching rule gives; 0 for a family no rule lists; no value for a
// listed family whose identity matches no rule (the caller keeps the type it had).
constexpr std::optional<int> ModelTypeForIdentity(const std::uint8_t* identity) {
    using namespace model_rules;
    bool knownFamily = false;
    for (const ModelRule& rule : kModelRules) {
        if (rule.family != identity[0]) continue;
        knownFamily = true;
        if (Matches(rule.hardware, identity[2]) && Matches(rule.firmware, identity[3]) &&
            Matches(rule.marker, identity[1])) {
            return rule.modelType;
        }
    }
    if (!knownFamily) return 0;
    return std::nullopt;
}

// For each model type, the first four identity bytes (family, mark, hardware, firmware) of an
// ESC of that type: the simulated ESC answers these. Type 0 is an ESC of no family we know.
inline constexpr std::array<std::array<std::uint8_t, 4>, kModelTypeCount> kExampleIdentities = {{
    {0x01, 0x40, 0x81, 5},            // 0
    {family::kZen, 0x40, 0x81, 3},    // 1: firmware 1.30 (with power levels)
    {family::kAlta, 0x40, 0x81, 3},   // 2
    {family::kStock, 0x40, 0x81, 3},  // 3
    {family::kR5, 0x40, 0x83, 0},     // 4
    {family::kZen, 0x40, 0x82, 5},    // 5
    {family::kStock, 0x40, 0x82, 5},  // 6
    {family::kAlta, 0x40, 0x82, 5},   // 7
    {family::kZen, 0x40, 0x85, 3},    // 8
    {family::kStock, 0x40, 0x85, 3},  // 9
    {family::kAlta, 0x40, 0x85, 3},   // 10
    {family::kR5, 0x40, 0x83, 1},     // 11
    {family::kStock, 0x40, 0x81, 4},  // 12
    {family::kR5, 0x40, 0x83, 3},     // 13
    {family::kAlta, 0x40, 0x83, 20},  // 14
    {family::kAlta, 0x40, 0x83, 5},   // 15
    {family::kZen, 0x40, 0x83, 5},    // 16
    {family::kStock, 0x40, 0x81, 5},  // 17
}};
static_assert(
    [] {
        for (int type = 0; type < kModelTypeCount; ++type) {
            if (ModelTypeForIdentity(kExampleIdentities[static_cast<std::size_t>(type)].data()) !=
                type)
                return false;
        }
        return true;
    }(),
    "each example identity is recognised as its model type");

}  // namespace vorna
