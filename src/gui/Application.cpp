#include "gui/Application.h"

#include <QCommandLineParser>
#include <QFont>
#include <QTimer>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <string_view>

#include "Version.h"
#include "base/DataFolders.h"
#include "base/Utf8Path.h"
#include "gui/AppConfig.h"
#include "gui/DemoDevice.h"
#include "gui/MainWindow.h"
#include "gui/PortArrivalWatch.h"
#include "gui/ProcessSignals.h"
#include "gui/QtPlatform.h"
#include "gui/ScreenshotMode.h"
#include "link/BridgeDiscovery.h"

namespace vorna::gui {

namespace {
std::atomic<bool> gQuitRequested{false};
extern "C" void OnQuitSignal(int) {
    gQuitRequested = true;
}
}  // namespace

void RegisterFontSubstitutes() {
    for (const char* face : {"Arial", "Microsoft Sans Serif", "MS Shell Dlg", "MS Shell Dlg 2"}) {
        QFont::insertSubstitution(face, "Liberation Sans");
    }
}

// --help and --version only print; they need no display, and a QApplication without one would
// abort before the options were read.
bool AsksOnlyForHelpOrVersion(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--") break;
        if (arg == "-h" || arg == "-?" || arg == "--help" || arg == "--help-all" || arg == "-v" ||
            arg == "--version") {
            return true;
        }
    }
    return false;
}

Application::Application(int& argc, char** argv) : argc_(argc), argv_(argv) {
    ChooseQtPlatform();
    if (AsksOnlyForHelpOrVersion(argc, argv)) {
        core_ = std::make_unique<QCoreApplication>(argc, argv);
        QCoreApplication::setApplicationName("vorna-link");
        QCoreApplication::setApplicationVersion(kVersion);
        return;
    }
    qt_ = std::make_unique<QApplication>(argc, argv);
    QApplication::setApplicationName("vorna-link");
    QApplication::setApplicationVersion(kVersion);
    // The installed desktop entry's name, so a desktop (Wayland's in particular) shows the
    // window with that entry's icon and groups it with the launcher.
    QGuiApplication::setDesktopFileName("example.kelvaran_racing.VornaLink");
    RegisterFontSubstitutes();
}

Application::~Application() = default;

// What the command line asked for.
struct Application::Settings {
    MainWindow::Options window;
    QString simulate;     // "", "card", "esc" or "esc:MODEL"
    QString screenshots;  // folder, or empty
};

int Application::Run() {
    Settings settings;
    if (const int rc = ParseCommandLine(settings); rc != 0) return rc;
    if (!qt_) return 0;  // the help or version was printed
    if (const int rc = StartSimulatedDevice(settings); rc != 0) return rc;

    MainWindow window(settings.window);
    QObject::connect(&window, &MainWindow::closed, qt_.get(), &QCoreApplication::quit,
                     Qt::QueuedConnection);
    window.show();
    const std::unique_ptr<QAbstractNativeEventFilter> arrivals = WatchPortArrivals(window);
    if (arrivals) qt_->installNativeEventFilter(arrivals.get());
    QTimer quitWatch;
    CloseOnQuitSignals(window, quitWatch);
    if (!settings.screenshots.isEmpty()) {
        return SaveScreenshots(window, settings.window.dataDir, settings.screenshots,
                               settings.simulate == "card");
    }
    return qt_->exec();
}

int Application::ParseCommandLine(Settings& settings) {
    QCommandLineParser parser;
    const QString note = DemoDevicesNote();
    parser.setApplicationDescription(note.isEmpty() ? QString(kAppTitle)
                                                    : QString(kAppTitle) + "\n\n" + note);
    parser.addHelpOption();
    parser.addVersionOption();
    const PortArgumentWords port = PortArgument();
    QCommandLineOption portOption(
        "port", QStringLiteral("Use %1 instead of looking for the bridge.").arg(port.phrase),
        port.placeholder);
    QCommandLineOption dataOption("data-dir", "Read config.ini, Profile/ and Firmware/ from DIR.",
                                  "DIR");
    QCommandLineOption simOption("simulate", "Run against a simulated device: esc[:MODEL] or card.",
                                 "DEVICE");
    QCommandLineOption shotOption("screenshots",
                                  "Save the three pages as PNG files in DIR and exit.", "DIR");
    parser.addOptions({portOption, dataOption, shotOption});
    if (DemoDevicesAvailable()) parser.addOption(simOption);
    // Prints the help or the version and ends the program when asked for them.
    parser.process(*QCoreApplication::instance());

    settings.window.dataDir =
        parser.isSet(dataOption)
            ? PathFromUtf8(parser.value(dataOption).toStdString())
            : ShippedDataFolder(PathFromUtf8(QCoreApplication::applicationDirPath().toStdString()));
    settings.window.location.fixedPath = parser.value(portOption).toStdString();
    if (DemoDevicesAvailable()) settings.simulate = parser.value(simOption);
    settings.screenshots = parser.value(shotOption);
    // The screenshots choose their own mode and are no choice of the user's to remember.
    if (settings.screenshots.isEmpty() && !UserDataFolder().empty()) {
        settings.window.ownSettings = UserDataFolder() / kOwnSettingsFileName;
    }
    if (parser.isSet(shotOption) && settings.screenshots.isEmpty()) {
        std::fprintf(stderr, "vorna-link: --screenshots needs a folder\n");
        return 2;
    }
    return 0;
}

int Application::StartSimulatedDevice(Settings& settings) {
    const QString& what = settings.simulate;
    if (what.isEmpty()) return 0;
    Result<DemoRun> start = StartDemoDevice(what);
    if (!start) {
        std::fprintf(stderr, "vorna-link: %s\n", start.Detail().c_str());
        // 2: the command line asks for what cannot be; 1: it could not be done.
        return start.Kind() == ProblemKind::System ? 1 : 2;
    }
    simulated_ = std::move(start->device);
    settings.window.location.fixedPath = start->link;
    return 0;
}

// Ctrl-C, Ctrl-\, a polite kill or the terminal closing closes the window properly, so a
// simulated device's link goes too; while a transfer (a firmware update, a settings write or a
// restore) is under way, the window waits for its end and its outcome first. A session that
// ends (logout, shutdown) is asked to wait by the window itself (MainWindow's session answer).
void Application::CloseOnQuitSignals(MainWindow& window, QTimer& watch) {
    CatchQuitSignals(OnQuitSignal);
    QObject::connect(&watch, &QTimer::timeout, &window, [&window] {
        if (gQuitRequested) window.CloseWithoutAsking();
    });
    watch.start(200);
}

}  // namespace vorna::gui
