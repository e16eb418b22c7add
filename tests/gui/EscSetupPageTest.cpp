// The ESC setup page over the real model and link, with a simulated ESC on a pseudo-terminal.
// The poll runs on a thread of its own, as the link thread does, so every change reaches the
// page through the model's listener and the queued refresh.
#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QFontInfo>
#include <QFontMetrics>
#include <QHelpEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QTest>
#include <QToolTip>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <future>
#include <memory>
#include <string>

#include "gui/Application.h"
#include "gui/ModelNews.h"
#include "gui/pages/EscSetupPage.h"
#include "gui/skin/SetupColumns.h"
#include "gui/skin/Skin.h"
#include "gui/widgets/PictureButton.h"
#include "gui/widgets/SkinComboBox.h"
#include "settings/Catalogue.h"
#include "settings/Codec.h"
#include "settings/IniFile.h"
#include "settings/ParameterHelp.h"
#include "support/GuiApp.h"
#include "support/SkinPictures.h"
#include "support/TestSupport.h"

namespace vorna {
namespace {

using gui::EscSetupPage;
using gui::SkinComboBox;

constexpr int kWaitMs = 20000;

void EnsureApp() {
    vorna::test::EnsureGuiApp();
}

// Where the simulated ESC keeps a few parameters, from the device's side of the record.
int DragBrakeByte(int model) {
    return LayoutFor(model) == RecordLayout::C ? 4 : 1;
}
int RotationModeByte(int model) {
    switch (LayoutFor(model)) {
        case RecordLayout::A:
            return 21;
        case RecordLayout::C:
            return 20;
        default:
            return 22;
    }
}

class EscSetupPageTest : public ::testing::Test {
protected:
    void SetUp() override { EnsureApp(); }

    std::string Link() const { return (dir / "bridge").string(); }

    // Which captions the middle column shows.
    int MiddleCaptions() const {
        return test::ShownBitmap(page->findChild<QLabel*>("middleCaptions"), page->Scale(),
                                 {gui::kBmpMiddleCaptions, gui::kBmpMiddleCaptionsAlt});
    }

    void Open(int textSize = EscSetupPage::kDefaultTextSize) {
        rig = std::make_unique<test::Rig>(Link());
        news = std::make_unique<gui::SetupModelNews>(rig->setup);
        page = std::make_unique<EscSetupPage>(rig->setup, dir.Path(), textSize);
        page->SetConfirm([this](QWidget*, const QString& question) {
            questions.push_back(question);
            return answer;
        });
        // Over an ESC's values a sheet goes through the compare view: here every row is taken.
        page->SetCompare([this](QWidget*, const gui::CompareRequest& request) {
            ++compared;
            if (!take) return std::optional<std::vector<ParamId>>();
            std::vector<ParamId> all;
            for (const CompareRow& row : request.comparison.rows) all.push_back(row.id);
            return std::optional<std::vector<ParamId>>(all);
        });
        QObject::connect(news.get(), &gui::SetupModelNews::changed, page.get(),
                         &EscSetupPage::ShowChanges);
        page->show();
    }

    // A simulated ESC of `model`, identified and read; the page shows what the model holds.
    void Connect(int model) {
        page.reset();
        news.reset();
        rig.reset();
        esc = std::make_unique<sim::SimulatedEsc>(Link(), model);
        ASSERT_TRUE(esc->Start());
        Open();
        rig->monitor.ChooseEsc();
        TickOnLinkThread(2);
        ASSERT_EQ(rig->link.GetDeviceState(), DeviceState::Connected);
        ASSERT_EQ(rig->setup.ModelType(), model);
        ASSERT_TRUE(rig->setup.HasValidRecord());
        ASSERT_TRUE(WaitShowsModel());
    }

