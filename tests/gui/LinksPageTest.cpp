// The links page and the about box on Qt's offscreen platform. Every opened link goes to a
// recorder; no browser is ever started.
#include <gtest/gtest.h>
#include <QApplication>
#include <QColor>
#include <QImage>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QTest>

#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "gui/UrlOpener.h"
#include "gui/pages/AboutDialog.h"
#include "gui/pages/LinksPage.h"
#include "gui/skin/Skin.h"
#include "gui/widgets/PictureButton.h"
#include "support/GuiApp.h"
#include "support/TestSupport.h"

namespace vorna::gui {
namespace {

void EnsureApplication() {
    vorna::test::EnsureGuiApp();
}

const std::string kHome = "www.kelvaran-racing.example";
const std::string kZen = "http://www.kelvaran-racing.example/product/VORNA-ZEN/";
const std::string kClass = "http://www.kelvaran-racing.example/product/VORNA-CLASS/";
const std::string kAlta = "http://www.kelvaran-racing.example/product/VORNA-ALTA/";
const std::string kJvx = "http://www.kelvaran-racing.example/product/VORNA-JVX/";

// Where the areas lie on the page, written out independently of the page's own table.
struct Area {
    const char* name;
    int x, y, w, h;
    QPoint Inside() const { return {x + w / 2, y + h / 2}; }
};
const Area kHomeArea{"home", 500, 500, 150, 60};
const Area kZenArea{"ZEN", 700, 60, 250, 100};
const Area kClassArea{"CLASS", 700, 180, 250, 100};
const Area kAltaArea{"ALTA", 700, 300, 250, 100};
const Area kJvxArea{"JVX", 700, 420, 250, 100};

class LinksPageTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { EnsureApplication(); }

    void WriteConfig(const std::string& text) {
        std::ofstream(dir_ / "config.ini", std::ios::binary) << text;
    }

    std::unique_ptr<LinksPage> MakePage() {
        auto page = std::make_unique<LinksPage>(dir_.Path(), [this](const QString& text) {
            opened_.push_back(text.toStdString());
            return browserOpens_;
        });
        page->SetInform([this](QWidget*, const QString& text) { told_.push_back(text); });
        page->resize(1000, 600);
        return page;
    }

    // What one click at `point` opened.
    std::vector<std::string> Click(LinksPage& page, QPoint point,
                                   Qt::KeyboardModifiers modifiers = {},
                                   Qt::MouseButton button = Qt::LeftButton) {
        opened_.clear();
        QTest::mouseClick(&page, button, modifiers, point);
        return opened_;
    }

    static void MoveTo(LinksPage& page, QPoint point) {
        QMouseEvent move(QEvent::MouseMove, QPointF(point), QPointF(page.mapToGlobal(point)),
                         Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&page, &move);
    }

