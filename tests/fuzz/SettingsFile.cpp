// Settings files (Profiles: SettingsFileText, ImportSettings), for two model types per input
// (by its hash). Beyond not crashing:
// - importing any bytes leaves every selection on an entry of its list or on nothing; a list
//   changes only when it takes values from the PC, and then to the entry its key's value is or
//   begins with; every problem names a key of the file and its line; a file without [option]
//   or one that selects nothing is refused and changes nothing; every setting of the ESC (a
//   list the PC writes, with entries) is applied or named as skipped;
// - exporting any selections and importing the file into the same ESC's lists with the
//   writable selections cleared gives the same selections back, with no problem (refused
//   when there was no selection to export).
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "FuzzCheck.h"
#include "FuzzSetup.h"
#include "settings/IniFile.h"
#include "settings/Profiles.h"

namespace {

using namespace vorna;
using fuzz::Require;

constexpr std::string_view kVersions[] = {"1.30", "1.20"};

bool IsSettingsKey(std::string_view key) {
    for (const auto& k : kSettingsFileKeys) {
        if (k.key == key) return true;
    }
    return false;
}

void CheckImport(std::string_view text, const std::filesystem::path& file) {
    IniFile ini;
    ini.Parse(text);
    const bool isSettingsFile = ini.HasSection(kOptionSection);
    // CR, LF and CR LF each end a line; in UTF-16 a line end is two bytes, one of them 0D or 0A.
    const std::size_t lines = static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n') +
                                                       std::count(text.begin(), text.end(), '\r')) +
                              1;
    for (const int type : fuzz::ModelTypesFor(text)) {
        const std::string version(kVersions[static_cast<std::size_t>(type) % 2]);
        SetupState state = fuzz::FilledState(type, version);
        fuzz::SelectFrom(state, text, static_cast<std::size_t>(type));
        const SetupState before = state;
        const ImportOutcome outcome = ImportSettings(state, file);
        const ImportReport& result = outcome.report;
        Require(outcome.Done() == (isSettingsFile && result.applied > 0),
                "a file imports when it has an [option] section and selects something");
        if (!outcome.Done()) {
            Require(!outcome.refusal->detail.empty(), "a refused import says why");
            Require(fuzz::Selections(state) == fuzz::Selections(before),
                    "a refused import changes nothing");
            continue;
        }
        Require(result.applied >= 0 &&
                    result.applied + result.problems.size() <= kSettingsFileKeys.size(),
                "every key is applied, a problem, or left out");
        for (const ImportProblem& p : result.problems) {
            Require(IsSettingsKey(p.key), "a problem names a settings-file key");
            Require(p.line >= 1 && static_cast<std::size_t>(p.line) <= lines,
                    "a problem names a line of the file");
            Require(!p.why.empty(), "a problem says why");
        }
        int changed = 0;
        for (const auto& [key, listId] : kSettingsFileKeys) {
            const OptionList& list = state.List(listId);
            const OptionList& old = before.List(listId);
            Require(fuzz::SelectionInRange(list), "an import selects an entry of the list or none");
            if (list.selection == old.selection) continue;
            ++changed;
            Require(list.writable, "only a list the PC writes is changed by an import");
            Require(list.selection >= 0, "an import never clears a selection");
            const std::string value = ini.Get(kOptionSection, key, "", kSettingsValueChars);
            Require(!value.empty() && IniFile::StartsWithNoCase(*list.SelectedText(), value),
                    "an imported entry is or begins with its key's value");
        }
        Require(changed <= result.applied, "every change is counted as applied");
        int settable = 0;
        for (const auto& [key, listId] : kSettingsFileKeys) {
            const OptionList& list = state.List(listId);
            if (!list.writable || list.entries.empty()) continue;
            ++settable;
            const bool skipped = std::count(result.skipped.begin(), result.skipped.end(), key) > 0;
            const std::string value = ini.Get(kOptionSection, key, "", kSettingsValueChars);
            Require(skipped == (MatchEntry(before.List(listId), value).index < 0),
                    "a setting is skipped exactly when the file selects nothing in it");
        }
        Require(result.settings == settable &&
                    result.applied + static_cast<int>(result.skipped.size()) == settable,
                "every setting of the ESC is applied or skipped");
    }
}

void CheckRoundTrip(std::string_view bytes) {
    for (const int type : fuzz::ModelTypesFor(bytes)) {
        const std::string version(kVersions[static_cast<std::size_t>(type + 1) % 2]);
        SetupState state = fuzz::FilledState(type, version);
        fuzz::SelectFrom(state, bytes, 3 * static_cast<std::size_t>(type));
        const std::string text = SettingsFileText(state);
        const auto file = fuzz::WriteScratchFile("export.cfg", text);

        // The same ESC: what it keeps to itself stays; what the PC writes starts unselected.
        SetupState target = state;
        int selected = 0;
        for (ParamId id : kParameters) {
            OptionList& list = target.List(id);
            if (!list.writable) continue;
            if (list.selection >= 0) ++selected;
            list.selection = -1;
        }
        const ImportOutcome outcome = ImportSettings(target, file);
        const ImportReport& result = outcome.report;
        Require(outcome.Done() == (selected > 0),
                "an exported file imports when it selects something");
        Require(result.problems.empty(), "an exported file imports without a problem");
        Require(result.applied == selected, "every selection exported is applied");
        Require(fuzz::Selections(target) == fuzz::Selections(state),
                "an exported file imports as the selections it was made from");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text = fuzz::AsText(data, size);
    CheckImport(text, fuzz::WriteScratchFile("import.cfg", text));
    CheckRoundTrip(text);
    return 0;
}
