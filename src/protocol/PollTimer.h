#pragma once

namespace vorna {

// The 500 ms poll's timer. Transfers stop it while they own the line and start it again
// when they are done; starting it means the next tick comes one period later.
class PollTimer {
public:
    virtual ~PollTimer() = default;
    virtual void StopTimer() = 0;
    virtual void StartTimer(int periodMs) = 0;
};

inline constexpr int kPollPeriodMs = 500;

}  // namespace vorna
