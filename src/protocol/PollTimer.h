#pragma once

namespace vorna {

// The 500 ms poll's timer. Transfers stop it while they own the line and start it again
// when they are done; starting it means the next tick comes one period later.
class PollTimer {
public:
    virtual ~PollTimer() = default;
    virtual void StopTimer() = 0;
    virtual void StartTimer(int periodMs) = 0;
    // The next tick only comes `delayMs` after now instead of a period after the last; the
    // period then goes on as before. Nothing happens while the timer is stopped.
    virtual void NextTickAfter(int delayMs) = 0;
};

inline constexpr int kPollPeriodMs = 500;
// A port just opened is talked to this soon, rather than a whole period later: the racer
// waits for nothing else between plugging in and seeing the values.
inline constexpr int kFirstTrafficDelayMs = 100;

}  // namespace vorna
