// How both firmware updates end when the device stops answering as it should: the port is
// closed (the device is in a state nobody knows: it is found afresh), and the outcome says
// what stopped, whether the link was lost, what the firmware is now and what to do.
#pragma once

#include <string>

#include "link/UsbUart.h"
#include "protocol/Outcomes.h"

namespace vorna {

// `device` names it in the message ("ESC", "program card"); `usable` says, for `firmware`,
// whether it can still be used; `repair` is the next step when its firmware is or may be
// incomplete.
void StopUpdate(UsbUart& link, UpdateOutcome& outcome, const std::string& device,
                const std::string& step, const char* deviceText, UpdateOutcome::Firmware firmware,
                const std::string& usable, NextStep repair);

}  // namespace vorna
