// Acceptance tests on a real X server, run by scripts/on-xvfb.sh under Xvfb with a window
// manager, on a 1366x768 screen at 96, 120 and 144 DPI and on a 1024x600 screen at 96 DPI. They
// check what only a screen shows and the offscreen platform cannot: the window manager's frame,
// text in the colours it really gets, focus marks, the list windows. Every check looks at pixels
// grabbed from the screen, as a person would, and every test saves what it grabbed as PNG files
// (VORNA_XSERVER_SHOTS, else xserver-shots/ in the build folder).
#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFontInfo>
#include <QImage>
#include <QLabel>
#include <QMessageBox>
#include <QScreen>
#include <QTest>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <memory>

#include "gui/MainWindow.h"
#include "gui/MessageBoxes.h"
#include "gui/pages/AboutDialog.h"
#include "gui/pages/EscSetupPage.h"
#include "gui/widgets/PictureButton.h"
#include "gui/widgets/SkinButton.h"
#include "gui/widgets/SkinComboBox.h"
#include "support/GuiApp.h"
#include "support/ScreenLook.h"
#include "support/TestSupport.h"

namespace vorna {
namespace {

using gui::MainWindow;

using test::ContrastingPixels;
using test::Grab;
using test::kStrokesPerCharacter;
using test::MostFrequentColour;
using test::OnScreen;
using test::Part;
using test::Readable;
using test::Save;
using test::WithModalBox;

// Generous: Xvfb, the window manager and the link share two slow cores with other tests.
constexpr int kWaitMs = test::kScreenWaitMs;

class XServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::EnsureGuiApp();
        ASSERT_EQ(QGuiApplication::platformName(), "xcb")
            << "these tests look at a real X server: run them through scripts/on-xvfb.sh";
    }
    void TearDown() override {
        window.reset();
        if (esc) esc->Stop();
    }

    // The window as the program opens it, over the shipped data. With `messageBoxes` the
    // program's own message boxes come up; otherwise any message is a failure of the test.
    void Open(bool messageBoxes = false) {
        MainWindow::Options options;
        options.location.fixedPath = (dir / "bridge").string();
        options.dataDir = VORNA_BINARY_DIR "/bin";
        options.urlOpener = [](const QString& url) {
            ADD_FAILURE() << "opened " << url.toStdString();
            return true;
        };
        if (!messageBoxes) {
            options.presenter = [](QWidget*, const QString& text, bool) {
                ADD_FAILURE() << "message: " << text.toStdString();
            };
        }
        options.chooseSettingsFile = [this](QWidget*, gui::SettingsFileMenu::Choice,
                                            const QString&) {
            return QString::fromStdString((dir / "missing.cfg").string());
        };
        window = std::make_unique<MainWindow>(options);
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get(), kWaitMs));
    }

    // A simulated ESC of `model` on the link, chosen in the Device menu, identified and read.
    void OpenWithEsc(int model) {
        esc = std::make_unique<sim::SimulatedEsc>((dir / "bridge").string(), model);
        ASSERT_TRUE(esc->Start());
        ASSERT_NO_FATAL_FAILURE(Open());
        window->findChild<QAction*>("escAction")->trigger();
        ASSERT_TRUE(QTest::qWaitFor(
            [&] {
                return window->SetupModel().HasValidRecord() &&
                       window->findChild<gui::SkinButton*>("escButton")->isEnabled();
            },
            kWaitMs));
    }

    gui::EscSetupPage* ShowSetupPage() {
        QTest::mouseClick(window->findChild<gui::SkinButton*>("escButton"), Qt::LeftButton);
        EXPECT_TRUE(window->findChild<QWidget*>("setupPage")->isVisible());
        return window->findChild<gui::EscSetupPage*>("setupPage");
    }

    test::TempDir dir;
    std::unique_ptr<sim::SimulatedEsc> esc;
    std::unique_ptr<MainWindow> window;
};

TEST_F(XServerTest, AboutBoxTextIsReadable) {
    ASSERT_NO_FATAL_FAILURE(Open());
    WithModalBox([&] { window->findChild<QAction*>("aboutAction")->trigger(); },
                 [&](QWidget* box) {
                     auto* about = qobject_cast<gui::AboutDialog*>(box);
                     ASSERT_NE(about, nullptr);
                     Save(Grab(box->frameGeometry()), "about-box");
                     EXPECT_TRUE(Readable(about->findChild<QLabel*>("title"), "about-box-title"));
                     EXPECT_TRUE(Readable(about->findChild<QLabel*>("notice"), "about-box-notice"));
                 });
}

