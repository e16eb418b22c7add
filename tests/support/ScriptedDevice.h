// A device behind a pseudo-terminal that answers each command byte with the bytes the test gave
// it, and nothing else: for devices that answer, but not as a VORNA ESC or card does.
#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "sim/PtyDevice.h"

namespace vorna::test {

class ScriptedDevice : public sim::PtyDevice {
public:
    explicit ScriptedDevice(std::string linkPath) : PtyDevice(std::move(linkPath)) {}
    ~ScriptedDevice() override { Stop(); }

    void Answer(std::uint8_t command, std::vector<std::uint8_t> reply) {
        std::lock_guard lock(mutex_);
        answers_[command] = std::move(reply);
    }

protected:
    void OnByte(std::uint8_t byte, std::vector<std::uint8_t>& reply) override {
        std::lock_guard lock(mutex_);
        const auto it = answers_.find(byte);
        if (it != answers_.end()) reply.insert(reply.end(), it->second.begin(), it->second.end());
    }

private:
    std::mutex mutex_;
    std::map<std::uint8_t, std::vector<std::uint8_t>> answers_;
};

}  // namespace vorna::test
