// vornactl given bad input: junk numbers, folders, FIFOs, devices and oversized files where a
// file is expected, targets that must be left alone, and control characters in what it prints.
// Run in process against simulated devices on pseudo-terminals.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "cli/OutcomeWords.h"
#include "cli/TerminalText.h"
#include "cli/Vornactl.h"
#include "settings/IniFile.h"
#include "support/CliRun.h"
#include "support/TestSupport.h"

namespace vorna {
namespace {

namespace fs = std::filesystem;

using test::CliRun;
using test::Vornactl;

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// No byte that a terminal would act on: C0 controls but the line feed, DEL, and ESC above all.
bool TerminalSafe(const std::string& text) {
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte < 0x20 && c != '\n') || byte == 0x7F) return false;
    }
    return true;
}

std::vector<std::string> FolderEntries(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(folder)) names.push_back(e.path().filename());
    return names;
}

class BadInputTest : public ::testing::Test {
protected:
    std::string Link() const { return (dir / "esc").string(); }
    test::TempDir dir;
};

TEST_F(BadInputTest, JunkNumbersAreUsageErrors) {
    // No device is needed: each is refused before a port is looked for.
    for (const std::string junk :
         {"1x", "", "-1", "0", " 5", "5 ", "+5", "0x10", "1e3", "3601", "99999999999"}) {
        const CliRun r = Vornactl({"--port", Link(), "--timeout", junk, "identify"});
        EXPECT_EQ(r.code, 2) << "--timeout \"" << junk << "\": " << r.err;
        EXPECT_TRUE(Contains(r.err, "--timeout takes a whole number of seconds from 1 to 3600"))
            << r.err;
    }
    EXPECT_EQ(Vornactl({"--timeout"}).code, 2);
    for (const std::string junk : {"3x", "", "-1", " 3", "+3", "18", "99999999999"}) {
        const CliRun r = Vornactl({"simulate", "esc", "--model", junk, "--link", Link()});
        EXPECT_EQ(r.code, 2) << "--model \"" << junk << "\": " << r.err;
        EXPECT_TRUE(Contains(r.err, "--model takes a model type from 0 to 17")) << r.err;
    }
    EXPECT_EQ(Vornactl({"simulate", "esc", "--model"}).code, 2);
    // The junk is quoted escaped.
    const CliRun r = Vornactl({"--timeout", "1\x1b[2J", "identify"});
    EXPECT_TRUE(Contains(r.err, "not \"1\\x1b[2J\"")) << r.err;
    EXPECT_TRUE(TerminalSafe(r.err));
}

TEST_F(BadInputTest, WriteRefusesWhatIsNoSettingsFileBeforeTheEscIsAsked) {
    sim::SimulatedEsc esc(Link(), 16);
    ASSERT_TRUE(esc.Start());

    fs::create_directories(dir / "folder.cfg");
    CliRun r = Vornactl({"--port", Link(), "write", (dir / "folder.cfg").string()});
    EXPECT_EQ(r.code, 3);
    EXPECT_TRUE(Contains(r.err, "folder.cfg\" is a folder, not a settings file")) << r.err;
    EXPECT_FALSE(Contains(r.err, "no such file")) << r.err;

    const fs::path fifo = dir / "pipe.cfg";
    test::MakeFifo(fifo);
    ASSERT_TRUE(test::EndsWithoutBlocking(
        [&] {
            r = Vornactl({"--port", Link(), "write", fifo.string()});
        },
        fifo));
    EXPECT_EQ(r.code, 3);
    EXPECT_TRUE(Contains(r.err, "pipe.cfg\" is not a regular file but a FIFO")) << r.err;

    r = Vornactl({"--port", Link(), "write", "/dev/null"});
    EXPECT_EQ(r.code, 3);
    EXPECT_TRUE(Contains(r.err, "\"/dev/null\" is not a regular file but a character device"))
        << r.err;

    const fs::path big = dir / "big.cfg";
    test::WriteText(big, "[option]\n" + std::string(kMaxIniFileBytes, ';'));
    r = Vornactl({"--port", Link(), "write", big.string()});
    EXPECT_EQ(r.code, 3);
    EXPECT_TRUE(Contains(r.err, big.string() + "\" is larger than 1 MiB (1048576 bytes)")) << r.err;

    r = Vornactl({"--port", Link(), "write", (dir / "missing.cfg").string()});
    EXPECT_EQ(r.code, 3);
    EXPECT_TRUE(Contains(r.err, "No such file")) << r.err;

    EXPECT_TRUE(esc.Commands().empty());  // none of them opened the port
}

