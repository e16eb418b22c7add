// A racer's journeys through the window on a real X server, with real mouse clicks and keys,
// against a simulated ESC of model type 16: from no device to settings sent, a setup sheet and
// the factory settings, firmware updates (the right image, another family's, one with no backup
// possible), an unplug in the middle of a send, and closing twice during an update. After every
// step every window and box is checked (LayoutCheck) and the screen saved in
// VORNA_JOURNEY_SHOTS (else journey-shots/ in the build folder) as NN-step.png.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QMessageBox>
#include <QPointer>
#include <QTest>
#include <QWindow>

#include <filesystem>
#include <fstream>

#include "Driver.h"
#include "firmware/FirmwareImages.h"
#include "gui/MainWindow.h"
#include "gui/dialogs/CompareDialog.h"
#include "gui/pages/EscSetupPage.h"
#include "gui/pages/FirmwarePage.h"
#include "gui/widgets/SkinButton.h"
#include "gui/widgets/SkinComboBox.h"
#include "support/GuiApp.h"
#include "support/TestSupport.h"

namespace vorna {
namespace {

using gui::MainWindow;
using test::Driver;
using Find = std::function<QWidget*()>;

void Write(const std::filesystem::path& file, const std::string& text) {
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << text;
}

class JourneyTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::EnsureGuiApp();
        ASSERT_EQ(QGuiApplication::platformName(), "xcb")
            << "these journeys need a real X server: run them through scripts/on-xvfb.sh";
        // The shipped settings data, with firmware images of this test's own: one for the
        // attached ESC that leaves it the same model, large enough to take a while at the line's
        // real rate, and one made for another family.
        const std::filesystem::path shipped = VORNA_BINARY_DIR "/bin";
        std::filesystem::create_directories(data());
        std::filesystem::copy_file(shipped / "config.ini", data() / "config.ini");
        std::filesystem::copy(shipped / "Profile", data() / "Profile",
                              std::filesystem::copy_options::recursive);
        std::vector<std::uint8_t> payload(16 * 1024, 0x5a);
        payload[0] = 5;  // the version the ESC reports afterwards: 1.50, as now
        Write(data() / "Firmware" / "Expert V1.50.mmc", MakeEscImage(payload).Value());
        Write(data() / "Firmware" / "Blinky V3.1.mmc",
              MakeEscImage({0x15, 1, 2, 3, 4, 5, 6, 7}, 4).Value());
    }
    void TearDown() override {
        window.reset();
        if (esc) esc->Stop();
    }

    std::filesystem::path data() const { return dir / "data"; }
    std::string Link() const { return (dir / "bridge").string(); }

