#include "gui/widgets/SkinButton.h"

#include <QFocusEvent>
#include <QFont>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPalette>

#include "gui/skin/Skin.h"
#include "gui/widgets/WidgetLook.h"

namespace vorna::gui {

SkinButton::SkinButton(QWidget* parent) : QAbstractButton(parent) {
    Init();
}

SkinButton::SkinButton(const QString& caption, QWidget* parent) : QAbstractButton(parent) {
    Init();
    setText(caption);
}

SkinButton::~SkinButton() = default;

void SkinButton::Init() {
    // The hover look starts with the first move over the button, so moves must arrive without a
    // held mouse button too.
    setMouseTracking(true);
    textColor_ = palette().color(QPalette::Active, QPalette::ButtonText);
}

void SkinButton::AssignSkin(int normalId, int downId, int overId) {
    SetImages(SkinBitmap(normalId, scale_), SkinBitmap(downId, scale_),
              overId > 0 ? SkinBitmap(overId, scale_) : QPixmap());
    skinIds_[0] = normalId;
    skinIds_[1] = downId;
    skinIds_[2] = overId;
}

void SkinButton::SetScale(const SkinScale& scale) {
    if (scale == scale_) return;
    scale_ = scale;
    if (skinIds_[0] != 0 || skinIds_[1] != 0) AssignSkin(skinIds_[0], skinIds_[1], skinIds_[2]);
    update();
}

void SkinButton::SetImages(const QPixmap& normal, const QPixmap& down, const QPixmap& over) {
    skinIds_[0] = skinIds_[1] = skinIds_[2] = 0;
    normal_ = normal;
    down_ = down;
    over_ = over;
    disabled_ = Dimmed(normal);
    disabledDown_ = Dimmed(down);
    updateGeometry();
    update();
}

void SkinButton::SetFontSize(int tenthsOfPoint) {
    fontSize_ = tenthsOfPoint;
    update();
}

void SkinButton::SetFontFace(const QString& face) {
    fontFace_ = face;
    update();
}

void SkinButton::SetTextColor(const QColor& color) {
    textColor_ = color;
    update();
}

void SkinButton::SetSelected(bool selected) {
    selected_ = selected;
    repaint();
}

SkinButton::Face SkinButton::CurrentFace() const {
    if (!isEnabled()) return Face::Disabled;
    if (selected_ || isDown()) return Face::Down;
    // A focused button never shows the hover image: it is the one the keyboard acts on.
    if (hasFocus()) return Face::Normal;
    if (hover_ && !over_.isNull()) return Face::Over;
    return Face::Normal;
}

const QPixmap& SkinButton::ImageFor(Face face) const {
    switch (face) {
        case Face::Down:
            return down_;
        case Face::Over:
            return over_;
        case Face::Disabled:
            return selected_ ? disabledDown_ : disabled_;
        case Face::Normal:
            break;
    }
    return normal_;
}

QSize SkinButton::sizeHint() const {
    if (!normal_.isNull()) return normal_.deviceIndependentSize().toSize();
    return {75, 23};
}

void SkinButton::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    // Everything the button draws, caption included, stays inside it.
    painter.setClipRect(rect());

    QFont font(fontFace_);
    // No size set means the application's default size.
    const qreal points = fontSize_ > 0 ? fontSize_ / 10.0 : QFont().pointSizeF();
    if (points > 0) font.setPointSizeF(scale_.Points(points));
    painter.setFont(font);
    const QFontMetrics metrics(font, this);

    const QString caption = text();
    const int length = static_cast<int>(caption.size());
    // Placed by character count and average width rather than by the measured text, 5 px left
    // of centre, so a caption such as "37%" sits still while its digits change.
    const int x = (width() - length * metrics.averageCharWidth()) / 2 - 5;
    const int y = (height() - metrics.height()) / 2;
    const int baseline = y + metrics.ascent();

    const Face face = CurrentFace();
    const QPixmap& image = ImageFor(face);
    if (image.isNull()) {
        painter.fillRect(rect(), palette().color(QPalette::Button));
    } else {
        // Unscaled from the top-left corner; whatever lies beyond the button is cut off.
        painter.drawPixmap(0, 0, image);
    }

    if (!caption.isEmpty()) {
        if (face == Face::Disabled) {
            // Embossed: a light copy one pixel down and right under the grey text.
            painter.setPen(palette().color(QPalette::Active, QPalette::Light));
            painter.drawText(x + 1, baseline + 1, caption);
            painter.setPen(palette().color(QPalette::Disabled, QPalette::ButtonText));
            painter.drawText(x, baseline, caption);
        } else {
            painter.setPen(textColor_);
            painter.drawText(x, baseline, caption);
        }
    }
    if (hasFocus()) {
        // Around the image rather than the whole button, which may be wider than its picture.
        QRect marked = rect();
        if (!image.isNull()) {
            marked &= QRect(QPoint(0, 0), image.deviceIndependentSize().toSize());
        }
        DrawFocusMark(painter, marked);
    }
}

void SkinButton::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        if (hover_) hover_ = false;
        held_ = true;
    }
    QAbstractButton::mousePressEvent(event);
    // The base class repaints only when the press lands on the button.
    update();
}

void SkinButton::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) held_ = false;
    QAbstractButton::mouseReleaseEvent(event);
    update();
}

void SkinButton::mouseDoubleClickEvent(QMouseEvent* event) {
    // The second click of a double click is an ordinary press, so two quick clicks give two
    // clicks.
    mousePressEvent(event);
}

void SkinButton::keyPressEvent(QKeyEvent* event) {
    // Space pushes the button in the base class; Enter and Return click it at once, as they do
    // the default button of a dialog. A held key clicks once.
    if (IsEnterKey(*event)) {
        if (!event->isAutoRepeat()) click();
        event->accept();
        return;
    }
    QAbstractButton::keyPressEvent(event);
}

void SkinButton::mouseMoveEvent(QMouseEvent* event) {
    if (held_) {
        // The base class moves the pushed look with the mouse: down over the button, up off it.
        QAbstractButton::mouseMoveEvent(event);
        return;
    }
    if (!hover_) {
        hover_ = true;
        update();
    }
    // After the hold was broken (focus lost with the button still pressed), the base class would
    // push the button again as the mouse returns; the hold is over, so it must not.
    if (event->buttons() & Qt::LeftButton) {
        event->ignore();
        return;
    }
    QAbstractButton::mouseMoveEvent(event);
}

void SkinButton::leaveEvent(QEvent* event) {
    hover_ = false;
    update();
    QAbstractButton::leaveEvent(event);
}

void SkinButton::focusOutEvent(QFocusEvent* event) {
    if (held_) {
        held_ = false;
        // Losing focus ends the hold: no click comes of the release that follows.
        if (isDown()) setDown(false);
    }
    QAbstractButton::focusOutEvent(event);
    update();
}

}  // namespace vorna::gui
