// The main window against simulated devices, on Qt's offscreen platform.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>

#include <fstream>
#include <functional>
#include <future>
#include <optional>
#include <set>

#include "gui/Application.h"
#include "gui/DeviceNote.h"
#include "gui/MainWindow.h"
#include "gui/ScreenshotMode.h"
#include "gui/pages/EscSetupPage.h"
#include "gui/pages/FirmwarePage.h"
#include "gui/skin/Skin.h"
#include "gui/widgets/PictureButton.h"
#include "gui/widgets/SkinButton.h"
#include "gui/widgets/SkinComboBox.h"
#include "gui/widgets/WidgetLook.h"
#include "support/GuiApp.h"
#include "support/SkinPictures.h"
#include "support/TestSupport.h"

namespace vorna {
namespace {

using gui::MainWindow;

void EnsureApp() {
    vorna::test::EnsureGuiApp();
}

struct Shown {
    QString text;
    bool error;
};

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override { EnsureApp(); }

    std::unique_ptr<MainWindow> Open(const std::string& port,
                                     const std::filesystem::path& ownSettings = {}) {
        MainWindow::Options options;
        options.ownSettings = ownSettings;
        options.location.fixedPath = port;
        options.dataDir = dir.Path();
        options.urlOpener = [this](const QString& url) {
            opened.push_back(url);
            return true;
        };
        options.presenter = [this](QWidget*, const QString& text, bool error) {
            messages.push_back({text, error});
        };
        options.askRetry = [this](QWidget*, const QString& text) {
            questions.push_back(text);
            return true;
        };
        options.confirm = [this](QWidget*, const QString& text) {
            confirmations.push_back(text);
            if (whileAsked) whileAsked();
            return confirmAnswer;
        };
        auto window = std::make_unique<MainWindow>(options);
        window->show();
        return window;
    }
    bool Lamp(MainWindow& w, const char* name) {
        return test::ShownBitmap(w.findChild<QLabel*>(name), w.Scale(),
                                 {gui::kBmpLampOn, gui::kBmpLampOff}) == gui::kBmpLampOn;
    }
    int Hint(MainWindow& w) {
        return test::ShownBitmap(w.findChild<QLabel*>("hint"), w.Scale(),
                                 {gui::kBmpHintOrange, gui::kBmpHintWhite, gui::kBmpHintEsc,
                                  gui::kBmpHintCard, gui::kBmpHintFix});
    }

    test::TempDir dir;
    std::string Link() const { return (dir / "bridge").string(); }
    std::vector<QString> opened;
    std::vector<Shown> messages;
    std::vector<QString> questions;
    std::vector<QString> confirmations;  // asked before unsent changes would be lost
    bool confirmAnswer = true;
    std::function<void()> whileAsked;  // runs while a question is open, as a user taking time
};

TEST_F(MainWindowTest, StartsOnTheLinksPageWithOnlyItsButton) {
    auto w = Open(Link());
    EXPECT_EQ(w->windowTitle(), "Kelvaran Racing VORNA USB Link V1.9");
    // The offscreen screen (800x600) has less room than the skin: the whole skin is drawn
    // smaller to fit it, at one size the window keeps, and nothing scrolls.
    const QRect room = w->screen()->availableGeometry();
    EXPECT_LT(w->Scale().Layout(), 1.0);
    EXPECT_EQ(w->minimumSize(), w->maximumSize());
    EXPECT_LE(w->width(), room.width());
    EXPECT_LE(w->height(), room.height());
    EXPECT_EQ(WindowScreenshot(*w).deviceIndependentSize().toSize(), w->size());
    EXPECT_FALSE(w->windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(w->findChild<QWidget*>("linksPage")->isVisible());
    EXPECT_FALSE(w->findChild<QWidget*>("setupPage")->isVisible());
    EXPECT_EQ(w->findChild<gui::SkinButton*>("linksButton")->CurrentFace(),
              gui::SkinButton::Face::Down);
    EXPECT_TRUE(w->findChild<gui::SkinButton*>("linksButton")->isEnabled());
    EXPECT_FALSE(w->findChild<gui::SkinButton*>("escButton")->isEnabled());
    EXPECT_FALSE(w->findChild<gui::SkinButton*>("firmwareButton")->isEnabled());
    EXPECT_FALSE(w->findChild<gui::SkinButton*>("writeProgress")->isVisible());
    EXPECT_EQ(w->findChild<gui::SkinButton*>("writeProgress")->text(), "0%");
    for (const char* name : {"escAction", "programCardAction", "fixModeAction"}) {
        EXPECT_FALSE(w->findChild<QAction*>(name)->isChecked()) << name;
        EXPECT_TRUE(w->findChild<QAction*>(name)->isEnabled()) << name;
    }
    // Without a config.ini the text size is 90.
    EXPECT_EQ(w->TextSize(), 90);
}

// Sheets the user saved in their own folder are offered after the shipped ones of the class.
TEST_F(MainWindowTest, OwnSetupSheetsAreListedAfterTheShippedOnes) {
    const std::string category(kCategories[0]);
    const std::filesystem::path shipped = dir / "Profile" / category;
    const std::filesystem::path own = dir / "user" / "vorna-link" / "Profile" / category;
    std::filesystem::create_directories(shipped);
    std::filesystem::create_directories(own);
    test::WriteText(shipped / "Club.ini", "[option]\n");
    test::WriteText(own / "Mine.ini", "[option]\n");
    ::setenv("XDG_DATA_HOME", (dir / "user").c_str(), 1);
    auto w = Open(Link());
    ::unsetenv("XDG_DATA_HOME");
    auto* page = w->findChild<gui::EscSetupPage*>("setupPage");
    gui::SkinComboBox* classes = page->List(ParamId::Category);
    classes->setCurrentIndex(0);
    emit classes->activated(0);
    gui::SkinComboBox* sheets = page->List(ParamId::SetupSheet);
    ASSERT_EQ(sheets->count(), 2);
    EXPECT_EQ(sheets->itemText(0), "Club");
    EXPECT_EQ(sheets->itemText(1), "Mine");
}

// The window holds its port while it talks to the ESC; the check must not count that against
// it. A port that is not there is a problem, shown with the error icon.
TEST_F(MainWindowTest, CheckConnectionShowsTheVerdictForThePortInUse) {
    sim::SimulatedEsc esc(Link(), 16);
    ASSERT_TRUE(esc.Start());
    auto w = Open(Link());
    w->findChild<QAction*>("escAction")->trigger();
    ASSERT_TRUE(QTest::qWaitFor([&] { return w->SetupModel().HasValidRecord(); }, 10000));
    w->findChild<QAction*>("checkConnectionAction")->trigger();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !messages.empty(); }, 10000));
    // The verdict comes first; the findings follow, each led by its own word.
    EXPECT_TRUE(messages.back().text.startsWith(
        QString::fromStdString("Ready: " + Link() + " can be opened.\n")))
        << messages.back().text.toStdString();
    EXPECT_TRUE(
        messages.back().text.contains(QString::fromStdString("OK: " + Link() + " is there.")))
        << messages.back().text.toStdString();
    EXPECT_FALSE(messages.back().error);
    EXPECT_TRUE(w->findChild<QAction*>("checkConnectionAction")->isEnabled());

    messages.clear();
    auto other = Open((dir / "missing").string());
    other->findChild<QAction*>("checkConnectionAction")->trigger();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !messages.empty(); }, 10000));
    const QString missing = QString::fromStdString((dir / "missing").string());
    EXPECT_TRUE(messages.back().text.startsWith("Not ready: " + missing + " does not exist."))
        << messages.back().text.toStdString();
    EXPECT_TRUE(messages.back().text.contains("Problem: " + missing + " does not exist."))
        << messages.back().text.toStdString();
    EXPECT_TRUE(messages.back().error);
}

