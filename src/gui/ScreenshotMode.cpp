#include "gui/ScreenshotMode.h"

#include <QApplication>
#include <QDir>
#include <QMenuBar>
#include <QPainter>
#include <QTimer>

#include <cstdio>
#include <ctime>
#include <vector>

#include "base/DataFolders.h"
#include "base/Files.h"
#include "gui/MainWindow.h"
#include "gui/SettingsFileMenu.h"
#include "gui/dialogs/BackupsDialog.h"
#include "gui/dialogs/CompareDialog.h"
#include "settings/Backups.h"
#include "settings/Compare.h"
#include "settings/Profiles.h"

namespace vorna::gui {

// The whole window as laid out, menu bar and all, even where a small screen makes it scroll.
QPixmap WindowScreenshot(QMainWindow& window) {
    const QPixmap menu = window.menuBar()->grab();
    const QPixmap content = window.centralWidget()->grab();
    QPixmap shot(QSize(content.width(), menu.height() + content.height()) *
                 content.devicePixelRatio());
    shot.setDevicePixelRatio(content.devicePixelRatio());
    shot.fill(Qt::black);
    QPainter painter(&shot);
    painter.drawPixmap(0, 0, menu);
    painter.drawPixmap(0, menu.deviceIndependentSize().toSize().height(), content);
    return shot;
}

namespace {

bool SaveShot(QWidget& dialog, const QString& path) {
    dialog.show();
    QApplication::processEvents();
    if (!dialog.grab().save(path)) {
        std::fprintf(stderr, "vorna-link: cannot save %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s\n", qPrintable(path));
    return true;
}

// The compare view (the ESC against the first sheet of a category) and the backups list. With
// no backups folder yet (scripts/screenshots.sh gives the program a fresh one) it gets three
// made from the ESC's values, as an update and a restore would have left them, and one older
// that does not say why.
bool SaveDialogShots(MainWindow& window, const std::filesystem::path& dataDir, const QDir& dir) {
    bool saved = true;
    const SetupState esc = window.SetupModel().EscValues();
    const std::vector<SheetChoice> sheets =
        ListSheets(dataDir / std::string(kProfileFolder), {}, kCategories[0]);
    if (const Result<SheetFile> sheet = sheets.empty() ? Result<SheetFile>(ProblemKind::Missing, "")
                                                       : ReadSetupSheet(sheets[0].path);
        sheet) {
        CompareDialog compare(CompareWithEsc(esc, SetupSheetSide(*sheet)), &window);
        saved = SaveShot(compare, dir.absoluteFilePath("compare.png")) && saved;
    }
    const std::filesystem::path folder = BackupFolder();
    std::error_code ec;
    if (!folder.empty() && !std::filesystem::exists(folder, ec)) {
        const std::time_t now = std::time(nullptr);
        (void)BackUpSettings(esc, folder, now - 3 * 86400, BackupReason::EscFirmwareUpdate);
        (void)BackUpSettings(esc, folder, now - 600, BackupReason::FactorySettings);
        (void)WriteFileReplacing(folder / "2026-03-14_18-02-41_model-12.cfg",
                                 SettingsFileText(esc));
    }
    BackupsRequest request;
    request.folder = folder;
    request.backups = ListBackups(folder);
    request.canCompare = true;
    request.escModelType = esc.modelType;
    BackupsDialog backups(request, &window);
    saved = SaveShot(backups, dir.absoluteFilePath("backups.png")) && saved;
    return saved;
}

}  // namespace

// Chooses the simulated device's mode, waits until it is identified (and an ESC read), saves
// the three pages and quits.
int SaveScreenshots(MainWindow& window, const std::filesystem::path& dataDir, const QString& folder,
                    bool card) {
    const QDir dir(folder);
    if (!QDir().mkpath(dir.path())) {
        std::fprintf(stderr, "vorna-link: cannot create %s\n", qPrintable(dir.path()));
        return 3;
    }
    int exitCode = 1;
    auto save = [&] {
        struct Shot {
            const char* name;
            void (MainWindow::*select)();
        };
        const Shot shots[] = {{"links.png", &MainWindow::SelectLinksPage},
                              {"setup.png", &MainWindow::SelectEscPage},
                              {"firmware.png", &MainWindow::SelectFirmwarePage}};
        exitCode = 0;
        // The pictures show the pages, not where the keyboard happens to be.
        if (QWidget* focused = QApplication::focusWidget()) focused->clearFocus();
        for (const auto& shot : shots) {
            (window.*shot.select)();
            const QString path = dir.absoluteFilePath(shot.name);
            if (!WindowScreenshot(window).save(path)) {
                std::fprintf(stderr, "vorna-link: cannot save %s\n", qPrintable(path));
                exitCode = 3;
            } else {
                std::printf("%s\n", qPrintable(path));
            }
        }
        if (!card && !SaveDialogShots(window, dataDir, dir)) exitCode = 3;
        std::fflush(stdout);
        QApplication::quit();
    };
    QObject::connect(&window.Link(), &LinkController::ticked, &window,
                     [&, card](bool escConnected, bool cardConnected) {
                         const bool ready =
                             card ? cardConnected
                                  : escConnected && window.SetupModel().HasValidRecord();
                         if (ready && exitCode == 1) {
                             exitCode = 2;  // saving
                             QTimer::singleShot(300, &window, save);
                         }
                     });
    if (card) {
        window.Link().ChooseProgramCard();
    } else {
        window.Link().ChooseEsc();
    }
    QTimer::singleShot(30000, &window, [&] {
        if (exitCode != 1) return;
        std::fprintf(stderr, "vorna-link: no device was identified within 30 s\n");
        QApplication::exit(1);
    });
    const int rc = QApplication::exec();
    return exitCode == 0 ? 0 : (rc != 0 ? rc : exitCode);
}

}  // namespace vorna::gui
