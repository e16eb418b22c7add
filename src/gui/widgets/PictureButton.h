// A button that is one picture: it takes the keyboard focus, shows it with the same light outline
// as the other skinned controls, is pressed by Space, Enter and Return, and shows its picture
// dimmed while disabled. Laid over a picture that a page makes clickable, it gives the keyboard a
// way to it; the page may keep the mouse for itself by making the button transparent to it.
#pragma once

#include <QAbstractButton>
#include <QPixmap>

namespace vorna::gui {

class PictureButton : public QAbstractButton {
    Q_OBJECT

public:
    explicit PictureButton(QWidget* parent = nullptr);
    ~PictureButton() override;

    // Drawn unscaled from the top-left corner; the button repaints at once.
    void SetPicture(const QPixmap& picture);
    const QPixmap& Picture() const { return picture_; }

    // While set, the mouse passes through the button to what lies below it, which then handles
    // clicks itself; the button is reached by the keyboard only. Off by default.
    void SetMouseTransparent(bool transparent);
    bool IsMouseTransparent() const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    // A press on the 1-pixel outline at the left and top belongs to no button, as with the
    // pages' own click areas.
    bool hitButton(const QPoint& pos) const override;

private:
    QPixmap picture_;
    QPixmap dimmed_;
};

// The keyboard's way to a picture the page itself handles clicks on: a button without a picture
// of its own over `place`, transparent to the mouse, named `name` for screen readers. Only its
// focus mark shows; the page connects `clicked` to what a click on the picture does.
PictureButton* KeyboardButtonOver(QWidget* parent, QRect place, const QString& name);

}  // namespace vorna::gui
