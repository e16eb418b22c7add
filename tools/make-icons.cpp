// vorna-make-icons OUTDIR: draws the program's icon with the skin's own painting at the sizes
// desktops look for and saves OUTDIR/hicolor/NxN/apps/vorna-link.png for each. The build runs
// it, so the installed icons are always the ones the window shows.
#include <QApplication>
#include <QDir>
#include <QPixmap>

#include <cstdio>

#include "gui/skin/Skin.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: vorna-make-icons OUTDIR\n");
        return 2;
    }
    // Drawing needs no screen: the build may run where there is none.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    int qtArgc = 1;
    QApplication app(qtArgc, argv);
    const QDir out(QString::fromLocal8Bit(argv[1]));
    for (const int size : {16, 22, 24, 32, 48, 64, 128, 256, 512}) {
        const QString folder = QStringLiteral("hicolor/%1x%1/apps").arg(size);
        const QString file = out.filePath(folder + QStringLiteral("/vorna-link.png"));
        const QPixmap icon = vorna::gui::AppIconPixmap(size);
        if (!out.mkpath(folder) || icon.isNull() || !icon.save(file, "PNG")) {
            std::fprintf(stderr, "vorna-make-icons: cannot write %s\n", qPrintable(file));
            return 1;
        }
    }
    return 0;
}
