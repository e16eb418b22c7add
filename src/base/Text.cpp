#include "base/Text.h"

#include <cctype>
#include <cstdio>
#include <fstream>

namespace vorna {

std::string HexByte(std::uint8_t byte) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02x", byte);
    return text;
}

std::string HexBytes(const std::uint8_t* bytes, std::size_t count) {
    std::string text;
    for (std::size_t i = 0; i < count; ++i) {
        char hex[4];
        std::snprintf(hex, sizeof hex, "%02x", bytes[i]);
        text += (i == 0 ? "" : " ") + std::string(hex);
    }
    return text;
}

std::string EscapedByte(std::uint8_t byte) {
    char text[8];
    std::snprintf(text, sizeof text, "\\x%02x", byte);
    return text;
}

std::string LowerAscii(std::string_view text) {
    std::string lower(text);
    // By hand rather than std::tolower, whose answer for bytes past ASCII depends on the locale.
    for (char& c : lower) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return lower;
}

std::string FirstLineOf(const std::filesystem::path& file) {
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    while (!line.empty() && std::isspace(static_cast<unsigned char>(line.back()))) line.pop_back();
    return line;
}

}  // namespace vorna
