#include <gtest/gtest.h>

#include <QHeaderView>
#include <QTableWidget>

#include "gui/dialogs/CompareDialog.h"
#include "support/GuiApp.h"

namespace vorna {
namespace {

// A file name longer than its column is cut short on the screen, never lost: its heading holds
// it whole as a tooltip.
TEST(CompareDialogTest, ALongFileNameHeadingKeepsItsWholeName) {
    test::EnsureGuiApp();
    gui::CompareRequest request;
    request.firstName = QStringLiteral("ESC (as last read)");
    request.secondName =
        QStringLiteral("setup_for_the_winter_cup_round_three_indoor_carpet_high_grip_final.cfg");
    request.comparison.rows.push_back({ParamId::DragBrake, "Drag Brake", "5%", "20%", 2, 3});
    gui::CompareDialog dialog(request);
    dialog.resize(480, 320);
    dialog.show();
    const QTableWidget* table = dialog.Table();
    ASSERT_LT(table->horizontalHeader()->sectionSize(2),
              table->fontMetrics().horizontalAdvance(request.secondName));
    EXPECT_EQ(table->horizontalHeaderItem(2)->toolTip(), request.secondName);
    EXPECT_EQ(table->horizontalHeaderItem(1)->toolTip(), request.firstName);
}

}  // namespace
}  // namespace vorna
