// The skin: every bitmap at the size the layout expects, looks that the program switches between
// really differ, captions on the rows of the controls they name, and pictures that must cover
// what lies beneath them are opaque.

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFontMetricsF>
#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <algorithm>
#include <cstdlib>
#include <map>
#include <utility>
#include <vector>

#include "gui/skin/Skin.h"
#include "gui/skin/SkinScale.h"
#include "support/GuiApp.h"

namespace {

using namespace vorna::gui;

void EnsureApp() {
    vorna::test::EnsureGuiApp();
}

class SkinTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { EnsureApp(); }
};

QImage Image(int id) {
    return SkinBitmap(id).toImage().convertToFormat(QImage::Format_ARGB32);
}

// A pixel carries ink when it is clearly visible on the black page.
bool Ink(QRgb pixel) {
    return qAlpha(pixel) > 96 && std::max({qRed(pixel), qGreen(pixel), qBlue(pixel)}) > 60;
}

bool RowHasInk(const QImage& image, int y) {
    for (int x = 0; x < image.width(); ++x) {
        if (Ink(image.pixel(x, y))) return true;
    }
    return false;
}

// Runs of rows that carry ink, as [first, last] pairs.
std::vector<std::pair<int, int>> InkBands(const QImage& image) {
    std::vector<std::pair<int, int>> bands;
    for (int y = 0; y < image.height(); ++y) {
        if (!RowHasInk(image, y)) continue;
        if (!bands.empty() && bands.back().second == y - 1) {
            bands.back().second = y;
        } else {
            bands.emplace_back(y, y);
        }
    }
    return bands;
}

// Every expected row lies inside a band of its own (a caption on two lines still makes one
// band), and no band grows into the next row.
void ExpectRowsOnBands(int id, const std::vector<double>& expected, int tolerance) {
    SCOPED_TRACE(testing::Message() << "bitmap " << id);
    const auto bands = InkBands(Image(id));
    ASSERT_EQ(bands.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE(testing::Message() << "row " << i);
        EXPECT_GE(expected[i], bands[i].first - tolerance);
        EXPECT_LE(expected[i], bands[i].second + tolerance);
        EXPECT_LE(bands[i].second - bands[i].first, 24);
    }
}

int InkInRect(const QImage& image, const QRect& rect) {
    int count = 0;
    for (int y = rect.top(); y <= rect.bottom(); ++y) {
        for (int x = rect.left(); x <= rect.right(); ++x) {
            if (Ink(image.pixel(x, y))) ++count;
        }
    }
    return count;
}

// Every bitmap the skin knows is drawn, has ink, and at another scale (a smaller layout on a
// 150 % desktop) comes out at its size scaled, drawn for the screen's pixels; numbers that are
// no bitmap (dialogs, menus, icons, anything around the range) give nothing.
TEST_F(SkinTest, EveryKnownBitmapIsDrawnAtItsSizeAtAnyScale) {
    const SkinScale scale(0.8, 1.5);
    int known = 0;
    for (int id = 100; id < 300; ++id) {
        const QSize size = SkinBitmapSize(id);
        if (size.isEmpty()) {
            EXPECT_TRUE(SkinBitmap(id).isNull()) << "number " << id;
            continue;
        }
        SCOPED_TRACE(testing::Message() << "bitmap " << id);
        ++known;
        const QPixmap pixmap = SkinBitmap(id);
        ASSERT_FALSE(pixmap.isNull());
        EXPECT_EQ(pixmap.size(), size);
        EXPECT_GT(InkInRect(Image(id), QRect(QPoint(0, 0), size)), 0) << "blank picture";
        const QPixmap scaled = SkinBitmap(id, scale);
        EXPECT_EQ(scaled.deviceIndependentSize().toSize(), scale.Size(size));
        EXPECT_EQ(scaled.devicePixelRatio(), 1.5);
    }
    EXPECT_GT(known, 0);
    for (int id : {-1, 0, 1000}) EXPECT_TRUE(SkinBitmap(id).isNull()) << "number " << id;
}

