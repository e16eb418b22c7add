// The firmware page alone and inside the window, with updates run against simulated devices.
#include <gtest/gtest.h>

#include <QAction>
#include <QCloseEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QSessionManager>
#include <QTest>

#include <algorithm>
#include <cstdlib>
#include <fstream>

#include "firmware/FirmwareImages.h"
#include "gui/MainWindow.h"
#include "gui/pages/FirmwarePage.h"
#include "gui/skin/Skin.h"
#include "gui/widgets/PictureButton.h"
#include "gui/widgets/SkinButton.h"
#include "gui/widgets/SkinComboBox.h"
#include "sim/SimulatedCard.h"
#include "sim/SimulatedEsc.h"
#include "support/GuiApp.h"
#include "support/SkinPictures.h"
#include "support/TestSupport.h"

namespace vorna {
namespace {

using gui::FirmwarePage;
using gui::MainWindow;

void Write(const std::filesystem::path& file, const std::string& text) {
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << text;
}

void ClickAt(QWidget* page, QPoint at) {
    QTest::mouseClick(page, Qt::LeftButton, Qt::NoModifier, at);
}

TEST(FirmwarePageTest, StartPicturesTakeClicksOnlyInsideAndWhileFree) {
    test::EnsureGuiApp();
    test::TempDir dir;
    // Images that read whole: each is read and checked before the question.
    for (const char* name : {"b.mmc", "a.mmc", "upper.MMC"}) {
        Write(dir / "data" / "Firmware" / name, MakeEscImage({1, 2, 3}).Value());
    }
    Write(dir / "data" / "Firmware" / "card.xup", MakeCardImage({{0, 0, 1, 1}}).Value());
    FirmwarePageModel model;
    std::vector<QString> told;
    FirmwarePage page(model, dir / "data", dir / "user", FirmwarePage::kDefaultTextSize);
    page.SetInform([&](QWidget*, const QString& text) { told.push_back(text); });
    std::vector<QString> asked;
    bool answer = false;
    page.SetConfirm([&](QWidget*, const QString& text) {
        asked.push_back(text);
        return answer;
    });
    page.resize(985, 630);
    page.show();

    gui::SkinComboBox* esc = page.List(ImageKind::Esc);
    ASSERT_EQ(esc->count(), 2);
    EXPECT_EQ(esc->itemText(0), " a");
    EXPECT_EQ(esc->currentIndex(), -1);
    const QRect start = page.StartRect(ImageKind::Esc);
    ClickAt(&page, start.center());
    EXPECT_EQ(told, std::vector<QString>{"Please select ESC Firmware version!"});
    EXPECT_FALSE(model.AnyUpdateRequested());

    esc->setCurrentIndex(1);
    ClickAt(&page, start.topLeft() + QPoint(0, 10));  // on the outline
    EXPECT_FALSE(model.AnyUpdateRequested());
    page.SetStartEnabled(false);
    ClickAt(&page, start.center());
    EXPECT_FALSE(page.findChild<gui::PictureButton*>("escStartButton")->isEnabled());
    QTest::keyClick(page.findChild<gui::PictureButton*>("escStartButton"), Qt::Key_Space);
    EXPECT_FALSE(model.AnyUpdateRequested());
    page.SetStartEnabled(true);
    // Nothing is flashed without a yes to a question that names the image; No is no update.
    ClickAt(&page, start.topLeft() + QPoint(1, 1));
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_TRUE(asked[0].contains("New firmware: b (b.mmc)")) << asked[0].toStdString();
    EXPECT_FALSE(model.AnyUpdateRequested());
    answer = true;
    ClickAt(&page, start.topLeft() + QPoint(1, 1));
    EXPECT_TRUE(model.UpdateRequested(ImageKind::Esc));
    EXPECT_EQ(model.SelectedImagePath(ImageKind::Esc), dir / "data" / "Firmware" / "b.mmc");
    EXPECT_FALSE(model.UpdateRequested(ImageKind::Card));
    page.List(ImageKind::Card)->setCurrentIndex(0);
    QTest::keyClick(page.findChild<gui::PictureButton*>("cardStartButton"), Qt::Key_Enter);
    EXPECT_TRUE(model.UpdateRequested(ImageKind::Card));

    // Shown again, the page finds images added meanwhile and keeps the choice. The user's own
    // come after the shipped ones, marked, and choosing one takes the user's file.
    Write(dir / "user" / "0 first.mmc", MakeEscImage({1, 2, 3}).Value());
    page.hide();
    page.show();
    ASSERT_EQ(esc->count(), 3);
    EXPECT_EQ(esc->currentText(), " b");
    EXPECT_EQ(esc->itemText(2), " 0 first (own)");
    model.ClearUpdateRequest(ImageKind::Esc);
    page.ShowChanges();  // as the window does on the model's news
    // The update asked for is over: its image is no longer chosen.
    EXPECT_EQ(esc->currentIndex(), -1);
    esc->setCurrentIndex(2);
    ClickAt(&page, start.center());
    EXPECT_EQ(model.SelectedImagePath(ImageKind::Esc), dir / "user" / "0 first.mmc");

    // Without a device that can take it, a start picture takes no click and says why.
    model.ClearUpdateRequest(ImageKind::Card);
    page.List(ImageKind::Card)->setCurrentIndex(0);
    page.SetDeviceReady(ImageKind::Card, false, "No program card answers.");
    const std::size_t askedBefore = asked.size();
    ClickAt(&page, page.StartRect(ImageKind::Card).center());
    EXPECT_FALSE(model.UpdateRequested(ImageKind::Card));
    EXPECT_FALSE(page.findChild<gui::PictureButton*>("cardStartButton")->isEnabled());
    EXPECT_EQ(asked.size(), askedBefore);
    EXPECT_EQ(page.NotReadyWhy(ImageKind::Card), "No program card answers.");
}

class FirmwareWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::EnsureGuiApp();
        ::setenv("XDG_DATA_HOME", (dir / "user").c_str(), 1);
    }
    void TearDown() override { ::unsetenv("XDG_DATA_HOME"); }

