// What the window asks of Qt's platform plugin before Qt starts. On Windows, text is drawn by
// Qt's own FreeType engine instead of the system's: the skin's pages were laid out with its
// measures (the Linux build draws with it too), and under Wine the system's drawing leaves out
// some glyphs. QtPlatformPosix.cpp, QtPlatformWin32.cpp.
#pragma once

namespace vorna::gui {

// Call before the QApplication is made. Leaves a platform the user chose alone.
void ChooseQtPlatform();

}  // namespace vorna::gui