TEST_F(SkinTest, LooksTheProgramSwitchesBetweenDiffer) {
    const std::vector<std::vector<int>> groups{
        {kBmpHintOrange, kBmpHintWhite, kBmpHintEsc, kBmpHintCard, kBmpHintFix},
        {kBmpLampOff, kBmpLampOn},
        {kBmpSupportNormal, kBmpSupportDown, kBmpSupportOver},
        {kBmpFirmwareNormal, kBmpFirmwareDown, kBmpFirmwareOver},
        {kBmpEscSetupNormal, kBmpEscSetupDown, kBmpEscSetupOver},
        {kBmpMiddleCaptions, kBmpMiddleCaptionsAlt},
        {kBmpStatusReady, kBmpStatusFinished, kBmpStatusFailed, kBmpProgressFrame},
        {kBmpEscFirmwareSave, kBmpCardFirmwareSave},
        // The three buttons in one state must still say different things.
        {kBmpSupportNormal, kBmpFirmwareNormal, kBmpEscSetupNormal},
    };
    for (const auto& group : groups) {
        for (std::size_t a = 0; a < group.size(); ++a) {
            for (std::size_t b = a + 1; b < group.size(); ++b) {
                EXPECT_NE(Image(group[a]), Image(group[b]))
                    << "bitmaps " << group[a] << " and " << group[b];
            }
        }
    }
}

TEST_F(SkinTest, ComboArrowFramesDifferAndJoinTheFaceOfTheirState) {
    const QImage strip = Image(kBmpComboArrows);
    const int frame = strip.width() / 3;
    ASSERT_EQ(frame, 21);
    std::vector<QImage> frames;
    for (int i = 0; i < 3; ++i) frames.push_back(strip.copy(frame * i, 0, frame, strip.height()));
    EXPECT_NE(frames[0], frames[1]);
    EXPECT_NE(frames[1], frames[2]);
    EXPECT_NE(frames[0], frames[2]);
    // The list fills its face dark grey normally and red under the mouse; each frame's edge
    // must be exactly that colour or a seam shows beside the arrow.
    const QRgb dark = qRgb(58, 58, 58);
    const QRgb red = qRgb(255, 0, 0);
    EXPECT_EQ(frames[0].pixel(frame - 1, 0), dark);
    EXPECT_EQ(frames[0].pixel(frame - 1, 12), dark);
    for (int i = 1; i < 3; ++i) {
        EXPECT_EQ(frames[i].pixel(frame - 1, 0), red) << "frame " << i;
        EXPECT_EQ(frames[i].pixel(frame - 1, 12), red) << "frame " << i;
    }
    // Each frame shows an arrow: something light in its middle.
    for (int i = 0; i < 3; ++i) {
        bool light = false;
        for (int y = 4; y < 13; ++y) {
            for (int x = 6; x < 16; ++x) {
                const QRgb pixel = frames[i].pixel(x, y);
                light = light || (qRed(pixel) > 200 && qGreen(pixel) > 200 && qBlue(pixel) > 200);
            }
        }
        EXPECT_TRUE(light) << "frame " << i << " has no arrow";
    }
}

TEST_F(SkinTest, DrawingHappensOncePerNumber) {
    for (int id : {kBmpLinksPage, kBmpLampOn, kBmpComboArrows}) {
        EXPECT_EQ(SkinBitmap(id).cacheKey(), SkinBitmap(id).cacheKey()) << "bitmap " << id;
    }
    EXPECT_NE(SkinBitmap(kBmpLampOn).cacheKey(), SkinBitmap(kBmpLampOff).cacheKey());
    EXPECT_EQ(AppIconPixmap(32).cacheKey(), AppIconPixmap(32).cacheKey());
    EXPECT_NE(AppIconPixmap(32).cacheKey(), AppIconPixmap(16).cacheKey());
}

