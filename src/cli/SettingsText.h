// The ESC's settings as vornactl prints them, and NAME=VALUE assignments.
#pragma once

#include <array>
#include <string>

#include "settings/SetupState.h"

namespace vorna::cli {

// The parameter lists in the page's order: left column top to bottom, then the middle column.
inline constexpr std::array<int, 28> kPageOrder = {
    1009, 1010, 1011, 1012, 1013, 1014, 1015, 1031, 1016, 1030, 1017, 1018, 1019, 1020,
    1107, 1108, 1109, 1029, 1021, 1024, 1032, 1026, 1023, 1022, 1106, 1025, 1110, 1111};

// A list the model uses: it has entries and is enabled.
bool IsUsed(const SetupState& state, int listId);

std::string SettingsTable(const SetupState& state, const std::string& firmwareText);
std::string SettingsJson(const SetupState& state, const std::string& firmwareText);

// Selects the entry `value` begins with (case ignored) in the list named `name` (its caption
// for this model, or its settings-file key). Returns the list id, or 0 with `problem` saying
// what is wrong and what would be valid.
int ApplyAssignment(SetupState& state, const std::string& name, const std::string& value,
                    std::string& problem);

}  // namespace vorna::cli
