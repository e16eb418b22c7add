// What a skin picture of the window shows, as a user sees it: its pixels compared with the
// skin's bitmaps drawn at the window's scale.
#pragma once

#include <QImage>
#include <QLabel>
#include <QPixmap>

#include <initializer_list>

#include "gui/skin/Skin.h"

namespace vorna::test {

// Which of `bitmaps` `label` shows at `scale`; 0 for none of them.
inline int ShownBitmap(const QLabel* label, const gui::SkinScale& scale,
                       std::initializer_list<int> bitmaps) {
    const QImage shown = label->pixmap().toImage();
    for (const int bitmap : bitmaps) {
        if (gui::SkinBitmap(bitmap, scale).toImage() == shown) return bitmap;
    }
    return 0;
}

}  // namespace vorna::test
