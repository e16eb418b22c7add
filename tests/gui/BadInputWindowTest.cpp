// The window given bad input: message boxes show file and device texts as plain text, never
// as markup, and import and export refuse what is no settings file or must be left alone.
// On Qt's offscreen platform.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QDirIterator>
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "gui/MainWindow.h"
#include "gui/MessageBoxes.h"
#include "settings/IniFile.h"
#include "support/GuiApp.h"
#include "support/TestSupport.h"

namespace vorna {
namespace {

namespace fs = std::filesystem;
using gui::MainWindow;

constexpr int kWaitMs = 10000;
const QString kMarkup = QStringLiteral("<b>bold</b> <img src=\"x.png\"> <a href=\"y\">link</a>");

struct SeenBox {
    bool seen = false;
    Qt::TextFormat format = Qt::AutoText;
    QString text;
    QString shown;  // what the box's label holds
};

// Runs `open`, which raises a modal box; notes what the box shows and presses `button`.
SeenBox WithModalBox(const std::function<void()>& open,
                     QMessageBox::StandardButton button = QMessageBox::Ok) {
    SeenBox seen;
    QTimer::singleShot(0, qApp, [&] {
        QMessageBox* box = nullptr;
        static_cast<void>(QTest::qWaitFor(
            [&] {
                box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
                return box != nullptr;
            },
            kWaitMs));
        if (box == nullptr) return;
        seen.seen = true;
        seen.format = box->textFormat();
        seen.text = box->text();
        if (auto* label = box->findChild<QLabel*>("qt_msgbox_label")) {
            seen.shown = label->text();
            if (label->textFormat() != Qt::PlainText) seen.format = label->textFormat();
        }
        box->button(button)->click();
    });
    open();
    return seen;
}

class BadInputWindowTest : public ::testing::Test {
protected:
    void SetUp() override { test::EnsureGuiApp(); }

    // A window without a device; `presenter` false: its own message boxes.
    std::unique_ptr<MainWindow> Open(bool presenter = true) {
        MainWindow::Options options;
        options.location.fixedPath = (dir / "no-bridge").string();
        options.dataDir = dir.Path();
        options.startLink = false;
        if (presenter) {
            options.presenter = [this](QWidget*, const QString& text, bool) {
                messages.push_back(text);
            };
        }
        options.chooseSettingsFile = [this](QWidget*, gui::SettingsFileMenu::Choice,
                                            const QString&) { return chosen; };
        options.confirm = [this](QWidget*, const QString&) {
            ++confirmations;
            return true;
        };
        return std::make_unique<MainWindow>(options);
    }

