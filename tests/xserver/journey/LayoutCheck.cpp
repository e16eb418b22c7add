#include "LayoutCheck.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractScrollArea>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFontInfo>
#include <QFontMetrics>
#include <QHash>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScreen>
#include <QStyle>
#include <QStyleOptionButton>
#include <QWidget>

#include <algorithm>

#include "gui/skin/SkinScale.h"
#include "gui/widgets/PictureButton.h"
#include "gui/widgets/SkinButton.h"
#include "gui/widgets/SkinComboBox.h"

namespace vorna::test {
namespace {

// Where a list's face ends its text: clear of the arrow's frame (SkinComboBox draws it so).
constexpr int kComboTextRightInset = 25;
// The margins an item view and a list's rows keep around a cell's text, both sides together.
constexpr int kCellTextMargins = 6;
// A pixel of a picture at least a quarter opaque is seen; a fainter one (the fading edge of a
// lamp's glow) is not missed when cut off.
constexpr int kVisibleAlpha = 64;
// A scaled place and the picture drawn for it are rounded apart: a picture may lose one pixel
// row or column at an edge to that, which no one sees.
constexpr int kRoundingPx = 1;

// Whether `room` shows `ink` but for the rounding of a scaled place.
bool ShowsPicture(const QRect& room, const QRect& ink) {
    return room.adjusted(-kRoundingPx, -kRoundingPx, kRoundingPx, kRoundingPx).contains(ink);
}

QString Name(const QWidget* widget) {
    QString name = QString::fromLatin1(widget->metaObject()->className());
    if (!widget->objectName().isEmpty()) name += " \"" + widget->objectName() + '"';
    const QWidget* window = widget->window();
    if (window != widget && !window->windowTitle().isEmpty()) {
        name += " in " + QString::fromLatin1(window->metaObject()->className());
    }
    return name;
}

QString Quoted(const QString& text) {
    QString shown = text.simplified();
    if (shown.size() > 70) shown = shown.left(67) + "...";
    return '"' + shown + '"';
}

QString Size(QSize size) {
    return QString("%1x%2").arg(size.width()).arg(size.height());
}

// The part of `widget` its parents leave on the screen, in its own pixels. Inside a scroll area
// the rest is a scroll away, so the viewport ends the search.
QRect ShownRoom(const QWidget* widget) {
    QRect room = widget->rect();
    for (const QWidget* child = widget; !child->isWindow(); child = child->parentWidget()) {
        const QWidget* parent = child->parentWidget();
        if (parent == nullptr) break;
        const auto* area = qobject_cast<const QAbstractScrollArea*>(parent->parentWidget());
        if (area != nullptr && area->viewport() == parent) break;
        room &= QRect(widget->mapFrom(parent, QPoint(0, 0)), parent->size());
    }
    return room;
}

int WidestWord(const QFontMetrics& metrics, const QString& text) {
    int widest = 0;
    for (const QString& word :
         text.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts)) {
        widest = std::max(widest, metrics.horizontalAdvance(word));
    }
    return widest;
}

// The part of a picture that shows: a skin picture may leave a clear margin around what it
// draws, or a faint glow, which may fall outside its place unseen.
QRect InkRect(const QPixmap& picture) {
    static QHash<qint64, QRect> known;
    if (const auto it = known.constFind(picture.cacheKey()); it != known.cend()) return *it;
    const QImage image = picture.toImage();
    QRect ink = image.rect();
    if (image.hasAlphaChannel()) {
        ink = QRect();
        for (int y = 0; y < image.height(); ++y) {
            const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
            for (int x = 0; x < image.width(); ++x) {
                if (qAlpha(line[x]) >= kVisibleAlpha) ink |= QRect(x, y, 1, 1);
            }
        }
    }
    const qreal ratio = picture.devicePixelRatio();
    const QRect shown(qFloor(ink.x() / ratio), qFloor(ink.y() / ratio), qCeil(ink.width() / ratio),
                      qCeil(ink.height() / ratio));
    known.insert(picture.cacheKey(), shown);
    return shown;
}

void CheckLabel(const QLabel* label, QStringList& problems) {
    const QRect room = ShownRoom(label);
    const QString text = label->text();
    if (text.isEmpty()) {
        // A picture, the skin's captions among them, is drawn unscaled where the label puts it.
        const QPixmap picture = label->pixmap();
        if (picture.isNull() || label->hasScaledContents()) return;
        const QSize size = picture.deviceIndependentSize().toSize();
        const QRect at = QStyle::alignedRect(label->layoutDirection(), label->alignment(), size,
                                             label->contentsRect());
        const QRect ink = InkRect(picture).translated(at.topLeft());
        if (!ShowsPicture(room, ink)) {
            problems << Name(label) + ": what its picture shows, " + Size(ink.size()) +
                            ", is cut to " + Size((room & ink).size());
        }
        return;
    }
    const QMargins margins = label->contentsMargins() + QMargins(label->margin(), label->margin(),
                                                                 label->margin(), label->margin());
    const QFontMetrics metrics(label->font());
    QSize needed;
    if (label->wordWrap()) {
        needed = QSize(WidestWord(metrics, text) + margins.left() + margins.right(),
                       label->heightForWidth(label->width()));
    } else {
        needed = label->sizeHint();
    }
    const QRect at =
        QStyle::alignedRect(label->layoutDirection(), label->alignment(), needed, label->rect());
    if (!room.contains(at)) {
        problems << Name(label) + ": " + Quoted(text) + " needs " + Size(needed) + ", shown in " +
                        Size(room.size());
    }
}

// How SkinButton lays out its caption: centred by character count, 5 pixels left of the middle.
void CheckSkinButton(const gui::SkinButton* button, QStringList& problems) {
    const QString caption = button->text();
    if (caption.isEmpty()) return;
    QFont font(button->FontFace());
    const qreal points = button->FontSize() > 0 ? button->FontSize() / 10.0 : QFont().pointSizeF();
    if (points > 0) font.setPointSizeF(button->Scale().Points(points));
    const QFontMetrics metrics(font, button);
    const int left =
        (button->width() - static_cast<int>(caption.size()) * metrics.averageCharWidth()) / 2 - 5;
    const QRect at(left, (button->height() - metrics.height()) / 2,
                   metrics.horizontalAdvance(caption), metrics.height());
    if (!ShownRoom(button).contains(at)) {
        problems << Name(button) + ": " + Quoted(caption) + " needs " + Size(at.size()) +
                        " from x " + QString::number(left) + ", shown in " +
                        Size(ShownRoom(button).size());
    }
}

void CheckPictureButton(const gui::PictureButton* button, QStringList& problems) {
    if (button->Picture().isNull()) return;
    const QRect ink = InkRect(button->Picture());
    const QRect room = ShownRoom(button);
    if (!ShowsPicture(room, ink)) {
        problems << Name(button) + ": what its picture shows, " + Size(ink.size()) +
                        ", is cut to " + Size((room & ink).size());
    }
}

void CheckButton(const QAbstractButton* button, QStringList& problems) {
    if (const auto* skin = qobject_cast<const gui::SkinButton*>(button)) {
        return CheckSkinButton(skin, problems);
    }
    if (const auto* picture = qobject_cast<const gui::PictureButton*>(button)) {
        return CheckPictureButton(picture, problems);
    }
    if (button->text().isEmpty()) return;
    // Across, the style's room for the caption inside the button's frame; down, the button
    // itself, as the caption is centred on it and cut only at its edges.
    QStyleOptionButton option;
    option.initFrom(button);
    option.text = button->text();
    option.icon = button->icon();
    option.iconSize = button->iconSize();
    QStyle::SubElement contents = QStyle::SE_PushButtonContents;
    if (qobject_cast<const QCheckBox*>(button)) contents = QStyle::SE_CheckBoxContents;
    if (qobject_cast<const QRadioButton*>(button)) contents = QStyle::SE_RadioButtonContents;
    const QRect room =
        button->style()->subElementRect(contents, &option, button) & ShownRoom(button);
    const QFontMetrics metrics(button->font());
    QSize needed(metrics.horizontalAdvance(QString(button->text()).remove(QLatin1Char('&'))),
                 metrics.height());
    if (!button->icon().isNull()) needed.rwidth() += button->iconSize().width() + 4;
    const QSize shown(room.width(), ShownRoom(button).height());
    if (needed.width() > shown.width() || needed.height() > shown.height()) {
        problems << Name(button) + ": " + Quoted(button->text()) + " needs " + Size(needed) +
                        ", shown in " + Size(shown);
    }
}

// The face of a list: its text ends in an ellipsis where it is wider than the room before the
// arrow, which is fine only where the tooltip holds the whole.
void CheckComboFace(const QComboBox* list, QStringList& problems) {
    const auto* skin = qobject_cast<const gui::SkinComboBox*>(list);
    if (skin == nullptr) return;
    const bool placeholder = list->currentIndex() < 0;
    const QString text = placeholder ? list->placeholderText() : list->currentText();
    if (text.isEmpty()) return;
    QFont font = skin->SkinFont();
    font.setItalic(placeholder);
    const int needed = QFontMetrics(font).horizontalAdvance(QLatin1Char(' ') + text);
    const int room = std::min(list->width() - skin->Scale().Px(kComboTextRightInset),
                              ShownRoom(list).right() + 1);
    if (needed > room && !list->toolTip().contains(text)) {
        problems << Name(list) + ": " + Quoted(text) + " needs " + QString::number(needed) +
                        " pixels, shown in " + QString::number(room) + ", and no tooltip holds it";
    }
}

// The rows of an open list, in the list's own font.
void CheckOpenList(const QComboBox* list, QStringList& problems) {
    const QAbstractItemView* view = list->view();
    if (view == nullptr || !view->isVisible()) return;
    const auto* skin = qobject_cast<const gui::SkinComboBox*>(list);
    const QFontMetrics metrics(skin != nullptr ? skin->SkinFont() : view->font());
    // What the screen shows of the rows.
    const QWidget* viewport = view->viewport();
    QRect shown(viewport->mapToGlobal(QPoint(0, 0)), viewport->size());
    if (const QScreen* screen = viewport->screen()) shown &= screen->geometry();
    const int room = shown.width();
    for (int row = 0; row < list->count(); ++row) {
        const int needed = metrics.horizontalAdvance(list->itemText(row)) + kCellTextMargins;
        if (needed > room) {
            problems << Name(list) + ", open: " + Quoted(list->itemText(row)) + " needs " +
                            QString::number(needed) + " pixels, the list shows " +
                            QString::number(room);
        }
    }
}

void CheckCells(const QAbstractItemView* view, QStringList& problems) {
    const QAbstractItemModel* model = view->model();
    if (model == nullptr || qobject_cast<const QComboBox*>(view->parentWidget()) != nullptr) {
        return;
    }
    const QFontMetrics metrics(view->font());
    const QRect viewport = view->viewport()->rect();
    for (int row = 0; row < model->rowCount(); ++row) {
        for (int column = 0; column < model->columnCount(); ++column) {
            const QModelIndex index = model->index(row, column);
            const QRect cell = view->visualRect(index);
            if (!cell.isValid() || !viewport.intersects(cell)) continue;
            const QString text = index.data(Qt::DisplayRole).toString();
            if (text.isEmpty()) continue;
            int needed = metrics.horizontalAdvance(text) + kCellTextMargins;
            if (!index.data(Qt::DecorationRole).isNull()) needed += view->iconSize().width() + 4;
            if (index.data(Qt::CheckStateRole).isValid()) needed += 20;
            if (needed > cell.width() && !index.data(Qt::ToolTipRole).toString().contains(text)) {
                problems << Name(view) + ": " + Quoted(text) + " needs " + QString::number(needed) +
                                " pixels, its cell is " + QString::number(cell.width()) +
                                ", and no tooltip holds it";
            }
        }
    }
}

// Skin text that reaches the screen smaller than the smallest readable size.
void CheckSkinTextSize(const QWidget* widget, QStringList& problems) {
    QFont font;
    if (const auto* list = qobject_cast<const gui::SkinComboBox*>(widget)) {
        font = list->SkinFont();
    } else if (const auto* button = qobject_cast<const gui::SkinButton*>(widget)) {
        if (button->text().isEmpty()) return;
        font = QFont(button->FontFace());
        const qreal points =
            button->FontSize() > 0 ? button->FontSize() / 10.0 : QFont().pointSizeF();
        if (points > 0) font.setPointSizeF(button->Scale().Points(points));
    } else if (const auto* label = qobject_cast<const QLabel*>(widget)) {
        if (label->text().isEmpty()) return;
        font = label->font();
    } else if (qobject_cast<const QLineEdit*>(widget) != nullptr ||
               qobject_cast<const QPlainTextEdit*>(widget) != nullptr) {
        font = widget->font();
    } else {
        return;
    }
    const qreal onScreen = QFontInfo(font).pixelSize() * widget->devicePixelRatioF();
    if (onScreen < gui::kSmallestTextPx - 0.01) {
        problems << Name(widget) + ": its text is " + QString::number(onScreen) +
                        " pixels high on the screen";
    }
}

bool InTabOrder(QWidget* widget) {
    if (!widget->isEnabled() || !(widget->focusPolicy() & Qt::TabFocus)) return false;
    QWidget* window = widget->window();
    QWidget* at = window;
    for (int step = 0; step < 5000; ++step) {
        at = at->nextInFocusChain();
        if (at == widget) return true;
        if (at == window) return false;
    }
    return false;
}

}  // namespace

