#include "gui/MainWindow.h"
#include "gui/QtText.h"

#include <QAction>
#include <QCloseEvent>
#include <QDialog>
#include <QGuiApplication>
#include <QMenuBar>
#include <QScopedValueRollback>
#include <QSessionManager>
#include <QShowEvent>
#include <QWindow>

#include <algorithm>
#include <array>
#include <cstdio>
#include <utility>

#include "base/DataFolders.h"
#include "gui/AppConfig.h"
#include "gui/ConnectionCheck.h"
#include "gui/DeviceNote.h"
#include "gui/MessageBoxes.h"
#include "gui/ModelNews.h"
#include "gui/ScreenFit.h"
#include "gui/SettingsFileMenu.h"
#include "gui/pages/AboutDialog.h"
#include "gui/pages/EscSetupPage.h"
#include "gui/pages/FirmwarePage.h"
#include "gui/pages/LinksPage.h"
#include "gui/skin/Skin.h"
#include "gui/widgets/SkinButton.h"

namespace vorna::gui {

namespace {

// The window and every box it raises share the dark skin: light text on near-black, so no
// box's labels end up black on black and none flashes white over the window.
constexpr char kWindowStyle[] =
    "QMainWindow { background: black; }"
    "QDialog { background: #161616; }"
    "QDialog QLabel { color: #eaeaea; background: transparent; }"
    "QDialog QPushButton { background: #303030; color: #eaeaea; border: 1px solid #6a0000;"
    " padding: 4px 16px; min-width: 64px; }"
    "QDialog QPushButton:hover { background: #b00000; }"
    "QDialog QPushButton:pressed { background: #d00000; }"
    "QDialog QPushButton:focus { border: 2px solid #ff7a3c; }"
    // A box's text that scrolls takes the focus like the text panels, with their mark.
    "QDialog QScrollArea#boxText { border: 2px solid transparent; }"
    "QDialog QScrollArea#boxText:focus { border-color: rgb(255, 200, 64); }"
    "QDialog QScrollArea#boxText::corner { background: #101010; }"
    // The text panels take the focus so the keyboard can scroll them; this is their mark.
    "QPlainTextEdit { border: 2px solid transparent; }"
    "QPlainTextEdit:focus { border-color: rgb(255, 200, 64); }"
    "QScrollBar { background: #101010; }"
    "QScrollBar:vertical { width: 14px; }"
    "QScrollBar:horizontal { height: 14px; }"
    "QScrollBar::handle { background: #7a1010; border-radius: 3px; }"
    "QScrollBar::handle:hover { background: #b00000; }"
    "QScrollBar::handle:vertical { min-height: 30px; }"
    "QScrollBar::handle:horizontal { min-width: 30px; }"
    "QScrollBar::add-line, QScrollBar::sub-line { width: 0px; height: 0px; }"
    "QScrollBar::add-page, QScrollBar::sub-page { background: none; }";

// What the write progress shows while no write runs.
constexpr char kProgressRestingText[] = "0%";
// How long a finished write's last figure stays, in blink ticks (200 ms each).
constexpr int kProgressLingerTicks = 10;
// Under the lamps, over the maker's logo.
constexpr QRect kDeviceNotePlace(18, 470, 216, 150);
// How long the hint blinks for a device once no Device mode is chosen: 6 s of 200 ms ticks.
constexpr int kHintBlinkTicks = 30;

constexpr int kProgressTextSize = 100;
const QColor kProgressTextColor(247, 148, 29);

void DefaultPresenter(QWidget* parent, const QString& text, bool errorIcon) {
    ShowPlainMessage(parent, errorIcon ? QMessageBox::Critical : QMessageBox::NoIcon, text);
}

bool DefaultConfirm(QWidget* parent, const QString& question) {
    return ExecPlainBox(parent, QMessageBox::Question, question, QMessageBox::Yes | QMessageBox::No,
                        QMessageBox::No) == QMessageBox::Yes;
}

bool DefaultRetryQuestion(QWidget* parent, const QString& text) {
    return ExecPlainBox(parent, QMessageBox::Warning, text,
                        QMessageBox::Retry | QMessageBox::Cancel,
                        QMessageBox::Cancel) == QMessageBox::Retry;
}

}  // namespace

MainWindow::MainWindow(Options options, QWidget* parent)
    : QMainWindow(parent), options_(std::move(options)) {
    if (!options_.presenter) options_.presenter = DefaultPresenter;
    if (!options_.askRetry) options_.askRetry = DefaultRetryQuestion;
    if (!options_.urlOpener) options_.urlOpener = DefaultUrlOpener();
    if (!options_.chooseSettingsFile) options_.chooseSettingsFile = DefaultSettingsFileChooser;
    if (!options_.compare) options_.compare = ExecCompareDialog;
    if (!options_.chooseBackup) options_.chooseBackup = ExecBackupsDialog;
    if (!options_.confirm) options_.confirm = DefaultConfirm;

    setWindowTitle(kAppTitle);
    setWindowIcon(QIcon(AppIconPixmap(32)));
    // The window has one size at a time: a maximise button would only add black around the skin.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setStyleSheet(kWindowStyle);

    textSize_ = ReadTextSize(options_.dataDir);
    // The configured size reaches the pages only off 96 DPI; at 96 they keep their own.
    const int dpi = options_.logicalDpi > 0 ? options_.logicalDpi : logicalDpiY();
    if (dpi != 96) {
        pageTextSize_ = textSize_;
        firmwareTextSize_ = textSize_;
    }

    BuildMenus();
    central_ = new QWidget;
    central_->setAutoFillBackground(true);
    QPalette black = central_->palette();
    black.setColor(QPalette::Window, Qt::black);
    central_->setPalette(black);
    setCentralWidget(central_);
    BuildPages();
    BuildLeftColumn();
    OrderKeyboardRoute();
    // The skin is laid out in its own pixels. Where the screen has less room for it (a small
    // laptop, or a desktop scale that makes every pixel larger) the whole skin is drawn smaller,
    // so everything stays in view and nothing scrolls.
    ApplyScale(ScaleForScreen(*this, QSize(kSkinWidth, kSkinHeight)));

    link_ = std::make_unique<LinkController>(options_.location, setup_, firmware_);
    ConnectLink();
    settingsFiles_ = std::make_unique<SettingsFileMenu>(
        setup_, options_.chooseSettingsFile,
        [this](QWidget* owner, const QString& text, bool error) { Tell(owner, text, error); },
        [this] { return setupPage_->MayDiscardUnsentChanges(); }, CompareView(),
        [this](QWidget* owner, const BackupsRequest& request) {
            // The link's boxes wait for it, as for the window's own boxes.
            return boxes_.Own([&] { return options_.chooseBackup(owner, request); });
        });
    connectionCheck_ = std::make_unique<ConnectionCheck>(options_.location);
    connect(connectionCheck_.get(), &ConnectionCheck::finished, this,
            [this](const QString& text, bool ready) {
                checking_ = false;
                ShowControlStates();
                // The text quotes paths and process names: the box shows plain text.
                Tell(this, text, !ready);
            });

    // Said once, where a note about the port would stand: the next such note replaces it.
    if (const std::string problem = ConfigFileProblem(options_.dataDir); !problem.empty()) {
        deviceNote_->setText(ToQString(problem));
        FitDeviceNote();
        deviceNote_->show();
        makerLogo_->hide();
    }
    SelectLinksPage();
    ShowControlStates();
    blinkTimer_.setInterval(200);
    connect(&blinkTimer_, &QTimer::timeout, this, &MainWindow::Blink);
    ShowHint();  // no Device mode yet: blinks for a device
    // The mode the user last chose; chosen before the first tick, so the link opens into it.
    switch (ReadRememberedMode(options_.ownSettings)) {
        case DeviceMode::Esc:
            link_->ChooseEsc();
            break;
        case DeviceMode::Card:
            link_->ChooseProgramCard();
            break;
        default:
            break;
    }
    if (options_.startLink) link_->Start();
}

MainWindow::~MainWindow() {
    closing_ = true;
    // Its result is posted to this window; once the window is gone, Qt drops it unseen.
    connectionCheck_.reset();
    link_->Shutdown();
    // The pages show the models; let them go before the models do.
    delete container_;
    container_ = nullptr;
}

QLabel* MainWindow::Picture(int bitmapId, QRect place, const char* name) {
    auto* label = new QLabel(central_);
    if (name) label->setObjectName(QLatin1String(name));
    placement_.AddPicture(label, place, bitmapId);
    return label;
}

void MainWindow::SetPicture(QLabel* label, int bitmapId) {
    placement_.SetPicture(label, bitmapId);
}

void MainWindow::BuildMenus() {
    QMenu* file = menuBar()->addMenu("&File");
    importAction_ = file->addAction("&Import Settings", this, &MainWindow::ImportSettings);
    exportAction_ = file->addAction("&Export Settings", this, &MainWindow::ExportSettings);
    compareAction_ = file->addAction("&Compare…", this, [this] { settingsFiles_->Compare(this); });
    backupsAction_ = file->addAction("&Backups…", this, [this] { settingsFiles_->Backups(this); });
    exitAction_ = file->addAction("E&xit", this, &QWidget::close);
    QMenu* device = menuBar()->addMenu("&Device");
    escAction_ =
        device->addAction("&Esc", this, [this] { ChooseMode(&LinkController::ChooseEsc); });
    cardAction_ = device->addAction("&Program Card", this,
                                    [this] { ChooseMode(&LinkController::ChooseProgramCard); });
    fixAction_ = device->addAction("&Fix Mode", this,
                                   [this] { ChooseMode(&LinkController::ChooseFixMode); });
    for (QAction* a : {escAction_, cardAction_, fixAction_}) a->setCheckable(true);
    QMenu* help = menuBar()->addMenu("&Help");
    checkAction_ = help->addAction("&Check Connection", this, &MainWindow::CheckConnection);
    aboutAction_ = help->addAction("&About", this, &MainWindow::ShowAbout);
    // Named for tests, which find the menu's commands as a user would, by what they are.
    const std::pair<QAction*, const char*> names[] = {{importAction_, "importSettingsAction"},
                                                      {exportAction_, "exportSettingsAction"},
                                                      {compareAction_, "compareAction"},
                                                      {backupsAction_, "backupsAction"},
                                                      {exitAction_, "exitAction"},
                                                      {escAction_, "escAction"},
                                                      {cardAction_, "programCardAction"},
                                                      {fixAction_, "fixModeAction"},
                                                      {checkAction_, "checkConnectionAction"},
                                                      {aboutAction_, "aboutAction"}};
    for (const auto& [action, name] : names) action->setObjectName(QLatin1String(name));
    menuBar()->setStyleSheet(
        "QMenuBar { background: #1a1a1a; color: #eaeaea; }"
        "QMenuBar::item:selected { background: #b00000; }"
        "QMenu { background: #1a1a1a; color: #eaeaea; border: 1px solid #600000; }"
        "QMenu::item:selected { background: #d00000; }"
        "QMenu::item:disabled { color: #707070; }");
}

void MainWindow::BuildLeftColumn() {
    Picture(kBmpProductLogo, QRect(QPoint(8, 4), SkinBitmapSize(kBmpProductLogo)));
    for (int y : {75, 110, 145}) Picture(kBmpRedRule, QRect(5, y, 200, 5));

    auto makeButton = [this](const char* name, int normal, int down, int over, QRect place) {
        auto* button = new SkinButton(central_);
        button->setObjectName(QLatin1String(name));
        placement_.Add(button, place);
        button->AssignSkin(normal, down, over);
        return button;
    };
    linksButton_ = makeButton("linksButton", kBmpSupportNormal, kBmpSupportDown, kBmpSupportOver,
                              QRect(30, 78, 200, 25));
    escButton_ = makeButton("escButton", kBmpEscSetupNormal, kBmpEscSetupDown, kBmpEscSetupOver,
                            QRect(30, 113, 200, 25));
    firmwareButton_ = makeButton("firmwareButton", kBmpFirmwareNormal, kBmpFirmwareDown,
                                 kBmpFirmwareOver, QRect(30, 148, 200, 25));
    connect(linksButton_, &QAbstractButton::clicked, this, &MainWindow::SelectLinksPage);
    connect(escButton_, &QAbstractButton::clicked, this, &MainWindow::SelectEscPage);
    connect(firmwareButton_, &QAbstractButton::clicked, this, &MainWindow::SelectFirmwarePage);
    Picture(kBmpRedRule, QRect(5, 280, 200, 5));
    Picture(kBmpRedRule, QRect(5, 340, 200, 5));
    hint_ = Picture(kBmpHintOrange, QRect(30, 290, 200, 50), "hint");
    Picture(kBmpLampHeading, QRect(20, 360, 200, 12));
    const char* const lampNames[3] = {"usbLamp", "escLamp", "cardLamp"};
    for (int i = 0; i < 3; ++i) {
        lamps_[i] = Picture(kBmpLampOff, QRect(30, 380 + 30 * i, 20, 20), lampNames[i]);
    }
    Picture(kBmpLampLegend, QRect(60, 390, 150, 70));
    makerLogo_ = Picture(kBmpMakerLogo, QRect(30, 530, 160, 80));

    // Under the lamps, in place of the maker's logo while it shows: what answers on the port,
    // but not as the chosen device does. The lamps alone would look as if nothing were there.
    deviceNote_ = new QLabel(central_);
    deviceNote_->setObjectName(QStringLiteral("deviceNote"));
    placement_.Add(deviceNote_, kDeviceNotePlace, QFont(QStringLiteral("Arial"), 9));
    deviceNote_->setWordWrap(true);
    deviceNote_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    // It quotes the port's name and the bytes that came: plain text, never markup.
    deviceNote_->setTextFormat(Qt::PlainText);
    deviceNote_->setMargin(6);
    deviceNote_->setStyleSheet(
        QStringLiteral("QLabel { color: rgb(255, 200, 64); background: rgb(26, 26, 26);"
                       " border: 1px solid rgb(176, 0, 0); }"));
    deviceNote_->hide();

    progressButton_ = new SkinButton(central_);
    progressButton_->setObjectName(QStringLiteral("writeProgress"));
    placement_.Add(progressButton_, QRect(710, 555, 80, 30));
    progressButton_->SetFontSize(kProgressTextSize);
    progressButton_->SetFontFace("Arial");
    progressButton_->AssignSkin(kBmpProgressBar, kBmpProgressBar, 0);
    progressButton_->SetTextColor(kProgressTextColor);
    progressButton_->setText("0%");
    progressButton_->setFocusPolicy(Qt::NoFocus);
    progressButton_->hide();
}

// Tab goes down the page buttons, then through the page shown in its reading order (the pages
// create their controls in that order); hidden pages are skipped by the toolkit itself.
void MainWindow::OrderKeyboardRoute() {
    // The round starts at the first page button when the window opens.
    linksButton_->setFocus(Qt::OtherFocusReason);
    QWidget* previous = firmwareButton_;
    for (QWidget* page : PagesInOrder()) {
        for (QWidget* w : page->findChildren<QWidget*>()) {
            if ((w->focusPolicy() & Qt::TabFocus) == 0 || w->window() != this) continue;
            setTabOrder(previous, w);
            previous = w;
        }
    }
}

std::array<QWidget*, 3> MainWindow::PagesInOrder() const {
    return {linksPage_, setupPage_, firmwarePage_};
}

void MainWindow::BuildPages() {
    container_ = new QWidget(central_);
    container_->setObjectName(QStringLiteral("pageContainer"));
    // The pages are 630 pixels tall; their frames start at their very top, so the container
    // shows them whole rather than cutting their top 10 pixels off.
    placement_.Add(container_, QRect(250, 0, 985, 630));
    const QRect pageRect(0, 0, 985, 630);
    linksPage_ = new LinksPage(options_.dataDir, options_.urlOpener, container_);
    linksPage_->SetInform(
        [this](QWidget* parent, const QString& text) { Tell(parent, text, false); });
    setupPage_ = new EscSetupPage(setup_, options_.dataDir, pageTextSize_, container_);
    setupPage_->SetOwnProfileFolder(UserFolder("Profile"));
    setupPage_->SetConfirm(
        [this](QWidget* parent, const QString& question) { return Ask(parent, question); });
    setupPage_->SetInform(
        [this](QWidget* parent, const QString& text) { Tell(parent, text, true); });
    setupPage_->SetCompare(CompareView());
    firmwarePage_ = new FirmwarePage(firmware_, options_.dataDir, UserFirmwareFolder(),
                                     firmwareTextSize_, container_);
    firmwarePage_->SetInform(
        [this](QWidget* parent, const QString& text) { Tell(parent, text, false); });
    firmwarePage_->SetConfirm(
        [this](QWidget* parent, const QString& question) { return Ask(parent, question); });
    linksPage_->setObjectName(QStringLiteral("linksPage"));
    setupPage_->setObjectName(QStringLiteral("setupPage"));
    firmwarePage_->setObjectName(QStringLiteral("firmwarePage"));
    for (QWidget* page : PagesInOrder()) placement_.Add(page, pageRect);
}

// Everything the link thread tells the window arrives through the link controller.
void MainWindow::ConnectLink() {
    connect(&link_->SetupNews(), &SetupModelNews::changed, setupPage_, &EscSetupPage::ShowChanges);
    connect(link_.get(), &LinkController::lampsChanged, this,
            [this](bool usb, bool esc, bool card) {
                if (!esc) RestProgress();  // nothing is being written to an ESC that is gone
                // A device lamp lit as the port opens may still be the one from before it
                // closed; one lit on a later tick is a device that answered.
                const bool answered = usb && lampOn_[0];
                const bool on[3] = {usb, esc, card};
                for (int i = 0; i < 3; ++i) {
                    lampOn_[i] = on[i];
                    SetPicture(lamps_[i], on[i] ? kBmpLampOn : kBmpLampOff);
                }
                if (usb) {
                    bridgeSeen_ = true;
                    portProblem_.clear();  // it opened
                    portClosedByUpdate_ = false;
                }
                if (answered) {
                    // The device answers again: its stopped update no longer speaks for it.
                    if (esc) updateStopped_[static_cast<std::size_t>(ImageKind::Esc)] = false;
                    if (card) updateStopped_[static_cast<std::size_t>(ImageKind::Card)] = false;
                }
                ForgetStatusOfGoneDevice(answered);
                ShowControlStates();
                ShowDeviceNote();
            });
    connect(link_.get(), &LinkController::bridgeFindingChanged, this,
            [this](BridgeFinding finding) {
                bridgeFinding_ = finding;
                ShowDeviceNote();
            });
    connect(link_.get(), &LinkController::ticked, this, [this] {
        if (std::exchange(looked_, true)) return;
        ShowDeviceNote();
    });
    connect(link_.get(), &LinkController::oddAnswerChanged, this, [this](const QString& text) {
        oddAnswer_ = text;
        ShowDeviceNote();
        ShowControlStates();
    });
    // A read or a forgotten ESC changes whether its settings can be sent.
    connect(&link_->SetupNews(), &SetupModelNews::changed, this, &MainWindow::ShowControlStates);
    connect(&link_->SetupNews(), &SetupModelNews::changed, this, [this] {
        if (!setup_.HasValidRecord()) return;
        // The ESC was read again: the page shows what it holds, and a later unplug has its
        // own news. An update's end no longer speaks for the page either.
        updateSinceRead_ = false;
        if (droppedUnsent_ > 0) {
            droppedUnsent_ = 0;
            ShowDeviceNote();
        }
    });
    connect(setupPage_, &EscSetupPage::unsentChangesDropped, this, [this](int count) {
        // An update takes the page's values with it whatever became of the ESC; its own
        // question and outcome speak for it, and "the ESC went away" would not be true.
        if (UpdateBusy() || updateSinceRead_) return;
        droppedUnsent_ = count;
        ShowDeviceNote();
    });
    connect(&link_->SetupNews(), &SetupModelNews::changed, this, &MainWindow::ShowFirstValues);
    connect(link_.get(), &LinkController::messageRequested, this, &MainWindow::OnMessage);
    connect(link_.get(), &LinkController::retryRequested, this,
            [this](quint64 ticket, const QString& text) {
                boxes_.Link([this, ticket, text] {
                    const bool retry = !closing_ && options_.askRetry(this, text);
                    link_->MessageDismissed(ticket, retry);
                });
            });
    connect(link_.get(), &LinkController::questionRequested, this,
            [this](quint64 ticket, const QString& text) {
                boxes_.Link([this, ticket, text] {
                    const bool yes = !closing_ && options_.confirm(this, text);
                    link_->MessageDismissed(ticket, yes);
                });
            });
    firmwareNews_ = std::make_unique<FirmwareModelNews>(firmware_);
    connect(firmwareNews_.get(), &FirmwareModelNews::changed, this, &MainWindow::ShowFirmwareNews);
    // At once, not on the news that follows: the very next input must find the window guarded.
    connect(firmwarePage_, &FirmwarePage::updateRequested, this, &MainWindow::ShowControlStates);
    connect(setupPage_, &EscSetupPage::transferRequested, this, [this] {
        if (std::exchange(droppedUnsent_, 0) > 0) ShowDeviceNote();
        ShowControlStates();
    });
    // A write ends with its read-back on a later tick, which no model news announces.
    connect(link_.get(), &LinkController::ticked, this, &MainWindow::ShowControlStates);
    // A state, not a box: the link keeps trying, and a box would outlive the problem (a
    // bridge unplugged and back, read again, with the box still saying the port has gone).
    connect(link_.get(), &LinkController::portProblem, this, [this](const QString& text) {
        portProblem_ = text;
        ShowDeviceNote();
    });
    connect(link_.get(), &LinkController::writeProgress, this, [this](const QString& text) {
        progressLinger_ = 0;
        progressButton_->setText(text);
        progressButton_->repaint();
        KeepTicking();  // to put the figure back to rest once the write is over
    });
    connect(link_.get(), &LinkController::deviceModeChanged, this,
            &MainWindow::OnDeviceModeChanged);
    connect(link_.get(), &LinkController::updateEnded, this, &MainWindow::OnUpdateEnded);
    // A transfer is open from its request until a tick has ended without one, which is after
    // its outcome's box was closed: between the two, no close may cut the outcome off.
    const auto noteTransfer = [this] {
        if (TransferBusy()) transferOpen_ = true;
        // The pictures are the coming update's now; its own end says which device they show.
        if (UpdateBusy()) statusWatch_.active = false;
    };
    connect(firmwarePage_, &FirmwarePage::updateRequested, this, noteTransfer);
    connect(setupPage_, &EscSetupPage::transferRequested, this, noteTransfer);
    connect(link_.get(), &LinkController::ticked, this, noteTransfer);
    connect(link_.get(), &LinkController::settled, this, [this] {
        // Computed before a request this window has made since: not the end of that one.
        if (TransferBusy()) return;
        transferOpen_ = false;
        CloseIfAwaited();
    });
    // A logout or shutdown waits for a transfer, where the desktop lets a program ask; the
    // window then closes once the transfer has ended, as for Ctrl-C.
    connect(qGuiApp, &QGuiApplication::commitDataRequest, this, [this](QSessionManager& session) {
        if (MayEndSessionNow()) return;
        session.cancel();
        std::fprintf(stderr,
                     "vorna-link: the session waits for the transfer under way; the program "
                     "ends after it\n");
        CloseWithoutAsking();
    });
}

void MainWindow::OnMessage(quint64 ticket, const QString& text, bool errorIcon) {
    boxes_.Link([this, ticket, text, errorIcon] {
        if (!closing_) options_.presenter(this, text, errorIcon);
        link_->MessageDismissed(ticket);
    });
}

bool MainWindow::Ask(QWidget* parent, const QString& question) {
    return boxes_.Own([&] { return options_.confirm(parent, question); });
}

CompareChooser MainWindow::CompareView() {
    return [this](QWidget* parent, const CompareRequest& request) {
        return boxes_.Own([&] { return options_.compare(parent, request); });
    };
}

void MainWindow::Tell(QWidget* parent, const QString& text, bool errorIcon) {
    boxes_.Own([&] { options_.presenter(parent, text, errorIcon); });
}

void MainWindow::OnDeviceModeChanged(DeviceMode mode, bool escPageEnabled, bool firmwarePageEnabled,
                                     bool selectLinksPage) {
    mode_ = mode;
    firmwarePage_->SetFixMode(mode == DeviceMode::Fix);
    // Kept for the next start; a file that cannot be written only means starting without it.
    static_cast<void>(RememberMode(options_.ownSettings, mode));
    ShowModeChecks();
    if (selectLinksPage) SelectLinksPage();
    escPageEnabled_ = escPageEnabled;
    firmwarePageEnabled_ = firmwarePageEnabled;
    // A page whose button goes dim would be shown with no button marked; show one that is
    // still offered (Fix Mode repairs firmware, so its page).
    if ((page_ == Page::Setup && !escPageEnabled) ||
        (page_ == Page::Firmware && !firmwarePageEnabled)) {
        if (firmwarePageEnabled) {
            SelectFirmwarePage();
        } else {
            SelectLinksPage();
        }
    }
    ShowHint();
    if (mode_ != DeviceMode::Esc) RestProgress();
    // What was lost belonged to the mode left.
    droppedUnsent_ = 0;
    ShowControlStates();
    ShowDeviceNote();
}

// The hint says which device is chosen, or asks for one (blinking, see Blink).
void MainWindow::ShowHint() {
    switch (mode_) {
        case DeviceMode::Esc:
            return SetPicture(hint_, kBmpHintEsc);
        case DeviceMode::Card:
            return SetPicture(hint_, kBmpHintCard);
        case DeviceMode::Fix:
            return SetPicture(hint_, kBmpHintFix);
        default:
            blinkPhase_ = true;
            blinkTicksLeft_ = kHintBlinkTicks;
            KeepTicking();
            return SetPicture(hint_, kBmpHintOrange);
    }
}

void MainWindow::RestProgress() {
    progressLinger_ = 0;
    if (progressButton_->text() != kProgressRestingText) {
        progressButton_->setText(kProgressRestingText);
    }
}

// The note's frame ends under its text, within the room the column has for it.
void MainWindow::FitDeviceNote() {
    const QRect room = placement_.Rect(kDeviceNotePlace);
    deviceNote_->setGeometry(room.x(), room.y(), room.width(),
                             std::min(room.height(), deviceNote_->heightForWidth(room.width())));
}

void MainWindow::ShowDeviceNote() {
    DeviceFacts facts;
    facts.mode = mode_;
    facts.looked = looked_;
    facts.usb = lampOn_[0];
    facts.device = mode_ == DeviceMode::Card ? lampOn_[2] : lampOn_[1];
    facts.bridgeLost = bridgeSeen_ && !lampOn_[0];
    facts.bridgeFinding = bridgeFinding_;
    facts.portProblem = portProblem_;
    facts.oddAnswer = oddAnswer_;
    facts.portClosedByUpdate = portClosedByUpdate_;
    facts.updateStopped =
        (mode_ == DeviceMode::Esc && updateStopped_[static_cast<std::size_t>(ImageKind::Esc)]) ||
        (mode_ == DeviceMode::Card && updateStopped_[static_cast<std::size_t>(ImageKind::Card)]);
    facts.droppedUnsent = droppedUnsent_;
    const DeviceNoteText note = DeviceNoteFor(facts);
    if (note.text == deviceNote_->text() && note.tooltip == deviceNote_->toolTip()) return;
    deviceNote_->setText(note.text);
    deviceNote_->setToolTip(note.tooltip);
    FitDeviceNote();
    deviceNote_->setVisible(!note.text.isEmpty());
    makerLogo_->setVisible(note.text.isEmpty());
}

void MainWindow::ShowFirstValues() {
    const bool read = setup_.HasValidRecord();
    if (read && !valuesShown_ && mode_ == DeviceMode::Esc && escPageEnabled_ && !UpdateBusy() &&
        page_ != Page::Firmware) {
        SelectEscPage();
    }
    valuesShown_ = read;
}

// Every control's enabled state comes from here, from the state the window is in now: the
// Device mode, the lamps, what was read, a transfer, the page shown. A fresh start and every
// later moment go through the same function, so no control is left off by a path that turned it
// off and forgot to turn it on again.
//
// The controls that act on a device take input only while one that can take it is there; the
// others say why in their tooltip: no Device mode, another mode's device, no link, nothing or
// something else answering, the settings not read yet.
void MainWindow::ShowControlStates() {
    if (linksButton_ == nullptr || link_ == nullptr) return;  // still being built
    const bool usb = lampOn_[0];
    const bool esc = lampOn_[1];
    const bool card = lampOn_[2];
    const QString noLink = QStringLiteral("The USB link is not connected.");
    const QString noEsc = !oddAnswer_.isEmpty()
                              ? oddAnswer_
                              : QStringLiteral(
                                    "No ESC answers: check that it is plugged into the link and "
                                    "powered.");

    QString sendWhy;
    if (mode_ != DeviceMode::Esc) {
        sendWhy = QStringLiteral("Choose Device > Esc to read and send an ESC's settings.");
    } else if (!usb) {
        sendWhy = noLink;
    } else if (!esc) {
        sendWhy = noEsc;
    } else if (!setup_.HasValidRecord()) {
        sendWhy = QStringLiteral("The ESC's settings have not been read yet.");
    }
    setupPage_->SetSendReady(sendWhy.isEmpty(), sendWhy);

    QString escWhy;
    if (mode_ == DeviceMode::None) {
        escWhy = QStringLiteral("Choose the device in the Device menu first.");
    } else if (mode_ == DeviceMode::Card) {
        escWhy = QStringLiteral(
            "Program Card is chosen in the Device menu: choose Esc to update an ESC, or Fix "
            "Mode for an ESC whose firmware is broken.");
    } else if (!usb) {
        escWhy = noLink;
    } else if (mode_ == DeviceMode::Esc && !esc) {
        escWhy = noEsc + QStringLiteral(
                             " An ESC whose firmware is broken is updated in "
                             "Device > Fix Mode.");
    }
    firmwarePage_->SetDeviceReady(ImageKind::Esc, escWhy.isEmpty(), escWhy);

    QString cardWhy;
    if (mode_ != DeviceMode::Card) {
        cardWhy = QStringLiteral("Choose Device > Program Card to update the program card.");
    } else if (!usb) {
        cardWhy = noLink;
    } else if (!card) {
        cardWhy = !oddAnswer_.isEmpty() ? oddAnswer_
                                        : QStringLiteral(
                                              "No program card answers: check that "
                                              "it is plugged into the link.");
    }
    firmwarePage_->SetDeviceReady(ImageKind::Card, cardWhy.isEmpty(), cardWhy);

    // While a transfer is requested or running nothing may change the Device mode or the page's
    // values, nor start or queue another transfer: a restore clicked during a send would undo
    // it the moment it was verified. While an update runs the page stays too: the update owns
    // the link and the page shows its progress. Disabled rather than ignored, so the keyboard
    // cannot reach them either.
    const bool free = !TransferBusy();
    for (QAction* a :
         {escAction_, cardAction_, fixAction_, importAction_, compareAction_, backupsAction_}) {
        a->setEnabled(free);
    }
    checkAction_->setEnabled(!checking_);
    const bool pagesFree = !UpdateBusy();
    // The current page's button stays as it is, so the page shown stays marked. Until a Device
    // mode is chosen only the links page can be selected.
    linksButton_->setEnabled(pagesFree || page_ == Page::Links);
    escButton_->setEnabled((pagesFree || page_ == Page::Setup) && escPageEnabled_);
    firmwareButton_->setEnabled((pagesFree || page_ == Page::Firmware) && firmwarePageEnabled_);
    firmwarePage_->SetStartEnabled(free);
    setupPage_->SetTransferUnderWay(!free);
}

void MainWindow::ShowFirmwareNews() {
    if (UpdateBusy()) updateSinceRead_ = true;
    firmwarePage_->ShowChanges();
    ShowControlStates();
    // Its words are no longer true once the update is over; the outcome's box follows.
    if (waitBox_ && !UpdateBusy()) waitBox_->close();
}

void MainWindow::OnUpdateEnded(bool card, bool stopped, bool portClosed) {
    const ImageKind kind = card ? ImageKind::Card : ImageKind::Esc;
    updateStopped_[static_cast<std::size_t>(kind)] = stopped;
    portClosedByUpdate_ = portClosed && !lampOn_[0];
    statusWatch_ = {true, kind, lampOn_[0], false};
    if (waitBox_ && !UpdateBusy()) waitBox_->close();
    ShowDeviceNote();
}

void MainWindow::ForgetStatusOfGoneDevice(bool answered) {
    StatusWatch& watch = statusWatch_;
    if (!watch.active || UpdateBusy()) return;
    const bool usb = lampOn_[0];
    const bool device = lampOn_[watch.kind == ImageKind::Card ? 2 : 1];
    if ((watch.usbSeen && !usb) || (watch.deviceSeen && !device)) {
        watch.active = false;
        if (firmware_.ResetStatusesIfIdle()) firmwarePage_->ShowChanges();
        return;
    }
    watch.usbSeen = watch.usbSeen || usb;
    watch.deviceSeen = watch.deviceSeen || (answered && device);
}

bool MainWindow::UpdateBusy() const {
    return firmware_.AnyUpdateRequested() ||
           firmware_.Status(ImageKind::Esc) == FirmwarePageLink::UpdateStatus::Running ||
           firmware_.Status(ImageKind::Card) == FirmwarePageLink::UpdateStatus::Running;
}

bool MainWindow::TransferBusy() const {
    return UpdateBusy() || setup_.WriteRequested() || setup_.DefaultRequested() ||
           link_->ReadBackPending();
}

void MainWindow::ShowModeChecks() {
    escAction_->setChecked(mode_ == DeviceMode::Esc);
    cardAction_->setChecked(mode_ == DeviceMode::Card);
    fixAction_->setChecked(mode_ == DeviceMode::Fix);
}

// Every Device menu choice leaves the ESC's values behind, and unsent changes with them.
void MainWindow::ChooseMode(void (LinkController::*choose)()) {
    if (!setupPage_->MayDiscardUnsentChanges()) {
        ShowModeChecks();  // the menu has already checked or unchecked the item
        return;
    }
    (link_.get()->*choose)();
}

void MainWindow::ShowPage(enum Page page) {
    page_ = page;
    linksPage_->setVisible(page == Page::Links);
    setupPage_->setVisible(page == Page::Setup);
    firmwarePage_->setVisible(page == Page::Firmware);
    progressButton_->setVisible(page == Page::Setup);
    progressButton_->raise();
    linksButton_->SetSelected(page == Page::Links);
    escButton_->SetSelected(page == Page::Setup);
    firmwareButton_->SetSelected(page == Page::Firmware);
    ShowControlStates();
}

void MainWindow::SelectLinksPage() {
    ShowPage(Page::Links);
}

void MainWindow::SelectEscPage() {
    ShowPage(Page::Setup);
}

void MainWindow::SelectFirmwarePage() {
    ShowPage(Page::Firmware);
    // A finished or failed update's picture stays until the page is opened again.
    if (firmware_.ResetStatusesIfIdle()) firmwarePage_->ShowChanges();
}

void MainWindow::Blink() {
    // A finished or broken-off write's figure goes back to rest after a moment.
    if (progressButton_->text() != kProgressRestingText && !setup_.WriteRequested() &&
        !setup_.DefaultRequested() && ++progressLinger_ >= kProgressLingerTicks) {
        RestProgress();
    }
    // Prompt for a device only while none is chosen, and only for a few seconds: then it stays
    // orange, asking without flashing at the user for as long as the window is open.
    if (HintBlinking()) {
        --blinkTicksLeft_;
        blinkPhase_ = !blinkPhase_ || blinkTicksLeft_ == 0;
        SetPicture(hint_, blinkPhase_ ? kBmpHintOrange : kBmpHintWhite);
    }
    // Nothing left to do on the next tick: the timer rests, and the idle window with it.
    if (!HintBlinking() && progressButton_->text() == kProgressRestingText) blinkTimer_.stop();
}

bool MainWindow::HintBlinking() const {
    return mode_ == DeviceMode::None && blinkTicksLeft_ > 0;
}

void MainWindow::KeepTicking() {
    if (!blinkTimer_.isActive()) blinkTimer_.start();
}

void MainWindow::ShowAbout() {
    AboutDialog about(this);
    about.exec();
}

void MainWindow::CheckConnection() {
    checking_ = true;
    ShowControlStates();
    connectionCheck_->Start();
}

void MainWindow::ExportSettings() {
    settingsFiles_->Export(this);
}

void MainWindow::ImportSettings() {
    settingsFiles_->Import(this);
}

void MainWindow::ApplyScale(const SkinScale& scale) {
    if (scale == scale_ && central_->size() == scale.Size(QSize(kSkinWidth, kSkinHeight))) return;
    scale_ = scale;
    central_->setFixedSize(scale.Size(QSize(kSkinWidth, kSkinHeight)));
    placement_.Apply(scale);
    for (SkinButton* button : {linksButton_, escButton_, firmwareButton_, progressButton_}) {
        button->SetScale(scale);
    }
    linksPage_->SetScale(scale);
    setupPage_->SetScale(scale);
    firmwarePage_->SetScale(scale);
    ForgetSkinBitmapsNotAt(scale);
    FitDeviceNote();
    // Nothing in the window grows with it, so it has one size: no resizing, no maximising.
    setFixedSize(central_->width(), central_->height() + menuBar()->sizeHint().height());
}

void MainWindow::FitToScreen() {
    ApplyScale(ScaleForScreen(*this, QSize(kSkinWidth, kSkinHeight)));
    CentreOnScreen(*this);
}

void MainWindow::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    // The window system's closes pass here first (eventFilter); installing again only moves it.
    if (QWindow* window = windowHandle()) window->installEventFilter(this);
    if (placed_) return;
    placed_ = true;
    FitWhileShown(*this, [this] { FitToScreen(); });
}

