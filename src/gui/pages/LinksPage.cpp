#include "gui/pages/LinksPage.h"
#include "gui/QtText.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPalette>
#include <utility>

#include "gui/MessageBoxes.h"
#include "gui/pages/PageLook.h"
#include "gui/skin/Skin.h"
#include "gui/widgets/PictureButton.h"

namespace vorna::gui {
namespace {

constexpr int kProductAreaX = 700;
constexpr int kProductAreaTop = 60;
constexpr int kProductAreaStep = 120;
constexpr int kProductAreaWidth = 250;
constexpr int kProductAreaHeight = 100;

constexpr QRect ProductArea(int index) {
    return {kProductAreaX, kProductAreaTop + kProductAreaStep * index, kProductAreaWidth,
            kProductAreaHeight};
}

// In the order they are tested, in skin pixels.
constexpr QRect kBaseAreas[LinksPage::kAreaCount] = {
    QRect(500, 500, 150, 60), ProductArea(0), ProductArea(1), ProductArea(2), ProductArea(3)};

}  // namespace

LinksPage::LinksPage(const std::filesystem::path& configFolder, UrlOpener opener, QWidget* parent)
    : QWidget(parent),
      areas_{{
          {"homeArea", kBaseAreas[0], ProductLink::Main},
          {"zenArea", kBaseAreas[1], ProductLink::Zen},
          {"classArea", kBaseAreas[2], ProductLink::Class},
          {"altaArea", kBaseAreas[3], ProductLink::Alta},
          {"jvxArea", kBaseAreas[4], ProductLink::Jvx},
      }},
      opener_(std::move(opener)),
      picture_(SkinBitmap(kBmpLinksPage)) {
    const ProductLinks links = ReadProductLinks(configFolder);
    for (std::size_t i = 0; i < kProductLinkCount; ++i) {
        links_[i] = ToQString(links[i]);
    }

    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::black);
    setPalette(pal);
    setAutoFillBackground(true);
    // The hand cursor follows the pointer without a button held.
    setMouseTracking(true);

    // The keyboard reaches the products from the top, then the home page.
    for (std::size_t i : {1, 2, 3, 4, 0}) {
        const ClickArea& area = areas_[i];
        const QString& link = links_[Index(area.link)];
        auto* button = KeyboardButtonOver(this, area.rect, link);
        button->setObjectName(QLatin1String(area.name));
        keys_[i] = button;
        connect(button, &PictureButton::clicked, this, [this, &link] { Open(link); });
    }
}

void LinksPage::SetScale(const SkinScale& scale) {
    if (scale == scale_) return;
    scale_ = scale;
    picture_ = SkinBitmap(kBmpLinksPage, scale);
    for (std::size_t i = 0; i < kAreaCount; ++i) {
        areas_[i].rect = scale.Rect(kBaseAreas[i]);
        keys_[i]->setGeometry(areas_[i].rect);
    }
    update();
}

void LinksPage::SetInform(Inform inform) {
    inform_ = std::move(inform);
}

// A click that opens nothing would look broken: the user gets the address to copy instead.
void LinksPage::Open(const QString& link) {
    if (!opener_ || opener_(link)) return;
    const QUrl url = WebUrlFromLinkText(link);
    const QString text = url.isEmpty()
                             ? QStringLiteral(
                                   "This link in config.ini is not a web address, so it was not "
                                   "opened:\n\n%1")
                                   .arg(link)
                             : QStringLiteral(
                                   "No web browser could be opened for this page. Copy its address "
                                   "into a browser:\n\n%1")
                                   .arg(url.toString());
    if (inform_) {
        inform_(window(), text);
    } else {
        ShowPlainMessage(window(), QMessageBox::Information, text);
    }
}

QSize LinksPage::sizeHint() const {
    const QSize picture = picture_.isNull() ? SkinBitmapSize(kBmpLinksPage)
                                            : picture_.deviceIndependentSize().toSize();
    return picture + scale_.Size(QSize(kPictureOffset.x(), kPictureOffset.y()));
}

bool LinksPage::StrictlyInside(const QRect& rect, QPoint point) {
    return gui::StrictlyInside(rect, point);
}

bool LinksPage::AnyAreaContains(QPoint point) const {
    for (const ClickArea& area : areas_) {
        if (StrictlyInside(area.rect, point)) return true;
    }
    return false;
}

void LinksPage::UpdateCursor(QPoint point) {
    if (AnyAreaContains(point)) {
        setCursor(Qt::PointingHandCursor);
    } else {
        unsetCursor();
    }
}

void LinksPage::paintEvent(QPaintEvent* event) {
    QWidget::paintEvent(event);
    if (picture_.isNull()) return;
    QPainter painter(this);
    painter.drawPixmap(scale_.Point(kPictureOffset), picture_);
}

void LinksPage::mouseMoveEvent(QMouseEvent* event) {
    UpdateCursor(event->position().toPoint());
    QWidget::mouseMoveEvent(event);
}

void LinksPage::leaveEvent(QEvent* event) {
    unsetCursor();
    QWidget::leaveEvent(event);
}

void LinksPage::mousePressEvent(QMouseEvent* event) {
    // Only a plain left press counts: with Shift, Ctrl or another button held the user is
    // doing something else, and a browser window must not appear.
    const bool plainLeft = event->button() == Qt::LeftButton &&
                           event->buttons() == Qt::LeftButton &&
                           !(event->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier));
    if (plainLeft) {
        const QPoint point = event->position().toPoint();
        for (const ClickArea& area : areas_) {
            if (StrictlyInside(area.rect, point)) Open(links_[Index(area.link)]);
        }
    }
    QWidget::mousePressEvent(event);
    // The page is a window of its own to the user: a press on it ends here and never reaches
    // the main window behind it.
    event->accept();
}

}  // namespace vorna::gui
