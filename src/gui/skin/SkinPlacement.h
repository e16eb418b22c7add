// Where a page's widgets go, in skin pixels, and what they show: placed again, with their
// pictures drawn afresh and their fonts resized, each time the skin's scale changes.
#pragma once

#include <QFont>
#include <QPointer>
#include <QRect>
#include <QWidget>

#include <optional>
#include <vector>

#include "gui/skin/SkinScale.h"

class QLabel;

namespace vorna::gui {

class SkinPlacement {
public:
    // `widget` goes to `place`; with `font`, it gets that font at the scale's text size.
    void Add(QWidget* widget, QRect place, std::optional<QFont> font = std::nullopt);
    // A picture label: placed, showing skin bitmap `bitmapId`. With `fitFrame` the bitmap (a
    // panel frame) is drawn for the place's size instead of its own.
    void AddPicture(QLabel* label, QRect place, int bitmapId, bool fitFrame = false);
    // Another bitmap for a picture added before (lamps, hint, status pictures).
    void SetPicture(QLabel* label, int bitmapId);
    // The bitmap a picture shows; 0 for a label that is not one.
    int PictureOf(const QLabel* label) const;
    // A new font for a widget added before, in its skin size.
    void SetFont(QWidget* widget, const QFont& font);

    // Places everything again at `scale`.
    void Apply(const SkinScale& scale);
    const SkinScale& Scale() const { return scale_; }
    QRect Rect(const QRect& place) const { return scale_.Rect(place); }

    // `font` at the text size of `scale`.
    static QFont Scaled(QFont font, const SkinScale& scale);

private:
    struct Entry {
        QPointer<QWidget> widget;
        QRect place;
        std::optional<QFont> font;
        int bitmapId = 0;
        bool fitFrame = false;
    };
    Entry* Find(const QWidget* widget);
    const Entry* Find(const QWidget* widget) const;
    void Show(Entry& entry);

    std::vector<Entry> entries_;
    SkinScale scale_;
};

}  // namespace vorna::gui
