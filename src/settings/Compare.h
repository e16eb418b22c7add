// The ESC's settings against a settings file, a setup sheet or a backup, or one file against
// another: which settings differ, and which the other side holds that this ESC cannot take.
// The window's compare view and `vornactl diff` show a Comparison; loading its checked rows
// puts them on the page as unsent changes, and nothing is sent until SEND.
#pragma once

#include <array>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "settings/Profiles.h"
#include "settings/SetupState.h"

namespace vorna {

// One side's settings as texts, by position in kParameters.
struct SettingsSide {
    enum class Kind { Esc, SettingsFile, SetupSheet };
    struct Value {
        std::string text;
        int line = 0;  // in the file; 0 for the ESC
    };
    Kind kind = Kind::Esc;
    std::filesystem::path path;  // the file; empty for the ESC
    std::array<std::optional<Value>, kParameters.size()> values;
    // Key lines of [option] that set nothing: keys that are no setting, and repeats.
    std::vector<ImportProblem> ignored;
    int modelType = -1;  // the ESC's, or the one a backup's name gives; -1: not known
};

// The ESC's values: the selected entry of every list that has one.
SettingsSide EscSide(const SetupState& escValues);
// A settings file (or a backup) ReadSettingsFile read (ok).
SettingsSide SettingsFileSide(const SettingsFile& file);
// A setup sheet ReadSetupSheet read: the keys a sheet loads (Profiles.h).
SettingsSide SetupSheetSide(const SheetFile& sheet);

// A setting both sides hold with different values.
struct CompareRow {
    ParamId id;
    std::string caption;
    std::string first;   // side A's value; empty: A does not name it
    std::string second;  // side B's value; empty: B does not name it
    int line = 0;        // of B's value in its file
    int entry = -1;      // B's entry in the ESC's list; -1: compared as texts (no ESC)
};

// A value of a file side that the ESC cannot take, listed apart with the reason.
struct SetApart {
    ParamId id;
    std::string caption;
    std::string value;
    int line = 0;
    std::string why;
    bool fromFirst = false;  // side A's value (else B's)
};

struct Comparison {
    int modelType = 0;  // of the lists the values were judged by; 0: compared as texts
    std::vector<CompareRow> rows;
    std::vector<SetApart> apart;
    std::vector<ImportProblem> ignored;  // both sides' ignored key lines, A's first
    // Said when a backup's name gives another model type than the ESC's.
    std::string modelNote;

    bool Equal() const { return rows.empty() && apart.empty(); }
};

// Compares A with B, in the page's reading order. With `escLists` (the ESC's page state, its
// model identified) each file side's values are judged by the ESC's lists, as an import judges
// them: a value this model lacks, cannot take from the PC or that fits none of its entries is
// set apart, and values are compared as the entries they select. Without, the texts are
// compared as they are (case ignored), and a setting only one side names differs too; with,
// such a setting keeps the page's value and is no row.
Comparison Compare(const SettingsSide& a, const SettingsSide& b, const SetupState* escLists);

// Puts B's value of each checked row on `state`'s lists (Drive Mode carrying its dependency as
// a pick in its list does); every other list keeps its selection. Nothing at all when the lists
// are no longer those of the model compared with (another ESC came meanwhile). Returns the
// lists set.
std::vector<ParamId> LoadCheckedRows(SetupState& state, const Comparison& comparison,
                                     const std::vector<ParamId>& checked);

}  // namespace vorna
