// The links page picture: a user-support panel with the home-page button on the left, the four
// products on the right. The click areas are laid over this picture at fixed places, so the
// products and the button are drawn exactly under them.

#include <QFontMetricsF>
#include <QLinearGradient>
#include <QRadialGradient>
#include <array>
#include <cmath>

#include "gui/AppConfig.h"
#include "gui/skin/Skin.h"
#include "gui/skin/SkinPainting.h"

namespace vorna::gui::skin {

namespace {

// The page's click areas, in picture pixels: the page puts the picture's corner at
// (kLinksPictureLeft, kLinksPictureTop), and its areas are in page pixels.
constexpr qreal kProductLeft = 700.0 - kLinksPictureLeft;
constexpr qreal kProductTop = 60.0 - kLinksPictureTop;
constexpr qreal kProductPitch = 120.0;
constexpr qreal kProductWidth = 250.0;
constexpr qreal kProductHeight = 100.0;
const QRectF kHomeButton(500.0 - kLinksPictureLeft, 500.0 - kLinksPictureTop, 150.0, 60.0);

const QRectF kSupportPanel(4.0, 4.0, 662.0, 552.0);
const QRectF kProductPanel(kProductLeft - 12.0, 4.0, kProductWidth + 24.0, 552.0);

struct Product {
    const char* name;
    const char* line;
    bool fan;
    bool card;
    QColor accent;
};

const std::array<Product, 4> kProducts{{
    {"VORNA ZEN", "Modified racing ESC", true, false, QColor(222, 24, 20)},
    {"VORNA CLASS SPEC", "Stock class racing ESC", false, false, QColor(210, 210, 210)},
    {"VORNA ALTA", "Blinky class racing ESC", false, false, QColor(247, 148, 29)},
    {"VORNA JVX", "Program card", false, true, QColor(222, 24, 20)},
}};

QString Latin(const char* text) {
    return QString::fromLatin1(text);
}

void DrawLead(QPainter& p, const QPointF& from, const QPointF& to, const QColor& colour,
              qreal width) {
    QPainterPath lead;
    lead.moveTo(from);
    const qreal dx = (to.x() - from.x()) / 2.0;
    lead.cubicTo(from + QPointF(dx, 0), to - QPointF(dx, 0), to);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(colour.darker(260), width + 1.4, Qt::SolidLine, Qt::RoundCap));
    p.drawPath(lead);
    p.setPen(QPen(colour, width, Qt::SolidLine, Qt::RoundCap));
    p.drawPath(lead);
}

void DrawBullet(QPainter& p, const QPointF& end) {
    // Gold-plated bullet connector at the end of a motor wire.
    QLinearGradient gold(end.x(), end.y() - 2.0, end.x(), end.y() + 2.0);
    gold.setColorAt(0.0, QColor(250, 214, 120));
    gold.setColorAt(1.0, QColor(150, 110, 30));
    p.setPen(Qt::NoPen);
    p.setBrush(gold);
    p.drawRoundedRect(QRectF(end.x() - 6.0, end.y() - 2.2, 7.0, 4.4), 1.5, 1.5);
}

// A stylised ESC: a finned or fan-cooled case, motor wires with bullets on the left, the
// battery leads on the right, a model sticker across the front.
void DrawEscUnit(QPainter& p, const QRectF& box, bool fan, const QColor& accent,
                 const QString& badge) {
    const qreal w = box.width();
    const qreal h = box.height();
    const QRectF body(box.left() + w * 0.2, box.top() + h * 0.1, w * 0.6, h * 0.78);

    p.save();
    // Motor wires out of the left side, battery leads out of the right.
    for (int i = 0; i < 3; ++i) {
        const QPointF from(body.left() + 2.0, body.top() + body.height() * (0.3 + 0.2 * i));
        const QPointF to(box.left() + 6.0, box.top() + h * (0.22 + 0.26 * i));
        DrawLead(p, from, to, QColor(150, 150, 150), 2.4);
        DrawBullet(p, to);
    }
    DrawLead(p, QPointF(body.right() - 2.0, body.top() + body.height() * 0.38),
             QPointF(box.right() - 3.0, box.top() + h * 0.3), QColor(210, 30, 26), 3.0);
    DrawLead(p, QPointF(body.right() - 2.0, body.top() + body.height() * 0.62),
             QPointF(box.right() - 3.0, box.top() + h * 0.72), QColor(40, 40, 40), 3.0);

    // The case.
    QLinearGradient metal(0, body.top(), 0, body.bottom());
    metal.setColorAt(0.0, QColor(92, 92, 96));
    metal.setColorAt(0.45, QColor(48, 48, 52));
    metal.setColorAt(1.0, QColor(18, 18, 20));
    p.setPen(QPen(QColor(120, 120, 126), 1.0));
    p.setBrush(metal);
    p.drawRoundedRect(body, 5.0, 5.0);

    const QRectF top(body.left() + 4.0, body.top() + 4.0, body.width() - 8.0, body.height() * 0.55);
    if (fan) {
        const QPointF centre = top.center();
        const qreal r = std::min(top.width(), top.height()) / 2.0;
        p.setPen(QPen(QColor(20, 20, 20), 1.0));
        p.setBrush(QColor(12, 12, 12));
        p.drawEllipse(centre, r, r);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(70, 70, 74));
        for (int i = 0; i < 7; ++i) {
            p.save();
            p.translate(centre);
            p.rotate(360.0 / 7.0 * i);
            QPainterPath blade;
            blade.moveTo(r * 0.22, 0);
            blade.quadTo(r * 0.6, -r * 0.35, r * 0.88, -r * 0.12);
            blade.quadTo(r * 0.6, r * 0.05, r * 0.22, r * 0.14);
            blade.closeSubpath();
            p.drawPath(blade);
            p.restore();
        }
        p.setBrush(accent);
        p.drawEllipse(centre, r * 0.24, r * 0.24);
    } else {
        // Cooling fins.
        p.setPen(Qt::NoPen);
        const int fins = 7;
        const qreal pitch = top.width() / fins;
        for (int i = 0; i < fins; ++i) {
            QLinearGradient fin(top.left() + pitch * i, 0, top.left() + pitch * (i + 0.6), 0);
            fin.setColorAt(0.0, QColor(130, 130, 136));
            fin.setColorAt(1.0, QColor(36, 36, 40));
            p.setBrush(fin);
            p.drawRoundedRect(
                QRectF(top.left() + pitch * i + 1.0, top.top(), pitch * 0.62, top.height()), 1.5,
                1.5);
        }
    }

