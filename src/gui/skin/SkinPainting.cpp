#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPainterPathStroker>
#include <QPair>
#include <QRadialGradient>
#include <QSet>
#include <algorithm>
#include <cmath>

#include "gui/skin/Skin.h"
#include "gui/skin/SkinPainting.h"

namespace vorna::gui::skin {
namespace {

qreal gSmallestTextPx = 1.0;  // outside a ReadableTextAt: no floor beyond one pixel
int gLayoutPermille = 1000;

// The texts elided so far, by the scale (layout, per mille) they were drawn at.
QSet<QPair<int, QString>>& ElidedTexts() {
    static QSet<QPair<int, QString>> texts;
    return texts;
}

// The narrowest letters a line may get before it is elided: narrower reads as squeezed.
constexpr int kNarrowestStretch = 80;

// `text` as it fits between `left` and `right`: whole, in letters narrowed as far as
// kNarrowestStretch where that is enough (`font` changes then), or elided and noted.
QString Fitted(QFont& font, const QString& text, qreal left, qreal right) {
    const qreal room = right - left;
    if (room <= 0) return text;
    int stretch = font.stretch() > 0 ? font.stretch() : 100;
    while (InkWidth(QFontMetricsF(font), text) > room + 0.5) {
        if (stretch <= kNarrowestStretch) {
            ElidedTexts().insert(qMakePair(gLayoutPermille, text));
            return QFontMetricsF(font).elidedText(text, Qt::ElideRight, room);
        }
        stretch -= 2;
        font.setStretch(stretch);
    }
    return text;
}

}  // namespace

ReadableTextAt::ReadableTextAt(const SkinScale& scale)
    : previous_(gSmallestTextPx), previousPermille_(gLayoutPermille) {
    gSmallestTextPx =
        std::ceil(kSmallestTextPx / (scale.Layout() * scale.DevicePixelRatio()) - 0.01);
    gLayoutPermille = qRound(scale.Layout() * 1000);
}

ReadableTextAt::~ReadableTextAt() {
    gSmallestTextPx = previous_;
    gLayoutPermille = previousPermille_;
}

qreal SmallestTextPx() {
    return gSmallestTextPx;
}

void NoteElided(const QString& text) {
    ElidedTexts().insert(qMakePair(gLayoutPermille, text));
}

QFont SkinFont(qreal pixelSize, bool bold, bool italic) {
    QFont font(QStringLiteral("Liberation Sans"));
    font.setStyleHint(QFont::SansSerif);
    pixelSize = std::max(pixelSize, SmallestTextPx());
    font.setPixelSize(std::max(1, static_cast<int>(std::lround(pixelSize))));
    font.setBold(bold);
    font.setItalic(italic);
    font.setStyleStrategy(QFont::PreferAntialias);
    font.setHintingPreference(QFont::PreferFullHinting);
    return font;
}

qreal InkWidth(const QFontMetricsF& metrics, const QString& text) {
    // Italic letters lean out past their advance; the ink is what must fit.
    const QRectF ink = metrics.boundingRect(text);
    return std::max(metrics.horizontalAdvance(text), ink.right()) - std::min(0.0, ink.left());
}

QFont FitFont(QFont font, const QStringList& texts, qreal maxWidth, qreal minPixelSize,
              int narrowestStretch) {
    auto widest = [&texts](const QFont& f) {
        const QFontMetricsF metrics(f);
        qreal width = 0.0;
        for (const QString& text : texts) width = std::max(width, InkWidth(metrics, text));
        return width;
    };
    // Narrowing the letters a little keeps a long caption at the height of its neighbours;
    // only beyond that does the size come down, a whole pixel at a time.
    int stretch = 100;
    while (stretch > narrowestStretch && widest(font) > maxWidth) {
        stretch -= 2;
        font.setStretch(stretch);
    }
    minPixelSize = std::max(minPixelSize, SmallestTextPx());
    while (font.pixelSize() > minPixelSize && widest(font) > maxWidth) {
        font.setPixelSize(font.pixelSize() - 1);
    }
    return font;
}

namespace {

// Where a line of text starts, given its alignment between `left` and `right`.
qreal LineStart(const QFontMetricsF& metrics, const QString& text, qreal left, qreal right,
                Qt::Alignment align) {
    const qreal width = metrics.horizontalAdvance(text);
    if (align & Qt::AlignRight) return right - width;
    if (align & Qt::AlignHCenter) return left + (right - left - width) / 2.0;
    return left;
}

// Capitals are what the eye centres on; the em box leaves room for accents and descenders.
// The baseline goes on a whole pixel, where hinted letters come out sharp.
qreal Baseline(const QFontMetricsF& metrics, qreal capCentreY) {
    return std::round(capCentreY + metrics.capHeight() / 2.0);
}

}  // namespace

void DrawTextLine(QPainter& p, const QString& text, const QFont& font, const QColor& colour,
                  qreal left, qreal right, qreal capCentreY, Qt::Alignment align) {
    QFont fitted = font;
    const QString shown = Fitted(fitted, text, left, right);
    const QFontMetricsF metrics(fitted);
    p.save();
    p.setFont(fitted);
    p.setPen(colour);
    p.drawText(
        QPointF(LineStart(metrics, shown, left, right, align), Baseline(metrics, capCentreY)),
        shown);
    p.restore();
}

void DrawHeadingLine(QPainter& p, const QString& text, const QFont& font, qreal left, qreal right,
                     qreal capCentreY, Qt::Alignment align, const QColor& top,
                     const QColor& bottom) {
    QFont fitted = font;
    const QString shown = Fitted(fitted, text, left, right);
    const QFontMetricsF metrics(fitted);
    const qreal baseline = Baseline(metrics, capCentreY);
    QPainterPath path;
    path.addText(QPointF(LineStart(metrics, shown, left, right, align), baseline), fitted, shown);

    p.save();
    // The glow grows with the letters; on small headings a wide one only blurs them.
    QColor glow = top;
    glow.setAlpha(50);
    const qreal glowWidth = std::max(1.0, font.pixelSize() * 0.1);
    p.setPen(QPen(glow, glowWidth, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPath(path);

    QLinearGradient fill(0, baseline - metrics.capHeight(), 0, baseline);
    fill.setColorAt(0.0, top);
    fill.setColorAt(1.0, bottom);
    p.setPen(Qt::NoPen);
    p.setBrush(fill);
    p.drawPath(path);
    p.restore();
}

void DrawGlowRule(QPainter& p, const QRectF& band, qreal coreWidth) {
    const qreal y = band.center().y();
    auto alongX = [&band](const QColor& colour) {
        QLinearGradient gradient(band.left(), 0, band.right(), 0);
        QColor clear = colour;
        clear.setAlpha(0);
        gradient.setColorAt(0.0, clear);
        gradient.setColorAt(0.12, colour);
        gradient.setColorAt(0.5, colour.lighter(118));
        gradient.setColorAt(0.88, colour);
        gradient.setColorAt(1.0, clear);
        return gradient;
    };
    p.save();
    QColor halo = kRed;
    halo.setAlpha(70);
    p.setPen(QPen(QBrush(alongX(halo)), std::min(band.height(), coreWidth * 3.0), Qt::SolidLine,
                  Qt::FlatCap));
    p.drawLine(QPointF(band.left(), y), QPointF(band.right(), y));
    p.setPen(QPen(QBrush(alongX(kRed)), coreWidth, Qt::SolidLine, Qt::FlatCap));
    p.drawLine(QPointF(band.left(), y), QPointF(band.right(), y));
    p.restore();
}

void DrawPanelFrame(QPainter& p, const QRectF& rect, qreal radius, qreal gapLeft, qreal gapRight) {
    QPainterPath outline;
    outline.addRoundedRect(rect, radius, radius);

    p.save();
    // A title sitting on the top edge gets an opening in the line rather than a line through it.
    if (gapRight > gapLeft) {
        QPainterPath keep;
        keep.addRect(rect.adjusted(-8, -8, 8, 8));
        QPainterPath gap;
        gap.addRect(QRectF(gapLeft, rect.top() - 8, gapRight - gapLeft, radius + 8));
        p.setClipPath(keep.subtracted(gap));
    }

    // Soft inner glow: a wide pen clipped to the inside of the outline.
    p.save();
    p.setClipPath(outline, Qt::IntersectClip);
    QColor glow = kRed;
    glow.setAlpha(38);
    p.setPen(QPen(glow, 9.0));
    p.drawPath(outline);
    glow.setAlpha(60);
    p.setPen(QPen(glow, 4.0));
    p.drawPath(outline);
    p.restore();

    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(kRed, 2.0));
    p.drawPath(outline);

    // Brighter, heavier corners top left and bottom right give the frame its direction.
    const qreal arm = std::min({radius + 34.0, rect.width() / 3.0, rect.height() / 3.0});
    QPainterPath corners;
    corners.addRect(QRectF(rect.left() - 4, rect.top() - 4, arm, arm));
    corners.addRect(QRectF(rect.right() - arm + 4, rect.bottom() - arm + 4, arm, arm));
    p.setClipPath(corners, Qt::IntersectClip);
    p.setPen(QPen(kRedHot, 3.2));
    p.drawPath(outline);
    p.restore();
}

void DrawPlate(QPainter& p, const QRectF& rect, qreal radius, const QColor& top,
               const QColor& bottom, const QColor& border, qreal borderWidth) {
    p.save();
    QLinearGradient fill(0, rect.top(), 0, rect.bottom());
    fill.setColorAt(0.0, top);
    fill.setColorAt(1.0, bottom);
    const qreal inset = borderWidth / 2.0;
    const QRectF body = rect.adjusted(inset, inset, -inset, -inset);
    p.setPen(QPen(border, borderWidth));
    p.setBrush(fill);
    p.drawRoundedRect(body, radius, radius);

    // A thin lighter line just inside the top edge reads as a bevel.
    QColor shine = top.lighter(150);
    shine.setAlpha(110);
    p.setPen(QPen(shine, 1.0));
    p.setBrush(Qt::NoBrush);
    const qreal y = body.top() + borderWidth + 0.5;
    p.drawLine(QPointF(body.left() + radius, y), QPointF(body.right() - radius, y));
    p.restore();
}

void DrawArrowUpIntoTray(QPainter& p, const QRectF& box, const QColor& colour) {
    const qreal w = box.width();
    const qreal h = box.height();
    const qreal cx = box.center().x();
    p.save();
    p.setPen(QPen(colour, std::max(1.5, w * 0.1), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    // The tray.
    QPainterPath tray;
    tray.moveTo(box.left() + w * 0.08, box.top() + h * 0.62);
    tray.lineTo(box.left() + w * 0.08, box.bottom() - h * 0.06);
    tray.lineTo(box.right() - w * 0.08, box.bottom() - h * 0.06);
    tray.lineTo(box.right() - w * 0.08, box.top() + h * 0.62);
    p.drawPath(tray);
    // The arrow leaving it.
    QPainterPath arrow;
    arrow.moveTo(cx, box.top() + h * 0.02);
    arrow.lineTo(cx + w * 0.3, box.top() + h * 0.34);
    arrow.lineTo(cx + w * 0.12, box.top() + h * 0.34);
    arrow.lineTo(cx + w * 0.12, box.top() + h * 0.72);
    arrow.lineTo(cx - w * 0.12, box.top() + h * 0.72);
    arrow.lineTo(cx - w * 0.12, box.top() + h * 0.34);
    arrow.lineTo(cx - w * 0.3, box.top() + h * 0.34);
    arrow.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawPath(arrow);
    p.restore();
}

void DrawArrowDownIntoChip(QPainter& p, const QRectF& box, const QColor& colour) {
    const qreal w = box.width();
    const qreal h = box.height();
    const qreal cx = box.center().x();
    p.save();
    // The chip: a body with legs on both sides.
    const QRectF chip(box.left() + w * 0.2, box.top() + h * 0.52, w * 0.6, h * 0.44);
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawRoundedRect(chip, w * 0.06, w * 0.06);
    const qreal leg = std::max(1.0, w * 0.07);
    for (int i = 0; i < 3; ++i) {
        const qreal y = chip.top() + chip.height() * (0.2 + 0.3 * i) - leg / 2.0;
        p.drawRect(QRectF(box.left() + w * 0.06, y, w * 0.14, leg));
        p.drawRect(QRectF(chip.right(), y, w * 0.14, leg));
    }
    // The arrow coming down into it.
    QPainterPath arrow;
    arrow.moveTo(cx, box.top() + h * 0.5);
    arrow.lineTo(cx + w * 0.26, box.top() + h * 0.24);
    arrow.lineTo(cx + w * 0.1, box.top() + h * 0.24);
    arrow.lineTo(cx + w * 0.1, box.top());
    arrow.lineTo(cx - w * 0.1, box.top());
    arrow.lineTo(cx - w * 0.1, box.top() + h * 0.24);
    arrow.lineTo(cx - w * 0.26, box.top() + h * 0.24);
    arrow.closeSubpath();
    p.drawPath(arrow);
    p.restore();
}

void DrawResetArrow(QPainter& p, const QRectF& box, const QColor& colour) {
    const qreal pen = std::max(1.5, box.width() * 0.12);
    const QRectF ring = box.adjusted(pen, pen, -pen, -pen);
    p.save();
    p.setPen(QPen(colour, pen, Qt::SolidLine, Qt::FlatCap));
    p.setBrush(Qt::NoBrush);
    // Angles in sixteenths of a degree: an almost closed circle open at the top right.
    p.drawArc(ring, 70 * 16, 290 * 16);
    // The arrow head at the open end, pointing along the circle.
    const qreal radius = ring.width() / 2.0;
    const qreal angle = 70.0 * M_PI / 180.0;
    const QPointF tip(ring.center().x() + radius * std::cos(angle),
                      ring.center().y() - radius * std::sin(angle));
    const qreal head = pen * 1.6;
    QPainterPath arrow;
    arrow.moveTo(tip + QPointF(head * 0.9, 0));
    arrow.lineTo(tip + QPointF(-head * 0.7, -head));
    arrow.lineTo(tip + QPointF(-head * 0.7, head));
    arrow.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawPath(arrow);
    p.restore();
}

namespace {

void DrawBadgeRing(QPainter& p, const QRectF& box, const QColor& colour) {
    QColor fill = colour;
    fill.setAlpha(40);
    p.setPen(QPen(colour, 2.0));
    p.setBrush(fill);
    p.drawEllipse(box.adjusted(1, 1, -1, -1));
}

}  // namespace

void DrawCheckBadge(QPainter& p, const QRectF& box, const QColor& colour) {
    p.save();
    DrawBadgeRing(p, box, colour);
    const qreal w = box.width();
    QPainterPath tick;
    tick.moveTo(box.left() + w * 0.27, box.top() + w * 0.52);
    tick.lineTo(box.left() + w * 0.44, box.top() + w * 0.68);
    tick.lineTo(box.left() + w * 0.74, box.top() + w * 0.34);
    p.setPen(QPen(colour, w * 0.11, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPath(tick);
    p.restore();
}

void DrawCrossBadge(QPainter& p, const QRectF& box, const QColor& colour) {
    p.save();
    DrawBadgeRing(p, box, colour);
    const qreal w = box.width();
    const QRectF inner = box.adjusted(w * 0.32, w * 0.32, -w * 0.32, -w * 0.32);
    p.setPen(QPen(colour, w * 0.11, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(inner.topLeft(), inner.bottomRight());
    p.drawLine(inner.topRight(), inner.bottomLeft());
    p.restore();
}

void DrawStandbyBadge(QPainter& p, const QRectF& box, const QColor& colour) {
    p.save();
    DrawBadgeRing(p, box, colour);
    const qreal w = box.width();
    const QRectF ring = box.adjusted(w * 0.28, w * 0.28, -w * 0.28, -w * 0.28);
    p.setPen(QPen(colour, w * 0.09, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    p.drawArc(ring, 120 * 16, 300 * 16);
    p.drawLine(QPointF(box.center().x(), box.top() + w * 0.22), box.center());
    p.restore();
}

QPainterPath EmblemChevron(const QRectF& box) {
    // A thick V whose left arm is cut by a slanted speed slot.
    const qreal w = box.width();
    const qreal h = box.height();
    auto at = [&box, w, h](qreal x, qreal y) {
        return QPointF(box.left() + w * x, box.top() + h * y);
    };
    QPainterPath v;
    v.moveTo(at(0.0, 0.0));
    v.lineTo(at(0.3, 0.0));
    v.lineTo(at(0.5, 0.58));
    v.lineTo(at(0.7, 0.0));
    v.lineTo(at(1.0, 0.0));
    v.lineTo(at(0.64, 1.0));
    v.lineTo(at(0.36, 1.0));
    v.closeSubpath();
    QPainterPath slot;
    slot.moveTo(at(0.0, 0.4));
    slot.lineTo(at(0.48, 0.4));
    slot.lineTo(at(0.47, 0.5));
    slot.lineTo(at(0.0, 0.5));
    slot.closeSubpath();
    return v.subtracted(slot);
}

}  // namespace vorna::gui::skin

namespace vorna::gui {

bool SkinTextElided(const QString& text, const SkinScale& scale) {
    return skin::ElidedTexts().contains(qMakePair(qRound(scale.Layout() * 1000), text));
}

}  // namespace vorna::gui
