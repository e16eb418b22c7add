#include "settings/IniFile.h"

#include "base/TextEncoding.h"

#include <algorithm>
#include <array>
#include <cstdio>

namespace vorna {
namespace {

constexpr std::string_view kBlanks = " \t\r\v\f";

std::string_view Trim(std::string_view s) {
    const auto first = s.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) return {};
    const auto last = s.find_last_not_of(kBlanks);
    return s.substr(first, last - first + 1);
}

char Lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

enum class Kind { Other, Section, Key };

struct LineInfo {
    Kind kind = Kind::Other;
    std::string_view name;   // section or key name, trimmed
    std::string_view value;  // key value, trimmed
};

LineInfo Classify(std::string_view raw) {
    const std::string_view t = Trim(raw);
    if (t.empty() || t.front() == ';') return {};
    if (t.front() == '[') {
        const auto close = t.rfind(']');
        if (close != std::string_view::npos && close > 0) {
            return {Kind::Section, Trim(t.substr(1, close - 1)), {}};
        }
        // No closing bracket: Windows reads such a line as an ordinary line, so do we.
    }
    const auto eq = t.find('=');
    if (eq == std::string_view::npos) return {};
    return {Kind::Key, Trim(t.substr(0, eq)), Trim(t.substr(eq + 1))};
}

// One character of the text: the well-formed UTF-8 sequence at s[i] with its code point, or a
// byte that starts none, on its own with the code point -1.
struct Char {
    long cp;
    std::size_t length;
};
Char CharAt(std::string_view s, std::size_t i) {
    const Utf8Step step = NextUtf8(s, i);
    if (step.length == 0) return {-1, 1};
    return {static_cast<long>(step.cp), step.length};
}

constexpr long kReplacement = 0xFFFD;

unsigned Utf16Unit(std::string_view bytes, std::size_t i) {
    return static_cast<unsigned char>(bytes[i]) |
           (static_cast<unsigned>(static_cast<unsigned char>(bytes[i + 1])) << 8);
}

std::string DecodeUtf16Le(std::string_view bytes) {
    std::string out;
    std::size_t i = 0;
    for (; i + 2 <= bytes.size(); i += 2) {
        const unsigned unit = Utf16Unit(bytes, i);
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 4 <= bytes.size()) {
            const unsigned low = Utf16Unit(bytes, i + 2);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                AppendUtf8(
                    out, static_cast<char32_t>(0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00)));
                i += 2;
                continue;
            }
        }
        AppendUtf8(out, static_cast<char32_t>(unit >= 0xD800 && unit <= 0xDFFF ? 0xFFFD : unit));
    }
    if (i < bytes.size())
        AppendUtf8(out, static_cast<char32_t>(kReplacement));  // half a unit at the end
    return out;
}

// Windows-1252's undefined bytes, kept as C1 code points while the line is ours, go out as
// U+FFFD (see the header). They are the only C1 code points a Windows-1252 file decodes to.
std::string ShownWindows1252(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\xC2' && i + 1 < text.size() &&
            (static_cast<unsigned char>(text[i + 1]) & 0xE0) == 0x80) {
            AppendUtf8(out, static_cast<char32_t>(kReplacement));
            ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::string CutChars(std::string_view s, std::size_t maxChars) {
    std::size_t i = 0;
    for (std::size_t count = 0; i < s.size() && count < maxChars; ++count) {
        i += CharAt(s, i).length;
    }
    return std::string(s.substr(0, i));
}

std::string_view Unquote(std::string_view v) {
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front()) {
        return v.substr(1, v.size() - 2);
    }
    return v;
}

}  // namespace

bool IniFile::EqualNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (Lower(a[i]) != Lower(b[i])) return false;
    }
    return true;
}

bool IniFile::StartsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && EqualNoCase(text.substr(0, prefix.size()), prefix);
}

Status IniFile::Load(const std::filesystem::path& path, std::string_view kind) {
    Parse({});
    const Result<std::string> file = ReadSmallFile(path, kMaxIniFileBytes, kind);
    if (!file) return file.Error();
    Parse(*file);
    return {};
}

