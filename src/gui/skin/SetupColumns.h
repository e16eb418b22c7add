// The ESC SETUP page's two columns of settings, at the skin's own size: where the lists stand,
// and the captions the skin draws level with them. Which setting goes where, and under which
// caption, is the parameter table's (settings/Parameters.h).
#pragma once

#include <QPoint>
#include <QStringList>

#include "settings/Parameters.h"

#include "gui/QtText.h"

namespace vorna::gui::skin {

struct SetupColumn {
    int listLeft;
    int listTop;     // the first list's top
    int pitch;       // from one list's top to the next
    int pictureTop;  // the top of the caption picture beside the lists
};

// The left column's lists stand 33 pixels apart, the middle column's 31.
inline constexpr SetupColumn kLeftColumn{145, 60, 33, 64};
inline constexpr SetupColumn kMiddleColumn{458, 20, 31, 20};
inline constexpr int kSetupListWidth = 160;

constexpr const SetupColumn& ColumnOf(PageColumn column) {
    return column == PageColumn::Left ? kLeftColumn : kMiddleColumn;
}

// Where a parameter's list stands.
inline QPoint SetupListTopLeft(const ParameterRow& row) {
    const SetupColumn& column = ColumnOf(row.column);
    return {column.listLeft, column.listTop + column.pitch * row.row};
}

// The captions of a column, top to bottom, as the page shows them for the model types with
// alternate captions (`alternate`) or the others.
inline QStringList ColumnCaptions(PageColumn column, bool alternate) {
    QStringList captions;
    for (const ParamId id : kPageOrder) {
        const ParameterRow* row = FindParameterRow(id);
        if (row == nullptr || row->column != column) continue;
        const std::string_view text =
            alternate && !row->alternate.empty() ? row->alternate : row->caption;
        captions << ToQString(text);
    }
    return captions;
}

}  // namespace vorna::gui::skin
