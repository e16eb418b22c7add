// Setup sheets and settings files, without any window: the GUI shows the results.
//
// Both kinds of file store a parameter as the text of its selected entry; loading selects the
// entry equal to the stored text, or the only one that begins with it (SelectByText). Nothing
// reaches the ESC here: a loaded profile is sent with the next write.
//
// Choices made here:
// - A sheet's "BEC Voltage" key is read and applied to BEC Voltage like keys 0 to 17
//   No sheet value goes to Lipo Cells / Turbo Off Slope (it has no sheet key).
// - Settings files keep the 19 classic keys and add nine keys after them for the lists the
//   19 keys cannot carry (kExtraSettingsKeys), so a round trip keeps every list. Files with
//   only the 19 keys read fine: their missing extra keys leave those lists unchanged.
// - Export appends ".cfg" only when the name does not already end in it (any case), writes a
//   fresh file (other sections or keys of an existing file are not kept: it is ours, written
//   whole) through a temporary file renamed over the target, and reports failures.
//   A name ending in a folder separator, an existing folder, FIFO or device and an existing
//   file without a write bit are refused (WriteFileReplacing), and nothing is written.
// - Import reads values with room for 259 characters (not 19) so an exported entry text comes
//   back whole; a missing key or an empty value leaves its list unchanged; a value that
//   selects nothing is reported with its line. A missing file, a folder, FIFO or device, a
//   file over kMaxIniFileBytes, or one without an [option] section, is an error and changes
//   nothing.
// - An import or a sheet that selects none of the connected ESC's settings (lists the PC
//   writes, with entries) is refused and changes nothing: otherwise it would be reported as
//   done while nothing changed, or clear the lists. An import names the settings it left as
//   they were (SkippedText); a sheet's are named by the page as left at the ESC's values.
// - Settings files and setup sheets are read whole (ReadSettingsFile, ReadSetupSheet) before
//   anything is applied, so a caller can read them without holding the lock of its state.
#pragma once

#include <array>
#include <cstddef>
#include <ctime>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/Result.h"
#include "settings/Backups.h"
#include "settings/IniFile.h"
#include "settings/Parameters.h"
#include "settings/SetupState.h"

