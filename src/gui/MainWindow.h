// The main window: the left column (page buttons, device hint, lamps), the page container with
// the three pages, the write-progress button, and the File / Device / Help menus. It owns the
// link controller, whose thread runs the poll.
#pragma once

#include <QLabel>
#include <QMainWindow>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>

#include <array>
#include <filesystem>
#include <functional>
#include <memory>

#include "firmware/FirmwarePageModel.h"
#include "gui/LinkController.h"
#include "gui/MessageBoxQueue.h"
#include "gui/SettingsFileMenu.h"
#include "gui/UrlOpener.h"
#include "gui/skin/SkinPlacement.h"
#include "link/BridgeDiscovery.h"
#include "settings/EscSetupModel.h"

class QAction;

namespace vorna::gui {
class ConnectionCheck;
class SettingsFileMenu;
class SkinButton;
class EscSetupPage;
class FirmwarePage;
class FirmwareModelNews;
class LinksPage;
}  // namespace vorna::gui

namespace vorna::gui {

// The skin's size below the menu bar, in its own pixels; the window is that at its scale.
inline constexpr int kSkinWidth = 1250;
inline constexpr int kSkinHeight = 645;

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    enum class Page { Links, Setup, Firmware };
    // How a message is put in front of the user; returns when it was dismissed.
    using MessagePresenter =
        std::function<void(QWidget* parent, const QString& text, bool errorIcon)>;

    struct Options {
        BridgeLocation location;
        std::filesystem::path dataDir;  // config.ini, Profile/, Firmware/
        UrlOpener urlOpener;
        MessagePresenter presenter;  // empty: modal message boxes
        // Asks Retry or Cancel; true for Retry. Empty: a modal message box.
        std::function<bool(QWidget* parent, const QString& text)> askRetry;
        bool startLink = true;
        int logicalDpi = 0;  // 0: the screen's
        // Asks for a settings file to export to, import or compare; empty: cancelled.
        SettingsFileMenu::ChooseFile chooseSettingsFile;
        // The compare view (File > Compare, an import, a sheet, a backup); empty: the dialog.
        CompareChooser compare;
        // File > Backups; empty: the dialog.
        BackupChooser chooseBackup;
        // Asks Yes or No before changes not yet sent to the ESC are discarded; true for Yes.
        // Empty: a modal message box.
        std::function<bool(QWidget* parent, const QString& question)> confirm;
        // The user's own settings file, where the window keeps the Device mode it starts in
        // (AppConfig's RememberMode); empty: it starts without one and keeps nothing.
        std::filesystem::path ownSettings;
    };

    explicit MainWindow(Options options, QWidget* parent = nullptr);
    ~MainWindow() override;

    void SelectLinksPage();
    void SelectEscPage();
    void SelectFirmwarePage();

    LinkController& Link() { return *link_; }
    EscSetupModel& SetupModel() { return setup_; }
    FirmwarePageModel& FirmwareModel() { return firmware_; }
    // The note under the lamps: what stands between the chosen Device mode and its device (no
    // link, a link unplugged, a port that cannot be opened, something answering that is not
    // the device), with what to do; hidden while nothing does.
    QLabel* DeviceNote() const { return deviceNote_; }
    // The system says a serial port has appeared: the poll looks at once rather than on its
    // next tick (the window's native event filter on Windows; udev does it on Linux).
    void PortArrived() { link_->PortArrived(); }
    // How large the skin is drawn: fitted to the screen's room when the window opens, and again
    // once the window manager's frame is known or the window moves to another screen.
    const SkinScale& Scale() const { return scale_; }
    int TextSize() const { return textSize_; }
    DeviceMode Mode() const { return mode_; }
    // The hint blinks for a few seconds while no Device mode is chosen, then stays. A test
    // reads it to know the blinking is over: no single picture of the hint can show that.
    bool HintBlinking() const;