void MainWindow::CloseWithoutAsking() {
    quitAsked_ = true;
    // Asked again and again while it waits (the quit signal's watch): once is enough.
    if (closeAwaited_ || closing_) return;
    close();
}

// No transfer is cut off by closing, whichever way the close comes: it waits for the transfer
// to end and its outcome to be shown.
void MainWindow::closeEvent(QCloseEvent* event) {
    if (linkStopped_) {
        event->accept();
        return;
    }
    event->ignore();
    if (closing_) return;  // hidden already: the link finishes its work, then the window goes
    if (closeAwaited_) {
        ShowCloseWait();
        return;
    }
    // While a question of this close is open, the window system's close is held back
    // (eventFilter): Qt would take the window for closing already and take it off the screen.
    const QScopedValueRollback asking(askingAboutClose_, true);
    if (TransferOpen()) {
        // One question, about what is happening: settings on their way to the ESC are not
        // unsent changes to be discarded.
        const bool writing = setup_.WriteRequested() || link_->ReadBackPending();
        if (!quitAsked_ && !UpdateBusy() && (writing || setup_.DefaultRequested()) &&
            !Ask(this, writing ? kWriteUnderWayQuestion : kRestoreUnderWayQuestion)) {
            return;
        }
        AwaitTransferEnd();
        return;
    }
    if (!quitAsked_ && !setupPage_->MayDiscardUnsentChanges()) return;
    closing_ = true;
    // The link thread may be in a transaction for a few seconds more: the window goes at once
    // and the program ends when the thread has, never freezing meanwhile.
    hide();
    link_->ShutdownLater([this] {
        linkStopped_ = true;
        // A box still open would keep the program running with no window behind it.
        for (QDialog* box : findChildren<QDialog*>()) {
            if (box->isVisible()) box->reject();
        }
        close();
        emit closed();
    });
}

