// vornactl diff, backups and explain: what a file would change on the ESC, the backups kept
// before the ESC's settings were replaced, and what each setting does.
#include <algorithm>
#include <filesystem>
#include <optional>
#include <ostream>
#include <system_error>

#include "base/DataFolders.h"
#include "base/Utf8Path.h"
#include "cli/Commands.h"
#include "cli/SystemInfo.h"
#include "cli/TerminalText.h"
#include "settings/Backups.h"
#include "settings/Catalogue.h"
#include "settings/Compare.h"
#include "settings/IniFile.h"
#include "settings/ParameterHelp.h"

namespace vorna::cli {
namespace {

constexpr std::string_view kEscSide = "esc";

bool IsSheetName(const std::string& name) {
    constexpr std::string_view kExt = ".ini";
    return name.size() > kExt.size() &&
           IniFile::EqualNoCase(std::string_view(name).substr(name.size() - kExt.size()), kExt);
}

// Where a file named on the command line is: as given, else (a relative name such as
// "Profile/Fun Car/X.ini") in the user's own data folder or among the data shipped with
// vornactl.
std::filesystem::path FindFile(const std::string& name) {
    const std::filesystem::path given = PathFromUtf8(name);
    std::error_code ec;
    if (given.empty() || !given.is_relative() || std::filesystem::exists(given, ec)) return given;
    const std::filesystem::path program = ProgramFolder();
    for (const std::filesystem::path& root :
         {UserDataFolder(), program.empty() ? program : ShippedDataFolder(program)}) {
        if (!root.empty() && std::filesystem::exists(root / given, ec)) return root / given;
    }
    return given;
}

// A file side, read before any device is asked: a sheet by its ".ini", else a settings file
// (a backup is one). Nothing with the reason said on `err`.
std::optional<SettingsSide> ReadFileSide(const std::string& name, std::ostream& err) {
    const std::filesystem::path path = FindFile(name);
    if (IsSheetName(name)) {
        const Result<SheetFile> sheet = ReadSetupSheet(path);
        if (!sheet) {
            err << "vornactl: " << Shown(sheet.Detail()) << "\n";
            return std::nullopt;
        }
        if (!sheet->found) {
            err << "vornactl: there is no setup sheet \"" << Shown(name) << "\"\n";
            return std::nullopt;
        }
        return SetupSheetSide(*sheet);
    }
    const Result<SettingsFile> file = ReadSettingsFile(path);
    if (!file) {
        err << "vornactl: " << Shown(file.Detail()) << "\n";
        return std::nullopt;
    }
    return SettingsFileSide(*file);
}

void SayIgnored(const SettingsSide& side, std::ostream& err) {
    for (const ImportProblem& p : side.ignored) {
        err << Shown(Utf8FromPath(side.path)) << ":" << p.line << ": " << Shown(p.key) << " "
            << p.why << "\n";
    }
}

std::string Cell(const std::string& text) {
    return text.empty() ? std::string("(not set)") : Shown(text);
}

std::string Padded(std::string text, std::size_t width) {
    if (text.size() < width) text.append(width - text.size(), ' ');
    return text;
}

std::string DiffTable(const Comparison& c, const std::string& nameA, const std::string& nameB,
                      const SettingsSide& a, const SettingsSide& b) {
    std::string text;
    if (!c.modelNote.empty()) text += Shown(c.modelNote) + "\n";
    if (c.rows.empty()) {
        text += "No settings differ.\n";
    } else {
        std::size_t w0 = std::string_view("Setting").size();
        std::size_t w1 = nameA.size();
        for (const CompareRow& r : c.rows) {
            w0 = std::max(w0, r.caption.size());
            w1 = std::max(w1, Cell(r.first).size());
        }
        text += Padded("Setting", w0 + 2) + Padded(nameA, w1 + 2) + nameB + "\n";
        for (const CompareRow& r : c.rows) {
            text +=
                Padded(r.caption, w0 + 2) + Padded(Cell(r.first), w1 + 2) + Cell(r.second) + "\n";
        }
    }
    if (!c.apart.empty()) {
        text += "Not comparable, as this ESC cannot take them:\n";
        for (const SetApart& s : c.apart) {
            const SettingsSide& side = s.fromFirst ? a : b;
            text += "  " + Shown(Utf8FromPath(side.path)) + ":" + std::to_string(s.line) + ": " +
                    s.caption + "=" + Shown(s.value) + ": " + Shown(s.why) + "\n";
        }
    }
    return text;
}

std::string DiffJson(const Comparison& c, const std::string& nameA, const std::string& nameB,
                     const SettingsSide& a, const SettingsSide& b) {
    auto side = [](const std::string& text) {
        return text.empty() ? std::string("null") : JsonQuoted(text);
    };
    std::string json = "{\n  \"a\": " + JsonQuoted(nameA) + ",\n  \"b\": " + JsonQuoted(nameB) +
                       ",\n  \"equal\": " + (c.Equal() ? "true" : "false") +
                       ",\n  \"note\": " + side(c.modelNote) + ",\n  \"differences\": [";
    for (std::size_t i = 0; i < c.rows.size(); ++i) {
        const CompareRow& r = c.rows[i];
        json += std::string(i ? "," : "") + "\n    {\"setting\": " + JsonQuoted(r.caption) +
                ", \"a\": " + side(r.first) + ", \"b\": " + side(r.second) + "}";
    }
    json += c.rows.empty() ? "],\n  \"setApart\": [" : "\n  ],\n  \"setApart\": [";
    for (std::size_t i = 0; i < c.apart.size(); ++i) {
        const SetApart& s = c.apart[i];
        json += std::string(i ? "," : "") + "\n    {\"setting\": " + JsonQuoted(s.caption) +
                ", \"side\": " + (s.fromFirst ? "\"a\"" : "\"b\"") +
                ", \"file\": " + JsonQuoted(Utf8FromPath((s.fromFirst ? a : b).path)) +
                ", \"line\": " + std::to_string(s.line) + ", \"value\": " + JsonQuoted(s.value) +
                ", \"why\": " + JsonQuoted(s.why) + "}";
    }
    json += c.apart.empty() ? "]\n}\n" : "\n  ]\n}\n";
    return json;
}

}  // namespace

int Diff(const Options& o, std::ostream& out, std::ostream& err) {
    bool json = false;
    std::vector<std::string> names;
    for (const std::string& arg : o.args) {
        if (arg == "--json") {
            json = true;
        } else if (!arg.empty() && arg[0] == '-') {
            err << "vornactl: diff takes no option " << Shown(arg) << "\n" << kUsage;
            return kExitUsage;
        } else {
            names.push_back(arg);
        }
    }
    if (names.empty() || names.size() > 2) {
        err << "vornactl: diff takes one or two of: a settings file, a setup sheet, a backup, "
               "esc\n"
            << kUsage;
        return kExitUsage;
    }
    if (names.size() == 1) names.emplace_back(kEscSide);
    if (names[0] == kEscSide && names[1] == kEscSide) {
        err << "vornactl: diff compares the ESC with a file, or two files\n";
        return kExitUsage;
    }
    // Files first: one that cannot be read is said before the device is asked.
    std::array<std::optional<SettingsSide>, 2> sides;
    for (std::size_t i = 0; i < 2; ++i) {
        if (names[i] == kEscSide) continue;
        sides[i] = ReadFileSide(names[i], err);
        if (!sides[i]) return kExitFile;
    }
    std::optional<Session> session;
    SetupState esc;
    const bool withEsc = !sides[0] || !sides[1];
    if (withEsc) {
        session.emplace(LocationFor(o), err, o.trace);
        if (int rc = ConnectEsc(*session, o, err); rc != kExitOk) return rc;
        esc = session->setup.EscValues();
        for (auto& side : sides) {
            if (!side) side = EscSide(esc);
        }
    }
    for (const auto& side : sides) SayIgnored(*side, err);
    const Comparison c = Compare(*sides[0], *sides[1], withEsc ? &esc : nullptr);
    const std::string nameA = names[0] == kEscSide ? "ESC" : Shown(names[0]);
    const std::string nameB = names[1] == kEscSide ? "ESC" : Shown(names[1]);
    out << (json ? DiffJson(c, names[0], names[1], *sides[0], *sides[1])
                 : DiffTable(c, nameA, nameB, *sides[0], *sides[1]));
    return c.Equal() ? kExitOk : kExitDiffer;
}

int Backups(const Options& o, std::ostream& out, std::ostream& err) {
    if (!o.args.empty()) {
        err << "vornactl: backups takes no arguments\n" << kUsage;
        return kExitUsage;
    }
    const std::filesystem::path folder = BackupFolder();
    if (folder.empty()) {
        err << "vornactl: there is no folder for backups: " << WhyNoUserDataFolder() << "\n";
        return kExitFile;
    }
    const std::vector<BackupEntry> backups = ListBackups(folder);
    if (backups.empty()) {
        out << "No backups in " << Shown(Utf8FromPath(folder)) << ".\n";
        return kExitOk;
    }
    for (const BackupEntry& b : backups) {
        out << (b.made.empty() ? std::string("(time not in its name)") : b.made) << "  "
            << (b.modelType >= 0 ? "model type " + std::to_string(b.modelType)
                                 : std::string("model type not known"))
            << "  " << b.ReasonText() << "\n  " << Shown(Utf8FromPath(b.path)) << "\n";
    }
    return kExitOk;
}

namespace {

// A help text indented under its setting's name, in lines of at most 78 characters.
std::string Indented(std::string_view text) {
    constexpr std::size_t kWidth = 78;
    std::string lines;
    std::string line = " ";
    while (!text.empty()) {
        const std::size_t space = text.find(' ');
        const std::string_view word = text.substr(0, space);
        text.remove_prefix(space == std::string_view::npos ? text.size() : space + 1);
        if (line.size() > 1 && line.size() + 1 + word.size() > kWidth) {
            lines += line + "\n";
            line = " ";
        }
        line += " ";
        line += word;
    }
    return lines + line + "\n";
}

}  // namespace

int Explain(const Options& o, std::ostream& out, std::ostream& err) {
    if (o.args.size() > 1) {
        err << "vornactl: explain takes one setting's name, or none for all\n" << kUsage;
        return kExitUsage;
    }
    const std::string wanted = o.args.empty() ? std::string() : o.args[0];
    bool found = false;
    for (const ParamId id : kPageOrder) {
        const ParameterRow& row = *FindParameterRow(id);
        const bool byName =
            IniFile::EqualNoCase(wanted, row.caption) || IniFile::EqualNoCase(wanted, row.fileKey);
        const bool byAlternate =
            !row.alternate.empty() && IniFile::EqualNoCase(wanted, row.alternate);
        if (!wanted.empty() && !byName && !byAlternate) continue;
        found = true;
        if (wanted.empty() || byName) {
            out << row.caption << "\n" << Indented(ParameterHelp(id, false));
        }
        if (!row.alternate.empty() && (wanted.empty() || byAlternate)) {
            out << row.alternate << " (the same list, on the ESCs that show this name)\n"
                << Indented(ParameterHelp(id, true));
        }
    }
    if (!found) {
        err << "vornactl: there is no setting \"" << Shown(wanted) << "\"; the settings are:";
        for (const ParamId id : kPageOrder) err << "\n  " << FindParameterRow(id)->caption;
        err << "\n";
        return kExitUsage;
    }
    return kExitOk;
}

}  // namespace vorna::cli
