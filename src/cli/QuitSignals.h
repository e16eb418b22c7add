// A firmware update cut off half-way can leave the device without working firmware, and a
// settings write cut off leaves the ESC with a mix of old and new settings. While either runs,
// whatever would end vornactl (Ctrl-C, Ctrl-\, a polite kill, the terminal closing) is held:
// said once, and acted on when the command has printed how it ended.
#pragma once

namespace vorna::cli {

class QuitSignalsHeld {
public:
    // `what` names what is waited for ("the firmware update"); it must outlive the object.
    explicit QuitSignalsHeld(const char* what);
    ~QuitSignalsHeld();
    QuitSignalsHeld(const QuitSignalsHeld&) = delete;
    QuitSignalsHeld& operator=(const QuitSignalsHeld&) = delete;
};

// The quit signal held since the last call (0: none), forgotten by this call.
int TakeHeldQuitSignal();

// Ends the program as the held quit signal asked, if one came; otherwise returns. vornactl's
// main calls it once the command has printed its outcome.
void ActOnHeldQuitSignal();

}  // namespace vorna::cli
