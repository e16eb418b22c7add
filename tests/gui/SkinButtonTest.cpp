// The skinned push button: the image each state shows, the pushed look under a held mouse,
// which presses and keys become clicks, the focus mark, and where the caption goes. Then the
// picture button that gives the keyboard a way to a page's clickable pictures.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFontMetrics>
#include <QImage>
#include <QLineEdit>
#include <QPainter>
#include <QSignalSpy>
#include <QTest>

#include <cstdlib>
#include <memory>

#include "gui/skin/Skin.h"
#include "gui/widgets/PictureButton.h"
#include "gui/widgets/SkinButton.h"
#include "gui/widgets/WidgetLook.h"
#include "support/GuiApp.h"

namespace {

using vorna::gui::SkinButton;
using Face = SkinButton::Face;

void EnsureApplication() {
    vorna::test::EnsureGuiApp();
}

const QColor kNormal(0, 0, 255);
const QColor kDown(0, 160, 0);
const QColor kOver(255, 255, 0);
const QColor kHost(255, 0, 255);
const QRect kButtonRect(60, 40, 155, 38);
const QPoint kAway(300, 130);  // in the host, clear of the button
const QPoint kInside(20, 10);
const QPoint kOutside(-15, 10);

QImage Shot(QWidget* widget) {
    return widget->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

// A face colour at 40 % of its brightness, as a disabled control shows it.
QColor DimOf(const QColor& colour) {
    return QColor(colour.red() * 2 / 5, colour.green() * 2 / 5, colour.blue() * 2 / 5);
}

bool Near(const QColor& a, const QColor& b) {
    return std::abs(a.red() - b.red()) <= 2 && std::abs(a.green() - b.green()) <= 2 &&
           std::abs(a.blue() - b.blue()) <= 2;
}

bool Contains(const QImage& image, const QColor& colour) {
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixelColor(x, y) == colour) return true;
        }
    }
    return false;
}

// The leftmost column holding a pixel other than `background`, or -1.
int FirstInkColumn(const QImage& image, const QColor& background) {
    for (int x = 0; x < image.width(); ++x) {
        for (int y = 0; y < image.height(); ++y) {
            if (image.pixelColor(x, y) != background) return x;
        }
    }
    return -1;
}

class SkinButtonTest : public ::testing::Test {
protected:
    void SetUp() override {
        EnsureApplication();
        host_ = std::make_unique<QWidget>();
        host_->resize(340, 160);
        host_->setAutoFillBackground(true);
        QPalette palette = host_->palette();
        palette.setColor(QPalette::Window, kHost);
        host_->setPalette(palette);
        // Created first, so it takes the focus when the window is activated.
        other_ = new QLineEdit(host_.get());
        other_->setGeometry(5, 5, 40, 20);
        button_ = new SkinButton(host_.get());
        button_->setGeometry(kButtonRect);
        const auto solid = [](const QColor& colour) {
            QPixmap pixmap(kButtonRect.size());
            pixmap.fill(colour);
            return pixmap;
        };
        button_->SetImages(solid(kNormal), solid(kDown), solid(kOver));
        host_->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(host_.get()));
        host_->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(host_.get()));
        other_->setFocus();
        QTest::mouseMove(host_.get(), kAway);
        ASSERT_FALSE(button_->hasFocus());
        ASSERT_EQ(FacePixel(), kNormal);  // not hovered
    }

    void TearDown() override { host_.reset(); }

    // Inside the focus mark.
    QColor FacePixel() const { return Shot(button_).pixelColor(4, 4); }

    std::unique_ptr<QWidget> host_;
    QLineEdit* other_ = nullptr;
    SkinButton* button_ = nullptr;
};

