#include "sim/SimulatedCard.h"

namespace vorna::sim {

Identity DefaultCardIdentity() {
    return Identity{0x01, 0x40, 0x00, 0x00, 0x00, 0x03, 0x00};
}

SimulatedCard::SimulatedCard(std::string linkPath, const Identity& identity)
    : PtyDevice(std::move(linkPath)), identity_(identity) {}

SimulatedCard::~SimulatedCard() {
    Stop();
}

void SimulatedCard::SetFault(Fault fault) {
    std::lock_guard lock(mutex_);
    fault_ = fault;
}

std::vector<std::uint8_t> SimulatedCard::Commands() const {
    std::lock_guard lock(mutex_);
    return commands_;
}

void SimulatedCard::OnByte(std::uint8_t byte, std::vector<std::uint8_t>& reply) {
    std::lock_guard lock(mutex_);
    commands_.push_back(byte);
    if (fault_ == Fault::Silent) return;
    std::vector<std::uint8_t> answer;
    if (byte == 0xD4) {
        answer = {fault_ == Fault::WrongByte ? std::uint8_t{0x25} : std::uint8_t{0xD1}, 0x00};
    } else if (byte == 0xD7) {
        answer.assign(identity_.begin(), identity_.end());
    }
    if (fault_ == Fault::ShortAnswer && !answer.empty()) answer.pop_back();
    reply.insert(reply.end(), answer.begin(), answer.end());
}

}  // namespace vorna::sim