TEST_F(MainWindowTest, HintBlinksWithoutADeviceModeAndNamesTheChosenOne) {
    auto w = Open(Link());
    std::set<int> seen;
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            seen.insert(Hint(*w));
            return seen.size() == 2;
        },
        5000));
    EXPECT_EQ(seen, (std::set<int>{gui::kBmpHintOrange, gui::kBmpHintWhite}));
    // After a few seconds it stops, asking in orange.
    ASSERT_TRUE(QTest::qWaitFor([&] { return !w->HintBlinking(); }, 10000));
    EXPECT_EQ(Hint(*w), gui::kBmpHintOrange);

    // A chosen mode is shown steadily, whatever the blink phase was.
    const std::pair<const char*, int> modes[] = {{"escAction", gui::kBmpHintEsc},
                                                 {"programCardAction", gui::kBmpHintCard},
                                                 {"fixModeAction", gui::kBmpHintFix}};
    for (const auto& [action, hint] : modes) {
        w->findChild<QAction*>(action)->trigger();
        ASSERT_TRUE(QTest::qWaitFor([&, hint = hint] { return Hint(*w) == hint; }, 5000));
        EXPECT_FALSE(w->HintBlinking());  // nothing changes the picture while a mode is chosen
    }
    // Choosing Fix Mode again leaves no mode: the prompt is back.
    w->findChild<QAction*>("fixModeAction")->trigger();
    ASSERT_TRUE(QTest::qWaitFor([&] { return w->Mode() == DeviceMode::None; }, 5000));
    seen.clear();
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            seen.insert(Hint(*w));
            return seen.size() == 2;
        },
        5000));
    EXPECT_EQ(seen, (std::set<int>{gui::kBmpHintOrange, gui::kBmpHintWhite}));
}

