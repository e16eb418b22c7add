// The bitmap combo box: face colour and arrow frame for each hover state, the colours of the face
// and the list, the width and height the list opens at, item order and font changes, the wheel
// and the focus mark.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include <QAbstractItemView>
#include <QApplication>
#include <QCursor>
#include <QFontInfo>
#include <QFontMetrics>
#include <QImage>
#include <QLineEdit>
#include <QMainWindow>
#include <QMouseEvent>
#include <QPainter>
#include <QScopeGuard>
#include <QScrollBar>
#include <QTest>
#include <QWheelEvent>

#include <memory>

#include "gui/skin/Skin.h"
#include "gui/widgets/SkinComboBox.h"
#include "gui/widgets/WidgetLook.h"
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

// Pixels of the colour `colour`.
int PixelsOf(const QImage& image, const QColor& colour) {
    int pixels = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) pixels += image.pixelColor(x, y) == colour ? 1 : 0;
    }
    return pixels;
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
        // Created first, so it takes the focus when the window is activated.
        other_ = new QLineEdit(host_.get());
        other_->setGeometry(250, 30, 60, 20);
        combo_ = new SkinComboBox(host_.get());
        combo_->setGeometry(40, 30, 160, 24);
        host_->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(host_.get()));
        QTest::mouseMove(host_.get(), kAway);
        ExpectHover(0, __LINE__);
    }

    void TearDown() override {
        combo_->hidePopup();
        host_.reset();
    }

    QWidget* Popup() const { return combo_->view()->window(); }

    // The look of a hover state: 0 away, 1 under the mouse, 2 pressed.
    void ExpectHover(int state, int line) const {
        SCOPED_TRACE(line);
        ExpectFace(state == 0 ? kDark : kRed, state);
    }

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

    // Activated with the focus away from the combo box.
    void Activate() {
        host_->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(host_.get()));
        other_->setFocus();
        ASSERT_FALSE(combo_->hasFocus());
    }

    std::unique_ptr<QWidget> host_;
    QLineEdit* other_ = nullptr;
    SkinComboBox* combo_ = nullptr;
};

TEST_F(SkinComboBoxTest, HoverStatesChangeFaceColourAndArrowFrame) {
    combo_->addItem(QStringLiteral("Normal"));
    ASSERT_NE(ArrowFrame(1, kRed), ArrowFrame(2, kRed));
    ExpectFace(kDark, 0);

    QTest::mouseMove(combo_, kInside);
    ExpectHover(1, __LINE__);
    ExpectFace(kRed, 1);

    QTest::mousePress(combo_, Qt::LeftButton, {}, kInside);
    ExpectHover(2, __LINE__);
    EXPECT_TRUE(Popup()->isVisible());
    ExpectFace(kRed, 2);
    QTest::mouseRelease(combo_, Qt::LeftButton, {}, kInside);
    ExpectHover(1, __LINE__);
    // Closing the list settles the look from where the mouse is.
    QCursor::setPos(combo_->mapToGlobal(kInside));
    combo_->hidePopup();
    other_->setFocus();  // the focus mark would cover the arrow's frame
    ExpectHover(1, __LINE__);

    QTest::mouseMove(host_.get(), kAway);
    ExpectHover(0, __LINE__);
    ExpectFace(kDark, 0);
    QTest::mouseMove(combo_, kInside);
    ExpectHover(1, __LINE__);
}

TEST_F(SkinComboBoxTest, PressedLookLastsWhileTheListIsOpen) {
    combo_->addItems({QStringLiteral("One"), QStringLiteral("Two")});
    QTest::mouseMove(combo_, kInside);
    PressLeft();
    ASSERT_TRUE(Popup()->isVisible());
    // The open list takes the mouse, which the control hears of as a leave.
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(combo_, &leave);
    ExpectHover(2, __LINE__);

    // The release went to the list; closing it settles the look from where the mouse is.
    QCursor::setPos(host_->mapToGlobal(kAway));
    combo_->hidePopup();
    ExpectHover(0, __LINE__);
    QTest::mouseMove(combo_, kInside);
    PressLeft();
    QCursor::setPos(combo_->mapToGlobal(kInside + QPoint(3, 0)));
    combo_->hidePopup();
    ExpectHover(1, __LINE__);
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

    // Text too long for the face stops short of the arrow (23 pixels from the right edge),
    // never under it.
    combo_->setItemText(0, QString(60, QLatin1Char('M')));
    const QImage wide = Shot(combo_);
    const int end = wide.width() - 23;
    EXPECT_EQ(wide.copy(end, 0, 23, wide.height()), empty.copy(end, 0, 23, wide.height()));
    EXPECT_GT(TextRows(wide.copy(end - 12, 0, 12, wide.height())), 0);
}