    // Runs the poll away from the UI thread and keeps the UI thread's events flowing meanwhile.
    void TickOnLinkThread(int times = 1) {
        auto done = std::async(std::launch::async, [this, times] { rig->Tick(times); });
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return done.wait_for(std::chrono::seconds(0)) == std::future_status::ready; },
            60000));
        done.get();
    }

    // Every parameter list shows the model's entries, enabled state and selection.
    ::testing::AssertionResult ShowsModel() const {
        const SetupState state = rig->setup.Snapshot();
        for (const ParamId id : kParameters) {
            const OptionList& option = state.List(id);
            const SkinComboBox* list = page->List(id);
            if (list->count() != static_cast<int>(option.entries.size())) {
                return ::testing::AssertionFailure() << "list " << id << " has " << list->count()
                                                     << " entries, model " << option.entries.size();
            }
            for (int i = 0; i < list->count(); ++i) {
                if (list->itemText(i).toStdString() !=
                    option.entries[static_cast<std::size_t>(i)]) {
                    return ::testing::AssertionFailure() << "list " << id << " entry " << i;
                }
            }
            // A list the model has no entries for takes no input either.
            const bool usable = option.enabled && option.writable && !option.entries.empty();
            if (list->isEnabled() != usable) {
                return ::testing::AssertionFailure() << "list " << id << " enabled state";
            }
            if (list->currentIndex() != option.selection) {
                return ::testing::AssertionFailure()
                       << "list " << id << " shows " << list->currentIndex() << ", model "
                       << option.selection;
            }
        }
        return ::testing::AssertionSuccess();
    }
    ::testing::AssertionResult WaitShowsModel() const {
        if (QTest::qWaitFor([this] { return static_cast<bool>(ShowsModel()); }, kWaitMs)) {
            return ::testing::AssertionSuccess();
        }
        return ShowsModel();
    }

    // Picks entry `index` the way a user does: opens the list and clicks the entry.
    static void Choose(SkinComboBox* list, int index) {
        Pick(list, index);
        ASSERT_EQ(list->currentIndex(), index);
    }
    static void Pick(SkinComboBox* list, int index) {
        list->showPopup();
        QAbstractItemView* view = list->view();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(view->window()));
        const QModelIndex item = list->model()->index(index, 0);
        view->scrollTo(item);
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(item).center());
        ASSERT_TRUE(QTest::qWaitFor([&] { return !view->window()->isVisible(); }, kWaitMs));
    }

    std::vector<ParamId> ShownUnsentMarks() const {
        std::vector<ParamId> shown;
        for (const ParamId id : kParameters) {
            if (page->findChild<QLabel*>(gui::EscSetupPage::ListName(id) + " unsent")->isVisible())
                shown.push_back(id);
        }
        return shown;
    }

    static QPoint OnePixelInside(const QRect& r) { return r.topLeft() + QPoint(1, 1); }

    void WriteSheet(const std::string& category, const std::string& name, const std::string& text) {
        const auto folder = dir.Path() / "Profile" / category;
        std::filesystem::create_directories(folder);
        std::ofstream(folder / name) << text;
    }

    test::TempDir dir;
    std::unique_ptr<sim::SimulatedEsc> esc;
    std::unique_ptr<test::Rig> rig;
    std::unique_ptr<gui::SetupModelNews> news;
    std::unique_ptr<EscSetupPage> page;
    std::vector<QString> questions;  // asked before unsent changes would be lost
    bool answer = true;
    int compared = 0;  // compare views shown
    bool take = true;  // the compare view's answer: every row, or cancelled
};

TEST_F(EscSetupPageTest, StartsEmptyWithCategoriesAndTheGivenTextSize) {
    Open(120);
    EXPECT_EQ(page->size(), QSize(985, 630));
    EXPECT_EQ(page->TextSize(), 120);
    for (const ParamId id : kAllLists) {
        ASSERT_NE(page->List(id), nullptr) << id;
        EXPECT_EQ(page->List(id)->FontSize(), 120) << id;
        EXPECT_EQ(page->List(id)->FontFace(), "Microsoft Sans Serif") << id;
    }
    for (const ParamId id : kParameters) {
        EXPECT_EQ(page->List(id)->count(), 0) << id;
        EXPECT_TRUE(page->List(id)->isEnabled()) << id;
    }
    SkinComboBox* category = page->List(ParamId::Category);
    ASSERT_EQ(category->count(), 12);
    EXPECT_EQ(category->itemText(0), "Modify Touring");
    // Its folder lacks the closing parenthesis; the list shows it closed.
    EXPECT_EQ(category->itemText(4), "Blinky Mode (zero timing)");
    EXPECT_EQ(category->itemText(11), "1-12 On road");
    EXPECT_EQ(category->currentIndex(), -1);  // no sheet is loaded before the user picks one
    EXPECT_EQ(page->List(ParamId::SetupSheet)->count(), 0);

    EXPECT_FALSE(page->findChild<QPlainTextEdit*>("memo")->isVisible());
    EXPECT_TRUE(page->findChild<QPlainTextEdit*>("memo")->isReadOnly());
    EXPECT_FALSE(page->findChild<QLabel*>("infoCaptions")->isVisible());
    EXPECT_FALSE(page->findChild<QLabel*>("modelName")->isVisible());
    EXPECT_TRUE(page->findChild<QLabel*>("firmwareText")->isVisible());
    EXPECT_EQ(MiddleCaptions(), gui::kBmpMiddleCaptions);

    // The page is black and its texts light.
    const QImage shot = page->grab().toImage();
    EXPECT_EQ(shot.pixelColor(200, 30), QColor(Qt::black));
    EXPECT_EQ(page->findChild<QLabel*>("info1")->palette().color(QPalette::WindowText),
              QColor(234, 234, 234));
    EXPECT_EQ(page->findChild<QPlainTextEdit*>("memo")->palette().color(QPalette::Text),
              QColor(234, 234, 234));
}

