// Settings record codec. The option lists are built here with the catalogue's
// entry counts (placeholder texts), so these tests do not depend on Catalogue.cpp.
// Expected pair sequences are written out from the layout tables, not computed.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "settings/Codec.h"
#include "sim/SimulatedEsc.h"
#include "support/TestSupport.h"

namespace vorna {
namespace {

using Bytes = std::vector<std::uint8_t>;

bool In(int type, std::initializer_list<int> types) {
    for (int t : types) {
        if (t == type) return true;
    }
    return false;
}

// Entry counts of FillOptionLists, 1st Power Level as for versionText "1.30".
// clang-format off
int CatalogueCount(ParamId id, int t) {
    switch (id) {
        case ParamId::OperationMode: return 3;
        case ParamId::ReverseSpeed: return 4;
        case ParamId::LowVoltCut: return t == 4 ? 5 : In(t, {11, 13}) ? 153 : 4;
        case ParamId::DragBrake: return In(t, {4, 11}) ? 51 : t == 0 ? 0 : 101;
        case ParamId::InitialBrake: return 52;
        case ParamId::FullBrake: return t == 13 ? 11 : 6;
        case ParamId::BrakeFrequency:
            return In(t, {4, 11}) ? 2 : In(t, {5, 6, 7, 12}) ? 4 : t == 13 ? 0 : t >= 14 ? 5 : 6;
        case ParamId::PwLvSwPoint: return t == 12 ? 101 : 21;
        case ParamId::PowerLevel1:
            return In(t, {1, 2, 3, 8, 9, 10}) ? 12
                   : t == 4                   ? 10
                   : t == 11                  ? 8
                   : t == 13                  ? 9
                   : In(t, {5, 6, 7, 12})     ? 13
                   : t == 14                  ? 31
                   : t >= 15                  ? 30
                                              : 0;
        case ParamId::PowerLevel2: return 13;
        case ParamId::DriveFrequency:
            return In(t, {4, 11}) ? 1 : t == 5 ? 4 : In(t, {6, 7}) ? 5 : t == 13 ? 0 : 6;
        case ParamId::NeutralDeadBand: return t >= 13 ? 3 : 5;
        case ParamId::TempCutSet: return In(t, {4, 5, 6, 7, 11, 12}) ? 2 : 3;
        case ParamId::RotationMode: return 2;
        case ParamId::BrakeRateControl: return t >= 13 ? 20 : 0;
        case ParamId::CoastValue: return t >= 13 ? 21 : 0;
        case ParamId::DriveMode: return t == 13 ? 2 : 0;
        case ParamId::BecVoltage: return 2;
        case ParamId::BoostTiming:
        case ParamId::TurboTiming:
            return In(t, {1, 3, 5, 6, 7, 8, 9, 12, 16, 17}) ? 61 : t == 13 ? 16 : 0;
        case ParamId::BoostStartRpm:
            return In(t, {1, 8}) ? 20 : In(t, {5, 6, 7, 12, 16, 17}) ? 67 : 0;
        case ParamId::BoostEndRpm: return In(t, {5, 6, 7, 12, 16, 17}) ? 69 : 0;
        case ParamId::BoostAcc: return In(t, {1, 3, 8, 9}) ? 14 : In(t, {12, 16, 17}) ? 2 : 0;
        case ParamId::TurboSlope:
            return In(t, {1, 3, 8, 9}) ? 6 : In(t, {5, 6, 7}) ? 7 : t == 12 ? 11
                   : In(t, {16, 17})                                ? 5
                                                                    : 0;
        case ParamId::LipoCells:
            return In(t, {11, 13}) ? 6 : t == 12 ? 10 : In(t, {16, 17}) ? 5 : 0;
        case ParamId::TurboDelay: return In(t, {1, 3, 5, 8, 9, 12, 13, 16, 17}) ? 9 : 0;
        case ParamId::BtSoftPower: return In(t, {16, 17}) ? 21 : 0;
        case ParamId::BtSoftThRange: return In(t, {16, 17}) ? 10 : 0;
        default: return 0;
    }
}
// clang-format on

// A page for the model type: every parameter list holds the catalogue's number of entries.
SetupState MakeState(int type) {
    SetupState s;
    s.modelType = type;
    for (ParamId id : kParameters) {
        OptionList& list = s.List(id);
        for (int i = 0; i < CatalogueCount(id, type); ++i) {
            list.entries.push_back("e" + std::to_string(i));
        }
    }
    s.writePairs.fill(0xEE);  // so untouched slots are visible
    return s;
}

// A receive buffer: the record's data bytes, the 0xDD end marker, then zeros.
std::array<std::uint8_t, 250> Reply(const Bytes& data) {
    std::array<std::uint8_t, 250> buf{};
    std::copy(data.begin(), data.end(), buf.begin());
    buf[data.size()] = 0xDD;
    return buf;
}

// What a successful read does: decode, then copy the data bytes to lastRecord.
void Read(SetupState& s, const Bytes& data) {
    ASSERT_EQ(static_cast<int>(data.size()), RecordDataBytes(s.modelType));
    const auto buf = Reply(data);
    ApplySettingsRecord(s, buf.data());
    std::copy(data.begin(), data.end(), s.lastRecord.begin());
}

// Every parameter list (1107 to 1111 only when named) has the given selection, or none.
void ExpectSelections(const SetupState& s, const std::map<ParamId, int>& expected) {
    for (ParamId id : kParameters) {
        const auto it = expected.find(id);
        if (it != expected.end()) {
            EXPECT_EQ(s.List(id).selection, it->second) << "list " << id;
        } else if (id < ParamId::BrakeRateControl) {
            EXPECT_EQ(s.List(id).selection, -1) << "list " << id;
        }
    }
}

// writePairs starts with exactly `pairs` (register, value, ...) and is untouched after them.
void ExpectPairs(const SetupState& s, const Bytes& pairs) {
    ASSERT_LE(pairs.size(), s.writePairs.size());
    for (std::size_t i = 0; i < pairs.size(); ++i) {
        EXPECT_EQ(static_cast<int>(s.writePairs[i]), static_cast<int>(pairs[i]))
            << (i % 2 == 0 ? "register" : "value") << " of pair " << i / 2;
    }
    for (std::size_t i = pairs.size(); i < s.writePairs.size(); ++i) {
        EXPECT_EQ(s.writePairs[i], 0xEE) << "slot " << i << " was touched";
    }
}

// The value byte sent for `reg` at pair position k.
int PairValue(const SetupState& s, std::size_t k, int reg) {
    EXPECT_EQ(s.writePairs[2 * k], reg) << "pair " << k;
    return s.writePairs[2 * k + 1];
}

// ---- Layouts and lengths ---------------------------------------------------------------

TEST(CodecLayout, LayoutAndDataBytesFollowTheModelType) {
    const std::map<int, std::pair<RecordLayout, int>> expected = {
        {0, {RecordLayout::A, 22}},  {1, {RecordLayout::A, 22}},  {2, {RecordLayout::A, 22}},
        {3, {RecordLayout::A, 22}},  {4, {RecordLayout::A, 26}},  {5, {RecordLayout::A, 26}},
        {6, {RecordLayout::A, 26}},  {7, {RecordLayout::A, 26}},  {8, {RecordLayout::A, 22}},
        {9, {RecordLayout::A, 22}},  {10, {RecordLayout::A, 22}}, {11, {RecordLayout::A, 27}},
        {12, {RecordLayout::B, 28}}, {13, {RecordLayout::C, 26}}, {14, {RecordLayout::D, 31}},
        {15, {RecordLayout::D, 30}}, {16, {RecordLayout::D, 30}}, {17, {RecordLayout::D, 30}},
        {-1, {RecordLayout::A, 22}}, {18, {RecordLayout::A, 22}},
    };
    for (const auto& [type, want] : expected) {
        EXPECT_EQ(LayoutFor(type), want.first) << "type " << type;
        EXPECT_EQ(RecordDataBytes(type), want.second) << "type " << type;
    }
}

TEST(CodecClear, ClearsParameterListsButNotTheLaterOnes) {
    SetupState s = MakeState(16);
    for (ParamId id : kAllLists) {
        s.List(id).entries = {"x", "y"};
        s.List(id).selection = 1;
    }
    ClearSelections(s);
    for (ParamId id : kAllLists) {
        const bool kept = (id >= ParamId::BrakeRateControl && id <= ParamId::BtSoftThRange) ||
                          id == ParamId::Category || id == ParamId::SetupSheet;
        EXPECT_EQ(s.List(id).selection, kept ? 1 : -1) << "list " << id;
        EXPECT_EQ(s.List(id).entries.size(), 2u) << "list " << id;
    }
}

// ---- Round trips, one per layout variant -----------------------------------------------
// Records: ten bytes per line. Pairs: (register, value), six pairs per line (positions 0-5,
// 6-11, ...).

// clang-format off

TEST(CodecRoundTrip, Type2LayoutA) {
    SetupState s = MakeState(2);
    Read(s, {   1,   20, 0x77,   30, 0x5A,    7,   90,   75,   10,    6,
               12,    3,    1,    9,    4,    2,    5,    2,    3, 0x42,
             0x99,    1});
    // Boost and turbo bytes land in lists that are empty for type 2; BEC is not decoded.
    ExpectSelections(s, {{ParamId::OperationMode, 1}, {ParamId::DragBrake, 20},
                         {ParamId::LowVoltCut, 2}, {ParamId::PowerLevel1, 7},
                         {ParamId::FullBrake, 3}, {ParamId::ReverseSpeed, 2},
                         {ParamId::InitialBrake, 11}, {ParamId::NeutralDeadBand, 2},
                         {ParamId::TempCutSet, 1}, {ParamId::DriveFrequency, 2},
                         {ParamId::BrakeFrequency, 3}, {ParamId::RotationMode, 1}});
    BuildWritePairs(s);
    // Positions 10, 11, 13, 14, 15 (empty lists) send the record bytes back.
    ExpectPairs(s, {0xE1, 1,     0xE2, 20,    0xE2, 20,    0xE3, 30,    0xD3, 0x5A,  0xE4, 7,
                    0xE5, 90,    0xE6, 75,    0xE7, 10,    0xE8, 6,     0xE9, 12,    0xEA, 3,
                    0xEB, 1,     0xEC, 9,     0xED, 4,     0xEE, 2,     0xE2, 20,    0xF0, 2,
                    0xF1, 3,     0xF2, 0x42,  0xE2, 20,    0xF5, 1});
}

TEST(CodecRoundTrip, Type4LayoutAWithLv8) {
    SetupState s = MakeState(4);
    Read(s, {   0,   15,    0,    1, 0x11,    9,  100,  100,  200,    0,
                5,    1,    1,    0,    0,    0,    0,    0,    1, 0x33,
                0,    0,    1,   50,    7,    6});
    // LV8: byte 1 is index 1; bytes 23 and 25 are not decoded for type 4.
    ExpectSelections(s, {{ParamId::OperationMode, 0}, {ParamId::DragBrake, 15},
                         {ParamId::LowVoltCut, 1}, {ParamId::PowerLevel1, 9},
                         {ParamId::FullBrake, 5}, {ParamId::ReverseSpeed, 3},
                         {ParamId::InitialBrake, 0}, {ParamId::NeutralDeadBand, 0},
                         {ParamId::TempCutSet, 1}, {ParamId::DriveFrequency, 0},
                         {ParamId::BrakeFrequency, 1}, {ParamId::RotationMode, 0},
                         {ParamId::BecVoltage, 1}});
    BuildWritePairs(s);
    // Low Volt Cut was not changed: the ESC's own 1 goes back, not the 30 index 1 encodes to.
    // Positions 22 and 23 (PW LV SW Point, 2nd Power Level), settings a type-4 ESC does not
    // have, send back the bytes it keeps them in (23 and 25); position 24 (Boost End RPM,
    // empty list) sends byte 24 back.
    ExpectPairs(s, {0xE1, 0,     0xE2, 15,    0xE2, 15,    0xE3, 1,    0xD3, 0x11,  0xE4, 9,
                    0xE5, 100,   0xE6, 100,   0xE7, 200,   0xE8, 0,     0xE9, 5,     0xEA, 1,
                    0xEB, 1,     0xEC, 0,     0xED, 0,     0xEE, 0,     0xE2, 15,    0xF0, 0,
                    0xF1, 1,     0xF2, 0x33,  0xE2, 15,    0xF5, 0,     0xF9, 50,    0xFA, 6,
                    0xFC, 7,     0xFE, 1});
}

TEST(CodecRoundTrip, Type11LayoutAWithLvmAndLipoCells) {
    SetupState s = MakeState(11);
    Read(s, {   2,   50,    0,   74, 0x20,    7,   80,   25,    0,   12,
                0,    0,    0,    0,    0,    0,    0,    0,    0, 0x44,
                0,    1,    0,    0,    0,    0,    3});
    ExpectSelections(s, {{ParamId::OperationMode, 2}, {ParamId::DragBrake, 50},
                         {ParamId::LowVoltCut, 26}, {ParamId::PowerLevel1, 7},
                         {ParamId::FullBrake, 1}, {ParamId::ReverseSpeed, 0},
                         {ParamId::InitialBrake, 1}, {ParamId::NeutralDeadBand, 4},
                         {ParamId::TempCutSet, 0}, {ParamId::DriveFrequency, 0},
                         {ParamId::BrakeFrequency, 0}, {ParamId::RotationMode, 1},
                         {ParamId::BecVoltage, 0}, {ParamId::LipoCells, 3}});
    BuildWritePairs(s);
    ExpectPairs(s, {0xE1, 2,     0xE2, 50,    0xE2, 50,    0xE3, 2,     0xD3, 74,    0xE4, 7,
                    0xE5, 80,    0xE6, 25,    0xE7, 0,     0xE8, 12,    0xE9, 0,     0xEA, 0,
                    0xEB, 0,     0xEC, 0,     0xED, 0,     0xEE, 0,     0xE2, 50,    0xF0, 0,
                    0xF1, 0,     0xF2, 0x44,  0xE2, 50,    0xF5, 1,     0xF9, 0,     0xFA, 0,
                    0xFC, 0,     0xFE, 0,     0xF3, 3});
}

TEST(CodecRoundTrip, Type12LayoutB) {
    SetupState s = MakeState(12);
    Read(s, {   1,    5, 0xA2,   32, 0x0B,   12,   95,   50,   49,    9,
               30,   10,    9,    1,   45,   66,    8, 0xB1,    5,    3,
             0xC0, 0xC1,    1,    0,   37,   68,   12,    1});
    ExpectSelections(s, {{ParamId::OperationMode, 1}, {ParamId::DragBrake, 5},
                         {ParamId::LowVoltCut, 3}, {ParamId::PowerLevel1, 12},
                         {ParamId::FullBrake, 4}, {ParamId::ReverseSpeed, 1},
                         {ParamId::InitialBrake, 50}, {ParamId::NeutralDeadBand, 3},
                         {ParamId::BoostTiming, 30}, {ParamId::TurboSlope, 10},
                         {ParamId::LipoCells, 9}, {ParamId::TempCutSet, 1},
                         {ParamId::TurboTiming, 45}, {ParamId::BoostStartRpm, 66},
                         {ParamId::TurboDelay, 8}, {ParamId::DriveFrequency, 5},
                         {ParamId::BrakeFrequency, 3}, {ParamId::RotationMode, 1},
                         {ParamId::BecVoltage, 0}, {ParamId::PwLvSwPoint, 37},
                         {ParamId::BoostEndRpm, 68}, {ParamId::PowerLevel2, 12},
                         {ParamId::BoostAcc, 1}});
    BuildWritePairs(s);
    ExpectPairs(s, {0xE1, 1,     0xE2, 5,     0xE2, 5,     0xE3, 32,    0xD3, 0x0B,  0xE4, 12,
                    0xE5, 95,    0xE6, 50,    0xE7, 49,    0xE8, 9,     0xE9, 30,    0xC1, 10,
                    0xEB, 1,     0xEC, 45,    0xED, 66,    0xEE, 8,     0xE2, 5,     0xF0, 5,
                    0xF1, 3,     0xF2, 3,     0xE2, 5,     0xF5, 1,     0xF9, 37,    0xFA, 12,
                    0xFC, 68,    0xFE, 0,     0xC2, 9,     0xC3, 1});
}

TEST(CodecRoundTrip, Type13LayoutC) {
    SetupState s = MakeState(13);
    Read(s, {   0,    2,   80,    4,   30,  200,   85,  100,    6, 0xE9,
               12, 0xEB, 0xEC,   15, 0xEE,    8,    2, 0x17, 0x18, 0x19,
                1,    1,    0,   20,   10,    1});
    ExpectSelections(s, {{ParamId::OperationMode, 0}, {ParamId::LowVoltCut, 32},
                         {ParamId::PowerLevel1, 4}, {ParamId::DragBrake, 30},
                         {ParamId::InitialBrake, 0}, {ParamId::FullBrake, 7},
                         {ParamId::ReverseSpeed, 3}, {ParamId::NeutralDeadBand, 2},
                         {ParamId::BoostTiming, 12}, {ParamId::TurboTiming, 15},
                         {ParamId::TurboDelay, 8}, {ParamId::TempCutSet, 2},
                         {ParamId::RotationMode, 1}, {ParamId::BecVoltage, 1},
                         {ParamId::LipoCells, 0}, {ParamId::BrakeRateControl, 19},
                         {ParamId::CoastValue, 10}, {ParamId::DriveMode, 1}});
    BuildWritePairs(s);
    ExpectPairs(s, {0xE1, 0,     0xE2, 30,    0xE3, 2,     0xD3, 80,    0xE4, 4,     0xE5, 85,
                    0xE6, 100,   0xEB, 2,     0xE7, 200,   0xE8, 6,     0xE9, 12,    0xEC, 15,
                    0xEE, 8,     0xF2, 0x19,  0xF5, 1,     0xFE, 1,     0xF3, 0,     0xC4, 20,
                    0xC7, 10,    0xC8, 1});
}

TEST(CodecRoundTrip, Type14LayoutDWithEmptyBoostLists) {
    SetupState s = MakeState(14);
    Read(s, {   1,   10, 0x02,    0, 0x04,   30,   75,   25,    1,    2,
               20,    3,    2,    1,   10,    5,    4, 0x17,    3,    4,
             0x20, 0x21,    0,    1,    6,    1,    5,    7,    3,   12,
             0x30});
    // Boost, turbo and BT Soft lists are empty for type 14: no selection there.
    ExpectSelections(s, {{ParamId::OperationMode, 1}, {ParamId::DragBrake, 10},
                         {ParamId::LowVoltCut, 0}, {ParamId::PowerLevel1, 30},
                         {ParamId::FullBrake, 0}, {ParamId::ReverseSpeed, 0},
                         {ParamId::InitialBrake, 2}, {ParamId::NeutralDeadBand, 2},
                         {ParamId::TempCutSet, 1}, {ParamId::DriveFrequency, 3},
                         {ParamId::BrakeFrequency, 4}, {ParamId::RotationMode, 0},
                         {ParamId::BecVoltage, 1}, {ParamId::BrakeRateControl, 4},
                         {ParamId::CoastValue, 12}, {ParamId::BtSoftPower, -1},
                         {ParamId::BtSoftThRange, -1}});
    BuildWritePairs(s);
    // ... so the write sends the bytes the ESC reported for them.
    ExpectPairs(s, {0xE1, 1,     0xE2, 10,    0xE3, 0,     0xD3, 0x04,  0xE4, 30,    0xE5, 75,
                    0xE6, 25,    0xEB, 1,     0xE7, 1,     0xE8, 2,     0xE9, 20,    0xEC, 10,
                    0xEE, 4,     0xF2, 4,     0xF5, 0,     0xFE, 1,     0xF1, 4,     0xF0, 3,
                    0xEC, 10,    0xED, 5,     0xEE, 4,     0xFC, 6,     0xC1, 3,     0xC2, 2,
                    0xC3, 1,     0xC4, 5,     0xC5, 7,     0xC6, 3,     0xC7, 12});
}

TEST(CodecRoundTrip, Type16LayoutD) {
    SetupState s = MakeState(16);
    Read(s, {   2,  100,    0,   29, 0x44,   29,   85,   75,   50,    1,
               60,    4,    0,    2,    0,   10,    3,    0,    5,    0,
                0,    0,    1,    0,   68,    0,    1,   20,    9,   20});
    ExpectSelections(s, {{ParamId::OperationMode, 2}, {ParamId::DragBrake, 100},
                         {ParamId::LowVoltCut, 1}, {ParamId::PowerLevel1, 29},
                         {ParamId::FullBrake, 2}, {ParamId::ReverseSpeed, 2},
                         {ParamId::InitialBrake, 51}, {ParamId::NeutralDeadBand, 1},
                         {ParamId::BoostTiming, 60}, {ParamId::TurboSlope, 4},
                         {ParamId::LipoCells, 0}, {ParamId::TempCutSet, 2},
                         {ParamId::TurboTiming, 0}, {ParamId::BoostStartRpm, 10},
                         {ParamId::TurboDelay, 3}, {ParamId::DriveFrequency, 5},
                         {ParamId::BrakeFrequency, 0}, {ParamId::RotationMode, 1},
                         {ParamId::BecVoltage, 0}, {ParamId::BoostEndRpm, 68},
                         {ParamId::BoostAcc, 0}, {ParamId::BrakeRateControl, 0},
                         {ParamId::BtSoftPower, 20}, {ParamId::BtSoftThRange, 9},
                         {ParamId::CoastValue, 20}});
    BuildWritePairs(s);
    ExpectPairs(s, {0xE1, 2,     0xE2, 100,   0xE3, 29,    0xD3, 0x44,  0xE4, 29,    0xE5, 85,
                    0xE6, 75,    0xEB, 2,     0xE7, 50,    0xE8, 1,     0xE9, 60,    0xEC, 0,
                    0xEE, 3,     0xF2, 0,     0xF5, 1,     0xFE, 0,     0xF1, 0,     0xF0, 5,
                    0xEC, 0,     0xED, 10,    0xEE, 3,     0xFC, 68,    0xC1, 4,     0xC2, 0,
                    0xC3, 0,     0xC4, 1,     0xC5, 20,    0xC6, 9,     0xC7, 20});

    // The user's changes are what a write sends: LV4 index 0 encodes as 0 in layout D.
    s.List(ParamId::LowVoltCut).Select(0);
    s.List(ParamId::TurboTiming).Select(33);
    BuildWritePairs(s);
    EXPECT_EQ(PairValue(s, 2, 0xE3), 0);
    EXPECT_EQ(PairValue(s, 11, 0xEC), 33);
    EXPECT_EQ(PairValue(s, 18, 0xEC), 33);
}

// clang-format on

// ---- Layout A details ------------------------------------------------------------------

TEST(CodecLayoutA, BoostAccIsDecodedButNeverSent) {
    SetupState s = MakeState(1);
    Bytes rec(22, 0);
    rec[1] = 40;  // Drag Brake
    rec[16] = 3;  // Boost ACC
    Read(s, rec);
    EXPECT_EQ(s.List(ParamId::BoostAcc).selection, 3);
    BuildWritePairs(s);
    const auto before = s.writePairs;
    s.List(ParamId::BoostAcc).Select(9);
    BuildWritePairs(s);
    EXPECT_EQ(s.writePairs, before);
    EXPECT_EQ(PairValue(s, 16, 0xE2), 40);  // position 16 is Drag Brake again
    for (std::size_t k = 0; k < 22; ++k) EXPECT_NE(s.writePairs[2 * k], 0xEF) << "pair " << k;
}

TEST(CodecLayoutA, Type7SkipsBoostBytesAndSendsThemBack) {
    SetupState s = MakeState(7);
    Bytes rec(26, 0);
    for (std::size_t b : {10u, 11u, 13u, 14u, 15u, 16u, 24u}) rec[b] = 3;
    rec[22] = 1;   // BEC Voltage
    rec[23] = 45;  // PW LV SW Point
    rec[25] = 4;   // 2nd Power Level
    Read(s, rec);
    for (ParamId id :
         {ParamId::BoostTiming, ParamId::TurboSlope, ParamId::TurboTiming, ParamId::BoostStartRpm,
          ParamId::TurboDelay, ParamId::BoostAcc, ParamId::BoostEndRpm}) {
        EXPECT_EQ(s.List(id).selection, -1) << "list " << id;  // [not type 7]
    }
    EXPECT_EQ(s.List(ParamId::PwLvSwPoint).selection, 9);  // P5: 45 / 5
    EXPECT_EQ(s.List(ParamId::PowerLevel2).selection, 4);
    EXPECT_EQ(s.List(ParamId::BecVoltage).selection, 1);
    BuildWritePairs(s);
    // Type 7 has none of these settings: their registers get back what the ESC keeps in them.
    EXPECT_EQ(PairValue(s, 10, 0xE9), 3);
    EXPECT_EQ(PairValue(s, 11, 0xEA), 3);
    EXPECT_EQ(PairValue(s, 13, 0xEC), 3);
    EXPECT_EQ(PairValue(s, 14, 0xED), 3);
    EXPECT_EQ(PairValue(s, 15, 0xEE), 3);
    EXPECT_EQ(PairValue(s, 24, 0xFC), 3);
    // Whatever a file selected in such a list, the ESC's byte goes back.
    s.List(ParamId::BoostTiming).Select(5);
    BuildWritePairs(s);
    EXPECT_EQ(PairValue(s, 10, 0xE9), 3);
    EXPECT_EQ(PairValue(s, 22, 0xF9), 45);
    EXPECT_EQ(PairValue(s, 23, 0xFA), 4);
    EXPECT_EQ(PairValue(s, 25, 0xFE), 1);
}

TEST(CodecLayoutA, PwLvSwPointIsFiveStepsExceptOnType12) {
    SetupState s = MakeState(5);
    Bytes rec(26, 0);
    rec[23] = 47;  // remainder discarded: index 9
    Read(s, rec);
    EXPECT_EQ(s.List(ParamId::PwLvSwPoint).selection, 9);
    BuildWritePairs(s);
    EXPECT_EQ(PairValue(s, 22, 0xF9), 47);  // not changed: the ESC's own byte goes back
    s.List(ParamId::PwLvSwPoint).Select(8);
    BuildWritePairs(s);
    EXPECT_EQ(PairValue(s, 22, 0xF9), 40);

    SetupState b = MakeState(12);
    Bytes recB(28, 0);
    recB[24] = 47;
    Read(b, recB);
    EXPECT_EQ(b.List(ParamId::PwLvSwPoint).selection, 47);
    BuildWritePairs(b);
    EXPECT_EQ(PairValue(b, 22, 0xF9), 47);
}

TEST(CodecLayoutA, Types8To10BecByteIsTheEndMarker) {
    for (int type : {8, 9, 10}) {
        SetupState s = MakeState(type);
        Bytes rec(22, 0);
        Read(s, rec);  // the reply's byte 22 is 0xDD
        EXPECT_EQ(s.List(ParamId::BecVoltage).selection, -1) << "type " << type;
        s.List(ParamId::BecVoltage).Select(1);  // as the separate BEC query would
        BuildWritePairs(s);
        // 22 pairs; BEC Voltage is not among them and the slots after them are untouched.
        for (std::size_t k = 0; k < 22; ++k) EXPECT_NE(s.writePairs[2 * k], 0xFE);
        EXPECT_EQ(s.writePairs[44], 0xEE);
    }
}

// ---- Low Volt Cut ----------------------------------------------------------------------

TEST(CodecLowVoltCut, Type11Index5SendsMode2AndVoltage53) {
    SetupState s = MakeState(11);
    s.lastRecord[3] = 0;
    s.lastRecord[4] = 0x66;
    s.List(ParamId::LowVoltCut).Select(5);
    BuildWritePairs(s);
    EXPECT_EQ(PairValue(s, 3, 0xE3), 2);
    EXPECT_EQ(PairValue(s, 4, 0xD3), 53);
    // Index 0 and 1 are modes of their own; 0xD3 then carries byte 4 of lastRecord.
    for (int i : {0, 1}) {
        s.List(ParamId::LowVoltCut).Select(i);
        BuildWritePairs(s);
        EXPECT_EQ(PairValue(s, 3, 0xE3), i);
        EXPECT_EQ(PairValue(s, 4, 0xD3), 0x66);
    }
}

TEST(CodecLowVoltCut, Type11DecodesModeOrVoltageFromByte3) {
    const std::map<int, int> byte3ToIndex = {{0, 0},     {1, 1},    {50, 2},  {53, 5},
                                             {200, 152}, {201, -1}, {20, -1}, {2, -1}};
    for (const auto& [r, index] : byte3ToIndex) {
        SetupState s = MakeState(11);
        Bytes rec(27, 0);
        rec[3] = static_cast<std::uint8_t>(r);
        rec[4] = 99;  // not consulted
        Read(s, rec);
        EXPECT_EQ(s.List(ParamId::LowVoltCut).selection, index) << "byte 3 = " << r;
    }
}

TEST(CodecLowVoltCut, Type13UsesModeAndValueBytes) {
    SetupState s = MakeState(13);
    Bytes rec(26, 0);
    rec[1] = 1;
    rec[2] = 77;
    Read(s, rec);
    EXPECT_EQ(s.List(ParamId::LowVoltCut).selection, 1);
    BuildWritePairs(s);
    EXPECT_EQ(PairValue(s, 2, 0xE3), 1);
    EXPECT_EQ(PairValue(s, 3, 0xD3), 77);  // byte 2 of lastRecord for modes 0 and 1
    s.List(ParamId::LowVoltCut).Select(152);
    BuildWritePairs(s);
    EXPECT_EQ(PairValue(s, 2, 0xE3), 2);
    EXPECT_EQ(PairValue(s, 3, 0xD3), 200);
}

TEST(CodecLowVoltCut, Lv4AndLv8Tables) {
    const std::map<int, int> lv4 = {{0, 0}, {29, 1}, {30, 2}, {32, 3}, {31, -1}, {1, -1}};
    for (const auto& [r, index] : lv4) {
        for (int type : {2, 12, 15}) {
            SetupState s = MakeState(type);
            Bytes rec(static_cast<std::size_t>(RecordDataBytes(type)), 0);
            rec[3] = static_cast<std::uint8_t>(r);
            Read(s, rec);
            EXPECT_EQ(s.List(ParamId::LowVoltCut).selection, index)
                << "type " << type << " r " << r;
        }
    }
    const std::map<int, int> lv8 = {{0, 0}, {1, 1}, {30, 1}, {32, 2}, {34, 3}, {36, 4}, {29, -1}};
    for (const auto& [r, index] : lv8) {
        SetupState s = MakeState(4);
        Bytes rec(26, 0);
        rec[3] = static_cast<std::uint8_t>(r);
        Read(s, rec);
        EXPECT_EQ(s.List(ParamId::LowVoltCut).selection, index) << "r " << r;
    }
    const std::array<int, 5> lv8Values = {0, 30, 32, 34, 36};
    SetupState s = MakeState(4);
    for (int i = 0; i < 5; ++i) {
        s.List(ParamId::LowVoltCut).Select(i);
        BuildWritePairs(s);
        EXPECT_EQ(PairValue(s, 3, 0xE3), lv8Values[static_cast<std::size_t>(i)]);
    }
}

// ---- Other codes -----------------------------------------------------------------------

TEST(CodecCodes, InitialBrakeTwoHundredIsEqualsDragBrake) {
    SetupState s = MakeState(2);
    Bytes rec(22, 0);
    rec[8] = 200;
    Read(s, rec);
    EXPECT_EQ(s.List(ParamId::InitialBrake).selection, 0);
    rec[8] = 0;
    Read(s, rec);
    EXPECT_EQ(s.List(ParamId::InitialBrake).selection, 1);
    rec[8] = 51;  // index 52 is past the 52 entries
    Read(s, rec);
    EXPECT_EQ(s.List(ParamId::InitialBrake).selection, -1);

    const std::map<int, int> indexToValue = {{0, 200}, {1, 0}, {51, 50}};
    for (const auto& [i, value] : indexToValue) {
        s.List(ParamId::InitialBrake).Select(i);
        BuildWritePairs(s);
        EXPECT_EQ(PairValue(s, 8, 0xE7), value) << "index " << i;
    }
}

TEST(CodecCodes, FullBrakeTableOfLayoutC) {
    const std::array<int, 11> values = {15, 30, 40, 50, 65, 75, 80, 85, 90, 95, 100};
    for (std::size_t i = 0; i < values.size(); ++i) {
        SetupState s = MakeState(13);
        Bytes rec(26, 0);
        rec[6] = static_cast<std::uint8_t>(values[i]);
        Read(s, rec);
        EXPECT_EQ(s.List(ParamId::FullBrake).selection, static_cast<int>(i));
        BuildWritePairs(s);
        EXPECT_EQ(PairValue(s, 5, 0xE5), values[i]);
    }
    SetupState s = MakeState(13);
    Bytes rec(26, 0);
    rec[6] = 60;
    Read(s, rec);
    EXPECT_EQ(s.List(ParamId::FullBrake).selection, -1);
}

TEST(CodecCodes, SmallCodesDecode) {
    SetupState s = MakeState(13);
    Bytes rec(26, 0);
    rec[7] = 0;   // RS: 0 / 25 - 1 = -1
    rec[8] = 5;   // N3: 5 / 3 = 1
    rec[22] = 1;  // Z1: 1 - 1 = 0
    rec[23] = 0;  // M1: -1
    Read(s, rec);
    EXPECT_EQ(s.List(ParamId::ReverseSpeed).selection, -1);
    EXPECT_EQ(s.List(ParamId::NeutralDeadBand).selection, 1);
    EXPECT_EQ(s.List(ParamId::LipoCells).selection, 0);
    EXPECT_EQ(s.List(ParamId::BrakeRateControl).selection, -1);
    s.List(ParamId::LipoCells).Select(3);
    BuildWritePairs(s);
    EXPECT_EQ(PairValue(s, 16, 0xF3), 4);  // Z1: i + 1
    EXPECT_EQ(PairValue(s, 9, 0xE8), 5);   // not changed: the ESC's 5, not 3 i
    s.List(ParamId::NeutralDeadBand).Select(2);
    BuildWritePairs(s);
    EXPECT_EQ(PairValue(s, 9, 0xE8), 6);  // N3: 3 i

    SetupState a = MakeState(3);
    Bytes recA(22, 0);
    recA[6] = 0;   // FB5: (0 - 75) / 5 < 0
    recA[9] = 7;   // ND3: 7 / 3 = 2
    recA[7] = 99;  // RS: 99 / 25 - 1 = 2
    Read(a, recA);
    EXPECT_EQ(a.List(ParamId::FullBrake).selection, -1);
    EXPECT_EQ(a.List(ParamId::NeutralDeadBand).selection, 2);
    EXPECT_EQ(a.List(ParamId::ReverseSpeed).selection, 2);
}

// ---- ApplySettingsRecord bookkeeping ---------------------------------------------------

TEST(CodecApply, ClearsOldSelectionsAndLeavesLastRecordAlone) {
    SetupState s = MakeState(4);
    s.List(ParamId::PowerLevel2).Select(3);  // not decoded for type 4
    s.lastRecord.fill(0x5C);
    Bytes rec(26, 0);
    rec[0] = 2;
    const auto buf = Reply(rec);
    ApplySettingsRecord(s, buf.data());
    EXPECT_EQ(s.List(ParamId::PowerLevel2).selection, -1);
    EXPECT_EQ(s.List(ParamId::OperationMode).selection, 2);
    for (std::uint8_t b : s.lastRecord) EXPECT_EQ(b, 0x5C);
}

// ---- Lists without a selection send back what the ESC reported ---------------------------

TEST(CodecNoSelection, WriteWithoutReadSendsZerosInD3AndF2) {
    for (int type : {2, 11, 12, 13, 16}) {
        SetupState s = MakeState(type);
        BuildWritePairs(s);
        const bool layoutCOrD = type >= 13;  // C and D send 0xD3 third, 0xF2 thirteenth
        EXPECT_EQ(PairValue(s, layoutCOrD ? 3 : 4, 0xD3), 0) << "type " << type;
        EXPECT_EQ(PairValue(s, layoutCOrD ? 13 : 19, 0xF2), 0) << "type " << type;
    }
}

TEST(CodecNoSelection, ClearedSelectionSendsTheReportedByteBack) {
    SetupState s = MakeState(16);
    Read(s, {2,  100, 0, 29, 0x44, 29, 85, 75, 50, 1,  60, 4, 0,  2, 0,
             10, 3,   0, 5,  0,    0,  0,  1,  0,  68, 0,  1, 20, 9, 20});
    for (ParamId id : {ParamId::FullBrake, ParamId::InitialBrake, ParamId::ReverseSpeed,
                       ParamId::BoostEndRpm, ParamId::BrakeRateControl}) {
        s.List(id).selection = -1;
    }
    s.List(ParamId::DragBrake).selection = 500;  // past the end of the list: no selection either
    BuildWritePairs(s);
    EXPECT_EQ(PairValue(s, 1, 0xE2), 100);
    EXPECT_EQ(PairValue(s, 5, 0xE5), 85);
    EXPECT_EQ(PairValue(s, 8, 0xE7), 50);
    EXPECT_EQ(PairValue(s, 6, 0xE6), 75);
    EXPECT_EQ(PairValue(s, 21, 0xFC), 68);
    EXPECT_EQ(PairValue(s, 25, 0xC4), 1);
}

TEST(CodecNoSelection, UndecodableBytesAreSentBackUnchanged) {
    SetupState s = MakeState(13);
    Bytes rec(26, 0);
    rec[1] = 2, rec[2] = 30;  // LVM mode 2, 3.0 V: index -18
    rec[6] = 60;              // FBT: not in the table
    rec[23] = 0;              // M1: index -1
    rec[24] = 40;             // Coast Value: past the 21 entries
    Read(s, rec);
    for (ParamId id : {ParamId::LowVoltCut, ParamId::FullBrake, ParamId::BrakeRateControl,
                       ParamId::CoastValue}) {
        EXPECT_EQ(s.List(id).selection, -1) << "list " << id;
    }
    BuildWritePairs(s);
    EXPECT_EQ(PairValue(s, 2, 0xE3), 2);
    EXPECT_EQ(PairValue(s, 3, 0xD3), 30);
    EXPECT_EQ(PairValue(s, 5, 0xE5), 60);
    EXPECT_EQ(PairValue(s, 17, 0xC4), 0);
    EXPECT_EQ(PairValue(s, 18, 0xC7), 40);

    SetupState a = MakeState(2);
    Bytes recA(22, 0);
    recA[3] = 31;  // LV4: not in the table
    recA[6] = 3;   // FB5: index -14
    Read(a, recA);
    BuildWritePairs(a);
    EXPECT_EQ(PairValue(a, 3, 0xE3), 31);
    EXPECT_EQ(PairValue(a, 6, 0xE5), 3);
}

// Type 11 keeps Low Volt Cut's mode and voltage in byte 3: after a mode of 2 and up in 0xE3 it
// takes 0xD3 as the voltage and keeps it in byte 3 too. Without a selection both registers
// therefore get byte 3 back; sending byte 4 to 0xD3 (as for modes 0 and 1) would set the ESC's
// Low Volt Cut to byte 4 (fuzz target SettingsRecord: byte 3 = 30, byte 4 = 100 came back as
// index 52, 10.0 V).
TEST(CodecNoSelection, Type11LowVoltCutSendsByte3BackToBothRegisters) {
    for (const int byte3 : {2, 30, 47, 201, 255}) {
        SetupState s = MakeState(11);
        Bytes rec(27, 0);
        rec[3] = static_cast<std::uint8_t>(byte3);  // no index by the decode
        rec[4] = 100;
        Read(s, rec);
        EXPECT_EQ(s.List(ParamId::LowVoltCut).selection, -1);
        BuildWritePairs(s);
        EXPECT_EQ(PairValue(s, 3, 0xE3), byte3);
        EXPECT_EQ(PairValue(s, 4, 0xD3), byte3) << "byte 3 = " << byte3;
    }
    // Modes 0 and 1 keep the voltage register apart, in byte 4: it gets byte 4 back.
    for (const int mode : {0, 1}) {
        SetupState s = MakeState(11);
        Bytes rec(27, 0);
        rec[3] = static_cast<std::uint8_t>(mode);
        rec[4] = 0x3A;
        Read(s, rec);
        s.List(ParamId::LowVoltCut).selection = -1;
        BuildWritePairs(s);
        EXPECT_EQ(PairValue(s, 3, 0xE3), mode);
        EXPECT_EQ(PairValue(s, 4, 0xD3), 0x3A);
    }
}

// ---- What a write does to the ESC --------------------------------------------------------

// The pairs of a write applied to the ESC's settings as the simulated ESC's firmware keeps them
// (its own register map, written independently of the codec), BEC Voltage sent last included.
sim::RegisterFile Written(const SetupState& s, sim::RegisterFile regs) {
    const int pairs = ModelTypeInfoFor(s.modelType).writePairs == kOnePairPerRecordByte
                          ? RecordDataBytes(s.modelType)
                          : ModelTypeInfoFor(s.modelType).writePairs;
    for (int k = 0; k < pairs; ++k) {
        regs.Write(s.writePairs[static_cast<std::size_t>(2 * k)],
                   s.writePairs[static_cast<std::size_t>(2 * k + 1)]);
    }
    const int bec = s.List(ParamId::BecVoltage).selection;
    if (ModelTypeInfoFor(s.modelType).writeSendsBecLast && bec >= 0) {
        regs.Write(0xFE, static_cast<std::uint8_t>(bec));
    }
    return regs;
}

// Every register of every model type's write: what nobody changed stays as the ESC had it,
// byte for byte (settings the model does not have, values the codes cannot express), and a
// changed list changes its own setting and nothing else.
TEST(CodecWrite, ChangesNothingButTheChangedSetting) {
    for (int type = 0; type < kModelTypeCount; ++type) {
        Bytes odd(static_cast<std::size_t>(RecordDataBytes(type)));
        for (std::size_t i = 0; i < odd.size(); ++i) {
            odd[i] = static_cast<std::uint8_t>((i * 37 + 11) % 97 + 1);  // many do not round-trip
        }
        for (const Bytes& record : {sim::FactoryRecord(type), odd}) {
            SCOPED_TRACE("model type " + std::to_string(type) +
                         ", byte 0 = " + std::to_string(record[0]));
            const sim::RegisterFile esc{type, record, 1, 0};
            SetupState s = MakeState(type);
            Read(s, record);
            if (ModelTypeInfoFor(type).readQueriesBec)
                s.List(ParamId::BecVoltage).Select(esc.Bec());
            BuildWritePairs(s);
            EXPECT_EQ(Written(s, esc).record, record);
            EXPECT_EQ(Written(s, esc).Bec(), esc.Bec());

            for (const ParamId id : kParameters) {
                const OptionList& list = s.List(id);
                if (list.selection < 0 || list.entries.size() < 2 || !WritesParameter(type, id))
                    continue;
                SetupState changed = s;
                const int want = (list.selection + 1) % static_cast<int>(list.entries.size());
                changed.List(id).Select(want);
                BuildWritePairs(changed);
                SetupState after = MakeState(type);
                Read(after, Written(changed, esc).record);
                for (const ParamId other : kParameters) {
                    if (other == ParamId::BecVoltage && ModelTypeInfoFor(type).readQueriesBec) {
                        continue;  // kept apart from the record
                    }
                    EXPECT_EQ(after.List(other).selection,
                              other == id ? want : s.List(other).selection)
                        << "changing " << id << " to " << want << ", list " << other;
                }
            }
        }
    }
}

}  // namespace
}  // namespace vorna
