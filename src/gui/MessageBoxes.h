// Every message box of the window goes through these. Their texts carry file names, file
// contents and device texts, and QMessageBox takes a text that looks like markup ("<b>",
// "<img src=...>", "<a href=...>") as rich text unless told otherwise: these boxes always show
// their text as plain text, exactly as it is.
#pragma once

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

}  // namespace vorna::gui
