#include "sim/SimulatedCard.h"

#include <numeric>

namespace vorna::sim {

namespace {

constexpr std::uint8_t kEnter = 0xD6;
constexpr std::uint8_t kReady = 0xD5;
constexpr std::uint8_t kStageOne = 0xD7;
constexpr std::uint8_t kStageOneAck = 0xD8;
constexpr std::uint8_t kStageTwoAck = 0xD7;
constexpr std::uint8_t kAccepted = 0x11;
constexpr std::uint8_t kRejected = 0x12;
constexpr std::uint8_t kSendAgain = 0x13;
constexpr std::uint8_t kWrong = 0x5A;
constexpr auto kQuietStartsFirmware = std::chrono::milliseconds(500);

std::uint8_t SumOf(const std::uint8_t* begin, const std::uint8_t* end) {
    return static_cast<std::uint8_t>(std::accumulate(begin, end, 0u));
}

}  // namespace

Identity DefaultCardIdentity() {
    return Identity{0x01, 0x40, 0x00, 0x00, 0x00, 0x03, 0x00};
}

std::vector<std::uint8_t> WithCardCheck(std::vector<std::uint8_t> body) {
    const std::uint8_t sum = SumOf(body.data(), body.data() + body.size());
    body.push_back(sum);
    return body;
}

SimulatedCard::SimulatedCard(std::string linkPath, const Identity& identity)
    : PtyDevice(std::move(linkPath)), identity_(identity) {}

SimulatedCard::~SimulatedCard() {
    Stop();
}

void SimulatedCard::SetFault(Fault fault, std::size_t block, int times) {
    std::lock_guard lock(mutex_);
    fault_ = fault;
    faultBlock_ = block;
    faultTimes_ = times;
}

std::vector<std::uint8_t> SimulatedCard::Commands() const {
    std::lock_guard lock(mutex_);
    return commands_;
}

std::vector<std::uint8_t> SimulatedCard::Flashed() const {
    std::lock_guard lock(mutex_);
    return flashed_;
}

int SimulatedCard::BlocksReceived() const {
    std::lock_guard lock(mutex_);
    return blocksReceived_;
}

void SimulatedCard::OnReset() {
    std::lock_guard lock(mutex_);
    mode_ = Mode::Normal;
    block_.clear();
}

void SimulatedCard::OnByte(std::uint8_t byte, std::vector<std::uint8_t>& reply) {
    std::lock_guard lock(mutex_);
    commands_.push_back(byte);
    const auto now = std::chrono::steady_clock::now();
    const bool quiet = now - lastByte_ > kQuietStartsFirmware;
    lastByte_ = now;
    if (mode_ == Mode::Blocks && quiet) {
        mode_ = Mode::Normal;
        block_.clear();
        // The new firmware runs: it reports the image's first data byte (after the first
        // block's length and address) as its version.
        if (flashed_.size() > 4 && !blockRefused_) {
            identity_[4] = 0x00;
            identity_[5] = flashed_[4];
        }
    }

    switch (mode_) {
        case Mode::Normal:
            return OnNormalByte(byte, reply);
        case Mode::StageOne:
            if (byte == kEnter) {
                reply.push_back(kReady);
            } else if (byte == kStageOne) {
                ++stageOneCodes_;
                if (fault_ == Fault::StageOneSilent) return;
                if (fault_ == Fault::StageOneWrong) return reply.push_back(kWrong);
                if (fault_ == Fault::StageOneLate && stageOneCodes_ < 4) return;
                reply.push_back(kStageOneAck);
                mode_ = Mode::StageTwo;
            } else {
                mode_ = Mode::Normal;
                OnNormalByte(byte, reply);
            }
            return;
        case Mode::StageTwo:
            if (byte == kEnter) {
                if (fault_ == Fault::StageTwoSilent) return;
                if (fault_ == Fault::StageTwoWrong) return reply.push_back(kWrong);
                reply.push_back(kStageTwoAck);
                mode_ = Mode::Blocks;
                block_.clear();
                blockIndex_ = 0;
                resendsAsked_ = 0;
                flashed_.clear();
                blocksReceived_ = 0;
                blockRefused_ = false;
            } else if (byte == kStageOne) {
                reply.push_back(kStageOneAck);  // the first stage's answer got lost: say it again
            } else {
                mode_ = Mode::Normal;
                OnNormalByte(byte, reply);
            }
            return;
        case Mode::Blocks:
            return OnBlockByte(byte, reply);
    }
}

void SimulatedCard::OnNormalByte(std::uint8_t byte, std::vector<std::uint8_t>& reply) {
    if (fault_ == Fault::Silent) return;
    std::vector<std::uint8_t> answer;
    if (byte == 0xD4) {
        answer = {fault_ == Fault::WrongByte ? std::uint8_t{0x25} : std::uint8_t{0xD1}, 0x00};
    } else if (byte == 0xD7) {
        answer.assign(identity_.begin(), identity_.end());
    } else if (byte == kEnter) {
        mode_ = Mode::StageOne;
        stageOneCodes_ = 0;
        answer = {kReady};
    }
    if (fault_ == Fault::ShortAnswer && !answer.empty()) answer.pop_back();
    reply.insert(reply.end(), answer.begin(), answer.end());
}

void SimulatedCard::OnBlockByte(std::uint8_t byte, std::vector<std::uint8_t>& reply) {
    if (block_.empty() && fault_ == Fault::UnplugAfterBlock && blockIndex_ == faultBlock_ + 1) {
        return PullPlug();
    }
    block_.push_back(byte);
    if (block_.size() < 2) return;
    const std::size_t length = (std::size_t{block_[0]} << 8) | block_[1];
    if (block_.size() < length + 2) return;

    ++blocksReceived_;
    std::vector<std::uint8_t> block = std::move(block_);
    block_.clear();
    const bool faultHere = blockIndex_ == faultBlock_;
    if (faultHere && (fault_ == Fault::BlockNoAck || fault_ == Fault::BlockCrc)) {
        // A card whose update broke off keeps reporting what it had.
        blockRefused_ = true;
        if (fault_ == Fault::BlockCrc) reply.push_back(kRejected);
        return;
    }
    if (faultHere && fault_ == Fault::BlockResend && resendsAsked_ < faultTimes_) {
        ++resendsAsked_;
        return reply.push_back(kSendAgain);
    }
    const bool sound =
        length == 0 || SumOf(block.data() + 2, block.data() + block.size() - 1) == block.back();
    if (!sound) {
        blockRefused_ = true;
        return reply.push_back(kRejected);
    }
    flashed_.insert(flashed_.end(), block.begin(), block.end());
    ++blockIndex_;
    reply.push_back(kAccepted);
}

}  // namespace vorna::sim
