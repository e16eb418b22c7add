#include "gui/MessageBoxes.h"

#include <QApplication>
#include <QClipboard>
#include <QCoreApplication>
#include <QFontMetrics>
#include <QGridLayout>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLabel>
#include <QPointer>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QShowEvent>
#include <QSpacerItem>
#include <QWindow>

#include <algorithm>

#include "gui/AppConfig.h"

namespace vorna::gui {
namespace {

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

// Room kept free between a box's frame and the edges of the screen's room.
constexpr int kScreenMargin = 24;

// What the window manager adds around a window, taken from a window it already frames; until
// one is framed, about what a title bar and thin borders take.
QSize FrameExtra() {
    constexpr QSize kLikely(10, 40);
    for (const QWindow* shown : QGuiApplication::topLevelWindows()) {
        if (!shown->isVisible()) continue;
        const QSize extra = shown->frameGeometry().size() - shown->geometry().size();
        // An embedded or undecorated window tells nothing of the frames to come.
        if (extra.width() >= 0 && extra.width() <= 80 && extra.height() >= 10 &&
            extra.height() <= 80) {
            return extra.expandedTo(kLikely);
        }
    }
    return kLikely;
}

// The box's text, in a view that scrolls it once it is taller than the screen has room for. Its
// size is the one the box worked out for the text.
class TextView final : public QScrollArea {
public:
    explicit TextView(QWidget* parent) : QScrollArea(parent) {
        setObjectName(QStringLiteral("boxText"));
        setFrameShape(QFrame::NoFrame);
        setWidgetResizable(true);
        viewport()->setAutoFillBackground(false);
    }
    void SetWanted(QSize size) {
        wanted_ = size;
        updateGeometry();
    }
    QSize sizeHint() const override { return wanted_; }
    QSize minimumSizeHint() const override { return wanted_; }

private:
    QSize wanted_;
};

// A message box that takes the width its text needs, up to the screen's room, and wraps only
// beyond that; taller than the screen, its text scrolls above buttons that stay in view.
// QMessageBox sizes itself each time it is shown, on a layout request and when its text changes,
// by rules of its own that keep it narrow: this box fits itself again after each.
class PlainBox final : public QMessageBox {
public:
    PlainBox(Icon icon, const QString& title, StandardButtons buttons, QWidget* parent)
        : QMessageBox(icon, title, QString(), buttons, parent) {}

