#include "cli/Session.h"

#include <cstdio>
#include <future>
#include <ostream>
#include <utility>

#include "cli/TerminalText.h"

namespace vorna::cli {

void PrintingView::ShowMessage(const std::string& text, MessageIcon icon) {
    {
        std::lock_guard lock(mutex_);
        messages_.push_back(text);
    }
    if (!echoMessages) return;
    err_ << (icon == MessageIcon::Error ? "error: " : "message: ") << ShownLines(text) << std::endl;
}

void PrintingView::ShowPortProblem(const std::string& text) {
    err_ << "port: " << ShownLines(text) << std::endl;
}

void PrintingView::ShowWriteProgress(const std::string& text) {
    if (showProgress) err_ << "\rwriting " << text << std::flush;
}

std::vector<std::string> PrintingView::TakeMessages() {
    std::lock_guard lock(mutex_);
    return std::exchange(messages_, {});
}

Session::Session(BridgeLocation location, std::ostream& err, bool trace,
                 std::function<void(const std::string&)> traceLines)
    : view(err),
      monitor_(link, std::move(location), setup, firmware, view, thread_),
      escUpdate_(link, setup, firmware, view, thread_,
                 [this] { return monitor_.Mode() == DeviceMode::Fix; }),
      updater_(&escUpdate_, nullptr) {
    monitor_.SetFirmwareUpdates(&updater_);
    if (trace || traceLines) {
        const auto start = std::chrono::steady_clock::now();
        link.SetTraceSink([&err, start, trace, traceLines = std::move(traceLines)](
                              UsbUart::TraceDirection d, const std::uint8_t* bytes, std::size_t n) {
            const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                                std::chrono::steady_clock::now() - start)
                                .count();
            char stamp[32];
            std::snprintf(stamp, sizeof stamp, "[%6lld.%03lld] ", static_cast<long long>(ms / 1000),
                          static_cast<long long>(ms % 1000));
            std::string line = stamp;
            line += d == UsbUart::TraceDirection::Sent ? "> " : "< ";
            for (std::size_t i = 0; i < n; ++i) {
                char hex[4];
                std::snprintf(hex, sizeof hex, "%02x ", bytes[i]);
                line += hex;
            }
            line.pop_back();
            if (traceLines) traceLines(line);
            if (trace) err << line << '\n' << std::flush;
        });
    }
}

Session::~Session() {
    thread_.Shutdown();
}

namespace {

// What a tick can move on: when none of it changed, the next tick would only repeat this one.
struct LinkProgress {
    UsbState usb;
    DeviceState device;
    DeviceState card;
    DeviceMode mode;
    bool validRecord;
    bool writeRequested;
    bool verifyPending;
    bool defaultRequested;
    WriteOutcome lastWrite;
    RestoreOutcome lastRestore;
    bool operator==(const LinkProgress&) const = default;
};

LinkProgress ProgressOf(ConnectionMonitor& m, const EscSetupModel& setup) {
    return LinkProgress{m.Link().GetUsbState(),
                        m.Link().GetDeviceState(),
                        m.CardState(),
                        m.Mode(),
                        setup.HasValidRecord(),
                        setup.WriteRequested(),
                        m.Transfer().VerifyPending(),
                        setup.DefaultRequested(),
                        m.Transfer().LastWrite(),
                        m.Transfer().LastRestore()};
}

}  // namespace

void Session::Start() {
    thread_.Run([this] {
        const LinkProgress before = ProgressOf(monitor_, setup);
        monitor_.OnTimer();
        const bool moved = !(ProgressOf(monitor_, setup) == before);
        std::lock_guard lock(mutex_);
        ++tickCount_;
        if (condition_ && !conditionMet_) {
            conditionMet_ = condition_(monitor_);
            // The next step (the first traffic after the port opened, the read-back after a
            // write) needs no more than the next tick: it runs now rather than in 500 ms.
            if (!conditionMet_ && moved) thread_.TickNow();
        }
        ticked_.notify_all();
    });
}

void Session::Do(const std::function<void(ConnectionMonitor&)>& job) {
    std::promise<void> done;
    thread_.Post([&] {
        job(monitor_);
        done.set_value();
    });
    done.get_future().wait();
}

bool Session::WaitAfterTicks(const std::function<bool(ConnectionMonitor&)>& done,
                             std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    condition_ = done;
    conditionMet_ = false;
    // What the command asked for (a mode, a request) is served by the next tick: now.
    thread_.TickNow();
    const bool met = ticked_.wait_for(lock, timeout, [&] { return conditionMet_; });
    condition_ = nullptr;
    return met;
}

}  // namespace vorna::cli
