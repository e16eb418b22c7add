// `vornactl set NAME=VALUE ...` assignments (cli/SettingsText: ApplyAssignment), for two model
// types per input (by its hash). Each line of the input is one argument, cut at its first '=' as
// the command cuts it (an argument without '=', or starting with it, is refused before). Beyond not
// crashing:
// - an assignment taken names a list by its caption or its settings-file key (blanks around
//   it and case ignored), one the ESC uses and the PC writes, and selects the entry the value
//   (blanks around it ignored) is or begins with; no other selection changes;
// - an assignment refused changes nothing and says why.
#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "FuzzCheck.h"
#include "FuzzSetup.h"
#include "cli/SettingsText.h"
#include "settings/IniFile.h"
#include "settings/Profiles.h"

namespace {

using namespace vorna;
using fuzz::Require;

std::string_view TrimBlanks(std::string_view s) {
    const auto first = s.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    return s.substr(first, s.find_last_not_of(" \t") - first + 1);
}

bool Names(ParamId id, int modelType, std::string_view name) {
    if (IniFile::EqualNoCase(ListCaption(id, modelType), name)) return true;
    for (const auto& k : kSettingsFileKeys) {
        if (k.listId == id && IniFile::EqualNoCase(k.key, name)) return true;
    }
    return false;
}

void CheckAssignment(SetupState& state, const std::string& name, const std::string& value) {
    const SetupState before = state;
    const auto id = cli::ApplyAssignment(state, name, value);
    if (!id) {
        Require(!id.Detail().empty(), "a refused assignment says why");
        Require(fuzz::Selections(state) == fuzz::Selections(before),
                "a refused assignment changes nothing");
        return;
    }
    Require(Names(*id, state.modelType, TrimBlanks(name)),
            "an assignment names its list by caption or key");
    // The first list of the page's order that the name fits.
    for (ParamId other : kPageOrder) {
        if (other == *id) break;
        Require(!Names(other, state.modelType, TrimBlanks(name)), "the first list named is set");
    }
    const OptionList& list = state.List(*id);
    Require(cli::IsUsed(state, *id) && list.writable, "an assignment sets a list the PC writes");
    Require(list.selection >= 0 && fuzz::SelectionInRange(list), "an assignment selects an entry");
    const std::string_view wanted = TrimBlanks(value);
    Require(!wanted.empty() && IniFile::StartsWithNoCase(*list.SelectedText(), wanted),
            "the entry selected is or begins with the value");
    for (ParamId other : kParameters) {
        if (other == *id) continue;
        Require(state.List(other).selection == before.List(other).selection,
                "an assignment changes no other list");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text = fuzz::AsText(data, size);
    std::vector<std::pair<std::string, std::string>> assignments;
    for (std::size_t pos = 0; pos <= text.size() && assignments.size() < 8;) {
        const auto end = std::min(text.find('\n', pos), text.size());
        const std::string_view arg = text.substr(pos, end - pos);
        pos = end + 1;
        const auto eq = arg.find('=');
        if (eq == std::string_view::npos || eq == 0) continue;
        assignments.emplace_back(arg.substr(0, eq), arg.substr(eq + 1));
    }
    for (const int type : fuzz::ModelTypesFor(text)) {
        SetupState state = fuzz::FilledState(type);
        fuzz::SelectFrom(state, text, static_cast<std::size_t>(type));
        for (const auto& [name, value] : assignments) CheckAssignment(state, name, value);
    }
    return 0;
}
