// The settings-record codec (Codec: ApplySettingsRecord, BuildWritePairs) with the catalogue's
// lists, for every model type (and types outside the table), any record and any selections.
// The pairs a write sends are applied to the record by the ESC's own register map (the one
// the simulated ESC keeps, written out again below), and the record read back then. Beyond
// not crashing:
// - a decoded record selects an entry of each list or none;
// - a write sends one pair per pair the model type's write sends, each to a register the ESC
//   has, and nothing past them;
// - writing back the selections just read changes no setting: the record read afterwards
//   decodes to the same selections (each code's encode is the inverse of its decode, and a
//   list without a selection sends back the byte the ESC reported);
// - writing any selections changes no setting whose list has no selection, and every list
//   that the ESC reported a setting for and the PC writes reads back as selected.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "FuzzCheck.h"
#include "FuzzSetup.h"
#include "settings/Codec.h"

namespace {

using namespace vorna;
using fuzz::Require;

constexpr std::size_t kBufferBytes = 250;
constexpr std::size_t kHeader = 3;  // model type, version, BEC answer
constexpr std::uint8_t kUnwritten = 0xA5;

struct Slot {
    std::uint8_t reg;
    int byte;
};

// Where each register lands in the record, as src/sim/SimulatedEsc.cpp keeps it for the ESC.
// 0xF2 of layouts B and D is kept apart from the record.
// clang-format off
constexpr Slot kSlotsA[] = {
    {0xE1, 0},  {0xE2, 1},  {0xE3, 3},  {0xD3, 4},  {0xE4, 5},  {0xE5, 6},
    {0xE6, 7},  {0xE7, 8},  {0xE8, 9},  {0xE9, 10}, {0xEA, 11}, {0xEB, 12},
    {0xEC, 13}, {0xED, 14}, {0xEE, 15}, {0xF0, 17}, {0xF1, 18}, {0xF2, 19},
    {0xF5, 21}, {0xFE, 22}, {0xF9, 23}, {0xFC, 24}, {0xFA, 25}, {0xF3, 26}};
constexpr Slot kSlotsB[] = {
    {0xE1, 0},  {0xE2, 1},  {0xE3, 3},  {0xD3, 4},  {0xE4, 5},  {0xE5, 6},
    {0xE6, 7},  {0xE7, 8},  {0xE8, 9},  {0xE9, 10}, {0xC1, 11}, {0xC2, 12},
    {0xEB, 13}, {0xEC, 14}, {0xED, 15}, {0xEE, 16}, {0xF0, 18}, {0xF1, 19},
    {0xF5, 22}, {0xFE, 23}, {0xF9, 24}, {0xFC, 25}, {0xFA, 26}, {0xC3, 27}};
constexpr Slot kSlotsC[] = {
    {0xE1, 0},  {0xE3, 1},  {0xD3, 2},  {0xE4, 3},  {0xE2, 4},  {0xE7, 5},  {0xE5, 6},
    {0xE6, 7},  {0xE8, 8},  {0xE9, 10}, {0xEC, 13}, {0xEE, 15}, {0xEB, 16}, {0xF2, 19},
    {0xF5, 20}, {0xFE, 21}, {0xF3, 22}, {0xC4, 23}, {0xC7, 24}, {0xC8, 25}};
constexpr Slot kSlotsD[] = {
    {0xE1, 0},  {0xE2, 1},  {0xE3, 3},  {0xD3, 4},  {0xE4, 5},  {0xE5, 6},  {0xE6, 7},
    {0xE7, 8},  {0xE8, 9},  {0xE9, 10}, {0xC1, 11}, {0xC2, 12}, {0xEB, 13}, {0xEC, 14},
    {0xED, 15}, {0xEE, 16}, {0xF0, 18}, {0xF1, 19}, {0xF5, 22}, {0xFE, 23}, {0xFC, 24},
    {0xC3, 25}, {0xC4, 26}, {0xC5, 27}, {0xC6, 28}, {0xC7, 29}};
// clang-format on

template <std::size_t N>
const Slot* FindSlot(const Slot (&slots)[N], std::uint8_t reg) {
    for (const Slot& s : slots) {
        if (s.reg == reg) return &s;
    }
    return nullptr;
}

// The register's slot in the record, or nothing for a register kept apart or unknown.
const Slot* SlotOf(int type, std::uint8_t reg) {
    switch (ModelTypeInfoFor(type).layout) {
        case RecordLayout::A:
            return FindSlot(kSlotsA, reg);
        case RecordLayout::B:
            return FindSlot(kSlotsB, reg);
        case RecordLayout::C:
            return FindSlot(kSlotsC, reg);
        case RecordLayout::D:
            break;
    }
    return FindSlot(kSlotsD, reg);
}

// The ESC's side of a write, as the simulated ESC takes pairs.
struct Esc {
    int type;
    std::vector<std::uint8_t> record;  // the data bytes
    std::uint8_t bec;                  // BEC Voltage of the models that keep it apart
    std::uint8_t lowVoltMode = 0;