    // Closes for a quit asked for outside the window (Ctrl-C, a polite kill, the session
    // ending), without asking about unsent changes. While a transfer is under way it closes
    // once that has ended and its outcome was shown (and says so once on standard error).
    void CloseWithoutAsking();
    // A close was asked for while a transfer was under way: the window stays until the
    // transfer has ended and its outcome's box was closed, then closes.
    bool CloseAwaited() const { return closeAwaited_; }

    // A firmware update is requested or running: the page buttons take no input.
    bool UpdateBusy() const;
    // Something is on its way to or from the device: a settings write or its read-back, a
    // restore, or a firmware update. Nothing that talks to the device or changes the page's
    // values takes input meanwhile: the Device menu, File import, SEND and DEFAULT, the lists
    // and setup sheets, the start pictures.
    bool TransferBusy() const;
    // A transfer is busy, or has ended and its outcome is still on its way or on the screen.
    bool TransferOpen() const { return TransferBusy() || transferOpen_; }
    // Nothing would be cut off if the session ended now: no transfer open.
    bool MayEndSessionNow() const { return !TransferOpen(); }
    // Asked when the window is closed while settings are on their way to the ESC.
    static constexpr char kWriteUnderWayQuestion[] =
        "The settings are being sent to the ESC right now.\n\nClose the program once they "
        "are written and checked?";
    static constexpr char kRestoreUnderWayQuestion[] =
        "The ESC is restoring its factory settings right now.\n\nClose the program once it "
        "has?";
    // Shown when the window is closed, in any way, during a firmware update.
    static constexpr char kCloseWaitsText[] =
        "A firmware update is running. The program closes once the update has finished and its "
        "result has been shown: closing now could leave the device without working firmware.";

signals:
    // The window has closed for good: the link thread has stopped and nothing is left open.
    // Hidden while the link finished its transaction, the window is no longer a visible one
    // whose closing ends the program by itself, so the program ends on this.
    void closed();

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QLabel* Picture(int bitmapId, QRect place, const char* name = nullptr);
    void SetPicture(QLabel* label, int bitmapId);
    void BuildMenus();
    void BuildLeftColumn();
    void BuildPages();
    void ConnectLink();
    void OnDeviceModeChanged(DeviceMode mode, bool escPageEnabled, bool firmwarePageEnabled,
                             bool selectLinksPage);
    void ChooseMode(void (LinkController::*choose)());
    void ShowModeChecks();
    void OnMessage(quint64 ticket, const QString& text, bool errorIcon);
    // The window's own boxes: while one is open, the link's wait (MessageBoxQueue).
    bool Ask(QWidget* parent, const QString& question);
    // The compare view as the window's own box (the link's boxes wait for it).
    CompareChooser CompareView();
    void Tell(QWidget* parent, const QString& text, bool errorIcon);
    void ShowAbout();
    void CheckConnection();
    void ShowFirmwareNews();
    void ShowControlStates();
    void FitDeviceNote();
    void ShowDeviceNote();
    // The first time an ESC's values are read after the start or a plug-in, its page shows
    // them, unless the firmware page is open.
    void ShowFirstValues();
    void ShowHint();
    void RestProgress();
    void ApplyScale(const SkinScale& scale);
    void FitToScreen();
    void OrderKeyboardRoute();
    std::array<QWidget*, 3> PagesInOrder() const;
    // A close asked for during a transfer: remembered, and said where it is worth a word.
    void AwaitTransferEnd();
    // The box that says why the window stays during a firmware update, opened or raised.
    void ShowCloseWait();
    void CloseIfAwaited();
    void OnUpdateEnded(bool card, bool stopped, bool portClosed);
    // A finished or failed update's status picture speaks of the device attached then; it
    // goes back to Ready once that device has gone. `answered`: the lamps come from a tick on
    // which the port was open already, so a lit device lamp is a device that answered.
    void ForgetStatusOfGoneDevice(bool answered);

public:
    // File menu: "Import Settings" and "Export Settings".
    void ImportSettings();
    void ExportSettings();

private:
    void Blink();
    void KeepTicking();
    void ShowPage(enum Page page);

