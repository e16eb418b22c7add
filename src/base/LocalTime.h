// The local time of day, for names the user reads (backup files). The standard's localtime()
// shares one buffer between threads; each system has its own reentrant call.
#pragma once

#include <ctime>

namespace vorna {

// `when` as local calendar time; all zero when the system cannot say.
std::tm LocalTime(std::time_t when);

}  // namespace vorna
