// From plugging in to values on screen: how long after a simulated ESC appears on its port the
// window shows its settings, and `vornactl read`, started before the ESC is there, has printed
// them. Median of several plugs, each at another phase of the 500 ms poll.
//
//   vorna-bench-plug [--plugs N] [--markdown]
//
// The ESC (model type 16) is paced at the line rate and appears as the port's path being
// created, as a bridge's node is. The window: the program's own MainWindow, Device > Esc chosen,
// on the links page; "on screen" is when it has turned to ESC SETUP with the values read (it
// does so on the first read after a plug-in). vornactl: `vornactl --port PATH --timeout 10
// read` started before the path exists; done when it has exited with the settings printed.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "gui/Application.h"
#include "gui/MainWindow.h"
#include "gui/skin/Skin.h"
#include "sim/SimulatedEsc.h"

extern char** environ;

namespace {

using namespace vorna;
using gui::MainWindow;
using Clock = std::chrono::steady_clock;

constexpr double kTargetSeconds = 0.5;
constexpr int kWaitLimitMs = 20000;

bool RunUntil(const std::function<bool()>& done, int limitMs) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > limitMs) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 5);
    }
    return true;
}

void RunFor(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

double Median(std::vector<double> values) {
    if (values.empty()) return -1;
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2.0;
}

// The wait before a plug: spread over the poll's 500 ms so that each plug meets another phase.
int PhaseMs(int plug) {
    return 120 + (plug * 197) % 500;
}

std::vector<double> WindowPlugs(const std::string& link, int plugs, std::string& failure) {
    sim::SimulatedEsc esc(link, 16);
    esc.SetLineRate(true);
    std::vector<double> seconds;
    MainWindow::Options options;
    options.location.fixedPath = link;
    options.dataDir = VORNA_BENCH_BIN_DIR;
    options.presenter = [](QWidget*, const QString&, bool) {};
    options.askRetry = [](QWidget*, const QString&) { return false; };
    options.confirm = [](QWidget*, const QString&) { return true; };
    MainWindow window(options);
    window.show();
    window.findChild<QAction*>("escAction")->trigger();
    RunFor(1000);
    for (int plug = 0; plug < plugs; ++plug) {
        window.SelectLinksPage();
        if (!RunUntil([&] { return !window.SetupModel().HasValidRecord(); }, kWaitLimitMs)) {
            failure = "the window kept the values of an unplugged ESC";
            break;
        }
        RunFor(PhaseMs(plug));
        const auto plugged = Clock::now();
        const Status started = esc.Replug();
        if (!started) {
            failure = "simulated ESC: " + started.Detail();
            break;
        }
        const bool shown = RunUntil(
            [&] {
                return window.findChild<QWidget*>("setupPage")->isVisible() &&
                       window.SetupModel().HasValidRecord();
            },
            kWaitLimitMs);
        if (!shown) {
            failure = "the window did not show the values of the plugged-in ESC";
            break;
        }
        seconds.push_back(std::chrono::duration<double>(Clock::now() - plugged).count());
        esc.Unplug();
    }
    window.CloseWithoutAsking();
    RunUntil([&window] { return !window.isVisible(); }, kWaitLimitMs);
    return seconds;
}

std::vector<double> VornactlPlugs(const std::string& link, int plugs, std::string& failure) {
    sim::SimulatedEsc esc(link, 16);
    esc.SetLineRate(true);
    std::vector<double> seconds;
    const std::filesystem::path folder = std::filesystem::path(link).parent_path();
    const std::string out = (folder / "out").string();
    for (int plug = 0; plug < plugs; ++plug) {
        std::vector<std::string> args = {VORNA_BENCH_VORNACTL, "--port", link,
                                         "--timeout",          "10",     "read"};
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t files;
        posix_spawn_file_actions_init(&files);
        posix_spawn_file_actions_addopen(&files, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0600);
        posix_spawn_file_actions_addopen(&files, 2, "/dev/null", O_WRONLY, 0);
        pid_t pid = 0;
        const int spawned =
            posix_spawn(&pid, VORNA_BENCH_VORNACTL, &files, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&files);
        if (spawned != 0) {
            failure = "cannot start vornactl";
            break;
        }
        // vornactl is up and waiting (its start-up is no part of the plug), at another phase.
        std::this_thread::sleep_for(std::chrono::milliseconds(300 + PhaseMs(plug)));
        const auto plugged = Clock::now();
        const Status started = esc.Start();
        if (!started) {
            failure = "simulated ESC: " + started.Detail();
            ::kill(pid, SIGTERM);
        }
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        const double took = std::chrono::duration<double>(Clock::now() - plugged).count();
        esc.Stop();
        if (!failure.empty()) break;
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            failure = "vornactl read did not read the plugged-in ESC";
            break;
        }
        seconds.push_back(took);
    }
    return seconds;
}

}  // namespace

int main(int argc, char** argv) {
    int plugs = 8;
    bool markdown = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--plugs" && i + 1 < argc) {
            plugs = std::max(1, std::atoi(argv[++i]));
        } else if (a == "--markdown") {
            markdown = true;
        } else {
            std::fprintf(stderr, "usage: vorna-bench-plug [--plugs N] [--markdown]\n");
            return 2;
        }
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setApplicationName("vorna-link");
    gui::RegisterFontSubstitutes();

    char folder[] = "/tmp/vorna-bench-plug-XXXXXX";
    if (mkdtemp(folder) == nullptr) {
        std::fprintf(stderr, "vorna-bench-plug: no temporary folder\n");
        return 1;
    }
    ::setenv("XDG_DATA_HOME", (std::string(folder) + "/data").c_str(), 1);
    const std::string link = std::string(folder) + "/link";
    std::string windowFailure;
    std::string cliFailure;
    const std::vector<double> window = WindowPlugs(link, plugs, windowFailure);
    const std::vector<double> cli = VornactlPlugs(link, plugs, cliFailure);
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);

    bool allOk = true;
    auto row = [&](const char* what, const std::vector<double>& s, const std::string& failure) {
        if (!failure.empty()) std::fprintf(stderr, "vorna-bench-plug: %s\n", failure.c_str());
        const double median = Median(s);
        const bool ok = failure.empty() && median >= 0 && median <= kTargetSeconds;
        allOk = allOk && ok;
        const double low = s.empty() ? -1 : *std::min_element(s.begin(), s.end());
        const double high = s.empty() ? -1 : *std::max_element(s.begin(), s.end());
        if (markdown) {
            std::printf("| %s | %zu | %.3f | %.3f-%.3f | %.1f%s |\n", what, s.size(), median, low,
                        high, kTargetSeconds, ok ? "" : " off target");
        } else {
            std::printf("%-52s %5zu %8.3f %6.3f-%.3f %6.1f%s\n", what, s.size(), median, low, high,
                        kTargetSeconds, ok ? "" : "  off target");
        }
    };
    if (markdown) {
        std::printf(
            "| plug to values (simulated ESC, model type 16, at line rate) | plugs | median s | "
            "range s | target s |\n|---|---:|---:|---:|---:|\n");
    } else {
        std::printf("%-52s %5s %8s %13s %6s\n", "plug to values", "plugs", "median", "range",
                    "target");
    }
    row("the window, Device > Esc chosen", window, windowFailure);
    row("vornactl read, waiting for the ESC", cli, cliFailure);
    return allOk ? 0 : 1;
}
