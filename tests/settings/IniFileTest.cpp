// IniFile reads what a Windows program reading the same file with its private-profile calls
// reads, and writes a file the way such a program changes it.
#include "settings/IniFile.h"

#include <gtest/gtest.h>

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

// A text as Notepad saves it as "Unicode": UTF-16LE after the mark FF FE.
std::string Utf16Le(std::u16string_view text) {
    std::string bytes = "\xFF\xFE";
    for (const char16_t unit : text) {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>(unit >> 8);
    }
    return bytes;
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
    IniFile ini;
    const vorna::Status loaded = ini.Load(missing);
    ASSERT_FALSE(loaded);
    EXPECT_EQ(loaded.Kind(), vorna::ProblemKind::Missing);
    EXPECT_EQ(ini.Get("option", "Drag Brake", "Drag Brake", 19), "Drag Brake");
    EXPECT_EQ(ini.Find("option", "Drag Brake", 19).line, 0);
    const std::string& error = loaded.Detail();
    EXPECT_NE(error.find(missing.string()), std::string::npos) << error;
    EXPECT_NE(error.find(vorna::test::MissingFileWords()), std::string::npos) << error;

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

// Small files as Windows programs save them, and what a Windows program reading them with
// GetPrivateProfileString (a buffer of 260) gets; "-" is its default, given when nothing is
// found. One row is ours alone: Windows reads a UTF-8 mark as part of the first line.
TEST(IniFileRead, AnswersAsWindowsReadsTheSameFiles) {
    struct Row {
        std::string file;
        const char* section;
        const char* key;
        const char* expected;
    };
    const std::string mixed = "[s]\r\na=1\rb=2\nc=3\n\r[t]\rd=4";
    const std::string unicode = Utf16Le(u"[s]\r\nk=caf\u00e9 \u20ac 25\u00b0\r\nflag=\U0001F3C1");
    const std::string western =
        "[s]\nk=\x93"
        "caf\xe9\x94 \x80 25\xb0\nu=a\x81"
        "b\n";
    const std::string dupSection = "[s]\na=1\n[t]\nb=0\n[S]\na=2\nb=3\n";
    const std::string quotes =
        "[s]\nq1=\"v\"\nq2='v'\nq3=\"v'\nq4=\" v \"\nq5=\"\nq6='a' and 'b'\n";
    const std::vector<Row> rows = {
        // Line ends: a lone CR ends a line, and a stray one inside a CR LF file does too.
        {"[s]\rk=v\rj=w", "s", "k", "v"},
        {"[s]\rk=v\rj=w", "s", "j", "w"},
        {mixed, "s", "a", "1"},
        {mixed, "s", "b", "2"},
        {mixed, "s", "c", "3"},
        {mixed, "t", "d", "4"},
        {"[option]\r\nReverse Speed=100%\rLow Volt Cut=3.0 V/cell\r\n", "option", "Reverse Speed",
         "100%"},
        {"[option]\r\nReverse Speed=100%\rLow Volt Cut=3.0 V/cell\r\n", "option", "Low Volt Cut",
         "3.0 V/cell"},
        {"[s]\r\nk=v", "s", "k", "v"},
        // Encodings: UTF-16LE with its mark, Windows-1252, and UTF-8 (with a mark: ours).
        {unicode, "s", "k", "caf\xC3\xA9 \xE2\x82\xAC 25\xC2\xB0"},
        {unicode, "s", "flag", "\xF0\x9F\x8F\x81"},
        {western, "s", "k",
         "\xE2\x80\x9C"
         "caf\xC3\xA9\xE2\x80\x9D \xE2\x82\xAC 25\xC2\xB0"},
        {western, "s", "u",
         "a\xEF\xBF\xBD"
         "b"},
        {"[s]\nk=caf\xC3\xA9\n", "s", "k", "caf\xC3\xA9"},
        {"[s]\na=caf\xC3\xA9\nb=caf\xE9\n", "s", "a", "caf\xC3\x83\xC2\xA9"},
        {"\xEF\xBB\xBF[s]\nk=v", "s", "k", "v"},
        // The first key and the first section of a name win.
        {"[s]\nk=1\nK=2\n", "s", "k", "1"},
        {dupSection, "S", "a", "1"},
        {dupSection, "s", "b", "-"},
        // One pair of matching quotes goes; blanks around names and values go.
        {quotes, "s", "q1", "v"},
        {quotes, "s", "q2", "v"},
        {quotes, "s", "q3", "\"v'"},
        {quotes, "s", "q4", " v "},
        {quotes, "s", "q5", "\""},
        {quotes, "s", "q6", "a' and 'b"},
        {"  [ s ]  \n \t k \t= \t v \t \n", "s", "k", "v"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(Parsed(row.file).Get(row.section, row.key, "-", 259), row.expected)
            << "[" << row.section << "] " << row.key << " in \"" << row.file << "\"";
    }
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
    // No blank line before it, as Windows adds none; the last line gets its line end first.
    IniFile ini = Parsed("[option]\nA=1");
    ini.Set("memo", "memo", "line one\nline two");
    EXPECT_EQ(ini.Text(), "[option]\nA=1\n[memo]\nmemo=line one line two\n");

    // A new file ends its lines as the system's own programs do: CR LF on Windows.
    IniFile empty;
    empty.Set("option", "A", "1");
    EXPECT_EQ(empty.Text(), vorna::WithLineEnds("[option]\nA=1\n", vorna::SystemLineEnd()));
    EXPECT_EQ(vorna::WithLineEnds("a\nb\r\n\nc", "\r\n"), "a\r\nb\r\n\r\nc");
}

TEST(IniFileWrite, KeepsCrLfAndByteOrderMark) {
    const std::string original = "\xEF\xBB\xBF[option]\r\nA=1\r\n\r\n[info]\r\nDriver=Ann\r\n";
    IniFile ini = Parsed(original);
    EXPECT_EQ(ini.Text(), original);
    ini.Set("option", "A", "2");
    ini.Set("option", "B", "3");
    ini.Set("memo", "memo", "hi");
    EXPECT_EQ(ini.Text(),
              "\xEF\xBB\xBF[option]\r\nA=2\r\nB=3\r\n\r\n[info]\r\nDriver=Ann\r\n"
              "[memo]\r\nmemo=hi\r\n");

    // A CR LF file without a last line end gets CR LF, not a bare LF.
    IniFile cut = Parsed("[option]\r\nA=1");
    cut.Set("option", "B", "2");
    EXPECT_EQ(cut.Text(), "[option]\r\nA=1\r\nB=2\r\n");
}

TEST(IniFileWrite, KeepsLoneCrLineEndsAndTheFilesEncoding) {
    // A key found after a lone CR is replaced, not added a second time; the first line end
    // found is the one added lines get, and no other line changes.
    IniFile cr = Parsed("[option]\rA=1\rB=1\r\n");
    cr.Set("option", "A", "2");
    cr.Set("option", "C", "3");
    EXPECT_EQ(cr.Text(), "[option]\rA=2\rB=1\r\nC=3\r");

    const std::string unicode = Utf16Le(u"[info]\r\nDriver=Jos\u00e9\r\nTemp Track=\xD800x\r\n");
    IniFile wide = Parsed(unicode);
    EXPECT_EQ(wide.Get("info", "Driver", "", 259), "Jos\xC3\xA9");  // read as UTF-16
    EXPECT_EQ(wide.Text(), unicode);  // a lone surrogate is kept as it was
    wide.Set("info", "Driver", "Zo\xC3\xAB \xF0\x9F\x8F\x81");
    wide.Set("memo", "memo", "hi");
    EXPECT_EQ(wide.Text(), Utf16Le(u"[info]\r\nDriver=Zo\u00eb \U0001F3C1\r\nTemp Track=\xD800x\r\n"
                                   u"[memo]\r\nmemo=hi\r\n"));

    const std::string western = "[info]\nDriver=Jos\xe9\nTrack Name=\x81\n";
    IniFile cp = Parsed(western);
    EXPECT_EQ(cp.Get("info", "Driver", "", 259), "Jos\xC3\xA9");  // read as Windows-1252
    EXPECT_EQ(cp.Text(), western);
    // U+201C and U+201D are Windows-1252's 93 and 94; U+0141 is not in it.
    cp.Set("info", "Track Name",
           "\xE2\x80\x9C"
           "Caf\xC3\xA9\xE2\x80\x9D \xC5\x81");
    EXPECT_EQ(cp.Text(),
              "[info]\nDriver=Jos\xe9\nTrack Name=\x93"
              "Caf\xe9\x94 ?\n");

    // What Save puts on disk is those bytes, and they read back as the same text.
    IniTempDir dir;
    for (IniFile* ini : {&wide, &cp}) {
        const fs::path file = dir.path() / "saved.ini";
        ASSERT_TRUE(ini->Save(file));
        EXPECT_EQ(ReadText(file), ini->Text());
        IniFile back;
        ASSERT_TRUE(back.Load(file));
        EXPECT_EQ(back.Get("info", "Driver", "", 259), ini->Get("info", "Driver", "", 259));
        EXPECT_EQ(back.Text(), ini->Text());
    }
}

TEST(IniFileWrite, SavesCreateAndUpdateTheFile) {
    IniTempDir dir;
    const fs::path file = dir.path() / "config.ini";
    const auto set = [&](std::string_view section, std::string_view key, std::string_view value) {
        IniFile ini;
        // The first time there is none: an empty document.
        if (const vorna::Status loaded = ini.Load(file); !loaded) {
            EXPECT_EQ(loaded.Kind(), vorna::ProblemKind::Missing);
        }
        ini.Set(section, key, value);
        const vorna::Status saved = ini.Save(file);
        return saved ? std::string() : saved.Detail();
    };
    ASSERT_EQ(set("TEXT INFO", "size", "120"), "");
    ASSERT_EQ(set("text info", "Font", "Arial"), "");
    ASSERT_EQ(set("TEXT INFO", "SIZE", "90"), "");
    EXPECT_EQ(ReadText(file),
              vorna::WithLineEnds("[TEXT INFO]\nsize=90\nFont=Arial\n", vorna::SystemLineEnd()));
    IniFile read;
    ASSERT_TRUE(read.Load(file));
    EXPECT_EQ(read.Get("text info", "font", "", 19), "Arial");
    EXPECT_EQ(read.Find("text info", "font", 19).line, 3);
    // No temporary file is left next to it.
    int files = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir.path())) ++files;
    EXPECT_EQ(files, 1);
}

TEST(IniFileWrite, AFailedReplaceSaysWhy) {
    IniTempDir dir;
    const fs::path nowhere = dir.path() / "no-such-folder" / "x.ini";
    const vorna::Status written = vorna::WriteFileReplacing(nowhere, "x");
    ASSERT_FALSE(written);
    EXPECT_EQ(written.Kind(), vorna::ProblemKind::Unwritable);
    EXPECT_NE(written.Detail().find(nowhere.string()), std::string::npos) << written.Detail();
    EXPECT_NE(written.Detail().find(vorna::test::MissingFileWords(true)), std::string::npos)
        << written.Detail();

    IniFile folderAsFile;
    const vorna::Status loaded = folderAsFile.Load(dir.path());
    ASSERT_FALSE(loaded);
    EXPECT_EQ(loaded.Kind(), vorna::ProblemKind::Folder);
    EXPECT_NE(loaded.Detail().find(dir.path().string()), std::string::npos) << loaded.Detail();
}