TEST_F(EscSetupPageTest, ReadShowsTheRecordInEveryList) {
    for (const int model : {1, 8, 12, 13, 14, 16}) {
        SCOPED_TRACE(model);
        Connect(model);
        if (HasFailure()) return;
        const auto record = sim::FactoryRecord(model);
        for (const ParamId id : kParameters) {
            const SkinComboBox* list = page->List(id);
            if (list->isEnabled() && list->count() > 0) {
                EXPECT_GE(list->currentIndex(), 0) << "list " << id << " has no selection";
            }
        }
        // Straight from the device's bytes, past the codec: raw-coded parameters.
        EXPECT_EQ(page->List(ParamId::OperationMode)->currentIndex(), record[0]);
        EXPECT_EQ(page->List(ParamId::DragBrake)->currentIndex(), record[DragBrakeByte(model)]);
        EXPECT_EQ(page->List(ParamId::RotationMode)->currentIndex(),
                  record[RotationModeByte(model)]);
        EXPECT_EQ(page->List(ParamId::DragBrake)->currentText().toStdString(),
                  rig->setup.Snapshot()
                      .List(ParamId::DragBrake)
                      .entries.at(record[DragBrakeByte(model)]));

        EXPECT_EQ(MiddleCaptions(), UsesAlternateMiddleCaptions(model) ? gui::kBmpMiddleCaptionsAlt
                                                                       : gui::kBmpMiddleCaptions);
        const std::string firmware = rig->setup.FirmwareText();
        EXPECT_FALSE(firmware.empty());
        EXPECT_EQ(page->findChild<QLabel*>("firmwareText")->text().toStdString(), firmware);
        EXPECT_EQ(page->findChild<QLabel*>("modelName")->text().toStdString(),
                  rig->setup.ModelNameText());

        if (model == 16) {
            // Lists the model has no setting for say so, take no input and tell why.
            for (const ParamId id :
                 {ParamId::PwLvSwPoint, ParamId::PowerLevel2, ParamId::DriveMode}) {
                const SkinComboBox* list = page->List(id);
                EXPECT_FALSE(list->isEnabled()) << id;
                EXPECT_EQ(list->currentIndex(), -1) << id;
                EXPECT_EQ(list->placeholderText(), EscSetupPage::kNotUsedText) << id;
                EXPECT_TRUE(list->toolTip().startsWith("This ESC has no ")) << id;
            }
            if (const char* shot = std::getenv("VORNA_PAGE_SHOT")) page->grab().save(shot);
        }
    }
}

TEST_F(EscSetupPageTest, CaptionPictureFollowsEveryIdentification) {
    Connect(14);
    ASSERT_FALSE(HasFailure());
    EXPECT_EQ(MiddleCaptions(), gui::kBmpMiddleCaptionsAlt);
    const QImage alternate = page->findChild<QLabel*>("middleCaptions")->grab().toImage();

    // The ESC update identifies again from its own thread.
    std::async(std::launch::async, [this] {
        rig->setup.RecognizeModel(sim::IdentityForModel(8));
    }).get();
    ASSERT_TRUE(
        QTest::qWaitFor([this] { return MiddleCaptions() == gui::kBmpMiddleCaptions; }, kWaitMs));
    EXPECT_TRUE(WaitShowsModel());
    EXPECT_NE(page->findChild<QLabel*>("middleCaptions")->grab().toImage(), alternate);
}

TEST_F(EscSetupPageTest, PickInAListIsSentWithTheSendPicture) {
    Connect(16);
    ASSERT_FALSE(HasFailure());
    SkinComboBox* drag = page->List(ParamId::DragBrake);
    const int before = drag->currentIndex();
    const int chosen = (before + 3) % drag->count();
    Choose(drag, chosen);
    ASSERT_FALSE(HasFailure());
    EXPECT_EQ(rig->setup.Snapshot().List(ParamId::DragBrake).selection, chosen);
    EXPECT_FALSE(rig->setup.WriteRequested());  // a pick alone sends nothing

    QTest::mouseClick(page.get(), Qt::LeftButton, {},
                      OnePixelInside(page->findChild<QLabel*>("sendPicture")->geometry()));
    EXPECT_TRUE(rig->setup.WriteRequested());
    EXPECT_FALSE(rig->setup.DefaultRequested());
    esc->ClearLogs();
    TickOnLinkThread();
    EXPECT_FALSE(rig->setup.WriteRequested());
    const auto pairs = esc->Pairs();
    const std::pair<std::uint8_t, std::uint8_t> expected{0xE2, static_cast<std::uint8_t>(chosen)};
    EXPECT_NE(std::find(pairs.begin(), pairs.end(), expected), pairs.end());
    EXPECT_EQ(esc->Record()[1], chosen);
    EXPECT_EQ(esc->WritesEnded(), 1);
    EXPECT_TRUE(ShowsModel());
}

// A marked list has a white outline on its face's edge.
bool OutlinedWhite(QWidget* list) {
    const QImage face = list->grab().toImage();
    return face.pixelColor(0, face.height() / 2) == Qt::white &&
           face.pixelColor(face.width() - 1, face.height() / 2) == Qt::white;
}

