// The bitmap combo box: face colour and arrow frame for each hover state, the colours of the face
// and the list, the width the list opens at, item order and font changes.
#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QCursor>
#include <QFontMetrics>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QTest>

#include <memory>

#include "gui/skin/Skin.h"
#include "gui/widgets/SkinComboBox.h"
#include "support/GuiApp.h"

namespace {

using vorna::gui::SkinComboBox;

void EnsureApplication() {
    vorna::test::EnsureGuiApp();
}

const QColor kDark(58, 58, 58);
const QColor kRed(255, 0, 0);
const QColor kWhite(255, 255, 255);
const QPoint kAway(350, 150);  // in the host, clear of the combo box
const QPoint kInside(10, 10);

QImage Shot(QWidget* widget) {
    return widget->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

// How many rows hold a pixel matching `match`.
template <typename Match>
int RowsWith(const QImage& image, Match match) {
    int rows = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (match(image.pixelColor(x, y))) {
                ++rows;
                break;
            }
        }
    }
    return rows;
}

// Rows holding antialiased white text; neither face colour comes near this light.
int TextRows(const QImage& image) {
    return RowsWith(image, [](const QColor& c) {
        return c.red() >= 200 && c.green() >= 200 && c.blue() >= 200;
    });
}

// One third of the skin's arrow strip over the face colour, as the face should show it.
QImage ArrowFrame(int frame, const QColor& face) {
    const QPixmap arrows = vorna::gui::SkinBitmap(vorna::gui::kBmpComboArrows);
    const int width = arrows.width() / 3;
    QImage image(width, arrows.height(), QImage::Format_RGB32);
    image.fill(face);
    QPainter(&image).drawPixmap(QPoint(0, 0), arrows,
                                QRect(frame * width, 0, width, arrows.height()));
    return image;
}

QImage ArrowArea(const QImage& face) {
    return face.copy(face.width() - 23, 2, 21, 20);
}

class SkinComboBoxTest : public ::testing::Test {
protected:
    void SetUp() override {
        EnsureApplication();
        ASSERT_EQ(vorna::gui::SkinBitmap(vorna::gui::kBmpComboArrows).size(), QSize(63, 20));
        host_ = std::make_unique<QWidget>();
        host_->resize(420, 200);
        combo_ = new SkinComboBox(host_.get());
        combo_->setGeometry(40, 30, 160, 24);
        host_->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(host_.get()));
        QTest::mouseMove(host_.get(), kAway);
        ASSERT_EQ(combo_->HoverState(), 0);
    }

    void TearDown() override {
        combo_->hidePopup();
        host_.reset();
    }

    QWidget* Popup() const { return combo_->view()->window(); }

    // Checks the face colour below the text and the arrow frame shown.
    void ExpectFace(const QColor& colour, int frame) const {
        const QImage face = Shot(combo_);
        EXPECT_EQ(face.pixelColor(2, face.height() - 1), colour);
        EXPECT_EQ(ArrowArea(face), ArrowFrame(frame, colour));
    }

    // A press sent straight to the combo box; QTest's record of held buttons stays clear.
    void PressLeft() {
        QMouseEvent press(QEvent::MouseButtonPress, kInside, combo_->mapToGlobal(kInside),
                          Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(combo_, &press);
    }

    std::unique_ptr<QWidget> host_;
    SkinComboBox* combo_ = nullptr;
};

TEST_F(SkinComboBoxTest, HoverStatesChangeFaceColourAndArrowFrame) {
    combo_->addItem(QStringLiteral("Normal"));
    ASSERT_NE(ArrowFrame(1, kRed), ArrowFrame(2, kRed));
    ExpectFace(kDark, 0);

    QTest::mouseMove(combo_, kInside);
    EXPECT_EQ(combo_->HoverState(), 1);
    ExpectFace(kRed, 1);

    QTest::mousePress(combo_, Qt::LeftButton, {}, kInside);
    EXPECT_EQ(combo_->HoverState(), 2);
    EXPECT_TRUE(Popup()->isVisible());
    ExpectFace(kRed, 2);
    QTest::mouseRelease(combo_, Qt::LeftButton, {}, kInside);
    EXPECT_EQ(combo_->HoverState(), 1);
    combo_->hidePopup();
    EXPECT_EQ(combo_->HoverState(), 1);

    QTest::mouseMove(host_.get(), kAway);
    EXPECT_EQ(combo_->HoverState(), 0);
    ExpectFace(kDark, 0);
    QTest::mouseMove(combo_, kInside);
    EXPECT_EQ(combo_->HoverState(), 1);
}

TEST_F(SkinComboBoxTest, PressedLookLastsWhileTheListIsOpen) {
    combo_->addItems({QStringLiteral("One"), QStringLiteral("Two")});
    QTest::mouseMove(combo_, kInside);
    PressLeft();
    ASSERT_TRUE(Popup()->isVisible());
    // The open list takes the mouse, which the control hears of as a leave.
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(combo_, &leave);
    EXPECT_EQ(combo_->HoverState(), 2);

    // The release went to the list; closing it settles the look from where the mouse is.
    QCursor::setPos(host_->mapToGlobal(kAway));
    combo_->hidePopup();
    EXPECT_EQ(combo_->HoverState(), 0);
    QTest::mouseMove(combo_, kInside);
    PressLeft();
    QCursor::setPos(combo_->mapToGlobal(kInside + QPoint(3, 0)));
    combo_->hidePopup();
    EXPECT_EQ(combo_->HoverState(), 1);
}