    test::TempDir dir;
    QString chosen;
    std::vector<QString> messages;
    int confirmations = 0;
};

TEST_F(BadInputWindowTest, BoxesShowMarkupAsThePlainTextItIs) {
    SeenBox seen =
        WithModalBox([] { gui::ShowPlainMessage(nullptr, QMessageBox::Warning, kMarkup); });
    ASSERT_TRUE(seen.seen);
    EXPECT_EQ(seen.format, Qt::PlainText);
    EXPECT_EQ(seen.text, kMarkup);
    EXPECT_EQ(seen.shown, kMarkup);

    QMessageBox::StandardButton answer = QMessageBox::NoButton;
    seen = WithModalBox(
        [&] {
            answer = gui::ExecPlainBox(nullptr, QMessageBox::Question, kMarkup,
                                       QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
        },
        QMessageBox::Yes);
    ASSERT_TRUE(seen.seen);
    EXPECT_EQ(seen.format, Qt::PlainText);
    EXPECT_EQ(answer, QMessageBox::Yes);

    QMessageBox* open = gui::OpenPlainBox(nullptr, QMessageBox::Warning, kMarkup);
    EXPECT_EQ(open->textFormat(), Qt::PlainText);
    EXPECT_EQ(open->text(), kMarkup);
    open->close();
}

// Every box of the window comes from gui/MessageBoxes: no other file makes one of its own or
// calls QMessageBox's static helpers, whose text would be read as markup when it looks so, and
// whose box would not fit its text to the screen.
TEST_F(BadInputWindowTest, NoMessageBoxIsMadeOutsideThePlainOnes) {
    const QStringList made = {
        QStringLiteral("QMessageBox("),           QStringLiteral("QMessageBox box"),
        QStringLiteral("QMessageBox::warning("),  QStringLiteral("QMessageBox::information("),
        QStringLiteral("QMessageBox::critical("), QStringLiteral("QMessageBox::question("),
        QStringLiteral("QMessageBox::about("),    QStringLiteral("public QMessageBox"),
        QStringLiteral("QInputDialog"),           QStringLiteral("QErrorMessage"),
        QStringLiteral("QProgressDialog")};
    int files = 0;
    QDirIterator it(QStringLiteral(VORNA_SOURCE_DIR "/src/gui"), {"*.cpp", "*.h"}, QDir::Files,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        if (path.endsWith(QStringLiteral("/MessageBoxes.cpp"))) continue;
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
        const QString source = QString::fromUtf8(file.readAll());
        ++files;
        for (const QString& pattern : made) {
            EXPECT_FALSE(source.contains(pattern))
                << path.toStdString() << " makes a box of its own: " << pattern.toStdString();
        }
    }
    EXPECT_GT(files, 10);
}

TEST_F(BadInputWindowTest, TheWindowsOwnBoxSaysAFolderIsNoSettingsFileInPlainText) {
    auto w = Open(false);
    const fs::path folder = dir / "<b>bold</b>.cfg";
    fs::create_directories(folder);
    chosen = QString::fromStdString(folder.string());
    const SeenBox seen =
        WithModalBox([&] { w->findChild<QAction*>("importSettingsAction")->trigger(); });
    ASSERT_TRUE(seen.seen);
    EXPECT_EQ(seen.format, Qt::PlainText);
    EXPECT_TRUE(seen.shown.contains("<b>bold</b>.cfg\" is a folder, not a settings file"))
        << seen.shown.toStdString();
    EXPECT_EQ(confirmations, 0);
}

TEST_F(BadInputWindowTest, ImportRefusesOversizedFifoAndDeviceWithoutAsking) {
    auto w = Open();
    const SetupState before = w->SetupModel().Snapshot();
    const fs::path big = dir / "big.cfg";
    test::WriteText(big, "[option]\n" + std::string(kMaxIniFileBytes, ';'));
    chosen = QString::fromStdString(big.string());
    w->findChild<QAction*>("importSettingsAction")->trigger();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_TRUE(messages[0].contains(QString::fromStdString(big.string())));
    EXPECT_TRUE(messages[0].contains("1 MiB (1048576 bytes)")) << messages[0].toStdString();

    const fs::path fifo = dir / "pipe.cfg";
    test::MakeFifo(fifo);
    chosen = QString::fromStdString(fifo.string());
    // On the UI thread, as the window does it. A watchdog sets a blocking open free, so the
    // test fails instead of hanging.
    std::atomic<bool> ended{false};
    std::atomic<bool> blocked{false};
    std::thread watchdog([&] {
        for (int i = 0; i < 50 && !ended; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        if (ended) return;
        blocked = true;
        const int writer = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
        if (writer >= 0) ::close(writer);
    });
    w->findChild<QAction*>("importSettingsAction")->trigger();
    ended = true;
    watchdog.join();
    EXPECT_FALSE(blocked) << "importing a FIFO blocked";
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_TRUE(messages[1].contains("is not a regular file but a FIFO"))
        << messages[1].toStdString();

    chosen = QStringLiteral("/dev/zero");
    w->findChild<QAction*>("importSettingsAction")->trigger();
    ASSERT_EQ(messages.size(), 3u);
    EXPECT_TRUE(messages[2].contains("is not a regular file but a character device"))
        << messages[2].toStdString();

    EXPECT_EQ(confirmations, 0);
    for (const ParamId id : kParameters) {
        EXPECT_EQ(w->SetupModel().Snapshot().List(id).selection, before.List(id).selection);
    }
}

TEST_F(BadInputWindowTest, ExportRefusesAFolderNameAndKeepsAReadOnlyFile) {
    auto w = Open();
    chosen = QString::fromStdString((dir / "sub").string() + "/");
    w->findChild<QAction*>("exportSettingsAction")->trigger();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_TRUE(messages[0].contains("ends in a folder separator")) << messages[0].toStdString();
    EXPECT_FALSE(fs::exists(dir / "sub"));
    EXPECT_FALSE(fs::exists(dir / ".cfg"));

    // Refused from its mode bits, so for root as well.
    const fs::path kept = dir / "kept.cfg";
    test::WriteText(kept, "kept\n");
    ASSERT_EQ(::chmod(kept.c_str(), 0444), 0);
    chosen = QString::fromStdString(kept.string());
    w->findChild<QAction*>("exportSettingsAction")->trigger();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_TRUE(messages[1].contains("kept.cfg\" is read-only")) << messages[1].toStdString();
    EXPECT_EQ(test::ReadText(kept), "kept\n");
    struct stat st {};
    ASSERT_EQ(::stat(kept.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0444u);
}

}  // namespace
}  // namespace vorna