TEST_F(EscSetupPageTest, ChangedListsAreMarkedUntilTheSendIsReadBack) {
    Connect(16);
    ASSERT_FALSE(HasFailure());
    EXPECT_TRUE(ShownUnsentMarks().empty());
    SkinComboBox* drag = page->List(ParamId::DragBrake);
    Choose(drag, (drag->currentIndex() + 3) % drag->count());
    ASSERT_FALSE(HasFailure());
    ASSERT_TRUE(QTest::qWaitFor(
        [this] { return ShownUnsentMarks() == std::vector<ParamId>{ParamId::DragBrake}; },
        kWaitMs));
    EXPECT_FALSE(
        page->findChild<QLabel*>(gui::EscSetupPage::ListName(ParamId::DragBrake) + " unsent")
            ->geometry()
            .intersects(drag->geometry()));
    EXPECT_TRUE(OutlinedWhite(drag));
    EXPECT_TRUE(drag->toolTip().contains(EscSetupPage::kUnsentTip));

    QTest::mouseClick(page.get(), Qt::LeftButton, {},
                      OnePixelInside(page->findChild<QLabel*>("sendPicture")->geometry()));
    TickOnLinkThread(2);  // the write, then its read-back
    EXPECT_TRUE(QTest::qWaitFor([this] { return ShownUnsentMarks().empty(); }, kWaitMs));
    EXPECT_FALSE(OutlinedWhite(drag));
}

TEST_F(EscSetupPageTest, DriveModePickCarriesItsDependency) {
    Connect(13);
    ASSERT_FALSE(HasFailure());
    SkinComboBox* driveMode = page->List(ParamId::DriveMode);
    ASSERT_EQ(driveMode->count(), 2);
    ASSERT_TRUE(page->List(ParamId::TurboTiming)->isEnabled());

    Choose(driveMode, 1);
    Choose(driveMode, 0);
    ASSERT_FALSE(HasFailure());
    ASSERT_TRUE(
        QTest::qWaitFor([this] { return !page->List(ParamId::TurboDelay)->isEnabled(); }, kWaitMs));
    EXPECT_FALSE(page->List(ParamId::TurboTiming)->isEnabled());
    EXPECT_EQ(page->List(ParamId::TurboTiming)->currentIndex(), -1);
    EXPECT_EQ(page->List(ParamId::TurboDelay)->currentIndex(), -1);
    EXPECT_TRUE(WaitShowsModel());

    Choose(driveMode, 1);
    ASSERT_FALSE(HasFailure());
    ASSERT_TRUE(
        QTest::qWaitFor([this] { return page->List(ParamId::TurboDelay)->isEnabled(); }, kWaitMs));
    EXPECT_TRUE(page->List(ParamId::TurboTiming)->isEnabled());
    EXPECT_TRUE(WaitShowsModel());
}

TEST_F(EscSetupPageTest, ValuesOfAnEscNoLongerThereAreClearedAndSaySo) {
    Connect(16);
    ASSERT_FALSE(HasFailure());
    SkinComboBox* drag = page->List(ParamId::DragBrake);
    EXPECT_TRUE(drag->placeholderText().isEmpty());
    rig->monitor.ChooseFixMode();  // whatever answers now is not the ESC that was read
    ASSERT_TRUE(QTest::qWaitFor([&] { return drag->currentIndex() < 0; }, kWaitMs));
    EXPECT_EQ(drag->placeholderText(), EscSetupPage::kNotReadText);
}

TEST_F(EscSetupPageTest, DefaultPictureRestoresTheFactorySettings) {
    const int model = 16;
    Connect(model);
    ASSERT_FALSE(HasFailure());
    const auto factory = sim::FactoryRecord(model);
    SkinComboBox* drag = page->List(ParamId::DragBrake);
    Choose(drag, (drag->currentIndex() + 5) % drag->count());
    ASSERT_FALSE(HasFailure());
    QTest::mouseClick(page.get(), Qt::LeftButton, {},
                      OnePixelInside(page->findChild<QLabel*>("sendPicture")->geometry()));
    TickOnLinkThread(2);  // the write and its read-back
    ASSERT_NE(esc->Record(), factory);
    const std::string sent = drag->currentText().toStdString();

    // Asked first: No restores nothing.
    const std::filesystem::path data = dir / "data";
    ::setenv("XDG_DATA_HOME", data.c_str(), 1);
    answer = false;
    QTest::mouseClick(page.get(), Qt::LeftButton, {},
                      OnePixelInside(page->findChild<QLabel*>("defaultPicture")->geometry()));
    ASSERT_EQ(questions.size(), 1u);
    EXPECT_NE(questions[0].indexOf("replaced"), -1) << questions[0].toStdString();
    EXPECT_FALSE(rig->setup.DefaultRequested());
    EXPECT_FALSE(std::filesystem::exists(data));

    // Yes: the link keeps the ESC's settings in a backup file first, then restores.
    answer = true;
    QTest::mouseClick(page.get(), Qt::LeftButton, {},
                      OnePixelInside(page->findChild<QLabel*>("defaultPicture")->geometry()));
    EXPECT_TRUE(rig->setup.DefaultRequested());
    EXPECT_FALSE(rig->setup.WriteRequested());
    TickOnLinkThread();
    ::unsetenv("XDG_DATA_HOME");
    const std::filesystem::path backups = data / "vorna-link" / "backups";
    ASSERT_TRUE(std::filesystem::is_directory(backups));
    const std::filesystem::path saved = std::filesystem::directory_iterator(backups)->path();
    EXPECT_NE(test::ReadText(saved).find("Drag Brake=" + sent), std::string::npos);
    ASSERT_EQ(rig->view.Restores().size(), 1u);
    EXPECT_EQ(test::BackupPath(rig->view.Restores()[0].backup), saved.string());
    EXPECT_FALSE(rig->setup.DefaultRequested());
    EXPECT_EQ(esc->Restores(), 1);
    EXPECT_EQ(esc->Record(), factory);
    ASSERT_TRUE(QTest::qWaitFor([&] { return drag->currentIndex() == factory[1]; }, kWaitMs));
    EXPECT_TRUE(WaitShowsModel());
}

