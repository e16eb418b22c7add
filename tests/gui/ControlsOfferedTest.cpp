// Whatever the user has done, the window offers every control a fresh start offers in the same
// state: enabled, reached by Tab in the same order, with its tooltip. Against simulated devices,
// on Qt's offscreen platform.
#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>

#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

#include "firmware/FirmwareImages.h"
#include "gui/MainWindow.h"
#include "gui/pages/EscSetupPage.h"
#include "gui/pages/FirmwarePage.h"
#include "gui/widgets/PictureButton.h"
#include "gui/widgets/SkinComboBox.h"
#include "settings/Profiles.h"
#include "sim/SimulatedCard.h"
#include "sim/SimulatedEsc.h"
#include "support/GuiApp.h"
#include "support/TestSupport.h"

namespace vorna {
namespace {

using gui::MainWindow;
using Offer = std::vector<std::string>;

class ControlsOfferedTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::EnsureGuiApp();
        // Backups and the user's own sheets stay inside the test's folder.
        ::setenv("XDG_DATA_HOME", (dir / "user").c_str(), 1);
    }
    void TearDown() override { ::unsetenv("XDG_DATA_HOME"); }

    std::unique_ptr<MainWindow> Open(const std::string& port) {
        MainWindow::Options options;
        options.location.fixedPath = port;
        options.dataDir = dir.Path();
        options.presenter = [this](QWidget*, const QString& text, bool) {
            messages.push_back(text);
        };
        options.confirm = [](QWidget*, const QString&) { return true; };
        options.chooseSettingsFile = [this](QWidget*, gui::SettingsFileMenu::Choice,
                                            const QString&) {
            return QString::fromStdString((dir / "race.cfg").string());
        };
        // Every row of a comparison is taken.
        options.compare = [](QWidget*, const gui::CompareRequest& request) {
            std::vector<ParamId> all;
            for (const CompareRow& row : request.comparison.rows) all.push_back(row.id);
            return std::optional<std::vector<ParamId>>(all);
        };
        auto window = std::make_unique<MainWindow>(options);
        window->show();
        return window;
    }

    // Each control Tab reaches, in its order, with its tooltip (less the line that marks a
    // change not sent yet: that is about the values, not the control), then the menu commands
    // that take input.
    static Offer Offered(MainWindow& w) {
        Offer offered;
        const QString unsent =
            QStringLiteral("\n") + QString::fromLatin1(gui::EscSetupPage::kUnsentTip);
        for (QWidget* c = w.nextInFocusChain(); c != &w; c = c->nextInFocusChain()) {
            if (!c->isEnabled() || !c->isVisibleTo(&w) || (c->focusPolicy() & Qt::TabFocus) == 0) {
                continue;
            }
            offered.push_back(
                (c->objectName() + " | " + QString(c->toolTip()).remove(unsent)).toStdString());
        }
        for (const QAction* a : w.findChildren<QAction*>()) {
            if (!a->objectName().isEmpty() && a->isEnabled()) {
                offered.push_back("menu " + a->objectName().toStdString());
            }
        }
        return offered;
    }

    // What one offers and the other does not, both ways.
    static ::testing::AssertionResult SameOffer(const Offer& shown, const Offer& fresh) {
        if (shown == fresh) return ::testing::AssertionSuccess();
        auto failure = ::testing::AssertionFailure();
        for (const std::string& c : fresh) {
            if (std::find(shown.begin(), shown.end(), c) == shown.end()) {
                failure << "\n  not offered: " << c.substr(0, 90);
            }
        }
        for (const std::string& c : shown) {
            if (std::find(fresh.begin(), fresh.end(), c) == fresh.end()) {
                failure << "\n  not offered at a fresh start: " << c.substr(0, 90);
            }
        }
        return failure << "\n  (or in another Tab order)";
    }

    // Waits for the window to settle into offering `fresh`, then compares.
    static void ExpectOffers(MainWindow& w, const Offer& fresh, const char* after) {
        SCOPED_TRACE(after);
        static_cast<void>(
            QTest::qWaitFor([&] { return !w.TransferBusy() && Offered(w) == fresh; }, 15000));
        EXPECT_TRUE(SameOffer(Offered(w), fresh));
    }

