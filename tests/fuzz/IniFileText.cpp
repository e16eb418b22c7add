// The INI reader and writer (IniFile) on any text. Beyond not crashing:
// - the text comes back as it was read (a missing last line end added);
// - every lookup finds what the rules in IniFile.h say, as a model of them written out here
//   finds it (the file cut into sections of key lines first, then searched); a value found has
//   no line break, and no blank at either end unless quotes enclosed it;
// - a value cut to n characters is the start of the whole value, cut between characters;
// - a write changes or adds only its own lines, each with the file's line ending, and what it
//   wrote is read back (line breaks as spaces, blanks trimmed, enclosing quotes removed)
//   whenever the names can be written at all (not a key with '=' or blanks around it, or one
//   starting with '[' when the line holds a ']').
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

std::vector<std::string_view> SplitLines(std::string_view body) {
    std::vector<std::string_view> lines;
    while (!body.empty()) {
        const auto lf = body.find('\n');
        lines.push_back(body.substr(0, lf));
        if (lf == std::string_view::npos) break;
        body.remove_prefix(lf + 1);
    }
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
    std::vector<std::string_view> lines;
    std::vector<Section> sections;

    explicit Model(std::string_view body) : lines(SplitLines(body)) {
        for (std::size_t i = 0; i < lines.size(); ++i) {
            const std::string_view t = Trim(lines[i]);
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

void CheckLookups(const IniFile& ini, const Model& model, std::size_t maxChars,
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
            Require(whole.text == Unquoted(expected->value),
                    "a value is its line's text after the '=', trimmed and unquoted");
            Require(whole.text.find('\n') == std::string::npos, "a value has no line break");
            if (whole.text == expected->value) {
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

void CheckWrite(const IniFile& original, const Model& model, bool crlf, std::string_view section,
                std::string_view key, std::string_view value) {
    std::string clean(value);
    std::replace(clean.begin(), clean.end(), '\r', ' ');
    std::replace(clean.begin(), clean.end(), '\n', ' ');
    if (!Writable(model, section, key, clean)) return;
    IniFile ini = original;
    ini.Set(section, key, value);

    const IniFile::Value back = ini.Find(section, key, kWhole);
    Require(back.found && back.text == Unquoted(Trim(clean)), "a value written is read back");

    // Every other line is kept; the written one ends as its file's lines do.
    const std::string text = ini.Text();
    std::string_view body = text;
    if (body.substr(0, kBom.size()) == kBom) body.remove_prefix(kBom.size());
    const std::vector<std::string_view> after = SplitLines(body);
    const std::vector<std::string_view>& before = model.lines;
    const std::string eol = crlf ? "\r" : "";
    const Model::Key* old = model.Find(section, key);
    if (old != nullptr) {
        const auto i = static_cast<std::size_t>(old->line - 1);
        Require(after.size() == before.size(), "a key written in place adds no line");
        for (std::size_t k = 0; k < after.size(); ++k) {
            if (k != i) Require(after[k] == before[k], "a write keeps the other lines");
        }
        const bool cr = !before[i].empty() && before[i].back() == '\r';
        Require(after[i] == std::string(old->name) + "=" + clean + (cr ? "\r" : ""),
                "a key written in place keeps its name and line ending");
        Require(back.line == old->line, "a key written in place stays on its line");
        return;
    }
    const std::string keyLine = std::string(key) + "=" + clean + eol;
    Require(back.line >= 1 && static_cast<std::size_t>(back.line) <= after.size() &&
                after[static_cast<std::size_t>(back.line - 1)] == keyLine,
            "a new key has a line of its own");
    std::vector<std::string_view> rest = after;
    rest.erase(rest.begin() + (back.line - 1));
    if (model.FirstSection(section) == nullptr) {
        Require(static_cast<std::size_t>(back.line) == after.size(), "a new section goes last");
        Require(!rest.empty() && rest.back() == "[" + std::string(section) + "]" + eol,
                "a new section has its header");
        rest.pop_back();
        if (!before.empty() && !Trim(before.back()).empty()) {
            Require(!rest.empty() && rest.back() == eol, "a new section follows a blank line");
            rest.pop_back();
        }
    }
    Require(rest == before, "a write keeps the other lines");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text = fuzz::AsText(data, size);
    IniFile ini;
    ini.Parse(text);

    const bool bom = text.substr(0, kBom.size()) == kBom;
    const std::string_view body = bom ? text.substr(kBom.size()) : text;
    const bool lineEnded = body.empty() || body.back() == '\n';
    Require(ini.Text() == std::string(text) + (lineEnded ? "" : "\n"),
            "the text is written back as it was read");

    const Model model(body);
    const auto firstLf = body.find('\n');
    const bool crlf = firstLf != std::string_view::npos && firstLf > 0 && body[firstLf - 1] == '\r';
    const std::string_view line =
        model.lines.empty() ? std::string_view() : model.lines[size % model.lines.size()];
    CheckLookups(ini, model, size * 7 % 41, line);

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
        for (const auto& key : keys) CheckWrite(ini, model, crlf, section, key, line);
    }
    return 0;
}
