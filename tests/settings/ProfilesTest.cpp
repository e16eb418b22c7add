// Setup sheets and settings files. The lists are filled here by hand, so these
// tests do not depend on the catalogue or the codec.
#include "settings/Profiles.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "settings/IniFile.h"
#include "support/TestSupport.h"

namespace fs = std::filesystem;
using namespace vorna;

namespace {

using ProfilesTempDir = vorna::test::TempDir;
using vorna::test::ReadText;
using vorna::test::WriteText;

// The names a category's sheet chooser shows, with no folder of the user's own.
std::vector<std::string> SheetNames(const fs::path& root, std::string_view category) {
    std::vector<std::string> names;
    for (const SheetChoice& sheet : ListSheets(root, fs::path(), category))
        names.push_back(sheet.name);
    return names;
}

std::vector<std::string> FolderEntries(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(folder))
        names.push_back(e.path().filename().string());
    return names;
}

// Every parameter list gets entries "<ordinal> option 0" to "<ordinal> option 4" and no
// selection.
SetupState FilledState() {
    SetupState state;
    for (ParamId id : kParameters) {
        OptionList& list = state.List(id);
        for (int i = 0; i < 5; ++i)
            list.entries.push_back(std::to_string(static_cast<int>(id)) + " option " +
                                   std::to_string(i));
    }
    return state;
}

// What the codec's ClearSelections does: every parameter list but Brake Rate Control to
// BT Soft TH Range.
void TestClearSelections(SetupState& state) {
    for (ParamId id : kParameters) {
        if (id < ParamId::BrakeRateControl) state.List(id).selection = -1;
    }
}

std::vector<int> Selections(const SetupState& state) {
    std::vector<int> out;
    for (ParamId id : kParameters) out.push_back(state.List(id).selection);
    return out;
}

}  // namespace

TEST(ProfileConstants, CategoriesAndKeysAreTheShippedOnes) {
    ASSERT_EQ(kCategories.size(), 12u);
    EXPECT_EQ(kCategories[0], "Modify Touring");
    EXPECT_EQ(kCategories[4], "Blinky Mode (zero timing");
    EXPECT_EQ(kCategories[11], "1-12 On road");
    EXPECT_EQ(kParameterKeys[7].key, "Power Profile");
    EXPECT_EQ(kParameterKeys[7].listId, ParamId::PowerLevel1);
    EXPECT_EQ(kParameterKeys[9].key, "Neutral DeadBand");
    EXPECT_EQ(kParameterKeys[18].key, "BEC Voltage");
    EXPECT_EQ(kParameterKeys[18].listId, ParamId::BecVoltage);
    EXPECT_EQ(kInfoKeys.back(), "Temp Track");

    // The 28 settings-file keys: the 19, then ours; distinct names (case ignored), and
    // together they cover every parameter list once.
    EXPECT_EQ(kSettingsFileKeys[18].key, "BEC Voltage");
    EXPECT_EQ(kSettingsFileKeys[19].key, "2nd Power Level");
    EXPECT_EQ(kSettingsFileKeys[22].key, "Lipo Cells");
    EXPECT_EQ(kSettingsFileKeys[22].listId, ParamId::LipoCells);
    EXPECT_EQ(kSettingsFileKeys[27].key, "BT Soft TH Range");
    std::set<ParamId> ids;
    for (std::size_t i = 0; i < kSettingsFileKeys.size(); ++i) {
        ids.insert(kSettingsFileKeys[i].listId);
        for (std::size_t j = i + 1; j < kSettingsFileKeys.size(); ++j) {
            EXPECT_FALSE(IniFile::EqualNoCase(kSettingsFileKeys[i].key, kSettingsFileKeys[j].key));
        }
    }
    EXPECT_EQ(ids, std::set<ParamId>(kParameters.begin(), kParameters.end()));
}

