// The drop-down list used for every ESC parameter and both firmware choices: a standard
// non-editable combo box whose face, arrow and list are painted in the dark skin, with a red face
// while the mouse is over it or pressing it and a light outline while it has the keyboard focus.
// The open list shows ten rows where the screen has room, and scrolls; the wheel changes the
// choice only once the list has the focus, so a wheel turned while the mouse passes over it
// changes nothing.
#pragma once

#include <QComboBox>
#include <QFont>
#include <QString>

#include "gui/skin/SkinScale.h"

namespace vorna::gui {

class SkinComboBox : public QComboBox {
    Q_OBJECT

public:
    // The look of the face: arrow frame and face colour follow it.
    enum HoverStateValue { kHoverNormal = 0, kHoverOver = 1, kHoverPressed = 2 };

    explicit SkinComboBox(QWidget* parent = nullptr);
    ~SkinComboBox() override;

    // Both take effect at the next paint of the face, and for the list at its next opening.
    void SetFontFace(const QString& face);
    const QString& FontFace() const { return fontFace_; }
    // Tenths of a point. A size of 0 or less keeps the toolkit's default size.
    void SetFontSize(int tenthsOfPoint);
    int FontSize() const { return fontSize_; }

    // The font the face and the list items are drawn with: the font size at the scale's text
    // size.
    QFont SkinFont() const;

    // The skin's scale: the arrow and the face's insets follow it, the font its text size.
    void SetScale(const SkinScale& scale);
    const SkinScale& Scale() const { return scale_; }

    // Marked, the face has a white outline: the page marks a list whose choice is not on the
    // device yet.
    void SetMarked(bool marked);

    // How many rows the open list shows, fewer only where the screen ends first or the list has
    // fewer entries; the rest scroll. Takes effect at the next opening.
    static constexpr int kDefaultVisibleRows = 10;
    void SetVisibleRows(int rows);

    // The width the list needs for its widest item (with the list's frame and scroll bar); the
    // list is widened to it when it opens, never narrowed.
    int PopupWidthFor() const;

    void showPopup() override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void SetHoverState(int state);
    // The height of one row of the list, in the skin font.
    int RowHeight() const;
    // The frames around the list's rows, top and bottom together.
    int ListMargins() const;
    // The most the open list may take, frames included.
    int OpenListHeightLimit() const;
    // Keeps the open list to its rows, whatever the style made of it.
    void LimitOpenListHeight();

    QString fontFace_ = QStringLiteral("Microsoft Sans Serif");
    int fontSize_ = 100;
    int hoverState_ = kHoverNormal;
    int visibleRows_ = kDefaultVisibleRows;
    SkinScale scale_;
    bool tracking_ = false;
    bool marked_ = false;
    QWidget* popup_ = nullptr;  // the list's window, owned by the combo box
};

}  // namespace vorna::gui
