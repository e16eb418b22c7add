// What the pages share in look and feel: light text on the black skin, and click areas that
// leave their outline out.
#pragma once

#include <QColor>
#include <QPalette>
#include <QPoint>
#include <QRect>

namespace vorna::gui {

inline const QColor kLightText(234, 234, 234);

// Texts and boxes in the pages' light grey on black.
inline QPalette LightOnBlack(QPalette palette) {
    for (const auto role : {QPalette::WindowText, QPalette::Text}) {
        palette.setColor(QPalette::All, role, kLightText);
    }
    palette.setColor(QPalette::All, QPalette::Window, Qt::black);
    palette.setColor(QPalette::All, QPalette::Base, Qt::black);
    return palette;
}

// A press is inside when left < x < left + width and top < y < top + height: a point on the
// outline belongs to no area (QRect::contains() would count it in).
inline bool StrictlyInside(const QRect& r, const QPoint& p) {
    return p.x() > r.left() && p.x() < r.left() + r.width() && p.y() > r.top() &&
           p.y() < r.top() + r.height();
}

}  // namespace vorna::gui
