// The window of the Windows build under Wine on an X server (scripts/windows.sh runs it through
// scripts/on-xvfb.sh): it finds the bridge as the program does, from the prefix's registry, and
// reads the simulated ESC that the harness put behind that COM port; and on the screen it checks
// what the X server tests check on Linux: the window fits the screen with its frame, and the
// text of the about box and of a message box can be read. Every look is saved as a PNG file.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QProcess>
#include <QScreen>
#include <QTest>

#include <memory>

#include "base/Utf8Path.h"
#include "gui/MainWindow.h"
#include "gui/pages/AboutDialog.h"
#include "gui/pages/EscSetupPage.h"
#include "gui/skin/Skin.h"
#include "gui/widgets/PictureButton.h"
#include "gui/widgets/SkinButton.h"
#include "gui/widgets/SkinComboBox.h"
#include "support/GuiApp.h"
#include "support/ScreenLook.h"
#include "support/SkinPictures.h"

namespace vorna {
namespace {

using gui::MainWindow;
using test::Grab;
using test::kScreenWaitMs;
using test::Readable;
using test::Save;
using test::WithModalBox;

class WineWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::EnsureGuiApp();
        ASSERT_EQ(QGuiApplication::platformName(), "windows")
            << "this is the window of the Windows build: run it under Wine";
    }

    // The window as the program opens it, over the shipped data beside the programs. With
    // `messageBoxes` its own message boxes come up; otherwise any message fails the test.
    void Open(bool messageBoxes = false) {
        MainWindow::Options options;
        // build-win/tests/windows/ -> build-win/bin/
        options.dataDir =
            PathFromUtf8((QCoreApplication::applicationDirPath() + "/../../bin").toStdString());
        options.urlOpener = [](const QString& url) {
            ADD_FAILURE() << "opened " << url.toStdString();
            return true;
        };
        if (!messageBoxes) {
            options.presenter = [this](QWidget*, const QString& text, bool error) {
                if (!error && !exportTo.isEmpty()) {
                    said = text;
                    return;
                }
                ADD_FAILURE() << "message: " << text.toStdString();
            };
        }
        options.chooseSettingsFile = [this](QWidget*, gui::SettingsFileMenu::Choice choice,
                                            const QString&) {
            return choice == gui::SettingsFileMenu::Choice::Export ? exportTo
                                                                   : QString("Z:/nowhere/x.cfg");
        };
        window = std::make_unique<MainWindow>(options);
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get(), kScreenWaitMs));
    }

    std::unique_ptr<MainWindow> window;
    QString exportTo;  // what the file dialog answers to an export, with '/' as it does
    QString said;      // the export's message
};

TEST_F(WineWindowTest, ReadsTheSimulatedEscFoundThroughTheRegistry) {
    ASSERT_NO_FATAL_FAILURE(Open());
    window->findChild<QAction*>("escAction")->trigger();
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return window->SetupModel().HasValidRecord(); }, kScreenWaitMs))
        << "no ESC was read: the harness puts a simulated ESC behind COM7";
    EXPECT_EQ(window->SetupModel().Snapshot().modelType, 16);
    QTest::mouseClick(window->findChild<gui::SkinButton*>("escButton"), Qt::LeftButton);
    auto* page = window->findChild<gui::EscSetupPage*>("setupPage");
    // The simulated ESC's own value, as the page shows it once the news has reached it.
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return page->List(ParamId::DragBrake)->currentText() == "5%"; }, kScreenWaitMs))
        << page->List(ParamId::DragBrake)->currentText().toStdString();
    // The ESC lamp comes on and stays on while the poll goes on asking (several ticks).
    const auto escLamp = [&] {
        return test::ShownBitmap(window->findChild<QLabel*>("escLamp"), window->Scale(),
                                 {gui::kBmpLampOn, gui::kBmpLampOff}) == gui::kBmpLampOn;
    };
    ASSERT_TRUE(QTest::qWaitFor(escLamp, kScreenWaitMs)) << "the ESC lamp did not come on";
    for (int look = 0; look < 25; ++look) {
        QTest::qWait(100);
        ASSERT_TRUE(escLamp()) << "the ESC lamp went off " << look * 100 << " ms after it came on";
    }
    // An export names its file with Windows' separators, and ends its lines as Windows does.
    exportTo = QDir::tempPath() + "/vorna-link export.cfg";
    window->findChild<QAction*>("exportSettingsAction")->trigger();
    EXPECT_EQ(said, "The settings were saved in:\n" + QDir::toNativeSeparators(exportTo));
    EXPECT_FALSE(said.contains('/')) << said.toStdString();
    QFile file(exportTo);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    EXPECT_EQ(bytes.count('\n'), bytes.count("\r\n"));
    EXPECT_TRUE(bytes.contains("Drag Brake=5%\r\n"));
    file.remove();
    const struct {
        const char* button;
        const char* name;
    } pages[] = {{"escButton", "wine-page-setup"},
                 {"firmwareButton", "wine-page-firmware"},
                 {"linksButton", "wine-page-links"}};
    for (const auto& shown : pages) {
        QTest::mouseClick(window->findChild<gui::SkinButton*>(shown.button), Qt::LeftButton);
        Save(Grab(window->frameGeometry()), shown.name);
    }
}

