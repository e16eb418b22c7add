// vornactl simulate: a simulated ESC or program card for tests and demonstrations. The simulated
// devices answer through pseudo-terminals, which Windows does not have: the Windows build says
// so instead (SimulateCommandWin32.cpp).
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace vorna::cli {

// `args`: what follows "simulate" on the command line. Returns the exit code.
int Simulate(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// What --help adds about simulate: nothing where it is there, a note where it is not.
std::string SimulateNote();

}  // namespace vorna::cli
