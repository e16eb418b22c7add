#include "gui/skin/Skin.h"

#include <QHash>
#include <QImage>
#include <QPainter>
#include <QtMath>
#include <algorithm>
#include <array>
#include <functional>
#include <utility>

#include "gui/skin/SkinPainting.h"

namespace vorna::gui {

namespace {

using skin::CaptionLook;
using skin::Outcome;

// Pictures that cover something when shown (buttons, status pictures over each other, the page
// picture) are opaque; captions, rules and frames are transparent because the layout lays some
// of them across a neighbouring frame's outline (the middle captions start 5 pixels left of the
// middle frame), and the pages are black underneath anyway.
enum class Ground { Clear, Black };

struct Entry {
    int id;
    QSize size;
    Ground ground;
};

const std::array kEntries = {
    // Main window.
    Entry{kBmpProductLogo, {200, 66}, Ground::Clear},
    Entry{kBmpRedRule, {190, 5}, Ground::Clear},
    Entry{kBmpHintOrange, {200, 46}, Ground::Clear},
    Entry{kBmpHintWhite, {200, 46}, Ground::Clear},
    Entry{kBmpHintEsc, {200, 46}, Ground::Clear},
    Entry{kBmpHintCard, {200, 46}, Ground::Clear},
    Entry{kBmpHintFix, {200, 46}, Ground::Clear},
    Entry{kBmpLampHeading, {191, 12}, Ground::Clear},
    Entry{kBmpLampLegend, {156, 69}, Ground::Clear},
    Entry{kBmpLampOff, {26, 24}, Ground::Clear},
    Entry{kBmpLampOn, {26, 24}, Ground::Clear},
    Entry{kBmpMakerLogo, {160, 65}, Ground::Clear},
    Entry{kBmpSupportDown, {155, 38}, Ground::Black},
    Entry{kBmpSupportNormal, {155, 38}, Ground::Black},
    Entry{kBmpSupportOver, {155, 38}, Ground::Black},
    Entry{kBmpFirmwareDown, {155, 38}, Ground::Black},
    Entry{kBmpFirmwareNormal, {155, 38}, Ground::Black},
    Entry{kBmpFirmwareOver, {155, 38}, Ground::Black},
    Entry{kBmpEscSetupDown, {155, 38}, Ground::Black},
    Entry{kBmpEscSetupNormal, {155, 38}, Ground::Black},
    Entry{kBmpEscSetupOver, {155, 38}, Ground::Black},
    Entry{kBmpSendSetting, {110, 60}, Ground::Black},
    Entry{kBmpDefaultSetting, {110, 60}, Ground::Black},
    Entry{kBmpProgressBar, {91, 30}, Ground::Black},

    // ESC setup page.
    Entry{kBmpFirmwareVersionCaption, {123, 24}, Ground::Clear},
    Entry{kBmpBasicSetup, {120, 18}, Ground::Clear},
    Entry{kBmpSeparator, {280, 5}, Ground::Clear},
    Entry{kBmpLeftCaptions, {130, 550}, Ground::Clear},
    Entry{kBmpMiddleCaptions, {130, 335}, Ground::Clear},
    Entry{kBmpMiddleCaptionsAlt, {130, 335}, Ground::Clear},
    Entry{kBmpPresetHeading, {200, 30}, Ground::Clear},
    Entry{kBmpCategoryCaption, {70, 13}, Ground::Clear},
    Entry{kBmpSheetCaption, {70, 14}, Ground::Clear},
    Entry{kBmpCommentHeading, {180, 30}, Ground::Clear},
    Entry{kBmpInfoCaptions, {80, 380}, Ground::Clear},
    Entry{kBmpRightFrame, {330, 625}, Ground::Clear},
    Entry{kBmpLeftFrame, {330, 625}, Ground::Clear},
    Entry{kBmpMiddleFrame, {330, 350}, Ground::Clear},
    Entry{kBmpPresetFrame, {320, 180}, Ground::Clear},

    // Links page.
    Entry{kBmpLinksPage, {972, 570}, Ground::Black},

    // Firmware page.
    Entry{kBmpEscFirmwareTitle, {180, 32}, Ground::Clear},
    Entry{kBmpPanelRule, {420, 10}, Ground::Clear},
    Entry{kBmpEscFirmwareSave, {150, 75}, Ground::Black},
    Entry{kBmpStatusFailed, {150, 75}, Ground::Black},
    Entry{kBmpCardFirmwareTitle, {270, 32}, Ground::Clear},
    Entry{kBmpCardFirmwareSave, {150, 75}, Ground::Black},
    Entry{kBmpFirmwareInfoTitle, {250, 37}, Ground::Clear},
    Entry{kBmpStatusReady, {150, 75}, Ground::Black},
    Entry{kBmpFirmwarePanel, {600, 520}, Ground::Clear},
    Entry{kBmpComboArrows, {63, 20}, Ground::Black},
    Entry{kBmpStatusFinished, {150, 75}, Ground::Black},
    Entry{kBmpProgressFrame, {150, 75}, Ground::Black},
};

bool IsFrame(int id) {
    return id == kBmpRightFrame || id == kBmpLeftFrame || id == kBmpMiddleFrame ||
           id == kBmpPresetFrame || id == kBmpFirmwarePanel || id == kBmpProgressFrame;
}

void Paint(int id, QPainter& p, QSize size) {
    using namespace skin;
    const QString support = QStringLiteral("USER SUPPORT");
    const QString firmware = QStringLiteral("FIRMWARE");
    const QString escSetup = QStringLiteral("ESC SETUP");
    const QString selectDevice = QStringLiteral("Please select a device:");
    const QString howToSelect = QStringLiteral("Device > Esc or Program Card");
    const QString changeIt = QStringLiteral("change it in the Device menu");
    switch (id) {
        case kBmpProductLogo:
            return PaintProductLogo(p, size);
        case kBmpRedRule:
            return PaintRedRule(p, size);
        case kBmpHintOrange:
            return PaintDeviceHint(p, size, kOrange, selectDevice, howToSelect);
        case kBmpHintWhite:
            return PaintDeviceHint(p, size, Qt::white, selectDevice, howToSelect);
        case kBmpHintEsc:
            return PaintDeviceHint(p, size, kOrange, QStringLiteral("Device: ESC"), changeIt);
        case kBmpHintCard:
            return PaintDeviceHint(p, size, kOrange, QStringLiteral("Device: Program Card"),
                                   changeIt);
        case kBmpHintFix:
            return PaintDeviceHint(p, size, kOrange, QStringLiteral("Device: Fix Mode"),
                                   QStringLiteral("ESC firmware repair"));
        case kBmpLampHeading:
            return PaintLampHeading(p, size);
        case kBmpLampLegend:
            return PaintLampLegend(p, size);
        case kBmpLampOff:
            return PaintLamp(p, size, false);
        case kBmpLampOn:
            return PaintLamp(p, size, true);
        case kBmpMakerLogo:
            return PaintMakerLogo(p, size);
        case kBmpSupportDown:
            return PaintPageCaption(p, size, support, CaptionLook::Down);
        case kBmpSupportNormal:
            return PaintPageCaption(p, size, support, CaptionLook::Normal);
        case kBmpSupportOver:
            return PaintPageCaption(p, size, support, CaptionLook::Over);
        case kBmpFirmwareDown:
            return PaintPageCaption(p, size, firmware, CaptionLook::Down);
        case kBmpFirmwareNormal:
            return PaintPageCaption(p, size, firmware, CaptionLook::Normal);
        case kBmpFirmwareOver:
            return PaintPageCaption(p, size, firmware, CaptionLook::Over);
        case kBmpEscSetupDown:
            return PaintPageCaption(p, size, escSetup, CaptionLook::Down);
        case kBmpEscSetupNormal:
            return PaintPageCaption(p, size, escSetup, CaptionLook::Normal);
        case kBmpEscSetupOver:
            return PaintPageCaption(p, size, escSetup, CaptionLook::Over);
        case kBmpSendSetting:
            return PaintSendSetting(p, size);
        case kBmpDefaultSetting:
            return PaintDefaultSetting(p, size);
        case kBmpProgressBar:
            return PaintProgressBar(p, size);

        case kBmpFirmwareVersionCaption:
            return PaintFirmwareVersionCaption(p, size);
        case kBmpBasicSetup:
            return PaintBasicSetup(p, size);
        case kBmpSeparator:
            return PaintSeparator(p, size);
        case kBmpLeftCaptions:
            return PaintLeftCaptions(p, size);
        case kBmpMiddleCaptions:
            return PaintMiddleCaptions(p, size, false);
        case kBmpMiddleCaptionsAlt:
            return PaintMiddleCaptions(p, size, true);
        case kBmpPresetHeading:
            return PaintPresetHeading(p, size);
        case kBmpCategoryCaption:
            return PaintSmallCaption(p, size, QStringLiteral("Category"));
        case kBmpSheetCaption:
            return PaintSmallCaption(p, size, QStringLiteral("Setup Sheet"));
        case kBmpCommentHeading:
            return PaintCommentHeading(p, size);
        case kBmpInfoCaptions:
            return PaintInfoCaptions(p, size);
        case kBmpRightFrame:
        case kBmpLeftFrame:
        case kBmpMiddleFrame:
        case kBmpPresetFrame:
            return PaintPanelFrame(p, size);

        case kBmpLinksPage:
            return PaintLinksPage(p, size);

        case kBmpEscFirmwareTitle:
            return PaintPageTitle(p, size, QStringLiteral("ESC FIRMWARE"));
        case kBmpPanelRule:
            return PaintPanelRule(p, size);
        case kBmpEscFirmwareSave:
            return PaintStartPicture(p, size, QStringLiteral("ESC FIRMWARE"));
        case kBmpStatusFailed:
            return PaintStatus(p, size, Outcome::Failed);
        case kBmpCardFirmwareTitle:
            return PaintPageTitle(p, size, QStringLiteral("PROGRAM CARD FIRMWARE"));
        case kBmpCardFirmwareSave:
            return PaintStartPicture(p, size, QStringLiteral("PROGRAM CARD FIRMWARE"));
        case kBmpFirmwareInfoTitle:
            return PaintPageTitle(p, size, QStringLiteral("FIRMWARE INFORMATION"));
        case kBmpStatusReady:
            return PaintStatus(p, size, Outcome::Ready);
        case kBmpFirmwarePanel:
            return PaintFirmwarePanel(p, size);
        case kBmpComboArrows:
            return PaintComboArrows(p, size);
        case kBmpStatusFinished:
            return PaintStatus(p, size, Outcome::Finished);
        case kBmpProgressFrame:
            return PaintProgressFrame(p, size);
        default:
            return;
    }
}

const Entry* FindEntry(int id) {
    for (const Entry& entry : kEntries) {
        if (entry.id == id) return &entry;
    }
    return nullptr;
}

// Painting goes to a QImage, which any painter backend renders the same way, and becomes a
// pixmap only at the end. The painters lay out in the skin's pixels (`size`); at another scale
// the painter is scaled, so lines and text are drawn at the screen's resolution, not enlarged.
QPixmap Render(QSize size, Ground ground, const std::function<void(QPainter&)>& paint,
               const SkinScale& scale = SkinScale()) {
    const QSize shown = scale.Size(size).expandedTo(QSize(1, 1));
    const qreal ratio = scale.DevicePixelRatio();
    const QSize pixels(std::max(1, qRound(shown.width() * ratio)),
                       std::max(1, qRound(shown.height() * ratio)));
    QImage image(pixels, QImage::Format_ARGB32_Premultiplied);
    image.fill(ground == Ground::Black ? Qt::black : Qt::transparent);
    {
        QPainter painter(&image);
        painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing |
                               QPainter::SmoothPixmapTransform);
        if (pixels != size) {
            painter.scale(static_cast<qreal>(pixels.width()) / size.width(),
                          static_cast<qreal>(pixels.height()) / size.height());
        }
        paint(painter);
    }
    image.setDevicePixelRatio(ratio);
    return QPixmap::fromImage(std::move(image));
}

// Scaled drawings are kept by number, size and scale; a window is drawn at one or two scales in
// its life, so the cache stays small.
struct ScaledKey {
    int id;
    int width;
    int height;
    int layoutPermille;
    int ratioPermille;
    bool operator==(const ScaledKey&) const = default;
};

size_t qHash(const ScaledKey& key, size_t seed = 0) {
    return qHashMulti(seed, key.id, key.width, key.height, key.layoutPermille, key.ratioPermille);
}

ScaledKey KeyOf(int id, QSize size, const SkinScale& scale) {
    return {id, size.width(), size.height(), qRound(scale.Layout() * 1000),
            qRound(scale.DevicePixelRatio() * 1000)};
}

QHash<ScaledKey, QPixmap>& ScaledCache() {
    static QHash<ScaledKey, QPixmap> cache;
    return cache;
}

QPixmap CachedScaled(int id, QSize size, Ground ground, const SkinScale& scale) {
    QHash<ScaledKey, QPixmap>& cache = ScaledCache();
    const ScaledKey key = KeyOf(id, size, scale);
    auto found = cache.constFind(key);
    if (found != cache.constEnd()) return *found;
    QPixmap pixmap = Render(
        size, ground,
        [id, size, &scale](QPainter& p) {
            const skin::ReadableTextAt readable(scale);
            Paint(id, p, size);
        },
        scale);
    cache.insert(key, pixmap);
    return pixmap;
}

// Pixmaps belong to the GUI thread, and so do these caches: no lock.
QHash<int, QPixmap>& BitmapCache() {
    static QHash<int, QPixmap> cache;
    return cache;
}

QHash<QPair<int, QPair<int, int>>, QPixmap>& FrameCache() {
    static QHash<QPair<int, QPair<int, int>>, QPixmap> cache;
    return cache;
}

}  // namespace