TEST_F(EscSetupPageTest, OnlyPressesStrictlyInsideThePicturesAreRequests) {
    Open();
    struct Picture {
        QRect rect;
        std::function<bool()> requested;
        std::function<void()> clear;
    };
    const Picture pictures[] = {
        {page->findChild<QLabel*>("sendPicture")->geometry(),
         [this] { return rig->setup.WriteRequested(); },
         [this] { rig->setup.ClearWriteRequest(); }},
        {page->findChild<QLabel*>("defaultPicture")->geometry(),
         [this] { return rig->setup.DefaultRequested(); },
         [this] { rig->setup.ClearDefaultRequest(); }},
    };
    EXPECT_EQ(page->findChild<QLabel*>("sendPicture")->geometry(), QRect(540, 550, 110, 60));
    EXPECT_EQ(page->findChild<QLabel*>("defaultPicture")->geometry(), QRect(350, 550, 110, 60));
    for (const Picture& p : pictures) {
        const QRect r = p.rect;
        const int midX = r.left() + r.width() / 2;
        const int midY = r.top() + r.height() / 2;
        const QPoint outline[] = {{r.left(), midY},
                                  {r.left() + r.width(), midY},
                                  {midX, r.top()},
                                  {midX, r.top() + r.height()}};
        for (const QPoint& at : outline) {
            QTest::mouseClick(page.get(), Qt::LeftButton, {}, at);
            EXPECT_FALSE(rig->setup.WriteRequested() || rig->setup.DefaultRequested())
                << at.x() << "," << at.y();
            QTest::mouseMove(page.get(), at);
            EXPECT_NE(page->cursor().shape(), Qt::PointingHandCursor) << at.x() << "," << at.y();
        }
        QTest::mouseClick(page.get(), Qt::RightButton, {}, QPoint(midX, midY));
        EXPECT_FALSE(p.requested());

        for (const QPoint& at :
             {OnePixelInside(r), r.topLeft() + QPoint(r.width() - 1, r.height() - 1)}) {
            QTest::mouseMove(page.get(), at);
            EXPECT_EQ(page->cursor().shape(), Qt::PointingHandCursor);
            QTest::mouseClick(page.get(), Qt::LeftButton, {}, at);
            EXPECT_TRUE(p.requested()) << at.x() << "," << at.y();
            p.clear();
        }
        QTest::mouseMove(page.get(), QPoint(5, 5));
        EXPECT_NE(page->cursor().shape(), Qt::PointingHandCursor);
    }
    EXPECT_FALSE(rig->setup.WriteRequested() || rig->setup.DefaultRequested());

    // Without an ESC read to send to, neither picture takes a click or the keyboard.
    page->SetSendReady(false, "No ESC answers.");
    for (const Picture& p : pictures) {
        QTest::mouseClick(page.get(), Qt::LeftButton, {}, p.rect.center());
        EXPECT_FALSE(p.requested());
    }
    EXPECT_FALSE(page->findChild<gui::PictureButton*>("sendButton")->isEnabled());
    EXPECT_FALSE(page->findChild<gui::PictureButton*>("defaultButton")->isEnabled());
}

TEST_F(EscSetupPageTest, KeysPressSendAndDefaultWhileTheMouseStaysWithThePage) {
    Open();
    // A mouse press must reach the page, which alone knows the pictures' strict edges.
    EXPECT_EQ(page->childAt(page->findChild<QLabel*>("sendPicture")->geometry().center()), nullptr);
    EXPECT_EQ(page->childAt(page->findChild<QLabel*>("defaultPicture")->geometry().center()),
              nullptr);

    QTest::keyClick(page->findChild<gui::PictureButton*>("sendButton"), Qt::Key_Space);
    EXPECT_TRUE(rig->setup.WriteRequested());
    rig->setup.ClearWriteRequest();
    QTest::keyClick(page->findChild<gui::PictureButton*>("defaultButton"), Qt::Key_Return);
    EXPECT_TRUE(rig->setup.DefaultRequested());
    EXPECT_FALSE(rig->setup.WriteRequested());
}

