// Private-profile semantics of IniFile: what GetPrivateProfileString and
// WritePrivateProfileString would read and write for the same file.
#include "settings/IniFile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include "support/TestSupport.h"

namespace fs = std::filesystem;
using vorna::IniFile;

namespace {

using IniTempDir = vorna::test::TempDir;
using vorna::test::ReadText;
using vorna::test::WriteText;

IniFile Parsed(const std::string& text) {
    IniFile ini;
    ini.Parse(text);
    return ini;
}

}  // namespace

TEST(IniFileRead, NamesIgnoreCaseAndBlanksAroundKeysAndValuesAreTrimmed) {
    const IniFile ini = Parsed("[ Option ]\n  operation MODE \t=  For/Brake  \t\n");
    const IniFile::Value v = ini.Find("option", "Operation Mode", 19);
    EXPECT_TRUE(v.found);
    EXPECT_EQ(v.text, "For/Brake");
    EXPECT_EQ(v.line, 2);
    EXPECT_EQ(ini.Get("OPTION", "operation mode", "dflt", 19), "For/Brake");
    EXPECT_TRUE(ini.HasSection("OPTION"));
}

TEST(IniFileRead, FirstSectionAndFirstKeyWin) {
    const IniFile ini = Parsed(
        "[option]\n"
        "Drag Brake=10%\n"
        "drag brake=20%\n"
        "[info]\n"
        "Driver=Ann\n"
        "[OPTION]\n"
        "Drag Brake=30%\n"
        "Full Brake=50%\n");
    const IniFile::Value v = ini.Find("option", "Drag Brake", 19);
    EXPECT_EQ(v.text, "10%");
    EXPECT_EQ(v.line, 2);
    // Only the first [option] is searched, as Windows does.
    EXPECT_FALSE(ini.Find("option", "Full Brake", 19).found);
    EXPECT_EQ(ini.Get("option", "Full Brake", "none", 19), "none");
    EXPECT_EQ(ini.Get("info", "Driver", "", 259), "Ann");
}

TEST(IniFileRead, MatchingQuotesAreRemovedOthersKept) {
    const IniFile ini = Parsed(
        "[s]\n"
        "a=\"  spaced  \"\n"
        "b='single'\n"
        "c=\"mixed'\n"
        "d=\"\n"
        "e=\"\"\n"
        "f=in \"the\" middle\n");
    EXPECT_EQ(ini.Get("s", "a", "", 259), "  spaced  ");
    EXPECT_EQ(ini.Get("s", "b", "", 259), "single");
    EXPECT_EQ(ini.Get("s", "c", "", 259), "\"mixed'");
    EXPECT_EQ(ini.Get("s", "d", "", 259), "\"");
    EXPECT_TRUE(ini.Find("s", "e", 259).found);
    EXPECT_EQ(ini.Get("s", "e", "x", 259), "");
    EXPECT_EQ(ini.Get("s", "f", "", 259), "in \"the\" middle");
}

TEST(IniFileRead, ValuesAndDefaultsAreCutToTheCallersLength) {
    const IniFile ini = Parsed(
        "[option]\n"
        "long=ABCDEFGHIJKLMNOPQRSTUVWXYZ\n"
        "quoted=\"ABCDEFGHIJKLMNOPQRSTUVWXYZ\"\n"
        "utf8=\xC3\xA9\xC3\xA9\xC3\xA9\n");
    EXPECT_EQ(ini.Get("option", "long", "", 19), "ABCDEFGHIJKLMNOPQRS");
    EXPECT_EQ(ini.Get("option", "quoted", "", 19), "ABCDEFGHIJKLMNOPQRS");  // quotes go first
    EXPECT_EQ(ini.Get("option", "long", "", 259), "ABCDEFGHIJKLMNOPQRSTUVWXYZ");
    // Characters, not bytes: a two-byte character is never split.
    EXPECT_EQ(ini.Get("option", "utf8", "", 2), "\xC3\xA9\xC3\xA9");
    EXPECT_EQ(ini.Get("option", "missing", "0123456789ABCDEFGHIJKL", 19), "0123456789ABCDEFGHI");
}

TEST(IniFileRead, MissingFileSectionOrKeyGivesTheDefault) {
    IniTempDir dir;
    const fs::path missing = dir.path() / "nothing.ini";
    int line = -1;
    EXPECT_EQ(vorna::ReadProfileString(missing, "option", "Drag Brake", "Drag Brake", 19, &line),
              "Drag Brake");
    EXPECT_EQ(line, 0);
    IniFile ini;
    std::string error;
    EXPECT_FALSE(ini.Load(missing, &error));
    EXPECT_NE(error.find(missing.string()), std::string::npos) << error;
    EXPECT_NE(error.find("No such file"), std::string::npos) << error;

    const IniFile parsed = Parsed("[option]\nA=1\n");
    EXPECT_EQ(parsed.Get("info", "A", "d", 19), "d");
    EXPECT_EQ(parsed.Get("option", "B", "d", 19), "d");
}

TEST(IniFileRead, CommentsStrayLinesAndKeysOutsideSectionsAreNotKeys) {
    const IniFile ini = Parsed(
        "Driver=before any section\n"
        "[info]\n"
        ";Driver=commented\n"
        "   ; Driver = indented comment\n"
        "Driver\n"
        "#Date=hash is no comment\n"
        "[broken\n"
        "Driver=Bob\n");
    const IniFile::Value v = ini.Find("info", "Driver", 259);
    EXPECT_EQ(v.text, "Bob");
    EXPECT_EQ(v.line, 8);
    EXPECT_EQ(ini.Get("info", "#Date", "", 259), "hash is no comment");
}

