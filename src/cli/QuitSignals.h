// A firmware update cut off half-way can leave the device without working firmware. While one
// runs, whatever would end vornactl (Ctrl-C, a polite kill; on Windows also Ctrl-Break and the
// console window closing) is held: said once, and acted on when the command has printed how it
// ended. QuitSignalsPosix.cpp and QuitSignalsWin32.cpp.
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

// The quit request held since the last call (0: none), forgotten by this call.
int TakeHeldQuitSignal();

// Ends the program as the held quit request asked, if one came; otherwise returns. vornactl
// calls it once the command has printed its outcome.
void ActOnHeldQuitSignal();

}  // namespace vorna::cli
