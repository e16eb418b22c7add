#include "gui/Application.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFont>
#include <QStandardPaths>
#include <QTimer>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <filesystem>

#include "gui/MainWindow.h"
#include "sim/SimulatedCard.h"
#include "sim/SimulatedEsc.h"
#include "gui/AppConfig.h"
#include "protocol/ModelTypes.h"
#include "Version.h"

namespace vorna::gui {

namespace {
std::atomic<bool> gQuitRequested{false};
extern "C" void OnQuitSignal(int) { gQuitRequested = true; }
}  // namespace

void RegisterFontSubstitutes() {
    for (const char* face : {"Arial", "Microsoft Sans Serif", "MS Shell Dlg", "MS Shell Dlg 2"}) {
        QFont::insertSubstitution(face, "Liberation Sans");
    }
}

Application::Application(int& argc, char** argv) : argc_(argc), argv_(argv) {
    qt_ = std::make_unique<QApplication>(argc, argv);
    QApplication::setApplicationName("vorna-link");
    QApplication::setApplicationVersion(kVersion);
    RegisterFontSubstitutes();
}

Application::~Application() {
    if (simulated_) simulated_->Stop();
}

int Application::Run() {
    QCommandLineParser parser;
    parser.setApplicationDescription(kAppTitle);
    parser.addHelpOption();
    QCommandLineOption portOption("port", "Use the serial device PATH instead of looking for the bridge.", "PATH");
    QCommandLineOption dataOption("data-dir", "Read config.ini, Profile/ and Firmware/ from DIR.", "DIR");
    QCommandLineOption simOption("simulate", "Run against a simulated device: esc[:MODEL] or card.", "DEVICE");
    QCommandLineOption shotOption("screenshots", "Save the three pages as PNG files in DIR and exit.", "DIR");
    parser.addOptions({portOption, dataOption, simOption, shotOption});
    parser.process(*qt_);

    MainWindow::Options options;
    options.dataDir = parser.isSet(dataOption) ? parser.value(dataOption).toStdString()
                                               : QCoreApplication::applicationDirPath().toStdString();
    options.location.fixedPath = parser.value(portOption).toStdString();

    bool simulateCard = false;
    if (parser.isSet(simOption)) {
        const QString what = parser.value(simOption);
        const QString link =
            QDir(QStandardPaths::writableLocation(QStandardPaths::TempLocation))
                .filePath(QString("vorna-link-sim-%1").arg(QCoreApplication::applicationPid()));
        std::string error;
        if (what == "card") {
            simulateCard = true;
            simulated_ = std::make_unique<sim::SimulatedCard>(link.toStdString());
        } else if (what == "esc" || what.startsWith("esc:")) {
            bool ok = true;
            const int model = what == "esc" ? 16 : what.mid(4).toInt(&ok);
            if (!ok || model < 0 || model >= kModelTypeCount) {
                std::fprintf(stderr, "vorna-link: --simulate esc:MODEL takes a model type from 0 to 17\n");
                return 2;
            }
            simulated_ = std::make_unique<sim::SimulatedEsc>(link.toStdString(), model);
        } else {
            std::fprintf(stderr, "vorna-link: --simulate takes esc, esc:MODEL or card\n");
            return 2;
        }
        if (!simulated_->Start(&error)) {
            std::fprintf(stderr, "vorna-link: cannot start the simulated device: %s\n", error.c_str());
            return 1;
        }
        options.location.fixedPath = link.toStdString();
    }

    MainWindow window(options);
    window.show();

    // Ctrl-C or a polite kill closes the window properly, so a simulated device's link goes too.
    std::signal(SIGINT, OnQuitSignal);
    std::signal(SIGTERM, OnQuitSignal);
    QTimer quitWatch;
    QObject::connect(&quitWatch, &QTimer::timeout, &window, [&window] {
        if (gQuitRequested) window.close();
    });
    quitWatch.start(200);

    if (parser.isSet(shotOption)) {
        const QDir dir(parser.value(shotOption));
        if (!QDir().mkpath(dir.path())) {
            std::fprintf(stderr, "vorna-link: cannot create %s\n", qPrintable(dir.path()));
            return 3;
        }
        int exitCode = 1;
        auto save = [&] {
            struct Shot { const char* name; void (MainWindow::*select)(); };
            const Shot shots[] = {{"links.png", &MainWindow::SelectLinksPage},
                                  {"setup.png", &MainWindow::SelectEscPage},
                                  {"firmware.png", &MainWindow::SelectFirmwarePage}};
            exitCode = 0;
            for (const auto& shot : shots) {
                (window.*shot.select)();
                const QString path = dir.absoluteFilePath(shot.name);
                if (!window.Screenshot().save(path)) {
                    std::fprintf(stderr, "vorna-link: cannot save %s\n", qPrintable(path));
                    exitCode = 3;
                } else {
                    std::printf("%s\n", qPrintable(path));
                }
            }
            std::fflush(stdout);
            QApplication::quit();
        };
        QObject::connect(&window.Link(), &LinkController::ticked, &window,
                         [&, simulateCard](int, int deviceState, int cardState) {
                             const bool ready = simulateCard ? cardState == 2
                                                             : deviceState == 2 && window.SetupModel().HasValidRecord();
                             if (ready && exitCode == 1) {
                                 exitCode = 2;  // saving
                                 QTimer::singleShot(300, &window, save);
                             }
                         });
        if (simulateCard) {
            window.Link().ChooseProgramCard();
        } else {
            window.Link().ChooseEsc();
        }
        QTimer::singleShot(30000, &window, [&] {
            if (exitCode != 1) return;
            std::fprintf(stderr, "vorna-link: no device was identified within 30 s\n");
            QApplication::exit(1);
        });
        const int rc = qt_->exec();
        return exitCode == 0 ? 0 : (rc != 0 ? rc : exitCode);
    }
    return qt_->exec();
}

}  // namespace vorna::gui
