// The window's words when the link goes wrong: a port another program holds, and a link lost in
// the middle of a write.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QTest>

#include <memory>

#include "gui/MainWindow.h"
#include "gui/pages/EscSetupPage.h"
#include "gui/pages/FirmwarePage.h"
#include "gui/skin/Skin.h"
#include "protocol/Messages.h"
#include "protocol/SettingsTransfer.h"
#include "support/GuiApp.h"
#include "support/HeldPort.h"
#include "support/SkinPictures.h"
#include "support/TestSupport.h"

namespace vorna {
namespace {

using gui::MainWindow;

struct Shown {
    QString text;
    bool error;
};

class LinkMessagesWindowTest : public ::testing::Test {
protected:
    void SetUp() override { test::EnsureGuiApp(); }

    std::unique_ptr<MainWindow> Open() {
        MainWindow::Options options;
        options.location.fixedPath = Link();
        options.dataDir = dir.Path();
        options.urlOpener = [](const QString&) { return true; };
        options.presenter = [this](QWidget*, const QString& text, bool error) {
            messages.push_back({text, error});
        };
        options.askRetry = [this](QWidget*, const QString& text) {
            questions.push_back(text);
            return false;
        };
        options.confirm = [](QWidget*, const QString&) { return true; };
        auto window = std::make_unique<MainWindow>(options);
        window->show();
        return window;
    }
    bool Lamp(MainWindow& w, const char* name) {
        return test::ShownBitmap(w.findChild<QLabel*>(name), w.Scale(),
                                 {gui::kBmpLampOn, gui::kBmpLampOff}) == gui::kBmpLampOn;
    }
    // The text of a message box the window opened without waiting for it, if one is open.
    static QString OpenBoxText() {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (auto* box = qobject_cast<QMessageBox*>(widget); box && box->isVisible()) {
                return box->text();
            }
        }
        return {};
    }

    std::string Link() const { return (dir / "bridge").string(); }
    test::TempDir dir;
    std::vector<Shown> messages;
    std::vector<QString> questions;
};

TEST_F(LinkMessagesWindowTest, APortInUseIsWhatTheWindowSaysThenAndOnSend) {
    sim::SimulatedEsc esc(Link(), 16);
    ASSERT_TRUE(esc.Start());
    auto held = std::make_unique<test::HeldPort>(Link(), "minicom");
    ASSERT_TRUE(held->Holding());
    const QString holder = QString("minicom (pid %1)").arg(held->Pid());
    auto w = Open();
    w->findChild<QAction*>("escAction")->trigger();
    // Said under the lamps, not in a box that would outlive the problem.
    ASSERT_TRUE(QTest::qWaitFor([&] { return w->DeviceNote()->text().contains(holder); }, 10000))
        << w->DeviceNote()->text().toStdString();
    EXPECT_TRUE(w->DeviceNote()->isVisibleTo(w.get()));
    EXPECT_EQ(OpenBoxText(), "");
    EXPECT_FALSE(Lamp(*w, "usbLamp"));

    w->SetupModel().RequestWrite();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !messages.empty(); }, 10000));
    EXPECT_TRUE(messages[0].error);
    EXPECT_TRUE(messages[0].text.startsWith(QString(msg::kUsbConnectionError) + "\nCannot open " +
                                            QString::fromStdString(Link()) +
                                            ": the port is in use by " + holder + "."))
        << messages[0].text.toStdString();
    // Once the port is free, the note goes.
    held.reset();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !w->DeviceNote()->isVisibleTo(w.get()); }, 10000));
}

TEST_F(LinkMessagesWindowTest, ALinkLostMidWriteSaysTheEscMayHoldAMix) {
    sim::SimulatedEsc esc(Link(), 13);
    ASSERT_TRUE(esc.Start());
    auto w = Open();
    w->findChild<QAction*>("escAction")->trigger();
    ASSERT_TRUE(QTest::qWaitFor([&] { return Lamp(*w, "escLamp"); }, 10000));
    esc.ClearLogs();
    esc.SetFault(sim::Fault::UnplugAfterPair, 3);
    w->SetupModel().RequestWrite();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !messages.empty(); }, 20000));
    EXPECT_TRUE(messages[0].error);
    EXPECT_TRUE(messages[0].text.startsWith(QString(msg::kLinkLostDuringWrite) +
                                            " (3 of 20 were acknowledged).\n" + msg::kMayHoldMix))
        << messages[0].text.toStdString();
    EXPECT_TRUE(questions.empty());  // no Retry for a port that has gone
    EXPECT_TRUE(QTest::qWaitFor([&] { return !Lamp(*w, "usbLamp"); }, 10000));
    EXPECT_FALSE(w->SetupModel().WriteRequested());
}

// Something that answers wrongly is said on the window at once, in vornactl's words, not only
// once SEND is pressed; the controls that need an ESC say it as their reason.
TEST_F(LinkMessagesWindowTest, SomethingAnsweringWronglyIsSaidOnTheWindow) {
    sim::SimulatedEsc esc(Link(), 16);
    ASSERT_TRUE(esc.Start());
    esc.SetFault(sim::Fault::WrongByte);
    auto w = Open();
    EXPECT_FALSE(w->DeviceNote()->isVisibleTo(w.get()));
    w->findChild<QAction*>("escAction")->trigger();
    const QString odd = "Something answered on " + QString::fromStdString(Link()) +
                        ", but not as a VORNA ESC does (it said 0x25 to the ESC check 0xd5, "
                        "where an ESC says 0x26).";
    ASSERT_TRUE(QTest::qWaitFor([&] { return w->DeviceNote()->isVisibleTo(w.get()); }, 10000));
    // In words, with what to do; the bytes that came are in its tooltip.
    EXPECT_TRUE(w->DeviceNote()->text().startsWith(
        "Something answers on the link, but it is not a VORNA ESC. Check that the ESC"))
        << w->DeviceNote()->text().toStdString();
    EXPECT_EQ(w->DeviceNote()->toolTip(), odd);
    auto* setup = w->findChild<gui::EscSetupPage*>("setupPage");
    EXPECT_FALSE(setup->SendReady());
    EXPECT_EQ(setup->SendNotReadyWhy(), odd);
    auto* firmware = w->findChild<gui::FirmwarePage*>("firmwarePage");
    EXPECT_TRUE(firmware->NotReadyWhy(ImageKind::Esc).startsWith(odd));
    EXPECT_TRUE(messages.empty());

    // Answering as an ESC does, it is identified and read; the note goes.
    esc.SetFault(sim::Fault::None);
    ASSERT_TRUE(QTest::qWaitFor([&] { return setup->SendReady(); }, 10000));
    EXPECT_FALSE(w->DeviceNote()->isVisibleTo(w.get()));
    EXPECT_EQ(firmware->NotReadyWhy(ImageKind::Esc), "");
}

}  // namespace
}  // namespace vorna
