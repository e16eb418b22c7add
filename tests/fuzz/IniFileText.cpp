// The INI reader and writer (IniFile) on any bytes. Beyond not crashing:
// - the bytes come back as they were read;
// - every lookup finds what the rules in IniFile.h say, as a model of them written out here
//   finds it (the file decoded as a whole, cut into lines at CR LF, LF and CR, then into
//   sections of key lines, then searched); a value found is UTF-8, has no line break, and no
//   blank at either end unless quotes enclosed it;
// - a value cut to n characters is the start of the whole value, cut between characters;
// - a write changes or adds only its own lines, each with the file's first line end (a last
//   line without one gets it first), keeps the encoding, and what it wrote is read back (line
//   breaks as spaces, blanks trimmed, enclosing quotes removed) whenever the names can be
//   written at all (not a key with '=' or blanks around it, or one starting with '[' when the
//   line holds a ']').
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "FuzzCheck.h"
#include "settings/IniFile.h"

namespace {

using namespace vorna;
using fuzz::Require;

constexpr std::string_view kBom = "\xEF\xBB\xBF";
constexpr std::string_view kBlanks = " \t\r\v\f";
constexpr std::size_t kWhole = std::numeric_limits<std::size_t>::max();

std::string_view Trim(std::string_view s) {
    const auto first = s.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) return {};
    return s.substr(first, s.find_last_not_of(kBlanks) - first + 1);
}

bool SameName(std::string_view a, std::string_view b) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [&](char x, char y) { return lower(x) == lower(y); });
}

std::string_view Unquoted(std::string_view v) {
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front()) {
        return v.substr(1, v.size() - 2);
    }
    return v;
}

void PutUtf8(std::string& out, std::uint32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// What Windows-1252 makes of 80 to 9F (its five holes as their C1 code points, as the reader
// keeps them; a value found has U+FFFD for them).
constexpr std::uint32_t kHigh1252[32] = {
    0x20AC, 0x81,   0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x8D,   0x017D, 0x8F,   0x90,   0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x9D,   0x017E, 0x0178};

// How the reader takes a file's bytes (IniFile.h).
enum class Encoding { Utf8, Windows1252, Utf16Le };

// The whole file as UTF-8 text, with the encoding it was found in.
struct Decoded {
    Encoding encoding = Encoding::Utf8;
    std::string text;
};

// `western`: read as Windows-1252 whenever there is no UTF-16 mark.
Decoded Decode(std::string_view bytes, bool western = false) {
    Decoded d;
    if (bytes.substr(0, 2) == "\xFF\xFE") {
        d.encoding = Encoding::Utf16Le;
        std::vector<std::uint32_t> units;
        for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) {
            units.push_back(static_cast<unsigned char>(bytes[i]) |
                            static_cast<unsigned char>(bytes[i + 1]) << 8);
        }
        for (std::size_t i = 0; i < units.size(); ++i) {
            const std::uint32_t u = units[i];
            const bool high = u >= 0xD800 && u < 0xDC00;
            if (high && i + 1 < units.size() && units[i + 1] >= 0xDC00 && units[i + 1] < 0xE000) {
                PutUtf8(d.text, 0x10000 + ((u - 0xD800) << 10) + (units[i + 1] - 0xDC00));
                ++i;
            } else {
                PutUtf8(d.text, u >= 0xD800 && u < 0xE000 ? 0xFFFD : u);
            }
        }
        if (bytes.size() % 2 != 0) PutUtf8(d.text, 0xFFFD);
        return d;
    }
    if (bytes.substr(0, kBom.size()) == kBom) bytes.remove_prefix(kBom.size());
    if (!western && fuzz::WellFormedUtf8(bytes)) {
        d.text = bytes;
        return d;
    }
    d.encoding = Encoding::Windows1252;
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        PutUtf8(d.text, b >= 0x80 && b < 0xA0 ? kHigh1252[b - 0x80] : b);
    }
    return d;
}