    std::unique_ptr<MainWindow> Open() {
        MainWindow::Options options;
        options.location.fixedPath = Link();
        options.dataDir = dir.Path();
        options.presenter = [this](QWidget*, const QString& text, bool) {
            messages.push_back(text);
            if (onMessage) onMessage();
        };
        // Yes to the page's question before an update, No to any other.
        options.confirm = [this](QWidget*, const QString& text) {
            questions.push_back(text);
            return text.startsWith("Update the ");
        };
        auto window = std::make_unique<MainWindow>(options);
        window->show();
        return window;
    }
    FirmwarePage* Page(MainWindow& w) { return w.findChild<gui::FirmwarePage*>("firmwarePage"); }
    // Chooses the image on the firmware page and clicks its start picture.
    void Start(MainWindow& w, ImageKind kind, const QString& entry) {
        w.SelectFirmwarePage();
        FirmwarePage* page = Page(w);
        page->List(kind)->setCurrentIndex(page->List(kind)->findText(entry));
        // The lamps' news that the device is there may still be on its way.
        EXPECT_TRUE(QTest::qWaitFor([&] { return page->StartTakesClicks(kind); }, 10000));
        ClickAt(page, page->StartRect(kind).center());
    }
    std::string Link() const { return (dir / "bridge").string(); }
    bool Free(MainWindow& w) {
        return w.findChild<QAction*>("escAction")->isEnabled() &&
               w.findChild<gui::SkinButton*>("linksButton")->isEnabled();
    }
    // Until the window has taken the news that the update ended, its start pictures still
    // take no click.
    // The status picture a panel shows.
    static int Status(gui::FirmwarePage& page, const char* name) {
        return test::ShownBitmap(
            page.findChild<QLabel*>(name), page.Scale(),
            {gui::kBmpStatusReady, gui::kBmpStatusFinished, gui::kBmpStatusFailed});
    }
    bool Ended(MainWindow& w) { return !w.UpdateBusy() && Free(w) && Page(w)->StartEnabled(); }