void IniFile::Parse(std::string_view bytes) {
    lines_.clear();
    mark_.clear();
    encoding_ = Encoding::Utf8;
    eol_ = SystemLineEnd();
    if (bytes.substr(0, 2) == "\xFF\xFE") {
        encoding_ = Encoding::Utf16Le;
        mark_ = bytes.substr(0, 2);
    } else {
        if (bytes.substr(0, 3) == "\xEF\xBB\xBF") mark_ = bytes.substr(0, 3);
        if (!IsUtf8(bytes.substr(mark_.size()))) encoding_ = Encoding::Windows1252;
    }
    bytes.remove_prefix(mark_.size());

    // CR LF, LF and CR each end a line; in UTF-16 they are code units, not bytes.
    const std::size_t width = encoding_ == Encoding::Utf16Le ? 2 : 1;
    const auto unit = [&](std::size_t i) {
        return width == 2 ? Utf16Unit(bytes, i) : static_cast<unsigned char>(bytes[i]);
    };
    bool eolFound = false;
    const auto addLine = [&](std::size_t from, std::size_t to, std::size_t endBytes) {
        Line line;
        const std::string_view text = bytes.substr(from, to - from);
        switch (encoding_) {
            case Encoding::Utf8:
                line.text = text;
                break;
            case Encoding::Windows1252:
                line.text = Utf8FromWindows1252(text);
                break;
            case Encoding::Utf16Le:
                line.text = DecodeUtf16Le(text);
                break;
        }
        if (endBytes > 0) {
            line.end = endBytes == 2 * width ? "\r\n" : unit(to) == '\r' ? "\r" : "\n";
            if (!eolFound) eol_ = line.end;
            eolFound = true;
        }
        line.raw = bytes.substr(from, to - from + endBytes);
        lines_.push_back(std::move(line));
    };
    std::size_t start = 0;
    for (std::size_t i = 0; i + width <= bytes.size();) {
        const unsigned u = unit(i);
        if (u != '\r' && u != '\n') {
            i += width;
            continue;
        }
        std::size_t endBytes = width;
        if (u == '\r' && i + 2 * width <= bytes.size() && unit(i + width) == '\n') endBytes *= 2;
        addLine(start, i, endBytes);
        i += endBytes;
        start = i;
    }
    if (start < bytes.size()) addLine(start, bytes.size(), 0);
}

IniFile::Value IniFile::Find(std::string_view section, std::string_view key,
                             std::size_t maxChars) const {
    bool inSection = false;
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        const LineInfo info = Classify(lines_[i].text);
        if (info.kind == Kind::Section) {
            if (inSection) break;  // only the first section of that name is searched
            inSection = EqualNoCase(info.name, section);
        } else if (inSection && info.kind == Kind::Key && EqualNoCase(info.name, key)) {
            const std::string_view value = Unquote(info.value);
            return {true,
                    CutChars(encoding_ == Encoding::Windows1252 ? ShownWindows1252(value)
                                                                : std::string(value),
                             maxChars),
                    static_cast<int>(i + 1)};
        }
    }
    return {};
}

std::string IniFile::Get(std::string_view section, std::string_view key, std::string_view fallback,
                         std::size_t maxChars) const {
    Value v = Find(section, key, maxChars);
    return v.found ? std::move(v.text) : CutChars(fallback, maxChars);
}

bool IniFile::HasSection(std::string_view section) const {
    for (const auto& line : lines_) {
        const LineInfo info = Classify(line.text);
        if (info.kind == Kind::Section && EqualNoCase(info.name, section)) return true;
    }
    return false;
}

std::vector<IniFile::KeyLine> IniFile::KeysIn(std::string_view section) const {
    std::vector<KeyLine> keys;
    bool inSection = false;
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        const LineInfo info = Classify(lines_[i].text);
        if (info.kind == Kind::Section) {
            if (inSection) break;  // only the first section of that name is read
            inSection = EqualNoCase(info.name, section);
        } else if (inSection && info.kind == Kind::Key) {
            keys.push_back({std::string(info.name), static_cast<int>(i + 1)});
        }
    }
    return keys;
}

std::vector<IniFile::KeyLine> IniFile::OtherLinesIn(std::string_view section) const {
    std::vector<KeyLine> others;
    bool inSection = false;
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        const std::string_view text = Trim(lines_[i].text);
        const LineInfo info = Classify(text);
        if (info.kind == Kind::Section) {
            if (inSection) break;
            inSection = EqualNoCase(info.name, section);
        } else if (inSection && info.kind == Kind::Other && !text.empty() && text.front() != ';') {
            others.push_back({std::string(text), static_cast<int>(i + 1)});
        }
    }
    return others;
}

