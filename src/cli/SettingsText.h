// The ESC's settings as vornactl prints them, and NAME=VALUE assignments.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "base/Result.h"
#include "settings/Parameters.h"
#include "settings/SetupState.h"

namespace vorna::cli {

// A list the model uses: it has entries and is enabled.
bool IsUsed(const SetupState& state, ParamId listId);

// `unread`: settings the ESC did not give at the last read (shown as not read, not as empty).
std::string SettingsTable(const SetupState& state, const std::string& firmwareText,
                          const std::vector<ParamId>& unread = {});
std::string SettingsJson(const SetupState& state, const std::string& firmwareText,
                         const std::vector<ParamId>& unread = {});

// Selects the entry `value` begins with (case ignored) in the list named `name` (its caption
// for this model, or its settings-file key). Returns the list, or (BadContent, nothing changed)
// what is wrong and what would be valid.
Result<ParamId> ApplyAssignment(SetupState& state, const std::string& name,
                                const std::string& value);

}  // namespace vorna::cli
