#include "gui/dialogs/BackupsDialog.h"
#include "gui/QtText.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>

#include "base/Utf8Path.h"
#include "gui/MessageBoxes.h"

namespace vorna::gui {
BackupsDialog::BackupsDialog(const BackupsRequest& request, QWidget* parent) : QDialog(parent) {
    setWindowTitle(QString::fromLatin1(kTitle));
    KeepDialogTitleWhole(this);
    auto* layout = new QVBoxLayout(this);
    auto* heading = new QLabel(this);
    heading->setTextFormat(Qt::PlainText);
    heading->setWordWrap(true);
    const QString folder = ToQString(Utf8FromPath(request.folder));
    heading->setText(
        request.backups.empty()
            ? QStringLiteral("There are no backups yet. One is saved before a firmware update "
                             "or factory settings replace the ESC's settings, in:\n%1")
                  .arg(folder)
            : QStringLiteral("Saved before the ESC's settings were replaced, newest first. "
                             "Choose one to compare it with the ESC. They are kept in:\n%1")
                  .arg(folder));
    layout->addWidget(heading);

    list_ = new QTreeWidget(this);
    list_->setRootIsDecorated(false);
    list_->setHeaderLabels({QStringLiteral("Saved"), QStringLiteral("Model"), QStringLiteral("Why"),
                            QStringLiteral("File")});
    for (const BackupEntry& b : request.backups) {
        const QString model = b.modelType < 0 ? QStringLiteral("not known")
                              : b.modelType == request.escModelType
                                  ? QStringLiteral("type %1 (this ESC's)").arg(b.modelType)
                                  : QStringLiteral("type %1").arg(b.modelType);
        auto* item = new QTreeWidgetItem(
            {b.made.empty() ? QStringLiteral("not in its name") : ToQString(b.made), model,
             ToQString(b.ReasonText()), ToQString(Utf8FromPath(b.path.filename()))});
        item->setToolTip(3, ToQString(Utf8FromPath(b.path)));
        list_->addTopLevelItem(item);
        paths_.push_back(b.path);
    }
    // Every column as wide as its texts: the dialog takes the width they need.
    list_->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    list_->header()->setStretchLastSection(false);
    int columns = 0;
    for (int c = 0; c < list_->columnCount(); ++c) {
        list_->resizeColumnToContents(c);
        columns += list_->columnWidth(c);
    }
    if (!paths_.empty()) list_->setCurrentItem(list_->topLevelItem(0));
    list_->setVisible(!paths_.empty());
    layout->addWidget(list_, 1);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    compare_ = buttons->addButton(QString::fromUtf8(kCompareText), QDialogButtonBox::AcceptRole);
    compare_->setEnabled(request.canCompare && !paths_.empty());
    if (!request.canCompare) compare_->setToolTip(request.why);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(list_, &QTreeWidget::itemActivated, this, [this] {
        if (compare_->isEnabled()) accept();
    });
    layout->addWidget(buttons);
    resize(std::max({640, sizeHint().width(), columns + 60}), 420);
}

std::optional<std::filesystem::path> BackupsDialog::Chosen() const {
    const int row = list_->indexOfTopLevelItem(list_->currentItem());
    if (row < 0 || row >= static_cast<int>(paths_.size())) return std::nullopt;
    return paths_[static_cast<std::size_t>(row)];
}

std::optional<std::filesystem::path> ExecBackupsDialog(QWidget* parent,
                                                       const BackupsRequest& request) {
    QPointer<BackupsDialog> dialog = new BackupsDialog(request, parent);
    const bool chosen = dialog->exec() == QDialog::Accepted;
    std::optional<std::filesystem::path> path;
    if (dialog && chosen) path = dialog->Chosen();
    delete dialog.data();
    return path;
}

}  // namespace vorna::gui
