// Files that are not what they should be: too large, a folder, a FIFO or a device where a
// settings file or sheet is read, and export targets that must be left alone.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "settings/EscSetupModel.h"
#include "settings/IniFile.h"
#include "settings/Profiles.h"
#include "support/TestSupport.h"

namespace fs = std::filesystem;
using namespace vorna;

namespace {

using test::ReadText;
using test::WriteText;

constexpr char kLimitWords[] = "1 MiB (1048576 bytes)";

// Entries "<ordinal> option 0" to "... option 4" in every list, the third one selected.
SetupState FilledState() {
    SetupState state;
    for (ParamId id : kParameters) {
        OptionList& list = state.List(id);
        for (int i = 0; i < 5; ++i) {
            list.entries.push_back(std::to_string(static_cast<int>(id)) + " option " +
                                   std::to_string(i));
        }
        list.Select(2);
    }
    return state;
}

std::vector<int> Selections(const SetupState& state) {
    std::vector<int> out;
    for (ParamId id : kParameters) out.push_back(state.List(id).selection);
    return out;
}

// A valid settings file padded with comment lines to `size` bytes.
std::string SettingsTextOfSize(std::size_t size) {
    std::string text = "[option]\nDrag Brake=3 option 4\n";
    while (text.size() < size)
        text += std::string(std::min<std::size_t>(80, size - text.size()), ';');
    return text;
}

std::vector<std::string> FolderEntries(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(folder)) names.push_back(e.path().filename());
    return names;
}

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

TEST(SmallFile, ReadsUpToTheLimitAndRefusesOneByteMore) {
    test::TempDir dir;
    WriteText(dir / "exact", std::string(100, 'x'));
    WriteText(dir / "over", std::string(101, 'x'));
    Result<std::string> read = ReadSmallFile(dir / "exact", 100, "settings file");
    ASSERT_TRUE(read) << read.Detail();
    EXPECT_EQ(read->size(), 100u);
    read = ReadSmallFile(dir / "over", 100, "settings file");
    ASSERT_FALSE(read);
    EXPECT_EQ(read.Kind(), ProblemKind::TooLarge);
    EXPECT_TRUE(Contains(read.Detail(), (dir / "over").string())) << read.Detail();
    EXPECT_TRUE(Contains(read.Detail(), "100 bytes")) << read.Detail();
}

TEST(SmallFile, AFileLargerThanItsSizeSaysIsStillCutAtTheLimit) {
    // Files under /proc report a size of 0 and hold more: as a file that grows while it is
    // read, only the read itself can find it too large.
    struct stat st {};
    ASSERT_EQ(::stat("/proc/self/maps", &st), 0);
    ASSERT_EQ(st.st_size, 0);
    const Result<std::string> read = ReadSmallFile("/proc/self/maps", 64, "setup sheet");
    ASSERT_FALSE(read);
    EXPECT_EQ(read.Kind(), ProblemKind::TooLarge) << read.Detail();
}

TEST(SmallFile, FolderFifoAndDeviceAreRefusedByKindWithoutBlocking) {
    test::TempDir dir;
    Result<std::string> read = ReadSmallFile(dir.path(), kMaxIniFileBytes, "settings file");
    ASSERT_FALSE(read);
    EXPECT_EQ(read.Kind(), ProblemKind::Folder);
    EXPECT_EQ(read.Detail(), "\"" + dir.path().string() + "\" is a folder, not a settings file");

    const fs::path fifo = dir / "pipe.cfg";
    test::MakeFifo(fifo);
    ASSERT_TRUE(test::EndsWithoutBlocking(
        [&] { read = ReadSmallFile(fifo, kMaxIniFileBytes, "settings file"); }, fifo));
    ASSERT_FALSE(read);
    EXPECT_EQ(read.Kind(), ProblemKind::NotRegular);
    EXPECT_TRUE(Contains(read.Detail(), fifo.string() + "\" is not a regular file but a FIFO"))
        << read.Detail();
    // For callers that word the message themselves: the reason alone.
    const Result<std::string> bare = ReadSmallFileBare(fifo, kMaxIniFileBytes);
    ASSERT_FALSE(bare);
    EXPECT_EQ(bare.Error(), (Problem{ProblemKind::NotRegular, "a FIFO (named pipe)"}));

    read = ReadSmallFile("/dev/null", kMaxIniFileBytes, "settings file");
    ASSERT_FALSE(read);
    EXPECT_EQ(read.Kind(), ProblemKind::NotRegular);
    EXPECT_TRUE(Contains(read.Detail(), "a character device")) << read.Detail();

    read = ReadSmallFile(dir / "gone.cfg", kMaxIniFileBytes, "settings file");
    ASSERT_FALSE(read);
    EXPECT_EQ(read.Kind(), ProblemKind::Missing);
    EXPECT_TRUE(Contains(read.Detail(), "No such file")) << read.Detail();
    EXPECT_EQ(ReadSmallFileBare(dir / "gone.cfg", 1).Detail(), "No such file or directory");
}

