#include "gui/widgets/WidgetLook.h"

#include <QKeyEvent>
#include <QPainter>
#include <QPen>

namespace vorna::gui {

void DrawFocusMark(QPainter& painter, const QRect& face) {
    // Too small a control has no inside to mark.
    if (face.width() < 6 || face.height() < 6) return;
    const QRect outer = face.adjusted(1, 1, -1, -1);
    const int w = kFocusMarkWidth;
    painter.save();
    // Four bars rather than a stroked rectangle: whole pixels, the same at any scale.
    painter.fillRect(QRect(outer.left(), outer.top(), outer.width(), w), kFocusMark);
    painter.fillRect(QRect(outer.left(), outer.bottom() - w + 1, outer.width(), w), kFocusMark);
    painter.fillRect(QRect(outer.left(), outer.top(), w, outer.height()), kFocusMark);
    painter.fillRect(QRect(outer.right() - w + 1, outer.top(), w, outer.height()), kFocusMark);
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
