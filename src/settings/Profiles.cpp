#include "settings/Profiles.h"

#include <algorithm>
#include <cstdlib>
#include <system_error>

#include "base/DataFolders.h"
#include "base/LocalTime.h"
#include "base/Utf8Path.h"
#include "settings/IniFile.h"

namespace vorna {
namespace {

char Lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool LessNoCase(const std::string& a, const std::string& b) {
    const auto r =
        std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
            return static_cast<unsigned char>(Lower(x)) < static_cast<unsigned char>(Lower(y));
        });
    if (r) return true;
    if (IniFile::EqualNoCase(a, b)) return a < b;
    return false;
}

std::string Quoted(const std::filesystem::path& p) {
    return "\"" + Utf8FromPath(p) + "\"";
}

}  // namespace

EntryMatch MatchEntry(const OptionList& list, std::string_view value) {
    EntryMatch match;
    if (value.empty()) return match;
    std::vector<int> beginning;
    for (std::size_t i = 0; i < list.entries.size(); ++i) {
        if (IniFile::EqualNoCase(list.entries[i], value)) {
            match.index = static_cast<int>(i);
            return match;
        }
        if (IniFile::StartsWithNoCase(list.entries[i], value)) {
            beginning.push_back(static_cast<int>(i));
        }
    }
    if (beginning.size() == 1) {
        match.index = beginning.front();
    } else {
        for (int i : beginning)
            match.candidates.push_back(list.entries[static_cast<std::size_t>(i)]);
    }
    return match;
}

bool SelectByText(OptionList& list, std::string_view value) {
    const EntryMatch match = MatchEntry(list, value);
    if (match.index < 0) return false;
    list.Select(match.index);
    return true;
}

std::string NoMatchReason(const OptionList& list, std::string_view value) {
    if (list.entries.empty()) return "this ESC does not have this setting";
    const EntryMatch match = MatchEntry(list, value);
    if (match.candidates.empty())
        return "no entry is or begins with \"" + std::string(value) + "\"";
    std::string text = "\"" + std::string(value) + "\" fits several entries:";
    for (const auto& entry : match.candidates) text += " \"" + entry + "\"";
    return text;
}

namespace {

// The sheet files of one category folder with the names shown for them, in the chooser's
// order. The path is the one listed, so a sheet saved as "X.INI" is opened under that name.
std::vector<SheetChoice> ListSheetFiles(const std::filesystem::path& profileRoot,
                                        std::string_view category) {
    namespace fs = std::filesystem;
    std::vector<SheetChoice> sheets;
    if (category.empty() || profileRoot.empty()) return sheets;
    std::error_code ec;
    fs::directory_iterator it(profileRoot / PathFromUtf8(category), ec);
    if (ec) return sheets;
    for (const fs::directory_iterator end; it != end; it.increment(ec)) {
        if (ec) break;
        std::error_code typeError;
        if (!it->is_regular_file(typeError)) continue;  // follows links; skips folders
        const std::string name = Utf8FromPath(it->path().filename());
        constexpr std::string_view kExt = ".ini";
        if (name.size() <= kExt.size()) continue;
        const std::string_view ext = std::string_view(name).substr(name.size() - kExt.size());
        if (!IniFile::EqualNoCase(ext, kExt)) continue;
        sheets.push_back({name.substr(0, name.size() - kExt.size()), it->path()});
    }
    std::sort(sheets.begin(), sheets.end(), [](const SheetChoice& a, const SheetChoice& b) {
        return LessNoCase(a.name, b.name);
    });
    return sheets;
}

}  // namespace

std::vector<SheetChoice> ListSheets(const std::filesystem::path& shippedRoot,
                                    const std::filesystem::path& ownRoot,
                                    std::string_view category) {
    std::vector<SheetChoice> sheets = ListSheetFiles(shippedRoot, category);
    const std::size_t shipped = sheets.size();
    for (SheetChoice& own : ListSheetFiles(ownRoot, category)) {
        const bool taken = std::any_of(
            sheets.begin(), sheets.begin() + static_cast<std::ptrdiff_t>(shipped),
            [&](const SheetChoice& s) { return IniFile::EqualNoCase(s.name, own.name); });
        if (taken) own.name += " (own)";
        sheets.push_back(std::move(own));
    }
    return sheets;
}

Result<SheetFile> ReadSetupSheet(const std::filesystem::path& sheetPath) {
    SheetFile sheet;
    sheet.path = sheetPath;
    const Result<std::string> file = ReadSmallFile(sheetPath, kMaxIniFileBytes, kSetupSheetKind);
    if (file) {
        sheet.found = true;
        sheet.ini.Parse(*file);
    } else if (file.Kind() != ProblemKind::Missing) {
        return file.Error();
    }
    return sheet;
}