    // A paced ESC and an image that keeps its update running for a few seconds.
    std::unique_ptr<sim::SimulatedEsc> SlowEsc() {
        Write(dir / "Firmware" / "Long.mmc",
              MakeEscImage(std::vector<std::uint8_t>(6000, 3)).Value());
        auto esc = std::make_unique<sim::SimulatedEsc>(Link(), 16);
        esc->SetLineRate(true);
        EXPECT_TRUE(esc->Start());
        return esc;
    }
    static bool WaitBoxShown(MainWindow& w) {
        const auto boxes = w.findChildren<QMessageBox*>();
        return std::count_if(boxes.begin(), boxes.end(), [](QMessageBox* box) {
                   return box->isVisible() && box->text() == MainWindow::kCloseWaitsText;
               }) == 1;
    }
    // As the window system closes a window (its close box, Alt+F4): to the window, not the widget.
    static void SystemClose(MainWindow& w) {
        QCloseEvent close;
        QCoreApplication::sendEvent(w.windowHandle(), &close);
    }

    test::TempDir dir;
    std::vector<QString> messages;
    std::vector<QString> questions;
    std::function<void()> onMessage;  // as a message is shown
};

// Every way to close during an update keeps the window until the update has ended and its
// outcome was shown; then it closes, as asked.
TEST_F(FirmwareWindowTest, ClosingDuringAnUpdateWaitsForItsOutcomeThenCloses) {
    auto esc = SlowEsc();
    auto w = Open();
    w->findChild<QAction*>("escAction")->trigger();
    ASSERT_TRUE(QTest::qWaitFor([&] { return w->SetupModel().HasValidRecord(); }, 10000));
    int closed = 0;
    QObject::connect(w.get(), &MainWindow::closed, [&] { ++closed; });
    bool inViewAtOutcome = false;
    bool waitBoxAtOutcome = true;
    onMessage = [&] {
        inViewAtOutcome = w->isVisible();
        waitBoxAtOutcome = WaitBoxShown(*w);
    };
    Start(*w, ImageKind::Esc, " Long");
    ASSERT_TRUE(w->UpdateBusy());
    w->close();
    EXPECT_TRUE(w->isVisible());
    ASSERT_TRUE(WaitBoxShown(*w));
    // Again while the box is open: the close box, File > Exit, and once more.
    SystemClose(*w);
    w->findChild<QAction*>("exitAction")->trigger();
    w->close();
    EXPECT_TRUE(w->isVisible());
    EXPECT_TRUE(WaitBoxShown(*w));  // still the one box
    EXPECT_TRUE(w->UpdateBusy());

    ASSERT_TRUE(QTest::qWaitFor([&] { return closed == 1; }, 60000));
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_TRUE(messages[0].contains("saved in")) << messages[0].toStdString();
    EXPECT_TRUE(inViewAtOutcome);
    EXPECT_FALSE(waitBoxAtOutcome);  // it said an update was running: gone once it was not
    EXPECT_FALSE(w->isVisible());
    EXPECT_EQ(esc->UpdatesFinished(), 1);
}

// A logout during an update is cancelled, and the window closes after the update; at another
// time the session ends as it will.
TEST_F(FirmwareWindowTest, TheSessionEndingWaitsOnlyForATransfer) {
    auto esc = SlowEsc();
    auto w = Open();
    auto* session = qApp->findChild<QSessionManager*>();
    ASSERT_NE(session, nullptr);
    int closed = 0;
    QObject::connect(w.get(), &MainWindow::closed, [&] { ++closed; });
    w->findChild<QAction*>("escAction")->trigger();
    ASSERT_TRUE(QTest::qWaitFor([&] { return w->SetupModel().HasValidRecord(); }, 10000));
    emit qApp->commitDataRequest(*session);
    EXPECT_FALSE(w->CloseAwaited());
    QTest::qWait(100);
    EXPECT_TRUE(w->isVisible());

    bool inViewAtOutcome = false;
    onMessage = [&] { inViewAtOutcome = w->isVisible(); };
    Start(*w, ImageKind::Esc, " Long");
    emit qApp->commitDataRequest(*session);
    EXPECT_TRUE(w->CloseAwaited());
    EXPECT_TRUE(w->isVisible());
    EXPECT_TRUE(WaitBoxShown(*w));
    ASSERT_TRUE(QTest::qWaitFor([&] { return closed == 1; }, 60000));
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_TRUE(inViewAtOutcome);
}

