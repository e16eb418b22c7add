#include "gui/skin/SkinScale.h"

#include <QtMath>

#include <algorithm>

namespace vorna::gui {

SkinScale::SkinScale(qreal layout, qreal devicePixelRatio)
    : layout_(layout > 0 ? layout : 1.0), ratio_(devicePixelRatio > 0 ? devicePixelRatio : 1.0) {}

qreal SkinScale::Text() const {
    return std::min(1.0, std::max(layout_, 1.0 / ratio_));
}

int SkinScale::Px(int skinPixels) const {
    return qRound(skinPixels * layout_);
}

QPoint SkinScale::Point(QPoint skin) const {
    return {Px(skin.x()), Px(skin.y())};
}

QSize SkinScale::Size(QSize skin) const {
    return {Px(skin.width()), Px(skin.height())};
}

QRect SkinScale::Rect(const QRect& skin) const {
    const int left = Px(skin.x());
    const int top = Px(skin.y());
    return {left, top, Px(skin.x() + skin.width()) - left, Px(skin.y() + skin.height()) - top};
}

}  // namespace vorna::gui
