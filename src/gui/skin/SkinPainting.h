// What the skin's painters share: the palette, fonts that are measured to fit, and the few
// shapes every page repeats (glowing rules, rounded panel frames, plates and badges).
// Private to src/gui/skin.
#pragma once

#include <QColor>
#include <QFont>
#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <QRectF>
#include <QSize>
#include <QString>
#include <QStringList>

#include "gui/skin/SkinScale.h"

namespace vorna::gui::skin {

// While one lives, the pictures drawn are shown at `scale`: FitFont makes no text smaller than
// kSmallestTextPx on the screen, and DrawTextLine / DrawHeadingLine elide a line that still
// does not fit (SkinTextElided then names it). GUI thread only, as the pictures are.
class ReadableTextAt {
public:
    explicit ReadableTextAt(const SkinScale& scale);
    ~ReadableTextAt();
    ReadableTextAt(const ReadableTextAt&) = delete;
    ReadableTextAt& operator=(const ReadableTextAt&) = delete;

private:
    qreal previous_;
    int previousPermille_;
};

// The smallest pixel size a picture being drawn may use for text, in its own pixels.
qreal SmallestTextPx();
// Notes `text` as elided in the pictures of the scale being drawn (for a text drawn in parts).
void NoteElided(const QString& text);

// The palette. The greys and the pure red are the ones the widgets fill with themselves (boxes
// and combo faces), so pictures that sit inside them blend without a seam.
inline const QColor kInk{234, 234, 234};  // caption text, as the pages' own static texts
inline const QColor kDimInk{168, 168, 168};
inline const QColor kRed{222, 24, 20};
inline const QColor kRedHot{255, 58, 40};
inline const QColor kRedDeep{140, 0, 0};
inline const QColor kRedDark{62, 0, 0};
inline const QColor kOrange{247, 148, 29};  // the progress buttons' text colour
inline const QColor kBoxGrey{58, 58, 58};   // identity boxes and combo faces
inline const QColor kComboRed{255, 0, 0};   // combo face under the mouse
inline const QColor kGreen{64, 214, 96};

// Liberation Sans at a pixel size, never below SmallestTextPx(): the pictures are bitmaps and
// must not follow the screen's DPI.
QFont SkinFont(qreal pixelSize, bool bold = false, bool italic = false);

// How wide `text` is in ink, overhanging italic letters included.
qreal InkWidth(const QFontMetricsF& metrics, const QString& text);

// `font`, narrowed down to `narrowestStretch` percent and then made smaller a pixel at a time
// until every one of `texts` is at most `maxWidth` wide; never below `minPixelSize`.
QFont FitFont(QFont font, const QStringList& texts, qreal maxWidth, qreal minPixelSize = 7.0,
              int narrowestStretch = 88);
inline QFont FitFont(const QFont& font, const QString& text, qreal maxWidth,
                     qreal minPixelSize = 7.0, int narrowestStretch = 88) {
    return FitFont(font, QStringList{text}, maxWidth, minPixelSize, narrowestStretch);
}

// Draws one line of text between `left` and `right` with the middle of its capitals on
// `capCentreY`. Centring the capitals rather than the em box is what lines a caption up with
// the text of the control beside it.
void DrawTextLine(QPainter& p, const QString& text, const QFont& font, const QColor& colour,
                  qreal left, qreal right, qreal capCentreY, Qt::Alignment align);

// Heading text: a vertical red gradient with a soft glow, capitals centred on `capCentreY`.
void DrawHeadingLine(QPainter& p, const QString& text, const QFont& font, qreal left, qreal right,
                     qreal capCentreY, Qt::Alignment align, const QColor& top = kRedHot,
                     const QColor& bottom = kRed);

// A horizontal line that glows in the middle and fades out at both ends.
void DrawGlowRule(QPainter& p, const QRectF& band, qreal coreWidth);

// The rounded red outline that frames every panel, with brighter accents on two corners.
// `gapLeft`..`gapRight` leaves the top edge open there, for a title that sits on the line.
void DrawPanelFrame(QPainter& p, const QRectF& rect, qreal radius, qreal gapLeft = 0.0,
                    qreal gapRight = 0.0);

// A rounded rectangle filled top to bottom from `top` to `bottom` with a one-pixel border and a
// faint highlight along its upper edge.
void DrawPlate(QPainter& p, const QRectF& rect, qreal radius, const QColor& top,
               const QColor& bottom, const QColor& border, qreal borderWidth = 1.0);

// Symbols drawn as paths, so they stay sharp at any size.
void DrawArrowUpIntoTray(QPainter& p, const QRectF& box, const QColor& colour);
void DrawArrowDownIntoChip(QPainter& p, const QRectF& box, const QColor& colour);
void DrawResetArrow(QPainter& p, const QRectF& box, const QColor& colour);
void DrawCheckBadge(QPainter& p, const QRectF& box, const QColor& colour);
void DrawCrossBadge(QPainter& p, const QRectF& box, const QColor& colour);
void DrawStandbyBadge(QPainter& p, const QRectF& box, const QColor& colour);

// The emblem of the icon and the logos: a bold chevron "V" with a speed cut.
QPainterPath EmblemChevron(const QRectF& box);

// Painters, one per picture or family of pictures. Each gets a painter on a canvas of the
// picture's size, cleared to transparent or black as the table in Skin.cpp says.
enum class CaptionLook { Normal, Down, Over };

void PaintProductLogo(QPainter& p, QSize size);
void PaintRedRule(QPainter& p, QSize size);
void PaintDeviceHint(QPainter& p, QSize size, const QColor& colour, const QString& first,
                     const QString& second);
void PaintLampHeading(QPainter& p, QSize size);
void PaintLampLegend(QPainter& p, QSize size);
void PaintLamp(QPainter& p, QSize size, bool lit);
void PaintMakerLogo(QPainter& p, QSize size);
void PaintPageCaption(QPainter& p, QSize size, const QString& text, CaptionLook look);
void PaintProgressBar(QPainter& p, QSize size);
void PaintAppIcon(QPainter& p, int size);

void PaintSendSetting(QPainter& p, QSize size);
void PaintDefaultSetting(QPainter& p, QSize size);
void PaintFirmwareVersionCaption(QPainter& p, QSize size);
void PaintBasicSetup(QPainter& p, QSize size);
void PaintSeparator(QPainter& p, QSize size);
void PaintLeftCaptions(QPainter& p, QSize size);
void PaintMiddleCaptions(QPainter& p, QSize size, bool alternative);
void PaintPresetHeading(QPainter& p, QSize size);
void PaintSmallCaption(QPainter& p, QSize size, const QString& text);
void PaintCommentHeading(QPainter& p, QSize size);
void PaintInfoCaptions(QPainter& p, QSize size);
void PaintPanelFrame(QPainter& p, QSize size);

void PaintLinksPage(QPainter& p, QSize size);

void PaintPageTitle(QPainter& p, QSize size, const QString& text);
void PaintPanelRule(QPainter& p, QSize size);
void PaintStartPicture(QPainter& p, QSize size, const QString& device);
enum class Outcome { Ready, Finished, Failed };
void PaintStatus(QPainter& p, QSize size, Outcome outcome);
void PaintFirmwarePanel(QPainter& p, QSize size);
void PaintComboArrows(QPainter& p, QSize size);
void PaintProgressFrame(QPainter& p, QSize size);

}  // namespace vorna::gui::skin
