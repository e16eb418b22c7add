#include "gui/pages/FirmwarePage.h"

#include <QLabel>

#include "gui/skin/Skin.h"

namespace vorna::gui {
namespace {

void Frame(QWidget* page, int bitmapId, QRect place) {
    auto* label = new QLabel(page);
    label->setGeometry(place);
    label->setPixmap(SkinFrameBitmap(bitmapId, place.size()));
}

}  // namespace

// Only the panels so far; the page's controls come with firmware updates.
FirmwarePage::FirmwarePage(FirmwarePageModel& /*model*/, int /*textSize*/, QWidget* parent)
    : QWidget(parent) {
    setAutoFillBackground(true);
    QPalette black = palette();
    black.setColor(QPalette::Window, Qt::black);
    setPalette(black);
    Frame(this, kBmpFirmwarePanel, QRect(20, 50, 600, 520));
    Frame(this, kBmpRightFrame, QRect(650, 0, 330, 620));
}

}  // namespace vorna::gui
