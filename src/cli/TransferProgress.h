// How vornactl shows a firmware transfer on standard error. On a terminal, one bar redrawn in
// place; anywhere else (a log file, a pipe, a script) a line per new percentage, which reads
// well after the fact and is easy to parse.
#pragma once

#include <chrono>
#include <cstddef>
#include <iosfwd>
#include <mutex>
#include <string>

namespace vorna::cli {

// The bar's text for `sent` of `total` bytes, `elapsed` after the first byte went out, e.g.
// "[#####---------------]  25%  3072/12288 B  1.5 KiB/s  0:06 left". Rate and time left show
// "--" until there is something to go by; an empty image is complete.
std::string ProgressBarLine(std::size_t sent, std::size_t total, std::chrono::milliseconds elapsed);

// Called from the link thread while an update runs and from the command's thread at its end.
class TransferProgress {
public:
    TransferProgress(std::ostream& err, bool terminal) : err_(err), terminal_(terminal) {}

    // The update's percentage: a line of its own for each new value, unless on a terminal.
    void Percent(int percent);
    // Bytes the device has taken: redraws the bar on a terminal (at most ten times a second,
    // and always for the last byte).
    void Bytes(std::size_t sent, std::size_t total);
    // Finishes the bar's line, so that what is printed next starts on a line of its own.
    void End();

private:
    using Clock = std::chrono::steady_clock;
    void Draw(Clock::time_point now);

    std::mutex mutex_;
    std::ostream& err_;
    const bool terminal_;
    int lastPercent_ = -1;
    bool started_ = false;
    bool drawnLast_ = true;  // the bar shows the latest figures
    std::size_t sent_ = 0;
    std::size_t total_ = 0;
    std::size_t drawnWidth_ = 0;
    Clock::time_point start_;
    Clock::time_point lastDraw_;
};

}  // namespace vorna::cli
