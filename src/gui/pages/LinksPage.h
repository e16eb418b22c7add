// The links page: one large picture with five invisible click areas over it. A click in an area
// opens the maker's home page or one product's page in the user's browser.
#pragma once

#include <QPixmap>
#include <QPoint>
#include <QRect>
#include <QString>
#include <QWidget>
#include <array>
#include <filesystem>
#include <functional>

#include "gui/AppConfig.h"
#include "gui/UrlOpener.h"
#include "gui/skin/Skin.h"

namespace vorna::gui {

class LinksPage : public QWidget {
    Q_OBJECT

public:
    struct ClickArea {
        const char* name;  // the object name of the keyboard's way to it
        QRect rect;        // page coordinates; the border itself is outside the area
        ProductLink link;  // the link it opens
    };
    static constexpr std::size_t kAreaCount = 5;

    // The page picture is drawn 10 pixels in from the page's corner; the click areas are in
    // page pixels and do not move with it, so the picture must stay exactly there.
    static constexpr QPoint kPictureOffset{kLinksPictureLeft, kLinksPictureTop};

    // Reads the links from config.ini in `configFolder`; `opener` receives the link text of
    // every area clicked.
    LinksPage(const std::filesystem::path& configFolder, UrlOpener opener,
              QWidget* parent = nullptr);

    // Tells the user a link could not be opened, with its address to copy; without one set, a
    // message box tells.
    using Inform = std::function<void(QWidget* parent, const QString& text)>;
    void SetInform(Inform inform);

    // Draws the page at `scale`: the picture and the click areas.
    void SetScale(const SkinScale& scale);

    // In the order they are tested: home page, then the four products; in the page's pixels,
    // at its scale.
    const QString& LinkText(ProductLink link) const { return links_[Index(link)]; }

    QSize sizeHint() const override;

    // Strictly inside: a point on the border line belongs to no area.
    static bool StrictlyInside(const QRect& rect, QPoint point);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    bool AnyAreaContains(QPoint point) const;
    void Open(const QString& link);
    void UpdateCursor(QPoint point);

    std::array<QString, kProductLinkCount> links_;
    std::array<ClickArea, kAreaCount> areas_;
    std::array<QWidget*, kAreaCount> keys_{};  // the keyboard's way to each area
    UrlOpener opener_;
    Inform inform_;
    QPixmap picture_;
    SkinScale scale_;
};

}  // namespace vorna::gui