TEST_F(SkinButtonTest, LookFollowsSelectedPushedFocusHoverPrecedence) {
    EXPECT_EQ(button_->CurrentFace(), Face::Normal);
    EXPECT_EQ(FacePixel(), kNormal);
    QTest::mouseMove(button_, kInside);
    EXPECT_EQ(button_->CurrentFace(), Face::Over);
    EXPECT_EQ(FacePixel(), kOver);

    // Selected shows the down image wherever the mouse is; clearing it gives the look back.
    button_->SetSelected(true);
    EXPECT_EQ(FacePixel(), kDown);
    QTest::mouseMove(host_.get(), kAway);
    EXPECT_EQ(button_->CurrentFace(), Face::Down);
    button_->SetSelected(false);
    EXPECT_EQ(FacePixel(), kNormal);  // the hover ended while it was selected

    // Focus hides the hover image but not the selected one; pushed beats focus.
    button_->setFocus();
    ASSERT_TRUE(button_->hasFocus());
    QTest::mouseMove(button_, kInside);
    EXPECT_EQ(FacePixel(), kNormal);  // hovered, as the Over face below shows once unfocused
    button_->SetSelected(true);
    EXPECT_EQ(button_->CurrentFace(), Face::Down);
    button_->SetSelected(false);
    button_->setDown(true);
    EXPECT_EQ(button_->CurrentFace(), Face::Down);
    button_->setDown(false);
    other_->setFocus();
    EXPECT_EQ(button_->CurrentFace(), Face::Over);

    // Disabled beats everything and dims the image; a selected button keeps its down image.
    button_->SetSelected(true);
    button_->setEnabled(false);
    EXPECT_EQ(button_->CurrentFace(), Face::Disabled);
    EXPECT_TRUE(Near(FacePixel(), DimOf(kDown))) << FacePixel().name().toStdString();
    button_->SetSelected(false);
    EXPECT_TRUE(Near(FacePixel(), DimOf(kNormal))) << FacePixel().name().toStdString();
}

