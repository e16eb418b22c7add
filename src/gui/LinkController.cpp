#include "gui/LinkController.h"

#include <ctime>

#include "settings/Profiles.h"

namespace vorna::gui {

LinkController::LinkController(BridgeLocation location, EscSetupModel& setup,
                               FirmwarePageModel& firmware, QObject* parent)
    : QObject(parent),
      setupNews_(setup),
      monitor_(link_, std::move(location), setup, firmware, *this, thread_),
      escUpdate_(link_, setup, firmware, *this, thread_,
                 [this] { return monitor_.Mode() == DeviceMode::Fix; }),
      cardUpdate_(
          link_, firmware, *this, thread_,
          [this] { return monitor_.CardState() == DeviceState::Connected; },
          [this] { monitor_.CardReplaced(); }),
      updater_(&escUpdate_, &cardUpdate_) {
    // The settings the ESC had are kept before its firmware is replaced.
    escUpdate_.backup = [&setup] {
        const ExportResult saved =
            BackUpSettings(setup.Snapshot(), BackupFolder(), std::time(nullptr));
        return SettingsBackupResult{saved.ok ? saved.writtenPath.string() : "",
                                    saved.ok ? "" : saved.error};
    };
    escUpdate_.confirmSuspect = [this](const std::string& where) {
        const QString question =
            "This firmware image does not look sound:\n" + QString::fromStdString(where) +
            "\n\nFlashing a damaged image can leave the ESC without working firmware. Flash it "
            "anyway?";
        return AwaitAnswer([&](quint64 ticket) { emit questionRequested(ticket, question); });
    };
    monitor_.SetFirmwareUpdates(&updater_);
}

LinkController::~LinkController() {
    Shutdown();
}

void LinkController::Start() {
    thread_.Run([this] {
        monitor_.OnTimer();
        emit ticked(link_.GetDeviceState() == DeviceState::Connected,
                    monitor_.CardState() == DeviceState::Connected);
    });
}

void LinkController::Shutdown() {
    if (stopper_.joinable()) {
        stopper_.join();  // it has asked the link thread to end and waited for it
        return;
    }
    {
        std::lock_guard lock(messageMutex_);
        shuttingDown_ = true;
    }
    messageDone_.notify_all();
    thread_.Shutdown();
}

void LinkController::ShutdownLater(std::function<void()> stopped) {
    if (stopper_.joinable()) return;
    {
        std::lock_guard lock(messageMutex_);
        shuttingDown_ = true;
    }
    messageDone_.notify_all();
    stopper_ = std::thread([this, stopped = std::move(stopped)] {
        thread_.Shutdown();
        QMetaObject::invokeMethod(this, stopped, Qt::QueuedConnection);
    });
}

void LinkController::ChooseEsc() {
    thread_.Post([this] { monitor_.ChooseEsc(); });
}

void LinkController::ChooseProgramCard() {
    thread_.Post([this] { monitor_.ChooseProgramCard(); });
}

void LinkController::ChooseFixMode() {
    thread_.Post([this] { monitor_.ChooseFixMode(); });
}

void LinkController::Post(std::function<void(ConnectionMonitor&)> job) {
    thread_.Post([this, job = std::move(job)] { job(monitor_); });
}

void LinkController::ShowLamps(const LampState& lamps) {
    emit lampsChanged(lamps.usb, lamps.esc, lamps.card);
}

void LinkController::ShowMessage(const std::string& text, MessageIcon icon) {
    static_cast<void>(AwaitAnswer([&](quint64 ticket) {
        emit messageRequested(ticket, QString::fromStdString(text), icon == MessageIcon::Error);
    }));
}

bool LinkController::AskRetry(const std::string& text) {
    return AwaitAnswer(
        [&](quint64 ticket) { emit retryRequested(ticket, QString::fromStdString(text)); });
}

// The next tick waits for the user, as a modal box on the poll's own thread would.
bool LinkController::AwaitAnswer(const std::function<void(quint64)>& ask) {
    quint64 ticket = 0;
    {
        std::lock_guard lock(messageMutex_);
        if (shuttingDown_) return false;
        ticket = ++nextTicket_;
    }
    ask(ticket);
    std::unique_lock lock(messageMutex_);
    messageDone_.wait(lock, [&] { return shuttingDown_ || dismissedTicket_ >= ticket; });
    return !shuttingDown_ && retryChosen_;
}

void LinkController::MessageDismissed(quint64 ticket, bool retry) {
    {
        std::lock_guard lock(messageMutex_);
        dismissedTicket_ = std::max(dismissedTicket_, ticket);
        retryChosen_ = retry;
    }
    messageDone_.notify_all();
}

void LinkController::ShowPortProblem(const std::string& text) {
    emit portProblem(QString::fromStdString(text));
}

void LinkController::ShowWriteProgress(const std::string& text) {
    emit writeProgress(QString::fromStdString(text));
}

void LinkController::DeviceModeChanged(const DeviceMenuState& state, bool selectLinksPage) {
    emit deviceModeChanged(state.mode, state.escPageEnabled, state.firmwarePageEnabled,
                           selectLinksPage);
}

void LinkController::OddAnswerChanged(const std::string& text) {
    emit oddAnswerChanged(QString::fromStdString(text));
}

}  // namespace vorna::gui
