// The application object: parses the command line, prepares fonts and the optional simulated
// device, runs the main window, and the screenshot mode.
#pragma once

#include <QApplication>

#include <memory>
#include <string>

namespace vorna::sim {
class PtyDevice;
}

namespace vorna::app {

class CKelvaran11App {
public:
    CKelvaran11App(int& argc, char** argv);
    ~CKelvaran11App();
    int Run();

private:
    int argc_;
    char** argv_;
    std::unique_ptr<QApplication> qt_;
    std::unique_ptr<sim::PtyDevice> simulated_;
};

// Fonts the layout names, mapped to the metric-compatible ones Debian ships.
void RegisterFontSubstitutes();

}  // namespace vorna::app
