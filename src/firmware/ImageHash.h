// The SHA-256 of an image's bytes, as 64 lower-case hex digits: what the list of shipped images
// records, so that a cut or altered copy of a shipped image can be told from the real one.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vorna {

using Sha256Digest = std::array<std::uint8_t, 32>;

// No value when the system could not hash (Windows' hashing calls failed).
std::optional<Sha256Digest> Sha256(std::string_view bytes);
// Empty when there is no hash: it then matches no shipped image's.
std::string Sha256Hex(std::string_view bytes);

}  // namespace vorna