TEST_F(SkinTest, OnlyTheDrawingsOfTheWindowsScaleAreKept) {
    const SkinScale smaller(0.8);
    const qint64 own = SkinBitmap(kBmpLinksPage).cacheKey();
    const qint64 frame = SkinFrameBitmap(kBmpPresetFrame, QSize(300, 200)).cacheKey();
    const qint64 scaled = SkinBitmap(kBmpLinksPage, smaller).cacheKey();
    const qint64 other = SkinBitmap(kBmpLinksPage, SkinScale(0.6)).cacheKey();

    ForgetSkinBitmapsNotAt(smaller);
    EXPECT_EQ(SkinBitmap(kBmpLinksPage, smaller).cacheKey(), scaled);
    EXPECT_NE(SkinBitmap(kBmpLinksPage, SkinScale(0.6)).cacheKey(), other);
    EXPECT_NE(SkinBitmap(kBmpLinksPage).cacheKey(), own);
    EXPECT_NE(SkinFrameBitmap(kBmpPresetFrame, QSize(300, 200)).cacheKey(), frame);

    // At the skin's own size its own drawings are the ones kept.
    const qint64 ownAgain = SkinBitmap(kBmpLinksPage).cacheKey();
    ForgetSkinBitmapsNotAt(SkinScale());
    EXPECT_EQ(SkinBitmap(kBmpLinksPage).cacheKey(), ownAgain);
    EXPECT_NE(SkinBitmap(kBmpLinksPage, smaller).cacheKey(), scaled);
}

TEST_F(SkinTest, CaptionsSitOnTheRowsOfTheirControls) {
    // Left column: lists at page y 60 + 33 k, about 20 high; the picture starts at page y 64.
    std::vector<double> left;
    for (int k = 0; k < 17; ++k) left.push_back(60 + 33 * k + 10 - 64);
    ExpectRowsOnBands(kBmpLeftCaptions, left, 1);

    // Middle column: lists at page y 20 + 31 k; the picture starts at page y 20.
    std::vector<double> middle;
    for (int k = 0; k < 11; ++k) middle.push_back(31 * k + 10);
    ExpectRowsOnBands(kBmpMiddleCaptions, middle, 1);
    ExpectRowsOnBands(kBmpMiddleCaptionsAlt, middle, 1);

    // Information fields: their first text line, the picture starting at page y 50.
    std::vector<double> info;
    for (int top : {50, 80, 112, 142, 172, 202, 235, 265, 293, 323, 353, 383, 415}) {
        info.push_back(top - 50 + 7);
    }
    ExpectRowsOnBands(kBmpInfoCaptions, info, 1);

    // Lamp labels beside the LEDs, centred at window y 391, 421 and 451; the legend is at y 390.
    ExpectRowsOnBands(kBmpLampLegend, {1, 31, 61}, 5);
}

