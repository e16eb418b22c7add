// vornactl run in the test's own process, with what it printed kept apart.
#pragma once

#include <sstream>
#include <string>
#include <vector>

#include "cli/Vornactl.h"

namespace vorna::test {

struct CliRun {
    int code = -1;
    std::string out;
    std::string err;
    // The last line of standard error: what the command ended with.
    std::string Last() const {
        std::string text = err;
        while (!text.empty() && text.back() == '\n') text.pop_back();
        const auto at = text.rfind('\n');
        return at == std::string::npos ? text : text.substr(at + 1);
    }
};

// `terminal`: as if standard error were a terminal.
inline CliRun Vornactl(const std::vector<std::string>& args, bool terminal = false) {
    std::ostringstream out, err;
    CliRun run;
    run.code = cli::RunVornactl(args, out, err, terminal);
    run.out = out.str();
    run.err = err.str();
    return run;
}

}  // namespace vorna::test