QSize SkinBitmapSize(int id) {
    const Entry* entry = FindEntry(id);
    return entry != nullptr ? entry->size : QSize();
}

QPixmap SkinBitmap(int id) {
    const Entry* entry = FindEntry(id);
    if (entry == nullptr) return {};
    QHash<int, QPixmap>& cache = BitmapCache();
    auto found = cache.constFind(id);
    if (found != cache.constEnd()) return *found;
    QPixmap pixmap = Render(entry->size, entry->ground, [entry](QPainter& p) {
        const skin::ReadableTextAt readable{SkinScale()};
        Paint(entry->id, p, entry->size);
    });
    cache.insert(id, pixmap);
    return pixmap;
}

QPixmap SkinBitmap(int id, const SkinScale& scale) {
    if (scale == SkinScale()) return SkinBitmap(id);
    const Entry* entry = FindEntry(id);
    if (entry == nullptr) return {};
    return CachedScaled(id, entry->size, entry->ground, scale);
}

QPixmap SkinFrameBitmap(int id, QSize size, const SkinScale& scale) {
    if (scale == SkinScale()) return SkinFrameBitmap(id, size);
    const Entry* entry = FindEntry(id);
    if (entry == nullptr || !IsFrame(id) || size.isEmpty()) return {};
    return CachedScaled(id, size, entry->ground, scale);
}

