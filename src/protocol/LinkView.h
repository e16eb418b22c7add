// What the user sees of the link: lamps, messages, the write progress. The window implements
// it with queued signals; vornactl prints; tests record.
#pragma once

#include <string>

#include "protocol/Outcomes.h"

namespace vorna {

enum class MessageIcon { None, Error };

enum class DeviceMode { None, Esc, Card, Fix };

// What the Device menu and the page buttons show after a mode change.
struct DeviceMenuState {
    DeviceMode mode = DeviceMode::None;
    bool escPageEnabled = false;       // the ESC page button
    bool firmwarePageEnabled = false;  // the firmware page button
    bool operator==(const DeviceMenuState&) const = default;
};

struct LampState {
    bool usb = false;
    bool esc = false;
    bool card = false;
    bool operator==(const LampState&) const = default;
};

class LinkView {
public:
    virtual ~LinkView() = default;

    virtual void ShowLamps(const LampState& lamps) = 0;
    // Modal: returns only when the user has dismissed the message, so "show the message,
    // then the next tick" keeps its order.
    virtual void ShowMessage(const std::string& text, MessageIcon icon) = 0;
    // Modal, like ShowMessage, with Retry and Cancel: true when the user chose Retry, which
    // keeps the request for the next tick. Where nobody can answer, the default gives up (the
    // outcome follows).
    enum class RetryOf { Write, Restore };
    virtual bool AskRetry(const std::string& /*text*/, RetryOf /*what*/) { return false; }
    // A procedure ended; modal like ShowMessage. By default its message is shown.
    virtual void WriteEnded(const WriteOutcome& outcome) { Show(outcome); }
    virtual void RestoreEnded(const RestoreOutcome& outcome) { Show(outcome); }
    virtual void UpdateEnded(const UpdateOutcome& outcome) { Show(outcome); }
    // A port that exists but cannot be opened; said once until the situation changes.
    virtual void ShowPortProblem(const std::string& text) = 0;
    // The problem last shown is over: the port opened, or the bridge has gone altogether.
    virtual void PortProblemGone() {}
    // Caption of the write-progress button ("50% ").
    virtual void ShowWriteProgress(const std::string& text) = 0;
    // The settings of the connected ESC were read (or restored) and the page shows them.
    virtual void SettingsApplied() {}
    // The identified device changed (or was lost); the page texts may have changed.
    virtual void DeviceChanged() {}
    // Something answers the chosen mode's check or identification, but not as that device does
    // (ConnectionMonitor::OddAnswer's sentence), or no longer does (empty). Said on each change.
    virtual void OddAnswerChanged(const std::string& /*text*/) {}
    // The Device menu moved to another mode; `selectLinksPage` asks for the links page.
    virtual void DeviceModeChanged(const DeviceMenuState& /*state*/, bool /*selectLinksPage*/) {}

private:
    template <typename Outcome>
    void Show(const Outcome& outcome) {
        if constexpr (requires { outcome.asked; }) {
            if (outcome.asked) return;  // said with the Retry question already
        }
        if (!outcome.message.empty()) {
            ShowMessage(outcome.message, outcome.Done() ? MessageIcon::None : MessageIcon::Error);
        }
    }
};

}  // namespace vorna
