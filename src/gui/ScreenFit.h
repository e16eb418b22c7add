// Fitting the window to the screen it is on: the largest scale at which the skin and the frame
// the window manager puts around it fit the room the screen has, and the window centred in it.
#pragma once

#include <QSize>

#include <functional>

#include "gui/skin/SkinScale.h"

class QMainWindow;
class QWidget;

namespace vorna::gui {

// The scale for a window whose skin is `skin` pixels large below its menu bar, up to the
// skin's own size.
SkinScale ScaleForScreen(const QMainWindow& window, QSize skin);

// Centres the window's frame on its screen, its corner kept in view.
void CentreOnScreen(QWidget& window);

// Once the window is first shown: calls `fit` now, again once the window manager's frame is
// known, and each time the window moves to another screen.
void FitWhileShown(QWidget& window, const std::function<void()>& fit);

}  // namespace vorna::gui