// As on Linux: the whole window and its frame are in view, nothing scrolls but the text panels,
// and the lists' text stands out.
TEST_F(WineWindowTest, FitsTheScreenWithoutScrolling) {
    ASSERT_NO_FATAL_FAILURE(Open());
    const auto framed = [&] { return window->frameGeometry() != window->geometry(); };
    ASSERT_TRUE(QTest::qWaitFor(framed, kScreenWaitMs)) << "the window got no frame";
    window->findChild<QAction*>("escAction")->trigger();
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return window->SetupModel().HasValidRecord(); }, kScreenWaitMs));
    QTest::mouseClick(window->findChild<gui::SkinButton*>("escButton"), Qt::LeftButton);
    auto* page = window->findChild<gui::EscSetupPage*>("setupPage");
    // The scale follows the frame once it is known.
    QTest::qWait(500);
    const QScreen* screen = window->screen();
    Save(Grab(screen->geometry()), "wine-window-at-start");
    const QRect frame = window->frameGeometry();
    const QRect available = screen->availableGeometry();
    EXPECT_TRUE(available.contains(frame))
        << "the window with its frame, " << frame.width() << "x" << frame.height() << " at "
        << frame.x() << "," << frame.y() << ", does not fit the screen's " << available.width()
        << "x" << available.height();
    test::ExpectWholeWithoutScrolling(
        window.get(),
        {page->findChild<gui::PictureButton*>("sendButton"), page->List(ParamId::DriveMode)});
    gui::SkinComboBox* list = page->List(ParamId::OperationMode);
    const QImage face = Grab(test::OnScreen(list));
    Save(face, "wine-list-face");
    EXPECT_GE(test::ContrastingPixels(face, test::MostFrequentColour(face)),
              test::kStrokesPerCharacter * list->currentText().size())
        << "\"" << list->currentText().toStdString() << "\" does not stand out";
}

// The window's --help, as a program that starts it reads it (from the desktop it is a message
// box): a COM port to name, not a serial device.
TEST_F(WineWindowTest, HelpNamesAComPort) {
    QProcess program;
    program.start(QCoreApplication::applicationDirPath() + "/../../bin/vorna-link.exe",
                  {QStringLiteral("--help")});
    ASSERT_TRUE(program.waitForFinished(kScreenWaitMs));
    const QString out = QString::fromUtf8(program.readAllStandardOutput());
    EXPECT_TRUE(out.contains("--port <COMn>")) << out.toStdString();
    EXPECT_TRUE(out.contains("Use the COM port COMn instead of looking for the bridge."))
        << out.toStdString();
    EXPECT_FALSE(out.contains("serial device"));
}

TEST_F(WineWindowTest, AboutBoxAndMessageBoxTextIsReadable) {
    ASSERT_NO_FATAL_FAILURE(Open(true));
    WithModalBox(
        [&] { window->findChild<QAction*>("aboutAction")->trigger(); },
        [&](QWidget* box) {
            auto* about = qobject_cast<gui::AboutDialog*>(box);
            ASSERT_NE(about, nullptr);
            Save(Grab(box->frameGeometry()), "wine-about-box");
            EXPECT_TRUE(Readable(about->findChild<QLabel*>("title"), "wine-about-box-title"));
            EXPECT_TRUE(Readable(about->findChild<QLabel*>("notice"), "wine-about-box-notice"));
        });
    // A settings file that is not there: the window says so in its own message box.
    WithModalBox([&] { window->findChild<QAction*>("importSettingsAction")->trigger(); },
                 [&](QWidget* box) {
                     ASSERT_NE(qobject_cast<QMessageBox*>(box), nullptr);
                     Save(Grab(box->frameGeometry()), "wine-message-box");
                     auto* text = box->findChild<QLabel*>("qt_msgbox_label");
                     ASSERT_NE(text, nullptr);
                     EXPECT_TRUE(text->text().contains("x.cfg"));
                     EXPECT_TRUE(Readable(text, "wine-message-box-text"));
                 });
}

}  // namespace
}  // namespace vorna