// While a stopped update's box is open the link is closed, not unplugged; afterwards an ESC
// that no longer answers is pointed to Fix Mode.
TEST_F(FirmwareWindowTest, AStoppedUpdateIsToldAsItIsUnderTheLamps) {
    Write(dir / "Firmware" / "Expert V1.70.mmc",
          MakeEscImage(std::vector<std::uint8_t>(160, 7)).Value());
    sim::SimulatedEsc esc(Link(), 16);
    ASSERT_TRUE(esc.Start());
    esc.SetFault(sim::Fault::NoAckAfter, 3);
    auto w = Open();
    w->findChild<QAction*>("escAction")->trigger();
    ASSERT_TRUE(QTest::qWaitFor([&] { return w->SetupModel().HasValidRecord(); }, 10000));
    QString noteAtOutcome;
    onMessage = [&] {
        noteAtOutcome = w->DeviceNote()->isVisible() ? w->DeviceNote()->text() : "";
    };
    Start(*w, ImageKind::Esc, " Expert V1.70");
    ASSERT_TRUE(QTest::qWaitFor([&] { return Ended(*w) && messages.size() == 1; }, 30000));
    EXPECT_TRUE(noteAtOutcome.startsWith("The firmware update stopped"))
        << noteAtOutcome.toStdString();
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            return w->DeviceNote()->isVisible() && w->DeviceNote()->text().contains("Fix Mode");
        },
        10000))
        << w->DeviceNote()->text().toStdString();
}

TEST_F(FirmwareWindowTest, EscUpdateGuardsTheWindowAndEndsFinishedOrFailed) {
    std::vector<std::uint8_t> payload(40 * 16);
    for (std::size_t i = 0; i < payload.size(); ++i) payload[i] = static_cast<std::uint8_t>(i * 7);
    payload[0] = 7;  // the version the ESC reports afterwards: 1.70
    Write(dir / "Firmware" / "Expert V1.70.mmc", MakeEscImage(payload).Value());
    std::string damaged = MakeEscImage(payload).Value();
    damaged[damaged.find('\n') - 1] ^= 1;  // the first record's checksum
    Write(dir / "Firmware" / "Damaged.mmc", damaged);
    sim::SimulatedEsc esc(Link(), 16);
    ASSERT_TRUE(esc.Start());
    auto w = Open();
    w->findChild<QAction*>("escAction")->trigger();
    ASSERT_TRUE(QTest::qWaitFor([&] { return w->SetupModel().HasValidRecord(); }, 10000));
    FirmwarePage* page = Page(*w);

    EXPECT_TRUE(w->MayEndSessionNow());
    Start(*w, ImageKind::Esc, " Expert V1.70");
    EXPECT_TRUE(w->UpdateBusy());
    EXPECT_FALSE(w->MayEndSessionNow());  // a logout is asked to wait
    EXPECT_FALSE(Free(*w));
    EXPECT_FALSE(w->findChild<QAction*>("importSettingsAction")->isEnabled());
    EXPECT_FALSE(page->StartEnabled());
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return page->findChild<gui::SkinButton*>("escProgress")->isVisible(); }, 10000));

    ASSERT_EQ(questions.size(), 1u);
    EXPECT_TRUE(
        questions[0].contains("Connected: VORNA ZEN, firmware Expert V1.50\n"
                              "New firmware: Expert V1.70 (Expert V1.70.mmc)"))
        << questions[0].toStdString();
    ASSERT_TRUE(QTest::qWaitFor([&] { return Ended(*w); }, 60000));
    EXPECT_EQ(esc.UpdateImage(), payload);
    // Done: the image is chosen no longer, so a second click cannot flash it again.
    EXPECT_EQ(page->List(ImageKind::Esc)->currentIndex(), -1);
    // The picture follows the model's news.
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return Status(*page, "escStatus") == gui::kBmpStatusFinished; }, 5000));
    EXPECT_FALSE(page->findChild<gui::SkinButton*>("escProgress")->isVisible());
    ASSERT_TRUE(QTest::qWaitFor([&] { return messages.size() == 1; }, 5000));
    EXPECT_TRUE(messages[0].contains("saved in " + QString::fromStdString((dir / "user").string())))
        << messages[0].toStdString();
    EXPECT_FALSE(messages[0].contains("What to do")) << messages[0].toStdString();
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return page->findChild<QLineEdit*>("escFirmware")->text().endsWith("1.70"); },
        10000));
    // Identified afresh: version 1.70 makes it a type 5 ESC, whose settings are read.
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return w->SetupModel().HasValidRecord() && w->SetupModel().ModelType() == 5; },
        10000));
    EXPECT_EQ(messages.size(), 1u);

    // A damaged image is asked about in the one question before the update (No by default
    // here): said no to, nothing is sent and no other box follows.
    esc.ClearLogs();
    Start(*w, ImageKind::Esc, " Damaged");
    ASSERT_TRUE(QTest::qWaitFor([&] { return Ended(*w) && questions.size() == 2; }, 20000));
    QCoreApplication::processEvents();
    EXPECT_EQ(messages.size(), 1u);
    EXPECT_TRUE(questions[1].startsWith("Warning: This image does not look sound:"))
        << questions[1].toStdString();
    EXPECT_TRUE(questions[1].contains("Damaged.mmc, line 1"));
    const auto sent = esc.Commands();
    EXPECT_EQ(std::count(sent.begin(), sent.end(), 0x39), 0);

    // A silent handshake fails the update; opening the page again shows Ready.
    esc.SetFault(sim::Fault::D6Silent);
    Start(*w, ImageKind::Esc, " Expert V1.70");
    ASSERT_TRUE(QTest::qWaitFor([&] { return Ended(*w) && messages.size() == 2; }, 30000));
    // The picture follows the model's news.
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return Status(*page, "escStatus") == gui::kBmpStatusFailed; }, 5000));
    // In plain words, with what to do, the device's own text as a detail.
    EXPECT_TRUE(messages[1].contains("can be used as before")) << messages[1].toStdString();
    EXPECT_TRUE(messages[1].contains("What to do:"));
    EXPECT_TRUE(messages[1].endsWith("Detail: Update Error: TX=0xd6, TX Timeover!"));
    w->SelectLinksPage();
    w->SelectFirmwarePage();
    // The picture follows the model's news.
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return Status(*page, "escStatus") == gui::kBmpStatusReady; }, 5000));
    w->close();  // at once, or once the link has finished the tick that showed the outcome
    EXPECT_TRUE(QTest::qWaitFor([&] { return !w->isVisible(); }, 5000));
}

