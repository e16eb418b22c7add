// Where the shipped data and the user's own files are found, and the user's own setup sheets
// listed beside the shipped ones.
#include "base/DataFolders.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "settings/Profiles.h"
#include "support/TestSupport.h"

namespace fs = std::filesystem;
using namespace vorna;

namespace {

TEST(DataFolders, ShippedDataBesideTheProgramElseInTheInstalledShare) {
    vorna::test::TempDir prefix;
    const fs::path bin = prefix / "bin";
    const fs::path share = prefix / "share" / "vorna-link";
    fs::create_directories(bin);
    fs::create_directories(share);
    // Neither holds config.ini: the program's folder, so messages name where it looked.
    EXPECT_EQ(ShippedDataFolder(bin), bin);
    // Installed: bin/ has only the programs.
    vorna::test::WriteText(share / "config.ini", "[TEXT INFO]\n");
    EXPECT_EQ(ShippedDataFolder(bin), share);
    // A build tree (or a copy) beside the program wins over an installed one.
    vorna::test::WriteText(bin / "config.ini", "[TEXT INFO]\n");
    EXPECT_EQ(ShippedDataFolder(bin), bin);
}

TEST(DataFolders, UserFolderFollowsXdgDataHomeElseHome) {
    const std::string home = std::getenv("HOME") ? std::getenv("HOME") : "";
    ::setenv("HOME", "/home/racer", 1);
    ::setenv("XDG_DATA_HOME", "/data", 1);
    EXPECT_EQ(UserFolder("backups"), fs::path("/data/vorna-link/backups"));
    // A relative XDG_DATA_HOME is not to be used.
    ::setenv("XDG_DATA_HOME", "data", 1);
    EXPECT_EQ(UserDataFolder(), fs::path("/home/racer/.local/share/vorna-link"));
    ::unsetenv("XDG_DATA_HOME");
    ::unsetenv("HOME");
    EXPECT_TRUE(UserFolder("Firmware").empty());
    if (!home.empty()) ::setenv("HOME", home.c_str(), 1);
}

TEST(DataFolders, OwnSheetsFollowTheShippedOnesAndKeepTheirFileNames) {
    vorna::test::TempDir dir;
    const fs::path shipped = dir / "shipped";
    const fs::path own = dir / "own";
    const std::string category(kCategories[0]);
    fs::create_directories(shipped / category);
    fs::create_directories(own / category);
    vorna::test::WriteText(shipped / category / "Club.ini", "[option]\n");
    vorna::test::WriteText(shipped / category / "Alpha.ini", "[option]\n");
    vorna::test::WriteText(own / category / "club.INI", "[option]\n");
    vorna::test::WriteText(own / category / "Mine.ini", "[option]\n");

    const std::vector<SheetChoice> sheets = ListSheets(shipped, own, category);
    std::vector<std::string> names;
    for (const SheetChoice& s : sheets) names.push_back(s.name);
    EXPECT_EQ(names, (std::vector<std::string>{"Alpha", "Club", "club (own)", "Mine"}));
    ASSERT_EQ(sheets.size(), 4u);
    EXPECT_EQ(sheets[1].path, shipped / category / "Club.ini");
    // Opened under the name it has, extension case included.
    EXPECT_EQ(sheets[2].path, own / category / "club.INI");
    // No own folder: the shipped ones alone.
    EXPECT_EQ(ListSheets(shipped, fs::path(), category).size(), 2u);
}

}  // namespace
