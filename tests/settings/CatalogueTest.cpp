// Parameter catalogue. The expectations here are transcribed from the model tables on
// their own (counts, texts, enable cells, recognition rules), not copied from Catalogue.cpp,
// so a slip in either shows up as a difference.
#include "settings/Catalogue.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "settings/Codec.h"
#include "settings/Profiles.h"
#include "sim/SimulatedEsc.h"
#include "support/TestSupport.h"

namespace vorna {
namespace {

using Texts = std::vector<std::string>;

constexpr int kTypes = 18;

SetupState Filled(int modelType, const std::string& versionText = "1.30") {
    SetupState state;
    state.modelType = modelType;
    state.versionText = versionText;
    FillOptionLists(state);
    return state;
}

int Identify(SetupState& state, int family, int marker, int hardware, int firmware) {
    std::array<std::uint8_t, 7> identity{};
    identity[0] = static_cast<std::uint8_t>(family);
    identity[1] = static_cast<std::uint8_t>(marker);
    identity[2] = static_cast<std::uint8_t>(hardware);
    identity[3] = static_cast<std::uint8_t>(firmware);
    return RecognizeModel(state, identity.data());
}

// The last entry of a list, or a marker when the list is empty.
std::string Last(const OptionList& list) {
    return list.entries.empty() ? "<empty list>" : list.entries.back();
}

// The oracle for RecognizeModel, written from the algorithm paragraph as a switch.
// -1: unchanged.
// clang-format off
int ExpectedModel(int family, int marker, int hardware, int firmware) {
    const bool marked = marker == 0x40;
    switch (family) {
        case 10:
            switch (firmware) {
                case 0: return 4;
                case 1: return 11;
                case 3: return 13;
                default: return -1;
            }
        case 11:
            switch (hardware) {
                case 0x81: return 1;
                case 0x82: return 5;
                case 0x83: return (marked && firmware == 5) ? 16 : 5;
                case 0x85: return 8;
                default: return -1;
            }
        case 12:
            switch (hardware) {
                case 0x81: return firmware == 4 ? 12 : firmware == 5 ? 17 : 3;
                case 0x82: case 0x83: return 6;
                case 0x85: return 9;
                default: return -1;
            }
        case 13:
            switch (hardware) {
                case 0x81: return 2;
                case 0x82: return 7;
                case 0x83: return (marked && firmware == 20) ? 14 : (marked && firmware == 5) ? 15 : 7;
                case 0x85: return 10;
                default: return -1;
            }
        default:
            return 0;
    }
}
// clang-format on

// ---------------------------------------------------------------------------------------------
// RecognizeModel

TEST(CatalogueRecognizeTest, EdgeCases) {
    struct Case {
        int family, marker, hardware, firmware, expected;
    };
    const Case cases[] = {
        {12, 0x40, 0x81, 4, 12},  {12, 0x40, 0x81, 5, 17},  {12, 0x00, 0x81, 5, 17},
        {12, 0xFF, 0x81, 5, 17},  {12, 0x40, 0x81, 3, 3},   {12, 0x00, 0x81, 4, 12},
        {11, 0x40, 0x83, 5, 16},  {11, 0x00, 0x83, 5, 5},   {11, 0x40, 0x83, 4, 5},
        {13, 0x40, 0x83, 20, 14}, {13, 0x40, 0x83, 5, 15},  {13, 0x00, 0x83, 20, 7},
        {13, 0x00, 0x83, 5, 7},   {13, 0x40, 0x83, 3, 7},   {11, 0x40, 0x81, 0, 1},
        {11, 0x40, 0x82, 9, 5},   {11, 0x40, 0x85, 3, 8},   {12, 0x40, 0x82, 3, 6},
        {12, 0x40, 0x83, 5, 6},   {12, 0x40, 0x85, 3, 9},   {13, 0x40, 0x81, 3, 2},
        {13, 0x40, 0x82, 3, 7},   {13, 0x40, 0x85, 3, 10},  {10, 0x40, 0x81, 0, 4},
        {10, 0x40, 0x81, 1, 11},  {10, 0x40, 0x81, 3, 13},  {10, 0x00, 0x99, 1, 11},
        {10, 0x40, 0x00, 3, 13},  {0, 0x40, 0x81, 3, 0},    {9, 0x40, 0x81, 3, 0},
        {14, 0x40, 0x83, 5, 0},   {0xFF, 0x40, 0x85, 1, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message()
                     << c.family << "/" << c.marker << "/" << c.hardware << "/" << c.firmware);
        SetupState state;
        state.versionText = "1.30";
        EXPECT_EQ(Identify(state, c.family, c.marker, c.hardware, c.firmware), c.expected);
        EXPECT_EQ(state.modelType, c.expected);
    }
}

TEST(CatalogueRecognizeTest, UnlistedCodesKeepThePreviousType) {
    SetupState fresh;
    EXPECT_EQ(Identify(fresh, 11, 0x40, 0x84, 3), 0);  // nothing identified before

    SetupState state;
    ASSERT_EQ(Identify(state, 11, 0x40, 0x85, 3), 8);
    EXPECT_EQ(Identify(state, 11, 0x40, 0x84, 3), 8);
    EXPECT_EQ(Identify(state, 12, 0x40, 0x80, 4), 8);
    EXPECT_EQ(Identify(state, 13, 0x40, 0x00, 20), 8);
    EXPECT_EQ(Identify(state, 10, 0x40, 0x81, 2), 8);  // 1:8 ESC R5, unlisted firmware
    EXPECT_EQ(Identify(state, 10, 0x40, 0x81, 20), 8);
    // An unlisted family always gives 0, whatever came before.
    EXPECT_EQ(Identify(state, 14, 0x40, 0x81, 3), 0);
}

TEST(CatalogueRecognizeTest, MatchesTheAlgorithmForEveryNearbyIdentity) {
    const int markers[] = {0x00, 0x40, 0x41};
    for (int family = 8; family <= 15; ++family) {
        for (int hardware = 0x7F; hardware <= 0x87; ++hardware) {
            for (int marker : markers) {
                for (int firmware = 0; firmware <= 21; ++firmware) {
                    SCOPED_TRACE(::testing::Message()
                                 << family << "/" << marker << "/" << hardware << "/" << firmware);
                    const int previous = 9;
                    SetupState state;
                    state.modelType = previous;
                    const int expected = ExpectedModel(family, marker, hardware, firmware);
                    const int want = expected < 0 ? previous : expected;
                    EXPECT_EQ(Identify(state, family, marker, hardware, firmware), want);
                    EXPECT_EQ(state.modelType, want);
                }
            }
        }
    }
}

TEST(CatalogueRecognizeTest, RebuildsTheListsForTheNewType) {
    SetupState state;
    state.versionText = "1.30";
    ASSERT_EQ(Identify(state, 11, 0x40, 0x85, 3), 8);
    EXPECT_EQ(state.List(ParamId::BoostStartRpm).entries.size(), 20u);
    EXPECT_EQ(state.List(ParamId::PowerLevel1).entries.size(), 12u);

    // Unchanged type: the lists are still rebuilt (selections gone).
    state.List(ParamId::OperationMode).Select(2);
    ASSERT_EQ(Identify(state, 11, 0x40, 0x84, 3), 8);
    EXPECT_EQ(state.List(ParamId::OperationMode).selection, -1);
    EXPECT_EQ(state.List(ParamId::BoostStartRpm).entries.size(), 20u);

    ASSERT_EQ(Identify(state, 10, 0x40, 0x81, 3), 13);
    EXPECT_EQ(state.List(ParamId::LowVoltCut).entries.size(), 153u);
    EXPECT_TRUE(state.List(ParamId::BoostStartRpm).entries.empty());
}

// ---------------------------------------------------------------------------------------------
// Option lists

// Number of entries of every parameter list for every model type (versionText "1.30"),
// counted from the option-list table.
TEST(CatalogueListsTest, EntryCountsForEveryType) {
    struct Row {
        ParamId id;
        std::array<int, kTypes> counts;  // types 0 .. 17
    };
    // clang-format off
    const Row rows[] = {
        //                              0    1    2    3    4    5    6    7    8    9   10   11   12   13   14   15   16   17
        {ParamId::OperationMode,    {   3,   3,   3,   3,   3,   3,   3,   3,   3,   3,   3,   3,   3,   3,   3,   3,   3,   3}},
        {ParamId::ReverseSpeed,     {   4,   4,   4,   4,   4,   4,   4,   4,   4,   4,   4,   4,   4,   4,   4,   4,   4,   4}},
        {ParamId::LowVoltCut,       {   4,   4,   4,   4,   5,   4,   4,   4,   4,   4,   4, 153,   4, 153,   4,   4,   4,   4}},
        {ParamId::DragBrake,        {   0, 101, 101, 101,  51, 101, 101, 101, 101, 101, 101,  51, 101, 101, 101, 101, 101, 101}},
        {ParamId::InitialBrake,     {  52,  52,  52,  52,  52,  52,  52,  52,  52,  52,  52,  52,  52,  52,  52,  52,  52,  52}},
        {ParamId::FullBrake,        {   6,   6,   6,   6,   6,   6,   6,   6,   6,   6,   6,   6,   6,  11,   6,   6,   6,   6}},
        {ParamId::BrakeFrequency,   {   6,   6,   6,   6,   2,   4,   4,   4,   6,   6,   6,   2,   4,   0,   5,   5,   5,   5}},
        {ParamId::PwLvSwPoint,      {  21,  21,  21,  21,  21,  21,  21,  21,  21,  21,  21,  21, 101,  21,  21,  21,  21,  21}},
        {ParamId::PowerLevel1,      {   0,  12,  12,  12,  10,  13,  13,  13,  12,  12,  12,   8,  13,   9,  31,  30,  30,  30}},
        {ParamId::PowerLevel2,      {  13,  13,  13,  13,  13,  13,  13,  13,  13,  13,  13,  13,  13,  13,  13,  13,  13,  13}},
        {ParamId::DriveFrequency,   {   6,   6,   6,   6,   1,   4,   5,   5,   6,   6,   6,   1,   6,   0,   6,   6,   6,   6}},
        {ParamId::NeutralDeadBand,  {   5,   5,   5,   5,   5,   5,   5,   5,   5,   5,   5,   5,   5,   3,   3,   3,   3,   3}},
        {ParamId::TempCutSet,       {   3,   3,   3,   3,   2,   2,   2,   2,   3,   3,   3,   2,   2,   3,   3,   3,   3,   3}},
        {ParamId::RotationMode,     {   2,   2,   2,   2,   2,   2,   2,   2,   2,   2,   2,   2,   2,   2,   2,   2,   2,   2}},
        {ParamId::BrakeRateControl, {   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,  20,  20,  20,  20,  20}},
        {ParamId::CoastValue,       {   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,  21,  21,  21,  21,  21}},
        {ParamId::DriveMode,        {   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   2,   0,   0,   0,   0}},
        {ParamId::BecVoltage,       {   2,   2,   2,   2,   2,   2,   2,   2,   2,   2,   2,   2,   2,   2,   2,   2,   2,   2}},
        {ParamId::BoostTiming,      {   0,  61,   0,  61,   0,  61,  61,  61,  61,  61,   0,   0,  61,  16,   0,   0,  61,  61}},
        {ParamId::TurboTiming,      {   0,  61,   0,  61,   0,  61,  61,  61,  61,  61,   0,   0,  61,  16,   0,   0,  61,  61}},
        {ParamId::BoostStartRpm,    {   0,  20,   0,   0,   0,  67,  67,  67,  20,   0,   0,   0,  67,   0,   0,   0,  67,  67}},
        {ParamId::BoostEndRpm,      {   0,   0,   0,   0,   0,  69,  69,  69,   0,   0,   0,   0,  69,   0,   0,   0,  69,  69}},
        {ParamId::BoostAcc,         {   0,  14,   0,  14,   0,   0,   0,   0,  14,  14,   0,   0,   2,   0,   0,   0,   2,   2}},
        {ParamId::TurboSlope,       {   0,   6,   0,   6,   0,   7,   7,   7,   6,   6,   0,   0,  11,   0,   0,   0,   5,   5}},
        {ParamId::LipoCells,        {   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   6,  10,   6,   0,   0,   5,   5}},
        {ParamId::TurboDelay,       {   0,   9,   0,   9,   0,   9,   0,   0,   9,   9,   0,   0,   9,   9,   0,   0,   9,   9}},
        {ParamId::BtSoftPower,      {   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,  21,  21}},
        {ParamId::BtSoftThRange,    {   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,  10,  10}},
    };
    // clang-format on
    ASSERT_EQ(std::size(rows), kParameters.size());
    for (int type = 0; type < kTypes; ++type) {
        const SetupState state = Filled(type);
        for (const Row& row : rows) {
            SCOPED_TRACE(::testing::Message() << "list " << row.id << ", type " << type);
            EXPECT_EQ(static_cast<int>(state.List(row.id).entries.size()), row.counts[type]);
        }
    }
}

// Every entry of every list of every model type can be chosen by its text (as settings files
// and vornactl choose) and, where a write carries the list, sent and read back as itself from
// the simulated ESC's register file: no entry the page offers is unreachable or comes back as
// another one.
TEST(CatalogueListsTest, EveryEntryIsReachableByItsTextAndSurvivesAWrite) {
    for (int type = 0; type < kTypes; ++type) {
        const SetupState fresh = Filled(type);
        const std::vector<std::uint8_t> factory = sim::FactoryRecord(type);
        for (const ParamId id : kParameters) {
            const OptionList& list = fresh.List(id);
            for (int i = 0; i < static_cast<int>(list.entries.size()); ++i) {
                SCOPED_TRACE(::testing::Message() << "type " << type << ", list " << id << ", "
                                                  << list.entries[static_cast<std::size_t>(i)]);
                EXPECT_EQ(MatchEntry(list, list.entries[static_cast<std::size_t>(i)]).index, i);
                if (!WritesParameter(type, id) || id == ParamId::BecVoltage) continue;
                SetupState state = fresh;
                std::array<std::uint8_t, 250> reply{};
                std::copy(factory.begin(), factory.end(), reply.begin());
                ApplySettingsRecord(state, reply.data());
                std::copy(factory.begin(), factory.end(), state.lastRecord.begin());
                state.List(id).Select(i);
                BuildWritePairs(state);
                sim::RegisterFile esc{type, factory, 1, 0};
                const int pairs = ModelTypeInfoFor(type).writePairs == kOnePairPerRecordByte
                                      ? RecordDataBytes(type)
                                      : ModelTypeInfoFor(type).writePairs;
                for (int k = 0; k < pairs; ++k) {
                    esc.Write(state.writePairs[static_cast<std::size_t>(2 * k)],
                              state.writePairs[static_cast<std::size_t>(2 * k + 1)]);
                }
                SetupState read = fresh;
                std::copy(esc.record.begin(), esc.record.end(), reply.begin());
                ApplySettingsRecord(read, reply.data());
                EXPECT_EQ(read.List(id).selection, i);
            }
        }
    }
}

TEST(CatalogueListsTest, LastEntriesOfLongLists) {
    const SetupState t11 = Filled(11);
    ASSERT_EQ(t11.List(ParamId::LowVoltCut).entries.size(), 153u);
    EXPECT_EQ(t11.List(ParamId::LowVoltCut).entries.at(152), "20.0 V");
    EXPECT_EQ(t11.List(ParamId::LowVoltCut).entries.at(2), "5.0 V");
    EXPECT_EQ(Filled(13).List(ParamId::LowVoltCut).entries.at(152), "20.0 V");

    const SetupState t4 = Filled(4);
    ASSERT_EQ(t4.List(ParamId::LowVoltCut).entries.size(), 5u);
    EXPECT_EQ(Last(t4.List(ParamId::LowVoltCut)), "3.6 V");

    for (int type : {1, 3, 8, 9}) {
        // The list belongs to the state: keep the state, not a reference into a temporary.
        const SetupState state = Filled(type);
        const OptionList& acc = state.List(ParamId::BoostAcc);
        ASSERT_EQ(acc.entries.size(), 14u);
        EXPECT_EQ(Last(acc), "700 RPM/deg");
    }
    const SetupState t5 = Filled(5);
    ASSERT_EQ(t5.List(ParamId::BoostStartRpm).entries.size(), 67u);
    EXPECT_EQ(t5.List(ParamId::BoostStartRpm).entries.at(11), "5000");
    EXPECT_EQ(t5.List(ParamId::BoostStartRpm).entries.at(66), "60000");
    ASSERT_EQ(t5.List(ParamId::BoostEndRpm).entries.size(), 69u);
    EXPECT_EQ(Last(t5.List(ParamId::BoostEndRpm)), "70000");
    EXPECT_EQ(t5.List(ParamId::TurboDelay).entries.at(8), "0.40sec");
}

TEST(CatalogueListsTest, FirstPowerLevelDependsOnVersionForSixTypes) {
    for (int type : {1, 2, 3, 8, 9, 10}) {
        SCOPED_TRACE(type);
        EXPECT_EQ(Filled(type, "1.30").List(ParamId::PowerLevel1).entries.size(), 12u);
        EXPECT_EQ(Filled(type, "1.40").List(ParamId::PowerLevel1).entries.size(), 12u);
        EXPECT_EQ(Filled(type, "1.40").List(ParamId::PowerLevel1).entries.at(0), "Level 1");
        EXPECT_EQ(Last(Filled(type, "1.40").List(ParamId::PowerLevel1)), "Level 12");
        EXPECT_TRUE(Filled(type, "1.50").List(ParamId::PowerLevel1).entries.empty());
        EXPECT_TRUE(Filled(type, "1.20").List(ParamId::PowerLevel1).entries.empty());
        EXPECT_TRUE(Filled(type, "").List(ParamId::PowerLevel1).entries.empty());
        EXPECT_TRUE(Filled(type, "1.3").List(ParamId::PowerLevel1).entries.empty());
    }
    // The other types do not look at the version.
    EXPECT_EQ(Filled(4, "1.50").List(ParamId::PowerLevel1).entries.size(), 10u);
    EXPECT_EQ(Filled(12, "").List(ParamId::PowerLevel1).entries.size(), 13u);

    // Through RecognizeModel, as the page does it.
    SetupState state;
    state.versionText = "1.30";
    ASSERT_EQ(Identify(state, 11, 0x40, 0x81, 2), 1);
    EXPECT_EQ(state.List(ParamId::PowerLevel1).entries.size(), 12u);
    state.versionText = "1.50";
    ASSERT_EQ(Identify(state, 11, 0x40, 0x81, 4), 1);
    EXPECT_TRUE(state.List(ParamId::PowerLevel1).entries.empty());
}

TEST(CatalogueListsTest, FirstPowerLevelStartsAtZeroForType14AndOneForType15) {
    EXPECT_EQ(Filled(14).List(ParamId::PowerLevel1).entries.at(0), "Level 0");
    EXPECT_EQ(Last(Filled(14).List(ParamId::PowerLevel1)), "Level 30");
    EXPECT_EQ(Filled(15).List(ParamId::PowerLevel1).entries.at(0), "Level 1");
    EXPECT_EQ(Last(Filled(15).List(ParamId::PowerLevel1)), "Level 30");
}

// ---------------------------------------------------------------------------------------------
// Enabled lists

// The "which lists are usable" table, cell by cell. "·" (keep) ends up enabled because
// every fill starts from the page's creation state.
TEST(CatalogueEnableTest, EnabledStateForEveryType) {
    struct Row {
        std::vector<ParamId> ids;
        std::array<const char*, kTypes> cells;  // types 0 .. 17
    };
    // clang-format off
    const std::vector<Row> rows = {
        //                                                0      1      2      3      4      5      6      7      8      9      10     11     12     13     14     15     16     17
        {{ParamId::BrakeFrequency},                      {"on", "on",  "on",  "on",  "on",  "on",  "on",  "on",  "on",  "on",  "on",  "on",  "on",  "off", "on",  "on",  "on",  "on"}},
        {{ParamId::DriveFrequency},                      {"·",  "·",   "·",   "·",   "·",   "·",   "·",   "·",   "·",   "·",   "·",   "·",   "·",   "off", "·",   "·",   "·",   "·"}},
        {{ParamId::RotationMode},                        {"·",  "·",   "·",   "·",   "·",   "·",   "·",   "·",   "·",   "·",   "·",   "·",   "·",   "on",  "·",   "·",   "·",   "·"}},
        {{ParamId::BoostTiming, ParamId::TurboTiming},   {"·",  "on",  "off", "on",  "off", "on",  "on",  "off", "on",  "on",  "off", "off", "on",  "on",  "off", "off", "·",   "·"}},
        {{ParamId::TurboSlope},                          {"·",  "on",  "off", "on",  "off", "on",  "on",  "off", "on",  "on",  "off", "off", "on",  "off", "off", "off", "on",  "on"}},
        {{ParamId::BoostStartRpm},                       {"·",  "on",  "off", "on",  "off", "on",  "on",  "off", "on",  "on",  "off", "off", "on",  "off", "off", "off", "·",   "·"}},
        {{ParamId::TurboDelay},                          {"·",  "on",  "off", "on",  "off", "on",  "on",  "off", "on",  "on",  "off", "off", "on",  "on",  "·",   "·",   "on",  "on"}},
        {{ParamId::BoostAcc},                            {"on", "on",  "on",  "on",  "on",  "on",  "on",  "on",  "on",  "on",  "on",  "off", "on",  "off", "on",  "on",  "on",  "on"}},
        {{ParamId::BecVoltage},                          {"·",  "off", "off", "off", "on",  "on",  "on",  "on",  "on",  "on",  "on",  "on",  "on",  "on",  "on",  "on",  "on",  "on"}},
        {{ParamId::PowerLevel2, ParamId::PwLvSwPoint},   {"off", "off", "off", "off", "off", "on", "on",  "on",  "off", "off", "off", "off", "on",  "off", "off", "off", "off", "off"}},
        {{ParamId::BoostEndRpm},                         {"off", "off", "off", "off", "off", "on", "on",  "off", "off", "off", "off", "off", "on",  "off", "off", "off", "on",  "on"}},
        {{ParamId::LipoCells},                           {"·",  "·",   "·",   "·",   "·",   "·",   "·",   "·",   "·",   "·",   "·",   "·",   "·",   "·",   "·",   "·",   "on",  "on"}},
        {{ParamId::CoastValue},                          {"·",  "·",   "·",   "·",   "·",   "·",   "·",   "·",   "·",   "·",   "·",   "·",   "·",   "·",   "on",  "on",  "on",  "on"}},
        {{ParamId::DriveMode},                           {"·",  "·",   "·",   "·",   "·",   "·",   "·",   "·",   "·",   "·",   "·",   "·",   "·",   "on",  "off", "off", "off", "off"}},
        {{ParamId::BtSoftPower, ParamId::BtSoftThRange}, {"·",  "·",   "·",   "·",   "·",   "·",   "·",   "·",   "·",   "·",   "·",   "·",   "·",   "off", "·",   "·",   "on",  "on"}},
    };
    // clang-format on
    // Lists no model type disables.
    const ParamId alwaysOn[] = {ParamId::OperationMode, ParamId::ReverseSpeed,
                                ParamId::LowVoltCut,    ParamId::DragBrake,
                                ParamId::InitialBrake,  ParamId::FullBrake,
                                ParamId::PowerLevel1,   ParamId::NeutralDeadBand,
                                ParamId::TempCutSet,    ParamId::BrakeRateControl};

    for (int type = 0; type < kTypes; ++type) {
        // Start from a page where everything is disabled and selected, so "keep" must really
        // come from the reset and not from the starting state.
        SetupState state;
        for (ParamId id : kParameters) {
            state.List(id).entries = {"stale"};
            state.List(id).selection = 0;
            state.List(id).enabled = false;
        }
        state.modelType = type;
        state.versionText = "1.30";
        FillOptionLists(state);
        for (const Row& row : rows) {
            const std::string cell = row.cells[type];
            ASSERT_TRUE(cell == "on" || cell == "off" || cell == "·") << cell;
            for (ParamId id : row.ids) {
                SCOPED_TRACE(::testing::Message() << "list " << id << ", type " << type);
                EXPECT_EQ(state.List(id).enabled, cell != "off");
            }
        }
        for (ParamId id : alwaysOn) {
            SCOPED_TRACE(::testing::Message() << "list " << id << ", type " << type);
            EXPECT_TRUE(state.List(id).enabled);
        }
        for (ParamId id : kParameters) {
            SCOPED_TRACE(::testing::Message() << "list " << id << ", type " << type);
            EXPECT_EQ(state.List(id).selection, -1);
            for (const std::string& entry : state.List(id).entries) EXPECT_NE(entry, "stale");
        }
    }
}

// ---------------------------------------------------------------------------------------------
// Fill: idempotence, reset between identifications, special rules

void ExpectSameLists(const SetupState& a, const SetupState& b) {
    for (ParamId id : kAllLists) {
        SCOPED_TRACE(::testing::Message() << "list " << id);
        EXPECT_EQ(a.List(id).entries, b.List(id).entries);
        EXPECT_EQ(a.List(id).selection, b.List(id).selection);
        EXPECT_EQ(a.List(id).enabled, b.List(id).enabled);
    }
}

TEST(CatalogueFillTest, RunningTwiceEqualsRunningOnceForEveryType) {
    for (const char* version : {"1.30", "1.50"}) {
        for (int type = 0; type < kTypes; ++type) {
            SCOPED_TRACE(::testing::Message() << "type " << type << ", version " << version);
            SetupState once = Filled(type, version);
            SetupState twice = Filled(type, version);
            FillOptionLists(twice);
            ExpectSameLists(once, twice);
            for (ParamId id : kParameters) {
                const Texts& entries = once.List(id).entries;
                EXPECT_EQ(std::set<std::string>(entries.begin(), entries.end()).size(),
                          entries.size())
                    << "duplicate entry in list " << id;
            }
        }
    }
}

TEST(CatalogueFillTest, NothingCarriesOverFromThePreviousModel) {
    // For every ordered pair of types: identify one, select and disable things, then fill for
    // the other; the result equals a fill on a fresh page.
    for (int before = 0; before < kTypes; ++before) {
        for (int after = 0; after < kTypes; ++after) {
            SCOPED_TRACE(::testing::Message() << before << " -> " << after);
            SetupState state = Filled(before);
            for (ParamId id : kParameters) {
                state.List(id).Select(0);
                state.List(id).enabled = (static_cast<int>(id) % 2) == 0;
            }
            state.modelType = after;
            FillOptionLists(state);
            SetupState fresh = Filled(after);
            ExpectSameLists(state, fresh);
        }
    }
}

TEST(CatalogueFillTest, ListsOfATypeSixteenDoNotStayForATypeFive) {
    SetupState state;
    state.versionText = "1.30";
    ASSERT_EQ(Identify(state, 11, 0x40, 0x83, 5), 16);
    ASSERT_EQ(state.List(ParamId::BtSoftPower).entries.size(), 21u);
    state.List(ParamId::BtSoftPower).Select(3);
    state.List(ParamId::BtSoftThRange).Select(1);
    state.List(ParamId::CoastValue).Select(5);

    ASSERT_EQ(Identify(state, 11, 0x40, 0x82, 5), 5);
    for (ParamId id : {ParamId::BrakeRateControl, ParamId::CoastValue, ParamId::DriveMode,
                       ParamId::BtSoftPower, ParamId::BtSoftThRange}) {
        SCOPED_TRACE(id);
        EXPECT_TRUE(state.List(id).entries.empty());
        EXPECT_TRUE(state.List(id).enabled);
        EXPECT_EQ(state.List(id).selection, -1);
    }

    // A Drive Mode choice of a type-13 ESC disables Turbo Timing; the next ESC gets it back.
    ASSERT_EQ(Identify(state, 10, 0x40, 0x81, 3), 13);
    state.List(ParamId::TurboTiming).Select(4);
    ApplyDriveModeChoice(state, 0);
    ASSERT_FALSE(state.List(ParamId::TurboTiming).enabled);
    ASSERT_EQ(Identify(state, 11, 0x40, 0x82, 5), 5);
    EXPECT_TRUE(state.List(ParamId::TurboTiming).enabled);
    EXPECT_TRUE(state.List(ParamId::TurboDelay).enabled);
    EXPECT_EQ(state.List(ParamId::TurboTiming).entries.size(), 61u);
}

TEST(CatalogueFillTest, CategoryAndSetupSheetAreNotTouched) {
    SetupState state;
    state.List(ParamId::Category).entries = {"Modify Touring", "Drift Car"};
    state.List(ParamId::Category).Select(1);
    state.List(ParamId::SetupSheet).entries = {"A", "b"};
    state.List(ParamId::SetupSheet).Select(0);
    state.List(ParamId::SetupSheet).enabled = false;
    for (int type = 0; type < kTypes; ++type) {
        state.modelType = type;
        FillOptionLists(state);
        EXPECT_EQ(state.List(ParamId::Category).entries, (Texts{"Modify Touring", "Drift Car"}));
        EXPECT_EQ(state.List(ParamId::Category).selection, 1);
        EXPECT_TRUE(state.List(ParamId::Category).enabled);
        EXPECT_EQ(state.List(ParamId::SetupSheet).entries, (Texts{"A", "b"}));
        EXPECT_EQ(state.List(ParamId::SetupSheet).selection, 0);
        EXPECT_FALSE(state.List(ParamId::SetupSheet).enabled);
    }
}

TEST(CatalogueFillTest, Type13DisabledListsLoseTheirSelection) {
    SetupState state = Filled(13);
    for (ParamId id : {ParamId::BoostStartRpm, ParamId::BoostEndRpm, ParamId::BoostAcc,
                       ParamId::BtSoftPower, ParamId::BtSoftThRange}) {
        state.List(id).selection = 2;  // as if left over, whatever the list holds
    }
    FillOptionLists(state);
    for (ParamId id : {ParamId::BoostStartRpm, ParamId::BoostEndRpm, ParamId::BoostAcc,
                       ParamId::BtSoftPower, ParamId::BtSoftThRange}) {
        SCOPED_TRACE(id);
        EXPECT_EQ(state.List(id).selection, -1);
        EXPECT_FALSE(state.List(id).enabled);
    }
    // Type 13's Turbo Timing and Turbo Delay are usable until Drive Mode says otherwise.
    EXPECT_TRUE(state.List(ParamId::TurboTiming).enabled);
    EXPECT_TRUE(state.List(ParamId::TurboDelay).enabled);
    EXPECT_TRUE(state.List(ParamId::DriveMode).enabled);
    EXPECT_FALSE(state.List(ParamId::BrakeFrequency).enabled);
    EXPECT_FALSE(state.List(ParamId::DriveFrequency).enabled);
}

TEST(CatalogueFillTest, Types14And15EmptyAndDisableTheBoostLists) {
    for (int type : {14, 15}) {
        SCOPED_TRACE(type);
        SetupState state = Filled(5);  // a type with all these lists filled
        ASSERT_FALSE(state.List(ParamId::BoostStartRpm).entries.empty());
        for (ParamId id : kParameters) state.List(id).Select(0);
        state.modelType = type;
        FillOptionLists(state);
        for (ParamId id : {ParamId::BoostTiming, ParamId::TurboSlope, ParamId::TurboTiming,
                           ParamId::BoostStartRpm, ParamId::BoostEndRpm}) {
            SCOPED_TRACE(id);
            EXPECT_TRUE(state.List(id).entries.empty());
            EXPECT_FALSE(state.List(id).enabled);
            EXPECT_EQ(state.List(id).selection, -1);
        }
        // Turbo Delay is a "keep" cell for 14 and 15: enabled, and empty by its table.
        EXPECT_TRUE(state.List(ParamId::TurboDelay).enabled);
        EXPECT_TRUE(state.List(ParamId::TurboDelay).entries.empty());
    }
}

TEST(CatalogueFillTest, Type6TurboDelayIsEnabledButEmpty) {
    const SetupState state = Filled(6);
    EXPECT_TRUE(state.List(ParamId::TurboDelay).enabled);
    EXPECT_TRUE(state.List(ParamId::TurboDelay).entries.empty());
}

// ---------------------------------------------------------------------------------------------
// Drive Mode dependency

TEST(CatalogueDriveModeTest, FullSensoredEnablesTurboTimingAndDelay) {
    SetupState state;
    state.versionText = "1.30";
    ASSERT_EQ(Identify(state, 10, 0x40, 0x81, 3), 13);
    ASSERT_EQ(state.List(ParamId::DriveMode).entries.at(0), "Sensored/Sonsorless Hybrid");
    state.List(ParamId::TurboTiming).Select(7);
    state.List(ParamId::TurboDelay).Select(2);

    state.List(ParamId::DriveMode).Select(0);
    ApplyDriveModeChoice(state, 0);
    EXPECT_FALSE(state.List(ParamId::TurboTiming).enabled);
    EXPECT_FALSE(state.List(ParamId::TurboDelay).enabled);
    EXPECT_EQ(state.List(ParamId::TurboTiming).selection, -1);
    EXPECT_EQ(state.List(ParamId::TurboDelay).selection, -1);
    EXPECT_EQ(state.List(ParamId::TurboTiming).entries.size(), 16u);  // entries stay

    state.List(ParamId::DriveMode).Select(1);
    ApplyDriveModeChoice(state, 1);
    EXPECT_TRUE(state.List(ParamId::TurboTiming).enabled);
    EXPECT_TRUE(state.List(ParamId::TurboDelay).enabled);
    EXPECT_EQ(state.List(ParamId::TurboTiming).selection, -1);

    // Enabling keeps a selection made meanwhile.
    state.List(ParamId::TurboDelay).Select(3);
    ApplyDriveModeChoice(state, 1);
    EXPECT_EQ(state.List(ParamId::TurboDelay).selection, 3);

    for (int index : {-1, 2, 5}) {
        SCOPED_TRACE(index);
        state.List(ParamId::TurboTiming).Select(1);
        ApplyDriveModeChoice(state, 1);
        ApplyDriveModeChoice(state, index);
        EXPECT_FALSE(state.List(ParamId::TurboTiming).enabled);
        EXPECT_FALSE(state.List(ParamId::TurboDelay).enabled);
        EXPECT_EQ(state.List(ParamId::TurboTiming).selection, -1);
    }
}

TEST(CatalogueDriveModeTest, TouchesNoOtherList) {
    SetupState state = Filled(13);
    SetupState before = state;
    ApplyDriveModeChoice(state, 0);
    for (ParamId id : kAllLists) {
        if (id == ParamId::TurboTiming || id == ParamId::TurboDelay) continue;
        SCOPED_TRACE(id);
        EXPECT_EQ(state.List(id).enabled, before.List(id).enabled);
        EXPECT_EQ(state.List(id).selection, before.List(id).selection);
        EXPECT_EQ(state.List(id).entries, before.List(id).entries);
    }
}

// ---------------------------------------------------------------------------------------------
// Captions

TEST(CatalogueCaptionTest, AlternateMiddleCaptionsForTypes12And14To17) {
    const std::set<int> alternate = {12, 14, 15, 16, 17};
    for (int type = -1; type <= kTypes; ++type) {
        SCOPED_TRACE(type);
        const bool alt = alternate.count(type) != 0;
        EXPECT_EQ(UsesAlternateMiddleCaptions(type), alt);
        EXPECT_EQ(ListCaption(ParamId::BoostAcc, type),
                  alt ? "Boost Timing Activation" : "Boost ACC");
        EXPECT_EQ(ListCaption(ParamId::TurboSlope, type), alt ? "Turbo On Slope" : "Turbo Slope");
        EXPECT_EQ(ListCaption(ParamId::LipoCells, type), alt ? "Turbo Off Slope" : "Lipo Cells");
    }
}

TEST(CatalogueCaptionTest, EveryParameterListHasItsCaption) {
    const std::vector<std::pair<ParamId, std::string>> captions = {
        {ParamId::OperationMode, "Operation Mode"},
        {ParamId::ReverseSpeed, "Reverse Speed"},
        {ParamId::LowVoltCut, "Low Volt Cut"},
        {ParamId::DragBrake, "Drag Brake"},
        {ParamId::InitialBrake, "Initial Brake"},
        {ParamId::FullBrake, "Full Brake"},
        {ParamId::BrakeFrequency, "Brake Frequency"},
        {ParamId::PwLvSwPoint, "PW LV SW Point"},
        {ParamId::PowerLevel1, "1st Power Level"},
        {ParamId::PowerLevel2, "2nd Power Level"},
        {ParamId::DriveFrequency, "Drive Frequency"},
        {ParamId::NeutralDeadBand, "NEU Dead Band"},
        {ParamId::TempCutSet, "Temp Cut Set"},
        {ParamId::RotationMode, "Rotation Mode"},
        {ParamId::BrakeRateControl, "Brake Rate Control"},
        {ParamId::CoastValue, "Coast Value"},
        {ParamId::DriveMode, "Drive Mode"},
        {ParamId::BecVoltage, "BEC Voltage"},
        {ParamId::BoostTiming, "Boost Timing"},
        {ParamId::BoostStartRpm, "Boost Start RPM"},
        {ParamId::BoostEndRpm, "Boost End RPM"},
        {ParamId::BoostAcc, "Boost ACC"},
        {ParamId::TurboTiming, "Turbo Timing"},
        {ParamId::TurboSlope, "Turbo Slope"},
        {ParamId::LipoCells, "Lipo Cells"},
        {ParamId::TurboDelay, "Turbo Delay"},
        {ParamId::BtSoftPower, "BT Soft Power"},
        {ParamId::BtSoftThRange, "BT Soft TH Range"},
    };
    ASSERT_EQ(captions.size(), kParameters.size());
    for (const auto& [id, caption] : captions) {
        EXPECT_EQ(ListCaption(id, 0), caption) << id;
        EXPECT_EQ(ListCaption(id, 13), caption) << id;
        if (id != ParamId::BoostAcc && id != ParamId::TurboSlope && id != ParamId::LipoCells) {
            EXPECT_EQ(ListCaption(id, 16), caption) << id;
        }
    }
    EXPECT_EQ(ListCaption(static_cast<ParamId>(-1), 0), "");
    EXPECT_EQ(ListCaption(ParamId::Category, 0), "");
    EXPECT_EQ(ListCaption(static_cast<ParamId>(9999), 12), "");
}

}  // namespace
}  // namespace vorna
