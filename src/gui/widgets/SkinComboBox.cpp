#include "gui/widgets/SkinComboBox.h"

#include <algorithm>
#include <cmath>

#include <QAbstractItemView>
#include <QCursor>
#include <QEvent>
#include <QFontInfo>
#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>
#include <QPalette>
#include <QPen>
#include <QPixmap>
#include <QScreen>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QWheelEvent>

#include "gui/skin/Skin.h"
#include "gui/widgets/WidgetLook.h"

namespace vorna::gui {

namespace {

const QColor kDark(58, 58, 58);
const QColor kRed(255, 0, 0);
const QColor kWhite(255, 255, 255);
// Dimmed text (a placeholder, a list that takes no input) still reads: 5.3 : 1 on the face.
const QColor kDimText(176, 176, 176);

// The arrow sits 23 px in from the right edge, 2 px down; the text stops 18 px short of it.
constexpr int kArrowRightInset = 23;
constexpr int kArrowTop = 2;
// The text ends clear of the arrow's frame, which starts kArrowRightInset from the right.
constexpr int kTextRightInset = kArrowRightInset + 2;

// Styles differ on how a combo box opens its list: some open it like a menu laid over the face,
// as tall as all its entries up to the whole screen, heedless of maxVisibleItems, with scroll
// arrows at its ends in the light menu colours. The combo box's own sheet asks for a plain list
// below the face with a scroll bar, and paints the list's window and scroll bar in the skin. A
// widget's own sheet wins over those of the window and the application, so theirs cannot undo it.
const char* const kListStyleSheet =
    "QComboBox { combobox-popup: 0; }"
    "QAbstractItemView { background: rgb(58, 58, 58);"
    " border: 1px solid rgb(120, 120, 120); }"
    "QScrollBar:vertical { background: rgb(32, 32, 32); width: 12px; margin: 0px; border: none; }"
    "QScrollBar::handle:vertical { background: rgb(130, 130, 130); min-height: 20px; }"
    "QScrollBar::handle:vertical:hover, QScrollBar::handle:vertical:pressed {"
    " background: rgb(255, 0, 0); }"
    "QScrollBar::add-line:vertical, QScrollBar::sub-line:vertical {"
    " height: 0px; border: none; background: none; }"
    "QScrollBar::add-page:vertical, QScrollBar::sub-page:vertical { background: none; }";

void RegisterFontSubstitutes() {
    // The skin's face is not shipped on Linux; Liberation Sans is the nearest face Debian has.
    static const bool registered = [] {
        QFont::insertSubstitution(QStringLiteral("Microsoft Sans Serif"),
                                  QStringLiteral("Liberation Sans"));
        return true;
    }();
    (void)registered;
}

// Paints the list items in the skin: white text on dark, the highlighted item on red. The style
// is bypassed altogether so that no theme can tint or outline the items.
class SkinItemDelegate : public QStyledItemDelegate {
public:
    explicit SkinItemDelegate(SkinComboBox* combo) : QStyledItemDelegate(combo), combo_(combo) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        painter->save();
        painter->setClipRect(option.rect);
        const bool highlighted = (option.state & QStyle::State_Selected) != 0;
        painter->fillRect(option.rect, highlighted ? kRed : kDark);
        painter->setFont(combo_->SkinFont());
        painter->setPen(kWhite);
        painter->drawText(option.rect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                          index.data(Qt::DisplayRole).toString());
        painter->restore();
    }

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        // The items are drawn in the skin font, which may be taller than the list's own.
        const QFontMetrics metrics(combo_->SkinFont());
        size.setHeight(std::max(size.height(), metrics.height()));
        return size;
    }

private:
    SkinComboBox* combo_;
};

}  // namespace

SkinComboBox::SkinComboBox(QWidget* parent) : QComboBox(parent) {
    RegisterFontSubstitutes();
    // Before the list's window exists: it is built for the way the style says lists open.
    setStyleSheet(QString::fromLatin1(kListStyleSheet));
    setEditable(false);
    // The wheel alone never takes the focus (see wheelEvent); a click or Tab does.
    setFocusPolicy(Qt::StrongFocus);
    // Every pixel of the face is painted on each paint.
    setAttribute(Qt::WA_OpaquePaintEvent);
    // The red face comes with the first move over the control, button held or not.
    setMouseTracking(true);

    setItemDelegate(new SkinItemDelegate(this));
    QAbstractItemView* list = view();
    popup_ = list->parentWidget();
    list->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    QPalette dark = list->palette();
    for (const auto role : {QPalette::Base, QPalette::Window, QPalette::Button}) {
        dark.setColor(QPalette::All, role, kDark);
    }
    for (const auto role : {QPalette::Text, QPalette::WindowText, QPalette::ButtonText}) {
        dark.setColor(QPalette::All, role, kWhite);
    }
    dark.setColor(QPalette::All, QPalette::Highlight, kRed);
    dark.setColor(QPalette::All, QPalette::HighlightedText, kWhite);
    list->setPalette(dark);
    if (popup_ != nullptr) {
        popup_->setPalette(dark);
        // Watched so that the pressed look ends when the list closes: the release of the press
        // that opened it goes to the list, not to the control.
        popup_->installEventFilter(this);
    }

    connect(this, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (index >= 0 && index < count()) update();
    });
}

