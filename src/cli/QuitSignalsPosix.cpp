#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <iterator>

#include "cli/QuitSignals.h"

namespace vorna::cli {
namespace {

constexpr int kHeld[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
volatile std::sig_atomic_t gHeld = 0;
// The note, written once by the handler: built before the handlers are in place, since a
// handler may only write what is ready.
char gNote[160] = {};
std::size_t gNoteLength = 0;
struct sigaction gPrevious[std::size(kHeld)];

extern "C" void OnQuitWhileHeld(int signal) {
    if (gHeld != 0) return;
    gHeld = signal;
    // A lost line on a closed standard error changes nothing: the work goes on either way.
    const ssize_t written = ::write(STDERR_FILENO, gNote, gNoteLength);
    static_cast<void>(written);
}

}  // namespace

QuitSignalsHeld::QuitSignalsHeld(const char* what) {
    const char* head = "\nvornactl: waiting for ";
    const char* tail = " to end before quitting\n";
    gNoteLength = 0;
    for (const char* part : {head, what, tail}) {
        const std::size_t n = std::min(std::strlen(part), sizeof gNote - 1 - gNoteLength);
        std::memcpy(gNote + gNoteLength, part, n);
        gNoteLength += n;
    }
    struct sigaction held {};
    held.sa_handler = OnQuitWhileHeld;
    held.sa_flags = SA_RESTART;
    sigemptyset(&held.sa_mask);
    for (std::size_t i = 0; i < std::size(kHeld); ++i) {
        // A signal the program was started to ignore (nohup) stays ignored.
        sigaction(kHeld[i], nullptr, &gPrevious[i]);
        if (gPrevious[i].sa_handler != SIG_IGN) sigaction(kHeld[i], &held, nullptr);
    }
}

QuitSignalsHeld::~QuitSignalsHeld() {
    for (std::size_t i = 0; i < std::size(kHeld); ++i) sigaction(kHeld[i], &gPrevious[i], nullptr);
}

int TakeHeldQuitSignal() {
    const int held = gHeld;
    gHeld = 0;
    return held;
}

void ActOnHeldQuitSignal() {
    const int held = TakeHeldQuitSignal();
    if (held == 0) return;
    if (held == SIGQUIT) std::_Exit(128 + SIGQUIT);  // a core dump would say nothing of use
    std::signal(held, SIG_DFL);
    std::raise(held);
    std::_Exit(128 + held);  // were it ignored by the parent's choice
}

}  // namespace vorna::cli
