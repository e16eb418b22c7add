// vorna-make-icons OUTDIR: draws the program's icon with the skin's own painting at the sizes
// desktops look for and saves OUTDIR/hicolor/NxN/apps/vorna-link.png for each. The build runs
// it, so the installed icons are always the ones the window shows.
// vorna-make-icons --windows DIR: the same icon as one Windows icon file, 16 to 256 pixels
// (DIR/vorna-link.ico), and the installer's pictures with the program's icon: the side
// picture of its first and last pages (DIR/installer-side.bmp) and the heading picture of the
// others (DIR/installer-heading.bmp).
#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QPixmap>

#include <cstdio>

#include "gui/skin/Skin.h"

namespace {

void PutLittleEndian(QByteArray& out, unsigned value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.append(static_cast<char>((value >> (8 * i)) & 0xFF));
}

// An .ico file holds a directory of images; each may be a whole PNG file, which every Windows
// since Vista reads. Written by hand because Qt's ico writer stores one image only.
bool WriteIco(const QString& file) {
    const int sizes[] = {16, 24, 32, 48, 64, 128, 256};
    QList<QByteArray> images;
    for (const int size : sizes) {
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        if (!vorna::gui::AppIconPixmap(size).save(&buffer, "PNG")) return false;
        images.append(png);
    }
    const int count = static_cast<int>(images.size());
    QByteArray ico;
    PutLittleEndian(ico, 0, 2);  // reserved
    PutLittleEndian(ico, 1, 2);  // an icon, not a cursor
    PutLittleEndian(ico, static_cast<unsigned>(count), 2);
    unsigned offset = 6 + 16 * static_cast<unsigned>(count);
    for (int i = 0; i < count; ++i) {
        const int size = sizes[i];
        PutLittleEndian(ico, size >= 256 ? 0 : static_cast<unsigned>(size), 1);  // 0 means 256
        PutLittleEndian(ico, size >= 256 ? 0 : static_cast<unsigned>(size), 1);
        PutLittleEndian(ico, 0, 1);   // no palette
        PutLittleEndian(ico, 0, 1);   // reserved
        PutLittleEndian(ico, 1, 2);   // colour planes
        PutLittleEndian(ico, 32, 2);  // bits per pixel
        PutLittleEndian(ico, static_cast<unsigned>(images[i].size()), 4);
        PutLittleEndian(ico, offset, 4);
        offset += static_cast<unsigned>(images[i].size());
    }
    for (const QByteArray& png : images) ico.append(png);
    QFile out(file);
    return out.open(QIODevice::WriteOnly) && out.write(ico) == ico.size();
}

// The installer takes plain 24-bit bitmaps at its own sizes: the program's icon between the
// skin's red rules, on its black. No lettering: the Windows build draws these offscreen under
// Wine, where no fonts are to be had.
bool WriteInstallerPictures(const QDir& out) {
    using namespace vorna::gui;
    const QPixmap rule = SkinBitmap(kBmpRedRule);
    QImage side(164, 314, QImage::Format_RGB32);
    side.fill(Qt::black);
    {
        QPainter painter(&side);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        const QPixmap icon = AppIconPixmap(112);
        const int top = (side.height() - icon.height()) / 2;
        painter.drawPixmap(QRect(12, top - 24, 140, 4), rule);
        painter.drawPixmap((side.width() - icon.width()) / 2, top, icon);
        painter.drawPixmap(QRect(12, top + icon.height() + 20, 140, 4), rule);
    }
    QImage heading(150, 57, QImage::Format_RGB32);
    heading.fill(Qt::white);
    {
        QPainter painter(&heading);
        const QPixmap icon = AppIconPixmap(48);
        painter.drawPixmap(heading.width() - icon.width() - 4,
                           (heading.height() - icon.height()) / 2, icon);
    }
    return side.convertToFormat(QImage::Format_RGB888)
               .save(out.filePath(QStringLiteral("installer-side.bmp")), "BMP") &&
           heading.convertToFormat(QImage::Format_RGB888)
               .save(out.filePath(QStringLiteral("installer-heading.bmp")), "BMP");
}

}  // namespace

int main(int argc, char** argv) {
    const bool ico = argc == 3 && QByteArray(argv[1]) == "--windows";
    if (argc != 2 && !ico) {
        std::fprintf(stderr, "usage: vorna-make-icons OUTDIR | --windows DIR\n");
        return 2;
    }
    // Drawing needs no screen: the build may run where there is none.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    int qtArgc = 1;
    QApplication app(qtArgc, argv);
    if (ico) {
        const QDir folder(QString::fromLocal8Bit(argv[2]));
        if (!folder.mkpath(QStringLiteral(".")) ||
            !WriteIco(folder.filePath(QStringLiteral("vorna-link.ico"))) ||
            !WriteInstallerPictures(folder)) {
            std::fprintf(stderr, "vorna-make-icons: cannot write into %s\n", argv[2]);
            return 1;
        }
        return 0;
    }
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
