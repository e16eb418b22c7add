#include "cli/SettingsText.h"

#include <algorithm>
#include <cctype>

#include "base/Text.h"
#include "cli/TerminalText.h"
#include "settings/Catalogue.h"
#include "settings/Profiles.h"

namespace vorna::cli {
namespace {

std::string Trim(const std::string& s) {
    const auto first = s.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    return s.substr(first, s.find_last_not_of(" \t") - first + 1);
}

std::string KeyOf(ParamId listId) {
    for (const auto& k : kSettingsFileKeys) {
        if (k.listId == listId) return std::string(k.key);
    }
    return {};
}

std::string JsonString(const std::string& s) {
    return JsonQuoted(s);
}

bool IsIn(const std::vector<ParamId>& ids, ParamId id) {
    return std::find(ids.begin(), ids.end(), id) != ids.end();
}

}  // namespace

bool IsUsed(const SetupState& state, ParamId listId) {
    const auto& list = state.List(listId);
    return list.enabled && !list.entries.empty();
}

std::string SettingsTable(const SetupState& state, const std::string& firmwareText,
                          const std::vector<ParamId>& unread) {
    std::string text = "Model type: " + std::to_string(state.modelType) + "\n";
    if (!firmwareText.empty()) text += "Firmware: " + Shown(firmwareText) + "\n";
    for (ParamId id : kPageOrder) {
        if (!IsUsed(state, id)) continue;
        const auto* selected = state.List(id).SelectedText();
        const std::string value = selected ? Shown(*selected)
                                  : IsIn(unread, id)
                                      ? "(not read: the ESC did not answer when asked for it)"
                                      : "(none)";
        text += ListCaption(id, state.modelType) + ": " + value + "\n";
    }
    return text;
}

std::string SettingsJson(const SetupState& state, const std::string& firmwareText,
                         const std::vector<ParamId>& unread) {
    std::string json = "{\n  \"modelType\": " + std::to_string(state.modelType) +
                       ",\n  \"version\": " + JsonString(state.versionText) +
                       ",\n  \"firmware\": " + JsonString(firmwareText) + ",\n  \"settings\": [";
    bool first = true;
    for (ParamId id : kPageOrder) {
        if (!IsUsed(state, id)) continue;
        const auto& list = state.List(id);
        json += first ? "\n" : ",\n";
        first = false;
        // The settings-file key names a setting for scripts; the caption follows the model.
        json += "    {\"caption\": " + JsonString(ListCaption(id, state.modelType)) +
                ", \"key\": " + JsonString(KeyOf(id)) +
                ", \"index\": " + std::to_string(list.selection) + ", \"value\": " +
                (list.SelectedText() ? JsonString(*list.SelectedText()) : std::string("null")) +
                (IsIn(unread, id) ? ", \"read\": false" : "") + "}";
    }
    return json + "\n  ]\n}\n";
}

Result<ParamId> ApplyAssignment(SetupState& state, const std::string& rawName,
                                const std::string& rawValue) {
    const std::string name = LowerAscii(Trim(rawName));
    const std::string value = Trim(rawValue);
    std::optional<ParamId> found;
    for (ParamId id : kPageOrder) {
        if (LowerAscii(ListCaption(id, state.modelType)) == name || LowerAscii(KeyOf(id)) == name) {
            found = id;
            break;
        }
    }
    if (!found || !IsUsed(state, *found)) {
        std::string problem = !found ? "unknown setting \"" + Trim(rawName) + "\""
                                     : "\"" + Trim(rawName) +
                                           "\" is not used by this ESC (model type " +
                                           std::to_string(state.modelType) + ")";
        problem += ". Settings of this ESC:";
        for (ParamId id : kPageOrder) {
            if (IsUsed(state, id)) problem += "\n  " + ListCaption(id, state.modelType);
        }
        return Problem{ProblemKind::BadContent, std::move(problem)};
    }
    const ParamId listId = *found;
    OptionList& list = state.List(listId);
    if (!list.writable) {
        return Problem{ProblemKind::BadContent,
                       ListCaption(listId, state.modelType) +
                           " cannot be changed from the PC on this ESC (model type " +
                           std::to_string(state.modelType) + "): it keeps its own value"};
    }
    if (!SelectByText(list, value)) {
        std::string problem =
            ListCaption(listId, state.modelType) + ": " + NoMatchReason(list, value) + ". Choices:";
        for (const auto& entry : list.entries) problem += "\n  " + entry;
        return Problem{ProblemKind::BadContent, std::move(problem)};
    }
    return listId;
}

}  // namespace vorna::cli