TEST_F(SkinTest, NothingIsCutByTheBoxItIsShownIn) {
    // Text cut by the picture's edge shows as ink on its outermost columns or rows.
    for (int id : {kBmpHintOrange,        kBmpHintWhite,
                   kBmpHintEsc,           kBmpHintCard,
                   kBmpHintFix,           kBmpLampHeading,
                   kBmpLampLegend,        kBmpFirmwareVersionCaption,
                   kBmpBasicSetup,        kBmpLeftCaptions,
                   kBmpMiddleCaptions,    kBmpMiddleCaptionsAlt,
                   kBmpPresetHeading,     kBmpCategoryCaption,
                   kBmpSheetCaption,      kBmpCommentHeading,
                   kBmpInfoCaptions,      kBmpEscFirmwareTitle,
                   kBmpCardFirmwareTitle, kBmpFirmwareInfoTitle,
                   kBmpMakerLogo,         kBmpProductLogo}) {
        SCOPED_TRACE(testing::Message() << "bitmap " << id);
        const QImage image = Image(id);
        const int w = image.width();
        const int h = image.height();
        EXPECT_EQ(InkInRect(image, QRect(0, 0, 1, h)), 0) << "left edge";
        EXPECT_EQ(InkInRect(image, QRect(w - 1, 0, 1, h)), 0) << "right edge";
        EXPECT_EQ(InkInRect(image, QRect(0, 0, w, 1)), 0) << "top edge";
        EXPECT_EQ(InkInRect(image, QRect(0, h - 1, w, 1)), 0) << "bottom edge";
    }
    // The lamps are shown in 20 x 20 boxes: the LED must be whole in the top-left 20 x 20.
    for (int id : {kBmpLampOff, kBmpLampOn}) {
        const QImage lamp = Image(id);
        EXPECT_GT(InkInRect(lamp, QRect(0, 0, 20, 20)), 60) << "bitmap " << id;
        EXPECT_EQ(InkInRect(lamp, QRect(20, 0, 6, 24)), 0) << "bitmap " << id;
        EXPECT_EQ(InkInRect(lamp, QRect(0, 20, 26, 4)), 0) << "bitmap " << id;
    }
    // The page buttons are 25 pixels high: their captions must be whole in the top 25 rows.
    for (int id = kBmpSupportDown; id <= kBmpEscSetupOver; ++id) {
        SCOPED_TRACE(testing::Message() << "bitmap " << id);
        const QImage image = Image(id);
        EXPECT_GT(InkInRect(image, QRect(0, 0, image.width(), 25)), 100);
        EXPECT_EQ(InkInRect(image, QRect(0, 24, image.width(), 14)), 0);
    }
}

TEST_F(SkinTest, PicturesThatCoverOthersAreOpaqueAndCaptionsAreNot) {
    // The progress frame is shown over the outcome picture at the same place, the outcome
    // pictures replace each other, and the start and send pictures are buttons.
    for (int id : {kBmpProgressFrame, kBmpStatusReady, kBmpStatusFinished, kBmpStatusFailed,
                   kBmpEscFirmwareSave, kBmpCardFirmwareSave, kBmpSendSetting, kBmpDefaultSetting,
                   kBmpLinksPage}) {
        const QImage image = Image(id);
        int seeThrough = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                if (qAlpha(image.pixel(x, y)) != 255) ++seeThrough;
            }
        }
        EXPECT_EQ(seeThrough, 0) << "bitmap " << id;
    }
    // The middle captions start 5 pixels left of the middle frame and overlap the outlines of
    // both neighbouring frames: their ground must let the outlines through.
    for (int id : {kBmpMiddleCaptions, kBmpMiddleCaptionsAlt, kBmpLeftCaptions}) {
        const QImage image = Image(id);
        EXPECT_EQ(qAlpha(image.pixel(0, image.height() / 2 + 3)), 0) << "bitmap " << id;
        EXPECT_EQ(qAlpha(image.pixel(image.width() - 1, 1)), 0) << "bitmap " << id;
    }
}

TEST_F(SkinTest, FramesDrawnForAnotherBoxKeepTheirWholeOutline) {
    // The right frame is 330 wide but gets a 315-wide box on the ESC setup page.
    const QImage narrow = SkinFrameBitmap(kBmpRightFrame, QSize(315, 625))
                              .toImage()
                              .convertToFormat(QImage::Format_ARGB32);
    ASSERT_EQ(narrow.size(), QSize(315, 625));
    EXPECT_GT(InkInRect(narrow, QRect(305, 100, 10, 400)), 300) << "no right outline";
    EXPECT_GT(InkInRect(narrow, QRect(0, 100, 10, 400)), 300) << "no left outline";
    EXPECT_EQ(SkinFrameBitmap(kBmpRightFrame, QSize(330, 625)).cacheKey(),
              SkinBitmap(kBmpRightFrame).cacheKey());
    EXPECT_TRUE(SkinFrameBitmap(kBmpLinksPage, QSize(300, 300)).isNull());
    EXPECT_TRUE(SkinFrameBitmap(kBmpRightFrame, QSize()).isNull());
    EXPECT_TRUE(SkinFrameBitmap(12345, QSize(10, 10)).isNull());
}

