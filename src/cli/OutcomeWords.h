// vornactl's words for what to do after a procedure on the device ended: its commands, where the
// window names its menus. `image` is the firmware image of a flash command, for the repair line.
#pragma once

#include <string>

#include "base/Result.h"
#include "protocol/Outcomes.h"

namespace vorna::cli {

std::string NextStepWords(NextStep next, const std::string& image = {});

// vornactl's exit code for a problem, by its kind: what a file or an argument holds (or does
// not) exits 3, what the port, the system or a device did exits 1.
int ExitCodeFor(const Problem& problem);

// "vornactl: <message>", then what to do and the device's own text, as lines for standard
// error (file and device texts in the message escaped).
std::string FailureLines(const std::string& message, NextStep next,
                         const std::string& deviceText = {}, const std::string& image = {});

}  // namespace vorna::cli
