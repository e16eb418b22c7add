#include "gui/dialogs/CompareDialog.h"
#include "gui/QtText.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>

#include "gui/MessageBoxes.h"

namespace vorna::gui {
namespace {

QString Cell(const std::string& text) {
    return text.empty() ? QStringLiteral("(not set)") : ToQString(text);
}

}  // namespace

CompareDialog::CompareDialog(const CompareRequest& request, QWidget* parent) : QDialog(parent) {
    setWindowTitle(QString::fromLatin1(kTitle));
    KeepDialogTitleWhole(this);
    auto* layout = new QVBoxLayout(this);
    const Comparison& c = request.comparison;

    auto* heading = new QLabel(this);
    heading->setTextFormat(Qt::PlainText);
    heading->setWordWrap(true);
    QString lead;
    if (c.rows.empty()) {
        lead = QStringLiteral("No setting differs between %1 and %2.");
    } else if (request.loadable) {
        lead = QStringLiteral(
            "These settings differ between %1 and %2. The checked ones are put on the page as "
            "changes not yet sent; the others keep the page's values. Nothing is sent until "
            "SEND.");
    } else {
        lead = QStringLiteral("These settings differ between %1 and %2.");
    }
    heading->setText(lead.arg(request.firstName, request.secondName));
    layout->addWidget(heading);
    if (!c.modelNote.empty()) {
        auto* note = new QLabel(ToQString(c.modelNote), this);
        note->setObjectName(QStringLiteral("modelNote"));
        note->setTextFormat(Qt::PlainText);
        note->setWordWrap(true);
        layout->addWidget(note);
    }

    table_ = new QTableWidget(static_cast<int>(c.rows.size()), 3, this);
    table_->setHorizontalHeaderLabels(
        {QStringLiteral("Setting"), request.firstName, request.secondName});
    // A long file name is cut short in the middle, where it differs least from its
    // neighbours; its whole name is in the tooltip (and in the sentence above the table).
    table_->horizontalHeader()->setTextElideMode(Qt::ElideMiddle);
    for (int column = 1; column < 3; ++column) {
        QTableWidgetItem* header = table_->horizontalHeaderItem(column);
        header->setToolTip(header->text());
    }
    table_->verticalHeader()->hide();
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setSelectionMode(QAbstractItemView::NoSelection);
    for (int r = 0; r < static_cast<int>(c.rows.size()); ++r) {
        const CompareRow& row = c.rows[static_cast<std::size_t>(r)];
        rows_.push_back(row.id);
        auto* setting = new QTableWidgetItem(ToQString(row.caption));
        if (request.loadable) {
            setting->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
            setting->setCheckState(Qt::Checked);
        }
        table_->setItem(r, 0, setting);
        table_->setItem(r, 1, new QTableWidgetItem(Cell(row.first)));
        table_->setItem(r, 2, new QTableWidgetItem(Cell(row.second)));
    }
    table_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    table_->horizontalHeader()->setStretchLastSection(true);
    table_->setVisible(!c.rows.empty());
    layout->addWidget(table_, 1);

    // What is not offered, and why: values this ESC cannot take, lines that set nothing.
    QStringList apart;
    for (const SetApart& s : c.apart) {
        apart << QStringLiteral("%1 line %2: %3=%4: %5")
                     .arg(s.fromFirst ? request.firstFile : request.secondFile)
                     .arg(s.line)
                     .arg(ToQString(s.caption), ToQString(s.value), ToQString(s.why));
    }
    for (const ImportProblem& p : c.ignored) {
        apart
            << QStringLiteral("line %1: %2 %3").arg(p.line).arg(ToQString(p.key), ToQString(p.why));
    }
    if (!apart.isEmpty()) {
        auto* caption = new QLabel(
            c.ignored.empty() ? QStringLiteral("Not offered, as this ESC cannot take them:")
            : c.apart.empty() ? QStringLiteral("Lines that set nothing:")
                              : QStringLiteral("Not offered, and lines that set nothing:"),
            this);
        layout->addWidget(caption);
        auto* list = new QPlainTextEdit(apart.join(QLatin1Char('\n')), this);
        list->setObjectName(QStringLiteral("setApart"));
        list->setReadOnly(true);
        list->setLineWrapMode(QPlainTextEdit::WidgetWidth);
        list->setMaximumHeight(list->fontMetrics().lineSpacing() * 6);
        layout->addWidget(list);
    }

    auto* buttons = new QDialogButtonBox(this);
    if (request.loadable) {
        load_ = buttons->addButton(QString::fromLatin1(kLoadText), QDialogButtonBox::AcceptRole);
        buttons->addButton(QDialogButtonBox::Cancel);
    } else {
        buttons->addButton(QDialogButtonBox::Close);
    }
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    // Tall enough for every row where the screen has the room; else the table scrolls.
    int rowsHeight = table_->horizontalHeader()->sizeHint().height() + 4;
    for (int r = 0; r < table_->rowCount(); ++r) rowsHeight += table_->rowHeight(r);
    const QScreen* screen = parent != nullptr ? parent->screen() : QApplication::primaryScreen();
    const int most = screen != nullptr ? screen->availableGeometry().height() * 85 / 100 : 600;
    const int others = sizeHint().height() - table_->sizeHint().height();
    resize(std::max(600, sizeHint().width()), std::min(most, others + rowsHeight));
}

std::vector<ParamId> CompareDialog::Checked() const {
    std::vector<ParamId> checked;
    for (int r = 0; r < table_->rowCount(); ++r) {
        if (table_->item(r, 0)->checkState() == Qt::Checked)
            checked.push_back(rows_[static_cast<std::size_t>(r)]);
    }
    return checked;
}

std::optional<std::vector<ParamId>> ExecCompareDialog(QWidget* parent,
                                                      const CompareRequest& request) {
    // Guarded: a parent that goes while the view waits takes the view with it.
    QPointer<CompareDialog> dialog = new CompareDialog(request, parent);
    const bool load = dialog->exec() == QDialog::Accepted && request.loadable;
    std::optional<std::vector<ParamId>> checked;
    if (dialog && load) checked = dialog->Checked();
    delete dialog.data();
    return checked;
}

}  // namespace vorna::gui
