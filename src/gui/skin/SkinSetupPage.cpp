// The ESC setup page: captions beside the parameter lists, headings, picture buttons and the
// panel frames (which the firmware page shares).

#include <QFontMetricsF>
#include <QLinearGradient>
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>

#include "gui/QtText.h"
#include "gui/skin/SetupColumns.h"
#include "gui/skin/SkinPainting.h"
#include "settings/Profiles.h"

namespace vorna::gui::skin {

namespace {

// A list's face is about 20 pixels high; its text sits on the face's middle.
constexpr qreal kListFaceMiddle = 10.0;

// The middle caption picture starts at page x 325, left of the middle frame's outline at x 333:
// its captions start clear of it.
constexpr qreal kMiddleIndent = 11.0;

// Information fields: page y of each field's top; the picture starts at page y 50. The fields'
// text starts at their top, so each caption lines up with the first line of its field.
constexpr std::array<qreal, 13> kInfoFieldTops{50,  80,  112, 142, 172, 202, 235,
                                               265, 293, 323, 353, 383, 415};
constexpr qreal kInfoPictureTop = 50.0;
constexpr qreal kInfoFirstLineMiddle = 7.0;

// The information fields' captions: the keys of a sheet's [info] section.
QStringList InfoCaptions() {
    QStringList captions;
    for (const std::string_view key : kInfoKeys) {
        captions << ToQString(key);
    }
    return captions;
}

// A column of captions, each with a small red marker, the text ending a few pixels short of the
// picture's right edge where the lists begin. One size for the whole column, so rows look
// alike; a caption too long for its row even with narrowed letters goes on two lines.
void DrawCaptionColumn(QPainter& p, QSize size, const QStringList& captions, qreal firstMiddle,
                       qreal pitch, qreal indent) {
    const qreal markerLeft = 2.0 + indent;
    const qreal textLeft = 11.0 + indent;
    const qreal textRight = size.width() - 3.0;
    const qreal width = textRight - textLeft;
    QStringList usual;
    for (const QString& caption : captions) {
        if (caption.size() <= 18) usual << caption;
    }
    const QFont font = FitFont(SkinFont(13), usual, width, 7.0, 94);
    p.save();
    for (qsizetype i = 0; i < captions.size(); ++i) {
        const qreal middle = firstMiddle + pitch * static_cast<qreal>(i);
        p.setPen(Qt::NoPen);
        p.setBrush(kRed);
        p.drawRect(QRectF(markerLeft, middle - 2.0, 4.0, 4.0));
        const QString& caption = captions[i];
        const QFont narrowed = FitFont(font, caption, width, font.pixelSize());
        if (InkWidth(QFontMetricsF(narrowed), caption) <= width || !caption.contains(' ')) {
            DrawTextLine(p, caption, FitFont(narrowed, caption, width), kInk, textLeft, textRight,
                         middle, Qt::AlignLeft);
            continue;
        }
        // Break at the space nearest the middle.
        qsizetype split = caption.indexOf(' ');
        for (qsizetype at = split; at >= 0; at = caption.indexOf(' ', at + 1)) {
            if (std::abs(at - caption.size() / 2) < std::abs(split - caption.size() / 2)) {
                split = at;
            }
        }
        const QStringList lines{caption.left(split), caption.mid(split + 1)};
        QFont small = font;
        small.setPixelSize(std::max(font.pixelSize() - 1, static_cast<int>(SmallestTextPx())));
        small = FitFont(small, lines, width);
        for (const QString& line : lines) {
            if (InkWidth(QFontMetricsF(small), line) > width + 0.5) NoteElided(caption);
        }
        const qreal half = (QFontMetricsF(small).capHeight() + 4.0) / 2.0;
        DrawTextLine(p, lines[0], small, kInk, textLeft, textRight, middle - half, Qt::AlignLeft);
        DrawTextLine(p, lines[1], small, kInk, textLeft, textRight, middle + half, Qt::AlignLeft);
    }
    p.restore();
}

void DrawTwoLineHeading(QPainter& p, QSize size, const QString& first, const QString& second) {
    const qreal w = size.width();
    const qreal h = size.height();
    const QFont font = FitFont(SkinFont(13, true), QStringList{first, second}, w - 4.0);
    DrawHeadingLine(p, first, font, 0, w, h * 0.27, Qt::AlignHCenter);
    DrawHeadingLine(p, second, font, 0, w, h * 0.75, Qt::AlignHCenter);
}

// The two picture buttons share a shape: a rounded plate with a symbol on the left and a
// two-word caption on the right.
void DrawPictureButton(QPainter& p, QSize size, bool primary, const QString& first,
                       const QString& second) {
    const QRectF plate(1.0, 1.0, size.width() - 2.0, size.height() - 2.0);
    if (primary) {
        DrawPlate(p, plate, 8.0, QColor(236, 40, 32), QColor(128, 0, 0), kRedHot, 1.5);
    } else {
        DrawPlate(p, plate, 8.0, QColor(44, 44, 44), QColor(10, 10, 10), kRed, 2.0);
    }
    const QRectF symbol(9.0, size.height() / 2.0 - 13.0, 26.0, 26.0);
    if (primary) {
        DrawArrowUpIntoTray(p, symbol, Qt::white);
    } else {
        DrawResetArrow(p, symbol, kRedHot);
    }

    const qreal left = 40.0;
    const qreal right = size.width() - 6.0;
    const QFont font = FitFont(SkinFont(14, true), QStringList{first, second}, right - left);
    const QColor ink = primary ? QColor(Qt::white) : kInk;
    DrawTextLine(p, first, font, ink, left, right, size.height() * 0.36, Qt::AlignHCenter);
    DrawTextLine(p, second, font, ink, left, right, size.height() * 0.66, Qt::AlignHCenter);
}

}  // namespace

void PaintSendSetting(QPainter& p, QSize size) {
    DrawPictureButton(p, size, true, QStringLiteral("SEND"), QStringLiteral("SETTING"));
}

void PaintDefaultSetting(QPainter& p, QSize size) {
    DrawPictureButton(p, size, false, QStringLiteral("DEFAULT"), QStringLiteral("SETTING"));
}

void PaintFirmwareVersionCaption(QPainter& p, QSize size) {
    const QString text = QStringLiteral("Firmware Version:");
    const QFont font = FitFont(SkinFont(15, true), text, size.width() - 2.0);
    DrawTextLine(p, text, font, kInk, 1.0, size.width(), size.height() / 2.0, Qt::AlignLeft);
}

void PaintBasicSetup(QPainter& p, QSize size) {
    const QString text = QStringLiteral("BASIC SETUP");
    const QFont font = FitFont(SkinFont(15, true), text, size.width() - 4.0);
    DrawHeadingLine(p, text, font, 0, size.width(), size.height() / 2.0, Qt::AlignHCenter);
}

void PaintSeparator(QPainter& p, QSize size) {
    DrawGlowRule(p, QRectF(0, 0, size.width(), size.height()), 1.4);
}

void PaintLeftCaptions(QPainter& p, QSize size) {
    DrawCaptionColumn(p, size, ColumnCaptions(PageColumn::Left, false),
                      kLeftColumn.listTop + kListFaceMiddle - kLeftColumn.pictureTop,
                      kLeftColumn.pitch, 0.0);
}

void PaintMiddleCaptions(QPainter& p, QSize size, bool alternative) {
    DrawCaptionColumn(p, size, ColumnCaptions(PageColumn::Middle, alternative),
                      kMiddleColumn.listTop + kListFaceMiddle - kMiddleColumn.pictureTop,
                      kMiddleColumn.pitch, kMiddleIndent);
}

void PaintPresetHeading(QPainter& p, QSize size) {
    DrawTwoLineHeading(p, size, QStringLiteral("FACTORY TEAM PRE-SET"),
                       QStringLiteral("PROFILES SELECT"));
}

void PaintSmallCaption(QPainter& p, QSize size, const QString& text) {
    // These pictures are barely taller than their text: capitals and descenders must both fit,
    // with a row to spare above and below.
    QFont font = FitFont(SkinFont(12), text, size.width() - 2.0);
    while (font.pixelSize() > std::max(7.0, SmallestTextPx())) {
        const QFontMetricsF metrics(font);
        if (metrics.capHeight() + metrics.descent() <= size.height() - 3.0) break;
        font.setPixelSize(font.pixelSize() - 1);
    }
    const QFontMetricsF metrics(font);
    const qreal baseline =
        std::round((size.height() + metrics.capHeight() - metrics.descent()) / 2.0);
    DrawTextLine(p, text, font, kInk, 1.0, size.width(), baseline - metrics.capHeight() / 2.0,
                 Qt::AlignLeft);
}

void PaintCommentHeading(QPainter& p, QSize size) {
    DrawTwoLineHeading(p, size, QStringLiteral("TEAM DRIVER"), QStringLiteral("SETUP COMMENT"));
}

void PaintInfoCaptions(QPainter& p, QSize size) {
    const qreal right = size.width() - 2.0;
    const QStringList infoCaptions = InfoCaptions();
    const QFont font = FitFont(SkinFont(12), infoCaptions, right - 1.0);
    for (std::size_t i = 0; i < kInfoFieldTops.size(); ++i) {
        const qreal middle = kInfoFieldTops[i] - kInfoPictureTop + kInfoFirstLineMiddle;
        DrawTextLine(p, infoCaptions[static_cast<qsizetype>(i)], font, kRed.lighter(135), 1.0,
                     right, middle, Qt::AlignLeft);
    }
}

void PaintPanelFrame(QPainter& p, QSize size) {
    // Inset so the outline survives a box a few pixels smaller than the bitmap: the right
    // frame is shown 620 high on the firmware page, whether at the box's top or centred in it.
    const QRectF rect(3.0, 4.0, size.width() - 6.0, size.height() - 12.0);
    DrawPanelFrame(p, rect, 14.0);
}

}  // namespace vorna::gui::skin
