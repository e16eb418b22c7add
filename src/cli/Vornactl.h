// vornactl: the device code without the window. Exit codes: 0 done, 1 device or link failure,
// 2 usage, 3 file problem; `diff` exits 4 when the two sides differ.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace vorna::cli {

enum ExitCode { kExitOk = 0, kExitDevice = 1, kExitUsage = 2, kExitFile = 3, kExitDiffer = 4 };

int RunVornactl(int argc, char** argv);
// `errIsTerminal`: standard error is a terminal, where a firmware transfer's progress is drawn
// as a bar instead of percentage lines.
int RunVornactl(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                bool errIsTerminal = false);

}  // namespace vorna::cli
