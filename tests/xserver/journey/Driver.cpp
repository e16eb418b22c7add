#include "Driver.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPixmap>
#include <QPointer>
#include <QProcess>
#include <QScreen>
#include <QTest>
#include <QWidget>
#include <QWindow>

#include <atomic>
#include <chrono>
#include <thread>

namespace vorna::test {
namespace {

using namespace std::chrono_literals;

QString ShotFolder() {
    const QByteArray chosen = qgetenv("VORNA_JOURNEY_SHOTS");
    return chosen.isEmpty() ? QStringLiteral(VORNA_BINARY_DIR "/journey-shots")
                            : QString::fromLocal8Bit(chosen);
}

void Xdotool(const QStringList& arguments) {
    QProcess tool;
    tool.start(QStringLiteral("xdotool"), arguments);
    if (!tool.waitForFinished(Driver::kWaitMs) || tool.exitCode() != 0) {
        ADD_FAILURE() << "xdotool " << arguments.join(' ').toStdString()
                      << " failed: " << tool.readAllStandardError().toStdString();
    }
}

QString Plain(QString text) {
    return text.remove(QLatin1Char('&'));
}

// The boxes the window put up that are still showing.
QList<QDialog*> OpenBoxes() {
    QList<QDialog*> boxes;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* box = qobject_cast<QDialog*>(widget); box != nullptr && box->isVisible()) {
            boxes << box;
        }
    }
    return boxes;
}

}  // namespace

void Driver::Run(const std::function<void(Driver&)>& journey) {
    Driver driver;
    std::atomic<bool> done{false};
    std::thread thread([&] {
        journey(driver);
        // A box the journey left open would keep the window's thread in its loop for good.
        while (driver.Gui([] {
            const QList<QDialog*> boxes = OpenBoxes();
            for (QDialog* box : boxes) box->reject();
            return !boxes.isEmpty();
        })) {
            std::this_thread::sleep_for(100ms);
        }
        done = true;
    });
    while (!done) QTest::qWait(20);
    thread.join();
}

bool Driver::WaitFor(const std::function<bool()>& condition, int ms) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!Gui(condition)) {
        if (std::chrono::steady_clock::now() > until) return false;
        std::this_thread::sleep_for(50ms);
    }
    return true;
}

bool Driver::HoldsFor(const std::function<bool()>& condition, int ms) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < until) {
        if (!Gui(condition)) return false;
        std::this_thread::sleep_for(50ms);
    }
    return true;
}

void Driver::Mouse(QPoint global) {
    // The X server counts the screen's own pixels; a scaled desktop gives Qt fewer.
    const qreal ratio = Gui([] { return QGuiApplication::primaryScreen()->devicePixelRatio(); });
    Xdotool({"mousemove", "--sync", QString::number(qRound(global.x() * ratio)),
             QString::number(qRound(global.y() * ratio)), "click", "1"});
}

bool Driver::Click(const std::function<QWidget*()>& widget, QPoint at) {
    const auto [found, global] = Gui([&] {
        QWidget* w = widget();
        if (w == nullptr || !w->isVisible()) return std::pair{false, QPoint()};
        const QPoint local = at.x() < 0 ? w->rect().center() : at;
        return std::pair{true, w->mapToGlobal(local)};
    });
    if (found) Mouse(global);
    return found;
}

void Driver::Key(const QString& keys) {
    Xdotool({"key", "--clearmodifiers", keys});
}

