// The ESC setup page: the 28 parameter lists, the firmware line, the send and default pictures,
// the pre-set profile chooser and the setup-comment panel, drawn over EscSetupModel. The page
// keeps no settings of its own: it shows the model's lists and hands every user choice to it.
#pragma once

#include <QRect>
#include <QWidget>

#include <array>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "gui/dialogs/CompareDialog.h"
#include "gui/skin/SkinPlacement.h"
#include "settings/EscSetupModel.h"

class QLabel;
class QPlainTextEdit;

namespace vorna::gui {

class PictureButton;
class SkinComboBox;

class EscSetupPage : public QWidget {
    Q_OBJECT

public:
    // Shown in every list while the page holds no values of the ESC: before its first read,
    // after a failed read, or once the ESC is gone or another Device mode is chosen.
    static constexpr char kNotReadText[] = "not read";
    // Shown in a list the identified ESC's model has no setting for.
    static constexpr char kNotUsedText[] = "not used by this ESC";
    static constexpr char kNotUsedShortText[] = "not used";  // where the whole does not fit
    // Shown in a list the current Drive Mode choice turns off.
    static constexpr char kOffWithDriveModeText[] = "off in this Drive Mode";
    // The tooltip of a list whose change is not on the ESC yet, and of the mark beside it.
    static constexpr char kUnsentTip[] = "Changed here, not sent to the ESC yet";
    static constexpr char kDiscardQuestion[] =
        "You have changed settings that were not sent to the ESC. Discard them?";

    static constexpr int kPageWidth = 985;
    static constexpr int kPageHeight = 630;
    static constexpr int kDefaultTextSize = 100;

    // `programFolder` holds Profile/; `textSize` is the lists' font size in tenths of a point.
    EscSetupPage(EscSetupModel& model, const std::filesystem::path& programFolder, int textSize,
                 QWidget* parent = nullptr);
    ~EscSetupPage() override;

    // The user's own setup sheets (Profile/<category>/*.ini below it), listed after the
    // shipped ones of each category. Empty: none.
    void SetOwnProfileFolder(const std::filesystem::path& folder) { ownProfileFolder_ = folder; }

    // One of the 30 lists; nullptr for a value outside ParamId.
    SkinComboBox* List(ParamId id) const;
    // A list's object name: its setting's key in settings files ("Drag Brake"), "Category"
    // or "Setup Sheet"; the mark beside it, shown while it holds a change not yet on the ESC,
    // is "<that name> unsent". The page's other widgets are named too: "firmwareText",
    // "modelName", "info1" to "info13" (a sheet's information fields), "memo" (its comment),
    // "sheetNote" (the lists the last sheet left at the ESC's values), "helpLine" (what the
    // focused list's setting does), "middleCaptions", "infoCaptions", "sendPicture",
    // "defaultPicture", and "sendButton" and "defaultButton" (the keyboard's way to those).
    static QString ListName(ParamId id);

    int TextSize() const { return textSize_; }

    // Draws the page at `scale`: places, pictures, fonts and click areas.
    void SetScale(const SkinScale& scale);
    const SkinScale& Scale() const { return placement_.Scale(); }

    // Brings the widgets in line with the model; `changes` is a set of SetupModelNews bits.
    void ShowChanges(unsigned changes);

    // SEND and DEFAULT take clicks only while an ESC whose settings were read is connected;
    // otherwise they are dimmed and `why` is their tooltip. Ready until told otherwise.
    void SetSendReady(bool ready, const QString& why = QString());
    // While a transfer runs (a send and its read-back, a restore, an update) SEND, DEFAULT and
    // every list, the sheet choosers included, take no input: nothing may be queued behind it
    // or change what it sends. Afterwards each takes what the model allows, as at a fresh start.
    void SetTransferUnderWay(bool underWay);
    // SEND and DEFAULT take clicks now.
    bool SendReady() const { return sendReady_ && !transferUnderWay_; }
    const QString& SendNotReadyWhy() const;

signals:
    // SEND or DEFAULT has asked for a transfer.
    void transferRequested();
    // The ESC's values went away with `count` changes on the page that were never sent, and
    // not on their way in a transfer. (A Device mode change the user agreed to also takes them;
    // the window knows that one by the mode.)
    void unsentChangesDropped(int count);

public:
    // Asks a yes or no question; true for yes. Without one set, a message box asks.
    using Confirm = std::function<bool(QWidget* parent, const QString& question)>;
    void SetConfirm(Confirm confirm);
    // Tells the user something went wrong; without one set, a message box tells.
    using Inform = std::function<void(QWidget* parent, const QString& text)>;
    void SetInform(Inform inform);
    // The compare view a setup sheet goes through once the ESC's settings are read; without one
    // set, the dialog.
    void SetCompare(CompareChooser compare);
    // Before something replaces the page's values: true when nothing unsent would be lost, or
    // the user lets the unsent changes go.
    bool MayDiscardUnsentChanges();

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void BuildPictures();
    void BuildTexts();
    void BuildLists();
    void BuildKeyboardButtons();
    void BuildMemo();
    void BuildUnsentMarks();
    void BuildSheetNote();
    void BuildHelpLine();
    void ShowHelpLine(ParamId id);
    QString HelpText(ParamId id) const;
    void LayoutLists();
    void LayoutCommentPanel();
    void ShowSendPictures();

