// The compare view: the settings that differ between the ESC (as last read) and a settings
// file, a setup sheet or a backup, or between two files, a check box per row; what the other
// side holds that this ESC cannot take, and the lines that set nothing, listed apart. "Load
// checked" hands the checked rows back; the caller puts them on the page, and nothing is sent
// until SEND.
#pragma once

#include <QDialog>
#include <QString>

#include <functional>
#include <optional>
#include <vector>

#include "settings/Compare.h"

class QTableWidget;
class QPushButton;

namespace vorna::gui {

struct CompareRequest {
    QString firstName;   // column heading of side A ("ESC (as last read)")
    QString secondName;  // and of side B (the file's name)
    Comparison comparison;
    // The rows can be loaded onto the page (A is the ESC); else the view only shows them.
    bool loadable = true;
    QString secondFile;  // B's path, for the lines set apart; A's path when A is a file
    QString firstFile;
};

// The rows the user checked and loaded; nothing when the view was cancelled or closed.
using CompareChooser =
    std::function<std::optional<std::vector<ParamId>>(QWidget* parent, const CompareRequest&)>;

class CompareDialog : public QDialog {
    Q_OBJECT
public:
    static constexpr char kLoadText[] = "Load checked";
    static constexpr char kTitle[] = "Compare Settings";

    CompareDialog(const CompareRequest& request, QWidget* parent = nullptr);

    QTableWidget* Table() const { return table_; }
    QPushButton* LoadButton() const { return load_; }
    // The settings whose rows are checked.
    std::vector<ParamId> Checked() const;

private:
    std::vector<ParamId> rows_;
    QTableWidget* table_ = nullptr;
    QPushButton* load_ = nullptr;
};

// Shows the compare view modally.
std::optional<std::vector<ParamId>> ExecCompareDialog(QWidget* parent,
                                                      const CompareRequest& request);

}  // namespace vorna::gui