TEST(ProfileSelectByText, EqualEntryFirstThenOnlyPrefixCaseIgnored) {
    OptionList list;
    list.entries = {"5%", "50%", "500", "For/Rev/Brake", "For/Rev", "For/Brake"};
    EXPECT_TRUE(SelectByText(list, "for/rev"));  // equal, though another entry begins with it
    EXPECT_EQ(list.selection, 4);
    EXPECT_TRUE(SelectByText(list, "50%"));
    EXPECT_EQ(list.selection, 1);
    EXPECT_TRUE(SelectByText(list, "For/B"));  // the only entry beginning so
    EXPECT_EQ(list.selection, 5);
    // A prefix several entries begin with, no match and the empty value leave the selection.
    EXPECT_FALSE(SelectByText(list, "50"));
    EXPECT_EQ(list.selection, 5);
    EXPECT_EQ(MatchEntry(list, "50").candidates, (std::vector<std::string>{"50%", "500"}));
    EXPECT_NE(NoMatchReason(list, "50").find("\"500\""), std::string::npos);
    EXPECT_FALSE(SelectByText(list, "60"));
    EXPECT_FALSE(SelectByText(list, ""));
    EXPECT_FALSE(SelectByText(list, "500%"));  // longer than every entry it starts like
    EXPECT_EQ(list.selection, 5);

    OptionList empty;
    EXPECT_FALSE(SelectByText(empty, "5"));
    EXPECT_EQ(empty.selection, -1);
}

TEST(ProfileSheetList, SortedWithCaseIgnoredOnlyIniFiles) {
    ProfilesTempDir root;
    const fs::path folder = root.path() / "Modify Touring";
    fs::create_directories(folder / "folder.ini");
    WriteText(folder / "b.ini", "");
    WriteText(folder / "A.ini", "");
    WriteText(folder / "C.INI", "");
    WriteText(folder / "notes.txt", "");
    WriteText(folder / "b.ini.bak", "");
    EXPECT_EQ(SheetNames(root.path(), "Modify Touring"), (std::vector<std::string>{"A", "b", "C"}));
    EXPECT_EQ(ListSheets(root.path(), fs::path(), "Modify Touring").front().path, folder / "A.ini");
}

TEST(ProfileSheetList, CategoryWithoutSheetsOrFolderIsEmpty) {
    ProfilesTempDir root;
    fs::create_directories(root.path() / "Drift Car");
    WriteText(root.path() / "Drift Car" / "readme.txt", "");
    WriteText(root.path() / "stray.ini", "");
    EXPECT_TRUE(SheetNames(root.path(), "Drift Car").empty());
    EXPECT_TRUE(SheetNames(root.path(), "Fun Car").empty());
    EXPECT_TRUE(SheetNames(root.path(), "").empty());
    EXPECT_TRUE(SheetNames(root.path() / "missing", "Drift Car").empty());
}

TEST(ProfileLoad, AppliesOptionKeysAfterClearingAndReturnsInfoAndMemo) {
    ProfilesTempDir root;
    const fs::path sheet = root.path() / "race.ini";
    WriteText(sheet,
              "[option]\r\n"
              "Operation Mode=0 OPTION 2\r\n"
              "Reverse Speed=1 option 9\r\n"  // matches nothing
              "Power Profile=7 option 3\r\n"
              "Rotation Mode=\r\n"
              "BEC Voltage=18 option 4\r\n"
              "[info]\r\n"
              "Driver=Ann\r\n"
              "Track Name=\"Home Track\"\r\n"
              "Temp Track=25C\r\n"
              "[memo]\r\n"
              "memo=Soft tyres\r\n");
    SetupState state = FilledState();
    for (ParamId id : kParameters) state.List(id).Select(1);  // the previous selections
    int clears = 0;
    const Result<LoadedSheet> loaded = LoadProfile(state, sheet, [&](SetupState& s) {
        ++clears;
        TestClearSelections(s);
    });
    ASSERT_TRUE(loaded) << test::Why(loaded);
    EXPECT_EQ(clears, 1);
    EXPECT_TRUE(loaded->fileFound);
    EXPECT_EQ(state.List(ParamId::OperationMode).selection, 2);
    EXPECT_EQ(state.List(ParamId::ReverseSpeed).selection,
              -1);  // cleared, and "option 9" selects nothing
    EXPECT_EQ(state.List(ParamId::PowerLevel1).selection, 3);
    EXPECT_EQ(state.List(ParamId::RotationMode).selection, -1);  // empty value matches nothing
    EXPECT_EQ(state.List(ParamId::DragBrake).selection, -1);     // key missing from the sheet
    EXPECT_EQ(state.List(ParamId::BecVoltage).selection, 4);     // our choice: BEC Voltage is read
    EXPECT_EQ(state.List(ParamId::LipoCells).selection, -1);     // nothing applied to Lipo Cells
    EXPECT_EQ(state.List(ParamId::DriveMode).selection, 1);      // not cleared, not in sheets
    EXPECT_EQ(loaded->info[0], "Ann");
    EXPECT_EQ(loaded->info[8], "Home Track");
    EXPECT_EQ(loaded->info[1], "");
    EXPECT_EQ(loaded->info[12], "25C");
    EXPECT_TRUE(loaded->memoVisible);
    EXPECT_EQ(loaded->memo, "Soft tyres");
}

