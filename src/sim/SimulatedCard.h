// A virtual program card: answers its presence probe and the identity command.
#pragma once

#include <array>
#include <cstdint>
#include <mutex>
#include <vector>

#include "sim/PtyDevice.h"
#include "sim/SimulatedEsc.h"

namespace vorna::sim {

Identity DefaultCardIdentity();

class SimulatedCard : public PtyDevice {
public:
    explicit SimulatedCard(std::string linkPath, const Identity& identity = DefaultCardIdentity());
    ~SimulatedCard() override;

    void SetFault(Fault fault);
    std::vector<std::uint8_t> Commands() const;

protected:
    void OnByte(std::uint8_t byte, std::vector<std::uint8_t>& reply) override;

private:
    mutable std::mutex mutex_;
    Identity identity_;
    Fault fault_ = Fault::None;
    std::vector<std::uint8_t> commands_;
};

}  // namespace vorna::sim
