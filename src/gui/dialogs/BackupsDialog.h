// File > Backups: every settings backup in the user's backups/ folder, newest first, with when
// it was made, the model type it came from and why; choosing one opens the compare view
// against the ESC. The program never deletes a backup.
#pragma once

#include <QDialog>
#include <QString>

#include <filesystem>
#include <functional>
#include <optional>
#include <vector>

#include "settings/Backups.h"

class QPushButton;
class QTreeWidget;

namespace vorna::gui {

struct BackupsRequest {
    std::filesystem::path folder;
    std::vector<BackupEntry> backups;
    // Compare is offered only with an ESC's settings read; else `why` says so.
    bool canCompare = false;
    QString why;
    int escModelType = 0;
};

// The backup chosen to compare with the ESC; nothing when the list was closed.
using BackupChooser = std::function<std::optional<std::filesystem::path>(
    QWidget* parent, const BackupsRequest& request)>;

class BackupsDialog : public QDialog {
    Q_OBJECT
public:
    static constexpr char kTitle[] = "Backups";
    static constexpr char kCompareText[] = "Compare with the ESC…";

    BackupsDialog(const BackupsRequest& request, QWidget* parent = nullptr);

    QTreeWidget* List() const { return list_; }
    QPushButton* CompareButton() const { return compare_; }
    // The backup of the current row; nothing when no row is current.
    std::optional<std::filesystem::path> Chosen() const;

private:
    std::vector<std::filesystem::path> paths_;
    QTreeWidget* list_ = nullptr;
    QPushButton* compare_ = nullptr;
};

std::optional<std::filesystem::path> ExecBackupsDialog(QWidget* parent,
                                                       const BackupsRequest& request);

}  // namespace vorna::gui
