// What a person sees wrong in the window and its boxes, checked after every step of a journey:
// text wider or taller than the room it is shown in (labels, buttons, lists, the skinned
// controls and the skin's pictures, each measured the way it draws itself), a window or box that
// leaves the screen, skin text smaller than the smallest readable size, and controls that a fresh
// start offers but that take no input, show no tooltip or drop out of the Tab order.
#pragma once

#include <QMap>
#include <QString>
#include <QStringList>

class QWidget;

namespace vorna::test {

// What the controls of the window were like: by object name, whether each took input, had a
// tooltip and was reached by Tab.
struct ControlState {
    bool enabled = false;
    bool tooltip = false;
    bool tabbed = false;
};
using Controls = QMap<QString, ControlState>;

// The named controls and menu commands of `window` that are shown now.
Controls ControlsOf(QWidget* window);

// The problems `fresh` (the controls of a fresh start in the same state) shows against `now`:
// one that took input, had a tooltip or was reached by Tab then and no longer is.
QStringList DeadControls(const Controls& fresh, const Controls& now);

// Every text or picture that does not fit where it is shown, in `widget` and its children.
QStringList Overflows(QWidget* widget);

// Every problem of the visible windows and boxes: Overflows of each, boxes off the screen, skin
// text too small.
QStringList LayoutProblems();

}  // namespace vorna::test
