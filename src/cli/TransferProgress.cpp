#include "cli/TransferProgress.h"

#include <algorithm>
#include <cstdio>
#include <ostream>

namespace vorna::cli {
namespace {

constexpr std::size_t kBarWidth = 20;
constexpr auto kRedrawEvery = std::chrono::milliseconds(100);

std::string Rate(unsigned long long sent, unsigned long long ms) {
    if (ms == 0) return "-- B/s";
    char text[32];
    const unsigned long long bytesPerSecond = sent * 1000 / ms;
    if (bytesPerSecond < 1024) {
        std::snprintf(text, sizeof text, "%llu B/s", bytesPerSecond);
    } else {
        const unsigned long long tenths = sent * 10000 / (ms * 1024);
        std::snprintf(text, sizeof text, "%llu.%llu KiB/s", tenths / 10, tenths % 10);
    }
    return text;
}

std::string TimeLeft(unsigned long long sent, unsigned long long total, unsigned long long ms) {
    if (sent >= total) return "0:00 left";
    if (ms == 0 || sent == 0) return "--:-- left";
    // At the rate so far, rounded up: "0:00" only once everything is in.
    const unsigned long long seconds = ((total - sent) * ms + sent * 1000 - 1) / (sent * 1000);
    char text[48];
    if (seconds >= 3600) {
        std::snprintf(text, sizeof text, "%llu:%02llu:%02llu left", seconds / 3600,
                      seconds / 60 % 60, seconds % 60);
    } else {
        std::snprintf(text, sizeof text, "%llu:%02llu left", seconds / 60, seconds % 60);
    }
    return text;
}

}  // namespace

std::string ProgressBarLine(std::size_t sent, std::size_t total,
                            std::chrono::milliseconds elapsed) {
    sent = std::min(sent, total);
    const std::size_t percent = total == 0 ? 100 : sent * 100 / total;
    const std::size_t filled = percent * kBarWidth / 100;
    const auto ms = static_cast<unsigned long long>(std::max<long long>(elapsed.count(), 0));
    char figures[64];
    std::snprintf(figures, sizeof figures, "] %3zu%%  %zu/%zu B  ", percent, sent, total);
    return "[" + std::string(filled, '#') + std::string(kBarWidth - filled, '-') + figures +
           Rate(sent, ms) + "  " + TimeLeft(sent, total, ms);
}

void TransferProgress::Percent(int percent) {
    std::lock_guard lock(mutex_);
    if (terminal_ || percent < 0 || percent == lastPercent_) return;
    lastPercent_ = percent;
    err_ << percent << "%\n" << std::flush;
}

void TransferProgress::Bytes(std::size_t sent, std::size_t total) {
    std::lock_guard lock(mutex_);
    if (!terminal_) return;
    const Clock::time_point now = Clock::now();
    if (!started_) {
        started_ = true;
        start_ = now;
    } else if (sent == sent_ && total == total_) {
        return;
    }
    const bool first = drawnWidth_ == 0;
    sent_ = sent;
    total_ = total;
    drawnLast_ = false;
    if (first || sent >= total || now - lastDraw_ >= kRedrawEvery) Draw(now);
}

void TransferProgress::End() {
    std::lock_guard lock(mutex_);
    if (!terminal_ || !started_) return;
    if (!drawnLast_) Draw(Clock::now());
    err_ << '\n' << std::flush;
    started_ = false;
    drawnWidth_ = 0;
}

void TransferProgress::Draw(Clock::time_point now) {
    std::string line = ProgressBarLine(
        sent_, total_, std::chrono::duration_cast<std::chrono::milliseconds>(now - start_));
    // A shorter line than the last must also cover what that one left on the screen.
    const std::size_t width = line.size();
    if (width < drawnWidth_) line.append(drawnWidth_ - width, ' ');
    drawnWidth_ = std::max(drawnWidth_, width);
    err_ << '\r' << line << std::flush;
    lastDraw_ = now;
    drawnLast_ = true;
}

}  // namespace vorna::cli