    void FillEntries(ParamId id, const OptionList& option);
    void ShowMiddleCaptions(int modelType);
    // Returns how many lists hold a change not on the ESC yet.
    int ShowUnsentMarks();
    void ShowListsEnabled();
    void NoteDroppedChanges(bool recordValid, int unsent);
    // The page's unsent changes are on their way, or the user has agreed to replace them: their
    // going is not reported as a loss.
    void LetUnsentChangesGo();
    void ShowListTip(ParamId id);
    bool ShowElidedCaption(QPoint at, QPoint globalAt);
    static QString NotUsedText(const SkinComboBox* list);
    // The note under the sheet chooser names `lists`, in words that fit its room; none: hidden.
    void ShowLeftAtEscValues(std::vector<ParamId> lists);
    // The sheet's name, fields and comment go, and the chooser shows none.
    void ClearSheetInfo();

    void OnListActivated(ParamId id, int index);
    void OnCategoryChosen(int index);
    void OnSheetChosen();
    // False when the user cancelled the compare view (a refused sheet has been said).
    bool LoadChosenSheet();
    void ShowSheetChoices(std::vector<SheetChoice> choices, int current);
    void ShowSheetTexts(const LoadedSheet& loaded);
    // DEFAULT SETTING: asks first, keeps the ESC's settings in a backup file, then requests.
    void RestoreDefaults();
    void RequestWrite();
    void ShowSendReady();

    EscSetupModel& model_;
    SkinPlacement placement_;
    std::filesystem::path programFolder_;
    std::filesystem::path ownProfileFolder_;
    int textSize_ = kDefaultTextSize;

    std::map<ParamId, SkinComboBox*> lists_;
    QLabel* firmwareText_ = nullptr;
    QLabel* modelName_ = nullptr;     // hidden
    std::array<QLabel*, 13> info_{};  // a setup sheet's information fields
    QLabel* middleCaptions_ = nullptr;
    QLabel* infoCaptions_ = nullptr;
    QLabel* sendPicture_ = nullptr;
    QLabel* defaultPicture_ = nullptr;
    QPlainTextEdit* memo_ = nullptr;
    std::map<ParamId, QLabel*> unsentMarks_;
    QLabel* sheetNote_ = nullptr;
    std::vector<ParamId> sheetNoteLists_;  // what the note names, worded again at a new scale
    QLabel* helpLine_ = nullptr;
    Confirm confirm_;
    CompareChooser compare_;
    Inform inform_;

    // The sheet list's entries with the files they stand for, index for index.
    std::vector<SheetChoice> sheets_;
    // What the two choosers showed before the user's last accepted pick, shown again when the
    // user keeps unsent changes rather than load a sheet over them; -1: nothing.
    int shownCategory_ = -1;
    int shownSheet_ = -1;
    int middleCaptionBitmap_ = 0;
    // A press is inside a picture when left < x < left + width and top < y < top + height: a
    // point on the outline is outside. In the page's pixels, at its scale.
    QRect sendRect_;
    QRect defaultRect_;
    PictureButton* sendButton_ = nullptr;
    PictureButton* defaultButton_ = nullptr;
    bool handCursor_ = false;
    bool sendReady_ = true;
    bool transferUnderWay_ = false;
    bool restoreAsked_ = false;  // the transfer under way restores the factory settings
    // The unsent changes the page showed while the ESC's values were on it, and whether they
    // were: what the ESC going away takes with it.
    int unsentAtRisk_ = 0;
    bool recordShown_ = false;
    // An ESC was shown since the page opened: its lists, now empty, say they were not read.
    bool escShown_ = false;
    QString sendNotReadyWhy_;
};

}  // namespace vorna::gui
