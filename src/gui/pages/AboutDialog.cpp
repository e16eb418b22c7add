#include "gui/pages/AboutDialog.h"

#include <QGridLayout>
#include <QLabel>
#include <QPalette>
#include <QPushButton>

#include "gui/AppConfig.h"
#include "gui/MessageBoxes.h"
#include "gui/skin/Skin.h"

namespace vorna::gui {
namespace {

constexpr int kIconSize = 32;

// Black with light text, like the main window, so the box does not flash white over it.
QPalette DarkPalette(QPalette pal) {
    const QColor text(230, 230, 230);
    pal.setColor(QPalette::Window, Qt::black);
    pal.setColor(QPalette::WindowText, text);
    pal.setColor(QPalette::Button, QColor(48, 48, 48));
    pal.setColor(QPalette::ButtonText, text);
    pal.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(128, 128, 128));
    return pal;
}

}  // namespace

AboutDialog::AboutDialog(QWidget* parent)
    : QDialog(parent),
      icon_(new QLabel(this)),
      title_(new QLabel(QString::fromUtf8(kAppTitle), this)),
      notice_(new QLabel(QString::fromUtf8(kAboutNotice), this)),
      ok_(new QPushButton(QStringLiteral("OK"), this)) {
    setWindowTitle(QString::fromUtf8(kAboutCaption));
    setModal(true);
    setPalette(DarkPalette(palette()));
    setAutoFillBackground(true);

    const QPixmap icon = AppIconPixmap(kIconSize);
    icon_->setObjectName(QStringLiteral("icon"));
    title_->setObjectName(QStringLiteral("title"));
    notice_->setObjectName(QStringLiteral("notice"));
    ok_->setObjectName(QStringLiteral("ok"));
    icon_->setPixmap(icon);
    icon_->setFixedSize(kIconSize, kIconSize);
    setWindowIcon(icon);

    ok_->setDefault(true);
    ok_->setAutoDefault(true);
    connect(ok_, &QPushButton::clicked, this, &QDialog::accept);

    // Icon at the left, the two lines beside it, OK at the bottom right; the box keeps the size
    // its contents need and cannot be resized.
    auto* layout = new QGridLayout(this);
    layout->setContentsMargins(20, 20, 16, 14);
    layout->setHorizontalSpacing(18);
    layout->setVerticalSpacing(6);
    layout->addWidget(icon_, 0, 0, 2, 1, Qt::AlignTop);
    layout->addWidget(title_, 0, 1);
    layout->addWidget(notice_, 1, 1);
    layout->addWidget(ok_, 2, 1, Qt::AlignRight);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    KeepDialogTitleWhole(this);

    ok_->setFocus();
}

}  // namespace vorna::gui