Controls ControlsOf(QWidget* window) {
    Controls controls;
    for (QWidget* widget : window->findChildren<QWidget*>()) {
        if (widget->objectName().isEmpty() || !widget->isVisible()) continue;
        if (qobject_cast<QAbstractButton*>(widget) == nullptr &&
            qobject_cast<QComboBox*>(widget) == nullptr) {
            continue;
        }
        controls[widget->objectName()] = {widget->isEnabled(), !widget->toolTip().isEmpty(),
                                          InTabOrder(widget)};
    }
    for (const QAction* action : window->findChildren<QAction*>()) {
        if (action->objectName().isEmpty() || !action->isVisible()) continue;
        controls["menu " + action->objectName()] = {action->isEnabled(), false, false};
    }
    return controls;
}

QStringList DeadControls(const Controls& fresh, const Controls& now) {
    QStringList problems;
    for (auto it = fresh.begin(); it != fresh.end(); ++it) {
        const ControlState& was = it.value();
        if (!now.contains(it.key())) {
            if (was.enabled) problems << it.key() + " is no longer shown";
            continue;
        }
        const ControlState& is = now[it.key()];
        if (was.enabled && !is.enabled) problems << it.key() + " takes no input";
        if (was.tooltip && !is.tooltip) problems << it.key() + " shows no tooltip";
        if (was.tabbed && !is.tabbed) problems << it.key() + " is not in the Tab order";
    }
    return problems;
}

