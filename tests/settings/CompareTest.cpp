// The compare view's core and the settings backups' reasons, on the catalogue's real lists.
#include "settings/Compare.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "settings/Backups.h"
#include "settings/Catalogue.h"
#include "support/TestSupport.h"

namespace fs = std::filesystem;
using namespace vorna;

namespace {

// The lists of `modelType`, every list with entries at its first entry, as if read.
SetupState ReadEsc(int modelType) {
    SetupState state;
    state.modelType = modelType;
    FillOptionLists(state);
    for (const ParamId id : kParameters) {
        if (!state.List(id).entries.empty()) state.List(id).Select(0);
    }
    state.recordValid = true;
    return state;
}

SettingsSide FileSide(const fs::path& path, const std::string& text) {
    test::WriteText(path, text);
    const Result<SettingsFile> file = ReadSettingsFile(path);
    EXPECT_TRUE(file) << test::Why(file);
    return file ? SettingsFileSide(*file) : SettingsSide{};
}

TEST(CompareTest, TheEscAgainstAFileListsOnlyWhatDiffersAndSetsApartWhatItCannotTake) {
    test::TempDir dir;
    SetupState esc = ReadEsc(16);
    esc.List(ParamId::BecVoltage).selection = -1;  // the ESC did not answer for it
    const auto& drag = esc.List(ParamId::DragBrake).entries;
    // Drag Brake differs (written as a prefix that picks one entry), Reverse Speed is the same,
    // Lipo Cells' value fits no entry and Drive Mode is a setting type 16 lacks: both set
    // apart; a key no setting has and a repeat are named with their line.
    const SettingsSide file = FileSide(dir / "race.cfg",
                                       "[option]\n"
                                       "Drag Brake=" +
                                           drag[7] +
                                           "\n"
                                           "Reverse Speed=" +
                                           esc.List(ParamId::ReverseSpeed).entries[0] +
                                           "\n"
                                           "Lipo Cells=lots\n"
                                           "Drive Mode=Full Sensored\n"
                                           "Punch=9\n"
                                           "drag brake=1%\n"
                                           "BEC Voltage=7.4\n");
    const Comparison c = Compare(EscSide(esc), file, &esc);
    ASSERT_EQ(c.rows.size(), 2u);
    // A setting the ESC gave no value for differs from one that fits.
    EXPECT_EQ(c.rows[1].id, ParamId::BecVoltage);
    EXPECT_EQ(c.rows[1].first, "");
    EXPECT_EQ(c.rows[1].second, "7.4 V");
    EXPECT_EQ(c.rows[0].id, ParamId::DragBrake);
    EXPECT_EQ(c.rows[0].first, drag[0]);
    EXPECT_EQ(c.rows[0].second, drag[7]);
    EXPECT_EQ(c.rows[0].entry, 7);
    EXPECT_EQ(c.rows[0].line, 2);
    ASSERT_EQ(c.apart.size(), 2u);
    EXPECT_EQ(c.apart[0].id, ParamId::DriveMode);  // the page's reading order
    EXPECT_EQ(c.apart[0].line, 5);
    EXPECT_EQ(c.apart[0].why, "this ESC does not have this setting");
    EXPECT_EQ(c.apart[1].caption, "Turbo Off Slope");  // Lipo Cells as type 16 shows it
    EXPECT_EQ(c.apart[1].line, 4);
    ASSERT_EQ(c.ignored.size(), 2u);
    EXPECT_EQ(c.ignored[0].line, 6);
    EXPECT_EQ(c.ignored[1].line, 7);
    EXPECT_TRUE(c.modelNote.empty());
    EXPECT_FALSE(c.Equal());

    // Loading the row sets Drag Brake alone; a comparison made with another model loads
    // nothing.
    SetupState page = esc;
    page.List(ParamId::FullBrake).Select(2);  // an unsent change the file does not name
    EXPECT_EQ(LoadCheckedRows(page, c, {ParamId::DragBrake}),
              std::vector<ParamId>{ParamId::DragBrake});
    EXPECT_EQ(page.List(ParamId::DragBrake).selection, 7);
    EXPECT_EQ(page.List(ParamId::FullBrake).selection, 2);
    SetupState unchecked = esc;
    EXPECT_TRUE(LoadCheckedRows(unchecked, c, {}).empty());
    EXPECT_EQ(unchecked.List(ParamId::DragBrake).selection, 0);
    SetupState other = ReadEsc(12);
    EXPECT_TRUE(LoadCheckedRows(other, c, {ParamId::DragBrake}).empty());
    EXPECT_EQ(other.List(ParamId::DragBrake).selection, 0);
}

TEST(CompareTest, ABackupOfAnotherModelSaysSoAndFilesWithoutAnEscCompareAsText) {
    test::TempDir dir;
    const SetupState esc = ReadEsc(16);
    const SettingsSide backup =
        FileSide(dir / "2026-12-07_23-10-05_model-12.cfg", "[option]\nDrag Brake=3%\n");
    const Comparison c = Compare(EscSide(esc), backup, &esc);
    EXPECT_NE(c.modelNote.find("model type 12; this ESC is model type 16"), std::string::npos)
        << c.modelNote;
    ASSERT_EQ(c.rows.size(), 1u);
    EXPECT_EQ(c.rows[0].second, "3%");

    // File against file: no lists to judge by; case is no difference, a key only one names is.
    const SettingsSide a = FileSide(dir / "a.cfg", "[option]\nDrag Brake=5%\nCoast Value=2%\n");
    const SettingsSide b = FileSide(dir / "b.cfg", "[option]\ndrag brake=5%\nFull Brake=90%\n");
    const Comparison files = Compare(a, b, nullptr);
    ASSERT_EQ(files.rows.size(), 2u);
    EXPECT_EQ(files.rows[0].id, ParamId::FullBrake);
    EXPECT_EQ(files.rows[0].first, "");
    EXPECT_EQ(files.rows[1].id, ParamId::CoastValue);
    EXPECT_EQ(files.rows[1].second, "");
    EXPECT_EQ(files.rows[1].entry, -1);
    EXPECT_TRUE(Compare(a, a, nullptr).Equal());
}

TEST(CompareTest, ABackupRecordsWhyItWasMadeAndTheListSaysItNewestFirst) {
    test::TempDir dir;
    const SetupState esc = ReadEsc(16);
    const Result<fs::path> first =
        BackUpSettings(esc, dir.Path(), 1765000000, BackupReason::EscFirmwareUpdate);
    const Result<fs::path> second =
        BackUpSettings(esc, dir.Path(), 1765000000, BackupReason::FactorySettings);
    ASSERT_TRUE(first && second) << test::Why(first) << test::Why(second);
    // An older backup, without a reason; a name without a time comes last.
    test::WriteText(dir / "2020-01-02_03-04-05_model-4.cfg", "[option]\nDrag Brake=5%\n");
    test::WriteText(dir / "mine.CFG", "[option]\n");
    test::WriteText(dir / "notes.txt", "; reason: before factory settings\n");

    const std::vector<BackupEntry> list = ListBackups(dir.Path());
    ASSERT_EQ(list.size(), 4u);
    EXPECT_EQ(list[0].path, *second);
    EXPECT_EQ(list[0].ReasonText(), "before factory settings");
    EXPECT_EQ(list[0].modelType, 16);
    EXPECT_EQ(list[1].path, *first);
    EXPECT_EQ(list[1].ReasonText(), "before an ESC firmware update");
    EXPECT_EQ(list[2].made, "2020-01-02 03:04:05");
    EXPECT_EQ(list[2].modelType, 4);
    EXPECT_EQ(list[2].ReasonText(), "reason not recorded");
    EXPECT_EQ(list[3].made, "");

    // The reason line is passed over by the settings-file reader: every setting comes back,
    // and no line of the backup is named as ignored.
    const Result<SettingsFile> read = ReadSettingsFile(*first);
    ASSERT_TRUE(read);
    SetupState back = ReadEsc(16);
    const ImportOutcome imported = ApplySettingsFile(back, *read);
    EXPECT_TRUE(imported.report.ignored.empty());
    EXPECT_TRUE(Compare(EscSide(esc), SettingsFileSide(*read), &esc).Equal());
}

}  // namespace