TEST(ProfileLoad, OptionValuesAreCutTo19CharactersInfoTo259) {
    ProfilesTempDir root;
    const fs::path sheet = root.path() / "long.ini";
    const std::string longInfo(300, 'x');
    WriteText(sheet,
              "[option]\n"
              "Operation Mode=0 option 2\n"
              "Drag Brake=ABCDEFGHIJKLMNOPQRS-2\n"
              "[info]\n"
              "Driver=" +
                  longInfo + "\n");
    SetupState state = FilledState();
    state.List(ParamId::DragBrake).entries = {"ABCDEFGHIJKLMNOPQRS-1", "ABCDEFGHIJKLMNOPQRS-2"};
    const Result<LoadedSheet> loaded = LoadProfile(state, sheet, TestClearSelections);
    ASSERT_TRUE(loaded) << test::Why(loaded);
    // Only the first 19 characters are read; both entries begin with them, so neither is taken.
    EXPECT_EQ(state.List(ParamId::DragBrake).selection, -1);
    EXPECT_EQ(loaded->info[0], std::string(259, 'x'));
}

TEST(ProfileLoad, NoTempTrackHidesTheMemoEvenWithMemoText) {
    ProfilesTempDir root;
    const fs::path sheet = root.path() / "memo.ini";
    WriteText(sheet,
              "[option]\nOperation Mode=0 option 2\n"
              "[info]\nDriver=Ann\nTemp Track=\"\"\n[memo]\nmemo=Look at me\n");
    SetupState state = FilledState();
    const Result<LoadedSheet> loaded = LoadProfile(state, sheet, TestClearSelections);
    ASSERT_TRUE(loaded) << test::Why(loaded);
    EXPECT_FALSE(loaded->memoVisible);
    EXPECT_EQ(loaded->memo, "Look at me");

    WriteText(sheet,
              "[option]\nOperation Mode=0 option 2\n[info]\nDriver=Ann\n[memo]\nmemo=Look at me\n");
    EXPECT_FALSE(LoadProfile(state, sheet, TestClearSelections)->memoVisible);
}

TEST(ProfileLoad, MissingSheetStillClearsAndGivesEmptyTexts) {
    ProfilesTempDir root;
    SetupState state = FilledState();
    for (ParamId id : kParameters) state.List(id).Select(2);
    const Result<LoadedSheet> loaded =
        LoadProfile(state, root.path() / "gone.ini", TestClearSelections);
    ASSERT_TRUE(loaded) << test::Why(loaded);
    EXPECT_FALSE(loaded->fileFound);
    EXPECT_FALSE(loaded->memoVisible);
    EXPECT_EQ(loaded->memo, "");
    for (const auto& text : loaded->info) EXPECT_EQ(text, "");
    EXPECT_EQ(state.List(ParamId::OperationMode).selection, -1);
    EXPECT_EQ(state.List(ParamId::BtSoftThRange).selection, 2);
}