std::string IniFile::Encode(std::string_view text) const {
    if (encoding_ == Encoding::Utf8) return std::string(text);
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        const Char c = CharAt(text, i);
        long cp = c.cp;
        i += c.length;
        if (encoding_ == Encoding::Utf16Le) {
            if (cp < 0) cp = kReplacement;
            const auto put = [&](long u) {
                out += static_cast<char>(u & 0xFF);
                out += static_cast<char>((u >> 8) & 0xFF);
            };
            if (cp >= 0x10000) {
                put(0xD800 + ((cp - 0x10000) >> 10));
                put(0xDC00 + ((cp - 0x10000) & 0x3FF));
            } else {
                put(cp);
            }
            continue;
        }
        char byte = '?';
        if ((cp >= 0 && cp < 0x80) || (cp >= 0xA0 && cp <= 0xFF)) {
            byte = static_cast<char>(cp);
        } else if (cp >= 0) {
            const auto at = std::find(kWindows1252High.begin(), kWindows1252High.end(),
                                      static_cast<char32_t>(cp));
            if (at != kWindows1252High.end()) {
                byte = static_cast<char>(0x80 + (at - kWindows1252High.begin()));
            }
        }
        out += byte;
    }
    return out;
}

// Gives the line at `index` the file's line end when it has none (the last line).
void IniFile::EndLastLine(std::size_t index) {
    Line& line = lines_[index];
    if (!line.end.empty()) return;
    if (encoding_ == Encoding::Utf16Le && line.raw.size() % 2 != 0) {
        // Half a code unit at the end of a UTF-16 file, read as U+FFFD: written as that, so
        // that what follows stays aligned and the line reads as before.
        line.raw.pop_back();
        line.raw += Encode("\xEF\xBF\xBD");
    }
    line.end = eol_;
    line.raw += Encode(eol_);
}

void IniFile::Set(std::string_view section, std::string_view key, std::string_view value) {
    std::string clean(value);
    for (char& c : clean) {
        if (c == '\r' || c == '\n') c = ' ';
    }
    const auto newLine = [&](std::string text) {
        Line line{std::move(text), eol_, {}};
        line.raw = Encode(line.text + line.end);
        return line;
    };

    std::size_t header = lines_.size();  // the first matching section's header line
    std::size_t lastFilled = 0;          // last non-blank line of that section
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        const LineInfo info = Classify(lines_[i].text);
        if (info.kind == Kind::Section) {
            if (header != lines_.size()) break;
            if (EqualNoCase(info.name, section)) header = lastFilled = i;
            continue;
        }
        if (header == lines_.size()) continue;
        if (info.kind == Kind::Key && EqualNoCase(info.name, key)) {
            Line& line = lines_[i];
            line.text = std::string(info.name) + "=" + clean;
            line.raw = Encode(line.text + line.end);
            return;
        }
        if (!Trim(lines_[i].text).empty()) lastFilled = i;
    }
    const std::string keyLine = std::string(key) + "=" + clean;
    if (header != lines_.size()) {
        EndLastLine(lastFilled);
        const std::size_t at = lastFilled + 1;
        Line line = newLine(keyLine);
        if (line.end == "\r" && at < lines_.size() && lines_[at].text.empty() &&
            lines_[at].end == "\n") {
            // A CR right before a blank line that ends in a lone LF would read as one CR LF and
            // swallow that line.
            line.end = "\r\n";
            line.raw = Encode(line.text + line.end);
        }
        lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(at), std::move(line));
        return;
    }
    if (!lines_.empty()) EndLastLine(lines_.size() - 1);
    lines_.push_back(newLine("[" + std::string(section) + "]"));
    lines_.push_back(newLine(keyLine));
}

std::string IniFile::Text() const {
    std::string out = mark_;
    for (const auto& line : lines_) out += line.raw;
    return out;
}

Status IniFile::Save(const std::filesystem::path& path) const {
    return WriteFileReplacing(path, Text());
}

}  // namespace vorna
