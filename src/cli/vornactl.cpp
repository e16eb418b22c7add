#include <iostream>

#include "base/Files.h"
#include "cli/QuitSignals.h"
#include "cli/Vornactl.h"

int main(int argc, char** argv) {
    vorna::LetOversizeWritesFail();
    const int code = vorna::cli::RunVornactl(argc, argv);
    // A quit signal held while an update or a write ran ends the program now that the command
    // has said how it ended.
    std::cout.flush();
    std::cerr.flush();
    vorna::cli::ActOnHeldQuitSignal();
    return code;
}
