// Held quit requests on Windows come to a console control handler, on a thread of their own.
// Ctrl-C and Ctrl-Break are noted and swallowed. The console window closing, a logoff and a
// shutdown end the process once the handler returns (Windows waits only a few seconds for it),
// so the handler keeps the process alive until the command has said how the work ended, as long
// as Windows lets it; the process then ends as asked.
#include <windows.h>

#include <atomic>
#include <cstring>
#include <mutex>
#include <string>

#include "cli/QuitSignals.h"

namespace vorna::cli {
namespace {

// What a console program ends with on Ctrl-C or Ctrl-Break.
constexpr UINT kControlCExit = 0xC000013A;
// The longest the console's closing is held for the held work and the command's last word: an
// update or a write ends well within it (each has its own time limit), and a command that never
// gets to say how it ended does not keep the process alive beyond it.
constexpr DWORD kLongestHoldMs = 5 * 60 * 1000;

std::mutex gMutex;
std::string gNote;
std::atomic<int> gHeld{0};  // the control event plus one; 0: none
HANDLE gSaid = nullptr;     // set once the command has said how it ended: the handler may return

void SayOnce(DWORD event) {
    int none = 0;
    if (!gHeld.compare_exchange_strong(none, static_cast<int>(event) + 1)) return;
    std::string note;
    {
        std::lock_guard lock(gMutex);
        note = gNote;
    }
    DWORD written = 0;
    ::WriteFile(::GetStdHandle(STD_ERROR_HANDLE), note.data(), static_cast<DWORD>(note.size()),
                &written, nullptr);
}

BOOL WINAPI OnControl(DWORD event) {
    switch (event) {
        case CTRL_C_EVENT:
        case CTRL_BREAK_EVENT:
            SayOnce(event);
            return TRUE;
        case CTRL_CLOSE_EVENT:
        case CTRL_LOGOFF_EVENT:
        case CTRL_SHUTDOWN_EVENT:
            SayOnce(event);
            if (gSaid) ::WaitForSingleObject(gSaid, kLongestHoldMs);
            return FALSE;
        default:
            return FALSE;
    }
}

}  // namespace

QuitSignalsHeld::QuitSignalsHeld(const char* what) {
    {
        std::lock_guard lock(gMutex);
        gNote = std::string("\r\nvornactl: waiting for ") + what + " to end before quitting\r\n";
    }
    if (!gSaid) gSaid = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ::SetConsoleCtrlHandler(OnControl, TRUE);
}

QuitSignalsHeld::~QuitSignalsHeld() {
    // From now on a request ends the program at once; one already held waits for
    // ActOnHeldQuitSignal.
    ::SetConsoleCtrlHandler(OnControl, FALSE);
}

int TakeHeldQuitSignal() {
    return gHeld.exchange(0);
}

void ActOnHeldQuitSignal() {
    const int held = TakeHeldQuitSignal();
    if (held == 0) return;
    if (gSaid) ::SetEvent(gSaid);
    ::ExitProcess(held - 1 == CTRL_C_EVENT || held - 1 == CTRL_BREAK_EVENT ? kControlCExit : 0);
}

}  // namespace vorna::cli