TEST(IniFileRead, CrLfAndByteOrderMarkAreAccepted) {
    const IniFile ini = Parsed("\xEF\xBB\xBF[option]\r\nBoost RPM = 5000 \r\nTurbo Delay=0.1s");
    EXPECT_EQ(ini.Find("option", "Boost RPM", 19).text, "5000");
    EXPECT_EQ(ini.Find("option", "Boost RPM", 19).line, 2);
    EXPECT_EQ(ini.Get("option", "Turbo Delay", "", 19), "0.1s");  // last line without newline
}

TEST(IniFileWrite, ReplacesTheFirstMatchInPlaceAndKeepsEveryOtherLine) {
    IniFile ini = Parsed(
        "; settings of the red car\n"
        "[option]\n"
        "Drag Brake = 10%   \n"
        "\n"
        "; the second one is never read\n"
        "drag brake=20%\n"
        "[info]\n"
        "Driver=Ann\n");
    ini.Set("OPTION", "DRAG BRAKE", "40%");
    EXPECT_EQ(ini.Text(),
              "; settings of the red car\n"
              "[option]\n"
              "Drag Brake=40%\n"
              "\n"
              "; the second one is never read\n"
              "drag brake=20%\n"
              "[info]\n"
              "Driver=Ann\n");
}

TEST(IniFileWrite, AppendsAMissingKeyAtTheEndOfItsSection) {
    IniFile ini = Parsed(
        "[option]\n"
        "A=1\n"
        "\n"
        "[info]\n"
        "Driver=Ann\n");
    ini.Set("option", "B", "2");
    ini.Set("info", "Date", "today");
    EXPECT_EQ(ini.Text(),
              "[option]\n"
              "A=1\n"
              "B=2\n"
              "\n"
              "[info]\n"
              "Driver=Ann\n"
              "Date=today\n");
    EXPECT_EQ(ini.Find("option", "B", 19).line, 3);
}

TEST(IniFileWrite, AppendsAMissingSectionAtTheEndOfTheFile) {
    IniFile ini = Parsed("[option]\nA=1");
    ini.Set("memo", "memo", "line one\nline two");
    EXPECT_EQ(ini.Text(), "[option]\nA=1\n\n[memo]\nmemo=line one line two\n");

    IniFile empty;
    empty.Set("option", "A", "1");
    EXPECT_EQ(empty.Text(), "[option]\nA=1\n");
}

TEST(IniFileWrite, KeepsCrLfAndByteOrderMark) {
    const std::string original = "\xEF\xBB\xBF[option]\r\nA=1\r\n\r\n[info]\r\nDriver=Ann\r\n";
    IniFile ini = Parsed(original);
    EXPECT_EQ(ini.Text(), original);
    ini.Set("option", "A", "2");
    ini.Set("option", "B", "3");
    ini.Set("memo", "memo", "hi");
    EXPECT_EQ(ini.Text(),
              "\xEF\xBB\xBF[option]\r\nA=2\r\nB=3\r\n\r\n[info]\r\nDriver=Ann\r\n\r\n"
              "[memo]\r\nmemo=hi\r\n");
}

TEST(IniFileWrite, ProfileStringCallsCreateAndUpdateTheFile) {
    IniTempDir dir;
    const fs::path file = dir.path() / "config.ini";
    std::string error;
    ASSERT_TRUE(vorna::WriteProfileString(file, "TEXT INFO", "size", "120", &error)) << error;
    ASSERT_TRUE(vorna::WriteProfileString(file, "text info", "Font", "Arial", &error)) << error;
    ASSERT_TRUE(vorna::WriteProfileString(file, "TEXT INFO", "SIZE", "90", &error)) << error;
    EXPECT_EQ(ReadText(file), "[TEXT INFO]\nsize=90\nFont=Arial\n");
    int line = 0;
    EXPECT_EQ(vorna::ReadProfileString(file, "text info", "font", "", 19, &line), "Arial");
    EXPECT_EQ(line, 3);
    // No temporary file is left next to it.
    int files = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir.path())) ++files;
    EXPECT_EQ(files, 1);
}

TEST(IniFileWrite, ReplacingAFileKeepsItsModeAndReportsFailures) {
    IniTempDir dir;
    const fs::path file = dir.path() / "keep.ini";
    WriteText(file, "[a]\nx=1\n");
    ::chmod(file.c_str(), 0640);
    std::string error;
    ASSERT_TRUE(vorna::WriteFileReplacing(file, "[a]\nx=2\n", &error)) << error;
    EXPECT_EQ(ReadText(file), "[a]\nx=2\n");
    struct stat st {};
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);

    const fs::path nowhere = dir.path() / "no-such-folder" / "x.ini";
    EXPECT_FALSE(vorna::WriteFileReplacing(nowhere, "x", &error));
    EXPECT_NE(error.find(nowhere.string()), std::string::npos) << error;
    EXPECT_NE(error.find("No such file or directory"), std::string::npos) << error;

    IniFile folderAsFile;
    EXPECT_FALSE(folderAsFile.Load(dir.path(), &error));
    EXPECT_NE(error.find(dir.path().string()), std::string::npos) << error;
}
