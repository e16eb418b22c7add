// What a model type (0 to 17, recognised from the ESC's identity) means to the settings
// conversation: how long its settings record is and how it is laid out, how many pairs a write
// sends, and how BEC Voltage travels. One row per model type; the transfer, the codec, the
// catalogue and the simulated ESC all read this table, so the layers cannot disagree about it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

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
    // Layout A only: how Low Volt Cut is coded, and which optional field groups (RecordFields)
    // the record carries.
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
     LowVoltCoding::Lv4, 0},
    {RecordLayout::D, 31,    29,                     false,       false,      true,  // 17
     LowVoltCoding::Lv4, 0},
}};
// clang-format on

// The row of a model type. A type outside the table is taken as type 0, the type of an ESC
// from no family we know.
constexpr const ModelTypeInfo& ModelTypeInfoFor(int modelType) {
    const bool known = modelType >= 0 && modelType < kModelTypeCount;
    return kModelTypes[static_cast<std::size_t>(known ? modelType : 0)];
}

}  // namespace vorna
