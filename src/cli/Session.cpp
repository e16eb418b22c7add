#include "cli/Session.h"

#include <cstdio>
#include <future>
#include <memory>
#include <ostream>
#include <utility>

#include "base/Text.h"
#include "cli/TerminalText.h"

namespace vorna::cli {

void PrintingView::ShowPortProblem(const std::string& text) {
    std::lock_guard lock(mutex_);
    portProblem_ = text;
}

std::string PrintingView::LastPortProblem() {
    std::lock_guard lock(mutex_);
    return portProblem_;
}

void PrintingView::ShowWriteProgress(const std::string& text) {
    if (!showProgress || !terminal) return;
    err_ << "\rwriting " << text << std::flush;
    progressShown_ = true;
}

void PrintingView::EndProgress() {
    showProgress = false;
    if (progressShown_.exchange(false)) err_ << "\n";
}

void PrintingView::WriteEnded(const WriteOutcome& outcome) {
    std::lock_guard lock(mutex_);
    write_ = outcome;
}

void PrintingView::RestoreEnded(const RestoreOutcome& outcome) {
    std::lock_guard lock(mutex_);
    restore_ = outcome;
}

void PrintingView::UpdateEnded(const UpdateOutcome& outcome) {
    std::lock_guard lock(mutex_);
    update_ = outcome;
}

std::optional<WriteOutcome> PrintingView::TakeWrite() {
    std::lock_guard lock(mutex_);
    return std::exchange(write_, std::nullopt);
}

std::optional<RestoreOutcome> PrintingView::TakeRestore() {
    std::lock_guard lock(mutex_);
    return std::exchange(restore_, std::nullopt);
}

std::optional<UpdateOutcome> PrintingView::TakeUpdate() {
    std::lock_guard lock(mutex_);
    return std::exchange(update_, std::nullopt);
}

Session::Session(BridgeLocation location, std::ostream& err, bool trace,
                 std::function<void(const std::string&)> traceLines)
    : view(err), stack_(std::move(location), setup, firmware, view) {
    if (trace || traceLines) {
        const auto start = std::chrono::steady_clock::now();
        stack_.Link().SetTraceSink(
            [&err, start, trace, traceLines = std::move(traceLines)](
                UsbUart::TraceDirection d, const std::uint8_t* bytes, std::size_t n) {
                const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                                    std::chrono::steady_clock::now() - start)
                                    .count();
                char stamp[32];
                std::snprintf(stamp, sizeof stamp, "[%6lld.%03lld] ",
                              static_cast<long long>(ms / 1000), static_cast<long long>(ms % 1000));
                std::string line = stamp;
                line += d == UsbUart::TraceDirection::Sent ? "> " : "< ";
                line += HexBytes(bytes, n);
                if (traceLines) traceLines(line);
                if (trace) err << line << '\n' << std::flush;
            });
    }
}

Session::~Session() {
    stack_.Shutdown();
}

Session::LinkProgress Session::ProgressNow() {
    ConnectionMonitor& m = stack_.Monitor();
    return LinkProgress{m.Link().GetUsbState(),
                        m.Link().GetDeviceState(),
                        m.CardState(),
                        m.Mode(),
                        setup.HasValidRecord(),
                        setup.WriteRequested(),
                        m.Transfer().VerifyPending(),
                        setup.DefaultRequested(),
                        m.EndedProcedures()};
}

void Session::Start() {
    stack_.Start([this] {
        // Runs on the link thread after every tick.
        ConnectionMonitor& m = stack_.Monitor();
        const LinkProgress now = ProgressNow();
        const bool moved = !lastProgress_ || !(*lastProgress_ == now);
        lastProgress_ = now;
        std::lock_guard lock(mutex_);
        if (condition_ && !conditionMet_) {
            conditionMet_ = condition_(m);
            // The next step (the first traffic after the port opened, the read-back after a
            // write) needs no more than the next tick: it runs now rather than in 500 ms.
            if (!conditionMet_ && moved) stack_.Thread().TickNow();
        }
        ticked_.notify_all();
    });
}

bool Session::Do(const std::function<void(DeviceStack&)>& job) {
    // Held by the job: a job dropped unrun (the session is ending) breaks the promise, which
    // ends the wait instead of leaving it for ever.
    auto done = std::make_shared<std::promise<void>>();
    std::future<void> ran = done->get_future();
    stack_.Post([this, &job, done] {
        job(stack_);
        done->set_value();
    });
    try {
        ran.get();
        return true;
    } catch (const std::future_error&) {
        return false;
    }
}

bool Session::WaitAfterTicks(const std::function<bool(ConnectionMonitor&)>& done,
                             std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    condition_ = done;
    conditionMet_ = false;
    // What the command asked for (a mode, a request) is served by the next tick: now.
    stack_.Thread().TickNow();
    const bool met = ticked_.wait_for(lock, timeout, [&] { return conditionMet_; });
    condition_ = nullptr;
    return met;
}

}  // namespace vorna::cli