TEST_F(MainWindowTest, DeviceMenuChecksEnablesAndPages) {
    auto w = Open(Link());
    auto wait = [&](DeviceMode mode) {
        return QTest::qWaitFor([&] { return w->Mode() == mode; }, 5000);
    };
    w->findChild<QAction*>("escAction")->trigger();
    ASSERT_TRUE(wait(DeviceMode::Esc));
    EXPECT_TRUE(w->findChild<QAction*>("escAction")->isChecked());
    EXPECT_TRUE(w->findChild<gui::SkinButton*>("escButton")->isEnabled());
    EXPECT_TRUE(w->findChild<gui::SkinButton*>("firmwareButton")->isEnabled());

    // Esc twice: no mode, unchecked, buttons stay enabled.
    w->findChild<QAction*>("escAction")->trigger();
    ASSERT_TRUE(wait(DeviceMode::None));
    EXPECT_FALSE(w->findChild<QAction*>("escAction")->isChecked());
    EXPECT_TRUE(w->findChild<gui::SkinButton*>("escButton")->isEnabled());

    // Program Card while Esc: the check moves, the ESC page button goes, links page shown.
    w->findChild<QAction*>("escAction")->trigger();
    ASSERT_TRUE(wait(DeviceMode::Esc));
    QTest::mouseClick(w->findChild<gui::SkinButton*>("escButton"), Qt::LeftButton);
    EXPECT_TRUE(w->findChild<QWidget*>("setupPage")->isVisible());
    EXPECT_TRUE(w->findChild<gui::SkinButton*>("writeProgress")->isVisible());
    w->findChild<QAction*>("programCardAction")->trigger();
    ASSERT_TRUE(wait(DeviceMode::Card));
    EXPECT_TRUE(w->findChild<QAction*>("programCardAction")->isChecked());
    EXPECT_FALSE(w->findChild<QAction*>("escAction")->isChecked());
    EXPECT_FALSE(w->findChild<gui::SkinButton*>("escButton")->isEnabled());

    // Fix Mode while the ESC page is shown moves to the firmware page, whose button is marked,
    // rather than showing a page whose button is dimmed.
    w->findChild<QAction*>("escAction")->trigger();
    ASSERT_TRUE(wait(DeviceMode::Esc));
    QTest::mouseClick(w->findChild<gui::SkinButton*>("escButton"), Qt::LeftButton);
    w->findChild<QAction*>("fixModeAction")->trigger();
    ASSERT_TRUE(wait(DeviceMode::Fix));
    EXPECT_TRUE(w->findChild<QWidget*>("firmwarePage")->isVisible());
    EXPECT_EQ(w->findChild<gui::SkinButton*>("firmwareButton")->CurrentFace(),
              gui::SkinButton::Face::Down);
    EXPECT_FALSE(w->findChild<gui::SkinButton*>("escButton")->isEnabled());
    EXPECT_TRUE(w->findChild<QAction*>("fixModeAction")->isChecked());
}

TEST_F(MainWindowTest, LampsFollowAnEscPluggedSilencedAndUnplugged) {
    sim::SimulatedEsc esc(Link(), 16);
    ASSERT_TRUE(esc.Start());
    auto w = Open(Link());
    ASSERT_TRUE(QTest::qWaitFor([&] { return Lamp(*w, "usbLamp"); }, 10000));
    EXPECT_FALSE(Lamp(*w, "escLamp"));
    w->findChild<QAction*>("escAction")->trigger();
    ASSERT_TRUE(QTest::qWaitFor([&] { return Lamp(*w, "escLamp"); }, 10000));
    EXPECT_TRUE(w->SetupModel().HasValidRecord());
    EXPECT_FALSE(Lamp(*w, "cardLamp"));

    esc.SetFault(sim::Fault::Silent);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !Lamp(*w, "escLamp"); }, 10000));
    EXPECT_TRUE(Lamp(*w, "usbLamp"));
    esc.SetFault(sim::Fault::None);
    ASSERT_TRUE(QTest::qWaitFor([&] { return Lamp(*w, "escLamp"); }, 10000));

    esc.Unplug();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !Lamp(*w, "usbLamp"); }, 10000));
    EXPECT_FALSE(Lamp(*w, "escLamp"));
    ASSERT_TRUE(esc.Replug());
    EXPECT_TRUE(QTest::qWaitFor([&] { return Lamp(*w, "escLamp"); }, 10000));
}

// With Device > Esc chosen, the note under the lamps says in words what is missing, and the
// values of an ESC plugged in are shown on its page, unless the firmware page is open.
TEST_F(MainWindowTest, PluggingInShowsTheValuesAndTheNoteSaysWhatIsMissing) {
    sim::SimulatedEsc esc(Link(), 16);
    auto w = Open(Link());
    const QLabel* note = w->DeviceNote();
    auto noteSays = [&](const char* words) {
        return QTest::qWaitFor(
            [&] { return note->isVisibleTo(w.get()) && note->text().startsWith(words); }, 10000);
    };
    auto read = [&] {
        return QTest::qWaitFor([&] { return w->SetupModel().HasValidRecord(); }, 10000);
    };
    w->findChild<QAction*>("escAction")->trigger();
    EXPECT_TRUE(noteSays("No USB link found.")) << note->text().toStdString();

    ASSERT_TRUE(esc.Start());
    ASSERT_TRUE(read());
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return w->findChild<QWidget*>("setupPage")->isVisible(); }, 5000));
    EXPECT_FALSE(note->isVisibleTo(w.get()));

    // On the firmware page the window stays there, and a lost link is a note, not a box.
    w->SelectFirmwarePage();
    esc.Unplug();
    EXPECT_TRUE(noteSays("The USB link was unplugged.")) << note->text().toStdString();
    ASSERT_TRUE(esc.Replug());
    ASSERT_TRUE(read());
    EXPECT_TRUE(QTest::qWaitFor([&] { return !note->isVisibleTo(w.get()); }, 5000));
    EXPECT_TRUE(w->findChild<QWidget*>("firmwarePage")->isVisible());

    w->SelectLinksPage();
    esc.Unplug();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !w->SetupModel().HasValidRecord(); }, 10000));
    ASSERT_TRUE(esc.Replug());
    ASSERT_TRUE(read());
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return w->findChild<QWidget*>("setupPage")->isVisible(); }, 5000));
    EXPECT_TRUE(messages.empty());
}