SkinComboBox::~SkinComboBox() {
    if (popup_ != nullptr) popup_->removeEventFilter(this);
    popup_ = nullptr;
}

void SkinComboBox::SetFontFace(const QString& face) {
    fontFace_ = face;
    update();
}

void SkinComboBox::SetFontSize(int tenthsOfPoint) {
    fontSize_ = tenthsOfPoint;
    update();
}

QFont SkinComboBox::SkinFont() const {
    QFont font(fontFace_);
    // No size set means the application's default size.
    const qreal points = fontSize_ > 0 ? fontSize_ / 10.0 : QFont().pointSizeF();
    if (points > 0) font.setPointSizeF(scale_.Points(points));
    // Never smaller on the screen than the smallest readable size, whatever the scale.
    const qreal ratio = scale_.DevicePixelRatio();
    if (QFontInfo(font).pixelSize() * ratio < kSmallestTextPx) {
        font.setPixelSize(static_cast<int>(std::ceil(kSmallestTextPx / ratio)));
    }
    return font;
}

void SkinComboBox::SetMarked(bool marked) {
    if (marked == marked_) return;
    marked_ = marked;
    update();
}

void SkinComboBox::SetScale(const SkinScale& scale) {
    if (scale == scale_) return;
    scale_ = scale;
    update();
}

int SkinComboBox::PopupWidthFor() const {
    // Measured in the font the items are drawn with, so that the widest one fits.
    const QFontMetrics metrics(SkinFont(), this);
    int widest = 0;
    for (int i = 0; i < count(); ++i) {
        widest =
            std::max(widest, metrics.horizontalAdvance(itemText(i)) + metrics.averageCharWidth());
    }
    const int frame = style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, this);
    const int scrollBar = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
    return widest + 2 * frame + scrollBar;
}

void SkinComboBox::showPopup() {
    if (popup_ != nullptr) {
        const int wanted = PopupWidthFor();
        if (popup_->minimumWidth() < wanted) popup_->setMinimumWidth(wanted);
    }
    // The item heights follow the skin font, which may have changed since the last opening.
    view()->doItemsLayout();
    setMaxVisibleItems(visibleRows_);
    QComboBox::showPopup();
    LimitOpenListHeight();
}

void SkinComboBox::SetVisibleRows(int rows) {
    visibleRows_ = std::max(1, rows);
}

int SkinComboBox::ListMargins() const {
    int margins = view()->contentsMargins().top() + view()->contentsMargins().bottom();
    if (popup_ != nullptr) {
        margins += popup_->contentsMargins().top() + popup_->contentsMargins().bottom();
    }
    return margins;
}

int SkinComboBox::RowHeight() const {
    int row = QFontMetrics(SkinFont()).height();
    if (count() > 0) row = std::max(row, view()->sizeHintForRow(0));
    return std::max(row, 1);
}

int SkinComboBox::OpenListHeightLimit() const {
    return visibleRows_ * RowHeight() + ListMargins();
}

void SkinComboBox::LimitOpenListHeight() {
    if (popup_ == nullptr || !popup_->isVisible()) return;
    const int limit = OpenListHeightLimit();
    QRect list = popup_->geometry();
    if (list.height() <= limit) return;
    // Only a style that ignores the row count gets here; the list then goes where a plain list
    // goes: below the face, or above it when the screen ends first.
    const QRect face(mapToGlobal(QPoint(0, 0)), size());
    const QRect screenArea = screen() != nullptr ? screen()->availableGeometry() : QRect();
    // A plain list overlaps the face's last row of pixels, or its first one when above it.
    if (list.top() >= face.bottom()) {
        list.setHeight(limit);
    } else if (list.bottom() <= face.top()) {
        list.setTop(list.bottom() - limit + 1);
    } else if (screenArea.isValid() && face.bottom() + limit > screenArea.bottom() &&
               face.top() - limit >= screenArea.top()) {
        list = QRect(list.left(), face.top() - limit, list.width(), limit);
    } else {
        list = QRect(list.left(), face.bottom() + 1, list.width(), limit);
    }
    popup_->setGeometry(list);
    view()->scrollTo(view()->currentIndex(), QAbstractItemView::EnsureVisible);
}

