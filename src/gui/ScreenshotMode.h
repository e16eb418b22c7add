// The screenshot mode (--screenshots DIR): the three pages, the compare view and the backups
// list saved as PNG files once the simulated device is identified, then the program ends.
#pragma once

#include <QPixmap>
#include <QString>

#include <filesystem>

class QMainWindow;

namespace vorna::gui {

class MainWindow;

// The whole window as laid out, menu bar and all, even where a small screen makes it scroll.
QPixmap WindowScreenshot(QMainWindow& window);

// Chooses the card's Device mode when `card`, the ESC's otherwise, waits until the device is
// identified (and an ESC read), saves the pictures in `folder` and quits; runs the event loop
// and returns the program's exit code. Sheets for the compare view come from `dataDir`.
int SaveScreenshots(MainWindow& window, const std::filesystem::path& dataDir, const QString& folder,
                    bool card);

}  // namespace vorna::gui
