// The link thread: owns the timing of the poll. It runs the 500 ms tick and, between ticks,
// the jobs other threads post (Device menu choices, requests). One transaction can block for
// seconds; here it blocks nothing but this thread.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

#include "protocol/PollTimer.h"

namespace vorna {

class LinkThread : public PollTimer {
public:
    using Tick = std::function<void()>;
    using Job = std::function<void()>;

    LinkThread() = default;
    ~LinkThread() override;
    LinkThread(const LinkThread&) = delete;
    LinkThread& operator=(const LinkThread&) = delete;

    // Starts the thread with the poll timer running at `periodMs`. A thread already running is
    // left as it is.
    void Run(Tick tick, int periodMs = kPollPeriodMs);
    // Runs `job` on the link thread after the current tick or job.
    void Post(Job job);
    // Brings the next tick forward: it runs as soon as the tick under way and the jobs already
    // queued are done, instead of one period after the last, and the period counts from it.
    // A request made while the timer is stopped waits for it to start. vornactl asks while a
    // command waits (it has no reason to keep the poll's rhythm then), and both programs ask
    // when a serial port has just appeared, so that a plugged-in bridge is opened at once.
    void TickNow();
    // Finishes the tick or job under way, drops queued jobs and joins. Safe to call twice.
    void Shutdown();
    bool IsLinkThread() const { return std::this_thread::get_id() == thread_.get_id(); }

    // The poll timer. Called from the tick (transfers) or from jobs (Device menu).
    void StopTimer() override;
    void StartTimer(int periodMs) override;
    void NextTickAfter(int delayMs) override;
    // Tests read these two: the procedures' tests run each tick by hand with the thread not
    // started, so that every transaction on the simulated device comes when the test says; the
    // timer a procedure leaves behind is then shown by no tick, only here.
    bool TimerRunning() const;
    int PeriodMs() const;

private:
    using Clock = std::chrono::steady_clock;
    void Loop();

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Job> jobs_;
    Tick tick_;
    bool quit_ = false;
    bool timerRunning_ = false;
    bool tickNow_ = false;
    Clock::duration period_ = std::chrono::milliseconds(kPollPeriodMs);
    Clock::time_point due_{};
    std::thread thread_;
};

}  // namespace vorna