TEST_F(SkinComboBoxTest, FaceShowsCurrentTextInWhiteShortOfTheArrow) {
    const QImage empty = Shot(combo_);
    // Empty: only the dark face and the arrow.
    EXPECT_EQ(RowsWith(empty.copy(0, 0, empty.width() - 23, empty.height()),
                       [](const QColor& c) { return c != kDark; }),
              0);
    EXPECT_EQ(ArrowArea(empty), ArrowFrame(0, kDark));
    combo_->showPopup();  // harmless on an empty list
    combo_->hidePopup();

    combo_->addItem(QStringLiteral("Brake 50%"));
    combo_->SetFontSize(160);
    EXPECT_GT(RowsWith(Shot(combo_), [](const QColor& c) { return c == kWhite; }), 0);

    // Text stops 18 pixels short of the right edge.
    combo_->setItemText(0, QString(60, QLatin1Char('M')));
    const QImage wide = Shot(combo_);
    const int end = wide.width() - 18;
    EXPECT_EQ(wide.copy(end, 0, 18, wide.height()), empty.copy(end, 0, 18, wide.height()));
    EXPECT_GT(TextRows(wide.copy(end - 10, 0, 10, wide.height())), 0);
}

TEST_F(SkinComboBoxTest, ListIsDarkWithRedHighlightAndWhiteText) {
    combo_->addItems({QStringLiteral("Linear"), QStringLiteral("Soft")});
    combo_->showPopup();
    QAbstractItemView* list = combo_->view();
    list->setCurrentIndex(list->model()->index(1, 0));
    const QImage shot = Shot(list->viewport());
    const QRect plain = list->visualRect(list->model()->index(0, 0));
    const QRect highlighted = list->visualRect(list->model()->index(1, 0));
    ASSERT_FALSE(plain.isEmpty());
    EXPECT_EQ(shot.pixelColor(plain.right() - 2, plain.center().y()), kDark);
    EXPECT_EQ(shot.pixelColor(highlighted.right() - 2, highlighted.center().y()), kRed);
    EXPECT_GT(TextRows(shot.copy(plain)), 0);
    EXPECT_GT(TextRows(shot.copy(highlighted)), 0);
}

TEST_F(SkinComboBoxTest, ListOpensWideEnoughForTheWidestItemAndNeverNarrower) {
    // Catalogue order, which sorting would change.
    const QStringList items = {QStringLiteral("Off"), QStringLiteral("10%"), QStringLiteral("5%")};
    combo_->addItems(items);
    for (int i = 0; i < items.size(); ++i) EXPECT_EQ(combo_->itemText(i), items[i]);

    ASSERT_LT(combo_->PopupWidthFor(), combo_->width());
    combo_->showPopup();
    EXPECT_EQ(Popup()->width(), combo_->width());
    combo_->hidePopup();

    const QString wide = QStringLiteral("Punch level 9, strongest start from standstill");
    combo_->addItem(wide);
    const int wanted = combo_->PopupWidthFor();
    EXPECT_GT(wanted, combo_->width());
    combo_->showPopup();
    EXPECT_GE(Popup()->width(), wanted);
    EXPECT_GE(combo_->view()->viewport()->width(),
              QFontMetrics(combo_->SkinFont()).horizontalAdvance(wide));
    combo_->hidePopup();

    combo_->removeItem(combo_->count() - 1);
    ASSERT_LT(combo_->PopupWidthFor(), wanted);
    combo_->showPopup();
    EXPECT_GE(Popup()->width(), wanted);
}

TEST_F(SkinComboBoxTest, FontSizeChangeTakesEffectAtNextPaintAndOpening) {
    combo_->resize(300, 60);
    combo_->addItems({QStringLiteral("Hg"), QStringLiteral("Timing")});
    combo_->SetFontSize(80);
    const int smallRows = TextRows(Shot(combo_));
    const int smallWidth = combo_->PopupWidthFor();
    combo_->showPopup();
    const int smallItem = combo_->view()->visualRect(combo_->model()->index(0, 0)).height();
    combo_->hidePopup();

    combo_->SetFontSize(200);
    EXPECT_GT(TextRows(Shot(combo_)), smallRows);
    EXPECT_GT(combo_->PopupWidthFor(), smallWidth);
    combo_->showPopup();
    const int largeItem = combo_->view()->visualRect(combo_->model()->index(0, 0)).height();
    EXPECT_GT(largeItem, smallItem);
    EXPECT_GE(largeItem, QFontMetrics(combo_->SkinFont()).height());
    combo_->hidePopup();

    // A size of 0 (a text size that did not parse) falls back to the default size.
    combo_->SetFontSize(0);
    EXPECT_EQ(combo_->SkinFont().pointSizeF(), QFont().pointSizeF());
    EXPECT_GT(TextRows(Shot(combo_)), 0);
}

TEST_F(SkinComboBoxTest, DisabledListShowsItsTextDimmed) {
    combo_->addItem(QStringLiteral("Level 12"));
    combo_->SetFontSize(160);
    combo_->setEnabled(false);
    const QImage face = Shot(combo_);
    EXPECT_EQ(RowsWith(face, [](const QColor& c) { return c == kWhite; }), 0);
    EXPECT_GT(RowsWith(face, [](const QColor& c) { return c == QColor(120, 120, 120); }), 0);
    combo_->setEnabled(true);
    EXPECT_GT(RowsWith(Shot(combo_), [](const QColor& c) { return c == kWhite; }), 0);
}

}  // namespace
