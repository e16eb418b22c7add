// A simulated device behind a pseudo-terminal. The program under test opens the terminal's
// slave side (published under a stable symlink) exactly as it opens a real bridge; the device
// reads the master side, echoes every byte (the half-duplex line's read-back) and answers.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "base/PosixHandles.h"
#include "base/Result.h"

namespace vorna::sim {

class PtyDevice {
public:
    explicit PtyDevice(std::string linkPath);
    virtual ~PtyDevice();
    PtyDevice(const PtyDevice&) = delete;
    PtyDevice& operator=(const PtyDevice&) = delete;

    // Creates the terminal, publishes the symlink and starts answering.
    Status Start();
    // Stops answering and removes the terminal and the symlink.
    void Stop();

    // Pulls the plug: the terminal closes (the program's port fails) and the symlink goes.
    void Unplug() { Stop(); }
    // Plugs back in with a fresh terminal under the same symlink.
    Status Replug() { return Start(); }
    bool Plugged() const { return running_; }

    const std::string& LinkPath() const { return linkPath_; }
    std::string SlavePath() const;

    // Sends bytes no faster than the real line (10 bits a byte at 19200 baud): each byte, echo
    // or answer, reaches the program only once it would have crossed the line.
    void SetLineRate(bool paced) { paced_ = paced; }

protected:
    // Called on the device thread for every byte received, after its echo was sent. Bytes put
    // into `reply` are sent in order once the byte has been handled.
    virtual void OnByte(std::uint8_t byte, std::vector<std::uint8_t>& reply) = 0;
    // Called (device thread) when the terminal was reopened, so a half-received frame is dropped.
    virtual void OnReset() {}
    // From OnByte: the plug is pulled before the byte is echoed, as if the cable came out
    // while it was on the line. Replug() plugs back in.
    void PullPlug() { pullPlug_ = true; }
    // From OnByte: the line loses this byte's echo (a glitch), and the device did not hear it.
    void LoseEcho() { loseEcho_ = true; }

private:
    using Clock = std::chrono::steady_clock;

    void Loop();
    // `ready`: when the bytes could first go on the line (when they arrived, for an echo).
    void Send(const std::uint8_t* bytes, std::size_t count, Clock::time_point ready);
    void HangUp();

    std::string linkPath_;
    mutable std::mutex mutex_;
    std::string slavePath_;
    UniqueFd master_;
    UniqueFd slaveKeepAlive_;
    UniqueFd wakeFd_;
    std::atomic<bool> running_{false};
    std::atomic<bool> paced_{false};
    std::atomic<bool> pullPlug_{false};
    bool loseEcho_ = false;  // device thread only
    // When the line has finished carrying the last byte sent (device thread only).
    Clock::time_point lineFree_{};
    std::thread thread_;
};

}  // namespace vorna::sim
