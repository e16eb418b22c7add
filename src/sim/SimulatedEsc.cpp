#include "sim/SimulatedEsc.h"

#include <algorithm>
#include <map>

#include "protocol/ModelTypes.h"

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

constexpr std::uint8_t kProbeEsc = 0xD5, kProbeCard = 0xD4, kProbeFix = 0xD6, kIdentify = 0xD7,
                       kRead = 0xD8, kRestore = 0xDE, kEndWrite = 0xDF;

bool IsCommand(std::uint8_t b) {
    return b == kProbeEsc || b == kProbeCard || b == kProbeFix || b == kIdentify || b == kRead ||
           b == kRestore || b == kEndWrite;
}

}  // namespace

std::optional<Fault> FaultFromName(const std::string& name) {
    static const std::map<std::string, Fault> names = {
        {"none", Fault::None},
        {"silent", Fault::Silent},
        {"wrong-byte", Fault::WrongByte},
        {"no-marker", Fault::NoMarker},
        {"short", Fault::ShortAnswer},
        {"no-end-marker", Fault::NoEndMarker},
        {"no-ack", Fault::NoAck},
        {"no-bec", Fault::NoBecAnswer},
        {"bec-refused", Fault::BecRefused},
        {"restore-lost", Fault::RestoreLost},
        {"d6-silent", Fault::D6Silent},
        {"d6-wrong", Fault::D6Wrong},
        {"39-silent", Fault::Silent39},
        {"39-wrong", Fault::Wrong39},
        {"31-silent", Fault::Silent31},
        {"31-wrong", Fault::Wrong31},
        {"stage1-silent", Fault::StageOneSilent},
        {"stage1-wrong", Fault::StageOneWrong},
        {"stage1-late", Fault::StageOneLate},
        {"stage2-silent", Fault::StageTwoSilent},
        {"stage2-wrong", Fault::StageTwoWrong},
        {"block-no-ack", Fault::BlockNoAck},
        {"block-crc", Fault::BlockCrc},
        {"block-resend", Fault::BlockResend},
        {"unplug-after-block", Fault::UnplugAfterBlock}};
    auto it = names.find(name);
    if (it == names.end()) return std::nullopt;
    return it->second;
}

std::string FaultNames() {
    return "none, silent, wrong-byte, no-marker, short, no-end-marker, no-ack, no-bec, "
           "bec-refused, restore-lost; ESC "
           "update: d6-silent, d6-wrong, 39-silent, 39-wrong, 31-silent, 31-wrong, "
           "no-ack-after:N, unplug-after:N; settings write: unplug-after-pair:N; card only: "
           "stage1-silent, stage1-wrong, stage1-late, stage2-silent, stage2-wrong, block-no-ack, "
           "block-crc, block-resend, unplug-after-block";
}