TEST_F(XServerTest, MessageBoxOverTheWindowIsReadable) {
    // A settings file that is not there: the window says so in its own message box.
    ASSERT_NO_FATAL_FAILURE(Open(true));
    WithModalBox([&] { window->findChild<QAction*>("importSettingsAction")->trigger(); },
                 [&](QWidget* box) {
                     ASSERT_NE(qobject_cast<QMessageBox*>(box), nullptr);
                     EXPECT_EQ(box->parentWidget(), window.get());
                     Save(Grab(box->frameGeometry()), "message-box");
                     // Wide enough for its whole title, with nothing to minimise or maximise.
                     EXPECT_GE(box->width(), gui::TitleRoom(box->windowTitle()));
                     EXPECT_FALSE(box->windowFlags() &
                                  (Qt::WindowMaximizeButtonHint | Qt::WindowMinimizeButtonHint));
                     auto* text = box->findChild<QLabel*>("qt_msgbox_label");
                     ASSERT_NE(text, nullptr);
                     EXPECT_TRUE(text->text().contains("missing.cfg"));
                     EXPECT_TRUE(Readable(text, "message-box-text"));
                 });
}

// Whatever the screen and the desktop's scale, the whole window and its frame are in view,
// nothing scrolls, and the text of the lists is no smaller on the screen than at 100 % on a
// screen with room for the skin, where the skin keeps its own size.
TEST_F(XServerTest, WindowFitsTheScreenWithoutScrollingAndKeepsItsTextReadable) {
    ASSERT_NO_FATAL_FAILURE(OpenWithEsc(16));
    // The window manager frames the window a moment after it appears. On a loaded machine Qt
    // now and then misses the news of the frame; shown again, the window learns it anew.
    const auto framed = [&] { return window->frameGeometry() != window->geometry(); };
    if (!QTest::qWaitFor(framed, kWaitMs / 3)) {
        window->hide();
        window->show();
    }
    ASSERT_TRUE(QTest::qWaitFor(framed, kWaitMs))
        << "the window manager put no frame around the window";
    gui::EscSetupPage* page = ShowSetupPage();
    const QScreen* screen = window->screen();
    // The scale follows the frame once it is known: the window shrinks to fit with it.
    // (Whether it does is what is checked below.)
    static_cast<void>(QTest::qWaitFor(
        [&] { return screen->availableGeometry().contains(window->frameGeometry()); }, kWaitMs));
    Save(Grab(screen->geometry()), "window-at-start");
    const QRect frame = window->frameGeometry();
    const QRect available = screen->availableGeometry();
    const qreal ratio = screen->devicePixelRatio();
    EXPECT_TRUE(available.contains(frame))
        << "the window with its frame, " << frame.width() << "x" << frame.height() << " at "
        << frame.x() << "," << frame.y() << ", does not fit the screen's " << available.width()
        << "x" << available.height() << " (device pixel ratio " << ratio << ")";

    test::ExpectWholeWithoutScrolling(
        window.get(),
        {page->findChild<gui::PictureButton*>("sendButton"), page->List(ParamId::DriveMode)});

    // At 100 % on a screen with room for it the skin has its own size.
    if (ratio == 1.0 && available.width() >= 1300 && available.height() >= 740) {
        EXPECT_EQ(window->Scale().Layout(), 1.0);
    }
    // Text in the lists, in screen pixels, at least as large as at 100 % with room.
    gui::SkinComboBox* list = page->List(ParamId::OperationMode);
    gui::SkinComboBox unscaled;
    unscaled.SetFontFace(list->FontFace());
    unscaled.SetFontSize(list->FontSize());
    const qreal shown = QFontInfo(list->SkinFont()).pixelSize() * ratio;
    const int atHundred = QFontInfo(unscaled.SkinFont()).pixelSize();
    EXPECT_GE(shown, atHundred) << "the lists' text is " << shown << " screen pixels high";
    // The captions drawn in the skin shrink with it, never below four fifths of their size.
    EXPECT_GE(window->Scale().Layout() * ratio, 0.8);
    // And the list's value stands out on the screen.
    const QImage face = Grab(OnScreen(list));
    Save(face, "list-face");
    EXPECT_GE(ContrastingPixels(face, MostFrequentColour(face)),
              kStrokesPerCharacter * list->currentText().size())
        << "\"" << list->currentText().toStdString() << "\" does not stand out";
}

