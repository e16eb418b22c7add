#include "protocol/LinkThread.h"

#include <pthread.h>

#include <algorithm>

namespace vorna {

LinkThread::~LinkThread() {
    Shutdown();
}

void LinkThread::Run(Tick tick, int periodMs) {
    if (thread_.joinable()) return;
    {
        std::lock_guard lock(mutex_);
        tick_ = std::move(tick);
        quit_ = false;
        timerRunning_ = true;
        tickNow_ = false;
        period_ = std::chrono::milliseconds(periodMs);
        due_ = Clock::now() + period_;
    }
    thread_ = std::thread([this] { Loop(); });
    pthread_setname_np(thread_.native_handle(), "vorna-link");
}

void LinkThread::Post(Job job) {
    {
        std::lock_guard lock(mutex_);
        if (quit_) return;
        jobs_.push_back(std::move(job));
    }
    wake_.notify_all();
}

void LinkThread::Shutdown() {
    {
        std::lock_guard lock(mutex_);
        quit_ = true;
        jobs_.clear();
    }
    wake_.notify_all();
    if (thread_.joinable() && !IsLinkThread()) thread_.join();
}

void LinkThread::TickNow() {
    {
        std::lock_guard lock(mutex_);
        tickNow_ = true;
    }
    wake_.notify_all();
}

void LinkThread::StopTimer() {
    std::lock_guard lock(mutex_);
    timerRunning_ = false;
}

void LinkThread::StartTimer(int periodMs) {
    {
        std::lock_guard lock(mutex_);
        timerRunning_ = true;
        period_ = std::chrono::milliseconds(periodMs);
        due_ = Clock::now() + period_;
    }
    wake_.notify_all();
}

void LinkThread::NextTickAfter(int delayMs) {
    {
        std::lock_guard lock(mutex_);
        if (!timerRunning_) return;
        due_ = std::min(due_, Clock::now() + std::chrono::milliseconds(delayMs));
    }
    wake_.notify_all();
}

bool LinkThread::TimerRunning() const {
    std::lock_guard lock(mutex_);
    return timerRunning_;
}

int LinkThread::PeriodMs() const {
    std::lock_guard lock(mutex_);
    return static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(period_).count());
}

void LinkThread::Loop() {
    std::unique_lock lock(mutex_);
    while (!quit_) {
        if (!jobs_.empty()) {
            Job job = std::move(jobs_.front());
            jobs_.pop_front();
            lock.unlock();
            job();
            lock.lock();
            continue;
        }
        if (timerRunning_ && (tickNow_ || Clock::now() >= due_)) {
            // Like a window timer, a tick that overran its period is followed by one tick at
            // once, not by a burst of the ticks it missed.
            tickNow_ = false;
            due_ = Clock::now() + period_;
            lock.unlock();
            tick_();
            lock.lock();
            continue;
        }
        if (timerRunning_) {
            wake_.wait_until(lock, due_);
        } else {
            wake_.wait(lock);
        }
    }
}

}  // namespace vorna
