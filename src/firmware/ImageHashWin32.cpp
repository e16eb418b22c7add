// Windows' own SHA-256 (its CNG hashing calls), so the Windows programs need no extra library.
#include <windows.h>

#include <bcrypt.h>

#include "firmware/ImageHash.h"

namespace vorna {

std::optional<Sha256Digest> Sha256(std::string_view bytes) {
    BCRYPT_ALG_HANDLE algorithm = nullptr;
    if (BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0) != 0) {
        return std::nullopt;
    }
    Sha256Digest digest{};
    const NTSTATUS status = BCryptHash(
        algorithm, nullptr, 0, reinterpret_cast<PUCHAR>(const_cast<char*>(bytes.data())),
        static_cast<ULONG>(bytes.size()), digest.data(), static_cast<ULONG>(digest.size()));
    BCryptCloseAlgorithmProvider(algorithm, 0);
    if (status != 0) return std::nullopt;
    return digest;
}

}  // namespace vorna
