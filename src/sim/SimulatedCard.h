// A virtual program card: answers its presence probe and the identity command, and has an
// update mode that takes a new firmware image block by block.
//
// Update mode, as this card plays it: 0xD6 opens it (answered 0xD5, "ready"); in the first
// stage 0xD7 is answered 0xD8, in the second 0xD6 is answered 0xD7; then come blocks, each two
// length bytes (high first) and a body of that length. The card's check of a block: the last
// body byte is the sum of the others modulo 256 (an empty body has nothing to check). A good
// block is kept and answered 0x11, a bad one 0x12. Once the line has been quiet for half a
// second between blocks, the card starts its new firmware and answers as before, with the
// image's first data byte (after the first block's length and two address bytes) as its
// version byte.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <vector>

#include "sim/PtyDevice.h"
#include "sim/SimulatedEsc.h"

namespace vorna::sim {

Identity DefaultCardIdentity();

// Appends the check byte this card expects to `body`, for tests that build card images.
std::vector<std::uint8_t> WithCardCheck(std::vector<std::uint8_t> body);

class SimulatedCard : public PtyDevice {
public:
    explicit SimulatedCard(std::string linkPath, const Identity& identity = DefaultCardIdentity());
    ~SimulatedCard() override;

    // Block faults hit the block at `block` (counting from 0); BlockResend asks for it `times`
    // times before taking it.
    void SetFault(Fault fault, std::size_t block = 1, int times = 2);
    std::vector<std::uint8_t> Commands() const;
    // The image written in update mode: every accepted block, length bytes included.
    std::vector<std::uint8_t> Flashed() const;
    // Blocks received whole, resent ones included.
    int BlocksReceived() const;

protected:
    void OnByte(std::uint8_t byte, std::vector<std::uint8_t>& reply) override;
    void OnReset() override;

private:
    enum class Mode { Normal, StageOne, StageTwo, Blocks };
    void OnNormalByte(std::uint8_t byte, std::vector<std::uint8_t>& reply);
    void OnBlockByte(std::uint8_t byte, std::vector<std::uint8_t>& reply);

    mutable std::mutex mutex_;
    Identity identity_;
    bool blockRefused_ = false;  // in the update under way
    Fault fault_ = Fault::None;
    std::size_t faultBlock_ = 1;
    int faultTimes_ = 2;
    std::vector<std::uint8_t> commands_;

    Mode mode_ = Mode::Normal;
    int stageOneCodes_ = 0;
    std::vector<std::uint8_t> block_;  // the block being received
    std::size_t blockIndex_ = 0;       // of the block being received, among accepted ones
    int resendsAsked_ = 0;
    std::vector<std::uint8_t> flashed_;
    int blocksReceived_ = 0;
    std::chrono::steady_clock::time_point lastByte_{};
};

}  // namespace vorna::sim
