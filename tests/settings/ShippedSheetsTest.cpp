// The setup sheets installed with the program (data/Profile): every category offers sheets,
// every sheet is complete and uses only the keys the loader reads, and every value a sheet
// stores selects an entry on each ESC its category is written for.
#include <gtest/gtest.h>

#include <algorithm>

#include <array>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "settings/Catalogue.h"
#include "settings/Codec.h"
#include "settings/IniFile.h"
#include "settings/Profiles.h"

namespace fs = std::filesystem;
using namespace vorna;

namespace {

fs::path ProfileRoot() {
    return fs::path(VORNA_SOURCE_DIR) / "data" / std::string(kProfileFolder);
}

// The ESCs each category's sheets are written for, in the order of kCategories; every value of
// every sheet of the category must select an entry on each of them. Other ESCs can load the
// sheets too, but some of their lists spell the same choice differently and stay unselected.
//  - Modified classes: VORNA ZEN with hardware 0x81 and 0x85 (types 1, 8), whose lists are
//    identical, so a sheet can carry Boost ACC in RPM/deg and the 80/90 C temperature cuts.
//  - Stock classes: family 12 (stock class) 0x81 and 0x85 (types 3, 9), likewise identical. Their
//    Boost Start RPM list is empty, so stock sheets do not carry "Boost RPM".
//  - Blinky: every VORNA ALTA (2, 7, 10, 14, 15). Their temperature cuts differ from one
//    firmware generation to the next (80/90 C, 90 C, 105/125 C), so blinky sheets leave
//    "Temp Cut Set" to the ESC; none of them has a timing setting, so no sheet names one.
//  - Drift: VORNA ZEN and the family-12 stock ESC with firmware 5 (16, 17): boost far up the
//    rev range (Boost Start RPM to 60000), Boost Timing Activation "Auto"/"RPM".
//  - Fun Car: the 1:8 ESC R5 (4, 11, 13). Their Low Volt Cut lists only share "Disable" and
//    their temperature and rotation lists share nothing useful, so those keys are left to the
//    ESC except "Disable" on the NiMH sheet.
//  - Rock Crawler: the VORNA ALTA built for two and more cells (2, 10, 14, 15): no timing,
//    strong drag brake, high drive frequency.
//  - 1-12 On road: the one-cell variants (ZEN 5, family-12 6, ALTA 7) and family-12 type 12,
//    whose lists follow the one-cell ones. Turbo Slope is written as its leading number ("12"),
//    which selects the same step whether the list spells it "12 deg/0.1s" or "12deg/0.1s".
struct CategoryModels {
    std::string_view category;
    std::vector<int> modelTypes;
};

const std::vector<CategoryModels>& SheetModels() {
    static const std::vector<CategoryModels> table = {
        {"Modify Touring", {1, 8}},
        {"Stock 10.5T Touring", {3, 9}},
        {"Stock 13.5T Touring", {3, 9}},
        {"Stock 17.5T Touring", {3, 9}},
        {"Blinky Mode (zero timing", {2, 7, 10, 14, 15}},
        {"Modify 2wd Buggy", {1, 8}},
        {"Modify 4wd Buggy", {1, 8}},
        {"Stock 10.5T Buggy", {3, 9}},
        {"Drift Car", {16, 17}},
        {"Fun Car", {4, 11, 13}},
        {"Rock Crawler", {2, 10, 14, 15}},
        {"1-12 On road", {5, 6, 7, 12}},
    };
    return table;
}

// Identity bytes 0 to 3 (family, marker, hardware code, firmware number) of an ESC of each
// model type; index 0 is unused.
constexpr std::array<std::array<std::uint8_t, 4>, 18> kIdentities = {{
    {0, 0, 0, 0},
    {11, 0x40, 0x81, 3},   // 1 ZEN
    {13, 0x40, 0x81, 3},   // 2 ALTA
    {12, 0x40, 0x81, 3},   // 3 family 12
    {10, 0x40, 0x83, 0},   // 4 1:8 ESC R5
    {11, 0x40, 0x82, 3},   // 5 ZEN one-cell
    {12, 0x40, 0x82, 3},   // 6 family 12 one-cell
    {13, 0x40, 0x82, 3},   // 7 ALTA one-cell
    {11, 0x40, 0x85, 3},   // 8 ZEN 0x85
    {12, 0x40, 0x85, 3},   // 9 family 12 0x85
    {13, 0x40, 0x85, 3},   // 10 ALTA 0x85
    {10, 0x40, 0x83, 1},   // 11 1:8 ESC R5
    {12, 0x40, 0x81, 4},   // 12 family 12
    {10, 0x40, 0x83, 3},   // 13 1:8 ESC R5
    {13, 0x40, 0x83, 20},  // 14 ALTA
    {13, 0x40, 0x83, 5},   // 15 ALTA
    {11, 0x40, 0x83, 5},   // 16 ZEN
    {12, 0x40, 0x81, 5},   // 17 family 12
}};

// Firmware 1.30 gives types 1, 2, 3, 8, 9 and 10 their 1st Power Level list; the other types
// ignore the version text.
constexpr const char* kVersionText = "1.30";

SetupState FilledFor(int modelType) {
    SetupState state;
    state.modelType = modelType;
    state.versionText = kVersionText;
    FillOptionLists(state);
    return state;
}

struct Sheet {
    std::string category;
    std::string name;
    fs::path path;
    IniFile ini;