TEST_F(SkinButtonTest, FocusMarkHugsTheImageAndEnterOrReturnClicks) {
    const QImage plain = Shot(button_);
    button_->setFocus(Qt::TabFocusReason);
    const QImage marked = Shot(button_);
    EXPECT_EQ(marked.pixelColor(1, 1), vorna::gui::kFocusMark);
    EXPECT_EQ(marked.pixelColor(kButtonRect.width() - 2, kButtonRect.height() - 2),
              vorna::gui::kFocusMark);
    // Only the outline changes.
    EXPECT_EQ(marked.pixelColor(2, 2), vorna::gui::kFocusMark);  // two pixels thick
    EXPECT_EQ(marked.copy(3, 3, kButtonRect.width() - 6, kButtonRect.height() - 6),
              plain.copy(3, 3, kButtonRect.width() - 6, kButtonRect.height() - 6));
    EXPECT_EQ(marked.pixelColor(0, 0), plain.pixelColor(0, 0));

    // An image narrower than the button: the mark goes round the image.
    QPixmap narrow(100, kButtonRect.height());
    narrow.fill(kNormal);
    button_->SetImages(narrow, narrow);
    const QImage narrowMarked = Shot(button_);
    EXPECT_EQ(narrowMarked.pixelColor(98, 10), vorna::gui::kFocusMark);
    EXPECT_NE(narrowMarked.pixelColor(kButtonRect.width() - 2, 10), vorna::gui::kFocusMark);

    QSignalSpy clicks(button_, &QAbstractButton::clicked);
    QTest::keyClick(button_, Qt::Key_Return);
    QTest::keyClick(button_, Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(clicks.count(), 2);
    QTest::keyClick(button_, Qt::Key_Space);
    EXPECT_EQ(clicks.count(), 3);

    other_->setFocus();
    EXPECT_FALSE(Contains(Shot(button_), vorna::gui::kFocusMark));
}

TEST_F(SkinButtonTest, PushedLookFollowsHeldMouseAndOnlyReleaseInsideClicks) {
    QSignalSpy clicks(button_, &QAbstractButton::clicked);
    QTest::mouseMove(button_, kInside);
    QTest::mousePress(button_, Qt::LeftButton, {}, kInside);
    EXPECT_TRUE(button_->isDown());
    EXPECT_EQ(FacePixel(), kDown);

    QTest::mouseMove(button_, kOutside);
    EXPECT_EQ(FacePixel(), kNormal);
    QTest::mouseMove(button_, kInside);
    EXPECT_EQ(FacePixel(), kDown);
    QTest::mouseMove(button_, kOutside);
    QTest::mouseRelease(button_, Qt::LeftButton, {}, kOutside);
    EXPECT_EQ(clicks.count(), 0);
    EXPECT_EQ(FacePixel(), kNormal);
    // The hold is over: back inside without a button, the button is not pushed.
    QTest::mouseMove(button_, kInside);
    EXPECT_NE(FacePixel(), kDown);

    QTest::mouseClick(button_, Qt::LeftButton, {}, kInside);
    EXPECT_EQ(clicks.count(), 1);
    // A double click arrives as press, release, double click, release: two clicks.
    QTest::mouseClick(button_, Qt::LeftButton, {}, kInside);
    QTest::mouseDClick(button_, Qt::LeftButton, {}, kInside);
    QTest::mouseRelease(button_, Qt::LeftButton, {}, kInside);
    EXPECT_EQ(clicks.count(), 3);
    EXPECT_FALSE(button_->isDown());
}

TEST_F(SkinButtonTest, LosingFocusWhileHeldEndsTheHoldWithoutClick) {
    QSignalSpy clicks(button_, &QAbstractButton::clicked);
    QTest::mousePress(button_, Qt::LeftButton, {}, kInside);
    ASSERT_TRUE(button_->isDown());
    other_->setFocus();
    EXPECT_EQ(FacePixel(), kNormal);
    // The mouse button is still down: moving over the button must not push it again.
    QTest::mouseMove(button_, kInside + QPoint(5, 0));
    EXPECT_FALSE(button_->isDown());
    QTest::mouseRelease(button_, Qt::LeftButton, {}, kInside + QPoint(5, 0));
    EXPECT_EQ(clicks.count(), 0);
}

TEST_F(SkinButtonTest, CaptionPlacementColourAndClipping) {
    EXPECT_EQ(FirstInkColumn(Shot(button_), kNormal), -1);  // an empty caption: the image alone

    const QColor orange(247, 148, 29);
    button_->SetFontSize(240);
    button_->SetTextColor(orange);
    button_->setText(QStringLiteral("HH"));
    const QImage captioned = Shot(button_);
    EXPECT_TRUE(Contains(captioned, orange));
    // Placed by character count and average width, 5 px left of centre.
    QFont font(button_->FontFace());
    font.setPointSizeF(24.0);
    const QFontMetrics metrics(font, button_);
    const int x = (kButtonRect.width() - 2 * metrics.averageCharWidth()) / 2 - 5;
    EXPECT_NEAR(FirstInkColumn(captioned, kNormal), x + metrics.leftBearing(QLatin1Char('H')), 1);

    // Disabled: grey, not the text colour.
    button_->setEnabled(false);
    const QImage disabled = Shot(button_);
    EXPECT_FALSE(Contains(disabled, orange));
    EXPECT_TRUE(
        Contains(disabled, button_->palette().color(QPalette::Disabled, QPalette::ButtonText)));
    button_->setEnabled(true);

    // A caption wider than the button starts left of its edge and stays inside it.
    const QString wide(30, QLatin1Char('M'));
    ASSERT_GT(metrics.horizontalAdvance(wide), kButtonRect.width());
    button_->setText(wide);
    EXPECT_NE(FirstInkColumn(Shot(button_).copy(0, 0, 4, kButtonRect.height()), kNormal), -1);
    const QImage around = Shot(host_.get());
    for (int y = kButtonRect.top(); y <= kButtonRect.bottom(); ++y) {
        for (int dx = 1; dx <= 6; ++dx) {
            ASSERT_EQ(around.pixelColor(kButtonRect.left() - dx, y), kHost) << "y " << y;
            ASSERT_EQ(around.pixelColor(kButtonRect.right() + dx, y), kHost) << "y " << y;
        }
    }
}

TEST_F(SkinButtonTest, AssignSkinLoadsImagesByNumberAndOverIdZeroKeepsNormal) {
    using namespace vorna::gui;
    const QColor background = button_->palette().color(QPalette::Window);
    // How the button looks showing one skin image: the image over the button's own background.
    const auto looks = [&](int id) {
        QImage image(kButtonRect.size(), QImage::Format_RGB32);
        image.fill(background);
        QPainter(&image).drawPixmap(0, 0, SkinBitmap(id));
        return image;
    };
    ASSERT_NE(looks(kBmpSupportNormal), looks(kBmpSupportOver));
    ASSERT_NE(looks(kBmpSupportNormal), looks(kBmpSupportDown));

    button_->AssignSkin(kBmpSupportNormal, kBmpSupportDown, 0);
    QTest::mouseMove(button_, kInside);  // hovered: the over image below shows it
    EXPECT_EQ(Shot(button_), looks(kBmpSupportNormal));

    button_->AssignSkin(kBmpSupportNormal, kBmpSupportDown, kBmpSupportOver);
    EXPECT_EQ(Shot(button_), looks(kBmpSupportOver));
    button_->SetSelected(true);
    EXPECT_EQ(Shot(button_), looks(kBmpSupportDown));

    // Disabled, the selected and the plain button still differ, and neither looks enabled.
    button_->setEnabled(false);
    const QImage disabledSelected = Shot(button_);
    EXPECT_NE(disabledSelected, looks(kBmpSupportDown));
    button_->SetSelected(false);
    const QImage disabledPlain = Shot(button_);
    EXPECT_NE(disabledPlain, looks(kBmpSupportNormal));
    EXPECT_NE(disabledPlain, disabledSelected);
}

class PictureButtonTest : public ::testing::Test {
protected:
    void SetUp() override {
        EnsureApplication();
        host_ = std::make_unique<QWidget>();
        host_->resize(200, 120);
        other_ = new QLineEdit(host_.get());
        other_->setGeometry(5, 5, 40, 20);
        button_ = new vorna::gui::PictureButton(host_.get());
        button_->setGeometry(kPlace);
        QPixmap picture(kPlace.size());
        picture.fill(kNormal);
        button_->SetPicture(picture);
        host_->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(host_.get()));
        host_->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(host_.get()));
        other_->setFocus();
    }

    void TearDown() override { host_.reset(); }

    // A click as the window system delivers it, to whatever lies under the mouse.
    void ClickHost(QPoint inButton) {
        QTest::mouseClick(host_->windowHandle(), Qt::LeftButton, {}, kPlace.topLeft() + inButton);
    }

    const QRect kPlace{60, 40, 50, 30};
    std::unique_ptr<QWidget> host_;
    QLineEdit* other_ = nullptr;
    vorna::gui::PictureButton* button_ = nullptr;
};