std::optional<FaultChoice> ParseFault(const std::string& text) {
    const auto colon = text.find(':');
    if (colon == std::string::npos) {
        auto f = FaultFromName(text);
        if (!f) return std::nullopt;
        return FaultChoice{*f, 0};
    }
    const std::string name = text.substr(0, colon);
    const std::string number = text.substr(colon + 1);
    Fault fault;
    if (name == "no-ack-after") {
        fault = Fault::NoAckAfter;
    } else if (name == "unplug-after") {
        fault = Fault::UnplugAfter;
    } else if (name == "unplug-after-pair") {
        fault = Fault::UnplugAfterPair;
    } else {
        return std::nullopt;
    }
    if (number.empty() || number.size() > 6 ||
        !std::all_of(number.begin(), number.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return std::nullopt;
    }
    return FaultChoice{fault, std::stoi(number)};
}

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

SimulatedEsc::SimulatedEsc(std::string linkPath, int modelType)
    : SimulatedEsc(std::move(linkPath), IdentityForModel(modelType), modelType) {}

SimulatedEsc::SimulatedEsc(std::string linkPath, const Identity& identity, int modelType)
    : PtyDevice(std::move(linkPath)),
      identity_(identity),
      regs_{modelType, FactoryRecord(modelType)} {}

SimulatedEsc::~SimulatedEsc() {
    Stop();
}

void SimulatedEsc::SetFault(Fault fault, int record) {
    std::lock_guard lock(mutex_);
    fault_ = fault;
    faultRecord_ = record;
}

bool SimulatedEsc::InUpdateMode() const {
    std::lock_guard lock(mutex_);
    return stage_ == Stage::Records;
}

std::vector<std::vector<std::uint8_t>> SimulatedEsc::UpdateRecords() const {
    std::lock_guard lock(mutex_);
    return updateRecords_;
}

std::vector<std::uint8_t> SimulatedEsc::UpdateImage() const {
    std::lock_guard lock(mutex_);
    std::vector<std::uint8_t> data;
    for (const auto& r : updateRecords_) {
        if (r.size() >= 6 && r[4] == 0x00) data.insert(data.end(), r.begin() + 5, r.end() - 1);
    }
    return data;
}

int SimulatedEsc::UpdatesFinished() const {
    std::lock_guard lock(mutex_);
    return updatesFinished_;
}

Identity SimulatedEsc::CurrentIdentity() const {
    std::lock_guard lock(mutex_);
    return identity_;
}

// The bootloader's side of the conversation; true when the byte was its business.
bool SimulatedEsc::OnUpdateByte(std::uint8_t byte, std::vector<std::uint8_t>& reply) {
    switch (stage_) {
        case Stage::Normal:
            return false;
        case Stage::Armed:
            if (byte == 0x39) {
                commands_.push_back(byte);
                if (fault_ == Fault::Silent39) return true;
                reply.push_back(fault_ == Fault::Wrong39 ? 0x60 : 0x61);
                if (fault_ != Fault::Wrong39) stage_ = Stage::Entered;
                return true;
            }
            if (byte != kProbeFix) stage_ = Stage::Normal;
            return false;
        case Stage::Entered:
            if (byte == 0x31) {
                commands_.push_back(byte);
                if (fault_ == Fault::Silent31) return true;
                reply.push_back(fault_ == Fault::Wrong31 ? 0x00 : 0x01);
                if (fault_ != Fault::Wrong31) {
                    stage_ = Stage::Records;
                    partial_.clear();
                    updateRecords_.clear();
                    unplugPending_ = fault_ == Fault::UnplugAfter && faultRecord_ == 0;
                }
                return true;
            }
            stage_ = Stage::Normal;
            return false;
        case Stage::Records:
            break;
    }
    if (partial_.empty() && byte != 0x3A) {
        if (byte == kProbeFix) {
            // A new handshake: the last update was given up.
            stage_ = Stage::Normal;
            return false;
        }
        return true;  // noise between records
    }
    partial_.push_back(byte);
    if (partial_.size() < 2 || partial_.size() < static_cast<std::size_t>(partial_[1]) + 6u) {
        return true;
    }
    std::uint8_t sum = 0;
    for (std::size_t i = 1; i < partial_.size(); ++i)
        sum = static_cast<std::uint8_t>(sum + partial_[i]);
    std::vector<std::uint8_t> record = std::move(partial_);
    partial_.clear();
    if (sum != 0) return true;  // a damaged record is not acknowledged
    updateRecords_.push_back(record);
    const int n = static_cast<int>(updateRecords_.size());
    if (fault_ == Fault::NoAckAfter && n > faultRecord_) return true;
    if (fault_ == Fault::UnplugAfter && n > faultRecord_) {
        PullPlug();  // the fault was set during the update, after record N
        return true;
    }
    reply.push_back(0x01);
    if (fault_ == Fault::UnplugAfter && n == faultRecord_) unplugPending_ = true;
    if (record[4] == 0x01) {
        // End of file: the new firmware starts.
        stage_ = Stage::Normal;
        ++updatesFinished_;
        std::uint8_t version = static_cast<std::uint8_t>(identity_[3] + 1);
        for (const auto& r : updateRecords_) {
            if (r[4] == 0x00 && r[1] > 0) {
                version = r[5];
                break;
            }
        }
        identity_[3] = version;
        // The new firmware may speak another record (its model type follows the version); it
        // starts from its own factory settings then.
        const auto type = ModelTypeForIdentity(identity_.data());
        if (type && *type != regs_.modelType) regs_ = {*type, FactoryRecord(*type)};
    }
    return true;
}

void SimulatedEsc::SetIdentity(const Identity& identity) {
    std::lock_guard lock(mutex_);
    identity_ = identity;
}

std::vector<std::uint8_t> SimulatedEsc::Record() const {
    std::lock_guard lock(mutex_);
    return regs_.record;
}

std::uint8_t SimulatedEsc::BecIndex() const {
    std::lock_guard lock(mutex_);
    return regs_.Bec();
}

std::vector<std::pair<std::uint8_t, std::uint8_t>> SimulatedEsc::Pairs() const {
    std::lock_guard lock(mutex_);
    return pairs_;
}

std::vector<std::uint8_t> SimulatedEsc::Commands() const {
    std::lock_guard lock(mutex_);
    return commands_;
}

int SimulatedEsc::WritesEnded() const {
    std::lock_guard lock(mutex_);
    return writesEnded_;
}

int SimulatedEsc::Restores() const {
    std::lock_guard lock(mutex_);
    return restores_;
}

void SimulatedEsc::ClearLogs() {
    std::lock_guard lock(mutex_);
    pairs_.clear();
    commands_.clear();
    writesEnded_ = 0;
    restores_ = 0;
}

void SimulatedEsc::OnReset() {
    std::lock_guard lock(mutex_);
    pendingRegister_.reset();
    partial_.clear();
    unplugPending_ = false;
}

void SimulatedEsc::Answer(std::vector<std::uint8_t> bytes, std::vector<std::uint8_t>& reply) const {
    if (fault_ == Fault::Silent) return;
    if (fault_ == Fault::ShortAnswer && !bytes.empty()) bytes.pop_back();
    reply.insert(reply.end(), bytes.begin(), bytes.end());
}

void SimulatedEsc::OnByte(std::uint8_t byte, std::vector<std::uint8_t>& reply) {
    std::lock_guard lock(mutex_);
    if (unplugPending_) {
        // Record N was acknowledged: the cable comes out as the next byte is on the line.
        unplugPending_ = false;
        return PullPlug();
    }
    if (OnUpdateByte(byte, reply)) return;
    if (pendingRegister_) {
        const std::uint8_t reg = *pendingRegister_;
        pendingRegister_.reset();
        if (fault_ == Fault::UnplugAfterPair && static_cast<int>(pairs_.size()) >= faultRecord_) {
            PullPlug();  // the cable comes out with this pair on the line
            return;
        }
        pairs_.emplace_back(reg, byte);
        ApplyPair(reg, byte, reply);
        return;
    }
    if (!IsCommand(byte)) {
        pendingRegister_ = byte;
        return;
    }
    commands_.push_back(byte);
    switch (byte) {
        case kProbeEsc:
            Answer({fault_ == Fault::WrongByte ? std::uint8_t{0x25} : std::uint8_t{0x26}}, reply);
            break;
        case kIdentify: {
            std::vector<std::uint8_t> id(identity_.begin(), identity_.end());
            if (fault_ == Fault::NoMarker) id[1] = 0x00;
            Answer(id, reply);
            break;
        }
        case kRead: {
            std::vector<std::uint8_t> answer = regs_.record;
            answer.push_back(fault_ == Fault::NoEndMarker ? 0x00 : 0xDD);
            Answer(answer, reply);
            break;
        }
        case kRestore:
            if (fault_ == Fault::RestoreLost) {
                LoseEcho();
                break;
            }
            ++restores_;
            regs_ = {regs_.modelType, FactoryRecord(regs_.modelType)};
            Answer({0x01}, reply);
            break;
        case kEndWrite:
            ++writesEnded_;
            break;
        case kProbeFix:
            if (fault_ == Fault::D6Silent) break;
            Answer({fault_ == Fault::WrongByte || fault_ == Fault::D6Wrong ? std::uint8_t{0xD8}
                                                                           : std::uint8_t{0xD7}},
                   reply);
            if (fault_ != Fault::Silent && fault_ != Fault::WrongByte && fault_ != Fault::D6Wrong) {
                stage_ = Stage::Armed;
            }
            break;
        case kProbeCard:
            break;  // an ESC does not answer the card's probe
        default:
            break;
    }
}

void SimulatedEsc::ApplyPair(std::uint8_t reg, std::uint8_t value,
                             std::vector<std::uint8_t>& reply) {
    const std::uint8_t ack = fault_ == Fault::NoAck ? 0x00 : 0x01;
    if (reg == 0xFE) {
        // Acknowledged, then a second byte: the BEC index for the query 0x02, else 0x01.
        if (value == 0x02) {
            if (fault_ == Fault::NoBecAnswer) {
                Answer({ack}, reply);
                return;
            }
            Answer({ack, regs_.Bec()}, reply);
            return;
        }
        if (fault_ == Fault::BecRefused) {
            Answer({ack}, reply);
            return;
        }
        regs_.Write(reg, value);
        Answer({ack, 0x01}, reply);
        return;
    }
    regs_.Write(reg, value);
    Answer({ack}, reply);
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
