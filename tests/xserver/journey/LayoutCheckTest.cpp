// The journeys' checker finds each kind of fault it looks for: for each kind of text a text too
// long for its room is planted, and the checker must name it; the same control with room (or
// cut short with its whole text in a tooltip) must pass.
#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QDialog>
#include <QLabel>
#include <QMainWindow>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTreeWidget>

#include <memory>

#include "LayoutCheck.h"
#include "gui/skin/Skin.h"
#include "gui/widgets/PictureButton.h"
#include "gui/widgets/SkinButton.h"
#include "gui/widgets/SkinComboBox.h"
#include "support/GuiApp.h"

namespace vorna {
namespace {

using test::LayoutProblems;
using test::Overflows;

const QString kLong =
    "Keep the ESC and the USB link connected and powered until the update has finished";

bool Names(const QStringList& problems, const QString& name) {
    return problems.join('\n').contains('"' + name + '"');
}

class LayoutCheckTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::EnsureGuiApp();
        host = std::make_unique<QWidget>();
        host->resize(400, 120);
        host->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(host.get()));
    }
    // A widget of `type` on the host at 10,10, `size` large.
    template <typename Widget>
    Widget* Plant(const QString& name, QSize size) {
        auto* widget = new Widget(host.get());
        widget->setObjectName(name);
        widget->setGeometry(QRect(QPoint(10, 10), size));
        widget->show();
        return widget;
    }
    std::unique_ptr<QWidget> host;
};

TEST_F(LayoutCheckTest, LabelsAndButtonsCutShort) {
    auto* line = Plant<QLabel>("line", {120, 30});
    line->setText(kLong);
    auto* wrapped = Plant<QLabel>("wrapped", {200, 20});
    wrapped->setWordWrap(true);
    wrapped->setText(kLong);
    auto* button = Plant<QPushButton>("button", {60, 30});
    button->setText(kLong);
    auto* fits = Plant<QLabel>("fits", {380, 60});
    fits->setText("Discard them?");
    // Cut by its parent, not by its own size.
    auto* inner = new QLabel(kLong, line);
    inner->setObjectName("inner");
    inner->adjustSize();
    inner->show();

    const QStringList problems = Overflows(host.get());
    for (const char* name : {"line", "wrapped", "button", "inner"}) {
        EXPECT_TRUE(Names(problems, name)) << name << ":\n" << problems.join('\n').toStdString();
    }
    EXPECT_FALSE(Names(problems, "fits")) << problems.join('\n').toStdString();
}

TEST_F(LayoutCheckTest, SkinnedControlsCutShort) {
    auto* button = Plant<gui::SkinButton>("skin button", {40, 25});
    button->setText("PROGRAM CARD");
    auto* picture = Plant<gui::PictureButton>("picture button", {110, 60});
    QPixmap wide(300, 60);
    wide.fill(Qt::red);
    picture->SetPicture(wide);
    // The skin's own caption picture, in less room than it takes.
    auto* caption = Plant<QLabel>("skin caption", {40, 13});
    caption->setPixmap(gui::SkinBitmap(gui::kBmpCategoryCaption));
    auto* list = Plant<gui::SkinComboBox>("list", {90, 20});
    list->addItem(kLong);
    auto* tipped = Plant<gui::SkinComboBox>("tipped list", {90, 20});
    tipped->addItem(kLong);
    tipped->setToolTip(kLong);
    auto* roomy = Plant<gui::SkinComboBox>("roomy list", {300, 20});
    roomy->addItem("1.50");

    QStringList problems = Overflows(host.get());
    for (const char* name : {"skin button", "picture button", "skin caption", "list"}) {
        EXPECT_TRUE(Names(problems, name)) << name << ":\n" << problems.join('\n').toStdString();
    }
    EXPECT_FALSE(Names(problems, "tipped list")) << problems.join('\n').toStdString();
    EXPECT_FALSE(Names(problems, "roomy list")) << problems.join('\n').toStdString();

    // An open list narrower than its longest row.
    roomy->addItem(kLong + kLong + kLong + kLong);
    roomy->showPopup();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(roomy->view()->window()));
    problems = Overflows(host.get());
    EXPECT_TRUE(problems.join('\n').contains("\"roomy list\", open"))
        << problems.join('\n').toStdString();
    roomy->hidePopup();
}

TEST_F(LayoutCheckTest, ListCellsBoxesOffTheScreenAndSmallSkinText) {
    auto* view = Plant<QTreeWidget>("cells", {200, 100});
    view->setColumnCount(1);
    view->addTopLevelItem(new QTreeWidgetItem({kLong}));
    EXPECT_TRUE(Names(Overflows(host.get()), "cells"));
    view->topLevelItem(0)->setToolTip(0, kLong);
    EXPECT_FALSE(Names(Overflows(host.get()), "cells"));

    QDialog box;
    box.setObjectName("box");
    box.setWindowTitle("box");
    // Wider than the screen: no window manager can place that on it.
    box.resize(box.screen()->geometry().width() + 200, 100);
    box.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&box));
    EXPECT_TRUE(LayoutProblems().join('\n').contains("QDialog \"box\" leaves the screen"))
        << LayoutProblems().join('\n').toStdString();
    box.hide();

    QMainWindow window;
    window.setCentralWidget(new QWidget);
    auto* button = new gui::SkinButton("37%", window.centralWidget());
    button->setObjectName("small");
    button->SetFontSize(40);
    button->resize(200, 60);
    window.resize(300, 100);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    EXPECT_TRUE(LayoutProblems().join('\n').contains("\"small\": its text is"))
        << LayoutProblems().join('\n').toStdString();
    button->SetFontSize(120);
    EXPECT_FALSE(LayoutProblems().join('\n').contains("\"small\": its text is"));
}

TEST_F(LayoutCheckTest, AControlAFreshStartOffersThatTakesNoInputAnyMore) {
    auto* list = Plant<gui::SkinComboBox>("Category", {90, 20});
    list->setToolTip("Racing class");
    const test::Controls fresh = test::ControlsOf(host.get());
    EXPECT_TRUE(test::DeadControls(fresh, test::ControlsOf(host.get())).isEmpty());
    list->setEnabled(false);
    list->setToolTip(QString());
    const QStringList dead = test::DeadControls(fresh, test::ControlsOf(host.get()));
    EXPECT_TRUE(dead.contains("Category takes no input")) << dead.join('\n').toStdString();
    EXPECT_TRUE(dead.contains("Category shows no tooltip"));
    EXPECT_TRUE(dead.contains("Category is not in the Tab order"));
}

}  // namespace
}  // namespace vorna