    // The sticker with its accent stripe and the short model name.
    const QRectF sticker(body.left() + 4.0, top.bottom() + 3.0, body.width() - 8.0,
                         body.bottom() - top.bottom() - 7.0);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(14, 14, 14));
    p.drawRoundedRect(sticker, 2.0, 2.0);
    p.setBrush(accent);
    p.drawRect(QRectF(sticker.left(), sticker.top(), 4.0, sticker.height()));
    const QFont font =
        FitFont(SkinFont(sticker.height() * 0.62, true, true), badge, sticker.width() - 10.0, 5.0);
    DrawTextLine(p, badge, font, kInk, sticker.left() + 6.0, sticker.right() - 2.0,
                 sticker.center().y(), Qt::AlignHCenter);
    p.restore();
}

// The hand-held program card: a case with a lit display and four keys, its lead out of the top.
void DrawProgramCard(QPainter& p, const QRectF& box) {
    const qreal w = box.width();
    const qreal h = box.height();
    const QRectF body(box.left() + w * 0.26, box.top() + h * 0.14, w * 0.48, h * 0.84);
    p.save();
    DrawLead(p, QPointF(body.center().x(), body.top() + 1.0),
             QPointF(box.left() + w * 0.12, box.top() + 3.0), QColor(40, 40, 40), 3.0);

    QLinearGradient shell(body.left(), 0, body.right(), 0);
    shell.setColorAt(0.0, QColor(70, 70, 74));
    shell.setColorAt(0.5, QColor(38, 38, 42));
    shell.setColorAt(1.0, QColor(20, 20, 22));
    p.setPen(QPen(QColor(120, 120, 126), 1.0));
    p.setBrush(shell);
    p.drawRoundedRect(body, 6.0, 6.0);

    const QRectF screen(body.left() + 5.0, body.top() + 5.0, body.width() - 10.0,
                        body.height() * 0.42);
    QLinearGradient lit(0, screen.top(), 0, screen.bottom());
    lit.setColorAt(0.0, QColor(255, 176, 60));
    lit.setColorAt(1.0, QColor(200, 104, 10));
    p.setPen(QPen(QColor(10, 10, 10), 1.5));
    p.setBrush(lit);
    p.drawRoundedRect(screen, 2.0, 2.0);
    const QFont font = FitFont(SkinFont(screen.height() * 0.5, true), QStringLiteral("JVX"),
                               screen.width() - 6.0, 5.0);
    DrawTextLine(p, QStringLiteral("JVX"), font, QColor(40, 16, 0), screen.left(), screen.right(),
                 screen.center().y(), Qt::AlignHCenter);

    const qreal keyTop = screen.bottom() + 6.0;
    const qreal keyRow = (body.bottom() - 4.0 - keyTop) / 2.0;
    const qreal key = std::min(keyRow * 0.72, body.width() * 0.22);
    for (int row = 0; row < 2; ++row) {
        for (int col = 0; col < 2; ++col) {
            const QPointF centre(body.left() + body.width() * (0.3 + 0.4 * col),
                                 keyTop + keyRow * (row + 0.5));
            p.setPen(QPen(QColor(10, 10, 10), 1.0));
            p.setBrush(row == 0 && col == 0 ? kRed : QColor(96, 96, 100));
            p.drawEllipse(centre, key / 2.0, key / 2.0);
        }
    }
    p.restore();
}

