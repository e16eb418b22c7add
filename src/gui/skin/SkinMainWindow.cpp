// The main window's left column: logos, rules, the device hint, the lamps and the page buttons.

#include <QFontMetricsF>
#include <QLinearGradient>
#include <QRadialGradient>
#include <algorithm>
#include <array>
#include <cmath>

#include "gui/skin/SkinPainting.h"

namespace vorna::gui::skin {

namespace {

// The lamps sit at window y 380, 410 and 440 and the legend at y 390: with the lamp's LED
// centred 11 pixels into its box, the labels belong at legend rows 1, 31 and 61.
constexpr qreal kLegendRowPitch = 30.0;
constexpr qreal kLampCentreInLegend = 1.0;

// The page buttons are 25 pixels high, so only the top 25 rows of their captions ever show.
constexpr qreal kPageButtonHeight = 25.0;

// The write-progress button is 80 wide; the bar bitmap is wider, and what lies beyond the
// button is cut off.
constexpr qreal kProgressButtonWidth = 80.0;

}  // namespace

void PaintProductLogo(QPainter& p, QSize size) {
    const qreal w = size.width();
    const qreal h = size.height();

    // Speed lines trailing the word, longest at the top.
    p.save();
    p.setPen(Qt::NoPen);
    const std::array<qreal, 3> lengths{34.0, 26.0, 18.0};
    for (std::size_t i = 0; i < lengths.size(); ++i) {
        const qreal y = 13.0 + 9.0 * static_cast<qreal>(i);
        QLinearGradient fade(0, 0, lengths[i], 0);
        fade.setColorAt(0.0, QColor(222, 24, 20, 0));
        fade.setColorAt(1.0, kRed);
        p.setBrush(fade);
        const qreal right = 38.0;
        QPainterPath bar;
        bar.moveTo(right - lengths[i], y + 4.0);
        bar.lineTo(right - lengths[i] + 1.5, y);
        bar.lineTo(right, y);
        bar.lineTo(right - 1.5, y + 4.0);
        bar.closeSubpath();
        p.drawPath(bar);
    }
    p.restore();

    QFont word = FitFont(SkinFont(42, true, true), QStringLiteral("VORNA"), w - 46.0);
    DrawHeadingLine(p, QStringLiteral("VORNA"), word, 40.0, w, 22.0, Qt::AlignLeft,
                    QColor(255, 92, 70), kRedDeep.lighter(130));

    // "USB LINK" spaced out under the word, with a red line running on to the edge.
    QFont small = SkinFont(12, true);
    small.setLetterSpacing(QFont::AbsoluteSpacing, 4.0);
    const QFontMetricsF metrics(small);
    const QString line = QStringLiteral("USB LINK");
    const qreal textLeft = 42.0;
    const qreal baselineCentre = h - 10.0;
    DrawTextLine(p, line, small, kInk, textLeft, w, baselineCentre, Qt::AlignLeft);
    const qreal after = textLeft + metrics.horizontalAdvance(line) + 2.0;
    DrawGlowRule(p, QRectF(after, baselineCentre - 2.0, w - after - 2.0, 4.0), 1.4);
    DrawGlowRule(p, QRectF(0.0, baselineCentre - 2.0, textLeft - 6.0, 4.0), 1.4);
}

void PaintRedRule(QPainter& p, QSize size) {
    DrawGlowRule(p, QRectF(0, 0, size.width(), size.height()), 1.6);
}

void PaintDeviceHint(QPainter& p, QSize size, const QColor& colour, const QString& first,
                     const QString& second) {
    const qreal w = size.width();
    const qreal h = size.height();
    const QFont heading = FitFont(SkinFont(14, true), first, w - 4.0);
    const QFont body = FitFont(SkinFont(13), second, w - 4.0);
    DrawTextLine(p, first, heading, colour, 0, w, h * 0.3, Qt::AlignHCenter);
    DrawTextLine(p, second, body, colour, 0, w, h * 0.72, Qt::AlignHCenter);
}

void PaintLampHeading(QPainter& p, QSize size) {
    const QString text = QStringLiteral("DEVICE CONNECTION STATUS");
    const QFont font = FitFont(SkinFont(12, true), text, size.width() - 2.0);
    DrawTextLine(p, text, font, kRed.lighter(115), 1.0, size.width(), size.height() / 2.0,
                 Qt::AlignLeft);
}

void PaintLampLegend(QPainter& p, QSize size) {
    const std::array<QString, 3> labels{QStringLiteral("USB connected"),
                                        QStringLiteral("ESC connected"),
                                        QStringLiteral("Program card connected")};
    QStringList all;
    for (const QString& label : labels) all << label;
    const QFont font = FitFont(SkinFont(12), all, size.width() - 2.0);
    const QFontMetricsF metrics(font);

    // Each label wants its capitals centred on its lamp; the first and last rows are pulled in
    // just enough to keep capitals and descenders inside the picture.
    const qreal capHalf = metrics.capHeight() / 2.0;
    const qreal firstCentre = std::max(kLampCentreInLegend, std::ceil(capHalf) + 0.5);
    const qreal lastCentre = std::min(kLampCentreInLegend + 2.0 * kLegendRowPitch,
                                      size.height() - metrics.descent() - capHalf - 0.5);
    const qreal pitch = (lastCentre - firstCentre) / 2.0;
    for (std::size_t i = 0; i < labels.size(); ++i) {
        DrawTextLine(p, labels[i], font, kInk, 1.0, size.width(), firstCentre + pitch * qreal(i),
                     Qt::AlignLeft);
    }
}

void PaintLamp(QPainter& p, QSize /*size*/, bool lit) {
    // The lamp boxes are 20 x 20, smaller than the picture: the LED fits the top-left 20 x 20
    // with a pixel to spare at the bottom, so it shows whole whether the box aligns the picture
    // to its top or centres it on its height.
    const QPointF centre(10.0, 11.0);
    const qreal bezel = 9.0;
    const qreal lens = 6.9;

    p.save();
    p.setPen(Qt::NoPen);
    if (lit) {
        QRadialGradient halo(centre, bezel + 2.6);
        halo.setColorAt(0.55, QColor(70, 255, 110, 150));
        halo.setColorAt(1.0, QColor(70, 255, 110, 0));
        p.setBrush(halo);
        p.drawEllipse(centre, bezel + 2.6, bezel + 2.6);
    }

    // Metal bezel, lit from the top left.
    QLinearGradient metal(centre.x() - bezel, centre.y() - bezel, centre.x() + bezel,
                          centre.y() + bezel);
    metal.setColorAt(0.0, QColor(150, 150, 150));
    metal.setColorAt(0.5, QColor(60, 60, 60));
    metal.setColorAt(1.0, QColor(25, 25, 25));
    p.setBrush(metal);
    p.drawEllipse(centre, bezel, bezel);
    p.setBrush(QColor(8, 8, 8));
    p.drawEllipse(centre, lens + 1.0, lens + 1.0);

    QRadialGradient glass(centre + QPointF(-1.8, -2.0), lens * 1.3);
    if (lit) {
        glass.setColorAt(0.0, QColor(230, 255, 230));
        glass.setColorAt(0.35, QColor(90, 240, 110));
        glass.setColorAt(0.8, QColor(20, 170, 50));
        glass.setColorAt(1.0, QColor(0, 95, 25));
    } else {
        glass.setColorAt(0.0, QColor(96, 26, 22));
        glass.setColorAt(0.6, QColor(52, 8, 6));
        glass.setColorAt(1.0, QColor(26, 2, 2));
    }
    p.setBrush(glass);
    p.drawEllipse(centre, lens, lens);

    // Specular highlight.
    p.setBrush(QColor(255, 255, 255, lit ? 170 : 55));
    p.drawEllipse(QRectF(centre.x() - 4.6, centre.y() - 5.2, 4.4, 3.0));
    p.restore();
}

void PaintMakerLogo(QPainter& p, QSize size) {
    const qreal w = size.width();
    const qreal h = size.height();
    const QFont name = FitFont(SkinFont(30, true, true), QStringLiteral("Kelvaran"), w - 12.0);
    DrawTextLine(p, QStringLiteral("Kelvaran"), name, Qt::white, 0, w, h * 0.34, Qt::AlignHCenter);

    // A swoosh under the name, thick in the middle and tapering to both ends.
    QPainterPath swoosh;
    const qreal y = h * 0.62;
    swoosh.moveTo(8.0, y + 3.0);
    swoosh.quadTo(w * 0.5, y - 6.0, w - 6.0, y - 3.0);
    swoosh.quadTo(w * 0.5, y - 1.0, 8.0, y + 3.0);
    p.save();
    QLinearGradient red(0, 0, w, 0);
    red.setColorAt(0.0, kRedDeep);
    red.setColorAt(0.6, kRedHot);
    red.setColorAt(1.0, kRed);
    p.setPen(Qt::NoPen);
    p.setBrush(red);
    p.drawPath(swoosh);
    p.restore();

    QFont racing = SkinFont(12, true);
    racing.setLetterSpacing(QFont::AbsoluteSpacing, 6.0);
    racing = FitFont(racing, QStringLiteral("RACING"), w - 10.0);
    // Letter spacing adds a trailing gap; shift by half of it so the word looks centred.
    DrawTextLine(p, QStringLiteral("RACING"), racing, kRed.lighter(120), 3.0, w + 3.0, h * 0.84,
                 Qt::AlignHCenter);
}

void PaintPageCaption(QPainter& p, QSize size, const QString& text, CaptionLook look) {
    const qreal w = size.width();
    const qreal h = std::min<qreal>(size.height(), kPageButtonHeight);
    const qreal slant = 9.0;
    const QRectF plate(1.5, 2.5, w - 3.0, h - 5.0);

    QColor top;
    QColor bottom;
    QColor border;
    QColor textColour;
    QColor stripe;
    switch (look) {
        case CaptionLook::Normal:
            top = QColor(34, 34, 34);
            bottom = QColor(14, 14, 14);
            border = QColor(86, 86, 86);
            textColour = QColor(176, 176, 176);
            stripe = QColor(120, 120, 120);
            break;
        case CaptionLook::Down:
            top = QColor(242, 40, 32);
            bottom = QColor(150, 0, 0);
            border = kRedHot;
            textColour = Qt::white;
            stripe = Qt::white;
            break;
        case CaptionLook::Over:
            top = QColor(98, 6, 6);
            bottom = QColor(48, 0, 0);
            border = QColor(160, 18, 18);
            textColour = QColor(222, 222, 222);
            stripe = kRed;
            break;
    }

    // A slanted plate, like a racing number board.
    QPainterPath shape;
    shape.moveTo(plate.left() + slant, plate.top());
    shape.lineTo(plate.right(), plate.top());
    shape.lineTo(plate.right() - slant, plate.bottom());
    shape.lineTo(plate.left(), plate.bottom());
    shape.closeSubpath();

    p.save();
    QLinearGradient fill(0, plate.top(), 0, plate.bottom());
    fill.setColorAt(0.0, top);
    fill.setColorAt(1.0, bottom);
    p.setPen(QPen(border, 1.0));
    p.setBrush(fill);
    p.drawPath(shape);

    // Two short stripes at the front of the plate.
    p.setPen(Qt::NoPen);
    p.setBrush(stripe);
    for (int i = 0; i < 2; ++i) {
        const qreal x = plate.left() + slant + 5.0 + 6.0 * i;
        QPainterPath bar;
        bar.moveTo(x, plate.top() + 4.0);
        bar.lineTo(x + 3.0, plate.top() + 4.0);
        bar.lineTo(x + 3.0 - slant * 0.55, plate.bottom() - 4.0);
        bar.lineTo(x - slant * 0.55, plate.bottom() - 4.0);
        bar.closeSubpath();
        p.drawPath(bar);
    }
    p.restore();

    QFont font = SkinFont(13, true);
    font.setLetterSpacing(QFont::AbsoluteSpacing, 1.0);
    const qreal textLeft = plate.left() + slant + 20.0;
    const qreal textRight = plate.right() - slant;
    font = FitFont(font, text, textRight - textLeft);
    DrawTextLine(p, text, font, textColour, textLeft, textRight, plate.center().y(),
                 Qt::AlignHCenter);
}

void PaintProgressBar(QPainter& p, QSize size) {
    const qreal w = std::min<qreal>(size.width(), kProgressButtonWidth);
    const QRectF bar(0.5, 0.5, w - 1.0, size.height() - 1.0);
    DrawPlate(p, bar, 5.0, QColor(52, 52, 52), QColor(18, 18, 18), QColor(92, 92, 92));
    // A red line along the foot ties the bar to the red rules above it.
    p.save();
    p.setPen(QPen(kRed, 1.4));
    p.drawLine(QPointF(bar.left() + 6.0, bar.bottom() - 2.5),
               QPointF(bar.right() - 6.0, bar.bottom() - 2.5));
    p.restore();
}

void PaintAppIcon(QPainter& p, int size) {
    const qreal s = size;
    const QRectF square(0, 0, s, s);
    const qreal radius = s * 0.2;
    p.save();
    QLinearGradient ground(0, 0, 0, s);
    ground.setColorAt(0.0, QColor(46, 46, 46));
    ground.setColorAt(1.0, QColor(4, 4, 4));
    p.setPen(Qt::NoPen);
    p.setBrush(ground);
    p.drawRoundedRect(square, radius, radius);
    const qreal ring = std::max(1.0, s / 24.0);
    p.setPen(QPen(kRed, ring));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(square.adjusted(ring / 2, ring / 2, -ring / 2, -ring / 2), radius, radius);

    const QRectF emblem = square.adjusted(s * 0.18, s * 0.22, -s * 0.18, -s * 0.2);
    QLinearGradient red(0, emblem.top(), 0, emblem.bottom());
    red.setColorAt(0.0, QColor(255, 90, 70));
    red.setColorAt(1.0, kRedDeep);
    p.setPen(Qt::NoPen);
    p.setBrush(red);
    p.drawPath(EmblemChevron(emblem));
    p.restore();
}

}  // namespace vorna::gui::skin