QPixmap SkinFrameBitmap(int id, QSize size) {
    const Entry* entry = FindEntry(id);
    if (entry == nullptr || !IsFrame(id) || size.isEmpty()) return {};
    if (size == entry->size) return SkinBitmap(id);
    QHash<QPair<int, QPair<int, int>>, QPixmap>& cache = FrameCache();
    const auto key = qMakePair(id, qMakePair(size.width(), size.height()));
    auto found = cache.constFind(key);
    if (found != cache.constEnd()) return *found;
    QPixmap pixmap = Render(size, entry->ground, [id, size](QPainter& p) {
        const skin::ReadableTextAt readable{SkinScale()};
        Paint(id, p, size);
    });
    cache.insert(key, pixmap);
    return pixmap;
}

void ForgetSkinBitmapsNotAt(const SkinScale& scale) {
    if (!(scale == SkinScale())) {
        BitmapCache().clear();
        FrameCache().clear();
    }
    const ScaledKey kept = KeyOf(0, QSize(), scale);
    ScaledCache().removeIf([&](const QHash<ScaledKey, QPixmap>::iterator& it) {
        return it.key().layoutPermille != kept.layoutPermille ||
               it.key().ratioPermille != kept.ratioPermille;
    });
}

QPixmap AppIconPixmap(int size) {
    if (size <= 0) return {};
    static QHash<int, QPixmap> cache;
    auto found = cache.constFind(size);
    if (found != cache.constEnd()) return *found;
    QPixmap pixmap = Render(QSize(size, size), Ground::Clear,
                            [size](QPainter& p) { skin::PaintAppIcon(p, size); });
    cache.insert(size, pixmap);
    return pixmap;
}

}  // namespace vorna::gui
