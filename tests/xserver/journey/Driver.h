// Plays a user's journey through the window with real input: mouse and keys go into the X
// server (xdotool), at the places the widgets have on the screen, and the window gets them as it
// would from a person. The journey runs on a thread of its own, so that it goes on while the
// window waits in a box of its own (a modal box runs its own event loop); what it looks at and
// looks for runs on the window's thread, between two events.
#pragma once

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QMetaObject>
#include <QPoint>
#include <QPointer>
#include <QString>

#include <functional>
#include <type_traits>

#include "LayoutCheck.h"

class QWidget;

namespace vorna::test {

class Driver {
public:
    // Runs `journey` on its own thread while this one, the window's, handles events; returns
    // once the journey has ended and no box it left open is showing.
    static void Run(const std::function<void(Driver&)>& journey);

    // Runs `call` on the window's thread and returns what it returned.
    template <typename Call>
    auto Gui(Call call) {
        using Returned = decltype(call());
        if constexpr (std::is_void_v<Returned>) {
            QMetaObject::invokeMethod(qApp, call, Qt::BlockingQueuedConnection);
        } else {
            Returned returned{};
            QMetaObject::invokeMethod(
                qApp, [&] { returned = call(); }, Qt::BlockingQueuedConnection);
            return returned;
        }
    }

    // Waits until `condition`, looked at on the window's thread, holds; false after `ms`.
    // Generous by default: the X server, the window manager and the link share two slow cores
    // with other tests.
    static constexpr int kWaitMs = 30000;
    bool WaitFor(const std::function<bool()>& condition, int ms = kWaitMs);
    // Keeps looking for `ms` and is true when `condition` held every time.
    bool HoldsFor(const std::function<bool()>& condition, int ms);

    // A left click at `at` in `widget` (its middle by default), found on the window's thread.
    // False when the widget was not there to click.
    bool Click(const std::function<QWidget*()>& widget, QPoint at = QPoint(-1, -1));
    // Keys as xdotool names them ("Tab", "Escape", "alt+F4"), to the window that has the focus.
    void Key(const QString& keys);
    // Chooses `entry` of a menu in the window's menu bar ("Device", "Esc"), by clicks.
    bool Menu(QWidget* window, const QString& menu, const QString& entry);
    // The message box on the screen whose text holds `words`, waited for; null when none came.
    QPointer<QWidget> Box(const QString& words, int ms = kWaitMs);
    // Clicks the box's button that reads `button` ("&Yes", "OK": the mnemonic is ignored).
    bool Answer(const QPointer<QWidget>& box, const QString& button);
    // Opens `list` with a click and picks the entry that reads `entry`; false when it did not
    // open or has no such entry.
    bool Pick(const std::function<QWidget*()>& list, const QString& entry);

    // One step of the journey: once the screen has caught up, every visible window and box is
    // checked (LayoutProblems) and, with a `page`, the window's controls against those of the
    // first step of that page, a fresh start; the screen is saved as NN-name.png.
    void Step(const QString& name, QWidget* window = nullptr, const QString& page = QString());

private:
    void Mouse(QPoint global);

    static inline int steps_ = 0;  // numbered across the program, one folder per run
    QMap<QString, Controls> fresh_;
};

}  // namespace vorna::test