    std::string Where() const { return "\"" + category + "/" + name + ".ini\""; }
};

std::vector<Sheet> AllSheets() {
    std::vector<Sheet> sheets;
    for (const auto category : kCategories) {
        for (const SheetChoice& choice : ListSheets(ProfileRoot(), fs::path(), category)) {
            Sheet sheet{std::string(category), choice.name, choice.path, {}};
            EXPECT_TRUE(sheet.ini.Load(sheet.path)) << choice.name;
            sheets.push_back(std::move(sheet));
        }
    }
    return sheets;
}

const std::vector<int>& ModelsOf(std::string_view category) {
    for (const auto& row : SheetModels()) {
        if (row.category == category) return row.modelTypes;
    }
    static const std::vector<int> none;
    return none;
}

// The sheet keys 0 to 17 of kParameterKeys.
std::vector<ParameterKey> SheetKeys() {
    return {kParameterKeys.begin(), kParameterKeys.begin() + kSheetParameterKeys};
}

// Values a sheet stores under [option], read the way the loader would if it had room for
// the whole line (to see values that the 19-character read would cut).
std::vector<std::pair<ParameterKey, std::string>> StoredOptions(const Sheet& sheet) {
    std::vector<std::pair<ParameterKey, std::string>> stored;
    for (const auto& key : SheetKeys()) {
        const IniFile::Value v = sheet.ini.Find(kOptionSection, key.key, kInfoValueChars);
        if (v.found) stored.emplace_back(key, v.text);
    }
    return stored;
}

std::string ReadBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string Trim(std::string_view s) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
    while (!s.empty() && blank(s.front())) s.remove_prefix(1);
    while (!s.empty() && blank(s.back())) s.remove_suffix(1);
    return std::string(s);
}

// The sections and keys of a sheet as written, in file order, for checks the loader cannot
// make: a misspelt or doubled key is silently ignored when the sheet is loaded.
struct Layout {
    std::vector<std::string> sections;
    std::map<std::string, std::vector<std::string>> keys;  // by section
    std::vector<std::string> strayLines;                   // neither section, key nor comment
    int crlfLines = 0;
    int lfLines = 0;
};

Layout ReadLayout(const fs::path& path) {
    Layout layout;
    std::istringstream text(ReadBytes(path));
    std::string line;
    std::string section;
    while (std::getline(text, line)) {
        if (!line.empty() && line.back() == '\r') {
            ++layout.crlfLines;
        } else if (!text.eof()) {
            ++layout.lfLines;
        }
        const std::string trimmed = Trim(line);
        if (trimmed.empty() || trimmed.front() == ';') continue;
        if (trimmed.front() == '[' && trimmed.back() == ']') {
            section = Trim(std::string_view(trimmed).substr(1, trimmed.size() - 2));
            layout.sections.push_back(section);
            continue;
        }
        const auto eq = trimmed.find('=');
        if (eq == std::string::npos || section.empty()) {
            layout.strayLines.push_back(trimmed);
            continue;
        }
        layout.keys[section].push_back(Trim(std::string_view(trimmed).substr(0, eq)));
    }
    return layout;
}

template <typename Names>
bool Contains(const Names& names, std::string_view name) {
    for (const auto& n : names) {
        if (std::string_view(n) == name) return true;
    }
    return false;
}

}  // namespace

// The table above must follow the category list, name only model types that exist, and the
// identity bytes must give the types they stand for; the other tests rely on both.
TEST(ShippedSheets, CategoryTableFollowsTheCategoryListAndIdentitiesGiveTheirTypes) {
    ASSERT_EQ(SheetModels().size(), kCategories.size());
    for (std::size_t i = 0; i < kCategories.size(); ++i) {
        EXPECT_EQ(SheetModels()[i].category, kCategories[i]) << "row " << i;
        EXPECT_FALSE(SheetModels()[i].modelTypes.empty()) << kCategories[i];
        for (int type : SheetModels()[i].modelTypes) {
            EXPECT_GE(type, 1) << kCategories[i];
            EXPECT_LE(type, 17) << kCategories[i];
        }
    }
    for (int type = 1; type <= 17; ++type) {
        SetupState state;
        state.versionText = kVersionText;
        EXPECT_EQ(RecognizeModel(state, kIdentities[type].data()), type);
    }
}