// A value as a lookup gives it: Windows-1252's holes as U+FFFD.
std::string AsFound(std::string_view value, Encoding encoding) {
    if (encoding != Encoding::Windows1252) return std::string(value);
    std::string out;
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '\xC2' && i + 1 < value.size() &&
            (static_cast<unsigned char>(value[i + 1]) & 0xE0) == 0x80) {
            out += "\xEF\xBF\xBD";
            ++i;
        } else {
            out += value[i];
        }
    }
    return out;
}

struct Line {
    std::string_view text;
    std::string_view end;  // "\r\n", "\n", "\r" or empty
    bool operator==(const Line&) const = default;
};

std::vector<Line> SplitLines(std::string_view text) {
    std::vector<Line> lines;
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r' && text[i] != '\n') continue;
        const std::size_t endLength = text.substr(i, 2) == "\r\n" ? 2 : 1;
        lines.push_back({text.substr(start, i - start), text.substr(i, endLength)});
        i += endLength - 1;
        start = i + 1;
    }
    if (start < text.size()) lines.push_back({text.substr(start), {}});
    return lines;
}

// The document as the rules read it: the sections in file order (names may repeat), each
// with its key lines in order. Key lines before the first section belong to none.
struct Model {
    struct Key {
        std::string_view name;
        std::string_view value;  // trimmed, quotes not yet removed
        int line;
    };
    struct Section {
        std::string_view name;
        std::vector<Key> keys;
    };
    std::vector<Line> lines;
    std::vector<Section> sections;

    explicit Model(std::string_view text) : lines(SplitLines(text)) {
        for (std::size_t i = 0; i < lines.size(); ++i) {
            const std::string_view t = Trim(lines[i].text);
            if (t.empty() || t.front() == ';') continue;  // blank line or comment
            const auto close = t.rfind(']');
            if (t.front() == '[' && close != std::string_view::npos) {
                sections.push_back({Trim(t.substr(1, close - 1)), {}});
                continue;
            }
            const auto eq = t.find('=');
            if (eq == std::string_view::npos || sections.empty()) continue;
            sections.back().keys.push_back(
                {Trim(t.substr(0, eq)), Trim(t.substr(eq + 1)), static_cast<int>(i + 1)});
        }
    }

    const Section* FirstSection(std::string_view name) const {
        for (const Section& s : sections) {
            if (SameName(s.name, name)) return &s;
        }
        return nullptr;
    }

    const Key* Find(std::string_view section, std::string_view key) const {
        const Section* s = FirstSection(section);
        if (s == nullptr) return nullptr;
        for (const Key& k : s->keys) {
            if (SameName(k.name, key)) return &k;
        }
        return nullptr;
    }
};

// Distinct names (case ignored), at most `limit`, in order of appearance.
void AddName(std::vector<std::string>& names, std::string_view name, std::size_t limit) {
    if (names.size() >= limit) return;
    for (const auto& n : names) {
        if (SameName(n, name)) return;
    }
    names.emplace_back(name);
}

// Swaps the case of ASCII letters: the same name to the reader.
std::string OtherCase(std::string_view name) {
    std::string s(name);
    for (char& c : s) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 32);
        } else if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c + 32);
        }
    }
    return s;
}

// A value cut to `maxChars` characters, against the whole value.
void CheckCut(std::string_view cut, std::string_view whole, std::size_t maxChars) {
    Require(whole.substr(0, cut.size()) == cut, "a cut value is the start of the whole value");
    Require(cut.size() <= 4 * maxChars, "a cut value has at most maxChars characters");
    if (!fuzz::WellFormedUtf8(whole)) return;
    Require(fuzz::CodePoints(cut) == std::min(maxChars, fuzz::CodePoints(whole)),
            "a cut value has maxChars characters, or all of them");
    Require(cut.size() == whole.size() ||
                (static_cast<unsigned char>(whole[cut.size()]) & 0xC0) != 0x80,
            "a value is cut between characters");
}