    static bool WaitRead(MainWindow& w) {
        return QTest::qWaitFor([&] { return w.SetupModel().HasValidRecord() && !w.TransferBusy(); },
                               15000);
    }
    static bool WaitMode(MainWindow& w, DeviceMode mode) {
        return QTest::qWaitFor([&] { return w.Mode() == mode; }, 10000);
    }
    // A few ticks, so that what the link found is shown.
    static void Settle(MainWindow& w) {
        QSignalSpy ticked(&w.Link(), &gui::LinkController::ticked);
        ASSERT_TRUE(QTest::qWaitFor([&] { return ticked.count() >= 3; }, 10000));
        QCoreApplication::processEvents();
    }
    static gui::EscSetupPage* Page(MainWindow& w) {
        return w.findChild<gui::EscSetupPage*>("setupPage");
    }
    static void Click(gui::EscSetupPage* page, const char* button) {
        page->findChild<gui::PictureButton*>(button)->click();
    }
    // Starts an update with the image of that entry from the firmware page.
    static void Flash(MainWindow& w, const QString& entry, ImageKind kind = ImageKind::Esc) {
        w.SelectFirmwarePage();
        auto* page = w.findChild<gui::FirmwarePage*>("firmwarePage");
        page->List(kind)->setCurrentIndex(page->List(kind)->findText(entry));
        ASSERT_TRUE(QTest::qWaitFor([&] { return page->StartTakesClicks(kind); }, 10000));
        QTest::mouseClick(page, Qt::LeftButton, {}, page->StartRect(kind).center());
    }

    std::string Link() const { return (dir / "bridge").string(); }
    void Write(const std::filesystem::path& file, const std::string& text) const {
        std::filesystem::create_directories(file.parent_path());
        std::ofstream(file, std::ios::binary) << text;
    }

    test::TempDir dir;
    std::vector<QString> messages;
};