    test::TempDir dir_;
    std::vector<std::string> opened_;
    bool browserOpens_ = true;
    std::vector<QString> told_;
};

using Opened = std::vector<std::string>;

TEST_F(LinksPageTest, AreasAreOpenRectanglesWithTheirDefaultLinks) {
    auto page = MakePage();  // no config.ini: every link is the built-in one
    const std::pair<Area, std::string> areas[] = {
        {kHomeArea, kHome}, {kZenArea, kZen}, {kClassArea, kClass},
        {kAltaArea, kAlta}, {kJvxArea, kJvx},
    };
    for (const auto& [a, link] : areas) {
        SCOPED_TRACE(a.name);
        const QPoint mid = a.Inside();
        EXPECT_EQ(Click(*page, {a.x, mid.y()}), Opened{}) << "left border";
        EXPECT_EQ(Click(*page, {a.x + a.w, mid.y()}), Opened{}) << "right border";
        EXPECT_EQ(Click(*page, {mid.x(), a.y}), Opened{}) << "top border";
        EXPECT_EQ(Click(*page, {mid.x(), a.y + a.h}), Opened{}) << "bottom border";
        EXPECT_EQ(Click(*page, {a.x + 1, a.y + 1}), Opened{link}) << "one pixel inside";
        EXPECT_EQ(Click(*page, {a.x + a.w - 1, a.y + a.h - 1}), Opened{link}) << "far corner";
    }
    EXPECT_EQ(Click(*page, {600, 100}), Opened{}) << "between the areas";
    EXPECT_EQ(Click(*page, {700, 170}), Opened{}) << "in the gap between two products";
}

TEST_F(LinksPageTest, OnlyAPlainLeftPressOpens) {
    auto page = MakePage();
    const QPoint p = kZenArea.Inside();
    EXPECT_EQ(Click(*page, p, Qt::ControlModifier), Opened{}) << "Ctrl";
    EXPECT_EQ(Click(*page, p, Qt::ShiftModifier), Opened{}) << "Shift";
    EXPECT_EQ(Click(*page, p, {}, Qt::RightButton), Opened{}) << "right button";

    // Left pressed while the right button is still held.
    opened_.clear();
    QTest::mousePress(page.get(), Qt::RightButton, {}, p);
    QTest::mousePress(page.get(), Qt::LeftButton, {}, p);
    QTest::mouseRelease(page.get(), Qt::LeftButton, {}, p);
    QTest::mouseRelease(page.get(), Qt::RightButton, {}, p);
    EXPECT_EQ(opened_, Opened{}) << "left with right held";

    EXPECT_EQ(Click(*page, p), Opened{kZen}) << "the same point, plain";
}

TEST_F(LinksPageTest, KeyboardReachesProductsThenHome) {
    auto page = MakePage();
    const auto buttons = page->findChildren<PictureButton*>();
    ASSERT_EQ(buttons.size(), 5);
    const Opened expected[] = {{kZen}, {kClass}, {kAlta}, {kJvx}, {kHome}};
    for (int i = 0; i < 5; ++i) {
        opened_.clear();
        QTest::keyClick(buttons[i], i % 2 ? Qt::Key_Space : Qt::Key_Return);
        EXPECT_EQ(opened_, expected[i]) << i;
        EXPECT_EQ(page->childAt(buttons[i]->geometry().center()), nullptr) << "mouse goes by";
    }
}

TEST_F(LinksPageTest, ConfiguredLinks) {
    WriteConfig("[PRODUCT LINK]\nMAIN=https://home.test/start\n");
    auto page = MakePage();
    EXPECT_EQ(Click(*page, kHomeArea.Inside()), Opened{"https://home.test/start"});
    EXPECT_EQ(Click(*page, kZenArea.Inside()), Opened{kZen});
    EXPECT_EQ(Click(*page, kClassArea.Inside()), Opened{kClass});
    EXPECT_EQ(Click(*page, kAltaArea.Inside()), Opened{kAlta});
    EXPECT_EQ(Click(*page, kJvxArea.Inside()), Opened{kJvx});

    const std::string longLink = "http://long.test/" + std::string(283, 'z');
    ASSERT_EQ(longLink.size(), 300u);
    WriteConfig("[PRODUCT LINK]\nVORNA-CLASS=" + longLink + "\nVORNA-JVX=\n");
    auto second = MakePage();
    EXPECT_EQ(Click(*second, kClassArea.Inside()), Opened{longLink.substr(0, 259)});
    // An empty value is a value: it is handed on as it is, and the opener does nothing with it.
    EXPECT_EQ(Click(*second, kJvxArea.Inside()), Opened{""});
}

// A click that reaches no browser says so, with the address to copy; one that does says nothing.
TEST_F(LinksPageTest, ALinkNoBrowserOpensIsSaidWithItsAddress) {
    WriteConfig("[PRODUCT LINK]\nVORNA-JVX=file:///etc/passwd\n");
    auto page = MakePage();
    Click(*page, kZenArea.Inside());
    EXPECT_TRUE(told_.empty());
    browserOpens_ = false;
    Click(*page, kHomeArea.Inside());
    ASSERT_EQ(told_.size(), 1u);
    EXPECT_TRUE(told_[0].endsWith("\n\nhttp://www.kelvaran-racing.example"))
        << told_[0].toStdString();
    Click(*page, kJvxArea.Inside());
    ASSERT_EQ(told_.size(), 2u);
    EXPECT_TRUE(told_[1].contains("not a web address")) << told_[1].toStdString();
    EXPECT_TRUE(told_[1].endsWith("file:///etc/passwd"));
}

TEST_F(LinksPageTest, HandCursorOnlyInsideAnArea) {
    auto page = MakePage();
    MoveTo(*page, {100, 100});
    EXPECT_EQ(page->cursor().shape(), Qt::ArrowCursor) << "start";
    MoveTo(*page, kAltaArea.Inside());
    EXPECT_EQ(page->cursor().shape(), Qt::PointingHandCursor) << "inside ALTA";
    MoveTo(*page, {kAltaArea.x, kAltaArea.Inside().y()});
    EXPECT_EQ(page->cursor().shape(), Qt::ArrowCursor) << "on ALTA's border";
    MoveTo(*page, {kHomeArea.x + 1, kHomeArea.y + 1});
    EXPECT_EQ(page->cursor().shape(), Qt::PointingHandCursor) << "just inside home";
    MoveTo(*page, {10, 590});
    EXPECT_EQ(page->cursor().shape(), Qt::ArrowCursor) << "outside again";
}

TEST_F(LinksPageTest, PictureOnBlack) {
    auto page = MakePage();
    const QImage picture = gui::SkinBitmap(gui::kBmpLinksPage).toImage();
    const QImage shown = page->grab().toImage();
    EXPECT_EQ(QColor(shown.pixel(3, 3)), QColor(Qt::black)) << "left of the picture";
    EXPECT_EQ(QColor(shown.pixel(990, 300)), QColor(Qt::black)) << "right of the picture";
    // The picture sits 10 pixels in: compare a row through the product column.
    int compared = 0;
    for (int x = 0; x < picture.width(); x += 7) {
        const QPoint p(x, 110);
        if (QColor(picture.pixel(p)) == QColor(Qt::black)) continue;
        ++compared;
        ASSERT_EQ(QColor(shown.pixel(p + LinksPage::kPictureOffset)), QColor(picture.pixel(p)))
            << "x " << x;
    }
    EXPECT_GT(compared, 0) << "the row through the products is all black";
}

TEST(UrlOpenerTest, OnlyWebAddressesReachTheBrowser) {
    EXPECT_EQ(WebUrlFromLinkText("www.kelvaran-racing.example"),
              QUrl("http://www.kelvaran-racing.example"));
    EXPECT_EQ(WebUrlFromLinkText(" https://shop.test/a?b=1 "), QUrl("https://shop.test/a?b=1"));
    EXPECT_EQ(WebUrlFromLinkText(QString::fromStdString(kZen)), QUrl(QString::fromStdString(kZen)));

    for (const char* text : {"", "   ", "/usr/bin/xterm", "file:///etc/passwd", "ftp://host.test/",
                             "javascript:alert(1)", "http://"}) {
        EXPECT_TRUE(WebUrlFromLinkText(text).isEmpty()) << '"' << text << '"';
    }
}

TEST(AboutBoxTest, ShowsNameAndClosesOnOkEscAndCloseBox) {
    EnsureApplication();
    AboutDialog about;
    EXPECT_EQ(about.windowTitle(), "About Kelvaran Racing VORNA USB Link");
    EXPECT_TRUE(about.isModal());
    EXPECT_EQ(about.findChild<QLabel*>("title")->text(), "Kelvaran Racing VORNA USB Link V1.9");
    EXPECT_FALSE(about.findChild<QLabel*>("notice")->text().isEmpty());
    EXPECT_FALSE(about.findChild<QLabel*>("icon")->pixmap().isNull());
    EXPECT_EQ(about.findChild<QPushButton*>("ok")->text(), "OK");
    EXPECT_TRUE(about.findChild<QPushButton*>("ok")->isDefault());

    about.show();
    QTest::mouseClick(about.findChild<QPushButton*>("ok"), Qt::LeftButton);
    EXPECT_FALSE(about.isVisible());
    EXPECT_EQ(about.result(), QDialog::Accepted);

    about.show();
    QTest::keyClick(&about, Qt::Key_Escape);
    EXPECT_FALSE(about.isVisible());
    EXPECT_EQ(about.result(), QDialog::Rejected);

    about.setResult(QDialog::Accepted);
    about.show();
    about.close();  // what the close box does
    EXPECT_FALSE(about.isVisible());
    EXPECT_EQ(about.result(), QDialog::Rejected);
}

}  // namespace
}  // namespace vorna::gui
