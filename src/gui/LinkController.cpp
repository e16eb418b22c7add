#include "gui/LinkController.h"
#include "gui/QtText.h"

#include "gui/OutcomeTexts.h"

namespace vorna::gui {

LinkController::LinkController(BridgeLocation location, EscSetupModel& setup,
                               FirmwarePageModel& firmware, QObject* parent)
    : QObject(parent), setupNews_(setup), stack_(std::move(location), setup, firmware, *this) {
    stack_.Esc().confirmSuspect = [this, &firmware](const std::string& where) {
        // Asked already when the page's start picture was clicked.
        if (firmware.SuspectImageAccepted(ImageKind::Esc)) return true;
        const QString question =
            "This firmware image does not look sound:\n" + ToQString(where) +
            "\n\nFlashing a damaged image can leave the ESC without working firmware. Flash it "
            "anyway?";
        return AwaitAnswer([&](quint64 ticket) { emit questionRequested(ticket, question); });
    };
    stack_.Esc().confirmNoBackup = [this](const std::string& why) {
        const QString question =
            "The ESC's settings could not be saved before the update: " + ToQString(why) +
            "\n\nThe new firmware may start from its factory settings, and without a backup "
            "yours would have to be set again by hand. Update the firmware without a backup?";
        return AwaitAnswer([&](quint64 ticket) { emit questionRequested(ticket, question); });
    };
}

bool LinkController::ReadBackPending() const {
    return stack_.ReadBackPending();
}

LinkController::~LinkController() {
    Shutdown();
}

void LinkController::Start() {
    stack_.Start([this] {
        // Asked on the link thread after its tick, where the finding is kept.
        if (const BridgeFinding found = stack_.Link().LastBridgeFinding(); found != finding_) {
            finding_ = found;
            emit bridgeFindingChanged(found);
        }
        emit ticked(stack_.Link().GetDeviceState() == DeviceState::Connected,
                    stack_.Monitor().CardState() == DeviceState::Connected);
        const EscSetupModel& setup = stack_.Setup();
        if (!stack_.Firmware().AnyUpdateRequested() && !setup.WriteRequested() &&
            !setup.DefaultRequested() && !stack_.ReadBackPending()) {
            emit settled();
        }
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
    stack_.Shutdown();
}

void LinkController::ShutdownLater(std::function<void()> stopped) {
    if (stopper_.joinable()) return;
    {
        std::lock_guard lock(messageMutex_);
        shuttingDown_ = true;
    }
    messageDone_.notify_all();
    stopper_ = std::thread([this, stopped = std::move(stopped)] {
        stack_.Shutdown();
        QMetaObject::invokeMethod(this, stopped, Qt::QueuedConnection);
    });
}

void LinkController::ChooseEsc() {
    stack_.Post([this] { stack_.Monitor().ChooseEsc(); });
}

void LinkController::ChooseProgramCard() {
    stack_.Post([this] { stack_.Monitor().ChooseProgramCard(); });
}

void LinkController::ChooseFixMode() {
    stack_.Post([this] { stack_.Monitor().ChooseFixMode(); });
}

void LinkController::Post(std::function<void(ConnectionMonitor&)> job) {
    stack_.Post([this, job = std::move(job)] { job(stack_.Monitor()); });
}

void LinkController::ShowLamps(const LampState& lamps) {
    emit lampsChanged(lamps.usb, lamps.esc, lamps.card);
}

void LinkController::ShowMessage(const std::string& text, MessageIcon icon) {
    Tell(ToQString(text), icon == MessageIcon::Error);
}

void LinkController::Tell(const QString& text, bool errorIcon) {
    static_cast<void>(
        AwaitAnswer([&](quint64 ticket) { emit messageRequested(ticket, text, errorIcon); }));
}

bool LinkController::AskRetry(const std::string& text, RetryOf what) {
    const QString question = RetryQuestion(text, what);
    return AwaitAnswer([&](quint64 ticket) { emit retryRequested(ticket, question); });
}

void LinkController::WriteEnded(const WriteOutcome& outcome) {
    if (!outcome.asked) Tell(OutcomeText(outcome), !outcome.Done());
}

void LinkController::RestoreEnded(const RestoreOutcome& outcome) {
    if (!outcome.asked) Tell(OutcomeText(outcome), !outcome.Done());
}

void LinkController::UpdateEnded(const UpdateOutcome& outcome) {
    // Declining a doubtful image needs no word: the user has just said so.
    if (outcome.result == UpdateOutcome::Result::Declined) return;
    const bool stopped = outcome.result == UpdateOutcome::Result::Failed ||
                         outcome.result == UpdateOutcome::Result::LinkLost;
    emit updateEnded(outcome.device == UpdateOutcome::Device::Card, stopped,
                     outcome.result == UpdateOutcome::Result::Failed);
    Tell(OutcomeText(outcome), !outcome.Done());
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
    emit portProblem(ToQString(text));
}

void LinkController::PortProblemGone() {
    emit portProblem(QString());
}

void LinkController::ShowWriteProgress(const std::string& text) {
    emit writeProgress(ToQString(text));
}

void LinkController::DeviceModeChanged(const DeviceMenuState& state, bool selectLinksPage) {
    emit deviceModeChanged(state.mode, state.escPageEnabled, state.firmwarePageEnabled,
                           selectLinksPage);
}

void LinkController::OddAnswerChanged(const std::string& text) {
    emit oddAnswerChanged(ToQString(text));
}

}  // namespace vorna::gui
