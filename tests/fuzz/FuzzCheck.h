// What the fuzz targets share: stopping on a broken rule, the hex text a reader must have read
// its bytes from, text checks, and a folder for readers that only take a file name.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

#include <unistd.h>

namespace vorna::fuzz {

// Stops the run when `holds` is false; libFuzzer keeps the input that did it.
inline void Require(bool holds, const char* rule) {
    if (holds) return;
    std::fprintf(stderr, "broken rule: %s\n", rule);
    std::abort();
}

// An image refusal's place: for "<file>, <word> <n>: <problem>" the number n; nothing for
// "<file>: <problem>". Stops the run for any other shape, or for a refusal without a problem.
inline std::optional<std::size_t> RefusalPlace(std::string_view detail, std::string_view file,
                                               std::string_view word) {
    Require(detail.substr(0, file.size()) == file, "a refusal names the file first");
    detail.remove_prefix(file.size());
    std::optional<std::size_t> place;
    const std::string lead = std::string(", ") + std::string(word) + " ";
    if (detail.substr(0, lead.size()) == lead) {
        detail.remove_prefix(lead.size());
        std::size_t n = 0;
        std::size_t digits = 0;
        for (; digits < detail.size() && detail[digits] >= '0' && detail[digits] <= '9'; ++digits) {
            n = n * 10 + static_cast<std::size_t>(detail[digits] - '0');
        }
        Require(digits > 0, "a place is a number");
        detail.remove_prefix(digits);
        place = n;
    }
    Require(detail.substr(0, 2) == ": " && detail.size() > 2, "a refusal says what is wrong");
    return place;
}

inline std::string UpperHex(const std::uint8_t* bytes, std::size_t count) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(2 * count);
    for (std::size_t i = 0; i < count; ++i) {
        text += kDigits[bytes[i] >> 4];
        text += kDigits[bytes[i] & 0x0F];
    }
    return text;
}

inline std::string_view AsText(const std::uint8_t* data, std::size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}

// FNV-1a: a number every byte of the input changes, for choices a target makes per input
// (which model types to try) that would be too slow to make every time.
inline std::uint32_t Fnv1a(std::string_view bytes) {
    std::uint32_t hash = 2166136261u;
    for (const char c : bytes) hash = (hash ^ static_cast<unsigned char>(c)) * 16777619u;
    return hash;
}

// Printable ASCII only (0x20 to 0x7E): no control character, nothing a terminal or a label
// could take for anything but a character.
inline bool PrintableAscii(std::string_view text) {
    for (const char c : text) {
        if (c < 0x20 || c > 0x7E) return false;
    }
    return true;
}

// Well-formed UTF-8 as RFC 3629 has it: no stray continuation byte, no overlong form, no
// surrogate, nothing past U+10FFFF, no sequence cut short.
inline bool WellFormedUtf8(std::string_view s) {
    std::size_t i = 0;
    while (i < s.size()) {
        const auto b = static_cast<unsigned char>(s[i]);
        std::size_t n = 0;
        unsigned char low = 0x80, high = 0xBF;  // range of the second byte
        if (b < 0x80) {
            ++i;
            continue;
        } else if (b >= 0xC2 && b <= 0xDF) {
            n = 2;
        } else if (b >= 0xE0 && b <= 0xEF) {
            n = 3;
            if (b == 0xE0) low = 0xA0;
            if (b == 0xED) high = 0x9F;
        } else if (b >= 0xF0 && b <= 0xF4) {
            n = 4;
            if (b == 0xF0) low = 0x90;
            if (b == 0xF4) high = 0x8F;
        } else {
            return false;
        }
        if (i + n > s.size()) return false;
        for (std::size_t k = 1; k < n; ++k) {
            const auto c = static_cast<unsigned char>(s[i + k]);
            if (c < (k == 1 ? low : 0x80) || c > (k == 1 ? high : 0xBF)) return false;
        }
        i += n;
    }
    return true;
}

// Characters (code points) of well-formed UTF-8: the bytes that start one.
inline std::size_t CodePoints(std::string_view s) {
    std::size_t count = 0;
    for (const char c : s) count += (static_cast<unsigned char>(c) & 0xC0) != 0x80 ? 1 : 0;
    return count;
}

// A folder of this process's own for readers that take a file name; removed when the run ends.
// In /dev/shm where there is one: on a disk, each rewrite of a file would wait for the disk.
inline const std::filesystem::path& ScratchFolder() {
    struct Folder {
        std::filesystem::path path;
        Folder() {
            std::error_code ec;
            const std::filesystem::path shm = "/dev/shm";
            const std::filesystem::path base =
                std::filesystem::is_directory(shm, ec) && access(shm.c_str(), W_OK | X_OK) == 0
                    ? shm
                    : std::filesystem::temp_directory_path();
            std::string name = (base / "vorna-fuzz-XXXXXX").string();
            Require(mkdtemp(name.data()) != nullptr, "a scratch folder can be made");
            path = name;
        }
        ~Folder() {
            std::error_code ec;
            std::filesystem::remove_all(path, ec);
        }
    };
    static const Folder folder;
    return folder.path;
}

// Writes `bytes` as ScratchFolder()/name, replacing what was there, and gives its path.
inline std::filesystem::path WriteScratchFile(std::string_view name, std::string_view bytes) {
    const std::filesystem::path path = ScratchFolder() / name;
    std::remove(path.c_str());  // a new file: a file cut short and written again may be synced
    std::FILE* f = std::fopen(path.c_str(), "wb");
    Require(f != nullptr, "a scratch file can be made");
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    Require(std::fclose(f) == 0 && written, "a scratch file can be written");
    return path;
}

}  // namespace vorna::fuzz
