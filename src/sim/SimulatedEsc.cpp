#include "sim/SimulatedEsc.h"

#include <algorithm>
#include <map>

#include "protocol/ModelTypes.h"

namespace vorna::sim {
namespace {

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

}  // namespace vorna::sim