Result<LoadedSheet> ApplySetupSheet(SetupState& state, const SheetFile& file,
                                    const std::function<void(SetupState&)>& clearSelections) {
    LoadedSheet sheet;
    // Applied to a copy first: a sheet that selects nothing leaves the lists as they were.
    SetupState loaded = state;
    if (clearSelections) clearSelections(loaded);
    const IniFile& ini = file.ini;
    bool settable = false;
    // Keys 0 to 17, and 18 "BEC Voltage" as well (see Profiles.h).
    for (const auto& [key, listId] : kParameterKeys) {
        const std::string value = ini.Get(kOptionSection, key, "", kOptionValueChars);
        OptionList& list = loaded.List(listId);
        // A list the ESC does not take from the PC keeps the ESC's value.
        if (!list.writable || list.entries.empty()) continue;
        settable = true;
        if (SelectByText(list, value)) sheet.selected.push_back(listId);
    }
    if (file.found && settable && sheet.selected.empty()) {
        return Problem{ProblemKind::NothingToDo, "Cannot load " + Quoted(file.path) +
                                                     ": it selects none of this ESC's settings"};
    }
    state = std::move(loaded);
    LoadedSheet texts = SheetTexts(file);
    texts.selected = std::move(sheet.selected);
    return texts;
}

LoadedSheet SheetTexts(const SheetFile& file) {
    LoadedSheet sheet;
    sheet.fileFound = file.found;
    for (std::size_t i = 0; i < kInfoKeys.size(); ++i) {
        sheet.info[i] = file.ini.Get(kInfoSection, kInfoKeys[i], "", kInfoValueChars);
    }
    sheet.memoVisible = !sheet.info.back().empty();  // "Temp Track"
    sheet.memo = file.ini.Get(kMemoSection, kMemoKey, "", kInfoValueChars);
    return sheet;
}

Result<LoadedSheet> LoadProfile(SetupState& state, const std::filesystem::path& sheetPath,
                                const std::function<void(SetupState&)>& clearSelections) {
    const Result<SheetFile> sheet = ReadSetupSheet(sheetPath);
    if (!sheet) return sheet.Error();
    return ApplySetupSheet(state, *sheet, clearSelections);
}

std::filesystem::path SettingsFilePath(const std::filesystem::path& chosen) {
    const std::string name = Utf8FromPath(chosen.filename());
    if (name.size() >= kSettingsExtension.size() &&
        IniFile::EqualNoCase(std::string_view(name).substr(name.size() - kSettingsExtension.size()),
                             kSettingsExtension)) {
        return chosen;
    }
    std::filesystem::path withExt = chosen;
    withExt += std::string(kSettingsExtension);
    return withExt;
}

std::string SuggestedSettingsFileName(int modelType, std::time_t now) {
    const std::tm local = LocalTime(now);
    char day[16];
    std::strftime(day, sizeof day, "%Y-%m-%d", &local);
    return (modelType > 0 ? "model-" + std::to_string(modelType) : std::string("settings")) + "_" +
           day + std::string(kSettingsExtension);
}

std::string SettingsFileText(const SetupState& state) {
    IniFile ini;
    for (const auto& [key, listId] : kSettingsFileKeys) {
        const std::string* text = state.List(listId).SelectedText();
        ini.Set(kOptionSection, key, text ? std::string_view(*text) : std::string_view());
    }
    return ini.Text();
}

Result<std::filesystem::path> ExportSettings(const SetupState& state,
                                             const std::filesystem::path& chosen) {
    // Checked before ".cfg" is added: "folder/" would otherwise become "folder/.cfg".
    if (Status named = CheckFileName(chosen, kSettingsFileKind); !named) return named.Error();
    const std::filesystem::path path = SettingsFilePath(chosen);
    const Status written = WriteTextFileReplacing(path, SettingsFileText(state), kSettingsFileKind);
    if (!written) return written.Error();
    return path;
}

std::filesystem::path BackupFolder() {
    return UserFolder("backups");
}

Result<std::filesystem::path> BackUpSettings(const SetupState& state,
                                             const std::filesystem::path& folder, std::time_t now,
                                             BackupReason reason) {
    namespace fs = std::filesystem;
    std::error_code ec;
    if (folder.empty()) {
        return Problem{ProblemKind::Unwritable,
                       "There is no folder for backups: " + WhyNoUserDataFolder()};
    }
    fs::create_directories(folder, ec);
    if (ec) {
        return Problem{ProblemKind::Unwritable,
                       "Cannot create " + Quoted(folder) + ": " + ec.message()};
    }
    const std::tm local = LocalTime(now);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d_%H-%M-%S", &local);
    const std::string base = std::string(stamp) + "_model-" + std::to_string(state.modelType);
    fs::path path = folder / (base + ".cfg");
    for (int n = 2; fs::exists(path, ec) && n < 1000; ++n) {
        path = folder / (base + "_" + std::to_string(n) + ".cfg");
    }
    const Status written = WriteTextFileReplacing(
        path, BackupHeader(reason) + SettingsFileText(state), kSettingsFileKind);
    if (!written) return written.Error();
    return path;
}

