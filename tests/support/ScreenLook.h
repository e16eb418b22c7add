// Looking at the screen as a person would, for the tests on a real display (the X server tests,
// and the window under Wine): what the screen shows once painting has settled, and whether a
// label's text stands out from its background; a modal box looked at and closed. Every look is
// saved as a PNG file in VORNA_XSERVER_SHOTS (else xserver-shots/ in the build folder).
#pragma once

#include <gtest/gtest.h>

#include <QAbstractScrollArea>
#include <QApplication>
#include <QColor>
#include <QDialog>
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QLabel>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QScreen>
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <initializer_list>
#include <map>

namespace vorna::test {

// Generous: the display, the window manager and the link share two slow cores with other tests.
inline constexpr int kScreenWaitMs = 30000;

// A colour this far from the background in some channel reads as a stroke; dark grey text on
// black or light grey on white stays below it.
inline constexpr int kClearContrast = 96;
// Even a small glyph such as "." or "i" puts this many strokes on the screen.
inline constexpr int kStrokesPerCharacter = 3;

inline QString ShotFolder() {
    const QByteArray chosen = qgetenv("VORNA_XSERVER_SHOTS");
    return chosen.isEmpty() ? QStringLiteral(VORNA_BINARY_DIR "/xserver-shots")
                            : QString::fromLocal8Bit(chosen);
}

inline void Save(const QImage& image, const QString& name) {
    QDir().mkpath(ShotFolder());
    const QString path = QDir(ShotFolder()).filePath(name + ".png");
    EXPECT_TRUE(image.save(path)) << "cannot save " << path.toStdString();
}

inline QRect OnScreen(const QWidget* widget) {
    return QRect(widget->mapToGlobal(QPoint(0, 0)), widget->size());
}

// What the screen shows in `area` (device-independent pixels), once painting has settled: two
// grabs in a row agree.
inline QImage Grab(const QRect& area) {
    QScreen* screen = QGuiApplication::primaryScreen();
    auto grab = [&] {
        return screen->grabWindow(0, area.x(), area.y(), area.width(), area.height()).toImage();
    };
    QImage last = grab();
    QImage now;
    const bool settled = QTest::qWaitFor(
        [&] {
            QTest::qWait(50);
            now = grab();
            if (now == last) return true;
            last = now;
            return false;
        },
        kScreenWaitMs);
    if (!settled) ADD_FAILURE() << "the screen kept changing";
    return last;
}

// The part of a grab that shows `area`, given in the grab's device-independent pixels.
inline QImage Part(const QImage& grab, const QRect& area) {
    const qreal ratio = grab.devicePixelRatio();
    const QRect pixels(qFloor(area.x() * ratio), qFloor(area.y() * ratio),
                       qCeil(area.width() * ratio), qCeil(area.height() * ratio));
    return grab.copy(pixels.intersected(grab.rect()));
}

inline QRgb MostFrequentColour(const QImage& image) {
    std::map<QRgb, int> counts;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) ++counts[image.pixel(x, y) | 0xff000000u];
    }
    return std::max_element(counts.begin(), counts.end(),
                            [](const auto& a, const auto& b) { return a.second < b.second; })
        ->first;
}

inline int ContrastingPixels(const QImage& image, QRgb background) {
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb c = image.pixel(x, y);
            const int apart = std::max({std::abs(qRed(c) - qRed(background)),
                                        std::abs(qGreen(c) - qGreen(background)),
                                        std::abs(qBlue(c) - qBlue(background))});
            if (apart >= kClearContrast) ++count;
        }
    }
    return count;
}

// A label reads when its text stands out from what is around it on the screen. The background
// is the colour most of the label's area shows, whatever the style or palette chose.
inline ::testing::AssertionResult Readable(const QLabel* label, const QString& shotName) {
    const QImage shown = Grab(OnScreen(label));
    Save(shown, shotName);
    const QRgb background = MostFrequentColour(shown);
    const int strokes = ContrastingPixels(shown, background);
    const int characters = static_cast<int>(label->text().simplified().remove(' ').size());
    const int needed = kStrokesPerCharacter * characters;
    if (strokes >= needed) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "\"" << label->text().toStdString() << "\" is not readable: " << strokes
           << " pixels stand out from its background " << QColor(background).name().toStdString()
           << ", at least " << needed << " needed (see " << shotName.toStdString() << ".png)";
}

// The window shows `last` (the last controls of its page) whole, and no scroll bar shows but
// the text panels' own, which scroll their text up and down.
inline void ExpectWholeWithoutScrolling(QWidget* window, std::initializer_list<QWidget*> last) {
    for (QWidget* widget : last) {
        const QRect at(widget->mapTo(window, QPoint(0, 0)), widget->size());
        EXPECT_TRUE(window->rect().contains(at)) << widget->objectName().toStdString();
    }
    for (const QScrollBar* bar : window->findChildren<QScrollBar*>()) {
        if (!bar->isVisible()) continue;
        // A scroll area keeps its bars in a container of its own.
        QWidget* owner = bar->parentWidget();
        if (owner != nullptr && qobject_cast<QAbstractScrollArea*>(owner) == nullptr) {
            owner = owner->parentWidget();
        }
        const bool textPanel = qobject_cast<QPlainTextEdit*>(owner) != nullptr;
        EXPECT_TRUE(textPanel && bar->orientation() == Qt::Vertical)
            << "a scroll bar shows in " << bar->parentWidget()->metaObject()->className();
    }
}

// Runs `look` on the modal box that `open` puts up, then closes the box, so that a failed check
// never leaves the test waiting on it.
inline void WithModalBox(const std::function<void()>& open,
                         const std::function<void(QWidget*)>& look) {
    bool looked = false;
    QTimer::singleShot(0, qApp, [&] {
        QWidget* box = nullptr;
        if (!QTest::qWaitFor(
                [&] {
                    box = QApplication::activeModalWidget();
                    // Placed too: on a busy machine a box can be visible a moment before the
                    // window system has given it its size.
                    return box != nullptr && box->isVisible() && !box->frameGeometry().isEmpty();
                },
                kScreenWaitMs)) {
            ADD_FAILURE() << "no box came up";
        } else if (!QTest::qWaitForWindowExposed(box, kScreenWaitMs)) {
            ADD_FAILURE() << "the box never showed on the screen";
        } else {
            look(box);
        }
        if (auto* dialog = qobject_cast<QDialog*>(box)) dialog->done(0);
        looked = true;
    });
    open();
    EXPECT_TRUE(QTest::qWaitFor([&] { return looked; }, kScreenWaitMs));
}

}  // namespace vorna::test