void MainWindow::AwaitTransferEnd() {
    closeAwaited_ = true;
    if (quitAsked_ && !std::exchange(toldWaiting_, true)) {
        std::fprintf(stderr, "vorna-link: waiting for %s to end\n",
                     UpdateBusy()                ? "the firmware update"
                     : setup_.DefaultRequested() ? "the factory settings' restore"
                                                 : "the settings write");
    }
    ShowCloseWait();
    // The transfer may have ended while the question was open; closed from the event loop,
    // not from inside this close.
    QMetaObject::invokeMethod(this, &MainWindow::CloseIfAwaited, Qt::QueuedConnection);
}

// Only an update says so in a box: a send or a restore takes a few seconds, and closing during
// one was asked about already.
void MainWindow::ShowCloseWait() {
    if (!UpdateBusy()) return;
    if (!waitBox_) {
        waitBox_ = OpenPlainBox(this, QMessageBox::Information, kCloseWaitsText);
        return;
    }
    waitBox_->raise();
    waitBox_->activateWindow();
}

void MainWindow::CloseIfAwaited() {
    if (!closeAwaited_ || TransferOpen()) return;
    closeAwaited_ = false;
    close();
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Close && askingAboutClose_ && watched == windowHandle()) {
        event->ignore();
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

}  // namespace vorna::gui
