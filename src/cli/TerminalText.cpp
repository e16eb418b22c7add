#include "cli/TerminalText.h"

#include <charconv>
#include <cstdint>
#include <cstdio>

#include "base/Text.h"
#include "base/TextEncoding.h"

namespace vorna::cli {
namespace {

std::string Escape(std::string_view text, bool keepLineFeeds) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte >= 0x20 && byte < 0x7F) {
            out += text[i++];
            continue;
        }
        if (byte < 0x80 || byte == 0x7F) {
            if (byte == '\n' && keepLineFeeds) {
                out += '\n';
            } else if (byte == '\n') {
                out += "\\n";
            } else if (byte == '\r') {
                out += "\\r";
            } else if (byte == '\t') {
                out += "\\t";
            } else {
                out += EscapedByte(byte);
            }
            ++i;
            continue;
        }
        const std::size_t n = NextUtf8(text, i).length;
        // U+0080 to U+009F, the C1 controls (CSI among them), are C2 80 to C2 9F.
        const bool c1 = n == 2 && byte == 0xC2 && static_cast<unsigned char>(text[i + 1]) < 0xA0;
        if (n == 0 || c1) {
            const std::size_t bytes = n == 0 ? 1 : n;
            for (std::size_t k = 0; k < bytes; ++k) {
                out += EscapedByte(static_cast<std::uint8_t>(text[i + k]));
            }
            i += bytes;
            continue;
        }
        out.append(text.substr(i, n));
        i += n;
    }
    return out;
}

}  // namespace

std::string Shown(std::string_view text) {
    return Escape(text, false);
}

std::string ShownLines(std::string_view text) {
    return Escape(text, true);
}

std::string JsonQuoted(std::string_view text) {
    std::string out = "\"";
    const auto unicode = [&out](unsigned value) {
        char esc[8];
        std::snprintf(esc, sizeof esc, "\\u%04x", value);
        out += esc;
    };
    for (std::size_t i = 0; i < text.size();) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte == '"' || byte == '\\') {
            out += '\\';
            out += text[i++];
        } else if (byte < 0x20 || byte == 0x7F) {
            unicode(byte);
            ++i;
        } else if (byte < 0x80) {
            out += text[i++];
        } else if (const std::size_t n = NextUtf8(text, i).length; n == 0) {
            unicode(byte);
            ++i;
        } else if (n == 2 && byte == 0xC2 && static_cast<unsigned char>(text[i + 1]) < 0xA0) {
            unicode(static_cast<unsigned char>(text[i + 1]));
            i += 2;
        } else {
            out.append(text.substr(i, n));
            i += n;
        }
    }
    return out + "\"";
}

std::string ShellWord(std::string_view text, Shell shell) {
    std::string word;
    if (shell == Shell::Posix) {
        word = "'";
        for (const char c : text) word += c == '\'' ? std::string("'\\''") : std::string(1, c);
        return word + "'";
    }
    word = "\"";
    std::size_t backslashes = 0;
    for (const char c : text) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        // Backslashes count only before a quote: there each stands for half of itself.
        word.append(c == '"' ? 2 * backslashes + 1 : backslashes, '\\');
        backslashes = 0;
        word += c;
    }
    word.append(2 * backslashes, '\\');
    return word + "\"";
}

std::optional<int> WholeNumber(std::string_view text, int min, int max) {
    if (text.empty()) return std::nullopt;
    for (const char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
    }
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    if (value < min || value > max) return std::nullopt;
    return value;
}

}  // namespace vorna::cli