TEST(ProfileExport, NameGetsCfgOnlyWhenItLacksIt) {
    EXPECT_EQ(SettingsFilePath("/tmp/race"), fs::path("/tmp/race.cfg"));
    EXPECT_EQ(SettingsFilePath("/tmp/race.cfg"), fs::path("/tmp/race.cfg"));
    EXPECT_EQ(SettingsFilePath("/tmp/RACE.CFG"), fs::path("/tmp/RACE.CFG"));
    EXPECT_EQ(SettingsFilePath("/tmp/race.cfg.old"), fs::path("/tmp/race.cfg.old.cfg"));
    EXPECT_EQ(SettingsFilePath("race.v2"), fs::path("race.v2.cfg"));

    ProfilesTempDir dir;
    const SetupState state = FilledState();
    const Result<fs::path> result = ExportSettings(state, dir.path() / "race.cfg");
    ASSERT_TRUE(result) << test::Why(result);
    EXPECT_EQ(*result, dir.path() / "race.cfg");
    EXPECT_EQ(FolderEntries(dir.path()), std::vector<std::string>{"race.cfg"});
}

TEST(ProfileExport, WritesTheTwentyEightKeysInOrderSelectedTextOrEmpty) {
    SetupState state = FilledState();
    state.List(ParamId::OperationMode).Select(3);
    state.List(ParamId::BtSoftThRange).Select(4);
    const std::string text = SettingsFileText(state);
    // Lines end as the system's own programs end them: CR LF on Windows.
    const std::string end(SystemLineEnd());
    std::string expected = "[option]" + end;
    for (const auto& [key, id] : kSettingsFileKeys) {
        expected += std::string(key) + "=";
        if (id == ParamId::OperationMode) expected += "0 option 3";
        if (id == ParamId::BtSoftThRange) expected += "27 option 4";
        expected += end;
    }
    EXPECT_EQ(text, expected);

    // A fresh file: whatever the old file held is gone.
    ProfilesTempDir dir;
    WriteText(dir.path() / "old.cfg", "[other]\nx=1\n[option]\nOperation Mode=zzz\n");
    const Result<fs::path> result = ExportSettings(state, dir.path() / "old");
    ASSERT_TRUE(result.Ok()) << test::Why(result);
    EXPECT_EQ(ReadText(dir.path() / "old.cfg"), expected);
}

TEST(ProfileExport, UnwritableTargetReportsFailureAndLeavesNoTemporaryFile) {
    ProfilesTempDir dir;
    const SetupState state = FilledState();

    // The target name is taken by a folder: the rename fails after the temporary was written.
    fs::create_directories(dir.path() / "taken.cfg" / "inside");
    Result<fs::path> result = ExportSettings(state, dir.path() / "taken");
    EXPECT_FALSE(result.Ok());
    EXPECT_NE(test::Why(result).find((dir.path() / "taken.cfg").string()), std::string::npos)
        << test::Why(result);
    EXPECT_EQ(FolderEntries(dir.path()), std::vector<std::string>{"taken.cfg"});

    // A folder that does not exist.
    result = ExportSettings(state, dir.path() / "missing" / "race");
    EXPECT_FALSE(result.Ok());
    EXPECT_NE(test::Why(result).find("race.cfg"), std::string::npos) << test::Why(result);
    EXPECT_NE(test::Why(result).find(test::MissingFileWords(true)), std::string::npos)
        << test::Why(result);
}

TEST(ProfileImport, ExportThenImportRestoresAllTwentyEightSelections) {
    ProfilesTempDir dir;
    SetupState state = FilledState();
    int n = 0;
    for (ParamId id : kParameters) state.List(id).Select(n++ % 5);
    const std::vector<int> exported = Selections(state);
    ASSERT_TRUE(ExportSettings(state, dir.path() / "all"));

    for (ParamId id : kParameters) state.List(id).selection = -1;
    const ImportOutcome outcome = ImportSettings(state, dir.path() / "all.cfg");
    ASSERT_TRUE(outcome.Done()) << test::Why(outcome);
    EXPECT_TRUE(outcome.report.problems.empty());
    EXPECT_EQ(outcome.report.applied, 28);
    EXPECT_EQ(Selections(state), exported);
}