TEST_F(EscSetupPageTest, SetupSheetsFillTheListsAndTheCommentPanel) {
    Connect(16);
    ASSERT_FALSE(HasFailure());
    // A list says what its setting does in its tooltip and, while it has the focus, in the help
    // line: type 16 shows Boost ACC as Boost Timing Activation, and explains that one.
    const auto help = [](ParamId id, bool alternate) {
        const std::string_view text = ParameterHelp(id, alternate);
        return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    };
    EXPECT_TRUE(
        page->List(ParamId::DragBrake)->toolTip().contains(help(ParamId::DragBrake, false)));
    QFocusEvent focusIn(QEvent::FocusIn);
    QCoreApplication::sendEvent(page->List(ParamId::BoostAcc), &focusIn);
    EXPECT_EQ(page->findChild<QLabel*>("helpLine")->text(),
              "Boost Timing Activation: " + help(ParamId::BoostAcc, true));
    QFocusEvent focusOut(QEvent::FocusOut);
    QCoreApplication::sendEvent(page->List(ParamId::BoostAcc), &focusOut);
    EXPECT_TRUE(page->findChild<QLabel*>("helpLine")->text().isEmpty());
    const SetupState read = rig->setup.Snapshot();
    const auto& dragEntries = read.List(ParamId::DragBrake).entries;
    const auto& fullEntries = read.List(ParamId::FullBrake).entries;
    ASSERT_GE(dragEntries.size(), 8u);
    ASSERT_GE(fullEntries.size(), 3u);

    WriteSheet("Modify Touring", "b.ini",
               "[option]\nDrag Brake=" + dragEntries[7] + "\nFull Brake=" + fullEntries[2] +
                   "\n[info]\nDriver=Bo\nTemp Track=\n[memo]\nmemo=Hidden without a track "
                   "temperature\n");
    WriteSheet("Modify Touring", "A.ini",
               "[option]\nDrag Brake=" + dragEntries[6] +
                   "\n[info]\nDriver=Ann <b>Lee</b>\n"
                   "Date=2024-05-01\nRotor=12.5\nTemp Track=25C\n[memo]\nmemo=Warm track, light "
                   "drag brake\n");
    WriteSheet("Modify Touring", "notes.txt", "not a sheet");
    WriteSheet("Fun Car", "c.ini", "[option]\nDrag Brake=" + dragEntries[1] + "\n");
    std::filesystem::create_directories(dir.Path() / "Profile" / "Drift Car");

    // A category without sheets loads nothing.
    Choose(page->List(ParamId::Category), 8);
    ASSERT_FALSE(HasFailure());
    EXPECT_EQ(page->List(ParamId::SetupSheet)->count(), 0);
    // A wrongly queued refresh would land once the posted events are handled.
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
    for (const ParamId id : kParameters) {
        EXPECT_EQ(rig->setup.Snapshot().List(id).selection, read.List(id).selection) << id;
    }
    EXPECT_TRUE(ShowsModel());
    EXPECT_FALSE(page->findChild<QPlainTextEdit*>("memo")->isVisible());

    // A, then b, case ignored; the first is loaded at once.
    Choose(page->List(ParamId::Category), 0);
    ASSERT_FALSE(HasFailure());
    SkinComboBox* sheets = page->List(ParamId::SetupSheet);
    ASSERT_EQ(sheets->count(), 2);
    EXPECT_EQ(sheets->itemText(0), "A");
    EXPECT_EQ(sheets->itemText(1), "b");
    EXPECT_EQ(sheets->currentIndex(), 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return page->List(ParamId::DragBrake)->currentIndex() == 6; },
                                kWaitMs));
    // A key the sheet lacks leaves its list at the ESC's value, and the page says so.
    EXPECT_EQ(page->List(ParamId::FullBrake)->currentIndex(),
              read.List(ParamId::FullBrake).selection);
    EXPECT_TRUE(page->findChild<QLabel*>("sheetNote")->isVisible());
    EXPECT_TRUE(page->findChild<QLabel*>("sheetNote")->toolTip().contains("Full Brake"));
    EXPECT_FALSE(page->findChild<QLabel*>("sheetNote")->toolTip().contains("Drag Brake"));
    EXPECT_TRUE(questions.empty());  // nothing unsent was there to lose
    EXPECT_TRUE(WaitShowsModel());
    EXPECT_EQ(page->findChild<QLabel*>("info1")->text(),
              "Ann <b>Lee</b>");  // shown as written, not as markup
    EXPECT_EQ(page->findChild<QLabel*>("info2")->text(), "2024-05-01");
    EXPECT_EQ(page->findChild<QLabel*>("info8")->text(), "12.5");
    EXPECT_EQ(page->findChild<QLabel*>("info13")->text(), "25C");
    EXPECT_EQ(page->findChild<QPlainTextEdit*>("memo")->toPlainText(),
              "Warm track, light drag brake");
    EXPECT_TRUE(page->findChild<QPlainTextEdit*>("memo")->isVisible());
    EXPECT_TRUE(page->findChild<QLabel*>("infoCaptions")->isVisible());

    // Loading sends nothing; the send picture does.
    esc->ClearLogs();
    TickOnLinkThread();
    EXPECT_TRUE(esc->Pairs().empty());
    EXPECT_EQ(esc->Record(), sim::FactoryRecord(16));

    Choose(sheets, 1);
    ASSERT_FALSE(HasFailure());
    ASSERT_TRUE(QTest::qWaitFor([&] { return page->List(ParamId::DragBrake)->currentIndex() == 7; },
                                kWaitMs));
    EXPECT_EQ(page->List(ParamId::FullBrake)->currentIndex(), 2);
    // Sheet A's values were not sent: the compare view, not a question, says what changes.
    EXPECT_TRUE(questions.empty());
    EXPECT_EQ(compared, 2);
    EXPECT_EQ(page->findChild<QLabel*>("info1")->text(), "Bo");
    EXPECT_EQ(page->findChild<QLabel*>("info2")->text(), "");
    EXPECT_FALSE(page->findChild<QPlainTextEdit*>("memo")->isVisible());
    EXPECT_FALSE(page->findChild<QLabel*>("infoCaptions")->isVisible());

    // Cancelling the compare view puts either chooser back and loads nothing.
    take = false;
    Pick(sheets, 0);
    ASSERT_FALSE(HasFailure());
    EXPECT_EQ(sheets->currentIndex(), 1);
    Pick(page->List(ParamId::Category), 9);
    ASSERT_FALSE(HasFailure());
    EXPECT_EQ(page->List(ParamId::Category)->currentIndex(), 0);
    EXPECT_EQ(sheets->count(), 2);
    EXPECT_EQ(compared, 4);
    EXPECT_EQ(rig->setup.Snapshot().List(ParamId::DragBrake).selection, 7);

    QTest::mouseClick(page.get(), Qt::LeftButton, {},
                      OnePixelInside(page->findChild<QLabel*>("sendPicture")->geometry()));
    TickOnLinkThread();
    const auto pairs = esc->Pairs();
    EXPECT_NE(std::find(pairs.begin(), pairs.end(), std::pair<std::uint8_t, std::uint8_t>{0xE2, 7}),
              pairs.end());
    EXPECT_EQ(esc->Record()[1], 7);
}