TEST(FileRefusalImport, TooLargeFolderAndFifoChangeNothingAndSaySo) {
    test::TempDir dir;
    SetupState state = FilledState();
    const std::vector<int> before = Selections(state);

    // At the limit the file is read; one byte more and it is refused unread.
    WriteText(dir / "limit.cfg", SettingsTextOfSize(kMaxIniFileBytes));
    ImportOutcome result = ImportSettings(state, dir / "limit.cfg");
    ASSERT_TRUE(result.Done()) << test::Why(result);
    EXPECT_EQ(state.List(ParamId::DragBrake).selection, 4);
    state = FilledState();

    const fs::path big = dir / "big.cfg";
    WriteText(big, SettingsTextOfSize(kMaxIniFileBytes + 1));
    result = ImportSettings(state, big);
    EXPECT_FALSE(result.Done());
    EXPECT_TRUE(Contains(test::Why(result), big.string())) << test::Why(result);
    EXPECT_TRUE(Contains(test::Why(result), kLimitWords)) << test::Why(result);

    fs::create_directories(dir / "folder.cfg");
    result = ImportSettings(state, dir / "folder.cfg");
    EXPECT_FALSE(result.Done());
    EXPECT_TRUE(Contains(test::Why(result), "is a folder, not a settings file"))
        << test::Why(result);
    EXPECT_FALSE(Contains(test::Why(result), "No such file")) << test::Why(result);

    const fs::path fifo = dir / "pipe.cfg";
    test::MakeFifo(fifo);
    ASSERT_TRUE(test::EndsWithoutBlocking([&] { result = ImportSettings(state, fifo); }, fifo));
    EXPECT_FALSE(result.Done());
    EXPECT_TRUE(Contains(test::Why(result), "is not a regular file")) << test::Why(result);
    EXPECT_EQ(Selections(state), before);
}

TEST(FileRefusalSheet, ARefusedSheetClearsNothingAndNamesFileAndLimit) {
    test::TempDir dir;
    SetupState state = FilledState();
    const std::vector<int> before = Selections(state);
    const fs::path big = dir / "big.ini";
    WriteText(big, SettingsTextOfSize(kMaxIniFileBytes + 1));
    bool cleared = false;
    Result<LoadedSheet> loaded = LoadProfile(state, big, [&](SetupState&) { cleared = true; });
    EXPECT_FALSE(cleared);
    EXPECT_FALSE(loaded);
    EXPECT_TRUE(Contains(test::Why(loaded), big.string())) << test::Why(loaded);
    EXPECT_TRUE(Contains(test::Why(loaded), kLimitWords)) << test::Why(loaded);
    EXPECT_TRUE(Contains(test::Why(loaded), "setup sheet")) << test::Why(loaded);
    EXPECT_EQ(Selections(state), before);

    fs::create_directories(dir / "folder.ini");
    loaded = LoadProfile(state, dir / "folder.ini", [&](SetupState&) { cleared = true; });
    EXPECT_FALSE(cleared);
    EXPECT_TRUE(Contains(test::Why(loaded), "is a folder, not a setup sheet")) << test::Why(loaded);

    // Through the page's model: refused before its lock is taken, and no listener news.
    EscSetupModel model;
    model.Edit([](SetupState& s) { s = FilledState(); });
    int news = 0;
    model.SetListener([&](EscSetupModel::Change) { ++news; });
    std::vector<ParamId> left{ParamId::DragBrake};
    loaded = model.LoadSheet(big, &left);
    EXPECT_FALSE(loaded);
    EXPECT_TRUE(left.empty());
    EXPECT_EQ(news, 0);
    EXPECT_EQ(Selections(model.Snapshot()), before);

    // Read, but selecting none of the ESC's settings: over the ESC's values too, the lists
    // stay as the user had them.
    const fs::path odd = dir / "odd.ini";
    WriteText(odd, "[option]\nDrag Brake=Hard\n");
    model.Edit([](SetupState& s) { s.recordValid = true; });
    news = 0;
    loaded = model.LoadSheet(odd, &left);
    EXPECT_TRUE(Contains(test::Why(loaded), "odd.ini\": it selects none of this ESC's settings"))
        << test::Why(loaded);
    EXPECT_EQ(news, 0);
    EXPECT_EQ(Selections(model.Snapshot()), before);
}

