// A push button that shows one of three bitmaps (normal, down, mouse over) instead of the
// platform's face and prints its caption over the bitmap in its own font and colour. The owner
// can pin the down look with the selected flag to mark the current page. A light outline shows
// the keyboard focus; Space, Enter and Return press the focused button.
#pragma once

#include <QAbstractButton>
#include <QColor>
#include <QPixmap>
#include <QString>

#include "gui/skin/SkinScale.h"

namespace vorna::gui {

class SkinButton : public QAbstractButton {
    Q_OBJECT

public:
    // Which of the button's images the look calls for. A face whose image is absent is drawn as
    // a plain fill of the palette's button colour.
    enum class Face { Normal, Down, Over, Disabled };

    explicit SkinButton(QWidget* parent = nullptr);
    explicit SkinButton(const QString& caption, QWidget* parent = nullptr);
    ~SkinButton() override;

    // Loads the images from the skin by resource number. The over image is loaded only for an
    // id above 0. A disabled button shows its normal image dimmed, or its down image dimmed while
    // it is selected, so the current page's button stays recognisable.
    void AssignSkin(int normalId, int downId, int overId);
    // The skin's scale: images assigned by number are drawn at it, the font at its text size.
    void SetScale(const SkinScale& scale);
    const SkinScale& Scale() const { return scale_; }
    // The same with images the caller already has; a null `over` means no over image.
    void SetImages(const QPixmap& normal, const QPixmap& down, const QPixmap& over = QPixmap());

    // Tenths of a point. A size of 0 or less keeps the toolkit's default size.
    void SetFontSize(int tenthsOfPoint);
    int FontSize() const { return fontSize_; }
    void SetFontFace(const QString& face);
    const QString& FontFace() const { return fontFace_; }
    void SetTextColor(const QColor& color);

    // Pins the down look while set; the button repaints at once.
    void SetSelected(bool selected);

    // The face that the next paint draws.
    Face CurrentFace() const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void Init();
    const QPixmap& ImageFor(Face face) const;

    bool selected_ = false;
    int fontSize_ = 90;
    QString fontFace_ = QStringLiteral("Arial");
    bool hover_ = false;
    bool held_ = false;
    QPixmap normal_;
    QPixmap down_;
    QPixmap disabled_;
    QPixmap disabledDown_;
    QPixmap over_;
    QColor textColor_;
    SkinScale scale_;
    int skinIds_[3] = {0, 0, 0};  // normal, down, over: 0 when the images came as pixmaps
};

}  // namespace vorna::gui
