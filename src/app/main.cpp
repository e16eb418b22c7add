#include <csignal>

#include "app/CKelvaran11App.h"

int main(int argc, char** argv) {
    // A write to a port whose device has gone must fail, not end the program.
    std::signal(SIGPIPE, SIG_IGN);
    vorna::app::CKelvaran11App app(argc, argv);
    return app.Run();
}
