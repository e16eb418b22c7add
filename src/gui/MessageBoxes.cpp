#include "gui/MessageBoxes.h"

#include <QPointer>

#include "gui/AppConfig.h"

namespace vorna::gui {
namespace {

QMessageBox* NewPlainBox(QWidget* parent, QMessageBox::Icon icon, const QString& text,
                         QMessageBox::StandardButtons buttons) {
    // The format is set before the text is, so not even a first layout reads it as markup.
    auto* box = new QMessageBox(icon, QString::fromUtf8(kAppTitle), QString(), buttons, parent);
    box->setTextFormat(Qt::PlainText);
    box->setText(text);
    // Paths, addresses and device texts can be copied from the box.
    box->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return box;
}

}  // namespace

QMessageBox::StandardButton ExecPlainBox(QWidget* parent, QMessageBox::Icon icon,
                                         const QString& text, QMessageBox::StandardButtons buttons,
                                         QMessageBox::StandardButton defaultButton) {
    // Guarded: a parent that goes while the box waits takes the box with it.
    QPointer<QMessageBox> box = NewPlainBox(parent, icon, text, buttons);
    if (defaultButton != QMessageBox::NoButton) box->setDefaultButton(defaultButton);
    const int answer = box->exec();
    delete box.data();
    return static_cast<QMessageBox::StandardButton>(answer);
}

void ShowPlainMessage(QWidget* parent, QMessageBox::Icon icon, const QString& text) {
    ExecPlainBox(parent, icon, text, QMessageBox::Ok);
}

QMessageBox* OpenPlainBox(QWidget* parent, QMessageBox::Icon icon, const QString& text) {
    QMessageBox* box = NewPlainBox(parent, icon, text, QMessageBox::Ok);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
    return box;
}

}  // namespace vorna::gui
