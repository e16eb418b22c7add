#include "app/PageFrames.h"

#include <QLabel>

#include "res/Skin.h"

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

// The pages' panels; their controls are laid into these frames.
QWidget* CreateSetupPage(QWidget* parent, EscSetupModel&, int) {
    QWidget* page = BlackPage(parent);
    Frame(page, res::kBmpLeftFrame, QRect(0, 0, 330, 625));
    Frame(page, res::kBmpMiddleFrame, QRect(330, 10, 330, 350));
    Frame(page, res::kBmpPresetFrame, QRect(335, 365, 320, 180));
    Frame(page, res::kBmpRightFrame, QRect(660, 0, 315, 625));
    return page;
}

QWidget* CreateFirmwarePage(QWidget* parent, FirmwarePageModel&, int) {
    QWidget* page = BlackPage(parent);
    Frame(page, res::kBmpFirmwarePanel, QRect(20, 50, 600, 520));
    Frame(page, res::kBmpRightFrame, QRect(650, 0, 330, 620));
    return page;
}

}  // namespace vorna::app
