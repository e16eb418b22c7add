#include <csignal>

#include "gui/Application.h"

int main(int argc, char** argv) {
    // A write to a port whose device has gone must fail, not end the program.
    std::signal(SIGPIPE, SIG_IGN);
    vorna::gui::Application app(argc, argv);
    return app.Run();
}