// The window starts in the Device mode last chosen, Esc or Program Card; Fix Mode is never
// where it starts.
TEST_F(MainWindowTest, StartsInTheDeviceModeLastChosen) {
    const std::filesystem::path own = dir / "own" / "window.ini";
    auto reopen = [&](DeviceMode choose) {
        auto w = Open(Link(), own);
        if (choose == DeviceMode::Card) w->findChild<QAction*>("programCardAction")->trigger();
        if (choose == DeviceMode::Fix) w->findChild<QAction*>("fixModeAction")->trigger();
        if (choose != DeviceMode::None) {
            EXPECT_TRUE(QTest::qWaitFor([&] { return w->Mode() == choose; }, 5000));
        }
        w.reset();
        auto again = Open(Link(), own);
        // The remembered mode is chosen before the first tick, or none is.
        QSignalSpy ticked(&again->Link(), &gui::LinkController::ticked);
        EXPECT_TRUE(ticked.wait(10000));
        QCoreApplication::processEvents();  // what the link said before that tick
        return again->Mode();
    };
    EXPECT_EQ(reopen(DeviceMode::None), DeviceMode::None);
    EXPECT_EQ(reopen(DeviceMode::Card), DeviceMode::Card);
    EXPECT_EQ(reopen(DeviceMode::Fix), DeviceMode::Card);
    auto w = Open(Link(), own);
    ASSERT_TRUE(QTest::qWaitFor([&] { return w->Mode() == DeviceMode::Card; }, 5000));
    w->findChild<QAction*>("escAction")->trigger();
    ASSERT_TRUE(QTest::qWaitFor([&] { return w->Mode() == DeviceMode::Esc; }, 5000));
    w.reset();
    EXPECT_EQ(reopen(DeviceMode::None), DeviceMode::Esc);
    EXPECT_TRUE(test::ReadText(own).find("Esc") != std::string::npos);
}

TEST_F(MainWindowTest, WriteShowsProgressAndMessagesWaitForTheUser) {
    sim::SimulatedEsc esc(Link(), 13);
    ASSERT_TRUE(esc.Start());
    auto w = Open(Link());
    w->findChild<QAction*>("escAction")->trigger();
    ASSERT_TRUE(QTest::qWaitFor([&] { return Lamp(*w, "escLamp"); }, 10000));
    w->SetupModel().RequestWrite();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !w->SetupModel().WriteRequested(); }, 20000));
    EXPECT_EQ(w->findChild<gui::SkinButton*>("writeProgress")->text(), "100% ");
    EXPECT_EQ(esc.Pairs().size(), 20u);

    ASSERT_TRUE(QTest::qWaitFor([&] { return !messages.empty(); }, 20000));
    EXPECT_EQ(messages[0].text, "Settings sent and verified");
    // The figure goes back to rest once the write is over.
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return w->findChild<gui::SkinButton*>("writeProgress")->text() == "0%"; }, 10000));

    // A failed pair: Retry or Cancel is asked, and the retry only starts once it is answered.
    esc.SetFault(sim::Fault::NoAck);
    esc.ClearLogs();
    messages.clear();
    w->SetupModel().RequestWrite();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !questions.empty(); }, 20000));
    // Its cause and what Retry and Cancel do.
    EXPECT_TRUE(questions[0].startsWith("Send fail\nThe ESC did not acknowledge"))
        << questions[0].toStdString();
    EXPECT_TRUE(questions[0].contains("Retry sends every setting again"));
    esc.SetFault(sim::Fault::None);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !w->SetupModel().WriteRequested(); }, 20000));
    EXPECT_EQ(questions.size(), 1u);
    EXPECT_EQ(esc.WritesEnded(), 1);
}

// A restore clicked during a send would undo it the moment it was verified: while the send
// runs, nothing that talks to the ESC or changes the page's values takes input.
TEST_F(MainWindowTest, NothingElseCanBeStartedWhileASendRuns) {
    sim::SimulatedEsc esc(Link(), 16);
    ASSERT_TRUE(esc.Start());
    auto w = Open(Link());
    w->findChild<QAction*>("escAction")->trigger();
    ASSERT_TRUE(QTest::qWaitFor([&] { return w->SetupModel().HasValidRecord(); }, 10000));
    auto* page = w->findChild<gui::EscSetupPage*>("setupPage");
    w->SelectEscPage();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return page->findChild<gui::PictureButton*>("defaultButton")->isEnabled(); }, 10000));
    ASSERT_TRUE(page->List(ParamId::DragBrake)->isEnabled());

    page->findChild<gui::PictureButton*>("sendButton")->click();
    EXPECT_FALSE(page->findChild<gui::PictureButton*>("defaultButton")->isEnabled());
    EXPECT_FALSE(page->findChild<gui::PictureButton*>("sendButton")->isEnabled());
    EXPECT_FALSE(page->List(ParamId::DragBrake)->isEnabled());
    EXPECT_FALSE(page->List(ParamId::SetupSheet)->isEnabled());
    for (const char* name :
         {"escAction", "programCardAction", "fixModeAction", "importSettingsAction"}) {
        EXPECT_FALSE(w->findChild<QAction*>(name)->isEnabled()) << name;
    }
    EXPECT_FALSE(page->SendNotReadyWhy().isEmpty());

    ASSERT_TRUE(QTest::qWaitFor([&] { return !messages.empty(); }, 20000));
    EXPECT_EQ(messages[0].text, "Settings sent and verified");
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return page->findChild<gui::PictureButton*>("defaultButton")->isEnabled(); }, 10000));
    EXPECT_TRUE(page->List(ParamId::DragBrake)->isEnabled());
    EXPECT_TRUE(w->findChild<QAction*>("importSettingsAction")->isEnabled());
    EXPECT_EQ(esc.WritesEnded(), 1);
}

