#include "gui/OutcomeTexts.h"
#include "gui/QtText.h"

namespace vorna::gui {
namespace {

QString NextStepText(NextStep next, UpdateOutcome::Device device = UpdateOutcome::Device::Esc) {
    switch (next) {
        case NextStep::None:
            return {};
        case NextStep::WaitForRead:
            return "Wait until the ESC lamp is lit and the page shows its settings, then send "
                   "again.";
        case NextStep::ChooseEsc:
            return "Choose Device > Esc; its settings are read first.";
        case NextStep::Reconnect:
            return device == UpdateOutcome::Device::Card
                       ? "Check that the USB link is plugged in and the program card is connected "
                         "to it, then try again."
                       : "Check that the USB link is plugged in and the ESC is connected to it and "
                         "switched on, then try again.";
        case NextStep::SendAgain:
            return "Press SEND SETTING to send the settings again.";
        case NextStep::ReadBeforeDriving:
            return "Connect the ESC again and check its settings on the ESC SETUP page before "
                   "you drive.";
        case NextStep::TryAgain:
            return "Click the SAVE picture to try the update again.";
        case NextStep::RepairEsc:
            return "Choose Device > Fix Mode, then flash the image again: that repairs an ESC "
                   "whose firmware is incomplete.";
        case NextStep::FlashCardAgain:
            return "Flash the card again in Program Card mode. If the card is no longer found, "
                   "unplug it, plug it in again and retry.";
    }
    return {};
}

QString Compose(const std::string& message, const QString& next, const std::string& detail = {}) {
    QString text = ToQString(message);
    if (!next.isEmpty()) text += "\n\nWhat to do: " + next;
    if (!detail.empty()) text += "\n\nDetail: " + ToQString(detail);
    return text;
}

}  // namespace

QString OutcomeText(const WriteOutcome& outcome) {
    return Compose(outcome.message, NextStepText(outcome.next));
}

QString OutcomeText(const RestoreOutcome& outcome) {
    return Compose(outcome.message, NextStepText(outcome.next));
}

QString OutcomeText(const UpdateOutcome& outcome) {
    return Compose(outcome.message, NextStepText(outcome.next, outcome.device), outcome.deviceText);
}

QString RetryQuestion(const std::string& text, LinkView::RetryOf what) {
    return ToQString(text) + "\n\n" +
           (what == LinkView::RetryOf::Write
                ? "Retry sends every setting again, from the first. Cancel leaves the ESC as it "
                  "is now: check its settings on this page before you drive."
                : "Retry asks the ESC again to restore its factory settings. Cancel leaves its "
                  "settings as they are.");
}

}  // namespace vorna::gui