TEST_F(BadInputTest, FileNamesAndFileContentsArePrintedEscaped) {
    sim::SimulatedEsc esc(Link(), 16);
    ASSERT_TRUE(esc.Start());
    // A name that would clear the screen and fake a line, and a value that would retitle the
    // terminal and ring its bell.
    const fs::path file = dir / "evil\x1b[2J\r\nvornactl: all fine\t.cfg";
    test::WriteText(file,
                    "[option]\nDrag Brake=\x1b]0;owned\x07\xc2\x9b"
                    "31m\n");
    CliRun r = Vornactl({"--port", Link(), "write", file.string()});
    EXPECT_EQ(r.code, 3);
    EXPECT_TRUE(TerminalSafe(r.err)) << r.err;
    EXPECT_TRUE(Contains(r.err,
                         "evil\\x1b[2J\\r\\nvornactl: all fine\\t.cfg:2: Drag Brake="
                         "\\x1b]0;owned\\x07\\xc2\\x9b31m: "))
        << r.err;

    // A message that quotes the name: the file is missing, then a folder.
    const fs::path gone = dir / "gone\x1b[31m.cfg";
    r = Vornactl({"--port", Link(), "write", gone.string()});
    EXPECT_EQ(r.code, 3);
    EXPECT_TRUE(TerminalSafe(r.err)) << r.err;
    EXPECT_TRUE(Contains(r.err, "gone\\x1b[31m.cfg")) << r.err;

    // The image readers' refusals name the file too.
    r = Vornactl({"--port", Link(), "flash-esc", (dir / "x\x1b[1m.mmc").string()});
    EXPECT_EQ(r.code, 3);
    EXPECT_TRUE(TerminalSafe(r.err)) << r.err;
    EXPECT_TRUE(Contains(r.err, "x\\x1b[1m.mmc")) << r.err;

    // The port named on the command line, in the last word on a link that never came.
    r = Vornactl({"--port", (dir / "no\x1b[31mport").string(), "--timeout", "1", "identify"});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(TerminalSafe(r.err)) << r.err;
    EXPECT_TRUE(Contains(r.err, "no\\x1b[31mport")) << r.err;
}

TEST(TerminalText, ControlsAreEscapedAndPrintableUtf8Stays) {
    EXPECT_EQ(cli::Shown("a\tb\rc\nd\x1b[0m\x7f\x01"), "a\\tb\\rc\\nd\\x1b[0m\\x7f\\x01");
    // U+009B (CSI of 8-bit terminals) is escaped; "°", "µ" and "€" are not.
    EXPECT_EQ(cli::Shown("\xc2\x9b"
                         "2J 10\xc2\xb0 5\xc2\xb5s 3\xe2\x82\xac"),
              "\\xc2\\x9b2J 10\xc2\xb0 5\xc2\xb5s 3\xe2\x82\xac");
    // Bytes that are not UTF-8: a stray continuation, a cut sequence, an overlong form.
    EXPECT_EQ(cli::Shown("\x80 \xe2\x82 \xc0\xaf"), "\\x80 \\xe2\\x82 \\xc0\\xaf");
    EXPECT_EQ(cli::ShownLines("one\ntwo\x1b\r"), "one\ntwo\\x1b\\r");
    EXPECT_EQ(cli::JsonQuoted("q\"\\\x1b\x7f\xc2\x9b\xff\xc2\xb0"),
              "\"q\\\"\\\\\\u001b\\u007f\\u009b\\u00ff\xc2\xb0\"");
}