void CheckLookups(const IniFile& ini, const Model& model, Encoding encoding, std::size_t maxChars,
                  std::string_view fallback) {
    std::vector<std::string> sections;
    std::vector<std::string> keys;
    for (const auto& s : model.sections) {
        AddName(sections, s.name, 6);
        for (const auto& k : s.keys) AddName(keys, k.name, 12);
    }
    AddName(sections, "no such section", 7);
    AddName(keys, "no such key", 13);
    for (std::size_t si = 0; si < sections.size(); ++si) {
        const std::string section = si % 2 == 0 ? sections[si] : OtherCase(sections[si]);
        Require(ini.HasSection(section) == (model.FirstSection(section) != nullptr),
                "a section is there when a line names it");
        for (std::size_t ki = 0; ki < keys.size(); ++ki) {
            const std::string key = ki % 2 == 0 ? keys[ki] : OtherCase(keys[ki]);
            const Model::Key* expected = model.Find(section, key);
            const IniFile::Value whole = ini.Find(section, key, kWhole);
            Require(whole.found == (expected != nullptr),
                    "a key is found when the first section of its name has it");
            if (!whole.found) {
                Require(whole.text.empty() && whole.line == 0, "a key not found reads empty");
                Require(ini.Get(section, key, fallback, kWhole) == fallback,
                        "a key not found gives the fallback");
                continue;
            }
            Require(whole.line == expected->line, "the first key of the name is found");
            Require(whole.text == AsFound(Unquoted(expected->value), encoding),
                    "a value is its line's text after the '=', trimmed and unquoted");
            Require(fuzz::WellFormedUtf8(whole.text), "a value is UTF-8");
            Require(whole.text.find('\n') == std::string::npos, "a value has no line break");
            if (Unquoted(expected->value) == expected->value) {
                Require(Trim(whole.text) == whole.text,
                        "a value without quotes has no blank at either end");
            }
            const IniFile::Value cut = ini.Find(section, key, maxChars);
            Require(cut.found && cut.line == whole.line, "a cut lookup finds the same line");
            CheckCut(cut.text, whole.text, maxChars);
            Require(ini.Get(section, key, fallback, maxChars) == cut.text,
                    "Get gives the value found");
        }
    }
    CheckCut(ini.Get("no such section", "no such key", fallback, maxChars), fallback, maxChars);
}

// Whether a read can find what Set(section, key, value) writes: a new section's header must
// read as that section, and the key's line ("key=value", a key in the file keeping its own
// spelling) as that key. A key of the file may start with '[' (a line "[a=b" without ']' is a
// key), but with a ']' in the value its line reads as a section header, as it does on Windows.
bool Writable(const Model& model, std::string_view section, std::string_view key,
              std::string_view clean) {
    const Model::Section* s = model.FirstSection(section);
    if (s == nullptr &&
        (section.find('\n') != std::string_view::npos || Trim(section) != section)) {
        return false;
    }
    if (!key.empty() && key.front() == '[' &&
        (key.find(']') != std::string_view::npos || clean.find(']') != std::string_view::npos)) {
        return false;
    }
    if (s != nullptr) {
        for (const auto& k : s->keys) {
            if (SameName(k.name, key)) return true;  // its line is rewritten with its own name
        }
    }
    return key.find_first_of("=\n") == std::string_view::npos && Trim(key) == key &&
           (key.empty() || key.front() != ';');
}