void SkinComboBox::SetHoverState(int state) {
    if (hoverState_ == state) return;
    hoverState_ = state;
    update();
}

void SkinComboBox::paintEvent(QPaintEvent* /*event*/) {
    // The face is composed off-screen and put on the screen in one step.
    const qreal ratio = devicePixelRatioF();
    QPixmap face(size() * ratio);
    face.setDevicePixelRatio(ratio);
    face.fill(hoverState_ == kHoverNormal ? kDark : kRed);

    QPainter painter(&face);
    const QPixmap arrows = SkinBitmap(kBmpComboArrows, scale_);
    if (!arrows.isNull()) {
        const int frameWidth = arrows.width() / 3;
        const int frame = std::clamp(hoverState_, 0, 2);
        const QRect source(frame * frameWidth, 0, frameWidth, arrows.height());
        const qreal arrowRatio = arrows.devicePixelRatio();
        const QRectF target(width() - scale_.Px(kArrowRightInset), scale_.Px(kArrowTop),
                            frameWidth / arrowRatio, arrows.height() / arrowRatio);
        painter.drawPixmap(target, arrows, source);
    }

    const QRect textRect(0, 0, width() - scale_.Px(kTextRightInset), height());
    if (textRect.isValid()) {
        painter.setClipRect(textRect);
        // A list the connected ESC does not use shows its text dimmed, so it reads as such;
        // without a selection the placeholder says why, dimmed too.
        const bool placeholder = currentIndex() < 0 && !placeholderText().isEmpty();
        QFont font = SkinFont();
        // A placeholder says something about the list, not a value: set apart by its slant.
        font.setItalic(placeholder);
        painter.setFont(font);
        painter.setPen(isEnabled() && !placeholder ? kWhite : kDimText);
        // Centred on the face whatever the font's size; a text wider than the room before the
        // arrow ends in an ellipsis instead of running under the arrow.
        const QString text = QLatin1Char(' ') + (placeholder ? placeholderText() : currentText());
        painter.drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                         painter.fontMetrics().elidedText(text, Qt::ElideRight, textRect.width()));
    }
    painter.setClipping(false);
    if (marked_) {
        // On the face's own edge, outside the focus mark, so both show at once.
        painter.setPen(QPen(kWhite, 0));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
    }
    if (hasFocus()) DrawFocusMark(painter, rect());
    painter.end();

    QPainter(this).drawPixmap(0, 0, face);
}

void SkinComboBox::mouseMoveEvent(QMouseEvent* event) {
    if (!tracking_) {
        tracking_ = true;
        SetHoverState(kHoverOver);
    }
    QComboBox::mouseMoveEvent(event);
}

void SkinComboBox::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) SetHoverState(kHoverPressed);
    QComboBox::mousePressEvent(event);
}

void SkinComboBox::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) SetHoverState(kHoverOver);
    QComboBox::mouseReleaseEvent(event);
}

void SkinComboBox::leaveEvent(QEvent* /*event*/) {
    tracking_ = false;
    // Opening the list moves the mouse into the list's window, which reports as leaving the
    // control; the pressed look stays while the list is open.
    if (popup_ != nullptr && popup_->isVisible()) return;
    SetHoverState(kHoverNormal);
}

void SkinComboBox::wheelEvent(QWheelEvent* event) {
    // A wheel turned to scroll, with the mouse passing over a list on its way, must not change an
    // ESC setting unseen; the list turns with the wheel only once a click or Tab has chosen it.
    // The open list takes the wheel itself.
    if (!hasFocus()) {
        event->ignore();
        return;
    }
    QComboBox::wheelEvent(event);
}

bool SkinComboBox::eventFilter(QObject* watched, QEvent* event) {
    if (watched == popup_ && event->type() == QEvent::Hide) {
        // The list takes the release of the press that opened it, and the mouse may have gone
        // anywhere meanwhile, so the look is settled from where the cursor is now.
        const bool over = rect().contains(mapFromGlobal(QCursor::pos()));
        tracking_ = over;
        SetHoverState(over ? kHoverOver : kHoverNormal);
    }
    return QComboBox::eventFilter(watched, event);
}

}  // namespace vorna::gui
