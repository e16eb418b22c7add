// Every box shows all of its text on a real screen: the long texts the window says at the moments
// that matter (taken from where the window makes them), a long path, and a text taller than the
// screen. Run by scripts/on-xvfb.sh with the other X server tests, at each of their screens.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAction>
#include <QGuiApplication>
#include <QLabel>
#include <QMessageBox>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "firmware/FirmwareImages.h"
#include "gui/MainWindow.h"
#include "gui/MessageBoxes.h"
#include "gui/OutcomeTexts.h"
#include "gui/pages/EscSetupPage.h"
#include "gui/pages/FirmwarePage.h"
#include "gui/widgets/SkinComboBox.h"
#include "protocol/Messages.h"
#include "sim/SimulatedEsc.h"
#include "support/GuiApp.h"
#include "support/ScreenLook.h"
#include "support/TestSupport.h"

namespace vorna {
namespace {

using gui::MainWindow;

constexpr int kWaitMs = test::kScreenWaitMs;

void Write(const std::filesystem::path& file, const std::string& text) {
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << text;
}

// The text of the box is whole on the screen, or, taller than the screen, whole in a view that
// scrolls it; the box and its buttons are inside the screen's room.
void ExpectWhole(QWidget* box, const QString& name) {
    const QRect room = box->screen()->availableGeometry();
    test::Save(test::Grab(box->frameGeometry()), "box-" + name);
    const std::string what = name.toStdString();
    EXPECT_TRUE(room.contains(box->frameGeometry()))
        << what << ": the box, " << box->frameGeometry().width() << "x"
        << box->frameGeometry().height() << ", leaves the screen's room";

    auto* label = box->findChild<QLabel*>("qt_msgbox_label");
    ASSERT_NE(label, nullptr) << what;
    // What the label needs for its text against what it is given: an unwrapped text needs its
    // widest line, a wrapped one its longest unbreakable run and the height its lines take.
    const int neededWidth =
        label->wordWrap() ? label->minimumSizeHint().width() : label->sizeHint().width();
    const int neededHeight =
        label->wordWrap() ? label->heightForWidth(label->width()) : label->sizeHint().height();
    EXPECT_LE(neededWidth, label->width()) << what << ": lines are cut at the right";
    EXPECT_LE(neededHeight, label->height()) << what << ": lines are cut at the bottom";
    // Whatever of the label is out of view, a scroll bar in the box reaches.
    const QRect seen = label->visibleRegion().boundingRect();
    EXPECT_EQ(seen.width(), label->width()) << what << ": the text is hidden at its sides";
    if (seen.height() < label->height()) {
        QScrollArea* view = nullptr;
        for (QWidget* up = label->parentWidget(); up != box && view == nullptr;
             up = up->parentWidget()) {
            view = qobject_cast<QScrollArea*>(up);
        }
        ASSERT_NE(view, nullptr) << what << ": the text is cut short and nothing scrolls it";
        const QScrollBar* bar = view->verticalScrollBar();
        EXPECT_TRUE(bar->isVisible()) << what;
        EXPECT_GE(bar->maximum(), label->height() - seen.height()) << what;
        EXPECT_TRUE(room.contains(test::OnScreen(bar))) << what << ": its scroll bar is off screen";
    }
    // A box wraps only once it has grown as wide as the screen lets it.
    const QFontMetrics metrics(label->font());
    int widest = 0;
    for (const QString& line : label->text().split('\n')) {
        widest = std::max(widest, metrics.horizontalAdvance(line));
    }
    if (widest > label->width()) {
        EXPECT_GE(box->frameGeometry().width(), room.width() * 3 / 4)
            << what << ": the text wraps in a box of " << box->frameGeometry().width()
            << " where the screen has " << room.width();
    }

    int buttons = 0;
    for (QAbstractButton* button : box->findChildren<QAbstractButton*>()) {
        if (!button->isVisible()) continue;
        ++buttons;
        EXPECT_TRUE(room.contains(test::OnScreen(button)))
            << what << ": " << button->text().toStdString() << " is off screen";
        EXPECT_EQ(button->visibleRegion().boundingRect(), button->rect())
            << what << ": " << button->text().toStdString() << " is partly hidden";
    }
    EXPECT_GT(buttons, 0) << what;
}

class WholeBoxTextTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::EnsureGuiApp();
        ASSERT_EQ(QGuiApplication::platformName(), "xcb")
            << "these tests look at a real X server: run them through scripts/on-xvfb.sh";
        ::setenv("XDG_DATA_HOME", (dir / "user").c_str(), 1);
    }
    void TearDown() override {
        window.reset();
        ::unsetenv("XDG_DATA_HOME");
    }

