// The skin: every bitmap the window and its pages show, drawn by code and addressed by its
// resource number, at the size the layout expects.
#pragma once

#include <QPixmap>
#include <QSize>

#include "gui/skin/SkinScale.h"

namespace vorna::gui {

// Main window, left column.
inline constexpr int kBmpProductLogo = 132;  // 200 x 66
inline constexpr int kBmpRedRule = 133;      // 190 x 5
// The hint fills the width of its place, as the page buttons above it do: its second line
// needs that room to stay whole at the smallest readable size, unsqueezed.
inline constexpr int kBmpHintOrange = 134;  // 200 x 46
inline constexpr int kBmpHintWhite = 135;   // 200 x 46
// The hint once a Device mode is chosen (200 x 46); numbers of this program's own.
inline constexpr int kBmpHintEsc = 201;
inline constexpr int kBmpHintCard = 202;
inline constexpr int kBmpHintFix = 203;
inline constexpr int kBmpLampHeading = 136;  // 191 x 12
inline constexpr int kBmpLampLegend = 137;   // 156 x 69
inline constexpr int kBmpLampOff = 138;      // 26 x 24
inline constexpr int kBmpLampOn = 139;       // 26 x 24
inline constexpr int kBmpMakerLogo = 140;    // 160 x 65
inline constexpr int kBmpSupportDown = 141;  // 155 x 38, page-button captions drawn in the
                                             // top 25 rows (the buttons are 25 high)
inline constexpr int kBmpSupportNormal = 142;
inline constexpr int kBmpSupportOver = 143;
inline constexpr int kBmpFirmwareDown = 144;
inline constexpr int kBmpFirmwareNormal = 145;
inline constexpr int kBmpFirmwareOver = 146;
inline constexpr int kBmpEscSetupDown = 147;
inline constexpr int kBmpEscSetupNormal = 148;
inline constexpr int kBmpEscSetupOver = 149;
inline constexpr int kBmpSendSetting = 150;     // 110 x 60
inline constexpr int kBmpDefaultSetting = 151;  // 110 x 60
inline constexpr int kBmpProgressBar = 152;     // 91 x 30

// ESC setup page.
inline constexpr int kBmpFirmwareVersionCaption = 131;  // 123 x 24
inline constexpr int kBmpBasicSetup = 153;              // 120 x 18
inline constexpr int kBmpSeparator = 154;               // 280 x 5
inline constexpr int kBmpLeftCaptions = 155;            // 130 x 550
inline constexpr int kBmpMiddleCaptions = 156;          // 130 x 335
inline constexpr int kBmpMiddleCaptionsAlt = 190;       // 130 x 335
inline constexpr int kBmpPresetHeading = 158;           // 200 x 30
inline constexpr int kBmpCategoryCaption = 159;         // 70 x 13
inline constexpr int kBmpSheetCaption = 160;            // 70 x 14
inline constexpr int kBmpCommentHeading = 161;          // 180 x 30
inline constexpr int kBmpInfoCaptions = 178;            // 80 x 380
inline constexpr int kBmpRightFrame = 181;              // 330 x 625 (firmware: 330 x 620)
inline constexpr int kBmpLeftFrame = 182;               // 330 x 625
inline constexpr int kBmpMiddleFrame = 183;             // 330 x 350
inline constexpr int kBmpPresetFrame = 184;             // 320 x 180

// Links page.
inline constexpr int kBmpLinksPage = 164;  // 972 x 570
// Where the links page shows its picture, in page pixels.
// The picture draws its products and home-page button under the page's click areas, which are
// in page pixels, so it must be shown exactly here.
inline constexpr int kLinksPictureLeft = 10;
inline constexpr int kLinksPictureTop = 10;

// Firmware page.
inline constexpr int kBmpEscFirmwareTitle = 166;   // 180 x 32
inline constexpr int kBmpPanelRule = 167;          // 420 x 10
inline constexpr int kBmpEscFirmwareSave = 168;    // 150 x 75
inline constexpr int kBmpStatusFailed = 170;       // 150 x 75
inline constexpr int kBmpCardFirmwareTitle = 171;  // 270 x 32
inline constexpr int kBmpCardFirmwareSave = 172;   // 150 x 75
inline constexpr int kBmpFirmwareInfoTitle = 173;  // 250 x 37
inline constexpr int kBmpStatusReady = 179;        // 150 x 75
inline constexpr int kBmpFirmwarePanel = 186;      // 600 x 520
inline constexpr int kBmpComboArrows = 187;        // 63 x 20: normal, hover, pressed
inline constexpr int kBmpStatusFinished = 188;     // 150 x 75
inline constexpr int kBmpProgressFrame = 189;      // 150 x 75

// The size a bitmap is drawn at; an empty size for a number the skin does not know.
QSize SkinBitmapSize(int id);

// The bitmap with that number, drawn once and kept; a null pixmap for an unknown number.
QPixmap SkinBitmap(int id);
// The same drawn at `scale`: its size in window pixels is the skin size scaled, and it is drawn
// for the screen's pixels, so it stays sharp on a scaled desktop.
QPixmap SkinBitmap(int id, const SkinScale& scale);

// A panel frame (181 to 184, 186, 189) drawn for a box of another size, so that its outline is
// whole where the layout gives the frame less room than the bitmap (181 on the ESC setup page is
// 315 wide). The bitmap's own size gives SkinBitmap(id); a number that is not a frame, or an
// empty size, gives a null pixmap.
QPixmap SkinFrameBitmap(int id, QSize size);
// The same for a box of `size` skin pixels, drawn at `scale`.
QPixmap SkinFrameBitmap(int id, QSize size, const SkinScale& scale);

// Lets go of the drawings kept for any other scale than `scale`. The window calls it once its
// widgets hold their pictures at a new scale, so that it keeps one set of pictures, not two
// (those drawn before the screen was known are the size of the whole page).
void ForgetSkinBitmapsNotAt(const SkinScale& scale);

// Whether `text` had to be elided in a picture drawn at `scale` (it did not fit at
// kSmallestTextPx): its whole text then belongs in a tooltip.
bool SkinTextElided(const QString& text, const SkinScale& scale);

// The application icon (resource 128).
QPixmap AppIconPixmap(int size);

}  // namespace vorna::gui