QStringList Overflows(QWidget* widget) {
    QStringList problems;
    QList<QWidget*> widgets = widget->findChildren<QWidget*>();
    widgets.prepend(widget);
    for (QWidget* each : widgets) {
        // Boxes and open lists are windows of their own, checked as such.
        if (!each->isVisible() || each->window() != widget->window()) continue;
        if (auto* label = qobject_cast<QLabel*>(each)) CheckLabel(label, problems);
        if (auto* button = qobject_cast<QAbstractButton*>(each)) CheckButton(button, problems);
        if (auto* list = qobject_cast<QComboBox*>(each)) {
            CheckComboFace(list, problems);
            CheckOpenList(list, problems);
        }
        if (auto* view = qobject_cast<QAbstractItemView*>(each)) CheckCells(view, problems);
    }
    return problems;
}

QStringList LayoutProblems() {
    QStringList problems;
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (!window->isVisible() || window->windowType() == Qt::ToolTip ||
            window->windowType() == Qt::Desktop) {
            continue;
        }
        const QScreen* screen = window->screen();
        if (screen != nullptr && !screen->geometry().contains(window->frameGeometry())) {
            const QRect frame = window->frameGeometry();
            problems << Name(window) + " leaves the screen: " + Size(frame.size()) + " at " +
                            QString("%1,%2").arg(frame.x()).arg(frame.y());
        }
        // A list's open rows are checked with the list.
        if (window->windowType() == Qt::Popup) continue;
        problems << Overflows(window);
        if (auto* main = qobject_cast<QMainWindow*>(window)) {
            for (const QWidget* each : main->centralWidget()->findChildren<QWidget*>()) {
                if (each->isVisible() && each->window() == main) CheckSkinTextSize(each, problems);
            }
        }
    }
    return problems;
}

}  // namespace vorna::test
