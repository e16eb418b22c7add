// The window while it talks to a simulated ESC: how much of a core it takes while it only polls,
// its peak memory, and how long its UI thread is kept from its events at the worst while the
// link thread reads, writes, or waits for an ESC that does not answer.
//
//   vorna-bench-window [--idle-seconds N] [--markdown]
//
// The window is the program's own MainWindow with its shipped data, on Qt's offscreen platform
// unless QT_QPA_PLATFORM says otherwise; the simulated ESC (model type 16) runs in the same
// process, as with `vorna-link --simulate esc:16`. Message boxes are recorded instead of shown,
// so that no one has to close them.
//
// Idle: Device > Esc is chosen and the settings read, on a simulated ESC that answers at once;
// then, over N seconds (20 by default) of the poll keeping the ESC alive, the CPU time of the
// whole process (getrusage: the UI thread, the link thread and the simulated ESC) as a share of
// one core, and the peak resident set (VmHWM in /proc/self/status) at the end.
// Stalls: a precise 1 ms timer on the UI thread; a stall is the longest gap between two of its
// timeouts, less its 1 ms and less the time the UI thread waited for a CPU held by other
// programs (the kernel's run-queue wait in /proc/thread-self/schedstat); the gap as the clock
// saw it follows in brackets. Measured with the ESC paced at the line rate, while Device > Esc is
// chosen and the ESC identified and read, while the settings are written and read back, and for
// 4 s after the ESC falls silent (the poll waits out its 1000 ms answer time on every tick).
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLabel>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "gui/Application.h"
#include "gui/MainWindow.h"
#include "gui/skin/Skin.h"
#include "sim/SimulatedEsc.h"

namespace {

using namespace vorna;
using gui::MainWindow;

constexpr double kIdleCpuTargetPercent = 0.2;
constexpr double kRssLowMb = 47;
constexpr double kRssHighMb = 51;
constexpr double kStallTargetMs = 12;
constexpr int kWaitLimitMs = 30000;

// Runs the event loop until `done` holds or `limitMs` passed; false on the time limit.
bool RunUntil(const std::function<bool()>& done, int limitMs) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > limitMs) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 20);
    }
    return true;
}

void RunFor(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// A field of /proc/self/status in kB ("VmHWM"), or -1.
long StatusKb(const std::string& field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(field + ":", 0) == 0) return std::atol(line.c_str() + field.size() + 1);
    }
    return -1;
}

// Nanoseconds the calling thread has waited on a run queue, for a CPU another thread held
// (the second figure of /proc/thread-self/schedstat); -1 where the kernel does not say.
class RunQueueWait {
public:
    RunQueueWait() : fd_(::open("/proc/thread-self/schedstat", O_RDONLY | O_CLOEXEC)) {}
    ~RunQueueWait() {
        if (fd_ >= 0) ::close(fd_);
    }
    RunQueueWait(const RunQueueWait&) = delete;
    RunQueueWait& operator=(const RunQueueWait&) = delete;
    long long Nanoseconds() const {
        char text[128];
        const ssize_t n = fd_ < 0 ? -1 : ::pread(fd_, text, sizeof text - 1, 0);
        if (n <= 0) return -1;
        text[n] = '\0';
        unsigned long long onCpu = 0, waited = 0;
        if (std::sscanf(text, "%llu %llu", &onCpu, &waited) != 2) return -1;
        return static_cast<long long>(waited);
    }

private:
    int fd_;
};

// The longest wait of the UI thread between two timeouts of a 1 ms timer. Besides the gap as
// the clock saw it, the gap less the time the thread waited for a CPU that other programs held:
// on a busy machine that wait is the machine's, not the window's. What remains is the UI
// thread's own work and its waits on locks, which is what the window can be blamed for.
class StallMeter {
public:
    StallMeter() {
        timer_.setTimerType(Qt::PreciseTimer);
        timer_.setInterval(1);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            const qint64 now = clock_.nsecsElapsed();
            const long long waited = runQueue_.Nanoseconds();
            if (last_ >= 0) {
                longestRaw_ = std::max(longestRaw_, now - last_);
                const qint64 ownGap =
                    now - last_ - (waited >= 0 && lastWaited_ >= 0 ? waited - lastWaited_ : 0);
                longest_ = std::max(longest_, ownGap);
            }
            last_ = now;
            lastWaited_ = waited;
        });
    }
    void Start() {
        longest_ = longestRaw_ = 0;
        last_ = -1;
        clock_.start();
        timer_.start();
    }
    struct Result {
        double ms;     // less the waits for a CPU
        double rawMs;  // as the clock saw it
    };
    // Milliseconds the longest gap exceeded the timer's interval.
    Result Stop() {
        timer_.stop();
        auto over = [](qint64 ns) { return std::max(0.0, static_cast<double>(ns) / 1e6 - 1.0); };
        return {over(longest_), over(longestRaw_)};
    }

private:
    QTimer timer_;
    QElapsedTimer clock_;
    RunQueueWait runQueue_;
    qint64 last_ = -1;
    long long lastWaited_ = -1;
    qint64 longest_ = 0;
    qint64 longestRaw_ = 0;
};

struct Figure {
    std::string what;
    std::string measured;
    std::string target;
    bool ok = false;
};

std::string Format(const char* format, double value) {
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

}  // namespace