TEST(FileRefusalExport, ANameEndingInASeparatorOrNamingAFolderWritesNothing) {
    test::TempDir dir;
    const SetupState state = FilledState();
    for (const std::string& name : {(dir.path() / "").string(), (dir / "sub/").string(),
                                    (dir.path() / ".").string(), (dir.path() / "..").string()}) {
        const Result<fs::path> result = ExportSettings(state, name);
        EXPECT_FALSE(result.Ok()) << name;
        EXPECT_TRUE(Contains(test::Why(result), "folder")) << test::Why(result);
    }
    const Result<fs::path> separator = ExportSettings(state, (dir.path() / "").string());
    ASSERT_FALSE(separator);
    EXPECT_EQ(separator.Kind(), ProblemKind::BadName);
    EXPECT_TRUE(Contains(separator.Detail(), "ends in a folder separator"));
    EXPECT_TRUE(FolderEntries(dir.path()).empty());  // no ".cfg" in it

    fs::create_directories(dir / "taken.cfg");
    const Result<fs::path> result = ExportSettings(state, dir / "taken");
    EXPECT_FALSE(result.Ok());
    EXPECT_TRUE(Contains(test::Why(result), "is a folder, not a settings file"))
        << test::Why(result);
    EXPECT_EQ(FolderEntries(dir.path()), std::vector<std::string>{"taken.cfg"});
}

TEST(FileRefusalExport, AFifoTargetIsLeftAFifo) {
    test::TempDir dir;
    const fs::path fifo = dir / "pipe.cfg";
    test::MakeFifo(fifo);
    Result<fs::path> result{Problem{}};
    ASSERT_TRUE(
        test::EndsWithoutBlocking([&] { result = ExportSettings(FilledState(), fifo); }, fifo));
    EXPECT_FALSE(result.Ok());
    EXPECT_TRUE(Contains(test::Why(result), "is not a regular file but a FIFO"))
        << test::Why(result);
    EXPECT_TRUE(fs::is_fifo(fifo));
    EXPECT_EQ(FolderEntries(dir.path()), std::vector<std::string>{"pipe.cfg"});
}

// Refused from the mode bits, so also for root, whom the system would let replace it.
TEST(FileRefusalExport, AReadOnlyTargetStaysAsItWas) {
    test::TempDir dir;
    const fs::path file = dir / "kept.cfg";
    WriteText(file, "[option]\nkept=1\n");
    ASSERT_EQ(::chmod(file.c_str(), 0444), 0);
    Result<fs::path> result = ExportSettings(FilledState(), file);
    ASSERT_FALSE(result);
    EXPECT_EQ(result.Kind(), ProblemKind::ReadOnly);
    EXPECT_TRUE(Contains(test::Why(result), file.string() + "\" is read-only"))
        << test::Why(result);
    EXPECT_EQ(ReadText(file), "[option]\nkept=1\n");
    struct stat st {};
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0444u);
    EXPECT_EQ(FolderEntries(dir.path()), std::vector<std::string>{"kept.cfg"});

    // Through a symbolic link too: the file it names is what would be replaced.
    fs::create_symlink(file, dir / "link.cfg");
    result = ExportSettings(FilledState(), dir / "link.cfg");
    EXPECT_FALSE(result.Ok());
    EXPECT_TRUE(Contains(test::Why(result), "read-only")) << test::Why(result);
    EXPECT_EQ(ReadText(file), "[option]\nkept=1\n");

    // A target with a write bit is replaced, and keeps its mode.
    ASSERT_EQ(::chmod(file.c_str(), 0644), 0);
    result = ExportSettings(FilledState(), file);
    ASSERT_TRUE(result.Ok()) << test::Why(result);
    EXPECT_EQ(ReadText(file), SettingsFileText(FilledState()));
}

