#include "firmware/ImageHash.h"

namespace vorna {

std::string Sha256Hex(std::string_view bytes) {
    const std::optional<Sha256Digest> digest = Sha256(bytes);
    if (!digest) return {};
    static constexpr char kHex[] = "0123456789abcdef";
    std::string hex;
    for (const std::uint8_t b : *digest) {
        hex += kHex[b >> 4];
        hex += kHex[b & 0x0f];
    }
    return hex;
}

}  // namespace vorna