TEST_F(FirmwareWindowTest, CardUpdateFromThePage) {
    // The simulated card takes a block whose last byte sums the others, and the first data
    // byte after the address as its version: 4 shows as 1.40.
    const std::string image = MakeCardImage({{0, 0, 4, 4}, {5, 6, 11}}).Value();
    Write(dir / "Firmware" / "Card V1.40.xup", image);
    sim::SimulatedCard card(Link());
    ASSERT_TRUE(card.Start());
    auto w = Open();
    w->findChild<QAction*>("programCardAction")->trigger();
    FirmwarePage* page = Page(*w);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return !page->findChild<QLineEdit*>("cardFirmware")->text().isEmpty(); }, 10000));

    Start(*w, ImageKind::Card, " Card V1.40");
    EXPECT_FALSE(Free(*w));
    ASSERT_TRUE(QTest::qWaitFor([&] { return Ended(*w); }, 30000));
    // The picture follows the model's news.
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return Status(*page, "cardStatus") == gui::kBmpStatusFinished; }, 5000));
    EXPECT_EQ(card.Flashed(), ParseCardImage(image).Value().bytes);
    // Identified afresh, the card shows its new firmware, and the box that said it was updated
    // named it.
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return page->findChild<QLineEdit*>("cardFirmware")->text() == "VORNA JVX V1.40"; },
        10000));
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_TRUE(messages[0].contains("The card now reports VORNA JVX V1.40."))
        << messages[0].toStdString();

    // FINISHED speaks of the card attached then: unplugged, it goes.
    card.Unplug();
    EXPECT_TRUE(QTest::qWaitFor([&] { return Status(*page, "cardStatus") == gui::kBmpStatusReady; },
                                10000));
    // A card that stops answering after its update stopped is told what it needs.
    ASSERT_TRUE(card.Replug());
    card.SetFault(sim::Fault::BlockNoAck, 0);
    onMessage = [&] { card.SetFault(sim::Fault::Silent); };
    Start(*w, ImageKind::Card, " Card V1.40");
    ASSERT_TRUE(QTest::qWaitFor([&] { return Ended(*w) && messages.size() == 2; }, 60000));
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            return w->DeviceNote()->isVisible() &&
                   w->DeviceNote()->text().contains("Unplug the card");
        },
        10000))
        << w->DeviceNote()->text().toStdString();
}