TEST_F(MainWindowTest, UnsentChangesAreAskedAboutBeforeAModeChangeOrClose) {
    sim::SimulatedEsc esc(Link(), 16);
    ASSERT_TRUE(esc.Start());
    auto w = Open(Link());
    w->findChild<QAction*>("escAction")->trigger();
    ASSERT_TRUE(QTest::qWaitFor([&] { return w->SetupModel().HasValidRecord(); }, 10000));
    EXPECT_TRUE(confirmations.empty());  // nothing to lose then
    const int drag = w->SetupModel().Snapshot().List(ParamId::DragBrake).selection;
    w->SetupModel().SelectByUser(ParamId::DragBrake, drag + 1);

    confirmAnswer = false;
    w->findChild<QAction*>("programCardAction")->trigger();
    ASSERT_EQ(confirmations.size(), 1u);
    EXPECT_TRUE(confirmations[0].contains("not sent to the ESC"));
    EXPECT_TRUE(w->findChild<QAction*>("escAction")->isChecked());
    EXPECT_FALSE(w->findChild<QAction*>("programCardAction")->isChecked());
    // A job queued after the menu choice finds the link still in Esc mode.
    std::atomic<int> mode{-1};
    w->Link().Post([&](ConnectionMonitor& m) { mode = static_cast<int>(m.Mode()); });
    ASSERT_TRUE(QTest::qWaitFor([&] { return mode.load() >= 0; }, 10000));
    EXPECT_EQ(mode.load(), static_cast<int>(DeviceMode::Esc));
    EXPECT_EQ(w->SetupModel().Snapshot().List(ParamId::DragBrake).selection, drag + 1);

    w->close();
    EXPECT_EQ(confirmations.size(), 2u);
    EXPECT_TRUE(w->isVisible());
    confirmAnswer = true;
    w->close();
    EXPECT_FALSE(w->isVisible());
}

// Closing while settings are being sent asks one question that says so, and the send's own
// message, arriving while it is open, waits for it rather than covering it.
TEST_F(MainWindowTest, ClosingDuringASendAsksOnceAndTheSendsMessageWaits) {
    sim::SimulatedEsc esc(Link(), 16);
    ASSERT_TRUE(esc.Start());
    auto w = Open(Link());
    w->findChild<QAction*>("escAction")->trigger();
    ASSERT_TRUE(QTest::qWaitFor([&] { return w->SetupModel().HasValidRecord(); }, 10000));
    const int drag = w->SetupModel().Snapshot().List(ParamId::DragBrake).selection;
    w->SetupModel().SelectByUser(ParamId::DragBrake, drag + 1);
    w->SetupModel().RequestWrite();
    bool messageUnderQuestion = false;
    bool messageAsked = false;
    QObject::connect(&w->Link(), &gui::LinkController::messageRequested, w.get(),
                     [&] { messageAsked = true; });
    bool shownUnderQuestion = false;
    whileAsked = [&] {
        // The close box again, as the window system closes: the question stays in charge.
        QCloseEvent again;
        QCoreApplication::sendEvent(w->windowHandle(), &again);
        shownUnderQuestion = w->isVisible();
        // The send ends and its message comes while the question is open.
        ASSERT_TRUE(QTest::qWaitFor([&] { return messageAsked; }, 20000));
        QCoreApplication::processEvents();
        messageUnderQuestion = !messages.empty();
    };
    confirmAnswer = false;
    w->close();
    whileAsked = nullptr;
    ASSERT_EQ(confirmations.size(), 1u);
    EXPECT_EQ(confirmations[0], MainWindow::kWriteUnderWayQuestion);
    EXPECT_FALSE(messageUnderQuestion);
    EXPECT_TRUE(shownUnderQuestion);
    EXPECT_TRUE(w->isVisible());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !messages.empty(); }, 10000));
    EXPECT_EQ(messages[0].text, "Settings sent and verified");

    // Yes: the window stays until the send has ended and said so, then closes.
    int closed = 0;
    QObject::connect(w.get(), &MainWindow::closed, [&] { ++closed; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return !w->TransferBusy(); }, 10000));
    w->SetupModel().SelectByUser(ParamId::DragBrake, drag);
    w->SetupModel().RequestWrite();
    confirmAnswer = true;
    w->close();
    EXPECT_EQ(confirmations.size(), 2u);
    EXPECT_TRUE(w->isVisible());
    ASSERT_TRUE(QTest::qWaitFor([&] { return closed == 1; }, 20000));
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[1].text, "Settings sent and verified");
}

