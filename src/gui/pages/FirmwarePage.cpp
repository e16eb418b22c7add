#include "gui/pages/FirmwarePage.h"
#include "gui/QtText.h"

#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QSignalBlocker>
#include <QStringList>
#include <QToolTip>

#include <algorithm>
#include <optional>
#include <utility>

#include "base/Utf8Path.h"
#include "gui/AppConfig.h"
#include "gui/MessageBoxes.h"
#include "gui/pages/PageLook.h"
#include "gui/skin/Skin.h"
#include "gui/skin/SkinPlacement.h"
#include "gui/widgets/PictureButton.h"
#include "gui/widgets/SkinButton.h"
#include "gui/widgets/SkinComboBox.h"

namespace vorna::gui {
namespace {

const QString kLabelFace = QStringLiteral("Arial");
constexpr int kLabelPointSize = 9;
constexpr int kInformationPointSize = 8;
const QString kBoxFace = QStringLiteral("Microsoft Sans Serif");
const QColor kBoxBackground(58, 58, 58);
const QString kProgressFace = QStringLiteral("Arial");
constexpr int kProgressTextSize = 200;
const QColor kProgressTextColor(247, 148, 29);
constexpr int kMinListHeight = 22;

// Where each panel's parts go, in page pixels.
struct PanelPlaces {
    int titleBitmap;
    QRect title;
    QRect rule;
    QRect nowLabel;
    QRect firmwareBox;
    QRect changeLabel;
    QPoint list;
    int startBitmap;
    QRect start;
    QRect status;  // the progress button covers it
    // Hidden: the page keeps the model and hardware version but does not show them.
    QRect modelBox;
    QRect hardwareBox;
    // The panel's widgets are named "esc…" or "card…" and then for what they are.
    const char* prefix;
};

const PanelPlaces kPanelPlaces[2] = {
    {kBmpEscFirmwareTitle, QRect(200, 40, 180, 32), QRect(70, 70, 420, 10), QRect(70, 135, 128, 20),
     QRect(200, 133, 180, 23), QRect(70, 205, 128, 20), QPoint(200, 205), kBmpEscFirmwareSave,
     QRect(440, 105, 150, 75), QRect(440, 180, 150, 75), QRect(200, 103, 180, 23),
     QRect(200, 143, 180, 23), "esc"},
    {kBmpCardFirmwareTitle, QRect(170, 290, 270, 32), QRect(70, 320, 420, 10),
     QRect(70, 390, 128, 20), QRect(200, 390, 180, 23), QRect(70, 460, 128, 20), QPoint(200, 460),
     kBmpCardFirmwareSave, QRect(440, 355, 150, 75), QRect(440, 430, 150, 75),
     QRect(200, 355, 180, 23), QRect(200, 420, 180, 23), "card"},
};

// A panel's widget: "escList", "cardStatus", ...
QString PartName(const PanelPlaces& at, const char* part) {
    return QLatin1String(at.prefix) + QLatin1String(part);
}

int StatusBitmapOf(FirmwarePageLink::UpdateStatus status) {
    switch (status) {
        case FirmwarePageLink::UpdateStatus::Finished:
            return kBmpStatusFinished;
        case FirmwarePageLink::UpdateStatus::Failed:
            return kBmpStatusFailed;
        default:
            return kBmpStatusReady;
    }
}

// A start picture that takes no click looks it: faded into the black page.
QPixmap Faded(const QPixmap& picture) {
    QPixmap faded(picture.size());
    faded.setDevicePixelRatio(picture.devicePixelRatio());
    faded.fill(Qt::black);
    QPainter p(&faded);
    p.setOpacity(0.35);
    p.drawPixmap(0, 0, picture);
    return faded;
}

void DefaultInform(QWidget* parent, const QString& text) {
    ShowPlainMessage(parent, QMessageBox::NoIcon, text);
}

bool DefaultConfirm(QWidget* parent, const QString& question) {
    return ExecPlainBox(parent, QMessageBox::Question, question, QMessageBox::Yes | QMessageBox::No,
                        QMessageBox::No) == QMessageBox::Yes;
}

}  // namespace

FirmwarePage::FirmwarePage(FirmwarePageModel& model, std::filesystem::path dataFolder,
                           std::filesystem::path userFolder, int textSize, QWidget* parent)
    : QWidget(parent),
      model_(model),
      dataFolder_(std::move(dataFolder)),
      userFolder_(std::move(userFolder)),
      textSize_(textSize),
      inform_(DefaultInform),
      confirm_(DefaultConfirm) {
    setAutoFillBackground(true);
    setPalette(LightOnBlack(palette()));
    // The hand cursor follows the pointer over the start pictures.
    setMouseTracking(true);

    Picture(kBmpFirmwarePanel, QRect(20, 50, 600, 520), true);
    Picture(kBmpRightFrame, QRect(650, 0, 330, 620), true);
    Picture(kBmpFirmwareInfoTitle, QRect(680, 25, 250, 37));

    BuildIdentityBoxes();
    BuildPanel(ImageKind::Esc);
    BuildPanel(ImageKind::Card);

    information_ = new QPlainTextEdit(this);
    information_->setObjectName(QStringLiteral("information"));
    placement_.Add(information_, QRect(665, 70, 300, 525),
                   QFont(kLabelFace, kInformationPointSize));
    information_->setReadOnly(true);
    information_->setTabChangesFocus(true);
    information_->setPalette(LightOnBlack(information_->palette()));
    information_->viewport()->setPalette(LightOnBlack(information_->viewport()->palette()));
    information_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    information_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    information_->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    information_->setFrameShape(QFrame::NoFrame);

    LayoutLists();
    ReadFirmwareFiles();
    ShowChanges();
}

void FirmwarePage::SetScale(const SkinScale& scale) {
    if (scale == placement_.Scale()) return;
    placement_.Apply(scale);
    for (Panel& panel : panels_) panel.progress->SetScale(scale);
    LayoutLists();
    ShowStartPictures();
}

// A list's face is as tall as its text needs.
void FirmwarePage::LayoutLists() {
    const SkinScale& scale = placement_.Scale();
    for (const ImageKind kind : {ImageKind::Esc, ImageKind::Card}) {
        SkinComboBox* list = panels_[static_cast<std::size_t>(kind)].list;
        list->SetScale(scale);
        const int height = std::max(scale.Px(kMinListHeight),
                                    QFontMetrics(list->SkinFont()).height() + scale.Px(6));
        list->setGeometry(QRect(scale.Point(kPanelPlaces[static_cast<int>(kind)].list),
                                QSize(scale.Px(180), height)));
    }
}

QRect FirmwarePage::StartRect(ImageKind kind) const {
    return placement_.Rect(kPanelPlaces[static_cast<int>(kind)].start);
}

FirmwarePage::~FirmwarePage() = default;

QLabel* FirmwarePage::Picture(int bitmapId, QRect place, bool fitFrame) {
    auto* label = new QLabel(this);
    placement_.AddPicture(label, place, bitmapId, fitFrame);
    // The page itself takes the clicks and the hover over its pictures.
    label->setAttribute(Qt::WA_TransparentForMouseEvents);
    return label;
}

void FirmwarePage::BuildPanel(ImageKind kind) {
    const PanelPlaces& at = kPanelPlaces[static_cast<int>(kind)];
    Panel& panel = panels_[static_cast<std::size_t>(kind)];
    Picture(at.titleBitmap, at.title);
    Picture(kBmpPanelRule, at.rule);

    const QFont labelFont(kLabelFace, kLabelPointSize);
    for (const auto& [text, place] :
         {std::pair{"Now Firmware", at.nowLabel}, std::pair{"Change Firmware", at.changeLabel}}) {
        auto* label = new QLabel(QString::fromLatin1(text), this);
        placement_.Add(label, place, labelFont);
        label->setPalette(LightOnBlack(label->palette()));
        label->setAttribute(Qt::WA_TransparentForMouseEvents);
    }

    panel.list = new SkinComboBox(this);
    panel.list->setObjectName(PartName(at, "List"));
    panel.list->SetFontFace(kBoxFace);
    panel.list->SetFontSize(textSize_);

    panel.start = Picture(at.startBitmap, at.start);
    panel.start->setObjectName(PartName(at, "Start"));
    panel.startKey = KeyboardButtonOver(
        this, at.start, kind == ImageKind::Esc ? "Update the ESC" : "Update the program card");
    panel.startKey->setObjectName(PartName(at, "StartButton"));
    placement_.Add(panel.startKey, at.start);
    connect(panel.startKey, &PictureButton::clicked, this, [this, kind] {
        if (StartTakesClicks(kind)) ClickStart(kind);
    });
    panel.status = Picture(kBmpStatusReady, at.status);
    panel.status->setObjectName(PartName(at, "Status"));

    panel.progress = new SkinButton(this);
    panel.progress->setObjectName(PartName(at, "Progress"));
    placement_.Add(panel.progress, at.status);
    panel.progress->AssignSkin(kBmpProgressFrame, kBmpProgressFrame, 0);
    panel.progress->SetFontFace(kProgressFace);
    panel.progress->SetFontSize(kProgressTextSize);
    panel.progress->SetTextColor(kProgressTextColor);
    panel.progress->setText(QStringLiteral("0%"));
    panel.progress->setFocusPolicy(Qt::NoFocus);
    // It only shows the percentage; a click on it must not reach anything.
    panel.progress->setAttribute(Qt::WA_TransparentForMouseEvents);
    panel.progress->hide();
    panel.progress->raise();
}

void FirmwarePage::BuildIdentityBoxes() {
    QPalette palette = this->palette();
    for (const auto role : {QPalette::Text, QPalette::WindowText}) {
        palette.setColor(QPalette::All, role, Qt::white);
    }
    palette.setColor(QPalette::All, QPalette::Base, kBoxBackground);
    QFont font(kBoxFace);
    if (textSize_ > 0) font.setPointSizeF(textSize_ / 10.0);

    auto makeBox = [&](const QString& name, QRect place, bool shown) {
        auto* box = new QLineEdit(this);
        box->setObjectName(name);
        placement_.Add(box, place, font);
        box->setReadOnly(true);
        box->setFrame(false);
        box->setPalette(palette);
        // The window's style sheet would otherwise give every box the style's white face.
        box->setStyleSheet(
            QStringLiteral("QLineEdit { background: rgb(58, 58, 58); color: white; "
                           "border: none; }"));
        // The text sits in the middle of the box, across and down.
        box->setAlignment(Qt::AlignCenter);
        box->setFocusPolicy(Qt::ClickFocus);
        box->setVisible(shown);
        return box;
    };
    for (std::size_t i = 0; i < panels_.size(); ++i) {
        panels_[i].firmwareBox =
            makeBox(PartName(kPanelPlaces[i], "Firmware"), kPanelPlaces[i].firmwareBox, true);
    }
    for (std::size_t i = 0; i < panels_.size(); ++i) {
        panels_[i].modelBox =
            makeBox(PartName(kPanelPlaces[i], "Model"), kPanelPlaces[i].modelBox, false);
        panels_[i].hardwareBox =
            makeBox(PartName(kPanelPlaces[i], "Hardware"), kPanelPlaces[i].hardwareBox, false);
    }
}

void FirmwarePage::SetInform(Inform inform) {
    inform_ = inform ? std::move(inform) : Inform(DefaultInform);
}

void FirmwarePage::SetConfirm(Confirm confirm) {
    confirm_ = confirm ? std::move(confirm) : Confirm(DefaultConfirm);
}

void FirmwarePage::ShowChanges() {
    const EscIdentityTexts esc = model_.EscTexts();
    const Panel& escPanel = panels_[static_cast<std::size_t>(ImageKind::Esc)];
    const Panel& cardPanel = panels_[static_cast<std::size_t>(ImageKind::Card)];
    const std::pair<QLineEdit*, std::string> texts[] = {
        {escPanel.modelBox, esc.model},
        {escPanel.hardwareBox, esc.hardware},
        {escPanel.firmwareBox, esc.firmware},
        {cardPanel.modelBox, model_.CardModelText()},
        {cardPanel.firmwareBox, model_.CardFirmwareText()},
    };
    for (const auto& [box, text] : texts) {
        const QString shown = ToQString(text);
        if (box->text() != shown) box->setText(shown);
    }
    for (const ImageKind kind : {ImageKind::Esc, ImageKind::Card}) {
        Panel& panel = panels_[static_cast<std::size_t>(kind)];
        const auto status = model_.Status(kind);
        const int bitmap = StatusBitmapOf(status);
        placement_.SetPicture(panel.status, bitmap);
        const int percent = model_.Progress(kind);
        const bool running = status == FirmwarePageLink::UpdateStatus::Running;
        // The update asked for is over: its image is chosen no longer, so another click cannot
        // flash it again unasked.
        std::size_t k = static_cast<std::size_t>(kind);
        if (clearAfterUpdate_[k] && !running && !model_.UpdateRequested(kind)) {
            clearAfterUpdate_[k] = false;
            panel.list->setCurrentIndex(-1);
        }
        if (running) panel.progress->setText(QString("%1%").arg(std::max(percent, 0)));
        panel.progress->setVisible(running);
        panel.status->setVisible(!running);
    }
}

void FirmwarePage::ReadFirmwareFiles() {
    model_.ReadFirmwareFiles(dataFolder_, userFolder_);
    const FirmwareCatalogue catalogue = model_.Catalogue();
    for (const ImageKind kind : {ImageKind::Esc, ImageKind::Card}) {
        SkinComboBox* list = panels_[static_cast<std::size_t>(kind)].list;
        const QVariant chosen = list->currentData();
        const QSignalBlocker quiet(list);
        list->clear();
        // The entry itself rides along as the item's data, byte for byte: that is what the model
        // knows an image by, while the text marks the user's own images as such.
        for (const FirmwareImage& image : catalogue.Images(kind)) {
            const QString entry = ToQString(image.entry);
            list->addItem(image.fromUserFolder ? entry + QString::fromLatin1(kOwnImageMark) : entry,
                          QByteArray::fromStdString(image.entry));
        }
        list->setCurrentIndex(chosen.isValid() ? list->findData(chosen) : -1);
    }
    QString text = ToQString(model_.InformationText());
    text.remove(QLatin1Char('\r'));
    if (information_->toPlainText() != text) information_->setPlainText(text);
}

void FirmwarePage::SetStartEnabled(bool enabled) {
    if (enabled == startEnabled_) return;
    startEnabled_ = enabled;
    ShowStartPictures();
    if (!enabled) SetHandCursor(false);
}

void FirmwarePage::SetDeviceReady(ImageKind kind, bool ready, const QString& why) {
    const std::size_t k = static_cast<std::size_t>(kind);
    notReadyWhy_[k] = ready ? QString() : why;
    if (ready_[k] == ready) return;
    ready_[k] = ready;
    ShowStartPictures();
}

bool FirmwarePage::StartTakesClicks(ImageKind kind) const {
    return startEnabled_ && ready_[static_cast<std::size_t>(kind)];
}

void FirmwarePage::ShowStartPictures() {
    for (const ImageKind kind : {ImageKind::Esc, ImageKind::Card}) {
        const Panel& panel = panels_[static_cast<std::size_t>(kind)];
        const bool takes = StartTakesClicks(kind);
        const QPixmap picture =
            SkinBitmap(kPanelPlaces[static_cast<int>(kind)].startBitmap, placement_.Scale());
        panel.start->setPixmap(takes ? picture : Faded(picture));
        panel.startKey->setEnabled(takes);
    }
}

SkinComboBox* FirmwarePage::List(ImageKind kind) const {
    return panels_[static_cast<std::size_t>(kind)].list;
}

void FirmwarePage::ClickStart(ImageKind kind) {
    const std::size_t k = static_cast<std::size_t>(kind);
    if (!ready_[k]) return;
    SkinComboBox* list = List(kind);
    std::optional<std::string> chosen;
    if (list->currentIndex() >= 0) chosen = list->currentData().toByteArray().toStdString();
    bool suspectAccepted = false;
    // A firmware update cannot be taken back: it starts only once the image has been read and
    // checked, and the user has seen which device gets which image, and what is doubtful about
    // it, and said yes.
    if (chosen && chosen->find_first_not_of(' ') != std::string::npos) {
        const FirmwarePageModel::ImageReview review =
            model_.ReviewImage(kind, *chosen, kind == ImageKind::Esc && fixMode_);
        if (!review.refusal.empty()) {
            model_.ShowUpdateStatus(kind, FirmwarePageLink::UpdateStatus::Failed);
            inform_(this, QStringLiteral("This image cannot be flashed:\n%1\n\nNothing was sent: "
                                         "the %2 is unchanged.")
                              .arg(ToQString(review.refusal),
                                   kind == ImageKind::Esc ? QStringLiteral("ESC")
                                                          : QStringLiteral("program card")));
            return;
        }
        if (!confirm_(window(), UpdateQuestion(kind, *chosen, review))) return;
        suspectAccepted = !review.suspect.empty();
    }
    const FirmwarePageModel::StartClick click = model_.ClickStart(kind, chosen, suspectAccepted);
    if (click.accepted) {
        clearAfterUpdate_[k] = true;
        emit updateRequested();
    }
    if (!click.message.empty()) inform_(this, ToQString(click.message));
}

QString FirmwarePage::UpdateQuestion(ImageKind kind, const std::string& entry,
                                     const FirmwarePageModel::ImageReview& review) const {
    const bool esc = kind == ImageKind::Esc;
    const QString deviceWord = esc ? QStringLiteral("ESC") : QStringLiteral("program card");
    QString device;
    if (esc) {
        const EscIdentityTexts texts = model_.EscTexts();
        device = fixMode_ || texts.model.empty()
                     ? QStringLiteral("an ESC whose firmware is not identified (Fix Mode)")
                     : QStringLiteral("%1, firmware %2")
                           .arg(ToQString(texts.model), ToQString(texts.firmware));
    } else {
        const std::string model = model_.CardModelText();
        device = model.empty() ? QStringLiteral("a program card that is not identified")
                               : QStringLiteral("%1, firmware %2")
                                     .arg(ToQString(model), ToQString(model_.CardFirmwareText()));
    }
    QString title = ToQString(entry).trimmed();
    title += QStringLiteral(" (%1)").arg(ToQString(Utf8FromPath(review.path.filename())));

    // What speaks against this image comes first, where it is read.
    QStringList warnings;
    if (review.otherFamily || review.altered) warnings << ToQString(review.fitWords);
    if (!review.suspect.empty()) {
        warnings << QStringLiteral(
                        "This image does not look sound:\n%1\nFlashing a damaged image can leave "
                        "the ESC without working firmware.")
                        .arg(ToQString(review.suspect));
    }
    QStringList notes;
    if (!review.otherFamily && !review.altered && !review.fitWords.empty()) {
        notes << ToQString(review.fitWords);
    }
    if (!review.sizeWords.empty()) notes << ToQString(review.sizeWords);
    if (esc && fixMode_) {
        notes << QStringLiteral(
            "In Fix Mode the ESC's settings cannot be read, so no backup of them is made.");
    }
    QString text;
    if (!warnings.isEmpty()) {
        text += QStringLiteral("Warning: ") + warnings.join(QStringLiteral("\n\n")) +
                QStringLiteral("\n\n");
    }
    text += QStringLiteral("Update the %1's firmware%2?\n\nConnected: %3\nNew firmware: %4")
                .arg(deviceWord, warnings.isEmpty() ? QString() : QStringLiteral(" anyway"), device,
                     title);
    if (!notes.isEmpty()) text += QStringLiteral("\n\n") + notes.join(QStringLiteral("\n\n"));
    text += QStringLiteral(
                "\n\nKeep the %1 and the USB link connected and powered until the "
                "update has finished.")
                .arg(deviceWord);
    return text;
}

void FirmwarePage::showEvent(QShowEvent* event) {
    ReadFirmwareFiles();
    QWidget::showEvent(event);
}

void FirmwarePage::SetHandCursor(bool hand) {
    if (hand == handCursor_) return;
    handCursor_ = hand;
    if (hand) {
        setCursor(Qt::PointingHandCursor);
    } else {
        unsetCursor();
    }
}

void FirmwarePage::mouseMoveEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    bool hand = false;
    for (const ImageKind kind : {ImageKind::Esc, ImageKind::Card}) {
        hand = hand || (StartTakesClicks(kind) && StrictlyInside(StartRect(kind), at));
    }
    SetHandCursor(hand);
    QWidget::mouseMoveEvent(event);
}

void FirmwarePage::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        const QPoint at = event->position().toPoint();
        for (const ImageKind kind : {ImageKind::Esc, ImageKind::Card}) {
            if (StartTakesClicks(kind) && StrictlyInside(StartRect(kind), at)) ClickStart(kind);
        }
    }
    QWidget::mousePressEvent(event);
}

bool FirmwarePage::event(QEvent* event) {
    // The start pictures take no mouse input themselves, so the page tells why one takes no
    // click.
    if (event->type() == QEvent::ToolTip) {
        const auto* help = static_cast<QHelpEvent*>(event);
        for (const ImageKind kind : {ImageKind::Esc, ImageKind::Card}) {
            const QString& why = notReadyWhy_[static_cast<std::size_t>(kind)];
            const QRect r = StartRect(kind);
            if (startEnabled_ && !why.isEmpty() && StrictlyInside(r, help->pos())) {
                QToolTip::showText(help->globalPos(), why, this, r);
                return true;
            }
        }
    }
    return QWidget::event(event);
}

void FirmwarePage::leaveEvent(QEvent* event) {
    SetHandCursor(false);
    QWidget::leaveEvent(event);
}

}  // namespace vorna::gui