// Before the question is asked, the image is read and checked: one that cannot be flashed is
// refused with no question, one made for another ESC is said so in the question itself.
TEST_F(FirmwareWindowTest, AnImageIsCheckedBeforeTheQuestionThatNamesAnotherFamily) {
    const std::string whole = MakeEscImage({0x15, 1, 2, 3, 4, 5, 6, 7}, 4).Value();
    Write(dir / "Firmware" / "Cut.mmc", whole.substr(0, whole.find(":00000001FF")));
    Write(dir / "Firmware" / "Blinky V3.1.mmc", whole);  // for the ALTA, not this ZEN
    Write(dir / "Firmware" / "Expert V1.90.mmc", MakeEscImage({9, 1, 2, 3}).Value());
    sim::SimulatedEsc esc(Link(), 16);
    ASSERT_TRUE(esc.Start());
    auto w = Open();
    w->findChild<QAction*>("escAction")->trigger();
    ASSERT_TRUE(QTest::qWaitFor([&] { return w->SetupModel().HasValidRecord(); }, 10000));
    FirmwarePage* page = Page(*w);
    esc.ClearLogs();

    Start(*w, ImageKind::Esc, " Cut");
    EXPECT_TRUE(questions.empty());
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_TRUE(messages[0].contains("Cut.mmc")) << messages[0].toStdString();
    EXPECT_TRUE(messages[0].endsWith("Nothing was sent: the ESC is unchanged."));
    // The picture follows the model's news.
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return Status(*page, "escStatus") == gui::kBmpStatusFailed; }, 5000));
    EXPECT_FALSE(w->UpdateBusy());

    Start(*w, ImageKind::Esc, " Blinky V3.1");
    ASSERT_EQ(questions.size(), 1u);
    EXPECT_TRUE(questions[0].startsWith("Warning: This image is made for the VORNA ALTA"))
        << questions[0].toStdString();
    EXPECT_TRUE(questions[0].contains("the ESC attached is a VORNA ZEN"));
    EXPECT_TRUE(questions[0].contains("Update the ESC's firmware anyway?"));
    EXPECT_FALSE(w->UpdateBusy());  // said no to

    // Its settings cannot be saved first: the update asks before it goes on without them.
    std::filesystem::create_directories(dir / "user" / "vorna-link");
    Write(dir / "user" / "vorna-link" / "backups", "not a folder");
    Start(*w, ImageKind::Esc, " Expert V1.90");
    ASSERT_TRUE(QTest::qWaitFor([&] { return Ended(*w) && questions.size() == 3; }, 20000));
    EXPECT_TRUE(questions[2].startsWith("The ESC's settings could not be saved before the update"))
        << questions[2].toStdString();
    QCoreApplication::processEvents();
    const auto sent = esc.Commands();
    EXPECT_EQ(std::count(sent.begin(), sent.end(), 0x39), 0);
}

// An ESC flashed in Fix Mode answers afterwards; its firmware text is no card's.
TEST_F(FirmwareWindowTest, AfterAFixModeUpdateProgramCardShowsNoEscFirmware) {
    Write(dir / "Firmware" / "Expert V1.70.mmc", MakeEscImage({7, 1, 2, 3}).Value());
    sim::SimulatedEsc esc(Link(), 16);
    ASSERT_TRUE(esc.Start());
    auto w = Open();
    w->findChild<QAction*>("fixModeAction")->trigger();
    FirmwarePage* page = Page(*w);
    Start(*w, ImageKind::Esc, " Expert V1.70");
    ASSERT_EQ(questions.size(), 1u);
    EXPECT_TRUE(questions[0].contains("no backup of them is made")) << questions[0].toStdString();
    ASSERT_TRUE(QTest::qWaitFor([&] { return Ended(*w) && messages.size() == 1; }, 30000));
    EXPECT_TRUE(page->findChild<QLineEdit*>("escFirmware")->text().endsWith("1.70"));
    w->findChild<QAction*>("programCardAction")->trigger();
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return page->findChild<QLineEdit*>("escFirmware")->text().isEmpty(); }, 10000));
}

}  // namespace
}  // namespace vorna