Result<SettingsFile> ReadSettingsFile(const std::filesystem::path& path) {
    SettingsFile file;
    file.path = path;
    if (Status loaded = file.ini.Load(path, kSettingsFileKind); !loaded) return loaded.Error();
    if (!file.ini.HasSection(kOptionSection)) {
        return Problem{ProblemKind::BadContent,
                       "Cannot import " + Quoted(path) +
                           ": it has no [option] section, so it is not a settings file"};
    }
    return file;
}

ImportOutcome ApplySettingsFile(SetupState& state, const SettingsFile& file) {
    ImportOutcome outcome;
    ImportReport& result = outcome.report;
    result.path = file.path;
    const IniFile& ini = file.ini;
    std::vector<IniFile::KeyLine> seen;
    for (const IniFile::KeyLine& k : ini.KeysIn(kOptionSection)) {
        const auto known = std::find_if(
            kSettingsFileKeys.begin(), kSettingsFileKeys.end(),
            [&](const ParameterKey& p) { return IniFile::EqualNoCase(p.key, k.name); });
        const auto first = std::find_if(seen.begin(), seen.end(), [&](const IniFile::KeyLine& s) {
            return IniFile::EqualNoCase(s.name, k.name);
        });
        if (known == kSettingsFileKeys.end()) {
            result.ignored.push_back(
                {k.name, k.line, {}, "is not a setting; the line was left out"});
        } else if (first != seen.end()) {
            result.ignored.push_back(
                {k.name,
                 k.line,
                 {},
                 "is given again; only line " + std::to_string(first->line) + " counts"});
        } else {
            seen.push_back(k);
        }
    }
    // A line such as "Drag Brake 10%" looks like a setting to whoever wrote it.
    for (IniFile::KeyLine& other : ini.OtherLinesIn(kOptionSection)) {
        result.ignored.push_back({std::move(other.name),
                                  other.line,
                                  {},
                                  "has no \"=\", so it sets nothing; the line was left out"});
    }
    std::stable_sort(
        result.ignored.begin(), result.ignored.end(),
        [](const ImportProblem& a, const ImportProblem& b) { return a.line < b.line; });
    for (const auto& [key, listId] : kSettingsFileKeys) {
        OptionList& list = state.List(listId);
        const bool settable = list.writable && !list.entries.empty();
        if (settable) ++result.settings;
        const IniFile::Value v = ini.Find(kOptionSection, key, kSettingsValueChars);
        if (!v.found || v.text.empty()) {  // the list keeps its selection
            if (settable) result.skipped.emplace_back(key);
            continue;
        }
        if (!list.writable) {
            // The ESC keeps its own value; a file that asks for another one is not applied.
            const EntryMatch match = MatchEntry(list, v.text);
            if (match.index >= 0 && match.index == list.selection) continue;
            result.problems.push_back({std::string(key), v.line, v.text,
                                       list.enabled
                                           ? "this ESC does not take this setting from the PC"
                                           : "this ESC does not have this setting"});
            continue;
        }
        if (SelectByText(list, v.text)) {
            ++result.applied;
            continue;
        }
        if (settable) result.skipped.emplace_back(key);
        ImportProblem problem{std::string(key), v.line, v.text, {}};
        problem.why = NoMatchReason(list, v.text);
        result.problems.push_back(std::move(problem));
    }
    // Nothing was selected, so nothing changed: refused rather than reported as imported.
    if (result.applied == 0) {
        outcome.refusal =
            Problem{ProblemKind::NothingToDo,
                    "Cannot import " + Quoted(file.path) +
                        (result.settings > 0 ? ": it selects none of this ESC's settings"
                                             : ": there are no settings to import into until an "
                                               "ESC is identified")};
    }
    return outcome;
}

std::string SkippedText(const ImportReport& result) {
    if (result.skipped.empty()) return {};
    std::string text = "Skipped " + std::to_string(result.skipped.size()) + " of " +
                       std::to_string(result.settings) + " settings in " + Quoted(result.path) +
                       ":";
    for (std::size_t i = 0; i < result.skipped.size(); ++i) {
        text += (i == 0 ? " " : ", ") + result.skipped[i];
    }
    return text;
}

ImportOutcome ImportSettings(SetupState& state, const std::filesystem::path& path) {
    const Result<SettingsFile> file = ReadSettingsFile(path);
    if (file) return ApplySettingsFile(state, *file);
    ImportOutcome refused;
    refused.report.path = path;
    refused.refusal = file.Error();
    return refused;
}

}  // namespace vorna
