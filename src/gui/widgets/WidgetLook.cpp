#include "gui/widgets/WidgetLook.h"

#include <QKeyEvent>
#include <QPainter>
#include <QPen>

namespace vorna::gui {

void DrawFocusMark(QPainter& painter, const QRect& face) {
    // Too small a control has no inside to mark.
    if (face.width() < 4 || face.height() < 4) return;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(QPen(kFocusMark, 0));
    painter.setBrush(Qt::NoBrush);
    // A cosmetic pen covers the right and bottom edges of the rectangle it draws, hence the 2.
    painter.drawRect(face.adjusted(1, 1, -2, -2));
    painter.restore();
}

QPixmap Dimmed(const QPixmap& picture) {
    if (picture.isNull()) return picture;
    QPixmap dimmed(picture.size());
    dimmed.setDevicePixelRatio(picture.devicePixelRatio());
    dimmed.fill(Qt::transparent);
    QPainter painter(&dimmed);
    painter.drawPixmap(0, 0, picture);
    // Black over what is drawn, nothing over what is transparent.
    painter.setCompositionMode(QPainter::CompositionMode_SourceAtop);
    painter.fillRect(QRect(QPoint(0, 0), picture.deviceIndependentSize().toSize()),
                     QColor(0, 0, 0, 153));
    return dimmed;
}

bool IsEnterKey(const QKeyEvent& event) {
    const bool enter = event.key() == Qt::Key_Return || event.key() == Qt::Key_Enter;
    return enter && (event.modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
}

}  // namespace vorna::gui