// Linux file modes: kept by a replace, and a folder without the write bit refuses the export.
TEST(FileModes, ReplacingAFileKeepsItsMode) {
    test::TempDir dir;
    const fs::path file = dir / "keep.ini";
    WriteText(file, "[a]\nx=1\n");
    ::chmod(file.c_str(), 0640);
    ASSERT_TRUE(WriteFileReplacing(file, "[a]\nx=2\n"));
    EXPECT_EQ(ReadText(file), "[a]\nx=2\n");
    struct stat st {};
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
}

// A link another user put in a sticky folder anyone may write to is not followed, even by root
// and even where the kernel's own rule for such links is off; one of the user's own is.
TEST(FileModes, AnotherUsersLinkInASharedFolderIsNotFollowed) {
    test::TempDir dir;
    const fs::path shared = dir / "shared";
    fs::create_directories(shared);
    ASSERT_EQ(::chmod(shared.c_str(), 01777), 0);
    const fs::path mine = dir / "mine.cfg";
    WriteText(mine, "[option]\nkept=1\n");
    const fs::path link = shared / "x.cfg";
    fs::create_symlink(mine, link);
    if (::lchown(link.c_str(), 65534, 65534) != 0) {
        GTEST_SKIP() << "giving a link to another user needs root";
    }
    EXPECT_FALSE(CheckReplaceable(link, "settings file"));
    const Status written = WriteFileReplacing(link, "[option]\nnew=1\n");
    ASSERT_FALSE(written);
    EXPECT_TRUE(Contains(written.Detail(), "\"" + link.string() + "\"")) << written.Detail();
    EXPECT_TRUE(Contains(written.Detail(), "not followed")) << written.Detail();
    EXPECT_EQ(ReadText(mine), "[option]\nkept=1\n");
    EXPECT_EQ(FolderEntries(shared), std::vector<std::string>{"x.cfg"});
    // On the way to the file as well.
    const fs::path folderLink = shared / "folder";
    fs::create_directory_symlink(dir.path(), folderLink);
    ASSERT_EQ(::lchown(folderLink.c_str(), 65534, 65534), 0);
    EXPECT_FALSE(WriteFileReplacing(folderLink / "mine.cfg", "[option]\nnew=1\n"));
    EXPECT_EQ(ReadText(mine), "[option]\nkept=1\n");

    // The user's own link there is followed.
    ASSERT_EQ(::lchown(link.c_str(), ::geteuid(), ::getegid()), 0);
    ASSERT_TRUE(WriteFileReplacing(link, "[option]\nnew=1\n"));
    EXPECT_EQ(ReadText(mine), "[option]\nnew=1\n");
    EXPECT_TRUE(fs::is_symlink(link));
}

TEST(FileModes, ReadOnlyFolderReportsPermissionDenied) {
    test::TempDir dir;
    const SetupState state = FilledState();
    const fs::path locked = dir / "locked";
    fs::create_directories(locked);
    ::chmod(locked.c_str(), 0555);
    if (::access(locked.c_str(), W_OK) == 0) {
        GTEST_SKIP() << "running with rights that ignore folder permissions (root)";
    }
    const Result<fs::path> result = ExportSettings(state, locked / "race");
    EXPECT_FALSE(result.Ok());
    EXPECT_NE(test::Why(result).find("Permission denied"), std::string::npos) << test::Why(result);
    EXPECT_TRUE(FolderEntries(locked).empty());
}

}  // namespace
