// Setup sheets (Profiles: LoadProfile) of any bytes, for two model types per input (by its
// hash), loaded over cleared lists (no settings read yet) and over the ESC's own selections.
// Beyond not crashing:
// - every selection is an entry of its list or none, and the lists' entries stay as they were;
// - a list the sheet selected in takes values from the PC, is named once, and now selects the
//   entry its key's value (19 characters) is or begins with; every other list is as it was
//   before the sheet (after the clearing, when there was one);
// - a sheet is refused exactly when it selects nothing while the ESC has a list the PC writes,
//   with entries; a refused sheet names its file and changes nothing, not even by clearing;
// - the information texts and the memo are UTF-8, one line each, of at most 259 characters,
//   and the memo shows exactly when "Temp Track" is set.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "FuzzCheck.h"
#include "FuzzSetup.h"
#include "settings/Codec.h"
#include "settings/IniFile.h"
#include "settings/Profiles.h"

namespace {

using namespace vorna;
using fuzz::Require;

void CheckText(std::string_view text) {
    Require(text.find('\n') == std::string_view::npos, "a sheet text is one line");
    Require(fuzz::WellFormedUtf8(text), "a sheet text is UTF-8, whatever the file's encoding");
    Require(fuzz::CodePoints(text) <= kInfoValueChars, "a sheet text has at most 259 characters");
}

void CheckLoad(const IniFile& ini, const std::filesystem::path& file, const SetupState& before,
               bool clear) {
    SetupState state = before;
    const Result<LoadedSheet> loaded = LoadProfile(state, file, clear ? ClearSelections : nullptr);
    bool settable = false;
    bool selects = false;
    for (const auto& [key, listId] : kParameterKeys) {
        const OptionList& list = before.List(listId);
        if (!list.writable || list.entries.empty()) continue;
        settable = true;
        selects = selects ||
                  MatchEntry(list, ini.Get(kOptionSection, key, "", kOptionValueChars)).index >= 0;
    }
    Require(loaded.Ok() == (selects || !settable),
            "a sheet is refused when it selects none of the ESC's settings");
    if (!loaded) {
        Require(loaded.Detail().find(file.string()) != std::string::npos,
                "a refusal names the file");
        Require(fuzz::Selections(state) == fuzz::Selections(before),
                "a refused sheet changes nothing");
        return;
    }
    const LoadedSheet& sheet = *loaded;
    Require(sheet.fileFound, "a sheet that is there is found");
    SetupState expected = before;
    if (clear) ClearSelections(expected);

    for (ParamId id : kParameters) {
        const OptionList& list = state.List(id);
        Require(list.entries == before.List(id).entries &&
                    list.enabled == before.List(id).enabled &&
                    list.writable == before.List(id).writable,
                "a sheet changes selections only");
        Require(fuzz::SelectionInRange(list), "a sheet selects an entry of the list or none");
        const bool named = std::count(sheet.selected.begin(), sheet.selected.end(), id) > 0;
        Require(std::count(sheet.selected.begin(), sheet.selected.end(), id) <= 1,
                "a list is named once");
        if (!named) {
            Require(list.selection == expected.List(id).selection,
                    "a list the sheet did not select in is as it was");
            continue;
        }
        Require(list.writable, "a sheet selects only in a list the PC writes");
        Require(list.selection >= 0, "a list the sheet selected in has a selection");
        const auto key = std::find_if(kParameterKeys.begin(), kParameterKeys.end(),
                                      [&](const ParameterKey& k) { return k.listId == id; });
        Require(key != kParameterKeys.end(), "a sheet selects only in a list it has a key for");
        const std::string value = ini.Get(kOptionSection, key->key, "", kOptionValueChars);
        Require(MatchEntry(list, value).index == list.selection,
                "a sheet selects the entry its value is or begins with");
    }
    std::size_t named = 0;
    for (ParamId id : kParameters)
        named += std::count(sheet.selected.begin(), sheet.selected.end(), id);
    Require(named == sheet.selected.size(), "a sheet names parameter lists only");
    for (const auto& text : sheet.info) CheckText(text);
    CheckText(sheet.memo);
    Require(sheet.memoVisible == !sheet.info.back().empty(),
            "the memo shows when Temp Track is set");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text = fuzz::AsText(data, size);
    const auto file = fuzz::WriteScratchFile("sheet.ini", text);
    IniFile ini;
    ini.Parse(text);
    for (const int type : fuzz::ModelTypesFor(text)) {
        SetupState before = fuzz::FilledState(type);
        fuzz::SelectFrom(before, text, static_cast<std::size_t>(type));
        CheckLoad(ini, file, before, type % 2 == 0);
        CheckLoad(ini, file, before, type % 2 != 0);
    }
    return 0;
}
