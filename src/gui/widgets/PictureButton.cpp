#include "gui/widgets/PictureButton.h"

#include <QKeyEvent>
#include <QPainter>

#include "gui/widgets/WidgetLook.h"

namespace vorna::gui {

PictureButton::PictureButton(QWidget* parent) : QAbstractButton(parent) {
    setFocusPolicy(Qt::StrongFocus);
}

PictureButton::~PictureButton() = default;

void PictureButton::SetPicture(const QPixmap& picture) {
    picture_ = picture;
    dimmed_ = Dimmed(picture);
    updateGeometry();
    repaint();
}

void PictureButton::SetMouseTransparent(bool transparent) {
    setAttribute(Qt::WA_TransparentForMouseEvents, transparent);
}

bool PictureButton::IsMouseTransparent() const {
    return testAttribute(Qt::WA_TransparentForMouseEvents);
}

QSize PictureButton::sizeHint() const {
    if (!picture_.isNull()) return picture_.deviceIndependentSize().toSize();
    return {16, 16};
}

void PictureButton::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    painter.drawPixmap(0, 0, isEnabled() ? picture_ : dimmed_);
    if (hasFocus()) DrawFocusMark(painter, rect());
}

void PictureButton::keyPressEvent(QKeyEvent* event) {
    // Space pushes the button in the base class; Enter and Return click it at once.
    if (IsEnterKey(*event)) {
        if (!event->isAutoRepeat()) click();
        event->accept();
        return;
    }
    QAbstractButton::keyPressEvent(event);
}

bool PictureButton::hitButton(const QPoint& pos) const {
    return pos.x() > 0 && pos.y() > 0 && pos.x() < width() && pos.y() < height();
}

PictureButton* KeyboardButtonOver(QWidget* parent, QRect place, const QString& name) {
    auto* button = new PictureButton(parent);
    button->setGeometry(place);
    button->setAccessibleName(name);
    button->SetMouseTransparent(true);
    return button;
}

}  // namespace vorna::gui