    // The window, whose questions are kept (and answered) rather than shown: each is shown
    // afterwards in the box the window puts it in.
    void Open() {
        MainWindow::Options options;
        options.location.fixedPath = (dir / "bridge").string();
        options.dataDir = dir.Path();
        options.presenter = [this](QWidget*, const QString& text, bool) {
            messages.push_back(text);
        };
        // Yes to the first question before an update, so that the one about the backup follows.
        options.confirm = [this](QWidget*, const QString& text) {
            questions.push_back(text);
            return text.startsWith("Update the ") && !std::exchange(saidYes, true);
        };
        window = std::make_unique<MainWindow>(options);
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get(), kWaitMs));
    }

    // Chooses the image on the firmware page and clicks its start picture.
    void Start(const QString& entry) {
        window->SelectFirmwarePage();
        auto* page = window->findChild<gui::FirmwarePage*>("firmwarePage");
        page->List(ImageKind::Esc)->setCurrentIndex(page->List(ImageKind::Esc)->findText(entry));
        ASSERT_TRUE(
            QTest::qWaitFor([&] { return page->StartTakesClicks(ImageKind::Esc); }, kWaitMs));
        QTest::mouseClick(page, Qt::LeftButton, Qt::NoModifier,
                          page->StartRect(ImageKind::Esc).center());
    }

    void ExpectQuestionWhole(const QString& text, const QString& name) {
        test::WithModalBox(
            [&] {
                gui::ExecPlainBox(window.get(), QMessageBox::Question, text,
                                  QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
            },
            [&](QWidget* box) { ExpectWhole(box, name); });
    }
    void ExpectMessageWhole(const QString& text, const QString& name) {
        test::WithModalBox(
            [&] { gui::ShowPlainMessage(window.get(), QMessageBox::Critical, text); },
            [&](QWidget* box) { ExpectWhole(box, name); });
    }

    test::TempDir dir;
    std::unique_ptr<MainWindow> window;
    std::vector<QString> questions;
    std::vector<QString> messages;
    bool saidYes = false;
};

TEST_F(WholeBoxTextTest, TheLongQuestionsOfAFirmwareUpdateShowWhole) {
    const std::string image = MakeEscImage({0x15, 1, 2, 3, 4, 5, 6, 7}, 4).Value();
    Write(dir / "Firmware" / "Blinky V3.1.mmc", image);  // made for another family
    Write(dir / "Firmware" / "Expert V1.90.mmc", MakeEscImage({9, 1, 2, 3}).Value());
    // The backup before an update cannot be written: the update asks whether to go on.
    Write(dir / "user" / "vorna-link" / "backups", "not a folder");
    sim::SimulatedEsc esc((dir / "bridge").string(), 16);
    ASSERT_TRUE(esc.Start());
    ASSERT_NO_FATAL_FAILURE(Open());
    window->findChild<QAction*>("escAction")->trigger();
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->SetupModel().HasValidRecord(); }, kWaitMs));

    ASSERT_NO_FATAL_FAILURE(Start(" Blinky V3.1"));
    ASSERT_EQ(questions.size(), 1u);
    ASSERT_NO_FATAL_FAILURE(Start(" Expert V1.90"));
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return questions.size() == 3 && !window->UpdateBusy(); }, kWaitMs));
    // The Device menu takes input again on the window's next look at the link, not at once.
    QAction* fix = window->findChild<QAction*>("fixModeAction");
    ASSERT_TRUE(QTest::qWaitFor([&] { return fix->isEnabled(); }, kWaitMs));
    fix->trigger();
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->Mode() == DeviceMode::Fix; }, kWaitMs));
    ASSERT_NO_FATAL_FAILURE(Start(" Expert V1.90"));
    ASSERT_EQ(questions.size(), 4u);
    esc.Stop();

    ASSERT_TRUE(questions[0].startsWith("Warning: This image is made for"));
    ExpectQuestionWhole(questions[0], "other-family");
    ExpectQuestionWhole(questions[1], "flash");
    ASSERT_TRUE(questions[2].endsWith("Update the firmware without a backup?"));
    ExpectQuestionWhole(questions[2], "no-backup");
    ASSERT_TRUE(questions[3].contains("Fix Mode"));
    ExpectQuestionWhole(questions[3], "fix-mode");
    for (std::size_t i = 0; i < messages.size(); ++i) {
        ExpectMessageWhole(messages[i], QStringLiteral("firmware-message-%1").arg(i + 1));
    }
}