TEST_F(SkinTest, ColoursSayWhatTheLooksMean) {
    // The hint blinks between an orange and a white rendering of the same prompt.
    auto averageInk = [](const QImage& image) {
        double r = 0, g = 0, b = 0;
        int n = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                const QRgb pixel = image.pixel(x, y);
                if (qAlpha(pixel) < 200 || !Ink(pixel)) continue;
                r += qRed(pixel);
                g += qGreen(pixel);
                b += qBlue(pixel);
                ++n;
            }
        }
        return n == 0 ? QColor() : QColor(int(r / n), int(g / n), int(b / n));
    };
    const QColor orange = averageInk(Image(kBmpHintOrange));
    const QColor white = averageInk(Image(kBmpHintWhite));
    EXPECT_GT(orange.red(), orange.green() + 40);
    EXPECT_GT(orange.green(), orange.blue() + 40);
    EXPECT_GT(white.blue(), 200);
    EXPECT_LT(std::abs(white.red() - white.blue()), 12);

    // A lit lamp is bright where its LED is; an unlit one is dark there.
    auto ledBrightness = [](int id) {
        const QImage lamp = Image(id);
        int sum = 0;
        for (int y = 9; y < 15; ++y) {
            for (int x = 7; x < 13; ++x) sum += qGray(lamp.pixel(x, y));
        }
        return sum / 36;
    };
    EXPECT_GT(ledBrightness(kBmpLampOn), 120);
    EXPECT_LT(ledBrightness(kBmpLampOff), 60);
}

// On a 1024x600 screen (the skin at 0.8) the hint's second line keeps letters of the smallest
// readable size at their natural width: squeezed narrower, they run into each other.
TEST_F(SkinTest, TheHintReadsWholeAndUnsqueezedOnASmallScreen) {
    const SkinScale scale(0.8);
    const QImage hint =
        SkinBitmap(kBmpHintEsc, scale).toImage().convertToFormat(QImage::Format_ARGB32);
    const auto bands = InkBands(hint);
    ASSERT_EQ(bands.size(), 2u);
    int left = hint.width();
    int right = -1;
    for (int y = bands[1].first; y <= bands[1].second; ++y) {
        for (int x = 0; x < hint.width(); ++x) {
            if (!Ink(hint.pixel(x, y))) continue;
            left = std::min(left, x);
            right = std::max(right, x);
        }
    }
    QFont smallest(QStringLiteral("Liberation Sans"));
    smallest.setPixelSize(static_cast<int>(kSmallestTextPx));
    const QString line = QStringLiteral("change it in the Device menu");
    EXPECT_GE(right - left + 1, QFontMetricsF(smallest).horizontalAdvance(line) * 0.97);
    EXPECT_FALSE(SkinTextElided(line, scale));
}

TEST_F(SkinTest, FramesKeepTheirOutlineInsideTheBoxesTheyAreShownIn) {
    for (int id :
         {kBmpLeftFrame, kBmpRightFrame, kBmpMiddleFrame, kBmpPresetFrame, kBmpFirmwarePanel}) {
        SCOPED_TRACE(testing::Message() << "bitmap " << id);
        const QImage image = Image(id);
        const int w = image.width();
        const int h = image.height();
        // An outline along each side, a little inside the edge.
        EXPECT_GT(InkInRect(image, QRect(0, h / 3, 8, h / 3)), h / 3);
        EXPECT_GT(InkInRect(image, QRect(w - 8, h / 3, 8, h / 3)), h / 3);
        EXPECT_GT(InkInRect(image, QRect(w / 8, 0, w / 8, 10)), w / 8);
        EXPECT_GT(InkInRect(image, QRect(w / 3, h - 12, w / 3, 12)), w / 3);
        // The firmware page shows the right frame in a box 5 rows shorter than the bitmap:
        // nothing of the outline may lie in the rows that box cuts off.
        EXPECT_EQ(InkInRect(image, QRect(0, h - 5, w, 5)), 0);
        EXPECT_EQ(InkInRect(image, QRect(0, 0, w, 1)), 0);
    }
    // The ESC panel's title sits on the panel's top edge (title at page x 200 to 380, panel at
    // page x 20): the outline stops there instead of running through the letters.
    const QImage panel = Image(kBmpFirmwarePanel);
    EXPECT_EQ(InkInRect(panel, QRect(190, 0, 160, 10)), 0);
    EXPECT_GT(InkInRect(panel, QRect(60, 0, 100, 10)), 100);
    EXPECT_GT(InkInRect(panel, QRect(380, 0, 100, 10)), 100);
}