    // The window as a user starts it: no Device mode chosen yet, every box its own.
    void Open() {
        MainWindow::Options options;
        options.location.fixedPath = Link();
        options.dataDir = data();
        options.urlOpener = [](const QString& url) {
            ADD_FAILURE() << "opened " << url.toStdString();
            return true;
        };
        window = std::make_unique<MainWindow>(options);
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get(), Driver::kWaitMs));
    }
    void PlugEsc() {
        esc = std::make_unique<sim::SimulatedEsc>(Link(), 16);
        ASSERT_TRUE(esc->Start());
    }

    Find Named(const QString& name) {
        return [this, name] { return window->findChild<QWidget*>(name); };
    }
    Find SetupList(ParamId id) {
        return [this, id] { return SetupPage()->List(id); };
    }
    Find EscImages() {
        return [this] { return Firmware()->List(ImageKind::Esc); };
    }
    gui::EscSetupPage* SetupPage() { return window->findChild<gui::EscSetupPage*>("setupPage"); }
    gui::FirmwarePage* Firmware() { return window->findChild<gui::FirmwarePage*>("firmwarePage"); }
    // The ESC's settings are on the page and nothing is on its way: the Device menu takes
    // input again (the window's guard is lifted) and the page's lists show the model's news.
    bool EscRead() {
        const gui::SkinComboBox* drag = SetupPage()->List(ParamId::DragBrake);
        return window->SetupModel().HasValidRecord() && !window->TransferBusy() &&
               window->findChild<gui::SkinButton*>("escButton")->isEnabled() &&
               window->findChild<QAction*>("escAction")->isEnabled() && drag->isEnabled() &&
               drag->count() > 0;
    }
    // The box that tells how a transfer ended, looked at and closed.
    void Outcome(Driver& d, const QString& words, const QString& step, int ms = Driver::kWaitMs) {
        if (QPointer<QWidget> box = d.Box(words, ms)) {
            d.Step(step, window.get());
            EXPECT_TRUE(d.Answer(box, "OK"));
        } else {
            ADD_FAILURE() << step.toStdString() << ": no box said \"" << words.toStdString()
                          << "\"";
        }
    }
    // The compare view, while it shows.
    static QWidget* Compare() {
        for (QWidget* each : QApplication::topLevelWidgets()) {
            if (qobject_cast<gui::CompareDialog*>(each) && each->isVisible()) return each;
        }
        return nullptr;
    }
    // A list opens to a click: looked at open, then closed with Escape.
    void Opens(Driver& d, const Find& list, const QString& step) {
        const auto open = [&] { return static_cast<QComboBox*>(list())->view()->isVisible(); };
        if (!d.Click(list) || !d.WaitFor(open, Driver::kWaitMs / 3)) {
            ADD_FAILURE() << step.toStdString() << ": the list does not open";
            return;
        }
        d.Step(step, window.get());
        d.Key("Escape");
        EXPECT_TRUE(d.WaitFor([&] { return !open(); }));
    }
    // The entry after the one a list shows.
    QString NextEntry(Driver& d, ParamId id) {
        return d.Gui([&] {
            gui::SkinComboBox* list = SetupPage()->List(id);
            return list->itemText((list->currentIndex() + 1) % list->count());
        });
    }
    // The window's close box on the window manager's frame, as the user clicks it: at the right
    // end of the title bar.
    bool ClickCloseBox(Driver& d) {
        const QPoint at = d.Gui([&] {
            const QRect frame = window->frameGeometry();
            const int title = window->geometry().top() - frame.top();
            return QPoint(frame.width() - title / 2 - 2, title / 2) -
                   (window->geometry().topLeft() - frame.topLeft());
        });
        return d.Click([this] { return window.get(); }, at);
    }

    test::TempDir dir;
    std::unique_ptr<sim::SimulatedEsc> esc;
    std::unique_ptr<MainWindow> window;
};