TEST_F(WholeBoxTextTest, TheWindowsOwnLongTextsShowWhole) {
    ASSERT_NO_FATAL_FAILURE(Open());
    ExpectQuestionWhole(QString::fromLatin1(gui::EscSetupPage::kDiscardQuestion), "unsent");
    WriteOutcome lost;
    lost.result = WriteOutcome::Result::LinkLost;
    lost.next = NextStep::ReadBeforeDriving;
    lost.message = msg::LinkLostDuringWrite(5, 17);
    ExpectMessageWhole(gui::OutcomeText(lost), "link-lost");
    ExpectMessageWhole(QString::fromLatin1(MainWindow::kCloseWaitsText), "close-waits");
    // A backup's path stays whole on its own line.
    const QString path = QString::fromStdString(
        (dir / "user" / "vorna-link" / "backups" / "ESC ZEN 1-10 Pro 2026-12-10 13-45-07.cfg")
            .string());
    test::WithModalBox(
        [&] {
            gui::ShowPlainMessage(
                window.get(), QMessageBox::Information,
                QString::fromStdString(msg::EscBackupSavedIn(path.toStdString())));
        },
        [&](QWidget* box) {
            ExpectWhole(box, "backup-path");
            const QLabel* label = box->findChild<QLabel*>("qt_msgbox_label");
            EXPECT_GE(label->width(), QFontMetrics(label->font()).horizontalAdvance(path + '.'));
        });

    // A path wider than the screen breaks, rather than running out of the box.
    QString deep = QStringLiteral("/home/racer/Documents/Racing");
    while (deep.size() < 260) deep += QStringLiteral("/season-2026-setups");
    ExpectMessageWhole(QStringLiteral("Cannot write the settings file ") + deep +
                           QStringLiteral("/Zen.cfg.\nCheck that the folder exists."),
                       "very-long-path");
    ExpectMessageWhole(QStringLiteral("Cannot write the settings file ") +
                           QString(deep).replace('/', '\\') +
                           QStringLiteral("\\Zen.cfg.\nCheck that the folder exists."),
                       "very-long-windows-path");

    // The wait box does not wait for the user.
    QMessageBox* wait =
        gui::OpenPlainBox(window.get(), QMessageBox::Information, MainWindow::kCloseWaitsText);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(wait, kWaitMs));
    ExpectWhole(wait, "please-wait");
    // A new text in the open box is laid out anew.
    wait->setText(MainWindow::kCloseWaitsText + QStringLiteral("\n\n") +
                  gui::EscSetupPage::kDiscardQuestion);
    QCoreApplication::processEvents();  // the box's own news of its new text
    ExpectWhole(wait, "please-wait-again");
    wait->close();
}

// The question such a text ends with stays in view, over the buttons.
TEST_F(WholeBoxTextTest, ATextTallerThanTheScreenScrollsWithItsQuestionAndButtonsInView) {
    ASSERT_NO_FATAL_FAILURE(Open());
    QStringList lines;
    for (int i = 1; i <= 120; ++i) lines << QStringLiteral("Line %1 of a very long report.").arg(i);
    const QString question = QString::fromLatin1(gui::EscSetupPage::kDiscardQuestion);
    test::WithModalBox(
        [&] {
            gui::ExecPlainBox(window.get(), QMessageBox::Question,
                              lines.join('\n') + QStringLiteral("\n\n") + question,
                              QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
        },
        [&](QWidget* box) {
            ExpectWhole(box, "taller-than-the-screen");
            const QRect room = box->screen()->availableGeometry();
            const QLabel* shown = nullptr;
            for (const QLabel* label : box->findChildren<QLabel*>()) {
                if (label->isVisible() && label->text() == question) shown = label;
            }
            ASSERT_NE(shown, nullptr) << "the question is not shown apart from the text";
            EXPECT_EQ(shown->visibleRegion().boundingRect(), shown->rect());
            EXPECT_TRUE(room.contains(test::OnScreen(shown)));
            EXPECT_LE(shown->heightForWidth(shown->width()), shown->height());
        });
}

}  // namespace
}  // namespace vorna
