// How large the skin is drawn. The layout, the pictures and the click areas are given in the
// skin's own pixels (the window is 1250 x 645 of them below its menu bar); where the screen has
// less room, the whole skin is drawn smaller by one factor rather than cut off and scrolled.
#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

namespace vorna::gui {

// The smallest text the window draws, in the screen's pixels, at any scale: below it a caption
// is unreadable in sunlight at the track. Text that does not fit at this size is elided, with
// the whole text in a tooltip, rather than drawn smaller. Counted in the screen's pixels, as
// SkinScale::Text() counts: a desktop scaled to 150 % already draws every letter larger.
inline constexpr qreal kSmallestTextPx = 11.0;

class SkinScale {
public:
    SkinScale() = default;
    // `layout`: window pixels per skin pixel (1 is the skin's own size); `devicePixelRatio`:
    // screen pixels per window pixel, which the desktop's scale sets (1.5 at 150 %).
    explicit SkinScale(qreal layout, qreal devicePixelRatio = 1.0);

    qreal Layout() const { return layout_; }
    qreal DevicePixelRatio() const { return ratio_; }
    // The factor for the controls' fonts: the layout's, but never so small that text comes out
    // smaller on the screen than at 100 % with room for the whole skin. On a screen smaller
    // than the skin at 100 %, text keeps its size while the layout shrinks around it.
    qreal Text() const;
    qreal Points(qreal points) const { return points * Text(); }

    int Px(int skinPixels) const;
    QPoint Point(QPoint skin) const;
    QSize Size(QSize skin) const;
    // Each edge scaled on its own, so boxes that touch in the skin still touch.
    QRect Rect(const QRect& skin) const;

    bool operator==(const SkinScale& other) const = default;

private:
    qreal layout_ = 1.0;
    qreal ratio_ = 1.0;
};

}  // namespace vorna::gui
