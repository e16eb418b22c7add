// Files on Windows: names outside any code page read and write (the wide calls, UTF-8 inside),
// devices, folders and read-only files are refused untouched, and the user's own files go to
// the local application data folder.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "base/DataFolders.h"
#include "base/Files.h"
#include "base/Utf8Path.h"
#include "settings/Profiles.h"
#include "support/TestSupport.h"

namespace vorna {
namespace {

namespace fs = std::filesystem;

SetupState FilledState(int selected) {
    SetupState state;
    for (ParamId id : kParameters) {
        OptionList& list = state.List(id);
        for (int i = 0; i < 4; ++i) list.entries.push_back("option " + std::to_string(i));
        list.Select(selected);
    }
    return state;
}

TEST(FileNames, ASettingsFileWithANonAsciiNameReadsAndWrites) {
    test::TempDir dir;
    const std::string name = "Réglages Öl 設定 🏁";
    const fs::path file = dir.path() / PathFromUtf8(name + ".cfg");
    const Result<fs::path> saved = ExportSettings(FilledState(3), dir.path() / PathFromUtf8(name));
    ASSERT_TRUE(saved) << test::Why(saved);
    EXPECT_EQ(*saved, file);
    EXPECT_TRUE(fs::is_regular_file(file));
    EXPECT_EQ(fs::directory_iterator(dir.path())->path().filename(), file.filename());

    SetupState state = FilledState(0);
    const ImportOutcome read = ImportSettings(state, file);
    ASSERT_TRUE(read.Done()) << test::Why(read);
    for (ParamId id : kParameters) EXPECT_EQ(state.List(id).selection, 3) << id;

    // Messages name such a file in UTF-8.
    const ImportOutcome missing = ImportSettings(state, dir.path() / PathFromUtf8("fehlt ü.cfg"));
    EXPECT_FALSE(missing.Done());
    EXPECT_NE(test::Why(missing).find("fehlt ü.cfg\""), std::string::npos) << test::Why(missing);
    EXPECT_NE(test::Why(missing).find(test::MissingFileWords()), std::string::npos)
        << test::Why(missing);
}

TEST(FileNames, DevicesFoldersAndReadOnlyFilesAreLeftAlone) {
    test::TempDir dir;
    for (const char* device : {"NUL", "com1.cfg", "\\\\.\\pipe\\vorna-none"}) {
        const Result<std::string> read = ReadSmallFile(PathFromUtf8(device), 1024, "settings file");
        ASSERT_FALSE(read) << device;
        EXPECT_EQ(read.Kind(), ProblemKind::NotRegular) << device << ": " << read.Detail();
        EXPECT_FALSE(CheckReplaceable(PathFromUtf8(device), "settings file")) << device;
    }
    EXPECT_EQ(ReadSmallFile(dir.path(), 1024).Kind(), ProblemKind::Folder);

    const fs::path kept = dir.path() / "kept.cfg";
    test::WriteText(kept, "[option]\n");
    fs::permissions(kept, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    const Result<fs::path> result = ExportSettings(FilledState(1), kept);
    ASSERT_FALSE(result);
    EXPECT_EQ(result.Kind(), ProblemKind::ReadOnly);
    EXPECT_NE(result.Detail().find("is read-only"), std::string::npos) << result.Detail();
    EXPECT_EQ(test::ReadText(kept), "[option]\n");
    fs::permissions(kept, fs::perms::owner_write, fs::perm_options::add);
    EXPECT_TRUE(ExportSettings(FilledState(1), kept));
}

TEST(FileNames, TheUsersFilesGoToTheLocalApplicationData) {
    const char* local = std::getenv("LOCALAPPDATA");
    ASSERT_NE(local, nullptr);
    EXPECT_EQ(UserDataFolder(), PathFromUtf8(local) / PathFromUtf8("VORNA Link"));
    EXPECT_EQ(UserFolder("backups"), UserDataFolder() / "backups");
}

}  // namespace
}  // namespace vorna