    Options options_;
    EscSetupModel setup_;
    FirmwarePageModel firmware_;
    std::unique_ptr<LinkController> link_;

    QWidget* central_ = nullptr;  // the skin, at its scale
    SkinPlacement placement_;     // the left column, the page container and the pages
    SkinScale scale_{0.0};
    QWidget* container_ = nullptr;
    LinksPage* linksPage_ = nullptr;
    EscSetupPage* setupPage_ = nullptr;
    FirmwarePage* firmwarePage_ = nullptr;
    std::unique_ptr<FirmwareModelNews> firmwareNews_;
    SkinButton* linksButton_ = nullptr;
    SkinButton* escButton_ = nullptr;
    SkinButton* firmwareButton_ = nullptr;
    SkinButton* progressButton_ = nullptr;
    QLabel* hint_ = nullptr;
    QLabel* lamps_[3] = {};
    bool lampOn_[3] = {};  // USB, ESC, card
    QLabel* makerLogo_ = nullptr;
    QLabel* deviceNote_ = nullptr;  // what stands between the Device mode and its device
    QString oddAnswer_;
    QString portProblem_;      // the port is there but cannot be opened
    bool bridgeSeen_ = false;  // the bridge's port was open since the window opened
    bool looked_ = false;      // the poll has looked for the bridge at least once
    BridgeFinding bridgeFinding_ = BridgeFinding::NoBridge;  // what the last look found
    bool valuesShown_ = false;      // the ESC's values were read and not forgotten since
    int droppedUnsent_ = 0;         // unsent changes the ESC took with it when it went
    bool checking_ = false;         // Help > Check Connection is looking
    bool updateSinceRead_ = false;  // an update ran since the ESC's values were last read
    QAction* importAction_ = nullptr;
    QAction* exportAction_ = nullptr;
    QAction* compareAction_ = nullptr;
    QAction* backupsAction_ = nullptr;
    QAction* exitAction_ = nullptr;
    QAction* escAction_ = nullptr;
    QAction* cardAction_ = nullptr;
    QAction* fixAction_ = nullptr;
    QAction* aboutAction_ = nullptr;
    QAction* checkAction_ = nullptr;
    std::unique_ptr<SettingsFileMenu> settingsFiles_;
    std::unique_ptr<ConnectionCheck> connectionCheck_;
    QTimer blinkTimer_;
    bool blinkPhase_ = true;
    int blinkTicksLeft_ = 0;
    DeviceMode mode_ = DeviceMode::None;
    enum Page page_ = Page::Links;
    int textSize_ = 90;
    int pageTextSize_ = 100;     // the ESC setup page's
    int firmwareTextSize_ = 85;  // the firmware page's
    bool closing_ = false;
    MessageBoxQueue boxes_{this};
    bool escPageEnabled_ = false;
    bool firmwarePageEnabled_ = false;
    bool toldWaiting_ = false;             // standard error has said why a quit waits
    bool quitAsked_ = false;               // CloseWithoutAsking: no question before closing
    bool closeAwaited_ = false;            // closes once the open transfer has ended
    bool askingAboutClose_ = false;        // a question of the close event is open
    bool transferOpen_ = false;            // requested, and no settled tick seen since
    QPointer<QMessageBox> waitBox_;        // says why the window stays during an update
    bool portClosedByUpdate_ = false;      // a stopped update closed the port; not open since
    std::array<bool, 2> updateStopped_{};  // by ImageKind: stopped, no answer since
    // The status pictures after an update: which device, and whether the link and that
    // device have been seen since it ended (their going then clears the pictures).
    struct StatusWatch {
        bool active = false;
        ImageKind kind = ImageKind::Esc;
        bool usbSeen = false;
        bool deviceSeen = false;
    } statusWatch_;
    bool placed_ = false;
    bool linkStopped_ = false;
    int progressLinger_ = 0;
};

}  // namespace vorna::gui
