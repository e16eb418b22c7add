// What the skinned widgets share in look: the mark of the keyboard focus and the dimmed face of
// a control that takes no input.
#pragma once

#include <QColor>
#include <QPixmap>
#include <QRect>

class QKeyEvent;
class QPainter;

namespace vorna::gui {

// Light amber: it stands out on the dark grey faces, on the red ones under the mouse and on the
// red page buttons alike.
inline const QColor kFocusMark(255, 200, 64);

// How thick the outline is: seen at arm's length, and still inside the smallest control.
inline constexpr int kFocusMarkWidth = 2;

// A 2-pixel outline 1 pixel inside `face`, so that it never leaves the control and the face's
// own edge stays as drawn.
void DrawFocusMark(QPainter& painter, const QRect& face);

// `picture` at about 40 % of its brightness, as if drawn faintly on black; transparent parts stay
// transparent so the shape keeps its outline on any background.
QPixmap Dimmed(const QPixmap& picture);

// Enter or Return, on the main keyboard or the keypad, without Shift, Ctrl or Alt: the keys that
// press a focused button besides Space.
bool IsEnterKey(const QKeyEvent& event);

}  // namespace vorna::gui