TEST_F(MainWindowTest, WindowKeepsServingEventsWhileTheLinkIsBusy) {
    auto w = Open(Link());
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    std::atomic<bool> blocked{false};
    w->Link().Post([&, released](ConnectionMonitor&) {
        blocked = true;
        released.wait();
    });
    ASSERT_TRUE(QTest::qWaitFor([&] { return blocked.load(); }, 5000));
    // The link thread is stuck; the window still runs its timers and handles input.
    int fired = 0;
    QTimer::singleShot(10, w.get(), [&] { ++fired; });
    EXPECT_TRUE(QTest::qWaitFor([&] { return fired == 1; }, 5000));
    w->findChild<QAction*>("escAction")->trigger();  // queued behind the stuck job, no freeze
    QTest::mouseClick(w->findChild<gui::SkinButton*>("linksButton"), Qt::LeftButton);
    release.set_value();
    EXPECT_TRUE(QTest::qWaitFor([&] { return w->Mode() == DeviceMode::Esc; }, 5000));

    // Closing while the link thread is stuck returns at once; the thread ends on its own time.
    // (Were close() to wait for the link thread, only the watchdog would free it.)
    std::promise<void> release2;
    std::shared_future<void> released2 = release2.get_future().share();
    blocked = false;
    std::atomic<bool> jobDone{false};
    w->Link().Post([&, released2](ConnectionMonitor&) {
        blocked = true;
        released2.wait_for(std::chrono::seconds(20));
        jobDone = true;
    });
    ASSERT_TRUE(QTest::qWaitFor([&] { return blocked.load(); }, 5000));
    int closed = 0;
    QObject::connect(w.get(), &MainWindow::closed, [&] { ++closed; });
    w->close();
    EXPECT_FALSE(w->isVisible());
    EXPECT_FALSE(jobDone.load());
    EXPECT_EQ(closed, 0);
    release2.set_value();
    // Only then is the window gone for good, which ends the program.
    EXPECT_TRUE(QTest::qWaitFor([&] { return closed == 1; }, 5000));
}

}  // namespace
}  // namespace vorna

namespace vorna {
namespace {

TEST_F(MainWindowTest, ConfiguredTextSizeReachesThePagesOnlyOff96Dpi) {
    std::ofstream(dir / "config.ini") << "[TEXT INFO]\nsize=120\n";
    MainWindow::Options options;
    options.location.fixedPath = Link();
    options.dataDir = dir.Path();
    options.startLink = false;
    options.logicalDpi = 96;
    MainWindow at96(options);
    EXPECT_EQ(at96.TextSize(), 120);
    options.logicalDpi = 120;
    MainWindow at120(options);
    auto* page = at120.findChild<gui::EscSetupPage*>("setupPage");
    ASSERT_NE(page, nullptr);
    for (ParamId id : kAllLists) EXPECT_EQ(page->List(id)->FontSize(), 120) << id;
    auto* page96 = at96.findChild<gui::EscSetupPage*>("setupPage");
    EXPECT_EQ(page96->List(ParamId::BtSoftThRange)->FontSize(), 100);

    std::ofstream(dir / "config.ini") << "[TEXT INFO]\nsize=abc\n";
    MainWindow broken(options);
    EXPECT_EQ(broken.TextSize(), 0);
    EXPECT_TRUE(broken.DeviceNote()->isHidden());

    // One that cannot be read at all is said in the note under the lamps.
    std::filesystem::remove(dir / "config.ini");
    std::filesystem::create_directory(dir / "config.ini");
    MainWindow unread(options);
    EXPECT_EQ(unread.TextSize(), 90);
    EXPECT_FALSE(unread.DeviceNote()->isHidden());
    EXPECT_TRUE(unread.DeviceNote()->text().startsWith("config.ini was not read: it is a folder"))
        << unread.DeviceNote()->text().toStdString();
}

}  // namespace
}  // namespace vorna