TEST_F(XServerTest, EachPageShowsWhenItsButtonIsClicked) {
    ASSERT_NO_FATAL_FAILURE(OpenWithEsc(16));
    struct Shown {
        const char* page;
        const char* button;
        const char* name;
    };
    const Shown pages[] = {{"setupPage", "escButton", "page-setup"},
                           {"firmwarePage", "firmwareButton", "page-firmware"},
                           {"linksPage", "linksButton", "page-links"}};
    std::vector<QImage> seen;
    for (const Shown& shown : pages) {
        QTest::mouseClick(window->findChild<gui::SkinButton*>(shown.button), Qt::LeftButton);
        QWidget* page = window->findChild<QWidget*>(shown.page);
        for (const Shown& other : pages) {
            EXPECT_EQ(window->findChild<QWidget*>(other.page)->isVisible(), &other == &shown)
                << shown.name << ": " << other.page;
        }
        Save(Grab(window->frameGeometry()), shown.name);
        seen.push_back(Grab(OnScreen(page)));
    }
    // A page that never reached the screen leaves the one before it showing.
    for (std::size_t i = 0; i < seen.size(); ++i) {
        EXPECT_TRUE(seen[i] != seen[(i + 1) % seen.size()])
            << pages[i].name << " and " << pages[(i + 1) % seen.size()].name << " look the same";
    }
}

TEST_F(XServerTest, TabMovesAVisibleFocusMark) {
    ASSERT_NO_FATAL_FAILURE(OpenWithEsc(16));
    gui::EscSetupPage* page = ShowSetupPage();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get(), kWaitMs));
    page->List(ParamId::OperationMode)->setFocus(Qt::TabFocusReason);
    ASSERT_TRUE(QTest::qWaitFor([&] { return QApplication::focusWidget() != nullptr; }, kWaitMs));

    for (int press = 1; press <= 3; ++press) {
        QWidget* before = QApplication::focusWidget();
        const QImage was = Grab(OnScreen(window.get()));
        QTest::keyClick(before, Qt::Key_Tab);
        ASSERT_TRUE(QTest::qWaitFor([&] { return QApplication::focusWidget() != before; }, kWaitMs))
            << "Tab left the focus on " << before->objectName().toStdString();
        QWidget* now = QApplication::focusWidget();
        const QImage is = Grab(OnScreen(window.get()));
        Save(is, QString("tab-%1").arg(press));
        // The mark belongs on the control that took the focus, or just around it.
        const QRect around =
            QRect(now->mapTo(window.get(), QPoint(0, 0)), now->size()).adjusted(-3, -3, 3, 3);
        EXPECT_TRUE(Part(was, around) != Part(is, around))
            << "Tab " << press << " moved the focus to " << now->metaObject()->className() << " "
            << now->objectName().toStdString() << ", but nothing changed on the screen there";
    }
}

// An open list shows ten rows (all of a shorter one) and stays on the screen, at every scale.
TEST_F(XServerTest, OpenListsShowTenRowsOnTheScreen) {
    ASSERT_NO_FATAL_FAILURE(OpenWithEsc(13));
    gui::EscSetupPage* page = ShowSetupPage();
    const QRect screen = window->screen()->availableGeometry();
    for (const auto& [id, name] : {std::pair{ParamId::OperationMode, "list-operation-mode"},
                                   std::pair{ParamId::BoostTiming, "list-boost-timing"},
                                   std::pair{ParamId::DriveMode, "list-drive-mode"}}) {
        gui::SkinComboBox* list = page->List(id);
        ASSERT_GT(list->count(), 1) << name;
        QTest::mouseClick(list, Qt::LeftButton);
        QWidget* open = list->view()->window();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(open, kWaitMs)) << name;
        Save(Grab(OnScreen(list).united(open->frameGeometry())), name);
        const int rows = std::min(list->count(), 10);
        const int row = list->view()->visualRect(list->model()->index(0, 0)).height();
        EXPECT_GE(list->view()->viewport()->height(), rows * row)
            << name << " with " << list->count() << " entries shows "
            << list->view()->viewport()->height() / std::max(row, 1) << " rows";
        EXPECT_TRUE(screen.contains(open->frameGeometry())) << name << " leaves the screen";
        list->hidePopup();
        ASSERT_TRUE(QTest::qWaitFor([&] { return !open->isVisible(); }, kWaitMs));
    }
}

}  // namespace
}  // namespace vorna