TEST(ProfileImport, LongEntryTextsComeBackWhole) {
    ProfilesTempDir dir;
    SetupState state = FilledState();
    state.List(ParamId::DragBrake).entries = {"ABCDEFGHIJKLMNOPQRS-1", "ABCDEFGHIJKLMNOPQRS-2"};
    state.List(ParamId::DragBrake).Select(1);
    ASSERT_TRUE(ExportSettings(state, dir.path() / "long"));
    state.List(ParamId::DragBrake).selection = -1;
    ASSERT_TRUE(ImportSettings(state, dir.path() / "long.cfg").Done());
    EXPECT_EQ(state.List(ParamId::DragBrake).selection, 1);
}

TEST(ProfileImport, MissingKeysAndEmptyValuesKeepSelectionsProblemsNameTheLine) {
    ProfilesTempDir dir;
    const fs::path file = dir.path() / "old.cfg";
    // A file with only classic keys (19 at most), here with a few of them.
    WriteText(file,
              "[option]\r\n"
              "operation mode=0 option 4\r\n"
              "Reverse Speed=\r\n"
              "Drag Brake=Hard\r\n"
              "Drive Mode=25 option 9\r\n"
              "BEC Voltage=18 option 1\r\n"
              "Boost Timing=10 deg\r\n"
              "Dreg Brake=20%\r\n"
              "OPERATION MODE=1 option 4\r\n"
              "Initial Brake 3 option 1\r\n"
              "; a comment\r\n"
              "\r\n");
    SetupState state = FilledState();
    for (ParamId id : kParameters) state.List(id).Select(2);
    state.List(ParamId::BoostTiming).entries.clear();
    state.List(ParamId::BoostTiming).selection = -1;

    const ImportOutcome outcome = ImportSettings(state, file);
    ASSERT_TRUE(outcome.Done()) << test::Why(outcome);
    EXPECT_EQ(outcome.report.applied, 2);
    EXPECT_EQ(state.List(ParamId::OperationMode).selection, 4);
    EXPECT_EQ(state.List(ParamId::BecVoltage).selection, 1);
    EXPECT_EQ(state.List(ParamId::ReverseSpeed).selection,
              2);  // empty value: unchanged, no problem
    EXPECT_EQ(state.List(ParamId::InitialBrake).selection, 2);  // missing key: unchanged
    EXPECT_EQ(state.List(ParamId::PowerLevel2).selection, 2);   // missing extra key: unchanged
    EXPECT_EQ(state.List(ParamId::DragBrake).selection, 2);     // no match: unchanged, reported
    EXPECT_EQ(state.List(ParamId::DriveMode).selection, 2);

    ASSERT_EQ(outcome.report.problems.size(), 3u);
    // Reported in key order (the 19, then ours).
    EXPECT_EQ(outcome.report.problems[0].key, "Drag Brake");
    EXPECT_EQ(outcome.report.problems[0].line, 4);
    EXPECT_EQ(outcome.report.problems[0].value, "Hard");
    EXPECT_NE(outcome.report.problems[0].why.find("begins with"), std::string::npos);
    EXPECT_EQ(outcome.report.problems[1].key, "Boost Timing");
    EXPECT_EQ(outcome.report.problems[1].line, 7);
    EXPECT_NE(outcome.report.problems[1].why.find("does not have this setting"), std::string::npos);
    EXPECT_EQ(outcome.report.problems[2].key, "Drive Mode");
    EXPECT_EQ(outcome.report.problems[2].line, 5);
    EXPECT_EQ(outcome.report.problems[2].value, "25 option 9");
    // A key nobody knows, a key given again and a line without '=' are named; the first of a
    // key counts.
    ASSERT_EQ(outcome.report.ignored.size(), 3u);
    EXPECT_EQ(outcome.report.ignored[0].line, 8);
    EXPECT_NE(outcome.report.ignored[0].why.find("not a setting"), std::string::npos);
    EXPECT_EQ(outcome.report.ignored[1].key, "OPERATION MODE");
    EXPECT_NE(outcome.report.ignored[1].why.find("only line 2 counts"), std::string::npos);
    EXPECT_EQ(outcome.report.ignored[2].key, "Initial Brake 3 option 1");
    EXPECT_EQ(outcome.report.ignored[2].line, 10);
    EXPECT_NE(outcome.report.ignored[2].why.find("has no \"=\""), std::string::npos);

    // Of the 27 lists with entries, the two applied are not named; the empty, missing and
    // unfitting ones are, in key order.
    const std::string skipped = SkippedText(outcome.report);
    EXPECT_EQ(skipped.rfind("Skipped 25 of 27 settings in \"" + file.string() +
                                "\": Reverse Speed, Low Volt Cut, Drag Brake, Initial Brake, ",
                            0),
              0u)
        << skipped;
    EXPECT_EQ(outcome.report.skipped.back(), "BT Soft TH Range");
}

