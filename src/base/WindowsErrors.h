// Windows only: what the system calls an error, for the messages that pass it on.
#pragma once

#include <string>

namespace vorna {

// The system's own words for an error code (a DWORD), in UTF-8, without the line end and full
// stop; "system error N" when it has none.
std::string WindowsErrorText(unsigned long code);

}  // namespace vorna