// No device, Device > Esc, the ESC plugged in; two settings changed and sent; a setup sheet
// through the compare view and sent; the factory settings; an unplug while settings are sent,
// and the ESC plugged in again.
TEST_F(JourneyTest, SettingsFromNoDeviceToAReplug) {
    ASSERT_NO_FATAL_FAILURE(Open());
    MainWindow* w = window.get();
    Driver::Run([&](Driver& d) {
        d.Step("no-device", w);
        ASSERT_TRUE(d.Menu(w, "Device", "Esc"));
        d.Step("esc-chosen-without-link", w);
        PlugEsc();
        ASSERT_TRUE(d.WaitFor([&] { return EscRead(); })) << "the ESC did not appear";
        ASSERT_TRUE(d.Click(Named("escButton")));
        ASSERT_TRUE(d.WaitFor([&] { return SetupPage()->isVisible(); }));
        d.Step("esc-read", w, "setup");

        EXPECT_TRUE(d.Pick(SetupList(ParamId::DragBrake), NextEntry(d, ParamId::DragBrake)));
        EXPECT_TRUE(d.Pick(SetupList(ParamId::PowerLevel1), NextEntry(d, ParamId::PowerLevel1)));
        d.Step("two-settings-changed", w, "setup");
        // Another Device mode would drop them: the window asks first, and No keeps them.
        EXPECT_TRUE(d.Menu(w, "Device", "Program Card"));
        if (QPointer<QWidget> box = d.Box("Discard them?")) {
            d.Step("discard-question", w);
            EXPECT_TRUE(d.Answer(box, "No"));
        } else {
            ADD_FAILURE() << "unsent changes were dropped without a question";
        }
        EXPECT_EQ(d.Gui([&] { return w->Mode(); }), DeviceMode::Esc);
        ASSERT_TRUE(d.Click(Named("sendButton")));
        Outcome(d, "Settings sent", "sent-box");
        EXPECT_TRUE(d.WaitFor([&] { return esc->WritesEnded() == 1 && EscRead(); }));
        d.Step("sent", w, "setup");

        // A sheet: the category opens its first sheet in the compare view; loaded, then SEND.
        if (!d.Pick(SetupList(ParamId::Category), "Modify Touring")) {
            ADD_FAILURE() << "the Category list does not open after SEND";
        } else if (!d.WaitFor([&] { return Compare() != nullptr; })) {
            ADD_FAILURE() << "a setup sheet did not open the compare view";
        } else {
            d.Step("compare-view", w);
            const Find load = [&]() -> QWidget* {
                for (auto* button : Compare()->findChildren<QAbstractButton*>()) {
                    if (button->text() == gui::CompareDialog::kLoadText) return button;
                }
                return nullptr;
            };
            EXPECT_TRUE(d.Click(load));
            EXPECT_TRUE(d.WaitFor([&] { return Compare() == nullptr; }));
            d.Step("sheet-loaded", w, "setup");
            EXPECT_TRUE(d.Click(Named("sendButton")));
            Outcome(d, "Settings sent", "sheet-sent-box");
            EXPECT_TRUE(d.WaitFor([&] { return esc->WritesEnded() == 2 && EscRead(); }));
            d.Step("sheet-sent", w, "setup");
        }

        EXPECT_TRUE(d.Click(Named("defaultButton")));
        if (QPointer<QWidget> box = d.Box("Restore the factory settings")) {
            d.Step("default-question", w);
            EXPECT_TRUE(d.Answer(box, "Yes"));
            Outcome(d, "", "defaults-box");
            EXPECT_TRUE(d.WaitFor([&] { return esc->Restores() == 1 && EscRead(); }));
            d.Step("defaults-restored", w, "setup");
        } else {
            ADD_FAILURE() << "DEFAULT asked nothing";
        }
        Opens(d, SetupList(ParamId::Category), "category-open-after-default");

        // The plug pulled while the second pair is on its way.
        EXPECT_TRUE(d.Pick(SetupList(ParamId::DragBrake), NextEntry(d, ParamId::DragBrake)));
        esc->SetFault(sim::Fault::UnplugAfterPair, 1);
        EXPECT_TRUE(d.Click(Named("sendButton")));
        Outcome(d, "lost", "link-lost-while-sending");
        d.Step("unplugged", w);
        esc->SetFault(sim::Fault::None);
        EXPECT_TRUE(esc->Replug());
        EXPECT_TRUE(d.WaitFor([&] { return EscRead(); })) << "the ESC did not come back";
        d.Step("plugged-in-again", w, "setup");
        Opens(d, SetupList(ParamId::Category), "category-open-after-replug");
    });
}

