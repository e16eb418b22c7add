#include "gui/MessageBoxes.h"

#include <QApplication>
#include <QFontMetrics>
#include <QGridLayout>
#include <QLabel>
#include <QPointer>
#include <QRegularExpression>
#include <QScreen>
#include <QSpacerItem>

#include <algorithm>

#include "gui/AppConfig.h"

namespace vorna::gui {
namespace {

// A box narrower than a path in its text would break the path in the middle of a name. The
// text gets room for its longest unbroken run (a path, an address), up to most of the screen;
// words of ordinary sentences still wrap between them.
void RoomForLongestWord(QMessageBox* box, const QString& text) {
    auto* label = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
    if (label == nullptr) return;
    const QFontMetrics metrics(label->font());
    int longest = 0;
    for (const QString& word :
         text.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts)) {
        longest = std::max(longest, metrics.horizontalAdvance(word));
    }
    const QScreen* screen = box->screen() ? box->screen() : QApplication::primaryScreen();
    const int most = screen ? screen->availableGeometry().width() * 3 / 4 : 900;
    label->setMinimumWidth(std::min(longest + metrics.averageCharWidth(), most));
}

// A long path starts a line of its own, so it is never split between the end of one line and
// the next (at a hyphen or a slash inside a name).
QString PathsOnTheirOwnLines(const QString& text) {
    constexpr int kLongWord = 30;
    QString shown = text;
    int start = 0;
    while (start < shown.size()) {
        while (start < shown.size() && shown[start].isSpace()) ++start;
        int end = start;
        while (end < shown.size() && !shown[end].isSpace()) ++end;
        const QStringView word = QStringView(shown).sliced(start, end - start);
        const bool path = word.contains(QLatin1Char('/')) || word.contains(QLatin1Char('\\'));
        if (path && word.size() >= kLongWord && start > 0 && shown[start - 1] == QLatin1Char(' ')) {
            shown[start - 1] = QLatin1Char('\n');
        }
        start = end;
    }
    return shown;
}

QMessageBox* NewPlainBox(QWidget* parent, QMessageBox::Icon icon, const QString& text,
                         QMessageBox::StandardButtons buttons) {
    // The format is set before the text is, so not even a first layout reads it as markup.
    auto* box = new QMessageBox(icon, QString::fromUtf8(kAppTitle), QString(), buttons, parent);
    KeepDialogTitleWhole(box);
    box->setTextFormat(Qt::PlainText);
    box->setText(PathsOnTheirOwnLines(text));
    // Paths, addresses and device texts can be copied from the box.
    box->setTextInteractionFlags(Qt::TextSelectableByMouse);
    RoomForLongestWord(box, text);
    return box;
}

}  // namespace

int TitleRoom(const QString& title) {
    // The window manager draws the title in a bold face of about the application's size, beside
    // the window's icon and its close button.
    QFont font = QApplication::font();
    font.setBold(true);
    const int text = QFontMetrics(font).horizontalAdvance(title);
    return text + text / 5 + kTitleButtonsRoom;
}

void KeepDialogTitleWhole(QDialog* dialog) {
    // A box only has its title and a close box: nothing in it grows, so neither minimise nor
    // maximise has a use.
    dialog->setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowCloseButtonHint);
    const int room = TitleRoom(dialog->windowTitle());
    if (auto* grid = qobject_cast<QGridLayout*>(dialog->layout())) {
        // A message box sizes itself to its text and would cut the title short; a spacer in its
        // own grid is the one width it keeps.
        grid->addItem(new QSpacerItem(room, 0, QSizePolicy::Minimum, QSizePolicy::Minimum),
                      grid->rowCount(), 0, 1, grid->columnCount());
    } else {
        dialog->setMinimumWidth(room);
    }
}

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
