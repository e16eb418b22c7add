// Paths and the UTF-8 text the program keeps everywhere else. On Windows a path holds UTF-16,
// and path(std::string) and path.string() there read and write the ANSI code page, which mangles
// or refuses any name outside it; on Linux both are the bytes as they are. These two are the
// one way between a path and text, right on both.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "base/TextEncoding.h"

namespace vorna {

// UTF-8 text as UTF-16 (Windows' wide strings); bytes that are not UTF-8 become U+FFFD.
inline std::wstring WideFromUtf8(std::string_view text) {
    static_assert(sizeof(wchar_t) == 2 || sizeof(wchar_t) == 4);
    std::wstring wide;
    for (std::size_t i = 0; i < text.size();) {
        const Utf8Step step = NextUtf8(text, i);
        const char32_t cp = step.length == 0 ? char32_t{0xFFFD} : step.cp;
        i += step.length == 0 ? 1 : step.length;
        if (sizeof(wchar_t) == 2 && cp >= 0x10000) {
            wide += static_cast<wchar_t>(0xD800 + ((cp - 0x10000) >> 10));
            wide += static_cast<wchar_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
        } else {
            wide += static_cast<wchar_t>(cp);
        }
    }
    return wide;
}

// A wide string as UTF-8; a lone surrogate (Windows allows them in file names) becomes U+FFFD.
inline std::string Utf8FromWide(std::wstring_view wide) {
    std::string text;
    for (std::size_t i = 0; i < wide.size(); ++i) {
        char32_t cp = static_cast<char32_t>(wide[i]);
        if (sizeof(wchar_t) == 2 && cp >= 0xD800 && cp <= 0xDFFF) {
            const char32_t low = i + 1 < wide.size() ? static_cast<char32_t>(wide[i + 1]) : 0;
            if (cp <= 0xDBFF && low >= 0xDC00 && low <= 0xDFFF) {
                cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
                ++i;
            } else {
                cp = 0xFFFD;
            }
        }
        AppendUtf8(text, cp > 0x10FFFF ? char32_t{0xFFFD} : cp);
    }
    return text;
}

namespace detail {
inline std::string NativeFromUtf8(std::string_view text, const std::string*) {
    return std::string(text);
}
inline std::wstring NativeFromUtf8(std::string_view text, const std::wstring*) {
    return WideFromUtf8(text);
}
inline std::string Utf8FromNative(const std::string& native) {
    return native;
}
inline std::string Utf8FromNative(const std::wstring& native) {
    return Utf8FromWide(native);
}
}  // namespace detail

// The path that UTF-8 text names.
inline std::filesystem::path PathFromUtf8(std::string_view text) {
    using Native = std::filesystem::path::string_type;
    return std::filesystem::path(detail::NativeFromUtf8(text, static_cast<const Native*>(nullptr)));
}

// A path as UTF-8 text, for messages and for the places that keep names as text.
inline std::string Utf8FromPath(const std::filesystem::path& path) {
    return detail::Utf8FromNative(path.native());
}

}  // namespace vorna