// A sheet's name and comment describe the lists it was loaded into: an ESC unplugged takes
// them away, and no model's lists are shown until the next ESC is identified.
TEST_F(EscSetupPageTest, AnUnpluggedEscTakesTheSheetAndItsModelsListsAway) {
    Connect(16);
    ASSERT_FALSE(HasFailure());
    const auto drag = rig->setup.Snapshot().List(ParamId::DragBrake).entries;
    WriteSheet("Modify Touring", "A.ini",
               "[option]\nDrag Brake=" + drag[6] +
                   "\n[info]\nDriver=Ann\nTemp Track=25C\n[memo]\nmemo=Warm track\n");
    Choose(page->List(ParamId::Category), 0);
    ASSERT_FALSE(HasFailure());
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return page->findChild<QPlainTextEdit*>("memo")->isVisible(); }, kWaitMs));
    ASSERT_EQ(page->findChild<QLabel*>("info1")->text(), "Ann");

    esc->Unplug();
    TickOnLinkThread();
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return page->List(ParamId::DragBrake)->count() == 0; }, kWaitMs));
    EXPECT_EQ(page->findChild<QLabel*>("info1")->text(), "");
    EXPECT_FALSE(page->findChild<QPlainTextEdit*>("memo")->isVisible());
    EXPECT_EQ(page->List(ParamId::SetupSheet)->currentIndex(), -1);
    for (const ParamId id : kParameters) {
        EXPECT_FALSE(page->List(id)->property("notUsed").toBool()) << id;
    }
    ASSERT_TRUE(esc->Replug());
    TickOnLinkThread(2);
    EXPECT_TRUE(WaitShowsModel());
}

// Drawn so small that a caption does not fit at the smallest readable size, it is cut short
// rather than drawn smaller, and its row of the caption picture gives the whole caption.
TEST_F(EscSetupPageTest, ACaptionCutShortGivesItsWholeTextAsTooltip) {
    Connect(16);
    ASSERT_FALSE(HasFailure());
    const gui::SkinScale small(0.5);
    page->SetScale(small);
    const ParameterRow* row = FindParameterRow(ParamId::BoostAcc);
    ASSERT_NE(row, nullptr);
    const QString caption =
        QString::fromUtf8(row->alternate.data(), static_cast<qsizetype>(row->alternate.size()));
    ASSERT_EQ(caption, "Boost Timing Activation");
    EXPECT_TRUE(gui::SkinTextElided(caption, small));
    const gui::skin::SetupColumn& column = gui::skin::ColumnOf(row->column);
    const QPoint at =
        small.Point(QPoint(column.listLeft - 40, column.listTop + column.pitch * row->row + 8));
    QHelpEvent help(QEvent::ToolTip, at, page->mapToGlobal(at));
    QApplication::sendEvent(page.get(), &help);
    EXPECT_EQ(QToolTip::text(), caption);
    QToolTip::hideText();
    EXPECT_FALSE(gui::SkinTextElided(caption, gui::SkinScale(1.0)));
}