TEST(ShippedSheets, EveryCategoryFolderHoldsAtLeastTwoSheetsAndNothingElse) {
    ASSERT_TRUE(fs::is_directory(ProfileRoot())) << ProfileRoot();
    for (const auto category : kCategories) {
        const fs::path folder = ProfileRoot() / std::string(category);
        EXPECT_TRUE(fs::is_directory(folder)) << folder;
        const auto sheets = ListSheets(ProfileRoot(), fs::path(), category);
        EXPECT_GE(sheets.size(), 2u) << category;
        if (!fs::is_directory(folder)) continue;
        // Anything else in the folder is never offered (or, as a differently cased ".INI",
        // offered under a name nobody checked).
        for (const auto& entry : fs::directory_iterator(folder)) {
            EXPECT_TRUE(entry.is_regular_file() && entry.path().extension() == ".ini")
                << "stray entry " << entry.path();
        }
    }
    // A folder whose name is not exactly a category text is never offered.
    for (const auto& entry : fs::directory_iterator(ProfileRoot())) {
        const std::string name = entry.path().filename().string();
        EXPECT_TRUE(entry.is_directory() && Contains(kCategories, name))
            << "not a category folder: " << entry.path();
    }
}

// Keys are matched by name when a sheet is loaded, so a misspelt key, a key outside the 18 a
// sheet carries or a second copy of a key (only the first is read) would go unnoticed.
TEST(ShippedSheets, EverySheetUsesOnlyTheSheetKeysAndFillsEveryInformationField) {
    const auto sheets = AllSheets();
    ASSERT_FALSE(sheets.empty());
    std::vector<std::string> optionKeys;
    for (const auto& key : SheetKeys()) optionKeys.emplace_back(key.key);
    std::map<std::string, int> emptyTempTrack;  // by category

    for (const auto& sheet : sheets) {
        SCOPED_TRACE(sheet.Where());
        const Layout layout = ReadLayout(sheet.path);
        EXPECT_TRUE(layout.strayLines.empty()) << "first stray line: " << layout.strayLines[0];
        EXPECT_TRUE(layout.crlfLines == 0 || layout.lfLines == 0)
            << layout.crlfLines << " CRLF and " << layout.lfLines << " LF line ends";
        EXPECT_EQ(layout.sections,
                  (std::vector<std::string>{std::string(kOptionSection), std::string(kInfoSection),
                                            std::string(kMemoSection)}));

        const auto& written = layout.keys;
        const auto keysOf = [&](std::string_view section) {
            const auto it = written.find(std::string(section));
            return it == written.end() ? std::vector<std::string>{} : it->second;
        };
        std::set<std::string> seen;
        for (const auto& key : keysOf(kOptionSection)) {
            EXPECT_TRUE(Contains(optionKeys, key)) << "unknown [option] key \"" << key << "\"";
            EXPECT_TRUE(seen.insert(key).second) << "[option] key written twice: " << key;
        }
        std::vector<std::string> infoKeys(kInfoKeys.begin(), kInfoKeys.end());
        EXPECT_EQ(keysOf(kInfoSection), infoKeys) << "[info] must hold the 13 keys in order";
        EXPECT_EQ(keysOf(kMemoSection), std::vector<std::string>{std::string(kMemoKey)});

        for (std::size_t i = 0; i + 1 < kInfoKeys.size(); ++i) {
            EXPECT_FALSE(sheet.ini.Get(kInfoSection, kInfoKeys[i], "", kInfoValueChars).empty())
                << "empty [info] " << kInfoKeys[i];
        }
        if (sheet.ini.Get(kInfoSection, kInfoKeys.back(), "", kInfoValueChars).empty()) {
            ++emptyTempTrack[sheet.category];
        }
        const IniFile::Value memo = sheet.ini.Find(kMemoSection, kMemoKey, kInfoValueChars + 1);
        EXPECT_FALSE(memo.text.empty()) << "no memo";
        EXPECT_LE(memo.text.size(), kInfoValueChars) << "memo longer than the loader reads";
    }
    // An empty "Temp Track" hides the memo, so it is the exception in a category, not the rule.
    for (const auto& [category, count] : emptyTempTrack) {
        EXPECT_LE(count, 1) << category << ": sheets without \"Temp Track\"";
    }
}