bool Driver::Menu(QWidget* window, const QString& menu, const QString& entry) {
    QPointer<QMenu> open;
    const QPoint bar = Gui([&] {
        QMenuBar* menus = qobject_cast<QMainWindow*>(window)->menuBar();
        for (QAction* action : menus->actions()) {
            if (Plain(action->text()) != menu) continue;
            open = action->menu();
            return menus->mapTo(window, menus->actionGeometry(action).center());
        }
        return QPoint(-1, -1);
    });
    const bool clicked = bar.x() >= 0 && Click([&] { return window; }, bar);
    if (!clicked || open.isNull() || !WaitFor([&] { return open && open->isVisible(); })) {
        ADD_FAILURE() << "the menu " << menu.toStdString() << " did not open";
        return false;
    }
    const QPoint at = Gui([&] {
        for (QAction* action : open->actions()) {
            if (Plain(action->text()).startsWith(entry)) {
                return open->actionGeometry(action).center();
            }
        }
        return QPoint(-1, -1);
    });
    if (at.x() < 0) {
        ADD_FAILURE() << "the menu " << menu.toStdString() << " has no " << entry.toStdString();
        Key("Escape");
        return false;
    }
    Click([&] { return static_cast<QWidget*>(open.data()); }, at);
    return WaitFor([&] { return !open || !open->isVisible(); });
}

QPointer<QWidget> Driver::Box(const QString& words, int ms) {
    QPointer<QWidget> found;
    const bool shown = WaitFor(
        [&] {
            for (QDialog* box : OpenBoxes()) {
                auto* message = qobject_cast<QMessageBox*>(box);
                if (message != nullptr && message->text().contains(words) &&
                    box->windowHandle() != nullptr && box->windowHandle()->isExposed()) {
                    found = box;
                    return true;
                }
            }
            return false;
        },
        ms);
    return shown ? found : QPointer<QWidget>();
}

bool Driver::Answer(const QPointer<QWidget>& box, const QString& button) {
    const QPointer<QWidget>& guarded = box;
    const bool clicked = Click([&]() -> QWidget* {
        if (!guarded) return nullptr;
        for (QAbstractButton* each : guarded->findChildren<QAbstractButton*>()) {
            if (Plain(each->text()) == Plain(button) && each->isVisible()) return each;
        }
        return nullptr;
    });
    if (!clicked) {
        ADD_FAILURE() << "the box has no button " << button.toStdString();
        return false;
    }
    return WaitFor([&] { return !guarded || !guarded->isVisible(); });
}

bool Driver::Pick(const std::function<QWidget*()>& list, const QString& entry) {
    QPointer<QComboBox> box = Gui([&] { return qobject_cast<QComboBox*>(list()); });
    if (!Click(list) || !WaitFor([&] { return box && box->view()->isVisible(); }, kWaitMs / 3)) {
        return false;
    }
    const QPoint at = Gui([&] {
        int row = 0;
        while (row < box->count() && box->itemText(row).trimmed() != entry.trimmed()) ++row;
        if (row == box->count()) return QPoint(-1, -1);
        QAbstractItemView* view = box->view();
        view->scrollTo(view->model()->index(row, 0));
        return view->visualRect(view->model()->index(row, 0)).center();
    });
    if (at.x() < 0) {
        Key("Escape");
        return false;
    }
    Click([&]() -> QWidget* { return box ? box->view()->viewport() : nullptr; }, at);
    return WaitFor([&] { return box && !box->view()->isVisible(); });
}

void Driver::Step(const QString& name, QWidget* window, const QString& page) {
    const QString shot = QString("%1-%2").arg(++steps_, 2, 10, QChar('0')).arg(name);
    // What the last event changed is painted by now; a few frames are enough to be sure.
    std::this_thread::sleep_for(300ms);
    QStringList problems = Gui([] { return LayoutProblems(); });
    if (window != nullptr && !page.isEmpty()) {
        const Controls now = Gui([&] { return ControlsOf(window); });
        if (!fresh_.contains(page)) {
            fresh_[page] = now;
        } else {
            problems << DeadControls(fresh_[page], now);
        }
    }
    Gui([&] {
        QDir().mkpath(ShotFolder());
        QScreen* screen = QGuiApplication::primaryScreen();
        const QString path = QDir(ShotFolder()).filePath(shot + ".png");
        EXPECT_TRUE(screen->grabWindow(0).save(path)) << "cannot save " << path.toStdString();
    });
    for (const QString& problem : problems) {
        ADD_FAILURE() << shot.toStdString() << ": " << problem.toStdString();
    }
}

}  // namespace vorna::test
