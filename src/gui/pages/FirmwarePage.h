// The firmware page: the ESC and program card panels (the device's current firmware, a list of
// images, a start picture, a status picture with the progress of a running update over it) and
// the release notes beside them, drawn over FirmwarePageModel. A click on a start picture asks
// the model for the update; the link thread runs it.
#pragma once

#include <QRect>
#include <QWidget>

#include <array>
#include <filesystem>
#include <functional>
#include <map>

#include "firmware/FirmwarePageModel.h"
#include "gui/skin/SkinPlacement.h"

class QLabel;
class QLineEdit;
class QPlainTextEdit;

namespace vorna::gui {

class PictureButton;
class SkinButton;
class SkinComboBox;

class FirmwarePage : public QWidget {
    Q_OBJECT

public:
    static constexpr int kDefaultTextSize = 85;
    // After an image of the user's own folder in its list.
    static constexpr char kOwnImageMark[] = " (own)";

    // `textSize` is the lists' and identity boxes' font size in tenths of a point. The images
    // are listed from `dataFolder`/Firmware and `userFolder`.
    FirmwarePage(FirmwarePageModel& model, std::filesystem::path dataFolder,
                 std::filesystem::path userFolder, int textSize, QWidget* parent = nullptr);
    ~FirmwarePage() override;

    // Tells the user something (the start pictures' "please select" messages); without one
    // set, a message box with an OK button and no icon tells.
    using Inform = std::function<void(QWidget* parent, const QString& text)>;
    void SetInform(Inform inform);
    // Asks a yes or no question, No by default; true for yes. Without one set, a message box
    // asks. A start picture asks it before an update is requested.
    using Confirm = std::function<bool(QWidget* parent, const QString& question)>;
    void SetConfirm(Confirm confirm);

    // Draws the page at `scale`: places, pictures, fonts and click areas.
    void SetScale(const SkinScale& scale);
    const SkinScale& Scale() const { return placement_.Scale(); }

    // Brings the boxes, status pictures and progress buttons in line with the model.
    void ShowChanges();
    // Lists the images again, keeping each list's choice while its file is still there, and
    // shows the release notes again. Done each time the page is shown.
    void ReadFirmwareFiles();
    // While an update is requested or running the start pictures take no clicks.
    void SetStartEnabled(bool enabled);
    // A test reads it to know an update's guard is lifted while no device may be ready to
    // take a click, which the pictures alone would not tell apart.
    bool StartEnabled() const { return startEnabled_; }
    // A start picture takes clicks only while a device that can take its image is connected;
    // otherwise it is dimmed and `why` is its tooltip. Ready until told otherwise.
    void SetDeviceReady(ImageKind kind, bool ready, const QString& why = QString());
    // The tooltip a dimmed start picture shows; a test reads it here rather than through a
    // tooltip popping up.
    const QString& NotReadyWhy(ImageKind kind) const {
        return notReadyWhy_[static_cast<std::size_t>(kind)];
    }
    bool StartTakesClicks(ImageKind kind) const;
    // Fix Mode is chosen: the ESC cannot say which it is, so nothing checks whom an image is for,
    // and its settings cannot be saved first.
    void SetFixMode(bool fix) { fixMode_ = fix; }

    SkinComboBox* List(ImageKind kind) const;
    // A click is taken when left < x < left + width and top < y < top + height; in the page's
    // pixels, at its scale.
    QRect StartRect(ImageKind kind) const;
    int TextSize() const { return textSize_; }

signals:
    // A click on a start picture has requested an update.
    void updateRequested();

protected:
    bool event(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    struct Panel {
        SkinComboBox* list = nullptr;
        QLabel* start = nullptr;
        PictureButton* startKey = nullptr;
        QLabel* status = nullptr;
        SkinButton* progress = nullptr;
        QLineEdit* firmwareBox = nullptr;  // the device's firmware now
        QLineEdit* modelBox = nullptr;     // hidden
        QLineEdit* hardwareBox = nullptr;  // hidden; the card's stays empty
    };
    QLabel* Picture(int bitmapId, QRect place, bool fitFrame = false);
    void LayoutLists();
    void BuildPanel(ImageKind kind);
    void BuildIdentityBoxes();
    void ShowStartPictures();
    void ClickStart(ImageKind kind);
    QString UpdateQuestion(ImageKind kind, const std::string& entry,
                           const FirmwarePageModel::ImageReview& review) const;
    void SetHandCursor(bool hand);

    FirmwarePageModel& model_;
    SkinPlacement placement_;
    std::filesystem::path dataFolder_;
    std::filesystem::path userFolder_;
    int textSize_;
    Inform inform_;
    Confirm confirm_;
    std::array<Panel, 2> panels_;  // by ImageKind, as are the three below
    std::array<bool, 2> ready_{true, true};
    std::array<QString, 2> notReadyWhy_;
    // An update asked for from this page: its list's choice goes when it is over.
    std::array<bool, 2> clearAfterUpdate_{};
    QPlainTextEdit* information_ = nullptr;
    bool startEnabled_ = true;
    bool handCursor_ = false;
    bool fixMode_ = false;
};

}  // namespace vorna::gui