TEST_F(PictureButtonTest, KeysPressTheFocusedButtonWhichShowsTheMark) {
    QSignalSpy clicks(button_, &QAbstractButton::clicked);
    EXPECT_FALSE(Contains(Shot(button_), vorna::gui::kFocusMark));
    QWidget::setTabOrder(other_, button_);
    QTest::keyClick(other_, Qt::Key_Tab);
    ASSERT_TRUE(button_->hasFocus());
    const QImage marked = Shot(button_);
    EXPECT_EQ(marked.pixelColor(1, 1), vorna::gui::kFocusMark);
    EXPECT_EQ(marked.pixelColor(5, 5), kNormal);

    QTest::keyClick(button_, Qt::Key_Space);
    QTest::keyClick(button_, Qt::Key_Return);
    QTest::keyClick(button_, Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(clicks.count(), 3);

    button_->setEnabled(false);
    EXPECT_TRUE(Near(Shot(button_).pixelColor(5, 5), DimOf(kNormal)));
}

TEST_F(PictureButtonTest, MouseClicksStrictlyInsideOrPassesThroughWhenTransparent) {
    QSignalSpy clicks(button_, &QAbstractButton::clicked);
    ClickHost(QPoint(0, 10));
    ClickHost(QPoint(10, 0));
    EXPECT_EQ(clicks.count(), 0);
    ClickHost(QPoint(1, 1));
    EXPECT_EQ(clicks.count(), 1);

    button_->SetMouseTransparent(true);
    ClickHost(QPoint(10, 10));
    EXPECT_EQ(clicks.count(), 1);
    button_->SetMouseTransparent(false);
    ClickHost(QPoint(10, 10));
    EXPECT_EQ(clicks.count(), 2);
}

}  // namespace
