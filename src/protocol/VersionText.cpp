#include "protocol/VersionText.h"

#include <cstdio>

namespace vorna {

std::string VersionText(std::uint8_t v) {
    // Single precision; for every byte value this prints the same text as double precision.
    const float version = static_cast<float>(v) / 10.0f + 1.0f;
    char text[16];
    std::snprintf(text, sizeof text, "%.2f", static_cast<double>(version));
    return text;
}

}  // namespace vorna
