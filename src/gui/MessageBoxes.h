// Every message box of the window goes through these. Their texts carry file names, file
// contents and device texts, and QMessageBox takes a text that looks like markup ("<b>",
// "<img src=...>", "<a href=...>") as rich text unless told otherwise: these boxes always show
// their text as plain text, exactly as it is.
//
// Each box shows all of its text: it grows with its longest line up to the room the screen has
// for it, then wraps between words (a long path after one of its separators, on a line of its
// own); a text taller than the screen scrolls inside the box, its buttons staying in view.
#pragma once

#include <QDialog>
#include <QMessageBox>

namespace vorna::gui {

// A modal box titled with kAppTitle; returns the button pressed.
QMessageBox::StandardButton ExecPlainBox(
    QWidget* parent, QMessageBox::Icon icon, const QString& text,
    QMessageBox::StandardButtons buttons = QMessageBox::Ok,
    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton);

// A modal box with an OK button.
void ShowPlainMessage(QWidget* parent, QMessageBox::Icon icon, const QString& text);

// A window-modal box with an OK button that does not wait for the user (open()) and deletes
// itself once closed.
QMessageBox* OpenPlainBox(QWidget* parent, QMessageBox::Icon icon, const QString& text);

// The width a dialog needs for the window manager to show `title` whole in its title bar.
inline constexpr int kTitleButtonsRoom = 96;  // the window's icon and close box, with margins
int TitleRoom(const QString& title);

// A dialog with a title and a close box only, at least as wide as its title needs. Call it once
// the dialog has its title (and, for a message box, its layout).
void KeepDialogTitleWhole(QDialog* dialog);

}  // namespace vorna::gui
