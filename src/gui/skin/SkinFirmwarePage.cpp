// The firmware page: panel, titles, start pictures, outcome pictures, the progress frame, and
// the arrow strip of the drop-down lists.

#include <QFontMetricsF>
#include <QLinearGradient>
#include <algorithm>

#include "gui/skin/SkinPainting.h"

namespace vorna::gui::skin {

namespace {

// The ESC panel's title (page x 200, width 180) sits on the top edge of the panel picture
// (page x 20): the outline leaves an opening there.
constexpr qreal kPanelLeft = 20.0;
constexpr qreal kEscTitleLeft = 200.0;
constexpr qreal kEscTitleWidth = 180.0;

// The lists copy a frame of the arrow strip 2 pixels below the top of their face, and their
// faces are about 20 pixels high: the arrow's middle goes at row 8 of the strip.
constexpr qreal kArrowMiddle = 8.0;
constexpr int kArrowFrames = 3;

}  // namespace

void PaintPageTitle(QPainter& p, QSize size, const QString& text) {
    const QFont font = FitFont(SkinFont(22, true, true), text, size.width() - 10.0);
    DrawHeadingLine(p, text, font, 0, size.width(), size.height() / 2.0, Qt::AlignHCenter);
}

void PaintPanelRule(QPainter& p, QSize size) {
    DrawGlowRule(p, QRectF(0, 0, size.width(), size.height()), 2.0);
}

void PaintStartPicture(QPainter& p, QSize size, const QString& device) {
    const qreal w = size.width();
    const qreal h = size.height();
    const QRectF plate(1.0, 1.0, w - 2.0, h - 2.0);
    DrawPlate(p, plate, 10.0, QColor(232, 38, 30), QColor(110, 0, 0), kRedHot, 1.5);

    // Where the name does not fit at the smallest readable size, its last words go before it is
    // cut: the panel's heading above already says whose firmware it is.
    QString name = device;
    QFont top = FitFont(SkinFont(13, true), name, w - 16.0, 7.0, 80);
    while (name.count(' ') > 1 && InkWidth(QFontMetricsF(top), name) > w - 4.0) {
        name.truncate(name.lastIndexOf(' '));
        top = FitFont(SkinFont(13, true), name, w - 16.0, 7.0, 80);
    }
    DrawTextLine(p, name, top, Qt::white, 0, w, h * 0.25, Qt::AlignHCenter);

    p.save();
    p.setPen(QPen(QColor(255, 255, 255, 90), 1.0));
    p.drawLine(QPointF(14.0, h * 0.43), QPointF(w - 14.0, h * 0.43));
    p.restore();

    const QString save = QStringLiteral("SAVE");
    const QFont big = SkinFont(25, true);
    const qreal saveWidth = QFontMetricsF(big).horizontalAdvance(save);
    const qreal iconSize = 24.0;
    const qreal gap = 8.0;
    const qreal left = (w - iconSize - gap - saveWidth) / 2.0;
    DrawArrowDownIntoChip(p, QRectF(left, h * 0.71 - iconSize / 2.0, iconSize, iconSize),
                          Qt::white);
    DrawTextLine(p, save, big, Qt::white, left + iconSize + gap, w, h * 0.71, Qt::AlignLeft);
}

void PaintStatus(QPainter& p, QSize size, Outcome outcome) {
    const qreal w = size.width();
    const qreal h = size.height();
    QString word;
    QColor colour;
    switch (outcome) {
        case Outcome::Ready:
            word = QStringLiteral("READY");
            colour = kInk;
            break;
        case Outcome::Finished:
            word = QStringLiteral("FINISHED");
            colour = kGreen;
            break;
        case Outcome::Failed:
            word = QStringLiteral("FAILED");
            colour = kRedHot;
            break;
    }
    QColor border = colour;
    border.setAlpha(outcome == Outcome::Ready ? 110 : 200);
    DrawPlate(p, QRectF(1.0, 1.0, w - 2.0, h - 2.0), 10.0, QColor(34, 34, 34), QColor(8, 8, 8),
              border, 2.0);

    const qreal badge = 34.0;
    const QRectF badgeBox(12.0, (h - badge) / 2.0, badge, badge);
    switch (outcome) {
        case Outcome::Ready:
            DrawStandbyBadge(p, badgeBox, colour);
            break;
        case Outcome::Finished:
            DrawCheckBadge(p, badgeBox, colour);
            break;
        case Outcome::Failed:
            DrawCrossBadge(p, badgeBox, colour);
            break;
    }
    const qreal left = badgeBox.right() + 6.0;
    const qreal right = w - 12.0;
    const QFont font = FitFont(SkinFont(21, true), word, right - left);
    DrawTextLine(p, word, font, colour, left, right, h / 2.0, Qt::AlignHCenter);
}

void PaintFirmwarePanel(QPainter& p, QSize size) {
    const QRectF rect(3.0, 4.0, size.width() - 6.0, size.height() - 12.0);
    const qreal gapLeft = kEscTitleLeft - kPanelLeft + 2.0;
    DrawPanelFrame(p, rect, 16.0, gapLeft, gapLeft + kEscTitleWidth - 4.0);
}

void PaintComboArrows(QPainter& p, QSize size) {
    const qreal frame = static_cast<qreal>(size.width() / kArrowFrames);
    const qreal h = size.height();
    for (int i = 0; i < kArrowFrames; ++i) {
        const qreal x = frame * i;
        const bool normal = i == 0;
        const bool pressed = i == 2;
        // Each frame's ground is the face colour of its state, so the strip joins the face.
        p.fillRect(QRectF(x, 0, frame, h), normal ? kBoxGrey : kComboRed);
        // A thin divider between the text and the arrow.
        p.fillRect(QRectF(x + 1.0, 1.0, 1.0, 15.0),
                   normal ? QColor(96, 96, 96) : QColor(255, 130, 130));
        if (pressed) {
            p.save();
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(150, 0, 0));
            p.drawRoundedRect(QRectF(x + 4.0, 1.0, frame - 6.0, 15.0), 3.0, 3.0);
            p.restore();
        }
        const qreal cx = x + 2.0 + (frame - 2.0) / 2.0;
        const qreal cy = kArrowMiddle + (pressed ? 1.0 : 0.0);
        QPainterPath arrow;
        arrow.moveTo(cx - 4.5, cy - 2.5);
        arrow.lineTo(cx + 4.5, cy - 2.5);
        arrow.lineTo(cx, cy + 2.5);
        arrow.closeSubpath();
        p.save();
        p.setPen(Qt::NoPen);
        p.setBrush(normal ? QColor(220, 220, 220) : QColor(Qt::white));
        p.drawPath(arrow);
        p.restore();
    }
}

void PaintProgressFrame(QPainter& p, QSize size) {
    // Opaque: the progress button covers the outcome picture at the same place.
    const QRectF plate(1.0, 1.0, size.width() - 2.0, size.height() - 2.0);
    DrawPlate(p, plate, 12.0, QColor(28, 28, 28), QColor(6, 6, 6), kRed, 2.0);
    p.save();
    p.setPen(QPen(QColor(255, 255, 255, 28), 1.0));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(plate.adjusted(5, 5, -5, -5), 8.0, 8.0);
    p.restore();
}

}  // namespace vorna::gui::skin