TEST_F(ControlsOfferedTest, EverythingAFreshStartOffersIsOfferedAgain) {
    // The version byte 5 keeps the ESC what it was after an update: the same lists.
    Write(dir / "Firmware" / "Expert V1.50.mmc", MakeEscImage({5, 1, 2, 3}).Value());
    const std::string whole = MakeEscImage({5, 1, 2, 3, 4, 5, 6, 7}).Value();
    Write(dir / "Firmware" / "Cut.mmc", whole.substr(0, whole.find(":00000001FF")));
    Write(dir / "Profile" / std::string(kCategories[0]) / "Club.ini", "[option]\nDrag Brake=20%\n");
    sim::SimulatedEsc esc(Link(), 16);

    // What fresh starts offer: with the ESC read, in Esc mode with no link, in Fix Mode.
    Offer read, noLink, fix;
    {
        auto w = Open((dir / "absent").string());
        w->findChild<QAction*>("escAction")->trigger();
        ASSERT_TRUE(WaitMode(*w, DeviceMode::Esc));
        w->SelectEscPage();
        Settle(*w);
        noLink = Offered(*w);
    }
    ASSERT_TRUE(esc.Start());
    {
        auto w = Open(Link());
        w->findChild<QAction*>("fixModeAction")->trigger();
        ASSERT_TRUE(WaitMode(*w, DeviceMode::Fix));
        w->SelectFirmwarePage();
        Settle(*w);
        fix = Offered(*w);
    }
    auto w = Open(Link());
    w->findChild<QAction*>("escAction")->trigger();
    ASSERT_TRUE(WaitRead(*w));
    w->SelectEscPage();
    Settle(*w);
    read = Offered(*w);
    gui::EscSetupPage* page = Page(*w);
    for (const char* name : {"Category", "Setup Sheet", "Drag Brake", "sendButton"}) {
        EXPECT_NE(std::find_if(read.begin(), read.end(),
                               [&](const std::string& c) { return c.rfind(name, 0) == 0; }),
                  read.end())
            << name;
    }

    Click(page, "sendButton");
    ExpectOffers(*w, read, "SEND");
    // A click opens the sheet chooser again.
    gui::SkinComboBox* category = page->List(ParamId::Category);
    QTest::mouseClick(category, Qt::LeftButton);
    EXPECT_TRUE(QTest::qWaitFor([&] { return category->view()->isVisible(); }, 5000));
    category->hidePopup();
    Click(page, "defaultButton");
    ExpectOffers(*w, read, "DEFAULT");
    w->findChild<QAction*>("exportSettingsAction")->trigger();
    w->findChild<QAction*>("importSettingsAction")->trigger();
    ExpectOffers(*w, read, "an import");
    category->setCurrentIndex(0);
    emit category->activated(0);
    ASSERT_TRUE(w->SetupModel().HasUnsentChanges());
    ExpectOffers(*w, read, "a sheet loaded");
    Click(page, "sendButton");
    ExpectOffers(*w, read, "the sheet sent");

    // Each update's outcome is the one meant, before the controls are looked at.
    auto update = [&](const QString& entry, const char* outcome) {
        const std::size_t before = messages.size();
        Flash(*w, entry);
        ASSERT_TRUE(QTest::qWaitFor(
            [&] {
                return std::any_of(messages.begin() + static_cast<std::ptrdiff_t>(before),
                                   messages.end(),
                                   [&](const QString& m) { return m.contains(outcome); });
            },
            30000));
        ASSERT_TRUE(WaitRead(*w));
        w->SelectEscPage();
    };
    update(" Expert V1.50", "firmware flashed");
    ExpectOffers(*w, read, "an update done");
    esc.SetFault(sim::Fault::D6Silent);
    update(" Expert V1.50", "update stopped");
    esc.SetFault(sim::Fault::None);
    ExpectOffers(*w, read, "an update failed");
    update(" Cut", "cannot be flashed");
    ExpectOffers(*w, read, "an update refused");

    esc.Unplug();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !w->SetupModel().HasValidRecord(); }, 10000));
    ExpectOffers(*w, noLink, "an unplug");
    ASSERT_TRUE(esc.Replug());
    ASSERT_TRUE(WaitRead(*w));
    ExpectOffers(*w, read, "a re-plug");

    w->findChild<QAction*>("programCardAction")->trigger();
    ASSERT_TRUE(WaitMode(*w, DeviceMode::Card));
    w->findChild<QAction*>("fixModeAction")->trigger();
    ASSERT_TRUE(WaitMode(*w, DeviceMode::Fix));
    w->SelectFirmwarePage();
    ExpectOffers(*w, fix, "Fix Mode");
    w->findChild<QAction*>("escAction")->trigger();
    ASSERT_TRUE(WaitRead(*w));
    w->SelectEscPage();
    ExpectOffers(*w, read, "Device mode changes");
}

TEST_F(ControlsOfferedTest, ACardUpdateDoneFailedOrRefusedLeavesWhatAFreshStartOffers) {
    const std::string image = MakeCardImage({{0, 0, 4, 4}, {5, 6, 11}}).Value();
    Write(dir / "Firmware" / "Card V1.40.xup", image);
    Write(dir / "Firmware" / "Cut.xup", image.substr(0, image.size() / 2));
    sim::SimulatedCard card(Link());
    ASSERT_TRUE(card.Start());
    auto identified = [](MainWindow& w) {
        return QTest::qWaitFor(
            [&] {
                return !w.findChild<QLineEdit*>("cardFirmware")->text().isEmpty() &&
                       !w.UpdateBusy();
            },
            15000);
    };
    Offer fresh;
    {
        auto w = Open(Link());
        w->findChild<QAction*>("programCardAction")->trigger();
        ASSERT_TRUE(identified(*w));
        w->SelectFirmwarePage();
        Settle(*w);
        fresh = Offered(*w);
    }
    auto w = Open(Link());
    w->findChild<QAction*>("programCardAction")->trigger();
    ASSERT_TRUE(identified(*w));
    Flash(*w, " Card V1.40", ImageKind::Card);
    ASSERT_TRUE(QTest::qWaitFor([&] { return w->UpdateBusy(); }, 5000));
    ASSERT_TRUE(identified(*w));
    ExpectOffers(*w, fresh, "an update done");
    card.SetFault(sim::Fault::StageOneSilent);
    Flash(*w, " Card V1.40", ImageKind::Card);
    ASSERT_TRUE(QTest::qWaitFor([&] { return messages.size() == 2; }, 30000));
    card.SetFault(sim::Fault::None);
    ASSERT_TRUE(identified(*w));
    ExpectOffers(*w, fresh, "an update failed");
    Flash(*w, " Cut", ImageKind::Card);
    ExpectOffers(*w, fresh, "an update refused");
    ASSERT_EQ(messages.size(), 3u);
    EXPECT_TRUE(messages[0].startsWith("Program card firmware updated"));
    EXPECT_TRUE(messages[1].contains("update stopped"));
    EXPECT_TRUE(messages[2].contains("Nothing was sent"));
}