TEST(TerminalText, APrintedCommandIsQuotedForTheShellOfItsSystem) {
    using cli::Shell;
    EXPECT_EQ(cli::ShellWord("/home/me/it's mine.mmc", Shell::Posix),
              "'/home/me/it'\\''s mine.mmc'");
    EXPECT_EQ(cli::ShellWord("C:\\Program Files\\Expert V1.70.mmc", Shell::WindowsCmd),
              "\"C:\\Program Files\\Expert V1.70.mmc\"");
    // Backslashes before the closing quote, or a quote, would escape it.
    EXPECT_EQ(cli::ShellWord("D:\\images\\", Shell::WindowsCmd), "\"D:\\images\\\\\"");
    EXPECT_EQ(cli::ShellWord("a\\\"b", Shell::WindowsCmd), "\"a\\\\\\\"b\"");
    EXPECT_EQ(cli::NextStepWords(NextStep::RepairEsc, "it's.mmc"),
              "Repair it in Fix Mode: vornactl flash-esc 'it'\\''s.mmc' --fix");
}

TEST_F(BadInputTest, ReadToAFileReplacesItOnlyOnceTheSettingsWereRead) {
    sim::SimulatedEsc esc(Link(), 16);
    ASSERT_TRUE(esc.Start());
    const fs::path file = dir / "mine.cfg";
    test::WriteText(file, "old\n");

    // An ESC that does not answer: the file is neither emptied nor half-written.
    esc.SetFault(sim::Fault::Silent);
    CliRun r = Vornactl(
        {"--port", Link(), "--timeout", "1", "read", "--format", "cfg", "-o", file.string()});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(test::ReadText(file), "old\n");
    EXPECT_EQ(FolderEntries(dir.path()).size(), 2u) << "a temporary file was left";

    esc.SetFault(sim::Fault::None);
    r = Vornactl({"--port", Link(), "read", "--format", "cfg", "-o", file.string()});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_TRUE(Contains(r.out, "Settings saved in " + file.string())) << r.out;
    const CliRun printed = Vornactl({"--port", Link(), "read", "--format", "cfg"});
    ASSERT_EQ(printed.code, 0) << printed.err;
    EXPECT_EQ(test::ReadText(file), printed.out);
    EXPECT_EQ(FolderEntries(dir.path()).size(), 2u) << "a temporary file was left";
}

TEST_F(BadInputTest, ReadToAFileRefusesTargetsToLeaveAloneBeforeTheEscIsAsked) {
    sim::SimulatedEsc esc(Link(), 16);
    ASSERT_TRUE(esc.Start());
    const auto readTo = [&](const std::string& target) {
        return Vornactl({"--port", Link(), "read", "--format", "cfg", "-o", target});
    };

    CliRun r = readTo((dir / "sub/").string());
    EXPECT_EQ(r.code, 3);
    EXPECT_TRUE(Contains(r.err, "ends in a folder separator")) << r.err;

    fs::create_directories(dir / "folder.cfg");
    r = readTo((dir / "folder.cfg").string());
    EXPECT_EQ(r.code, 3);
    EXPECT_TRUE(Contains(r.err, "is a folder, not a settings file")) << r.err;

    const fs::path fifo = dir / "pipe.cfg";
    test::MakeFifo(fifo);
    ASSERT_TRUE(test::EndsWithoutBlocking([&] { r = readTo(fifo.string()); }, fifo));
    EXPECT_EQ(r.code, 3);
    EXPECT_TRUE(Contains(r.err, "is not a regular file but a FIFO")) << r.err;
    EXPECT_TRUE(fs::is_fifo(fifo));

    // Read-only by its mode bits: refused for root as well, whom the system would let through.
    const fs::path kept = dir / "kept.cfg";
    test::WriteText(kept, "kept\n");
    ASSERT_EQ(::chmod(kept.c_str(), 0444), 0);
    r = readTo(kept.string());
    EXPECT_EQ(r.code, 3);
    EXPECT_TRUE(Contains(r.err, "kept.cfg\" is read-only")) << r.err;
    EXPECT_EQ(test::ReadText(kept), "kept\n");
    struct stat st {};
    ASSERT_EQ(::stat(kept.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0444u);

    EXPECT_TRUE(esc.Commands().empty());
    EXPECT_EQ(Vornactl({"--port", Link(), "read", "-o"}).code, 2);
    EXPECT_EQ(Vornactl({"--port", Link(), "read", "-o", ""}).code, 2);
}

}  // namespace
}  // namespace vorna