void CheckWrite(const IniFile& original, const Model& model, const Decoded& decoded,
                std::string_view section, std::string_view key, std::string_view value) {
    std::string clean(value);
    std::replace(clean.begin(), clean.end(), '\r', ' ');
    std::replace(clean.begin(), clean.end(), '\n', ' ');
    if (!Writable(model, section, key, clean)) return;
    IniFile ini = original;
    ini.Set(section, key, value);

    const IniFile::Value back = ini.Find(section, key, kWhole);
    Require(back.found && back.text == AsFound(Unquoted(Trim(clean)), decoded.encoding),
            "a value written is read back");

    // Every other line is kept; the written one ends as its file's lines do.
    const std::string bytes = ini.Text();
    // A Windows-1252 file stays in it, but a write that replaces its last bytes that are not
    // UTF-8 leaves a file the reader takes for UTF-8: compared here as the bytes it holds.
    const bool western = decoded.encoding == Encoding::Windows1252;
    const Decoded again = Decode(bytes, western);
    Require(again.encoding == decoded.encoding, "a write keeps the file's encoding");
    const std::vector<Line> after = SplitLines(again.text);
    std::vector<Line> before = model.lines;
    const std::string_view eol =
        before.empty() || before.front().end.empty() ? std::string_view("\n") : before.front().end;
    const Model::Key* old = model.Find(section, key);
    if (old != nullptr) {
        const auto i = static_cast<std::size_t>(old->line - 1);
        Require(after.size() == before.size(), "a key written in place adds no line");
        for (std::size_t k = 0; k < after.size(); ++k) {
            if (k != i) Require(after[k] == before[k], "a write keeps the other lines");
        }
        Require(
            after[i].text == std::string(old->name) + "=" + clean && after[i].end == before[i].end,
            "a key written in place keeps its name and line end");
        Require(back.line == old->line, "a key written in place stays on its line");
        return;
    }
    const auto line = static_cast<std::size_t>(back.line);
    const std::string keyLine = std::string(key) + "=" + clean;
    const std::string header = "[" + std::string(section) + "]";
    // A lone CR before a blank line ending in a lone LF would swallow it: CR LF then.
    const bool beforeLf = eol == "\r" && line < after.size() && after[line] == Line{"", "\n"};
    Require(line >= 1 && line <= after.size() &&
                after[line - 1] == Line{keyLine, beforeLf ? "\r\n" : eol},
            "a new key has a line of its own, ended as the file's first line");
    std::vector<Line> rest = after;
    rest.erase(rest.begin() + static_cast<std::ptrdiff_t>(line - 1));
    if (model.FirstSection(section) == nullptr) {
        Require(line == after.size(), "a new section goes last");
        Require(!rest.empty() && rest.back() == Line{header, eol},
                "a new section has its header and follows the last line directly");
        rest.pop_back();
    }
    // A last line without a line end gets the file's one, when a line is added after it.
    if (!before.empty() && before.back().end.empty() && rest.size() == before.size() &&
        !rest.back().end.empty()) {
        Require(line == after.size() && rest.back().end == eol,
                "a last line gets the file's line end when a line follows it");
        before.back().end = eol;
    }
    Require(rest == before, "a write keeps the other lines");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text = fuzz::AsText(data, size);
    IniFile ini;
    ini.Parse(text);
    Require(ini.Text() == text, "the bytes are written back as they were read");

    const Decoded decoded = Decode(text);
    {
        // The encoding is told by the mark or bytes: a value written comes out in it.
        IniFile written = ini;
        constexpr std::string_view kSection = "Fuzz Encoding";
        if (!written.HasSection(kSection)) {
            written.Set(kSection, "Key", "\xC3\xA9");
            const std::string_view line = decoded.encoding == Encoding::Utf8 ? "Key=\xC3\xA9"
                                          : decoded.encoding == Encoding::Windows1252
                                              ? "Key=\xE9"
                                              : std::string_view("K\0e\0y\0=\0\xE9\0", 10);
            Require(written.Text().find(line) != std::string::npos,
                    "the encoding is told by the mark or bytes");
        }
    }
    const Model model(decoded.text);
    const std::string line(model.lines.empty() ? std::string_view()
                                               : model.lines[size % model.lines.size()].text);
    CheckLookups(ini, model, decoded.encoding, size * 7 % 41, line);

    // Writes: in place, into a section, and as a new section, with a line of the file as value.
    std::vector<std::string> sections;
    for (const auto& s : model.sections) AddName(sections, s.name, 3);
    sections.emplace_back("Fuzz Section");
    for (const auto& section : sections) {
        std::vector<std::string> keys;
        if (const Model::Section* s = model.FirstSection(section)) {
            for (const auto& k : s->keys) AddName(keys, k.name, 2);
        }
        if (!model.sections.empty() && !model.sections.front().keys.empty()) {
            AddName(keys, model.sections.front().keys.front().name, 3);
        }
        keys.emplace_back("Fuzz Key");
        for (const auto& key : keys) CheckWrite(ini, model, decoded, section, key, line);
    }
    return 0;
}