int main(int argc, char** argv) {
    int idleSeconds = 20;
    bool markdown = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--idle-seconds" && i + 1 < argc) {
            idleSeconds = std::atoi(argv[++i]);
            if (idleSeconds < 1) idleSeconds = 1;
        } else if (a == "--markdown") {
            markdown = true;
        } else {
            std::fprintf(stderr, "usage: vorna-bench-window [--idle-seconds N] [--markdown]\n");
            return 2;
        }
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setApplicationName("vorna-link");
    gui::RegisterFontSubstitutes();

    char folder[] = "/tmp/vorna-bench-window-XXXXXX";
    if (mkdtemp(folder) == nullptr) {
        std::fprintf(stderr, "vorna-bench-window: no temporary folder\n");
        return 1;
    }
    const std::string link = std::string(folder) + "/link";
    sim::SimulatedEsc esc(link, 16);
    const Status started = esc.Start();
    if (!started) {
        std::fprintf(stderr, "vorna-bench-window: simulated ESC: %s\n", started.Detail().c_str());
        return 1;
    }

    std::vector<QString> messages;
    MainWindow::Options options;
    options.location.fixedPath = link;
    options.dataDir = VORNA_BENCH_BIN_DIR;
    options.presenter = [&messages](QWidget*, const QString& text, bool) {
        messages.push_back(text);
    };
    options.askRetry = [](QWidget*, const QString&) { return false; };
    options.confirm = [](QWidget*, const QString&) { return true; };
    std::vector<Figure> figures;
    int failures = 0;
    auto fail = [&](const char* what) {
        std::fprintf(stderr, "vorna-bench-window: %s\n", what);
        ++failures;
    };
    {
        MainWindow window(options);
        window.show();
        auto escLamp = [&window] {
            return window.findChild<QLabel*>("escLamp")->pixmap().toImage() ==
                   gui::SkinBitmap(gui::kBmpLampOn, window.Scale()).toImage();
        };
        auto connected = [&] { return escLamp() && window.SetupModel().HasValidRecord(); };

        // Idle, polling an ESC that answers at once.
        window.findChild<QAction*>("escAction")->trigger();
        if (!RunUntil(connected, kWaitLimitMs))
            fail("the simulated ESC was not identified and read");
        RunFor(1000);  // whatever the read left to draw
        const double cpuBefore = CpuSeconds();
        QElapsedTimer idle;
        idle.start();
        RunFor(idleSeconds * 1000);
        const double cpuPercent =
            100.0 * (CpuSeconds() - cpuBefore) / (static_cast<double>(idle.nsecsElapsed()) / 1e9);
        const double rssMb = static_cast<double>(StatusKb("VmHWM")) / 1024.0;
        figures.push_back({"idle CPU while polling the ESC, % of a core",
                           Format("%.3f", cpuPercent), Format("%.1f", kIdleCpuTargetPercent),
                           cpuPercent <= kIdleCpuTargetPercent});
        figures.push_back({"peak resident memory, MB", Format("%.1f", rssMb),
                           Format("%.0f", kRssLowMb) + "-" + Format("%.0f", kRssHighMb),
                           rssMb >= kRssLowMb && rssMb <= kRssHighMb});

        // Stalls, on the line's own speed.
        esc.SetLineRate(true);
        StallMeter meter;
        window.findChild<QAction*>("escAction")->trigger();  // Esc off ...
        if (!RunUntil([&] { return window.Mode() == DeviceMode::None && !escLamp(); },
                      kWaitLimitMs)) {
            fail("Device > Esc did not turn off");
        }
        RunFor(600);
        meter.Start();
        window.findChild<QAction*>("escAction")
            ->trigger();  // ... and on: identified and read afresh
        const bool read = RunUntil(connected, kWaitLimitMs);
        RunFor(100);
        const StallMeter::Result readStall = meter.Stop();
        if (!read) fail("the paced ESC was not identified and read");

        messages.clear();
        meter.Start();
        window.SetupModel().RequestWrite();
        const bool written = RunUntil([&] { return !messages.empty(); }, kWaitLimitMs);
        RunFor(100);
        const StallMeter::Result writeStall = meter.Stop();
        if (!written || messages.front() != "Settings sent and verified") {
            fail("the write did not end as sent and verified");
        }

        meter.Start();
        esc.SetFault(sim::Fault::Silent);
        RunFor(4000);
        const StallMeter::Result silentStall = meter.Stop();
        if (escLamp()) fail("the ESC lamp stayed on with the ESC silent");
        esc.SetFault(sim::Fault::None);

        const auto stall = [&](const char* what, StallMeter::Result r) {
            figures.push_back({std::string("longest UI-thread stall ") + what + ", ms",
                               Format("%.1f", r.ms) + Format(" (%.1f)", r.rawMs),
                               Format("%.0f", kStallTargetMs), r.ms <= kStallTargetMs});
        };
        stall("while the ESC is identified and read", readStall);
        stall("while settings are written and read back", writeStall);
        stall("for 4 s with the ESC silent", silentStall);
        window.CloseWithoutAsking();
        RunUntil([&window] { return !window.isVisible(); }, kWaitLimitMs);
    }
    esc.Stop();
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);

    bool allOk = failures == 0;
    if (markdown) {
        std::printf(
            "| the window (simulated ESC, model type 16) | measured | target |\n"
            "|---|---:|---:|\n");
    } else {
        std::printf("%-70s %9s %8s\n", "the window", "measured", "target");
    }
    for (const Figure& f : figures) {
        allOk = allOk && f.ok;
        if (markdown) {
            std::printf("| %s | %s | %s%s |\n", f.what.c_str(), f.measured.c_str(),
                        f.target.c_str(), f.ok ? "" : " off target");
        } else {
            std::printf("%-70s %9s %8s%s\n", f.what.c_str(), f.measured.c_str(), f.target.c_str(),
                        f.ok ? "" : "  off target");
        }
    }
    return allOk ? 0 : 1;
}
