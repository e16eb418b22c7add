#include "firmware/UpdateStop.h"

#include "protocol/Messages.h"

namespace vorna {

void StopUpdate(UsbUart& link, UpdateOutcome& outcome, const std::string& device,
                const std::string& step, const char* deviceText, UpdateOutcome::Firmware firmware,
                const std::string& usable, NextStep repair) {
    const bool lost = link.PortGone();
    link.ClosePort();
    outcome.result = lost ? UpdateOutcome::Result::LinkLost : UpdateOutcome::Result::Failed;
    outcome.firmware = firmware;
    outcome.deviceText = deviceText;
    outcome.next = firmware != UpdateOutcome::Firmware::Untouched ? repair
                   : lost                                         ? NextStep::Reconnect
                                                                  : NextStep::TryAgain;
    outcome.message = msg::UpdateStopped(lost, device, step, usable);
}

}  // namespace vorna