// The loader reads [option] values with room for 19 characters; a longer value would be cut
// and could select a different entry than the one written.
TEST(ShippedSheets, OptionValuesFitTheNineteenCharactersTheLoaderReads) {
    const auto sheets = AllSheets();
    ASSERT_FALSE(sheets.empty());
    for (const auto& sheet : sheets) {
        for (const auto& [key, value] : StoredOptions(sheet)) {
            EXPECT_FALSE(value.empty()) << sheet.Where() << " " << key.key
                                        << ": an empty value selects nothing; leave the key out";
            EXPECT_LE(value.size(), kOptionValueChars)
                << sheet.Where() << " " << key.key << "=" << value;
        }
    }
}

// Every value selects an entry on every ESC of its category that has the list (a list that a
// model type leaves empty is not asked), names exactly one entry (the entry itself, or a
// prefix that only one entry begins with), and is of use to at least one ESC of the category.
TEST(ShippedSheets, EveryValueSelectsOneEntryOnEveryEscOfItsCategory) {
    const auto sheets = AllSheets();
    ASSERT_FALSE(sheets.empty());
    for (const auto& sheet : sheets) {
        const auto& models = ModelsOf(sheet.category);
        ASSERT_FALSE(models.empty()) << sheet.category << " has no row in the table";
        for (const auto& [key, value] : StoredOptions(sheet)) {
            int listsWithEntries = 0;
            for (int type : models) {
                SetupState state = FilledFor(type);
                OptionList& list = state.List(key.listId);
                // A list the ESC does not take from the PC keeps the ESC's value.
                if (list.entries.empty() || !list.writable) continue;
                ++listsWithEntries;
                const std::string where = sheet.Where() + " " + std::string(key.key) + "=" + value +
                                          " on model type " + std::to_string(type);
                EXPECT_TRUE(SelectByText(list, value))
                    << where << ": " << NoMatchReason(list, value);
                int beginning = 0;
                bool exact = false;
                for (const auto& entry : list.entries) {
                    if (IniFile::StartsWithNoCase(entry, value)) ++beginning;
                    if (IniFile::EqualNoCase(entry, value)) exact = true;
                }
                EXPECT_TRUE(exact || beginning <= 1)
                    << where << ": " << beginning << " entries begin with it";
            }
            EXPECT_GT(listsWithEntries, 0)
                << sheet.Where() << " " << key.key << "=" << value
                << ": no ESC of the category takes this setting; leave the key out";
        }
    }
}

// The whole path the page takes: identify the ESC, load the sheet (clearing the selections
// first, reading 19 characters per value); every list the sheet names that the ESC has is then
// selected on the entry equal to the stored text (or, without one, the entry that begins with
// it), and the setup comment is there.
TEST(ShippedSheets, LoadingEachSheetOnEachEscOfItsCategorySelectsEveryListItNames) {
    const auto sheets = AllSheets();
    ASSERT_FALSE(sheets.empty());
    for (const auto& sheet : sheets) {
        const auto stored = StoredOptions(sheet);
        for (int type : ModelsOf(sheet.category)) {
            SCOPED_TRACE(sheet.Where() + " on model type " + std::to_string(type));
            SetupState state;
            state.versionText = kVersionText;
            ASSERT_EQ(RecognizeModel(state, kIdentities[type].data()), type);

            const Result<LoadedSheet> loaded = LoadProfile(state, sheet.path, ClearSelections);
            ASSERT_TRUE(loaded) << loaded.Detail();
            ASSERT_TRUE(loaded->fileFound);
            for (const auto& [key, value] : stored) {
                const OptionList& list = state.List(key.listId);
                if (list.entries.empty() || !list.writable) continue;
                const std::string* text = list.SelectedText();
                ASSERT_NE(text, nullptr) << key.key << "=" << value << " selected nothing";
                const bool hasEqual = std::any_of(
                    list.entries.begin(), list.entries.end(),
                    [&](const std::string& e) { return IniFile::EqualNoCase(e, value); });
                EXPECT_TRUE(hasEqual ? IniFile::EqualNoCase(*text, value)
                                     : IniFile::StartsWithNoCase(*text, value))
                    << key.key << "=" << value << " selected \"" << *text << "\"";
            }
            for (std::size_t i = 0; i + 1 < kInfoKeys.size(); ++i) {
                EXPECT_FALSE(loaded->info[i].empty()) << kInfoKeys[i];
            }
            EXPECT_FALSE(loaded->memo.empty());
        }
    }
}