void DrawLaptop(QPainter& p, const QRectF& box) {
    const qreal w = box.width();
    const qreal h = box.height();
    const QRectF lid(box.left() + w * 0.12, box.top(), w * 0.76, h * 0.78);
    p.save();
    p.setPen(QPen(QColor(130, 130, 136), 1.5));
    p.setBrush(QColor(22, 22, 24));
    p.drawRoundedRect(lid, 5.0, 5.0);
    const QRectF screen = lid.adjusted(6, 6, -6, -6);
    QLinearGradient glow(0, screen.top(), 0, screen.bottom());
    glow.setColorAt(0.0, QColor(40, 8, 8));
    glow.setColorAt(1.0, QColor(8, 0, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(glow);
    p.drawRect(screen);
    // The program's own window, as a red chevron on the screen.
    const qreal e = screen.height() * 0.56;
    const QRectF emblem(screen.center().x() - e * 0.6, screen.center().y() - e / 2.0, e * 1.2, e);
    QLinearGradient red(0, emblem.top(), 0, emblem.bottom());
    red.setColorAt(0.0, kRedHot);
    red.setColorAt(1.0, kRedDeep);
    p.setBrush(red);
    p.drawPath(EmblemChevron(emblem));

    QPainterPath base;
    base.moveTo(lid.left() - w * 0.02, lid.bottom() + 2.0);
    base.lineTo(lid.right() + w * 0.02, lid.bottom() + 2.0);
    base.lineTo(box.right(), box.bottom());
    base.lineTo(box.left(), box.bottom());
    base.closeSubpath();
    QLinearGradient metal(0, lid.bottom(), 0, box.bottom());
    metal.setColorAt(0.0, QColor(110, 110, 116));
    metal.setColorAt(1.0, QColor(44, 44, 48));
    p.setBrush(metal);
    p.drawPath(base);
    p.restore();
}

void DrawUsbLink(QPainter& p, const QRectF& box) {
    p.save();
    DrawPlate(p, box, 6.0, QColor(60, 60, 64), QColor(20, 20, 22), QColor(130, 130, 136));
    p.setPen(Qt::NoPen);
    p.setBrush(kRed);
    p.drawRect(QRectF(box.left() + 6.0, box.bottom() - 9.0, box.width() - 12.0, 3.0));
    const QFont font = FitFont(SkinFont(12, true), QStringLiteral("USB LINK"), box.width() - 12);
    DrawTextLine(p, QStringLiteral("USB LINK"), font, kInk, box.left(), box.right(),
                 box.center().y() - 3.0, Qt::AlignHCenter);
    // A small green lamp: the link is up.
    p.setBrush(kGreen);
    p.drawEllipse(QPointF(box.right() - 9.0, box.top() + 8.0), 2.6, 2.6);
    p.restore();
}

void DrawCable(QPainter& p, const QPointF& from, const QPointF& to, bool dashed) {
    p.save();
    QPen pen(QColor(150, 150, 150), 2.0, dashed ? Qt::DashLine : Qt::SolidLine, Qt::RoundCap);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    QPainterPath cable;
    cable.moveTo(from);
    const qreal dx = (to.x() - from.x()) / 2.0;
    cable.cubicTo(from + QPointF(dx, 0), to - QPointF(dx, 0), to);
    p.drawPath(cable);
    p.restore();
}

void DrawStep(QPainter& p, int number, const QString& title, const QString& text,
              const QRectF& row) {
    p.save();
    const qreal r = 13.0;
    const QPointF centre(row.left() + r, row.top() + r);
    QRadialGradient red(centre - QPointF(3, 4), r * 1.4);
    red.setColorAt(0.0, kRedHot);
    red.setColorAt(1.0, kRedDeep);
    p.setPen(Qt::NoPen);
    p.setBrush(red);
    p.drawEllipse(centre, r, r);
    DrawTextLine(p, QString::number(number), SkinFont(15, true), Qt::white, centre.x() - r,
                 centre.x() + r, centre.y(), Qt::AlignHCenter);

    const qreal left = row.left() + 2.0 * r + 14.0;
    const QFont head = FitFont(SkinFont(15, true), title, row.right() - left);
    DrawTextLine(p, title, head, Qt::white, left, row.right(), centre.y() - 6.0, Qt::AlignLeft);
    const QFont body = FitFont(SkinFont(13), text, row.right() - left);
    DrawTextLine(p, text, body, kDimInk, left, row.right(), centre.y() + 12.0, Qt::AlignLeft);
    p.restore();
}

void DrawHouse(QPainter& p, const QRectF& box, const QColor& colour) {
    const qreal w = box.width();
    const qreal h = box.height();
    QPainterPath house;
    house.moveTo(box.left() + w * 0.5, box.top());
    house.lineTo(box.right(), box.top() + h * 0.46);
    house.lineTo(box.right() - w * 0.14, box.top() + h * 0.46);
    house.lineTo(box.right() - w * 0.14, box.bottom());
    house.lineTo(box.left() + w * 0.14, box.bottom());
    house.lineTo(box.left() + w * 0.14, box.top() + h * 0.46);
    house.lineTo(box.left(), box.top() + h * 0.46);
    house.closeSubpath();
    QPainterPath door;
    door.addRect(QRectF(box.left() + w * 0.4, box.top() + h * 0.64, w * 0.2, h * 0.36));
    p.save();
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawPath(house.subtracted(door));
    p.restore();
}

void PaintSupportPanel(QPainter& p) {
    const QRectF panel = kSupportPanel;
    DrawPanelFrame(p, panel, 18.0);

    const qreal left = panel.left() + 32.0;
    const qreal right = panel.right() - 32.0;
    DrawHeadingLine(p, QStringLiteral("USER SUPPORT"), SkinFont(30, true, true), left, right, 46.0,
                    Qt::AlignLeft);
    const QFont tag = SkinFont(13);
    DrawTextLine(p, QString::fromUtf8(kAppTitle), tag, kDimInk, left, right, 46.0, Qt::AlignRight);
    DrawGlowRule(p, QRectF(left - 8.0, 68.0, right - left + 16.0, 6.0), 1.6);

    // How the parts connect: the PC, the USB link, then the ESC or the program card.
    const QRectF laptop(left, 104.0, 150.0, 100.0);
    const QRectF link(left + 205.0, 134.0, 96.0, 44.0);
    const QRectF esc(left + 355.0, 92.0, 150.0, 76.0);
    const QRectF card(left + 385.0, 172.0, 92.0, 74.0);
    DrawCable(p, QPointF(laptop.right() - 8.0, laptop.bottom() - 20.0),
              QPointF(link.left(), link.center().y()), false);
    DrawCable(p, QPointF(link.right(), link.center().y() - 8.0),
              QPointF(esc.left() + 12.0, esc.center().y()), false);
    DrawCable(p, QPointF(link.right(), link.center().y() + 8.0),
              QPointF(card.left() + 30.0, card.center().y() + 6.0), true);
    DrawLaptop(p, laptop);
    DrawUsbLink(p, link);
    DrawEscUnit(p, esc, true, kRed, QStringLiteral("VORNA"));
    DrawProgramCard(p, card);

    const QFont label = SkinFont(12, true);
    DrawTextLine(p, QStringLiteral("PC"), label, kDimInk, laptop.left(), laptop.right(),
                 laptop.bottom() + 22.0, Qt::AlignHCenter);
    DrawTextLine(p, QStringLiteral("CP210x USB-SERIAL"), label, kDimInk, link.left() - 30.0,
                 link.right() + 30.0, laptop.bottom() + 22.0, Qt::AlignHCenter);
    DrawTextLine(p, QStringLiteral("ESC"), label, kDimInk, esc.right() + 2.0, right,
                 esc.top() + esc.height() * 0.4, Qt::AlignLeft);
    DrawTextLine(p, QStringLiteral("OR PROGRAM CARD"), label, kDimInk, card.right() + 6.0, right,
                 card.center().y(), Qt::AlignLeft);

    // Getting started.
    DrawHeadingLine(p, QStringLiteral("GETTING STARTED"), SkinFont(17, true), left, right, 282.0,
                    Qt::AlignLeft);
    const std::array<std::pair<const char*, const char*>, 4> steps{{
        {"Connect",
         "Plug the USB link into the PC, then the ESC or the program card into the link."},
        {"Choose the device",
         "In the Device menu pick Esc, Program Card, or Fix Mode for an ESC to repair."},
        {"ESC setup", "The ESC's settings are read at once: change them, then press SEND SETTING."},
        {"Firmware",
         "Pick an image from the Firmware folder and press SAVE; keep the device connected."},
    }};
    for (std::size_t i = 0; i < steps.size(); ++i) {
        DrawStep(p, static_cast<int>(i) + 1, Latin(steps[i].first), Latin(steps[i].second),
                 QRectF(left, 304.0 + 48.0 * static_cast<qreal>(i), right - left, 40.0));
    }

    // The way to the maker's site, next to the home-page button.
    const QFont note = SkinFont(13);
    DrawTextLine(p, QStringLiteral("Manuals, setup sheets and news"), note, kDimInk, left,
                 kHomeButton.left() - 16.0, kHomeButton.center().y() - 9.0, Qt::AlignRight);
    DrawTextLine(p, QStringLiteral("on the Kelvaran Racing home page:"), note, kDimInk, left,
                 kHomeButton.left() - 16.0, kHomeButton.center().y() + 9.0, Qt::AlignRight);

    DrawPlate(p, kHomeButton, 10.0, QColor(236, 40, 32), QColor(128, 0, 0), kRedHot, 1.5);
    const QRectF house(kHomeButton.left() + 16.0, kHomeButton.center().y() - 12.0, 26.0, 24.0);
    DrawHouse(p, house, Qt::white);
    const QFont button = FitFont(SkinFont(17, true), QStringLiteral("HOME PAGE"),
                                 kHomeButton.right() - house.right() - 16.0);
    DrawTextLine(p, QStringLiteral("HOME PAGE"), button, Qt::white, house.right() + 6.0,
                 kHomeButton.right() - 6.0, kHomeButton.center().y(), Qt::AlignHCenter);
}

void PaintProductCard(QPainter& p, const Product& product, const QRectF& area) {
    const QRectF card = area.adjusted(1.0, 1.0, -1.0, -1.0);
    DrawPlate(p, card, 10.0, QColor(38, 38, 40), QColor(10, 10, 10), QColor(110, 18, 16), 1.5);

    const QRectF picture(card.left() + 6.0, card.top() + 8.0, 104.0, card.height() - 16.0);
    const QString name = Latin(product.name);
    if (product.card) {
        DrawProgramCard(p, picture);
    } else {
        DrawEscUnit(p, picture, product.fan, product.accent, name.mid(6));
    }

    const qreal left = picture.right() + 8.0;
    const qreal right = card.right() - 10.0;
    // "VORNA" above the model, the models all at one size so the column reads evenly.
    QStringList models;
    for (const Product& each : kProducts) models << Latin(each.name).mid(6);
    const QFont model = FitFont(SkinFont(21, true, true), models, right - left);
    DrawTextLine(p, name.left(5), SkinFont(12, true), kInk, left, right, card.top() + 20.0,
                 Qt::AlignLeft);
    DrawHeadingLine(p, name.mid(6), model, left, right, card.top() + 41.0, Qt::AlignLeft);
    const QFont line = FitFont(SkinFont(12), Latin(product.line), right - left);
    DrawTextLine(p, Latin(product.line), line, kDimInk, left, right, card.top() + 68.0,
                 Qt::AlignLeft);

    const QFont more = SkinFont(11, true);
    DrawTextLine(p, QStringLiteral("PRODUCT PAGE  \u25B8"), more, kRed.lighter(125), left, right,
                 card.bottom() - 12.0, Qt::AlignLeft);
}

}  // namespace

void PaintLinksPage(QPainter& p, QSize size) {
    // A faint light from the top left keeps the black from looking flat.
    QRadialGradient ambient(QPointF(size.width() * 0.3, 0), size.width() * 0.8);
    ambient.setColorAt(0.0, QColor(30, 12, 12));
    ambient.setColorAt(1.0, Qt::black);
    p.fillRect(QRectF(0, 0, size.width(), size.height()), ambient);

    PaintSupportPanel(p);

    DrawPanelFrame(p, kProductPanel, 18.0);
    DrawHeadingLine(p, QStringLiteral("PRODUCTS"), SkinFont(22, true, true), kProductLeft,
                    kProductLeft + kProductWidth, kProductTop - 23.0, Qt::AlignHCenter);
    for (std::size_t i = 0; i < kProducts.size(); ++i) {
        const QRectF area(kProductLeft, kProductTop + kProductPitch * static_cast<qreal>(i),
                          kProductWidth, kProductHeight);
        PaintProductCard(p, kProducts[i], area);
    }
}

}  // namespace vorna::gui::skin
