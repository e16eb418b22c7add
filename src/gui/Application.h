// The application object: parses the command line, prepares fonts and the optional simulated
// device, and runs the main window (or the screenshot mode, ScreenshotMode.h).
#pragma once

#include <QApplication>

#include <memory>
#include <string>

class QTimer;

namespace vorna::gui {

class DemoDevice;
class MainWindow;

class Application {
public:
    Application(int& argc, char** argv);
    ~Application();
    int Run();

private:
    struct Settings;
    // Each returns 0 to go on, or the program's exit code.
    int ParseCommandLine(Settings& settings);
    int StartSimulatedDevice(Settings& settings);
    static void CloseOnQuitSignals(MainWindow& window, QTimer& watch);

    int argc_;
    char** argv_;
    std::unique_ptr<QCoreApplication> core_;  // only for --help and --version
    std::unique_ptr<QApplication> qt_;
    std::unique_ptr<DemoDevice> simulated_;
};

// Fonts the layout names, mapped to the metric-compatible ones Debian ships.
void RegisterFontSubstitutes();

// True when the command line asks only for the help or the version, which need no display.
bool AsksOnlyForHelpOrVersion(int argc, char** argv);

}  // namespace vorna::gui
