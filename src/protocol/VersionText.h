// The version text of an identity's version byte, as the setup page keeps it and the firmware
// page shows it.
#pragma once

#include <cstdint>
#include <string>

namespace vorna {

// v / 10 + 1 with two decimals: 3 gives "1.30", 255 gives "26.50". No "1.4-2" rule here; the
// ESC's firmware text adds that itself.
std::string VersionText(std::uint8_t v);

}  // namespace vorna
