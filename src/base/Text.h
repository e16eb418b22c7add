// Small text helpers every layer uses, kept once here at the bottom: bytes as hex, a byte
// escaped for showing, ASCII lower case, and the first line of a small system file (sysfs,
// /proc).
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace vorna {

// "0xd5"
std::string HexByte(std::uint8_t byte);
// "0b 40 83 05": two lower-case digits a byte, a space between bytes.
std::string HexBytes(const std::uint8_t* bytes, std::size_t count);
// "\x1b": a byte that must not reach a terminal or a label as it is, in the C escape that shows
// it.
std::string EscapedByte(std::uint8_t byte);
// ASCII letters in lower case; every other byte as it is.
std::string LowerAscii(std::string_view text);
// The file's first line without its line end and trailing blanks; empty when it cannot be read.
std::string FirstLineOf(const std::filesystem::path& file);

}  // namespace vorna