namespace vorna {
namespace {

TEST_F(MainWindowTest, FileMenuExportsAndImportsSettingsThroughTheCompareView) {
    sim::SimulatedEsc esc(Link(), 12);
    ASSERT_TRUE(esc.Start());
    QString chosen;
    QString suggested;
    std::vector<gui::CompareRequest> compared;
    std::optional<std::vector<ParamId>> take;  // what the compare view hands back
    MainWindow::Options options;
    options.location.fixedPath = Link();
    options.dataDir = dir.Path();
    options.presenter = [this](QWidget*, const QString& text, bool error) {
        messages.push_back({text, error});
    };
    options.chooseSettingsFile = [&](QWidget*, gui::SettingsFileMenu::Choice,
                                     const QString& suggestion) {
        suggested = suggestion;
        return chosen;
    };
    options.confirm = [this](QWidget*, const QString& text) {
        confirmations.push_back(text);
        return true;
    };
    options.compare = [&](QWidget*, const gui::CompareRequest& request) {
        compared.push_back(request);
        return take;
    };
    MainWindow w(options);
    w.findChild<QAction*>("escAction")->trigger();
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.SetupModel().HasValidRecord(); }, 10000));
    const SetupState read = w.SetupModel().Snapshot();
    const int drag = read.List(ParamId::DragBrake).selection;
    const int full = read.List(ParamId::FullBrake).selection;
    const int offSlope = read.List(ParamId::LipoCells).selection;
    ASSERT_GE(drag, 0);
    ASSERT_GE(full, 0);

    chosen = QString::fromStdString((dir / "race").string());
    w.findChild<QAction*>("exportSettingsAction")->trigger();
    ASSERT_TRUE(std::filesystem::exists(dir / "race.cfg"));
    EXPECT_TRUE(suggested.startsWith("model-12_")) << suggested.toStdString();
    // The export says where the file went.
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_TRUE(messages[0].text.endsWith(QString::fromStdString((dir / "race.cfg").string())))
        << messages[0].text.toStdString();
    EXPECT_FALSE(messages[0].error);
    messages.clear();

    // A file with two settings changed: only the checked one comes onto the page, as an unsent
    // change; the unchecked one and what the file does not change keep the page's values, an
    // unsent change among them; nothing is sent.
    w.SetupModel().SelectByUser(ParamId::LipoCells, offSlope + 1);
    std::string race = test::ReadText(dir / "race.cfg");
    const auto replace = [&](const std::string& key, const std::string& value) {
        const auto at = race.find(key + "=");
        race.replace(at, race.find('\n', at) - at, key + "=" + value);
    };
    replace("Drag Brake", read.List(ParamId::DragBrake).entries[drag + 7]);
    replace("Full Brake", read.List(ParamId::FullBrake).entries[full == 0 ? 1 : 0]);
    std::ofstream(dir / "two.cfg") << race;
    chosen = QString::fromStdString((dir / "two.cfg").string());
    take = std::vector<ParamId>{ParamId::DragBrake};
    w.findChild<QAction*>("importSettingsAction")->trigger();
    ASSERT_EQ(compared.size(), 1u);
    ASSERT_EQ(compared[0].comparison.rows.size(), 2u);
    EXPECT_EQ(compared[0].comparison.rows[0].id, ParamId::DragBrake);
    EXPECT_EQ(compared[0].comparison.rows[1].id, ParamId::FullBrake);
    EXPECT_TRUE(compared[0].loadable);
    const SetupState after = w.SetupModel().Snapshot();
    EXPECT_EQ(after.List(ParamId::DragBrake).selection, drag + 7);
    EXPECT_EQ(after.List(ParamId::FullBrake).selection, full);
    EXPECT_EQ(after.List(ParamId::LipoCells).selection, offSlope + 1);
    EXPECT_EQ(w.SetupModel().UnsentChanges(),
              (std::vector<ParamId>{ParamId::DragBrake, ParamId::LipoCells}));
    auto* page = w.findChild<gui::EscSetupPage*>("setupPage");
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            return !page->findChild<QLabel*>(gui::EscSetupPage::ListName(ParamId::DragBrake) +
                                             " unsent")
                        ->isHidden();
        },
        10000));
    EXPECT_TRUE(
        page->findChild<QLabel*>(gui::EscSetupPage::ListName(ParamId::FullBrake) + " unsent")
            ->isHidden());
    EXPECT_TRUE(confirmations.empty());
    EXPECT_FALSE(w.SetupModel().WriteRequested());
    QTest::qWait(1500);  // three ticks: a write would have gone out by now
    EXPECT_TRUE(esc.Pairs().empty());
    EXPECT_EQ(esc.WritesEnded(), 0);

    // Cancelled, nothing changes; a missing file and an unwritable place are said.
    take.reset();
    w.SetupModel().SelectByUser(ParamId::DragBrake, drag);
    w.findChild<QAction*>("importSettingsAction")->trigger();
    EXPECT_EQ(compared.size(), 2u);
    EXPECT_EQ(w.SetupModel().Snapshot().List(ParamId::DragBrake).selection, drag);
    chosen.clear();
    w.findChild<QAction*>("importSettingsAction")->trigger();
    w.findChild<QAction*>("exportSettingsAction")->trigger();
    EXPECT_TRUE(messages.empty());
    chosen = QString::fromStdString((dir / "missing.cfg").string());
    w.findChild<QAction*>("importSettingsAction")->trigger();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_TRUE(messages[0].text.startsWith("Read File Error!"));
    EXPECT_TRUE(messages[0].error);
    chosen = QString::fromStdString((dir / "no-such-folder" / "x.cfg").string());
    w.findChild<QAction*>("exportSettingsAction")->trigger();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_TRUE(messages[1].text.contains("no-such-folder"));

    // A value that fits nothing is set apart in the view with its line, and a key no setting
    // has is named with its line.
    std::ofstream(dir / "odd.cfg") << "[option]\nDrag Brake=lots\nPunch=9\n";
    chosen = QString::fromStdString((dir / "odd.cfg").string());
    w.findChild<QAction*>("importSettingsAction")->trigger();
    ASSERT_EQ(compared.size(), 3u);
    const Comparison& odd = compared[2].comparison;
    EXPECT_TRUE(odd.rows.empty());
    ASSERT_EQ(odd.apart.size(), 1u);
    EXPECT_EQ(odd.apart[0].line, 2);
    ASSERT_EQ(odd.ignored.size(), 1u);
    EXPECT_EQ(odd.ignored[0].line, 3);
    EXPECT_EQ(messages.size(), 2u);

    // With no ESC read, the refusal says so and blames no line that is right for an ESC.
    std::ofstream(dir / "good.cfg") << "[option]\nDrag Brake=9%\n";
    esc.Unplug();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !w.SetupModel().HasValidRecord(); }, 10000));
    chosen = QString::fromStdString((dir / "good.cfg").string());
    w.findChild<QAction*>("importSettingsAction")->trigger();
    ASSERT_EQ(messages.size(), 3u);
    EXPECT_TRUE(messages[2].text.contains("until an ESC is identified"))
        << messages[2].text.toStdString();
    EXPECT_FALSE(messages[2].text.contains("Drag Brake")) << messages[2].text.toStdString();
}

}  // namespace
}  // namespace vorna

