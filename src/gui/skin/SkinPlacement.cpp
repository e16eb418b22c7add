#include "gui/skin/SkinPlacement.h"

#include <QFontInfo>
#include <QLabel>

#include <cmath>

#include "gui/skin/Skin.h"

namespace vorna::gui {

QFont SkinPlacement::Scaled(QFont font, const SkinScale& scale) {
    if (font.pointSizeF() > 0) {
        font.setPointSizeF(scale.Points(font.pointSizeF()));
    } else if (font.pixelSize() > 0) {
        font.setPixelSize(std::max(1, qRound(font.pixelSize() * scale.Text())));
    }
    // No text of the window's comes out smaller on the screen than the smallest readable size.
    const qreal ratio = scale.DevicePixelRatio();
    if (QFontInfo(font).pixelSize() * ratio < kSmallestTextPx) {
        font.setPixelSize(static_cast<int>(std::ceil(kSmallestTextPx / ratio)));
    }
    return font;
}

void SkinPlacement::Add(QWidget* widget, QRect place, std::optional<QFont> font) {
    entries_.push_back({widget, place, std::move(font), 0, false});
    Show(entries_.back());
}

void SkinPlacement::AddPicture(QLabel* label, QRect place, int bitmapId, bool fitFrame) {
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    entries_.push_back({label, place, std::nullopt, bitmapId, fitFrame});
    Show(entries_.back());
}

void SkinPlacement::SetPicture(QLabel* label, int bitmapId) {
    Entry* entry = Find(label);
    if (entry == nullptr || entry->bitmapId == bitmapId) return;
    entry->bitmapId = bitmapId;
    Show(*entry);
}

int SkinPlacement::PictureOf(const QLabel* label) const {
    const Entry* entry = Find(label);
    return entry != nullptr ? entry->bitmapId : 0;
}

void SkinPlacement::SetFont(QWidget* widget, const QFont& font) {
    Entry* entry = Find(widget);
    if (entry == nullptr) return;
    entry->font = font;
    Show(*entry);
}

void SkinPlacement::Apply(const SkinScale& scale) {
    scale_ = scale;
    for (Entry& entry : entries_) Show(entry);
}

SkinPlacement::Entry* SkinPlacement::Find(const QWidget* widget) {
    for (Entry& entry : entries_) {
        if (entry.widget == widget) return &entry;
    }
    return nullptr;
}

const SkinPlacement::Entry* SkinPlacement::Find(const QWidget* widget) const {
    for (const Entry& entry : entries_) {
        if (entry.widget == widget) return &entry;
    }
    return nullptr;
}

void SkinPlacement::Show(Entry& entry) {
    QWidget* widget = entry.widget.data();
    if (widget == nullptr) return;
    widget->setGeometry(scale_.Rect(entry.place));
    if (entry.font) widget->setFont(Scaled(*entry.font, scale_));
    if (entry.bitmapId != 0) {
        if (auto* label = qobject_cast<QLabel*>(widget)) {
            label->setPixmap(entry.fitFrame
                                 ? SkinFrameBitmap(entry.bitmapId, entry.place.size(), scale_)
                                 : SkinBitmap(entry.bitmapId, scale_));
        }
    }
}

}  // namespace vorna::gui
