// What a simulated ESC keeps and answers, apart from the line it answers on: its identity, its
// factory record, and the register file that writes change. Plain data, so the codec and
// catalogue tests use it on every system; the device behind a pseudo-terminal is
// SimulatedEsc.cpp.
#include <algorithm>
#include <map>

#include "protocol/ModelTypes.h"
#include "sim/SimulatedEsc.h"

namespace vorna::sim {
namespace {

RecordLayout LayoutOf(int modelType) {
    return ModelTypeInfoFor(modelType).layout;
}

// Where each register lands in the record, as the ESC firmware keeps it. In layouts B and D
// byte 19 is the brake frequency, so 0xF2 (written back from record byte 19) is kept apart
// from the record; a register missing here is acknowledged and kept nowhere.
const std::map<std::uint8_t, int>& RegisterMap(RecordLayout layout) {
    static const std::map<std::uint8_t, int> a = {
        {0xE1, 0},  {0xE2, 1},  {0xE3, 3},  {0xD3, 4},  {0xE4, 5},  {0xE5, 6},
        {0xE6, 7},  {0xE7, 8},  {0xE8, 9},  {0xE9, 10}, {0xEA, 11}, {0xEB, 12},
        {0xEC, 13}, {0xED, 14}, {0xEE, 15}, {0xF0, 17}, {0xF1, 18}, {0xF2, 19},
        {0xF5, 21}, {0xFE, 22}, {0xF9, 23}, {0xFC, 24}, {0xFA, 25}, {0xF3, 26}};
    static const std::map<std::uint8_t, int> b = {
        {0xE1, 0},  {0xE2, 1},  {0xE3, 3},  {0xD3, 4},  {0xE4, 5},  {0xE5, 6},
        {0xE6, 7},  {0xE7, 8},  {0xE8, 9},  {0xE9, 10}, {0xC1, 11}, {0xC2, 12},
        {0xEB, 13}, {0xEC, 14}, {0xED, 15}, {0xEE, 16}, {0xF0, 18}, {0xF1, 19},
        {0xF5, 22}, {0xFE, 23}, {0xF9, 24}, {0xFC, 25}, {0xFA, 26}, {0xC3, 27}};
    static const std::map<std::uint8_t, int> c = {
        {0xE1, 0},  {0xE3, 1},  {0xD3, 2},  {0xE4, 3},  {0xE2, 4},  {0xE7, 5},  {0xE5, 6},
        {0xE6, 7},  {0xE8, 8},  {0xE9, 10}, {0xEC, 13}, {0xEE, 15}, {0xEB, 16}, {0xF2, 19},
        {0xF5, 20}, {0xFE, 21}, {0xF3, 22}, {0xC4, 23}, {0xC7, 24}, {0xC8, 25}};
    static const std::map<std::uint8_t, int> d = {
        {0xE1, 0},  {0xE2, 1},  {0xE3, 3},  {0xD3, 4},  {0xE4, 5},  {0xE5, 6},  {0xE6, 7},
        {0xE7, 8},  {0xE8, 9},  {0xE9, 10}, {0xC1, 11}, {0xC2, 12}, {0xEB, 13}, {0xEC, 14},
        {0xED, 15}, {0xEE, 16}, {0xF0, 18}, {0xF1, 19}, {0xF5, 22}, {0xFE, 23}, {0xFC, 24},
        {0xC3, 25}, {0xC4, 26}, {0xC5, 27}, {0xC6, 28}, {0xC7, 29}};
    switch (layout) {
        case RecordLayout::A:
            return a;
        case RecordLayout::B:
            return b;
        case RecordLayout::C:
            return c;
        case RecordLayout::D:
            break;
    }
    return d;
}

// The ESC keeps BEC Voltage outside its record and answers the query for it.
bool HasSeparateBec(int modelType) {
    return ModelTypeInfoFor(modelType).readQueriesBec;
}

}  // namespace

Identity IdentityForModel(int modelType) {
    const auto& h =
        kExampleIdentities[static_cast<std::size_t>(std::clamp(modelType, 0, kModelTypeCount - 1))];
    // card hardware, card version, spare
    return Identity{h[0], h[1], h[2], h[3], 0x00, 0x03, 0x00};
}

int RecordLength(int modelType) {
    return ModelTypeInfoFor(modelType).RecordDataBytes();
}

std::vector<std::uint8_t> FactoryRecord(int modelType) {
    // Plausible out-of-the-box settings: For/Rev/Brake, light drag brake, middle power level.
    std::vector<std::uint8_t> r;
    switch (LayoutOf(modelType)) {
        case RecordLayout::A:
            r = {1, 5, 0, 30, 0x5A, 4,    100, 50, 200, 6,  10, 2, 1, 5,
                 3, 2, 3, 0,  1,    0x3C, 0,   0,  0,   50, 8,  3, 0};
            switch (ModelTypeInfoFor(modelType).lowVoltCut) {
                case LowVoltCoding::Lv8:  // the 8-cell ESC: 3.2 V, one drive frequency
                    r[3] = 32;
                    r[17] = 0;
                    break;
                case LowVoltCoding::ModeAndVoltage:  // Auto, one drive frequency
                    r[3] = 1;
                    r[17] = 0;
                    break;
                case LowVoltCoding::Lv4:
                    break;
            }
            break;
        case RecordLayout::B:
            r = {1,  5, 0, 30, 0x5A, 6, 100,  50, 200, 6, 20, 3,  4, 1,
                 10, 5, 2, 0,  2,    1, 0x3C, 0,  0,   1, 50, 20, 6, 0};
            break;
        case RecordLayout::C:
            r = {0, 1, 0, 4, 10, 200, 75,   100, 3, 0, 5, 0, 0,
                 5, 0, 1, 1, 0,  0,   0x3C, 0,   0, 0, 4, 0, 0};
            break;
        case RecordLayout::D:
            r = {1, 5, 0, 29, 0x5A, 10, 90, 50, 200, 1, 0, 2, 2, 1, 0, 10,
                 0, 0, 3, 2,  0x3C, 0,  0,  1,  20,  0, 4, 5, 2, 5, 0};
            if (!(ModelTypeInfoFor(modelType).recordFields & kBoostTurboFields)) {
                // Blinky-class firmware: no boost or turbo.
                r[10] = r[14] = r[15] = 0;
            }
            break;
    }
    r.resize(static_cast<std::size_t>(RecordLength(modelType)));
    return r;
}

void RegisterFile::Write(std::uint8_t reg, std::uint8_t value) {
    const auto& map = RegisterMap(LayoutOf(modelType));
    if (reg == 0xFE &&
        (HasSeparateBec(modelType) || static_cast<std::size_t>(map.at(0xFE)) >= record.size())) {
        becIndex = value;
        return;
    }
    if (ModelTypeInfoFor(modelType).lowVoltCut == LowVoltCoding::ModeAndVoltage &&
        (reg == 0xE3 || reg == 0xD3)) {
        // Mode and value share byte 3: 0, 1, or the voltage.
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
    auto it = map.find(reg);
    if (it != map.end() && static_cast<std::size_t>(it->second) < record.size()) {
        record[static_cast<std::size_t>(it->second)] = value;
    }
}

std::uint8_t RegisterFile::Bec() const {
    const auto slot = static_cast<std::size_t>(RegisterMap(LayoutOf(modelType)).at(0xFE));
    const bool inRecord = !HasSeparateBec(modelType) && slot < record.size();
    return inRecord ? record[slot] : becIndex;
}

}  // namespace vorna::sim