// On a small screen the page shrinks while its texts keep their size. Every setting's help,
// under either caption, still shows whole in the help line, beside the sheet's comment and no
// smaller than the smallest readable size.
TEST_F(EscSetupPageTest, EveryHelpShowsWholeOnASmallScreen) {
    Open();
    for (const int model : {0, 16}) {  // the usual captions, then the alternate ones
        if (model != 0) Connect(model);
        ASSERT_FALSE(HasFailure());
        page->SetScale(gui::SkinScale(0.8));
        const auto* help = page->findChild<QLabel*>("helpLine");
        const auto* memo = page->findChild<QPlainTextEdit*>("memo");
        for (const ParamId id : kParameters) {
            QFocusEvent focusIn(QEvent::FocusIn);
            QCoreApplication::sendEvent(page->List(id), &focusIn);
            const std::string text = help->text().toStdString();
            ASSERT_FALSE(text.empty()) << id;
            EXPECT_LE(help->heightForWidth(help->width()), help->height()) << text;
            EXPECT_GE(QFontInfo(help->font()).pixelSize(), gui::kSmallestTextPx) << text;
            EXPECT_FALSE(help->geometry().intersects(memo->geometry())) << text;
            EXPECT_GE(memo->height(), 2 * QFontMetrics(memo->font()).lineSpacing()) << text;
        }
    }
}

// A sheet that leaves most lists at the ESC's values, loaded at full size and then drawn for a
// small screen: the note says so in words that fit its line, counting them right, and its
// tooltip still names every one.
TEST_F(EscSetupPageTest, TheNoteOfListsLeftFitsItsLineOnASmallScreen) {
    Connect(16);
    ASSERT_FALSE(HasFailure());
    const auto drag = rig->setup.Snapshot().List(ParamId::DragBrake).entries;
    ASSERT_GE(drag.size(), 7u);
    WriteSheet("Modify Touring", "A.ini", "[option]\nDrag Brake=" + drag[6] + "\n");
    Choose(page->List(ParamId::Category), 0);
    ASSERT_FALSE(HasFailure());
    const auto* note = page->findChild<QLabel*>("sheetNote");
    ASSERT_TRUE(note->isVisible());
    const qsizetype left = note->toolTip().count(QLatin1Char('\n'));  // a name a line
    ASSERT_GE(left, 10);

    page->SetScale(gui::SkinScale(0.8));
    const QString text = note->text();
    EXPECT_LE(note->sizeHint().width(), note->width()) << text.toStdString();
    EXPECT_LE(note->sizeHint().height(), note->height()) << text.toStdString();
    EXPECT_EQ(note->toolTip().count(QLatin1Char('\n')), left);
    const QRegularExpressionMatch some = QRegularExpression(": (.+) and (\\d+) more$").match(text);
    const QRegularExpressionMatch none = QRegularExpression(": (\\d+) settings$").match(text);
    ASSERT_TRUE(some.hasMatch() || none.hasMatch()) << text.toStdString();
    const qsizetype said = some.hasMatch() ? some.captured(1).count(QStringLiteral(", ")) + 1 +
                                                 some.captured(2).toInt()
                                           : none.captured(1).toInt();
    EXPECT_EQ(said, left) << text.toStdString();
}

TEST_F(EscSetupPageTest, ASheetTooLargeIsRefusedAndChangesNothing) {
    Connect(16);
    ASSERT_FALSE(HasFailure());
    std::vector<QString> informed;
    page->SetInform([&](QWidget*, const QString& text) { informed.push_back(text); });
    const auto drag = rig->setup.Snapshot().List(ParamId::DragBrake).entries;
    ASSERT_GE(drag.size(), 8u);
    const std::string padding(kMaxIniFileBytes, ';');
    WriteSheet("Modify Touring", "a.ini",
               "[option]\nDrag Brake=" + drag[6] + "\n[info]\nDriver=Ann\n");
    WriteSheet("Modify Touring", "b.ini", "[option]\nDrag Brake=" + drag[7] + "\n" + padding);
    WriteSheet("Fun Car", "huge.ini", "[option]\nDrag Brake=" + drag[7] + "\n" + padding);

    Choose(page->List(ParamId::Category), 0);
    ASSERT_FALSE(HasFailure());
    ASSERT_EQ(rig->setup.Snapshot().List(ParamId::DragBrake).selection, 6);

    // Refused: the lists, the texts and the chooser stay with sheet a.
    SkinComboBox* sheets = page->List(ParamId::SetupSheet);
    Pick(sheets, 1);
    ASSERT_FALSE(HasFailure());
    ASSERT_EQ(informed.size(), 1u);
    const std::string big = (dir.Path() / "Profile" / "Modify Touring" / "b.ini").string();
    EXPECT_TRUE(informed[0].contains(QString::fromStdString(big))) << informed[0].toStdString();
    EXPECT_TRUE(informed[0].contains("1 MiB (1048576 bytes)")) << informed[0].toStdString();
    EXPECT_EQ(sheets->currentIndex(), 0);
    EXPECT_EQ(rig->setup.Snapshot().List(ParamId::DragBrake).selection, 6);
    EXPECT_EQ(page->findChild<QLabel*>("info1")->text(), "Ann");

    // A category whose first sheet is refused shows no sheet chosen.
    Choose(page->List(ParamId::Category), 9);
    ASSERT_FALSE(HasFailure());
    ASSERT_EQ(informed.size(), 2u);
    EXPECT_TRUE(informed[1].contains("huge.ini")) << informed[1].toStdString();
    EXPECT_EQ(sheets->currentIndex(), -1);
    EXPECT_EQ(rig->setup.Snapshot().List(ParamId::DragBrake).selection, 6);
    EXPECT_TRUE(WaitShowsModel());
}

}  // namespace
}  // namespace vorna