// Firmware: the right image, another family's (No), one with no backup possible (No), and two
// closes of the window while an update runs.
TEST_F(JourneyTest, FirmwareUpdatesAndClosingDuringOne) {
    ASSERT_NO_FATAL_FAILURE(PlugEsc());
    ASSERT_NO_FATAL_FAILURE(Open());
    MainWindow* w = window.get();
    Driver::Run([&](Driver& d) {
        ASSERT_TRUE(d.Menu(w, "Device", "Esc"));
        ASSERT_TRUE(d.WaitFor([&] { return EscRead(); })) << "the ESC did not appear";
        ASSERT_TRUE(d.Click(Named("firmwareButton")));
        ASSERT_TRUE(d.WaitFor([&] { return Firmware()->isVisible(); }));
        d.Step("firmware-page", w, "firmware");
        const auto start = [&](const QString& image) {
            EXPECT_TRUE(d.Pick(EscImages(), image)) << image.toStdString();
            EXPECT_TRUE(d.Click(Named("escStart")));
        };
        const auto ended = [&] {
            return !w->UpdateBusy() && Firmware()->StartEnabled() && EscRead();
        };

        start("Expert V1.50");
        if (QPointer<QWidget> box = d.Box("New firmware")) {
            d.Step("flash-question", w);
            EXPECT_TRUE(d.Answer(box, "Yes"));
            if (QPointer<QWidget> done = d.Box("flashed", 120000)) {
                d.Step("flash-outcome", w);
                EXPECT_TRUE(d.Answer(done, "OK"));
            }
            EXPECT_TRUE(d.WaitFor(ended, 120000));
            d.Step("flashed", w, "firmware");
        } else {
            ADD_FAILURE() << "no question before the update";
        }

        start("Blinky V3.1");
        if (QPointer<QWidget> box = d.Box("made for")) {
            d.Step("other-family-question", w);
            EXPECT_TRUE(d.Answer(box, "No"));
        } else {
            ADD_FAILURE() << "another family's image was not warned of";
        }
        d.Step("other-family-refused", w, "firmware");

        // The backups folder cannot be made: a file has its name. (The update before made the
        // folder; it is put aside meanwhile.)
        const std::filesystem::path backups = std::filesystem::path(qgetenv("HOME").toStdString()) /
                                              ".local/share/vorna-link/backups";
        std::error_code ec;
        std::filesystem::rename(backups, backups.string() + ".aside", ec);
        Write(backups, "not a folder");
        start("Expert V1.50");
        if (QPointer<QWidget> box = d.Box("New firmware")) {
            EXPECT_TRUE(d.Answer(box, "Yes"));
        }
        if (QPointer<QWidget> box = d.Box("without a backup")) {
            d.Step("no-backup-question", w);
            EXPECT_TRUE(d.Answer(box, "No"));
        } else {
            ADD_FAILURE() << "no question before an update without a backup";
        }
        EXPECT_TRUE(d.WaitFor(ended));
        d.Step("no-backup-refused", w, "firmware");
        std::filesystem::remove(backups, ec);
        std::filesystem::rename(backups.string() + ".aside", backups, ec);

        // At the line's real rate the update takes long enough to close three times meanwhile:
        // from the File menu, then with the title bar's close box while the box says why the
        // window stays.
        esc->SetLineRate(true);
        start("Expert V1.50");
        if (QPointer<QWidget> box = d.Box("New firmware")) {
            EXPECT_TRUE(d.Answer(box, "Yes"));
        }
        ASSERT_TRUE(d.WaitFor([&] { return w->UpdateBusy(); }));
        ASSERT_TRUE(d.Menu(w, "File", "Exit"));
        QPointer<QWidget> wait = d.Box("firmware update is running");
        ASSERT_TRUE(wait) << "closing during an update said nothing";
        d.Step("first-close", w);
        bool stayed = true;
        const auto visible = [&] {
            stayed = stayed && w->isVisible();
            return stayed;
        };
        for (const char* close : {"second-close", "third-close"}) {
            if (!d.Gui(visible)) break;
            EXPECT_TRUE(ClickCloseBox(d));
            d.Step(close, w);
        }
        EXPECT_TRUE(d.WaitFor([&] { return !visible() || !w->UpdateBusy(); }, 120000));
        EXPECT_TRUE(stayed) << "the window vanished while the update ran";
        if (d.Gui([&] { return wait && wait->isVisible(); })) {
            EXPECT_TRUE(d.Answer(wait, "OK"));
        }
        QPointer<QWidget> outcome = d.Box("flashed");
        EXPECT_NE(outcome, nullptr) << "the update's outcome was never shown";
        EXPECT_TRUE(d.Gui(visible)) << "the window had gone before the outcome was shown";
        d.Step("update-outcome", w);
        if (outcome != nullptr) {
            EXPECT_TRUE(d.Answer(outcome, "OK"));
        }
    });
}

}  // namespace
}  // namespace vorna
