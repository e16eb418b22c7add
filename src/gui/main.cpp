#include <csignal>

#include "gui/Application.h"

int main(int argc, char** argv) {
#ifdef SIGPIPE
    // A write to a port whose device has gone must fail, not end the program. (Windows has no
    // such signal: a write there fails by itself.)
    std::signal(SIGPIPE, SIG_IGN);
#endif
    vorna::gui::Application app(argc, argv);
    return app.Run();
}