TEST(ProfileImport, MissingFileNoOptionSectionOrNothingSelectedChangesNothing) {
    ProfilesTempDir dir;
    SetupState state = FilledState();
    for (ParamId id : kParameters) state.List(id).Select(3);
    const std::vector<int> before = Selections(state);

    const fs::path missing = dir.path() / "nothing.cfg";
    ImportOutcome outcome = ImportSettings(state, missing);
    EXPECT_FALSE(outcome.Done());
    EXPECT_NE(test::Why(outcome).find(missing.string()), std::string::npos) << test::Why(outcome);
    EXPECT_NE(test::Why(outcome).find(test::MissingFileWords()), std::string::npos)
        << test::Why(outcome);

    const fs::path sheet = dir.path() / "sheet.ini";
    WriteText(sheet, "[info]\nOperation Mode=0 option 0\n");
    outcome = ImportSettings(state, sheet);
    EXPECT_FALSE(outcome.Done());
    EXPECT_NE(test::Why(outcome).find(sheet.string()), std::string::npos) << test::Why(outcome);
    EXPECT_NE(test::Why(outcome).find("[option]"), std::string::npos) << test::Why(outcome);
    EXPECT_EQ(Selections(state), before);

    // Read, but nothing in it fits: refused, so that no caller reports it as imported.
    const fs::path odd = dir.path() / "odd.cfg";
    WriteText(odd, "[option]\nDrag Brake=Hard\nCoast Value=\n");
    outcome = ImportSettings(state, odd);
    EXPECT_FALSE(outcome.Done());
    EXPECT_EQ(test::Why(outcome),
              "Cannot import \"" + odd.string() + "\": it selects none of this ESC's settings");
    EXPECT_EQ(outcome.report.problems.size(), 1u);
    EXPECT_EQ(Selections(state), before);
}

TEST(ProfileLoad, SheetSelectingNothingOfTheEscIsRefusedButLoadsWithoutOne) {
    ProfilesTempDir root;
    const fs::path sheet = root.path() / "other.ini";
    WriteText(sheet, "[option]\nDrag Brake=Hard\n[info]\nDriver=Ann\n");
    SetupState state = FilledState();
    for (ParamId id : kParameters) state.List(id).Select(2);
    const Result<LoadedSheet> refused = LoadProfile(state, sheet, TestClearSelections);
    ASSERT_FALSE(refused);
    EXPECT_EQ(refused.Kind(), ProblemKind::NothingToDo);
    EXPECT_EQ(refused.Detail(),
              "Cannot load \"" + sheet.string() + "\": it selects none of this ESC's settings");
    EXPECT_EQ(state.List(ParamId::DragBrake).selection, 2);  // not even cleared

    SetupState none;  // no ESC identified: the sheet's texts are still shown
    const Result<LoadedSheet> loaded = LoadProfile(none, sheet, TestClearSelections);
    ASSERT_TRUE(loaded) << test::Why(loaded);
    EXPECT_EQ(loaded->info[0], "Ann");
}
