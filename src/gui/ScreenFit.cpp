#include "gui/ScreenFit.h"

#include <QMainWindow>
#include <QMenuBar>
#include <QScreen>
#include <QTimer>
#include <QWindow>

#include <algorithm>
#include <cmath>

namespace vorna::gui {

namespace {

// Room for the title bar and frame a window manager adds around the window, until it has
// framed the window and the frame is known.
constexpr int kFrameAllowanceWidth = 16;
constexpr int kFrameAllowanceHeight = 48;
// Below this the skin is no longer usable; a screen that small gets a window larger than itself.
constexpr qreal kSmallestScale = 0.5;
// The scale goes in steps of a hundredth, so a frame a pixel thicker redraws nothing.
constexpr qreal kScaleSteps = 100.0;

}  // namespace

SkinScale ScaleForScreen(const QMainWindow& window, QSize skin) {
    const qreal ratio = window.devicePixelRatioF();
    const QScreen* screen = window.screen();
    if (screen == nullptr) return SkinScale(1.0, ratio);
    QSize room = screen->availableGeometry().size();
    // Until the window manager has framed the window, a usual frame is allowed for.
    const QSize frame = window.frameGeometry().size() - window.geometry().size();
    const bool framed = frame.width() > 0 || frame.height() > 0;
    room -= framed ? frame : QSize(kFrameAllowanceWidth, kFrameAllowanceHeight);
    room.rheight() -= window.menuBar()->sizeHint().height();
    qreal layout = std::min({1.0, room.width() / static_cast<qreal>(skin.width()),
                             room.height() / static_cast<qreal>(skin.height())});
    layout = std::max(kSmallestScale, std::floor(layout * kScaleSteps) / kScaleSteps);
    return SkinScale(layout, ratio);
}

void CentreOnScreen(QWidget& window) {
    const QScreen* screen = window.screen();
    if (screen == nullptr) return;
    QRect frame = window.frameGeometry();
    // On a busy machine the window can be asked to centre before the window system has told
    // its size: a frame smaller than the window would put the window's corner at the centre and
    // half of it off the screen.
    if (frame.width() < window.width() || frame.height() < window.height()) {
        frame.setSize(window.size() + QSize(kFrameAllowanceWidth, kFrameAllowanceHeight));
    }
    frame.moveCenter(screen->availableGeometry().center());
    const QPoint topLeft = frame.topLeft();
    window.move(std::max(topLeft.x(), screen->availableGeometry().left()),
                std::max(topLeft.y(), screen->availableGeometry().top()));
}

void FitWhileShown(QWidget& window, const std::function<void()>& fit) {
    fit();
    // The frame the window manager adds is known only once it has framed the window.
    for (const int ms : {0, 300}) QTimer::singleShot(ms, &window, fit);
    // Moved to another screen, it fits that one.
    if (QWindow* handle = window.windowHandle()) {
        QObject::connect(handle, &QWindow::screenChanged, &window, fit);
    }
}

}  // namespace vorna::gui
