#include <ostream>

#include "cli/Commands.h"

namespace vorna::cli {

std::string SimulateNote() {
    return "simulate is not part of the Windows build: the simulated devices answer through\n"
           "pseudo-terminals, which Windows does not have. Run them on Linux (vornactl simulate)\n"
           "and reach them through a COM port.\n";
}

int Simulate(const Options&, std::ostream&, std::ostream& err) {
    err << "vornactl: " << SimulateNote();
    return kExitUsage;
}

}  // namespace vorna::cli