    // Called once the box has its text and layout: the text moves into its scrolling view.
    void TakeText() {
        auto* grid = qobject_cast<QGridLayout*>(layout());
        label_ = findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
        if (grid == nullptr || label_ == nullptr) return;
        const int index = grid->indexOf(label_);
        if (index < 0) return;
        int row = 0;
        int column = 0;
        int rows = 0;
        int columns = 0;
        grid->getItemPosition(index, &row, &column, &rows, &columns);
        delete grid->takeAt(index);
        view_ = new TextView(this);
        view_->setWidget(label_);
        label_->setAutoFillBackground(false);
        grid->addWidget(view_, row, column, rows, columns);
        view_->viewport()->installEventFilter(this);
    }

protected:
    void showEvent(QShowEvent* event) override {
        QMessageBox::showEvent(event);
        placed_ = false;
        Fit();
        // Placed again for the size it has now: over its window, and inside the screen.
        if (!event->spontaneous()) {
            adjustPosition(parentWidget());
            setAttribute(Qt::WA_Moved, false);
        }
        placed_ = true;
    }
    bool event(QEvent* event) override {
        // QMessageBox sizes itself again on a layout request, no wider than a fixed share of
        // the screen: this box fits itself instead.
        if (event->type() != QEvent::LayoutRequest) return QMessageBox::event(event);
        const bool taken = QDialog::event(event);
        if (isVisible()) Fit();
        return taken;
    }
#ifdef Q_OS_WIN
    void keyPressEvent(QKeyEvent* event) override {
        QMessageBox::keyPressEvent(event);
        // On Windows, Ctrl+C copies the whole box, but only the text of QMessageBox's own
        // label: the question held apart goes back after it.
        if (question_ != nullptr && event->matches(QKeySequence::Copy)) {
            QClipboard* clipboard = QGuiApplication::clipboard();
            QString copied = clipboard->text();
            const QString text = label_->text() + QLatin1Char('\n');
            const qsizetype at = copied.indexOf(text);
            if (at >= 0) {
                copied.insert(at + text.size() - 1, QStringLiteral("\n\n") + question_->text());
                clipboard->setText(copied);
            }
        }
    }
#endif
    bool eventFilter(QObject* watched, QEvent* event) override {
        // A new text asks its view for another layout; QMessageBox::setText has just sized the
        // box by its own rules again.
        if (view_ != nullptr && watched == view_->viewport() &&
            event->type() == QEvent::LayoutRequest && isVisible() && !fitting_) {
            Fit();
        }
        return QMessageBox::eventFilter(watched, event);
    }

private:
    void Fit() {
        auto* grid = qobject_cast<QGridLayout*>(layout());
        if (grid == nullptr || view_ == nullptr || label_ == nullptr) return;
        fitting_ = true;
        const QRect was = frameGeometry();
        const QScreen* screen =
            parentWidget() != nullptr ? parentWidget()->window()->screen() : this->screen();
        if (screen == nullptr) screen = QGuiApplication::primaryScreen();
        const QSize room = screen->availableGeometry().size() - FrameExtra() -
                           QSize(2 * kScreenMargin, 2 * kScreenMargin);

        // What the box takes besides its text: with a text view as large as the room, the view
        // decides the box's size, and the rest is the icon, the buttons and the margins.
        if (question_ != nullptr) question_->setFixedHeight(0);
        view_->SetWanted(room);
        const QSize besides = grid->totalMinimumSize() - room;
        const int mostWidth = std::max(room.width() - besides.width(), 1);
        const int mostHeight = std::max(room.height() - besides.height(), 1);

        // As wide as its longest line, until the room ends; then it wraps between words, and
        // a long path after one of its separators. A pixel or two to spare: at a scale of 125 %
        // or 150 % the box's size is rounded to whole pixels of the screen, and a line that only
        // just fits would wrap.
        constexpr int kSpare = 2;
        const int frame = 2 * view_->frameWidth();
        const auto unwrappedWidth = [](QLabel* label) {
            label->setWordWrap(false);
            const int width = label->sizeHint().width() + kSpare;
            label->setWordWrap(true);
            return width;
        };
        const int unwrapped =
            std::max(unwrappedWidth(label_), question_ ? unwrappedWidth(question_) : 0);
        // A run with no break in it that is wider still (a folder name) scrolls sideways.
        const int longestRun = label_->minimumSizeHint().width();
        const int across =
            longestRun > mostWidth - frame ? view_->horizontalScrollBar()->sizeHint().height() : 0;
        const auto questionHeight = [&](int width) {
            return question_ ? question_->heightForWidth(width + frame) + kSpare : 0;
        };
        int width = std::min(unwrapped, mostWidth - frame);
        int height = label_->heightForWidth(std::max(width, longestRun)) + kSpare;
        int down = 0;
        if (height + across + questionHeight(width) > mostHeight - frame) {
            down = view_->verticalScrollBar()->sizeHint().width();
            width = std::min(unwrapped, mostWidth - frame - down);
            height = label_->heightForWidth(std::max(width, longestRun));
            if (question_ == nullptr && HoldQuestion(grid)) {
                fitting_ = false;
                Fit();
                return;
            }
        }
        // Said outright: a bar left over from a narrower moment would take the text's room. The
        // keyboard reaches the text only when there is something to scroll.
        view_->setVerticalScrollBarPolicy(down > 0 ? Qt::ScrollBarAlwaysOn
                                                   : Qt::ScrollBarAlwaysOff);
        view_->setHorizontalScrollBarPolicy(across > 0 ? Qt::ScrollBarAlwaysOn
                                                       : Qt::ScrollBarAlwaysOff);
        view_->setFocusPolicy(down > 0 || across > 0 ? Qt::TabFocus : Qt::NoFocus);
        const int held = questionHeight(width + down);
        if (question_ != nullptr) question_->setFixedHeight(held);
        view_->SetWanted(QSize(width + down + frame,
                               std::min(height + across, mostHeight - frame - held) + frame));
        setFixedSize(grid->totalMinimumSize());
        grid->activate();
        // A box that is already on the screen keeps its middle where it was, inside the room.
        if (placed_ && frameGeometry().size() != was.size()) {
            const QRect whole = screen->availableGeometry();
            QRect shown = frameGeometry();
            shown.moveCenter(was.center());
            shown.moveRight(std::min(shown.right(), whole.right()));
            shown.moveBottom(std::min(shown.bottom(), whole.bottom()));
            shown.moveLeft(std::max(shown.left(), whole.left()));
            shown.moveTop(std::max(shown.top(), whole.top()));
            move(shown.topLeft());
        }
        // Done: the requests the fitting itself raised would only start it again.
        QCoreApplication::removePostedEvents(this, QEvent::LayoutRequest);
        QCoreApplication::removePostedEvents(view_->viewport(), QEvent::LayoutRequest);
        fitting_ = false;
    }

    // A question whose text is taller than the screen keeps the question itself (the text's last
    // paragraph) in view under the scrolling text, over the buttons.
    bool HoldQuestion(QGridLayout* grid) {
        if (buttons().size() < 2) return false;
        const QString text = label_->text();
        const qsizetype end = text.lastIndexOf(QStringLiteral("\n\n"));
        if (end <= 0 || text.sliced(end).trimmed().isEmpty()) return false;
        int row = 0;
        int column = 0;
        int rows = 0;
        int columns = 0;
        grid->getItemPosition(grid->indexOf(view_), &row, &column, &rows, &columns);
        if (grid->itemAtPosition(row + rows, column) != nullptr) return false;
        question_ = new QLabel(this);
        question_->setObjectName(QStringLiteral("boxQuestion"));
        question_->setTextFormat(Qt::PlainText);
        question_->setText(text.sliced(end + 2));
        question_->setWordWrap(true);
        // In line with the text in its view, inside the view's frame.
        question_->setContentsMargins(view_->frameWidth(), 0, view_->frameWidth(), 0);
        question_->setTextInteractionFlags(label_->textInteractionFlags());
        label_->setText(text.first(end));
        grid->addWidget(question_, row + rows, column, 1, columns);
        return true;
    }

    QLabel* label_ = nullptr;
    QLabel* question_ = nullptr;
    TextView* view_ = nullptr;
    bool fitting_ = false;
    bool placed_ = false;
};

QMessageBox* NewPlainBox(QWidget* parent, QMessageBox::Icon icon, const QString& text,
                         QMessageBox::StandardButtons buttons) {
    // The format is set before the text is, so not even a first layout reads it as markup.
    auto* box = new PlainBox(icon, QString::fromUtf8(kAppTitle), buttons, parent);
    KeepDialogTitleWhole(box);
    box->setTextFormat(Qt::PlainText);
    box->setText(PathsOnTheirOwnLines(text));
    // Paths, addresses and device texts can be copied from the box.
    box->setTextInteractionFlags(Qt::TextSelectableByMouse);
    box->TakeText();
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
