// The encodings text from files comes in, once for every reader: UTF-8 and Windows-1252 (what
// Windows editors save a Western text in).
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

namespace vorna {

// The well-formed UTF-8 sequence that starts at text[at]: its code point and length in bytes.
// The length is 0 when none starts there (a stray byte, an overlong form, a surrogate, a code
// point past U+10FFFF, or a sequence cut by the end).
struct Utf8Step {
    char32_t cp = 0;
    std::size_t length = 0;
};
Utf8Step NextUtf8(std::string_view text, std::size_t at);

// Whether `text` is well-formed UTF-8 as a whole (no stray bytes, overlong forms, surrogates
// or code points past U+10FFFF).
bool IsUtf8(std::string_view text);

void AppendUtf8(std::string& out, char32_t cp);

// Windows-1252 bytes 80 to 9F as code points. The five it leaves undefined keep their C1 code
// points, so text decoded and encoded again is the same bytes.
extern const std::array<char32_t, 32> kWindows1252High;

// Windows-1252 bytes as UTF-8, by kWindows1252High.
std::string Utf8FromWindows1252(std::string_view bytes);

}  // namespace vorna