// However small the scale, the face's text is at least 11 pixels high, and it sits in the
// middle of the face, not at its top.
TEST_F(SkinComboBoxTest, TextIsReadableAndCentredAtAnyScale) {
    combo_->resize(160, 30);
    combo_->addItem(QStringLiteral("MMMM"));
    combo_->SetFontSize(80);
    combo_->SetScale(vorna::gui::SkinScale(0.5));
    EXPECT_GE(QFontInfo(combo_->SkinFont()).pixelSize(), 11);
    const QImage shot = Shot(combo_).copy(0, 0, combo_->width() - 25, combo_->height());
    int top = -1;
    int bottom = -1;
    for (int y = 0; y < shot.height(); ++y) {
        if (TextRows(shot.copy(0, y, shot.width(), 1)) == 0) continue;
        if (top < 0) top = y;
        bottom = y;
    }
    ASSERT_GE(top, 0);
    EXPECT_LE(std::abs(top - (shot.height() - 1 - bottom)), 2) << top << " " << bottom;
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

// Contrast as the web's accessibility guidelines count it, from 1 : 1 to 21 : 1.
double Contrast(const QColor& a, const QColor& b) {
    const auto luminance = [](const QColor& c) {
        const auto channel = [](double v) {
            return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) +
               0.0722 * channel(c.blueF());
    };
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// The brightest colour on a face: the core of its letters.
QColor Brightest(const QImage& face) {
    QColor brightest(kDark);
    for (int y = 0; y < face.height(); ++y) {
        for (int x = 0; x < face.width() - 24; ++x) {
            const QColor c = face.pixelColor(x, y);
            if (c.lightness() > brightest.lightness()) brightest = c;
        }
    }
    return brightest;
}

// Dimmed, a disabled list's value and a placeholder ("not read") still read: 4.5 : 1 at least.
TEST_F(SkinComboBoxTest, DisabledListAndPlaceholderAreDimmedButReadable) {
    combo_->addItem(QStringLiteral("Level 12"));
    combo_->SetFontSize(160);
    combo_->setEnabled(false);
    const QImage face = Shot(combo_);
    EXPECT_EQ(RowsWith(face, [](const QColor& c) { return c == kWhite; }), 0);
    EXPECT_GE(Contrast(Brightest(face), kDark), 4.5) << Brightest(face).name().toStdString();
    combo_->setEnabled(true);
    EXPECT_GT(RowsWith(Shot(combo_), [](const QColor& c) { return c == kWhite; }), 0);

    combo_->setCurrentIndex(-1);
    combo_->setPlaceholderText(QStringLiteral("not read"));
    const QImage placeholder = Shot(combo_);
    EXPECT_EQ(RowsWith(placeholder, [](const QColor& c) { return c == kWhite; }), 0);
    EXPECT_GE(Contrast(Brightest(placeholder), kDark), 4.5)
        << Brightest(placeholder).name().toStdString();
}

// An open list shows ten rows, so a choice among many is seen without scrolling page by page.
// The main window has a style sheet, and with one the toolkit's style opens lists like menus as
// tall as the screen; a sheet that asks for exactly that must not win either. Last, a list whose
// own sheet is replaced by one that opens it like a menu is still cut to its rows.
TEST(SkinComboBoxListHeight, OpenListShowsTenRowsUnderAnyStyleSheet) {
    EnsureApplication();
    const QString sheet =
        QStringLiteral("QMainWindow { background: black; } QComboBox { combobox-popup: 1; }");
    enum Case { kWindowSheet, kApplicationSheet, kOwnSheetReplaced };
    for (const Case at : {kWindowSheet, kApplicationSheet, kOwnSheetReplaced}) {
        SCOPED_TRACE(at);
        if (at == kApplicationSheet) qApp->setStyleSheet(sheet);
        const auto plainAgain = qScopeGuard([] { qApp->setStyleSheet(QString()); });
        QMainWindow window;
        if (at != kApplicationSheet) window.setStyleSheet(sheet);
        window.setCentralWidget(new QWidget);
        window.resize(420, 420);
        auto* combo = new SkinComboBox(window.centralWidget());
        if (at == kOwnSheetReplaced) combo->setStyleSheet(QStringLiteral("combobox-popup: 1;"));
        combo->setGeometry(40, 30, 160, 24);
        for (int i = 0; i < 153; ++i) combo->addItem(QString::number(1000 + 500 * i));
        combo->setCurrentIndex(100);
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

        combo->showPopup();
        QAbstractItemView* list = combo->view();
        QWidget* popup = list->window();
        ASSERT_TRUE(popup->isVisible());
        const int row = list->visualRect(list->model()->index(0, 0)).height();
        EXPECT_GE(popup->height(), 10 * row);
        EXPECT_LT(popup->height(), 11 * row);
        // Below the face and scrolled to the current entry.
        EXPECT_GE(popup->y(), combo->mapToGlobal(QPoint(0, combo->height() - 1)).y());
        const QRect current = list->visualRect(list->model()->index(100, 0));
        EXPECT_TRUE(list->viewport()->rect().contains(current.center()));
        if (at != kOwnSheetReplaced) {
            // A dark scroll bar and frame.
            QScrollBar* bar = list->verticalScrollBar();
            ASSERT_TRUE(bar->isVisible());
            const auto light = [](const QColor& c) { return c.value() > 160; };
            EXPECT_EQ(RowsWith(Shot(bar), light), 0);
            const QImage popupShot = Shot(popup);
            EXPECT_EQ(RowsWith(popupShot.copy(0, 0, 1, popupShot.height()), light), 0);
        }
        combo->hidePopup();
    }
}

TEST_F(SkinComboBoxTest, WheelTurnsOnlyAFocusedListAndNeverTakesTheFocus) {
    Activate();
    combo_->addItems({QStringLiteral("Off"), QStringLiteral("5%"), QStringLiteral("10%")});
    combo_->setCurrentIndex(1);
    // As the window system delivers it: to the window, which finds the widget under the mouse
    // and passes the event up while it is ignored.
    const auto turn = [this](int delta) {
        const QPoint at = combo_->mapTo(host_.get(), kInside);
        QWheelEvent wheel(QPointF(at), QPointF(host_->mapToGlobal(at)), QPoint(), QPoint(0, delta),
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QSpontaneKeyEvent::setSpontaneous(&wheel);
        QApplication::sendEvent(host_->windowHandle(), &wheel);
    };
    turn(-120);
    turn(-120);
    EXPECT_EQ(combo_->currentIndex(), 1);
    EXPECT_FALSE(combo_->hasFocus());
    // The toolkit hands the focus to a widget under the wheel if it takes the focus by wheel.
    EXPECT_NE(combo_->focusPolicy() & Qt::WheelFocus, Qt::WheelFocus);

    combo_->setFocus(Qt::TabFocusReason);
    turn(-120);
    EXPECT_EQ(combo_->currentIndex(), 2);
    turn(120);
    turn(120);
    EXPECT_EQ(combo_->currentIndex(), 0);
}

TEST_F(SkinComboBoxTest, FocusMarkShowsInsideTheFaceWhileFocused) {
    Activate();
    combo_->addItem(QStringLiteral("Normal"));
    const QImage plain = Shot(combo_);
    EXPECT_EQ(PixelsOf(plain, vorna::gui::kFocusMark), 0);

    combo_->setFocus(Qt::TabFocusReason);
    const QImage marked = Shot(combo_);
    EXPECT_GT(PixelsOf(marked, vorna::gui::kFocusMark), 2 * combo_->width());
    // The face's own edge stays as it was.
    EXPECT_EQ(marked.copy(0, 0, marked.width(), 1), plain.copy(0, 0, plain.width(), 1));
    EXPECT_EQ(marked.copy(0, 0, 1, marked.height()), plain.copy(0, 0, 1, plain.height()));

    other_->setFocus();
    EXPECT_EQ(Shot(combo_), plain);
}

}  // namespace