TEST_F(SkinTest, ProductsAndHomeButtonLieUnderTheirClickAreas) {
    // The areas are in page pixels; the page shows the picture at its own offset.
    const QImage page = Image(kBmpLinksPage);
    const QPoint origin(kLinksPictureLeft, kLinksPictureTop);
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(testing::Message() << "product " << i);
        const QRect area = QRect(700, 60 + 120 * i, 250, 100).translated(-origin);
        EXPECT_GT(InkInRect(page, area.adjusted(10, 10, -10, -10)), 2000);
        // The gap below each area stays empty, so a product does not spill into the next one.
        EXPECT_EQ(InkInRect(page, QRect(area.left(), area.bottom() + 3, area.width(), 14)), 0);
    }
    // The home-page button: mostly red under its area.
    const QRect home = QRect(500, 500, 150, 60).translated(-origin);
    int red = 0;
    for (int y = home.top() + 4; y < home.bottom() - 4; ++y) {
        for (int x = home.left() + 4; x < home.right() - 4; ++x) {
            const QRgb pixel = page.pixel(x, y);
            if (qRed(pixel) > 110 && qGreen(pixel) < 90) ++red;
        }
    }
    EXPECT_GT(red, (home.width() - 8) * (home.height() - 8) / 2);
}

TEST_F(SkinTest, AppIconIsDrawnAtTheSizeAskedFor) {
    for (int size : {16, 32, 48, 256}) {
        const QPixmap icon = AppIconPixmap(size);
        ASSERT_EQ(icon.size(), QSize(size, size));
        EXPECT_GT(InkInRect(icon.toImage().convertToFormat(QImage::Format_ARGB32),
                            QRect(0, 0, size, size)),
                  size * size / 8)
            << "size " << size;
    }
    EXPECT_TRUE(AppIconPixmap(0).isNull());
}

// Saves every bitmap as a PNG, laid on the black of the pages, into the folder named by
// VORNA_SKIN_DUMP, for a person to look at.
TEST_F(SkinTest, DumpForReview) {
    const char* folder = std::getenv("VORNA_SKIN_DUMP");
    if (folder == nullptr || *folder == '\0') GTEST_SKIP() << "VORNA_SKIN_DUMP not set";
    const QDir dir(QString::fromLocal8Bit(folder));
    ASSERT_TRUE(dir.mkpath(QStringLiteral(".")));
    auto save = [&dir](const QPixmap& pixmap, const QString& name) {
        QImage onBlack(pixmap.size(), QImage::Format_RGB32);
        onBlack.fill(Qt::black);
        QPainter painter(&onBlack);
        painter.drawPixmap(0, 0, pixmap);
        painter.end();
        EXPECT_TRUE(onBlack.save(dir.filePath(name))) << name.toStdString();
    };
    for (int id = 0; id < 400; ++id) {
        if (SkinBitmapSize(id).isEmpty()) continue;
        save(SkinBitmap(id), QStringLiteral("%1.png").arg(id));
    }
    for (int size : {16, 32, 64, 256}) {
        save(AppIconPixmap(size), QStringLiteral("128-icon-%1.png").arg(size));
    }
}

}  // namespace
