// Nettle's SHA-256 (Debian's nettle): a hash is no place for code of our own.
#include <nettle/sha2.h>

#include "firmware/ImageHash.h"

namespace vorna {

std::optional<Sha256Digest> Sha256(std::string_view bytes) {
    sha256_ctx context;
    sha256_init(&context);
    sha256_update(&context, bytes.size(), reinterpret_cast<const std::uint8_t*>(bytes.data()));
    Sha256Digest digest{};
    sha256_digest(&context, digest.size(), digest.data());
    return digest;
}

}  // namespace vorna
