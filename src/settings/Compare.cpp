#include "settings/Compare.h"

#include <algorithm>

#include "base/Utf8Path.h"
#include "settings/Backups.h"
#include "settings/Catalogue.h"
#include "settings/IniFile.h"
#include "settings/Parameters.h"

namespace vorna {
namespace {

std::size_t PositionOf(ParamId id) {
    return static_cast<std::size_t>(std::find(kParameters.begin(), kParameters.end(), id) -
                                    kParameters.begin());
}

// The [option] key lines that set nothing: keys no setting has (or, for a sheet, that a sheet
// does not load), and a key given again.
std::vector<ImportProblem> IgnoredKeys(const IniFile& ini, std::size_t knownKeys,
                                       std::string_view unknownWhy) {
    std::vector<ImportProblem> ignored;
    std::vector<IniFile::KeyLine> seen;
    for (const IniFile::KeyLine& k : ini.KeysIn(kOptionSection)) {
        const auto known = std::find_if(
            kSettingsFileKeys.begin(), kSettingsFileKeys.begin() + knownKeys,
            [&](const ParameterKey& p) { return IniFile::EqualNoCase(p.key, k.name); });
        const auto first = std::find_if(seen.begin(), seen.end(), [&](const IniFile::KeyLine& s) {
            return IniFile::EqualNoCase(s.name, k.name);
        });
        if (known == kSettingsFileKeys.begin() + knownKeys) {
            ignored.push_back({k.name, k.line, {}, std::string(unknownWhy)});
        } else if (first != seen.end()) {
            ignored.push_back(
                {k.name,
                 k.line,
                 {},
                 "is given again; only line " + std::to_string(first->line) + " counts"});
        } else {
            seen.push_back(k);
        }
    }
    return ignored;
}

SettingsSide FileSide(SettingsSide::Kind kind, const std::filesystem::path& path,
                      const IniFile& ini, std::size_t keys, std::size_t maxChars,
                      std::string_view unknownWhy) {
    SettingsSide side;
    side.kind = kind;
    side.path = path;
    for (std::size_t k = 0; k < keys; ++k) {
        const auto& [key, id] = kSettingsFileKeys[k];
        const IniFile::Value v = ini.Find(kOptionSection, key, maxChars);
        if (v.found && !v.text.empty()) side.values[PositionOf(id)] = {v.text, v.line};
    }
    side.ignored = IgnoredKeys(ini, keys, unknownWhy);
    side.modelType = ModelTypeInName(Utf8FromPath(path.filename()));
    return side;
}

struct Judged {
    std::optional<std::string> text;  // the value to compare: the entry it selects
    int entry = -1;
};

// A file side's value judged by the ESC's list (as ApplySettingsFile judges it): the entry, or
// why it is set apart.
Result<Judged> Judge(const OptionList& list, const std::string& value) {
    const auto apart = [](std::string why) {
        return Result<Judged>(ProblemKind::BadContent, std::move(why));
    };
    if (list.entries.empty()) return apart("this ESC does not have this setting");
    const EntryMatch match = MatchEntry(list, value);
    if (!list.writable) {
        if (match.index >= 0 && match.index == list.selection) {
            return Judged{list.entries[static_cast<std::size_t>(match.index)], match.index};
        }
        return apart(list.enabled ? "this ESC does not take this setting from the PC"
                                  : "this ESC does not have this setting");
    }
    if (match.index < 0) return apart(NoMatchReason(list, value));
    return Judged{list.entries[static_cast<std::size_t>(match.index)], match.index};
}

}  // namespace

SettingsSide EscSide(const SetupState& escValues) {
    SettingsSide side;
    side.kind = SettingsSide::Kind::Esc;
    side.modelType = escValues.modelType;
    for (std::size_t i = 0; i < kParameters.size(); ++i) {
        if (const std::string* text = escValues.List(kParameters[i]).SelectedText()) {
            side.values[i] = {*text, 0};
        }
    }
    return side;
}

SettingsSide SettingsFileSide(const SettingsFile& file) {
    return FileSide(SettingsSide::Kind::SettingsFile, file.path, file.ini, kSettingsFileKeys.size(),
                    kSettingsValueChars, "is not a setting; the line was left out");
}

SettingsSide SetupSheetSide(const SheetFile& sheet) {
    // A sheet's keys are read as the sheet loader reads them: the classic keys, 19 characters.
    SettingsSide side =
        FileSide(SettingsSide::Kind::SetupSheet, sheet.path, sheet.ini, kParameterKeys.size(),
                 kOptionValueChars, "is not a setting setup sheets carry; the line was left out");
    side.modelType = -1;
    return side;
}

Comparison Compare(const SettingsSide& a, const SettingsSide& b, const SetupState* escLists) {
    Comparison result;
    const bool judged = escLists != nullptr && escLists->modelType != 0;
    result.modelType = judged ? escLists->modelType : 0;
    result.ignored = a.ignored;
    result.ignored.insert(result.ignored.end(), b.ignored.begin(), b.ignored.end());
    for (const SettingsSide* side : {&a, &b}) {
        if (judged && side->kind == SettingsSide::Kind::SettingsFile && side->modelType >= 0 &&
            side->modelType != escLists->modelType) {
            result.modelNote = "\"" + Utf8FromPath(side->path.filename()) +
                               "\" was saved from an ESC of model type " +
                               std::to_string(side->modelType) + "; this ESC is model type " +
                               std::to_string(escLists->modelType) +
                               ". Only what this ESC can take is offered.";
        }
    }
    for (const ParamId id : kPageOrder) {
        const std::size_t i = PositionOf(id);
        const std::string caption = ListCaption(id, result.modelType);
        const auto& va = a.values[i];
        const auto& vb = b.values[i];
        if (!va && !vb) continue;
        if (!judged) {
            if (va && vb && IniFile::EqualNoCase(va->text, vb->text)) continue;
            result.rows.push_back({id, caption, va ? va->text : std::string(),
                                   vb ? vb->text : std::string(), vb ? vb->line : 0, -1});
            continue;
        }
        const OptionList& list = escLists->List(id);
        Judged ja;
        Judged jb;
        for (const auto& [side, value, out, first] :
             {std::tuple{&a, &va, &ja, true}, std::tuple{&b, &vb, &jb, false}}) {
            if (!*value) continue;
            if (side->kind == SettingsSide::Kind::Esc) {
                *out = {(*value)->text, list.selection};
                continue;
            }
            const Result<Judged> verdict = Judge(list, (*value)->text);
            if (verdict) {
                *out = *verdict;
            } else {
                result.apart.push_back(
                    {id, caption, (*value)->text, (*value)->line, verdict.Detail(), first});
            }
        }
        // A setting a file does not name (or names with a value set apart) keeps the page's
        // value: nothing to load. One the ESC gave no value for (BEC Voltage it did not
        // answer, a list its Drive Mode turns off) still differs from a value that fits.
        const bool escA = a.kind == SettingsSide::Kind::Esc;
        const bool escB = b.kind == SettingsSide::Kind::Esc;
        if ((!ja.text && !(escA && !va)) || (!jb.text && !(escB && !vb))) continue;
        if (!ja.text && !jb.text) continue;
        if (ja.text && jb.text && *ja.text == *jb.text) continue;
        result.rows.push_back({id, caption, ja.text.value_or(std::string()),
                               jb.text.value_or(std::string()), vb ? vb->line : 0, jb.entry});
    }
    return result;
}

std::vector<ParamId> LoadCheckedRows(SetupState& state, const Comparison& comparison,
                                     const std::vector<ParamId>& checked) {
    std::vector<ParamId> loaded;
    if (comparison.modelType == 0 || state.modelType != comparison.modelType) return loaded;
    int driveMode = -1;
    for (const CompareRow& row : comparison.rows) {
        if (std::find(checked.begin(), checked.end(), row.id) == checked.end()) continue;
        OptionList& list = state.List(row.id);
        // The lists must still hold the entry compared with.
        if (!list.writable || row.entry < 0 || row.entry >= static_cast<int>(list.entries.size()) ||
            list.entries[static_cast<std::size_t>(row.entry)] != row.second) {
            continue;
        }
        list.Select(row.entry);
        loaded.push_back(row.id);
        if (row.id == ParamId::DriveMode) driveMode = row.entry;
    }
    if (driveMode >= 0) ApplyDriveModeChoice(state, driveMode);
    return loaded;
}

}  // namespace vorna