// Changes the ESC took with it are said under the lamps; changes the user let go are not.
TEST_F(ControlsOfferedTest, UnsentChangesLostWithTheEscAreCounted) {
    Write(dir / "Firmware" / "Expert V1.50.mmc", MakeEscImage({5, 1, 2, 3}).Value());
    sim::SimulatedEsc esc(Link(), 16);
    ASSERT_TRUE(esc.Start());
    auto w = Open(Link());
    w->findChild<QAction*>("escAction")->trigger();
    ASSERT_TRUE(WaitRead(*w));
    // A pick the page has marked as not sent.
    auto change = [&](ParamId id) {
        const int now = w->SetupModel().Snapshot().List(id).selection;
        w->SetupModel().SelectByUser(id, now == 0 ? 1 : 0);
        const auto* mark =
            Page(*w)->findChild<QLabel*>(gui::EscSetupPage::ListName(id) + " unsent");
        ASSERT_TRUE(QTest::qWaitFor([&] { return !mark->isHidden(); }, 5000));
    };
    change(ParamId::DragBrake);
    change(ParamId::FullBrake);
    const QLabel* note = w->DeviceNote();
    const QString dropped = QStringLiteral("2 unsent changes were dropped when the ESC went away.");

    esc.Unplug();
    EXPECT_TRUE(QTest::qWaitFor([&] { return note->text().endsWith(dropped); }, 10000))
        << note->text().toStdString();
    ASSERT_TRUE(esc.Replug());
    ASSERT_TRUE(WaitRead(*w));
    Settle(*w);
    // Read again, the page shows the ESC's values: a later unplug has no loss to repeat.
    EXPECT_FALSE(note->text().contains("unsent")) << note->text().toStdString();

    // Let go for a Device mode change, they are not reported lost.
    change(ParamId::DragBrake);
    w->findChild<QAction*>("programCardAction")->trigger();
    ASSERT_TRUE(WaitMode(*w, DeviceMode::Card));
    w->findChild<QAction*>("escAction")->trigger();
    ASSERT_TRUE(WaitRead(*w));
    Settle(*w);
    EXPECT_FALSE(note->text().contains("unsent")) << note->text().toStdString();

    // An update takes the page's values whatever becomes of the ESC: no loss "as it went".
    change(ParamId::DragBrake);
    esc.SetFault(sim::Fault::NoAckAfter, 1);
    Flash(*w, " Expert V1.50");
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            return std::any_of(messages.begin(), messages.end(),
                               [](const QString& m) { return m.contains("update stopped"); });
        },
        30000));
    // The page lets the ESC's values go once the stopped update has closed the port.
    ASSERT_TRUE(QTest::qWaitFor([&] { return !w->SetupModel().HasValidRecord(); }, 10000));
    Settle(*w);
    EXPECT_FALSE(note->text().contains("unsent")) << note->text().toStdString();
}

}  // namespace
}  // namespace vorna
