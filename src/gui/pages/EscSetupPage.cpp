#include "gui/pages/EscSetupPage.h"
#include "gui/QtText.h"

#include <QFontInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QMetaObject>
#include <QMouseEvent>
#include <QPainter>
#include <QPalette>
#include <QPlainTextEdit>
#include <QSignalBlocker>
#include <QStringDecoder>
#include <QTextDocument>
#include <QToolTip>
#include <QtMath>

#include <algorithm>
#include <cstddef>
#include <ctime>
#include <iterator>
#include <utility>
#include <vector>

#include "base/Utf8Path.h"
#include "gui/AppConfig.h"
#include "gui/MessageBoxes.h"
#include "gui/ModelNews.h"
#include "gui/SettingsFileMenu.h"
#include "gui/pages/PageLook.h"
#include "gui/skin/SetupColumns.h"
#include "gui/skin/Skin.h"
#include "gui/skin/SkinPlacement.h"
#include "gui/widgets/PictureButton.h"
#include "gui/widgets/SkinComboBox.h"
#include "gui/widgets/WidgetLook.h"
#include "settings/Catalogue.h"
#include "settings/Compare.h"
#include "settings/ParameterHelp.h"
#include "settings/Profiles.h"

namespace vorna::gui {
namespace {

const QString kListFace = QStringLiteral("Microsoft Sans Serif");
// The page's own texts keep the dialog font; only the lists follow the text size.
const QString kDialogFace = QStringLiteral("MS Shell Dlg");
constexpr int kDialogPointSize = 8;

struct PicturePlace {
    const char* name;  // only the pictures the page changes have one
    int bitmap;
    QRect place;
};

constexpr QRect kDefaultPlace(350, 550, 110, 60);
// The sheet chooser sits high enough in the pre-set frame to leave a line under it for the note
// of what the sheet left at the ESC's values, even where the lists' faces keep their text size
// on a small screen.
constexpr QRect kSheetCaptionPlace(370, 475, 70, 14);
constexpr QPoint kSheetListTopLeft(370, 490);
constexpr QRect kSendPlace(540, 550, 110, 60);

// Frames first: everything else is drawn over them.
const PicturePlace kPictures[] = {
    {nullptr, kBmpLeftFrame, {0, 0, 330, 625}},
    {nullptr, kBmpMiddleFrame, {330, 10, 330, 350}},
    {nullptr, kBmpPresetFrame, {335, 365, 320, 180}},
    {"rightFrame", kBmpRightFrame, {660, 0, 315, 625}},
    {nullptr, kBmpFirmwareVersionCaption, {30, 12, 123, 24}},
    {nullptr, kBmpBasicSetup, {120, 37, 120, 18}},
    {nullptr, kBmpSeparator, {35, 34, 280, 5}},
    {nullptr, kBmpSeparator, {35, 54, 280, 5}},
    {nullptr, kBmpLeftCaptions, {12, 64, 130, 550}},
    {"middleCaptions", kBmpMiddleCaptions, {325, 20, 130, 335}},
    {nullptr, kBmpPresetHeading, {400, 380, 200, 30}},
    {nullptr, kBmpSeparator, {360, 410, 280, 5}},
    {nullptr, kBmpCategoryCaption, {370, 425, 70, 13}},
    {nullptr, kBmpSheetCaption, kSheetCaptionPlace},
    {"defaultPicture", kBmpDefaultSetting, kDefaultPlace},
    {"sendPicture", kBmpSendSetting, kSendPlace},
    {nullptr, kBmpCommentHeading, {730, 10, 180, 30}},
    {nullptr, kBmpSeparator, {680, 40, 280, 5}},
    {nullptr, kBmpSeparator, {680, 460, 280, 5}},
    {"infoCaptions", kBmpInfoCaptions, {680, 50, 80, 380}},
};

struct ListPlace {
    ParamId id;
    QPoint topLeft;
    int width;
};

// The settings where the parameter table puts them, then the pre-set profiles; in reading order,
// which is the keyboard's order too (the lists are made in this order).
const std::vector<ListPlace> kListPlaces = [] {
    std::vector<ListPlace> places;
    for (const ParamId id : kPageOrder) {
        const ParameterRow& row = *FindParameterRow(id);
        places.push_back({row.id, skin::SetupListTopLeft(row), skin::kSetupListWidth});
    }
    places.push_back({ParamId::Category, {370, 440}, 250});
    places.push_back({ParamId::SetupSheet, kSheetListTopLeft, 250});
    return places;
}();

constexpr QRect kFirmwareTextPlace(160, 19, 180, 20);
constexpr QRect kModelNamePlace(140, 52, 100, 30);
// A setup sheet's information fields, top to bottom beside their captions.
constexpr QRect kInfoPlaces[] = {
    {770, 50, 170, 40},  {770, 80, 170, 40},  {770, 112, 170, 40}, {770, 142, 170, 40},
    {770, 172, 170, 40}, {770, 202, 170, 40}, {770, 235, 170, 40}, {770, 265, 190, 40},
    {770, 293, 170, 40}, {770, 323, 170, 40}, {770, 353, 170, 40}, {770, 383, 170, 40},
    {770, 415, 170, 40},
};

// The comment panel under its separator, inside its frame's outline: the sheet's comment on top,
// the help line at the bottom. A help taller than the help line's own room (a small screen keeps
// the text's size while the page shrinks) takes what it needs from the comment, which scrolls,
// while it is shown: a help cut off would hide words.
constexpr QRect kCommentRoom(680, 470, 280, 142);
constexpr int kMemoHeight = 80;  // while the help needs no more room
constexpr int kHelpLineGap = 6;  // between the comment and the help line
constexpr int kHelpLinePointSize = kDialogPointSize + 1;
// Lines of the comment that stay in view whatever the help line needs; below that the help line's
// face gets smaller first, never under the smallest readable size.
constexpr int kMemoLeastLines = 2;

// The unsent-change mark is a white bar as tall as the list, in the gap between the list and its
// caption (the captions end at least 5 pixels before their lists), with a white outline on the
// list's face: white stands out beside the grey face and the black page at arm's length, and is
// no colour the skin uses for anything else.
constexpr int kMarkWidth = 4;
constexpr int kMarkGap = 1;  // between the mark and its list
const QColor kMarkColor(255, 255, 255);

// The sheet note runs under the sheet chooser, inside the pre-set frame above its bottom edge.
constexpr int kSheetNoteLeft = 352;
constexpr int kSheetNoteRight = 640;
constexpr int kSheetNoteBottom = 536;
constexpr int kSheetNotePointSize = 7;
const QColor kSheetNoteColor(165, 165, 165);

QPixmap MarkPixmap(QSize size, qreal ratio) {
    QPixmap pixmap(size * ratio);
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(kMarkColor);
    return pixmap;
}

bool DefaultConfirm(QWidget* parent, const QString& question) {
    return ExecPlainBox(parent, QMessageBox::Question, question, QMessageBox::Yes | QMessageBox::No,
                        QMessageBox::No) == QMessageBox::Yes;
}

// The face holds the 20-pixel arrow drawn 2 pixels down; a larger text size makes it taller.
constexpr int kMinFaceHeight = 22;
// The face's text stops this far from its right edge, short of the arrow.
constexpr int kListTextRightInset = 18;

// The help line's text for a setting: its caption, as the model type shows it, and its help.
QString HelpLineText(ParamId id, bool alternateCaption) {
    const ParameterRow* row = FindParameterRow(id);
    if (row == nullptr) return {};
    const std::string_view caption =
        alternateCaption && !row->alternate.empty() ? row->alternate : row->caption;
    return ToQString(caption) + QStringLiteral(": ") +
           ToQString(ParameterHelp(id, alternateCaption));
}

// A category as the list shows it. The folder of the zero-timing class is named without its
// closing parenthesis, and stays so for the sheets already installed in it; the list closes it.
QString CategoryCaption(std::string_view folder) {
    QString caption = ToQString(folder);
    if (caption.count(QLatin1Char('(')) > caption.count(QLatin1Char(')'))) {
        caption += QLatin1Char(')');
    }
    return caption;
}

}  // namespace

EscSetupPage::EscSetupPage(EscSetupModel& model, const std::filesystem::path& programFolder,
                           int textSize, QWidget* parent)
    : QWidget(parent), model_(model), programFolder_(programFolder), textSize_(textSize) {
    resize(kPageWidth, kPageHeight);
    setAutoFillBackground(true);
    setPalette(LightOnBlack(palette()));
    // The hand cursor follows the pointer over the send and default pictures.
    setMouseTracking(true);

    BuildPictures();
    BuildTexts();
    BuildLists();
    BuildKeyboardButtons();
    BuildMemo();
    BuildUnsentMarks();
    BuildSheetNote();
    BuildHelpLine();
    LayoutLists();
    LayoutCommentPanel();

    ShowChanges(SetupModelNews::kAll);
}

void EscSetupPage::SetScale(const SkinScale& scale) {
    if (scale == placement_.Scale()) return;
    resize(scale.Size(QSize(kPageWidth, kPageHeight)));
    placement_.Apply(scale);
    LayoutLists();
    LayoutCommentPanel();
    ShowSendPictures();
    sendRect_ = placement_.Rect(kSendPlace);
    defaultRect_ = placement_.Rect(kDefaultPlace);
}

EscSetupPage::~EscSetupPage() = default;

void EscSetupPage::BuildPictures() {
    for (const PicturePlace& p : kPictures) {
        auto* label = new QLabel(this);
        // The right frame gets less room than its bitmap; drawn for its box, its outline stays
        // whole.
        const QLatin1String name(p.name ? p.name : "");
        placement_.AddPicture(label, p.place, p.bitmap, name == QLatin1String("rightFrame"));
        // Pictures take no mouse input: presses and moves over them are the page's.
        label->setAttribute(Qt::WA_TransparentForMouseEvents);
        label->setObjectName(name);
        if (name == QLatin1String("middleCaptions")) middleCaptions_ = label;
        if (name == QLatin1String("defaultPicture")) defaultPicture_ = label;
        if (name == QLatin1String("sendPicture")) sendPicture_ = label;
        if (name == QLatin1String("infoCaptions")) infoCaptions_ = label;
    }
    sendRect_ = placement_.Rect(kSendPlace);
    defaultRect_ = placement_.Rect(kDefaultPlace);
    middleCaptionBitmap_ = kBmpMiddleCaptions;
    infoCaptions_->hide();
}

void EscSetupPage::BuildTexts() {
    const QFont font(kDialogFace, kDialogPointSize);
    auto text = [&](QRect place, const QString& name) {
        auto* label = new QLabel(this);
        label->setObjectName(name);
        placement_.Add(label, place, font);
        label->setPalette(LightOnBlack(label->palette()));
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        label->setWordWrap(true);
        // Texts from sheets and devices are shown as they are, never read as markup.
        label->setTextFormat(Qt::PlainText);
        label->setAttribute(Qt::WA_TransparentForMouseEvents);
        return label;
    };
    firmwareText_ = text(kFirmwareTextPlace, QStringLiteral("firmwareText"));
    modelName_ = text(kModelNamePlace, QStringLiteral("modelName"));
    modelName_->hide();
    for (std::size_t i = 0; i < info_.size(); ++i) {
        info_[i] = text(kInfoPlaces[i], QStringLiteral("info%1").arg(i + 1));
    }
}

void EscSetupPage::BuildLists() {
    for (const ListPlace& p : kListPlaces) {
        auto* list = new SkinComboBox(this);
        list->SetFontFace(kListFace);
        list->SetFontSize(textSize_);
        list->setObjectName(ListName(p.id));
        lists_[p.id] = list;
    }
    for (const ParamId id : kParameters) {
        connect(lists_.at(id), &QComboBox::activated, this,
                [this, id](int index) { OnListActivated(id, index); });
    }

    SkinComboBox* category = lists_.at(ParamId::Category);
    {
        const QSignalBlocker quiet(category);
        for (const std::string_view name : kCategories) category->addItem(CategoryCaption(name));
        // Nothing is chosen until the user picks a category.
        category->setCurrentIndex(-1);
    }
    category->setToolTip(QStringLiteral(
        "The class of racing the setup sheets below are made for: choosing one loads its "
        "first sheet."));
    lists_.at(ParamId::SetupSheet)
        ->setToolTip(QStringLiteral(
            "A setup sheet of the chosen class: its settings come onto the page, over an ESC's "
            "values through the compare view first. Nothing is sent until SEND."));
    connect(category, &QComboBox::activated, this, &EscSetupPage::OnCategoryChosen);
    connect(lists_.at(ParamId::SetupSheet), &QComboBox::activated, this,
            [this](int) { OnSheetChosen(); });
}

// The lists' faces are as tall as their text needs, so the lists, the marks beside them and the
// note under the sheet chooser are placed by the text's size at the scale as well.
void EscSetupPage::LayoutLists() {
    const SkinScale& scale = placement_.Scale();
    for (const ListPlace& p : kListPlaces) {
        SkinComboBox* list = lists_.at(p.id);
        list->SetScale(scale);
        const int faceHeight = std::max(scale.Px(kMinFaceHeight),
                                        QFontMetrics(list->SkinFont()).height() + scale.Px(6));
        list->setGeometry(QRect(scale.Point(p.topLeft), QSize(scale.Px(p.width), faceHeight)));
    }
    for (const auto& [id, list] : lists_) {
        if (list->property("notUsed").toBool()) list->setPlaceholderText(NotUsedText(list));
    }
    for (const auto& [id, mark] : unsentMarks_) {
        const QRect face = lists_.at(id)->geometry();
        const int width = std::max(3, scale.Px(kMarkWidth));
        mark->setGeometry(face.left() - std::max(1, scale.Px(kMarkGap)) - width, face.top(), width,
                          face.height());
        mark->setPixmap(MarkPixmap(mark->size(), scale.DevicePixelRatio()));
    }
    const int top = lists_.at(ParamId::SetupSheet)->geometry().bottom() + scale.Px(2);
    const int left = scale.Px(kSheetNoteLeft);
    sheetNote_->setGeometry(left, top, scale.Px(kSheetNoteRight) - left,
                            std::max(1, scale.Px(kSheetNoteBottom) - top));
    sheetNote_->setFont(SkinPlacement::Scaled(QFont(kDialogFace, kSheetNotePointSize), scale));
    // Its words are chosen for its room.
    ShowLeftAtEscValues(sheetNoteLists_);
}

void EscSetupPage::LayoutCommentPanel() {
    const SkinScale& scale = placement_.Scale();
    const QRect room = scale.Rect(kCommentRoom);
    const int gap = scale.Px(kHelpLineGap);
    memo_->setFont(SkinPlacement::Scaled(QFont(kDialogFace, kDialogPointSize), scale));
    const int memoLeast = kMemoLeastLines * QFontMetrics(memo_->font()).lineSpacing() +
                          2 * qCeil(memo_->document()->documentMargin()) + 2 * memo_->frameWidth();

    // Measured as a word-wrapped label measures its text.
    const QString text = helpLine_->text();
    const auto height = [&](const QFont& font) {
        if (text.isEmpty()) return 0;
        return QFontMetrics(font)
            .boundingRect(0, 0, room.width(), 2000, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap,
                          text)
            .height();
    };
    QFont font = SkinPlacement::Scaled(QFont(kDialogFace, kHelpLinePointSize), scale);
    int needed = height(font);
    const int smallest = qCeil(kSmallestTextPx / scale.DevicePixelRatio());
    for (int px = QFontInfo(font).pixelSize();
         needed > room.height() - gap - memoLeast && px > smallest;) {
        font.setPixelSize(--px);
        needed = height(font);
    }
    helpLine_->setFont(font);
    // A help still too tall takes the comment's least lines too.
    const int helpHeight =
        std::clamp(needed, room.height() - gap - scale.Px(kMemoHeight), room.height());
    helpLine_->setGeometry(room.left(), room.bottom() + 1 - helpHeight, room.width(), helpHeight);
    memo_->setGeometry(room.left(), room.top(), room.width(),
                       std::max(0, room.height() - helpHeight - gap));
}

// Where the face is too narrow for the whole phrase (a small screen), the short form.
QString EscSetupPage::NotUsedText(const SkinComboBox* list) {
    QFont font = list->SkinFont();
    font.setItalic(true);
    const QString whole = QStringLiteral(" ") + QString::fromLatin1(kNotUsedText);
    const int room = list->width() - list->Scale().Px(kListTextRightInset);
    return QFontMetrics(font).horizontalAdvance(whole) <= room
               ? QString::fromLatin1(kNotUsedText)
               : QString::fromLatin1(kNotUsedShortText);
}

void EscSetupPage::BuildUnsentMarks() {
    for (const ParamId id : kParameters) {
        auto* mark = new QLabel(this);
        mark->setObjectName(ListName(id) + QStringLiteral(" unsent"));
        mark->setAlignment(Qt::AlignCenter);
        mark->setToolTip(QString::fromLatin1(kUnsentTip));
        mark->hide();
        unsentMarks_[id] = mark;
    }
}

void EscSetupPage::BuildHelpLine() {
    helpLine_ = new QLabel(this);
    helpLine_->setObjectName(QStringLiteral("helpLine"));
    helpLine_->setPalette(LightOnBlack(helpLine_->palette()));
    helpLine_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    helpLine_->setTextFormat(Qt::PlainText);
    helpLine_->setWordWrap(true);
    helpLine_->setAttribute(Qt::WA_TransparentForMouseEvents);
    for (const ParamId id : kParameters) lists_.at(id)->installEventFilter(this);
}

void EscSetupPage::ShowHelpLine(ParamId id) {
    helpLine_->setText(HelpLineText(id, UsesAlternateMiddleCaptions(model_.ModelType())));
    LayoutCommentPanel();
}

bool EscSetupPage::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut) {
        for (const ParamId id : kParameters) {
            if (lists_.at(id) != watched) continue;
            if (event->type() == QEvent::FocusIn) {
                ShowHelpLine(id);
            } else {
                helpLine_->clear();
                LayoutCommentPanel();
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}

void EscSetupPage::SetCompare(CompareChooser compare) {
    compare_ = std::move(compare);
}

void EscSetupPage::BuildSheetNote() {
    sheetNote_ = new QLabel(this);
    sheetNote_->setObjectName(QStringLiteral("sheetNote"));
    QPalette palette = LightOnBlack(sheetNote_->palette());
    palette.setColor(QPalette::All, QPalette::WindowText, kSheetNoteColor);
    sheetNote_->setPalette(palette);
    sheetNote_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    sheetNote_->setTextFormat(Qt::PlainText);
    sheetNote_->hide();
}

void EscSetupPage::BuildMemo() {
    memo_ = new QPlainTextEdit(this);
    memo_->setObjectName(QStringLiteral("memo"));
    memo_->setReadOnly(true);
    memo_->setTabChangesFocus(true);
    memo_->setFrameShape(QFrame::NoFrame);
    memo_->setPalette(LightOnBlack(memo_->palette()));
    memo_->viewport()->setPalette(LightOnBlack(memo_->viewport()->palette()));
    memo_->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    memo_->hide();
}

SkinComboBox* EscSetupPage::List(ParamId id) const {
    const auto it = lists_.find(id);
    return it == lists_.end() ? nullptr : it->second;
}

QString EscSetupPage::ListName(ParamId id) {
    if (id == ParamId::Category) return QStringLiteral("Category");
    if (id == ParamId::SetupSheet) return QStringLiteral("Setup Sheet");
    const ParameterRow* row = FindParameterRow(id);
    return row ? ToQString(row->fileKey) : QString();
}

void EscSetupPage::SetConfirm(Confirm confirm) {
    confirm_ = std::move(confirm);
}

void EscSetupPage::SetInform(Inform inform) {
    inform_ = std::move(inform);
}

void EscSetupPage::RestoreDefaults() {
    // Without the ESC's settings on the page there is nothing to keep; the link explains why
    // nothing can be restored yet.
    if (!model_.HasValidRecord()) {
        model_.RequestDefaults();
        emit transferRequested();
        return;
    }
    const std::filesystem::path folder = BackupFolder();
    const QString question =
        QStringLiteral(
            "Restore the factory settings of this ESC?\n\nIts current settings will "
            "be replaced. They are saved first in %1.")
            .arg(ToQString(Utf8FromPath(folder)));
    if (!(confirm_ ? confirm_(window(), question) : DefaultConfirm(window(), question))) return;
    // A transfer that began while the question was open goes first and alone.
    if (!SendReady()) return;
    // The user has agreed to replace the page's values with the factory ones.
    LetUnsentChangesGo();
    restoreAsked_ = true;
    // The link saves the ESC's settings before it restores anything, and says where.
    model_.RequestDefaults();
    emit transferRequested();
}

void EscSetupPage::RequestWrite() {
    // On their way to the ESC: the send's outcome says what became of them.
    LetUnsentChangesGo();
    model_.RequestWrite();
    emit transferRequested();
}

bool EscSetupPage::MayDiscardUnsentChanges() {
    if (!model_.HasUnsentChanges()) return true;
    const QString question = QString::fromLatin1(kDiscardQuestion);
    return confirm_ ? confirm_(window(), question) : DefaultConfirm(window(), question);
}

void EscSetupPage::ShowChanges(unsigned changes) {
    if (changes == 0) return;
    const SetupState state = model_.Snapshot();
    const bool lists = (changes & SetupModelNews::kLists) != 0;
    if (lists) {
        escShown_ = escShown_ || state.modelType != 0;
        for (const ParamId id : kParameters) FillEntries(id, state.List(id));
        ShowMiddleCaptions(state.modelType);
        // An ESC identified or gone: a sheet loaded before no longer describes the lists.
        ClearSheetInfo();
    }
    if (lists || (changes & SetupModelNews::kSelections) != 0) {
        // What the identified model has at all, before a Drive Mode choice turns lists off.
        SetupState model = state;
        FillOptionLists(model);
        for (const ParamId id : kParameters) {
            SkinComboBox* list = lists_.at(id);
            const OptionList& option = state.List(id);
            // A list the identified model has no such setting for offers nothing: it says so,
            // rather than look like an empty list that might open.
            const OptionList& ofModel = model.List(id);
            const bool notUsed =
                state.modelType != 0 && (!ofModel.enabled || ofModel.entries.empty());
            if (lists) {
                // A setting the ESC does not take from the PC shows its value, dimmed.
                list->setProperty("usable", option.enabled && option.writable && !notUsed);
                QString tip;
                if (notUsed) {
                    tip = QStringLiteral("This ESC has no %1 setting.")
                              .arg(ToQString(ListCaption(id, state.modelType)));
                } else if (!option.writable && !option.entries.empty()) {
                    tip = QStringLiteral(
                        "This ESC does not take this setting from the PC: the list shows its "
                        "own value.");
                }
                list->setProperty("tip", tip);
            }
            // Lists of a model whose settings are not (or no longer) the ESC's say so.
            QString placeholder;
            list->setProperty("notUsed", notUsed);
            if (notUsed) {
                placeholder = NotUsedText(list);
            } else if (!state.recordValid && (!option.entries.empty() || escShown_)) {
                placeholder = QString::fromLatin1(kNotReadText);
            } else if (!option.enabled && option.selection < 0) {
                placeholder = QString::fromLatin1(kOffWithDriveModeText);
            }
            list->setPlaceholderText(placeholder);
            const int shown = notUsed ? -1 : option.selection;
            if (list->currentIndex() != shown) {
                const QSignalBlocker quiet(list);
                list->setCurrentIndex(shown);
            }
            // The face is repainted even when the blocked signal would have asked for it.
            list->update();
        }
        const int unsent = ShowUnsentMarks();
        // The note speaks of one ESC's values; they are gone with it.
        if (!state.recordValid) ShowLeftAtEscValues({});
        NoteDroppedChanges(state.recordValid, unsent);
    }
    ShowListsEnabled();
    if ((changes & SetupModelNews::kTexts) != 0) {
        firmwareText_->setText(ToQString(model_.FirmwareText()));
        modelName_->setText(ToQString(model_.ModelNameText()));
    }
}

void EscSetupPage::FillEntries(ParamId id, const OptionList& option) {
    SkinComboBox* list = lists_.at(id);
    // An identification usually brings the same entries again: leave the list alone then, so
    // an open list does not flicker and the rebuild stays cheap.
    bool same = list->count() == static_cast<int>(option.entries.size());
    for (int i = 0; same && i < list->count(); ++i) {
        same = list->itemText(i) == ToQString(option.entries[static_cast<std::size_t>(i)]);
    }
    if (same) return;
    const QSignalBlocker quiet(list);
    list->clear();
    for (const std::string& entry : option.entries) list->addItem(ToQString(entry));
}

void EscSetupPage::ShowMiddleCaptions(int modelType) {
    const int bitmap =
        UsesAlternateMiddleCaptions(modelType) ? kBmpMiddleCaptionsAlt : kBmpMiddleCaptions;
    QLabel* picture = middleCaptions_;
    if (bitmap != middleCaptionBitmap_) {
        middleCaptionBitmap_ = bitmap;
        placement_.SetPicture(picture, bitmap);
    }
    picture->update();
}

// Every list's enabled state comes from here alone, whatever changed it: the model's lists, a
// transfer beginning or ending. A list turned off by one and on by another would be left dead
// whenever the two did not pair up.
void EscSetupPage::ShowListsEnabled() {
    for (const auto& [id, list] : lists_) {
        // The sheet choosers have no model state of their own: they only wait for a transfer.
        const bool usable =
            !list->property("usable").isValid() || list->property("usable").toBool();
        list->setEnabled(usable && !transferUnderWay_);
    }
}

// Changes that were on the page only, lost without the user letting them go: the ESC went away
// with its values. Said once, so that nothing vanishes without a word.
void EscSetupPage::NoteDroppedChanges(bool recordValid, int unsent) {
    if (recordValid) {
        unsentAtRisk_ = unsent;
    } else if (recordShown_) {
        // A transfer's own outcome says what became of the values it was sending.
        if (unsentAtRisk_ > 0 && !transferUnderWay_) emit unsentChangesDropped(unsentAtRisk_);
        unsentAtRisk_ = 0;
    }
    recordShown_ = recordValid;
}

int EscSetupPage::ShowUnsentMarks() {
    const std::vector<ParamId> unsent = model_.UnsentChanges();
    for (const auto& [id, mark] : unsentMarks_) {
        const bool marked = std::find(unsent.begin(), unsent.end(), id) != unsent.end();
        mark->setVisible(marked);
        lists_.at(id)->SetMarked(marked);
        // The bar is too thin to point at; the list says what it means.
        lists_.at(id)->setProperty("unsent", marked);
        ShowListTip(id);
    }
    return static_cast<int>(unsent.size());
}

QString EscSetupPage::HelpText(ParamId id) const {
    const std::string_view help =
        ParameterHelp(id, UsesAlternateMiddleCaptions(model_.ModelType()));
    return ToQString(help);
}

void EscSetupPage::ShowListTip(ParamId id) {
    SkinComboBox* list = lists_.at(id);
    QStringList tips;
    const QString own = list->property("tip").toString();
    if (!own.isEmpty()) tips << own;
    tips << HelpText(id);
    if (list->property("unsent").toBool()) tips << QString::fromLatin1(kUnsentTip);
    list->setToolTip(tips.join(QLatin1Char('\n')));
}

void EscSetupPage::ShowLeftAtEscValues(std::vector<ParamId> lists) {
    sheetNoteLists_ = std::move(lists);
    if (sheetNoteLists_.empty()) {
        sheetNote_->hide();
        return;
    }
    const int modelType = model_.ModelType();
    QStringList names;
    for (const ParamId id : sheetNoteLists_) names << ToQString(ListCaption(id, modelType));
    // One line: as many names as fit, then how many more, else only how many; the tip names
    // them all.
    const QString lead = QStringLiteral("Left at the ESC's values: ");
    const QFontMetrics metrics(sheetNote_->font());
    const int room = sheetNote_->contentsRect().width();
    const auto fits = [&](const QString& text) { return metrics.horizontalAdvance(text) <= room; };
    QString text = lead + names.join(QStringLiteral(", "));
    for (qsizetype shown = names.size() - 1; shown > 0 && !fits(text); --shown) {
        text = lead + names.first(shown).join(QStringLiteral(", ")) +
               QStringLiteral(" and %1 more").arg(names.size() - shown);
    }
    if (!fits(text)) {
        text = lead + (names.size() == 1 ? QStringLiteral("1 setting")
                                         : QStringLiteral("%1 settings").arg(names.size()));
    }
    if (!fits(text)) text = metrics.elidedText(text, Qt::ElideRight, room);
    sheetNote_->setText(text);
    sheetNote_->setToolTip(lead + QStringLiteral("\n") + names.join(QStringLiteral("\n")));
    sheetNote_->show();
}

void EscSetupPage::OnListActivated(ParamId id, int index) {
    model_.SelectByUser(id, index);
}

void EscSetupPage::OnCategoryChosen(int index) {
    std::vector<SheetChoice> found;
    if (index >= 0 && index < static_cast<int>(kCategories.size())) {
        found = ListSheets(programFolder_ / std::string(kProfileFolder), ownProfileFolder_,
                           kCategories[static_cast<std::size_t>(index)]);
    }
    // A category with sheets loads its first one over the page's values.
    if (!found.empty() && !model_.HasValidRecord() && !MayDiscardUnsentChanges()) {
        const QSignalBlocker quiet(lists_.at(ParamId::Category));
        lists_.at(ParamId::Category)->setCurrentIndex(shownCategory_);
        return;
    }
    const int previousCategory = shownCategory_;
    const int previousSheet = shownSheet_;
    std::vector<SheetChoice> previous = std::move(sheets_);
    shownCategory_ = index;
    ShowSheetChoices(std::move(found), 0);
    shownSheet_ = -1;  // until its first sheet is loaded
    if (sheets_.empty() || LoadChosenSheet()) return;
    // The compare view was cancelled: both choosers show what they showed before.
    shownCategory_ = previousCategory;
    {
        const QSignalBlocker quiet(lists_.at(ParamId::Category));
        lists_.at(ParamId::Category)->setCurrentIndex(previousCategory);
    }
    ShowSheetChoices(std::move(previous), previousSheet);
}

void EscSetupPage::ShowSheetChoices(std::vector<SheetChoice> choices, int current) {
    shownSheet_ = choices.empty() ? -1 : current;
    SkinComboBox* sheets = lists_.at(ParamId::SetupSheet);
    {
        const QSignalBlocker quiet(sheets);
        sheets->clear();
        sheets_ = std::move(choices);
        for (const SheetChoice& sheet : sheets_) sheets->addItem(ToQString(sheet.name));
        sheets->setCurrentIndex(shownSheet_);
    }
    sheets->update();
}

void EscSetupPage::OnSheetChosen() {
    // Over the ESC's values the compare view asks what to take instead.
    if (!model_.HasValidRecord() && !MayDiscardUnsentChanges()) {
        const QSignalBlocker quiet(lists_.at(ParamId::SetupSheet));
        lists_.at(ParamId::SetupSheet)->setCurrentIndex(shownSheet_);
        return;
    }
    LoadChosenSheet();
}

bool EscSetupPage::LoadChosenSheet() {
    const int category = lists_.at(ParamId::Category)->currentIndex();
    const int sheet = lists_.at(ParamId::SetupSheet)->currentIndex();
    if (category < 0 || category >= static_cast<int>(kCategories.size())) return true;
    if (sheet < 0 || sheet >= static_cast<int>(sheets_.size())) return true;

    // The path is the one the folder listing gave, so it is the file's own even when its name
    // is not valid UTF-8 or its extension is not in lower case.
    const std::filesystem::path& path = sheets_[static_cast<std::size_t>(sheet)].path;
    // Read before the model is touched, so its lock is never held while a file is read.
    const Result<SheetFile> read = ReadSetupSheet(path);
    if (read && model_.HasValidRecord()) {
        const SheetFile& file = *read;
        // The user sees what the sheet would change on the ESC and takes what they check.
        const SettingsSide side = SetupSheetSide(file);
        std::vector<ParamId> loaded;
        const auto present = [this](QWidget* parent, const QString& text, bool) {
            if (inform_) {
                inform_(parent, text);
            } else {
                ShowPlainMessage(parent, QMessageBox::Warning, text);
            }
        };
        if (!CompareAndLoad(window(), model_, side, compare_ ? compare_ : ExecCompareDialog,
                            present, &loaded)) {
            SkinComboBox* sheets = lists_.at(ParamId::SetupSheet);
            const QSignalBlocker quiet(sheets);
            sheets->setCurrentIndex(shownSheet_);
            return false;
        }
        shownSheet_ = sheet;
        // The lists in use the sheet does not set, still at the ESC's values.
        const SetupState page = model_.Snapshot();
        const SetupState esc = model_.EscValues();
        std::vector<ParamId> left;
        for (std::size_t i = 0; i < kParameters.size(); ++i) {
            const ParamId id = kParameters[i];
            const OptionList& list = page.List(id);
            if (list.entries.empty() || !list.enabled) continue;
            const bool set = side.values[i] && MatchEntry(list, side.values[i]->text).index >= 0;
            if (!set && list.selection == esc.List(id).selection) left.push_back(id);
        }
        ShowLeftAtEscValues(left);
        ShowSheetTexts(SheetTexts(file));
        return true;
    }
    std::vector<ParamId> leftAtEscValues;
    const Result<LoadedSheet> loaded =
        read ? model_.LoadSheet(*read, &leftAtEscValues) : Result<LoadedSheet>(read.Error());
    if (!loaded) {
        // Nothing changed: the chooser goes back to the sheet the lists show, if any.
        {
            SkinComboBox* sheets = lists_.at(ParamId::SetupSheet);
            const QSignalBlocker quiet(sheets);
            sheets->setCurrentIndex(shownSheet_);
        }
        const QString text =
            QStringLiteral("The setup sheet was not loaded.\n\n%1").arg(ToQString(loaded.Detail()));
        if (inform_) {
            inform_(window(), text);
        } else {
            ShowPlainMessage(window(), QMessageBox::Warning, text);
        }
        return true;
    }
    shownSheet_ = sheet;
    ShowLeftAtEscValues(leftAtEscValues);
    ShowSheetTexts(*loaded);
    return true;
}

void EscSetupPage::ShowSheetTexts(const LoadedSheet& loaded) {
    for (std::size_t i = 0; i < info_.size(); ++i) info_[i]->setText(ToQString(loaded.info[i]));
    memo_->setPlainText(ToQString(loaded.memo));
    memo_->setVisible(loaded.memoVisible);
    infoCaptions_->setVisible(loaded.memoVisible);
}

void EscSetupPage::ClearSheetInfo() {
    shownSheet_ = -1;
    {
        SkinComboBox* sheets = lists_.at(ParamId::SetupSheet);
        const QSignalBlocker quiet(sheets);
        sheets->setCurrentIndex(-1);
    }
    for (QLabel* info : info_) info->clear();
    memo_->clear();
    memo_->hide();
    infoCaptions_->hide();
    ShowLeftAtEscValues({});
}

void EscSetupPage::mouseMoveEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    const bool overPicture =
        SendReady() && (StrictlyInside(sendRect_, at) || StrictlyInside(defaultRect_, at));
    if (overPicture != handCursor_) {
        handCursor_ = overPicture;
        if (overPicture) {
            setCursor(Qt::PointingHandCursor);
        } else {
            unsetCursor();
        }
    }
    QWidget::mouseMoveEvent(event);
}

void EscSetupPage::BuildKeyboardButtons() {
    // Made after the lists, so Tab comes to DEFAULT and SEND once the settings are chosen.
    defaultButton_ = KeyboardButtonOver(this, defaultRect_, "DEFAULT SETTING");
    defaultButton_->setObjectName(QStringLiteral("defaultButton"));
    placement_.Add(defaultButton_, kDefaultPlace);
    connect(defaultButton_, &PictureButton::clicked, this, &EscSetupPage::RestoreDefaults);
    sendButton_ = KeyboardButtonOver(this, sendRect_, "SEND SETTING");
    sendButton_->setObjectName(QStringLiteral("sendButton"));
    placement_.Add(sendButton_, kSendPlace);
    connect(sendButton_, &PictureButton::clicked, this, &EscSetupPage::RequestWrite);
}

void EscSetupPage::SetSendReady(bool ready, const QString& why) {
    sendNotReadyWhy_ = ready ? QString() : why;
    if (ready == sendReady_) return;
    const bool before = SendReady();
    sendReady_ = ready;
    if (SendReady() != before) ShowSendReady();
}

void EscSetupPage::SetTransferUnderWay(bool underWay) {
    if (underWay == transferUnderWay_) return;
    const bool before = SendReady();
    transferUnderWay_ = underWay;
    if (SendReady() != before) ShowSendReady();
    ShowListsEnabled();
    // The ESC's factory values have replaced what a sheet set: it no longer describes the lists.
    if (!underWay && std::exchange(restoreAsked_, false)) ClearSheetInfo();
}

void EscSetupPage::LetUnsentChangesGo() {
    unsentAtRisk_ = 0;
}

const QString& EscSetupPage::SendNotReadyWhy() const {
    static const QString kUnderWay = QStringLiteral(
        "The ESC is busy with a transfer: wait until it has ended and its outcome is shown.");
    return transferUnderWay_ ? kUnderWay : sendNotReadyWhy_;
}

void EscSetupPage::ShowSendReady() {
    const bool ready = SendReady();
    sendButton_->setEnabled(ready);
    defaultButton_->setEnabled(ready);
    ShowSendPictures();
    if (!ready && handCursor_) {
        handCursor_ = false;
        unsetCursor();
    }
}

// Pictures that take no click look it: dimmed into the black page.
void EscSetupPage::ShowSendPictures() {
    for (const auto& [label, bitmap] : {std::pair{sendPicture_, kBmpSendSetting},
                                        std::pair{defaultPicture_, kBmpDefaultSetting}}) {
        const QPixmap picture = SkinBitmap(bitmap, placement_.Scale());
        label->setPixmap(SendReady() ? picture : Dimmed(picture));
    }
}

bool EscSetupPage::event(QEvent* event) {
    // The pictures take no mouse input themselves, so the page tells why they take no click.
    if (event->type() == QEvent::ToolTip) {
        const auto* help = static_cast<QHelpEvent*>(event);
        for (const QRect& r : {sendRect_, defaultRect_}) {
            if (!SendReady() && !SendNotReadyWhy().isEmpty() && StrictlyInside(r, help->pos())) {
                QToolTip::showText(help->globalPos(), SendNotReadyWhy(), this, r);
                return true;
            }
        }
        if (ShowElidedCaption(help->pos(), help->globalPos())) return true;
    }
    return QWidget::event(event);
}

// A list's caption that did not fit at the smallest readable size is drawn elided: its whole
// text shows as the tooltip of its row of the caption picture.
bool EscSetupPage::ShowElidedCaption(QPoint at, QPoint globalAt) {
    const bool alternate = UsesAlternateMiddleCaptions(model_.ModelType());
    for (const ParameterRow& row : kParameterTable) {
        const skin::SetupColumn& column = skin::ColumnOf(row.column);
        const int captionLeft = row.column == PageColumn::Left ? 12 : 325;
        const QRect skinRow(captionLeft, column.listTop + column.pitch * row.row - 4,
                            column.listLeft - captionLeft, column.pitch);
        const QRect place = placement_.Scale().Rect(skinRow);
        if (!place.contains(at)) continue;
        const std::string_view text =
            row.column == PageColumn::Middle && alternate && !row.alternate.empty() ? row.alternate
                                                                                    : row.caption;
        const QString caption = ToQString(text);
        if (!SkinTextElided(caption, placement_.Scale())) return false;
        QToolTip::showText(globalAt, caption, this, place);
        return true;
    }
    return false;
}

void EscSetupPage::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && SendReady()) {
        const QPoint at = event->position().toPoint();
        if (StrictlyInside(sendRect_, at)) RequestWrite();
        if (StrictlyInside(defaultRect_, at)) RestoreDefaults();
    }
    QWidget::mousePressEvent(event);
}

void EscSetupPage::leaveEvent(QEvent* event) {
    if (handCursor_) {
        handCursor_ = false;
        unsetCursor();
    }
    QWidget::leaveEvent(event);
}

}  // namespace vorna::gui