    void Take(std::uint8_t reg, std::uint8_t value) {
        if (reg == 0xFE) {
            if (value == 0x02) return;  // the BEC Voltage query
            const Slot* slot = SlotOf(type, reg);
            if (!ModelTypeInfoFor(type).readQueriesBec && slot != nullptr &&
                static_cast<std::size_t>(slot->byte) < record.size()) {
                record[static_cast<std::size_t>(slot->byte)] = value;
            } else {
                bec = value;
            }
            return;
        }
        if (type == 11 && (reg == 0xE3 || reg == 0xD3)) {
            // Mode and voltage share byte 3: 0, 1, or the voltage.
            if (reg == 0xE3) {
                lowVoltMode = value;
                if (value < 2) record[3] = value;
            } else if (lowVoltMode >= 2) {
                record[3] = value;
            } else {
                record[4] = value;
            }
            return;
        }
        const Slot* slot = SlotOf(type, reg);
        if (slot != nullptr && static_cast<std::size_t>(slot->byte) < record.size()) {
            record[static_cast<std::size_t>(slot->byte)] = value;
        }
    }
};

int PairCount(int type) {
    const ModelTypeInfo& info = ModelTypeInfoFor(type);
    return info.writePairs != kOnePairPerRecordByte ? info.writePairs : info.RecordDataBytes();
}

// Reads a record as the transfer does: decode, keep the data bytes, and for the models that
// keep BEC Voltage apart, select what the ESC answers to the query.
SetupState Read(const SetupState& lists, const std::array<std::uint8_t, kBufferBytes>& buffer,
                std::uint8_t becAnswer) {
    SetupState state = lists;
    ApplySettingsRecord(state, buffer.data());
    for (ParamId id : kParameters) {
        Require(fuzz::SelectionInRange(state.List(id)),
                "a decoded record selects an entry of the list or none");
    }
    const auto n = std::min<std::size_t>(static_cast<std::size_t>(RecordDataBytes(state.modelType)),
                                         state.lastRecord.size());
    state.lastRecord.fill(0);
    std::copy_n(buffer.begin(), n, state.lastRecord.begin());
    if (ModelTypeInfoFor(state.modelType).readQueriesBec) {
        state.List(ParamId::BecVoltage).Select(becAnswer);
    }
    return state;
}

// Builds the pairs, checks them, and applies them to the ESC as a write sends them: the
// pairs, then BEC Voltage once more on the models that take it last.
void Write(SetupState& state, Esc& esc) {
    state.writePairs.fill(kUnwritten);
    BuildWritePairs(state);
    const auto count = static_cast<std::size_t>(PairCount(state.modelType));
    Require(count <= state.writePairs.size() / 2, "the pairs fit the write buffer");
    for (std::size_t k = 0; k < count; ++k) {
        const std::uint8_t reg = state.writePairs[2 * k];
        Require(reg == 0xF2 || reg == 0xFE || SlotOf(state.modelType, reg) != nullptr,
                "a pair goes to a register of the ESC");
        esc.Take(reg, state.writePairs[2 * k + 1]);
    }
    for (std::size_t i = 2 * count; i < state.writePairs.size(); ++i) {
        Require(state.writePairs[i] == kUnwritten, "nothing is built past the pairs a write sends");
    }
    const int bec = state.List(ParamId::BecVoltage).selection;
    if (ModelTypeInfoFor(state.modelType).writeSendsBecLast && bec >= 0) {
        esc.Take(0xFE, static_cast<std::uint8_t>(bec));
    }
}

// What the ESC holds after a write, read again.
SetupState ReadBack(const SetupState& lists, std::array<std::uint8_t, kBufferBytes> buffer,
                    const Esc& esc) {
    std::copy(esc.record.begin(), esc.record.end(), buffer.begin());
    return Read(lists, buffer, esc.bec);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < kHeader) return 0;
    static const std::string kVersions[] = {"1.30", "1.40", "1.20"};
    const int type = data[0] % (kModelTypeCount + 2) - 1;  // -1 to 18
    const std::string& version = kVersions[data[1] % 3];
    const std::uint8_t becAnswer = data[2];
    std::array<std::uint8_t, kBufferBytes> buffer{};
    std::copy_n(data + kHeader, std::min(size - kHeader, kBufferBytes), buffer.begin());
    const std::string_view choices = fuzz::AsText(data, size);

    // The lists as identified; the ones no record clears keep a selection of their own.
    SetupState lists = fuzz::FilledState(type, version);
    fuzz::SelectFrom(lists, choices, 5);

    // Read, then write back what was read.
    const SetupState read = Read(lists, buffer, becAnswer);
    const auto dataBytes = static_cast<std::size_t>(RecordDataBytes(type));
    Require(dataBytes <= kBufferBytes, "a record fits the receive buffer");
    const Esc reported{type, std::vector<std::uint8_t>(buffer.begin(), buffer.begin() + dataBytes),
                       becAnswer};
    {
        SetupState state = read;
        Esc esc = reported;
        Write(state, esc);
        Require(fuzz::Selections(ReadBack(lists, buffer, esc)) == fuzz::Selections(read),
                "writing back what was read changes no setting");
    }

    // Write any selections.
    SetupState chosen = read;
    fuzz::SelectFrom(chosen, choices, kHeader + dataBytes);
    Esc esc = reported;
    Write(chosen, esc);
    const SetupState after = ReadBack(lists, buffer, esc);
    for (ParamId id : kParameters) {
        const int want = chosen.List(id).selection;
        const int was = read.List(id).selection;
        const int got = after.List(id).selection;
        if (want < 0) {
            Require(got == was, "a list without a selection keeps the ESC's setting");
        } else if (was >= 0 && WritesParameter(type, id)) {
            Require(got == want, "a selection written is read back");
        } else {
            Require(got == want || got == was,
                    "a write sets a list to its selection or not at all");
        }
    }
    return 0;
}
