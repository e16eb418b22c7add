#include <csignal>
#include <initializer_list>

#include "gui/ProcessSignals.h"

namespace vorna::gui {

void IgnoreBrokenPipes() {
    std::signal(SIGPIPE, SIG_IGN);
}

void CatchQuitSignals(void (*onSignal)(int)) {
    for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) std::signal(signal, onSignal);
}

}  // namespace vorna::gui
