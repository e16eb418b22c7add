#include "app/PageFrames.h"

#include <QLabel>

#include "res/Skin.h"
#include "settings/CEscSetupDlg.h"

namespace vorna::app {
namespace {

QWidget* BlackPage(QWidget* parent) {
    auto* page = new QWidget(parent);
    page->setAutoFillBackground(true);
    QPalette palette = page->palette();
    palette.setColor(QPalette::Window, Qt::black);
    page->setPalette(palette);
    return page;
}

void Frame(QWidget* page, int bitmapId, QRect place) {
    auto* label = new QLabel(page);
    label->setGeometry(place);
    label->setPixmap(res::SkinFrameBitmap(bitmapId, place.size()));
}

}  // namespace

QWidget* CreateSetupPage(QWidget* parent, EscSetupModel& model,
                         const std::filesystem::path& programFolder, int textSize) {
    return new CEscSetupDlg(model, programFolder, textSize, parent);
}

// The firmware page's panels; its controls are not built yet.
QWidget* CreateFirmwarePage(QWidget* parent, FirmwarePageModel&, int) {
    QWidget* page = BlackPage(parent);
    Frame(page, res::kBmpFirmwarePanel, QRect(20, 50, 600, 520));
    Frame(page, res::kBmpRightFrame, QRect(650, 0, 330, 620));
    return page;
}

}  // namespace vorna::app