namespace vorna {
namespace {

TEST_F(MainWindowTest, TabRunsDownThePageButtonsThenThroughThePageShown) {
    sim::SimulatedEsc esc(Link(), 16);
    ASSERT_TRUE(esc.Start());
    auto w = Open(Link());
    w->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(w.get()));
    EXPECT_EQ(QApplication::focusWidget(), w->findChild<gui::SkinButton*>("linksButton"));
    w->findChild<QAction*>("escAction")->trigger();
    auto* page = w->findChild<gui::EscSetupPage*>("setupPage");
    // DEFAULT and SEND take input once the ESC's settings are read.
    ASSERT_TRUE(QTest::qWaitFor([&] { return page->SendReady(); }, 10000));
    w->SelectEscPage();
    const std::vector<QWidget*> route{w->findChild<gui::SkinButton*>("escButton"),
                                      w->findChild<gui::SkinButton*>("firmwareButton"),
                                      page->List(ParamId::OperationMode),
                                      page->List(ParamId::ReverseSpeed)};
    const auto tab = [](QWidget* next) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget(), next)
            << QApplication::focusWidget()->objectName().toStdString();
    };
    for (QWidget* next : route) tab(next);
    // DEFAULT and SEND close the page's round; the next Tab starts the window's again.
    page->List(ParamId::SetupSheet)->setFocus(Qt::TabFocusReason);
    tab(page->findChild<gui::PictureButton*>("defaultButton"));
    tab(page->findChild<gui::PictureButton*>("sendButton"));
    tab(w->findChild<gui::SkinButton*>("linksButton"));
}

TEST_F(MainWindowTest, FirmwarePageRouteEndsOnTheReleaseNotesWithAVisibleMark) {
    auto w = Open(Link());
    w->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(w.get()));
    w->SelectFirmwarePage();
    auto* page = w->findChild<gui::FirmwarePage*>("firmwarePage");
    // No device is there to take an image, so the start pictures are no stops.
    const std::vector<QWidget*> route{page->List(ImageKind::Esc), page->List(ImageKind::Card),
                                      page->findChild<QPlainTextEdit*>("information")};
    for (QWidget* next : route) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        ASSERT_EQ(QApplication::focusWidget(), next);
    }
    const auto corner = [&] {
        return page->findChild<QPlainTextEdit*>("information")->grab().toImage().pixelColor(0, 0);
    };
    EXPECT_EQ(corner(), gui::kFocusMark);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_NE(corner(), gui::kFocusMark);
}

// The note names the first thing in the way: a port that will not open, then a bridge without
// its driver, then an unplugged or missing link; odd answers only with the port open.
TEST(DeviceNoteTest, SaysWhatIsInTheWayFirst) {
    gui::DeviceFacts facts;
    facts.mode = DeviceMode::Esc;
    facts.looked = true;
    EXPECT_TRUE(gui::DeviceNoteFor(facts).text.startsWith("No USB link found."));
    facts.bridgeLost = true;
    EXPECT_TRUE(gui::DeviceNoteFor(facts).text.startsWith("The USB link was unplugged."));
    facts.bridgeFinding = BridgeFinding::NoDriver;
    EXPECT_TRUE(
        gui::DeviceNoteFor(facts).text.startsWith("A CP210x bridge is plugged in, but it "
                                                  "has no driver: "));
    // Its driver is there, but no port: said as such, not as an unplugged link.
    facts.bridgeFinding = BridgeFinding::NoComPort;
    EXPECT_TRUE(gui::DeviceNoteFor(facts).text.startsWith(
        QStringLiteral("A CP210x bridge is plugged in and its driver is installed, but it has no "
                       "%1: ")
            .arg(BridgePortNoun())))
        << gui::DeviceNoteFor(facts).text.toStdString();
    facts.portProblem = QStringLiteral("Cannot open COM7: the port has gone.");
    EXPECT_TRUE(gui::DeviceNoteFor(facts).text.startsWith(facts.portProblem));
    facts = {};
    facts.mode = DeviceMode::Card;
    facts.usb = true;
    facts.oddAnswer = QStringLiteral("Something answered on COM7 (it said 0x25).");
    const gui::DeviceNoteText odd = gui::DeviceNoteFor(facts);
    EXPECT_TRUE(odd.text.contains("it is not a VORNA program card"));
    EXPECT_EQ(odd.tooltip, facts.oddAnswer);
    facts.device = true;
    EXPECT_EQ(gui::DeviceNoteFor(facts).text, "");
    facts.mode = DeviceMode::None;
    facts.device = false;
    EXPECT_EQ(gui::DeviceNoteFor(facts).text, "");
}

}  // namespace
}  // namespace vorna