namespace vorna {

// The Category list, index 0 to 11; each text is also a folder below the profile root.
// "Blinky Mode (zero timing" has no closing parenthesis, as the installed folder is named.
inline constexpr std::array<std::string_view, 12> kCategories = {"Modify Touring",
                                                                 "Stock 10.5T Touring",
                                                                 "Stock 13.5T Touring",
                                                                 "Stock 17.5T Touring",
                                                                 "Blinky Mode (zero timing",
                                                                 "Modify 2wd Buggy",
                                                                 "Modify 4wd Buggy",
                                                                 "Stock 10.5T Buggy",
                                                                 "Drift Car",
                                                                 "Fun Car",
                                                                 "Rock Crawler",
                                                                 "1-12 On road"};

struct ParameterKey {
    std::string_view key;
    ParamId listId;
};

// All 28 settings-file keys in file order (the parameter table's): the 19 classic keys, then
// those for the lists the 19 cannot carry.
inline constexpr std::array<ParameterKey, 28> kSettingsFileKeys = [] {
    std::array<ParameterKey, 28> keys{};
    for (std::size_t i = 0; i < keys.size(); ++i) {
        keys[i] = {kParameterTable[i].fileKey, kParameterTable[i].id};
    }
    return keys;
}();

// The [option] keys, index 0 to 18. Setup sheets carry 0 to 17 (and we also read
// 18); settings files carry all 19.
inline constexpr std::array<ParameterKey, kClassicFileKeys> kParameterKeys = [] {
    std::array<ParameterKey, kClassicFileKeys> keys{};
    for (std::size_t i = 0; i < keys.size(); ++i) keys[i] = kSettingsFileKeys[i];
    return keys;
}();

// [info] keys, shown in the 13 information fields in this order.
inline constexpr std::array<std::string_view, 13> kInfoKeys = {
    "Driver", "Date",       "Event",      "Firmware",     "Motor",          "Gear Ratio", "Timing",
    "Rotor",  "Track Name", "Track Type", "Track Design", "Traction Level", "Temp Track"};

inline constexpr std::string_view kOptionSection = "option";
inline constexpr std::string_view kInfoSection = "info";
inline constexpr std::string_view kMemoSection = "memo";
inline constexpr std::string_view kMemoKey = "memo";
inline constexpr std::string_view kProfileFolder = "Profile";  // below the program's folder
inline constexpr std::string_view kSettingsExtension = ".cfg";

// Characters read per value (buffers of 20 and 260 characters, terminator included).
inline constexpr std::size_t kOptionValueChars = 19;
inline constexpr std::size_t kInfoValueChars = 259;
inline constexpr std::size_t kSettingsValueChars = 259;  // import: see the note at the top

// How a stored text picks an entry: the entry that equals it (ASCII case ignored), else the
// only entry that begins with it. "For/Rev" must not land on "For/Rev/Brake", so a prefix
// that several entries begin with selects nothing and names them.
struct EntryMatch {
    int index = -1;                       // -1: nothing selected
    std::vector<std::string> candidates;  // the entries a too-short prefix fits
};
EntryMatch MatchEntry(const OptionList& list, std::string_view value);

// Selects what MatchEntry finds; without a match the list is unchanged. True when selected.
bool SelectByText(OptionList& list, std::string_view value);

// Why `value` selected nothing in `list`, for messages.
std::string NoMatchReason(const OptionList& list, std::string_view value);

// A sheet the chooser offers: the name shown and the file it stands for.
struct SheetChoice {
    std::string name;
    std::filesystem::path path;
};

// The sheets of a category: the regular files of shippedRoot/category whose names end in
// ".ini" (in any case), named without it and sorted with case ignored (ties by byte order),
// then the user's own from ownRoot/category (ownRoot may be empty) in the same order. Each
// keeps the path the folder listing gave. An own sheet named like a shipped one is shown as
// "NAME (own)", so both stay reachable and neither hides the other. A missing folder or an
// empty category adds nothing.
std::vector<SheetChoice> ListSheets(const std::filesystem::path& shippedRoot,
                                    const std::filesystem::path& ownRoot,
                                    std::string_view category);

// What ReadSmallFile and the messages call these files.
inline constexpr std::string_view kSettingsFileKind = "settings file";
inline constexpr std::string_view kSetupSheetKind = "setup sheet";

// A setup sheet as read from its file, not yet applied.
struct SheetFile {
    std::filesystem::path path;
    bool found = false;  // false: no such file (an empty sheet)
    IniFile ini;
};

// Reads the sheet (at most kMaxIniFileBytes); touches no state. A missing sheet is read as an
// empty one (found false); a folder, FIFO or device, a file too large or unreadable is
// refused with ReadSmallFile's problem.
Result<SheetFile> ReadSetupSheet(const std::filesystem::path& sheetPath);

struct LoadedSheet {
    bool fileFound = false;            // false: there was no such file (all empty)
    std::array<std::string, 13> info;  // by kInfoKeys, for the information fields
    std::string memo;                  // for the memo field
    bool memoVisible = false;          // show the memo and its captions: "Temp Track" is set
    std::vector<ParamId> selected;     // the lists a key of the sheet selected an entry in
};

// Loads a setup sheet into the parameter lists: calls clearSelections(state) first (the
// codec's ClearSelections; skipped when empty), then applies [option] keys 0 to 18 with
// SelectByText (a missing key reads as empty and matches nothing) and returns the [info]
// texts and the memo. A missing file still clears the lists. A sheet that selects none of the
// connected ESC's settings (a list the PC writes, with entries) is refused (NothingToDo) and
// changes nothing: loading it would only clear the lists. With no such list (no ESC
// identified) a sheet is loaded for its texts.
Result<LoadedSheet> ApplySetupSheet(SetupState& state, const SheetFile& sheet,
                                    const std::function<void(SetupState&)>& clearSelections);
// A sheet's [info] texts and memo, its lists untouched (`selected` empty).
LoadedSheet SheetTexts(const SheetFile& sheet);
// ReadSetupSheet, then ApplySetupSheet: a sheet refused when read changes nothing either.
Result<LoadedSheet> LoadProfile(SetupState& state, const std::filesystem::path& sheetPath,
                                const std::function<void(SetupState&)>& clearSelections);

// The file an export writes for the chosen name: ".cfg" appended unless it ends in it already.
std::filesystem::path SettingsFilePath(const std::filesystem::path& chosen);

// The name an export offers: the model type and the day ("model-16_2026-12-08.cfg"), or
// "settings_2026-12-08.cfg" before an ESC is identified.
std::string SuggestedSettingsFileName(int modelType, std::time_t now);

// The text of a settings file for the current selections: [option] with the 28 keys.
std::string SettingsFileText(const SetupState& state);

// Writes the settings file for `chosen` (SettingsFilePath): the file written, or the problem
// (WriteFileReplacing's, or BadName for a name that names a folder), naming the file.
Result<std::filesystem::path> ExportSettings(const SetupState& state,
                                             const std::filesystem::path& chosen);

// Where settings are saved before something replaces them on the ESC: backups/ in the user's
// folder (UserDataFolder: $XDG_DATA_HOME/vorna-link or ~/.local/share/vorna-link, on Windows
// %LOCALAPPDATA%\VORNA Link). Empty when there is no such folder.
std::filesystem::path BackupFolder();

// Saves `state` as a settings file in `folder` (made when missing), named with the date, the
// time and the model type ("2026-12-07_23-10-05_model-16.cfg"); an existing name gets a number.
// The file starts with a comment line saying why it was made (BackupHeader). The file
// written, or why none could be (Unwritable: no folder for backups, or it could not be made;
// else WriteFileReplacing's problem).
Result<std::filesystem::path> BackUpSettings(const SetupState& state,
                                             const std::filesystem::path& folder, std::time_t now,
                                             BackupReason reason);

struct ImportProblem {
    std::string key;
    int line = 0;  // 1-based line of the key in the file
    std::string value;
    std::string why;
};

// What an import found in a file, line by line.
struct ImportReport {
    std::vector<ImportProblem> problems;  // values that selected nothing (lists unchanged)
    // Lines of [option] that set nothing, in file order: keys this program does not know, a
    // key given again (the first one counts, as Windows programs read it), and lines without
    // '=' (`key` holds the line). `why` says which.
    std::vector<ImportProblem> ignored;
    int applied = 0;  // lists whose selection was set from the file
    // The ESC's settings the file could set (lists the PC writes, with entries), and the keys
    // of those it left as they were: no key, an empty value or one that fits no entry.
    int settings = 0;
    std::vector<std::string> skipped;
    std::filesystem::path path;
};

// How an import ended: its report, and when it was refused, why (nothing changed then). A
// refused import keeps its report, so the values that fit nothing can still be shown, the way
// a device procedure's outcome keeps what it found.
struct [[nodiscard]] ImportOutcome {
    ImportReport report;
    std::optional<Problem> refusal;
    bool Done() const { return !refusal; }
};

// "Skipped 2 of 20 settings in "x.cfg": Coast Value, Drive Mode", or empty when the import
// set every one.
std::string SkippedText(const ImportReport& report);

// A settings file as read from disk, not yet applied.
struct SettingsFile {
    std::filesystem::path path;
    IniFile ini;
};

// Reads the file (at most kMaxIniFileBytes) and checks that it has an [option] section
// (BadContent without one; else ReadSmallFile's problem); touches no state.
Result<SettingsFile> ReadSettingsFile(const std::filesystem::path& path);
// Applies a file ReadSettingsFile read. A file that selects none of the ESC's settings is
// refused (NothingToDo; its report still says why), so that an import that would change
// nothing is never reported as done.
ImportOutcome ApplySettingsFile(SetupState& state, const SettingsFile& file);
// ReadSettingsFile, then ApplySettingsFile: a file refused when read is refused with its
// problem and an empty report.
ImportOutcome ImportSettings(SetupState& state, const std::filesystem::path& path);

}  // namespace vorna
