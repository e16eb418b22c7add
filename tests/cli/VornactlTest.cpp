// vornactl end to end, in process, against simulated devices.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "Version.h"
#include "cli/Vornactl.h"
#include "firmware/FirmwareImages.h"
#include "settings/Parameters.h"
#include "support/CliRun.h"
#include "support/TestSupport.h"

namespace vorna {
namespace {

namespace fs = std::filesystem;

using test::CliRun;
using test::Vornactl;

int Occurrences(const std::string& text, const std::string& part) {
    int count = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
    return count;
}

class VornactlTest : public ::testing::Test {
protected:
    std::string Link(const std::string& name = "esc") const { return (dir / name).string(); }
    test::TempDir dir;
};

TEST_F(VornactlTest, IdentifiesEscAndCardAndTraces) {
    sim::SimulatedEsc esc(Link(), 16);
    ASSERT_TRUE(esc.Start());
    CliRun r = Vornactl({"--port", Link(), "--trace", "identify"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("Identity: 0b 40 83 05 00 03 00"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Model type: 16"), std::string::npos);
    EXPECT_NE(r.out.find("Firmware: Expert V1.50"), std::string::npos);
    // The poll's conversation, read-backs included.
    EXPECT_NE(r.err.find("> d5\n"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("< d5\n"), std::string::npos);
    EXPECT_NE(r.err.find("< 26\n"), std::string::npos);
    EXPECT_NE(r.err.find("> d7\n"), std::string::npos);
    EXPECT_NE(r.err.find("< 0b 40 83 05 00 03 00\n"), std::string::npos);

    sim::SimulatedCard card(Link("card"));
    ASSERT_TRUE(card.Start());
    r = Vornactl({"--port", Link("card"), "identify", "--mode", "card"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("Firmware: VORNA JVX V1.30"), std::string::npos) << r.out;
}

TEST_F(VornactlTest, FailuresAndUsageHaveTheirExitCodes) {
    CliRun r = Vornactl({"--port", Link(), "--timeout", "1", "identify"});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("no bridge found at " + Link()), std::string::npos) << r.err;

    sim::SimulatedEsc esc(Link(), 16);
    ASSERT_TRUE(esc.Start());
    esc.SetFault(sim::Fault::Silent);
    r = Vornactl({"--port", Link(), "--timeout", "2", "identify"});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("no device answered"), std::string::npos) << r.err;
    // An ESC that does not answer may be one an update left in its boot loader.
    test::WriteText(dir / "image.mmc", MakeEscImage({1, 2, 3}).Value());
    r = Vornactl({"--port", Link(), "--timeout", "1", "flash-esc", (dir / "image.mmc").string()});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("--fix"), std::string::npos) << r.err;

    EXPECT_EQ(Vornactl({}).code, 2);
    EXPECT_EQ(Vornactl({"frobnicate"}).code, 2);
    EXPECT_EQ(Vornactl({"--timeout", "zero", "identify"}).code, 2);
    EXPECT_EQ(Vornactl({"identify", "--mode", "toaster"}).code, 2);
    EXPECT_EQ(Vornactl({"simulate", "esc", "--model", "18"}).code, 2);
    // What a support request quotes first.
    const CliRun version = Vornactl({"--version"});
    EXPECT_EQ(version.code, 0);
    EXPECT_EQ(version.out, std::string("vornactl ") + kVersion + "\n");
    EXPECT_EQ(Vornactl({"simulate", "esc", "--model", "3", "--fault", "gremlins"}).code, 2);
    EXPECT_EQ(Vornactl({"--port", Link(), "write", (dir / "missing.cfg").string()}).code, 3);
}

TEST_F(VornactlTest, SetWritesAndReadShowsIt) {
    sim::SimulatedEsc esc(Link(), 16);
    ASSERT_TRUE(esc.Start());
    CliRun r = Vornactl({"--port", Link(), "set", "Drag Brake=10%", "turbo on slope=instant"});
    ASSERT_EQ(r.code, 0) << r.err;
    // Standard error is no terminal here: no progress redrawn with carriage returns.
    EXPECT_EQ(r.err.find('\r'), std::string::npos) << r.err;
    EXPECT_EQ(esc.Record()[1], 10);
    EXPECT_EQ(esc.Record()[11], 4);  // "Instant" is the fifth Turbo On Slope
    r = Vornactl({"--port", Link(), "read"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("Drag Brake: 10%\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Turbo On Slope: Instant\n"), std::string::npos);

    // Unknown names and values that fit no choice send nothing and say what would fit.
    esc.ClearLogs();
    r = Vornactl({"--port", Link(), "set", "Warp Drive=on"});
    EXPECT_EQ(r.code, 2);
    EXPECT_NE(r.err.find("Drag Brake"), std::string::npos) << r.err;
    r = Vornactl({"--port", Link(), "set", "Drag Brake=lots"});
    EXPECT_EQ(r.code, 2);
    EXPECT_NE(r.err.find("100%"), std::string::npos);
    r = Vornactl({"--port", Link(), "set", "Drag Brake=10%", "drag brake=20%"});
    EXPECT_EQ(r.code, 2);
    EXPECT_NE(r.err.find("Drag Brake is given twice"), std::string::npos) << r.err;
    EXPECT_TRUE(esc.Pairs().empty());
}

TEST_F(VornactlTest, SetChangesNoRecordByteButTheChosenSetting) {
    // Type 7 has no boost settings, types 4 and 11 no power levels: their registers keep what
    // the ESC holds in them.
    for (const int model : {7, 11}) {
        SCOPED_TRACE(model);
        sim::SimulatedEsc esc(Link(), model);
        ASSERT_TRUE(esc.Start());
        const std::vector<std::uint8_t> before = esc.Record();
        const CliRun r = Vornactl({"--port", Link(), "set", "Drag Brake=10%"});
        ASSERT_EQ(r.code, 0) << r.err;
        std::vector<std::uint8_t> expected = before;
        expected[1] = 10;
        EXPECT_EQ(esc.Record(), expected);
    }
}

TEST_F(VornactlTest, ABecVoltageTheEscDoesNotGiveOrKeepIsSaidSo) {
    // Type 9 answers BEC Voltage apart from its record; here it does not answer.
    sim::SimulatedEsc quiet(Link("quiet"), 9);
    quiet.SetFault(sim::Fault::NoBecAnswer);
    ASSERT_TRUE(quiet.Start());
    CliRun r = Vornactl({"--port", Link("quiet"), "read"});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.out.find("BEC Voltage: (not read: the ESC did not answer when asked for it)"),
              std::string::npos)
        << r.out;
    r = Vornactl({"--port", Link("quiet"), "set", "BEC Voltage=6"});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("BEC Voltage could not be read back"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("other values"), std::string::npos) << r.err;
    EXPECT_EQ(quiet.BecIndex(), 0);  // sent all the same

    // Type 11 sends it last; an ESC that does not take it is named, and nothing is verified.
    sim::SimulatedEsc refusing(Link("refusing"), 11);
    refusing.SetFault(sim::Fault::BecRefused);
    ASSERT_TRUE(refusing.Start());
    r = Vornactl({"--port", Link("refusing"), "set", "BEC Voltage=7.4"});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("other values for: BEC Voltage"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("BEC Voltage Set Failed!"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("verified"), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "");
}

TEST_F(VornactlTest, SettingsTheEscDoesNotTakeOrAmbiguousValuesAreRefused) {
    sim::SimulatedEsc esc(Link(), 1);
    ASSERT_TRUE(esc.Start());
    CliRun r = Vornactl({"--port", Link(), "set", "Boost ACC=700"});
    EXPECT_EQ(r.code, 2);
    EXPECT_NE(r.err.find("cannot be changed"), std::string::npos) << r.err;
    // "For/Rev" is an entry of its own, not the start of "For/Rev/Brake".
    r = Vornactl({"--port", Link(), "set", "Operation Mode=For/Rev"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("Operation Mode: For/Rev\n"), std::string::npos) << r.out;
    r = Vornactl({"--port", Link(), "set", "Operation Mode=For"});
    EXPECT_EQ(r.code, 2);
    EXPECT_NE(r.err.find("fits several entries"), std::string::npos) << r.err;
    EXPECT_EQ(esc.WritesEnded(), 1);
}

TEST_F(VornactlTest, CfgFromReadReproducesEverySettingOnAnotherEsc) {
    sim::SimulatedEsc first(Link("a"), 12);
    sim::SimulatedEsc second(Link("b"), 12);
    ASSERT_TRUE(first.Start());
    ASSERT_TRUE(second.Start());
    ASSERT_EQ(Vornactl({"--port", Link("a"), "set", "Drag Brake=33%", "Turbo Off Slope=22",
                        "PW LV SW Point=45", "Boost End RPM=31000"})
                  .code,
              0);
    CliRun r = Vornactl({"--port", Link("a"), "read", "--format", "cfg"});
    ASSERT_EQ(r.code, 0) << r.err;
    const auto cfg = dir / "a.cfg";
    std::ofstream(cfg) << r.out;
    r = Vornactl({"--port", Link("b"), "write", cfg.string()});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(second.Record(), first.Record());

    // A file whose value fits no choice is refused by line, before anything is sent.
    second.ClearLogs();
    std::ofstream(dir / "bad.cfg") << "[option]\nOperation Mode=For/Brake\nDrag Brake=eleven\n";
    r = Vornactl({"--port", Link("b"), "write", (dir / "bad.cfg").string()});
    EXPECT_EQ(r.code, 3);
    EXPECT_NE(r.err.find("bad.cfg:3:"), std::string::npos) << r.err;
    EXPECT_TRUE(second.Pairs().empty());
}

// Settings files as Windows programs save them reach the ESC; a file that sets nothing does not
// pass for a write.
TEST_F(VornactlTest, WritesSettingsFilesSavedOnWindowsAndRefusesOneThatSetsNothing) {
    sim::SimulatedEsc esc(Link(), 16);
    ASSERT_TRUE(esc.Start());
    const fs::path cr = dir / "cr.cfg";
    test::WriteText(cr, "[option]\rDrag Brake=30%\rTurbo Slope=Instant\rDrag Brak=5%\r");
    CliRun r = Vornactl({"--port", Link(), "write", cr.string()});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.err.find(cr.string() + ":4: Drag Brak is not a setting"), std::string::npos)
        << r.err;
    EXPECT_NE(r.out.find("Wrote 2 settings from " + cr.string() + ".\n"), std::string::npos)
        << r.out;
    EXPECT_NE(r.err.find("settings in \"" + cr.string() + "\": Operation Mode, Reverse Speed, "),
              std::string::npos)
        << r.err;
    r = Vornactl({"--port", Link(), "read"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("Drag Brake: 30%\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Turbo On Slope: Instant\n"), std::string::npos) << r.out;

    // UTF-16LE, as Notepad saves "Unicode".
    std::string wide = "\xFF\xFE";
    for (const char c : std::string("[option]\r\nDrag Brake=20%\r\nLow Volt Cut=3.2 V/cell\r\n")) {
        wide += c;
        wide += '\0';
    }
    const fs::path unicode = dir / "unicode.cfg";
    test::WriteText(unicode, wide);
    r = Vornactl({"--port", Link(), "write", unicode.string()});
    ASSERT_EQ(r.code, 0) << r.err;
    r = Vornactl({"--port", Link(), "read"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("Drag Brake: 20%\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Low Volt Cut: 3.2 V/cell\n"), std::string::npos) << r.out;

    esc.ClearLogs();
    const fs::path none = dir / "none.cfg";
    test::WriteText(none, "[option]\r\nDrag Brake=\r\n[info]\r\nDriver=Ann\r\n");
    r = Vornactl({"--port", Link(), "write", none.string()});
    EXPECT_EQ(r.code, 3);
    EXPECT_NE(r.err.find("vornactl: Cannot import \"" + none.string() +
                         "\": it selects none of this ESC's settings; nothing was sent.\n"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_TRUE(esc.Pairs().empty());
    EXPECT_EQ(esc.WritesEnded(), 0);
}

TEST_F(VornactlTest, DefaultsRestoresTheFactorySettings) {
    sim::SimulatedEsc esc(Link(), 13);
    ASSERT_TRUE(esc.Start());
    ASSERT_EQ(Vornactl({"--port", Link(), "set", "Coast Value=15%"}).code, 0);
    ASSERT_NE(esc.Record(), sim::FactoryRecord(13));
    // Where the settings cannot be saved first, nothing is restored: a file problem.
    const fs::path blocked = dir / "blocked";
    fs::create_directories(blocked / "vorna-link");
    test::WriteText(blocked / "vorna-link" / "backups", "");
    ::setenv("XDG_DATA_HOME", blocked.c_str(), 1);
    CliRun r = Vornactl({"--port", Link(), "defaults"});
    ::unsetenv("XDG_DATA_HOME");
    EXPECT_EQ(r.code, 3) << r.err;
    EXPECT_NE(r.err.find("could not be saved, so the factory settings were not restored"),
              std::string::npos)
        << r.err;
    EXPECT_NE(esc.Record(), sim::FactoryRecord(13));

    const fs::path data = dir / "data";
    ::setenv("XDG_DATA_HOME", data.c_str(), 1);
    r = Vornactl({"--port", Link(), "defaults"});
    ::unsetenv("XDG_DATA_HOME");
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(esc.Record(), sim::FactoryRecord(13));
    EXPECT_NE(r.out.find("Coast Value: 0%"), std::string::npos) << r.out;
    // The settings it had are kept in a file named with the date, the time and the model.
    const fs::path backups = data / "vorna-link" / "backups";
    ASSERT_TRUE(fs::is_directory(backups));
    const fs::path saved = fs::directory_iterator(backups)->path();
    EXPECT_NE(saved.filename().string().find("_model-13.cfg"), std::string::npos) << saved;
    EXPECT_NE(r.out.find(saved.string()), std::string::npos) << r.out;
    EXPECT_NE(test::ReadText(saved).find("Coast Value=15%"), std::string::npos);
    // backups lists it with why it was made.
    ::setenv("XDG_DATA_HOME", data.c_str(), 1);
    r = Vornactl({"backups"});
    ::unsetenv("XDG_DATA_HOME");
    EXPECT_EQ(r.code, 0);
    EXPECT_NE(r.out.find("model type 13  before factory settings\n  " + saved.string()),
              std::string::npos)
        << r.out;
}

TEST_F(VornactlTest, DiffSaysWhatDiffersByExitCodeAndDryRunSendsNothing) {
    sim::SimulatedEsc esc(Link(), 16);
    ASSERT_TRUE(esc.Start());
    const fs::path same = dir / "same.cfg";
    CliRun r = Vornactl({"--port", Link(), "read", "--format", "cfg", "-o", same.string()});
    ASSERT_EQ(r.code, 0) << r.err;
    r = Vornactl({"--port", Link(), "diff", same.string()});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "No settings differ.\n");

    const fs::path race = dir / "race.cfg";
    test::WriteText(race, "[option]\nDrag Brake=37%\nDrive Mode=Full Sensored\n");
    esc.ClearLogs();
    r = Vornactl({"--port", Link(), "diff", race.string(), "esc", "--json"});
    EXPECT_EQ(r.code, 4) << r.err;
    EXPECT_NE(r.out.find("{\"setting\": \"Drag Brake\", \"a\": \"37%\", \"b\": \""),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("\"setting\": \"Drive Mode\", \"side\": \"a\", \"file\": \"" +
                         race.string() + "\", \"line\": 3"),
              std::string::npos)
        << r.out;
    // Two files, no device asked; a file that cannot be read and a missing argument.
    EXPECT_EQ(Vornactl({"diff", same.string(), race.string()}).code, 4);
    EXPECT_EQ(Vornactl({"diff", same.string(), same.string()}).code, 0);
    EXPECT_EQ(Vornactl({"diff", (dir / "missing.cfg").string(), same.string()}).code, 3);
    EXPECT_EQ(Vornactl({"diff"}).code, 2);

    const fs::path drag = dir / "drag.cfg";
    test::WriteText(drag, "[option]\nDrag Brake=37%\n");
    r = Vornactl({"--port", Link(), "write", drag.string(), "--dry-run"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find(" -> 37%\nNothing was sent (--dry-run).\n"), std::string::npos) << r.out;
    EXPECT_TRUE(esc.Pairs().empty());
    EXPECT_EQ(esc.WritesEnded(), 0);
}

TEST_F(VornactlTest, ExplainSaysWhatASettingDoes) {
    CliRun r = Vornactl({"explain", "turbo on slope"});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.out.rfind("Turbo On Slope (", 0), 0u) << r.out;
    r = Vornactl({"explain"});
    EXPECT_EQ(r.code, 0);
    for (const ParameterRow& row : kParameterTable) {
        EXPECT_NE(r.out.find(std::string(row.caption) + "\n  "), std::string::npos) << row.caption;
    }
    EXPECT_EQ(Occurrences(r.out, " (the same list, "), 3);
    EXPECT_EQ(Vornactl({"explain", "Punch"}).code, 2);
}

TEST_F(VornactlTest, FlashEscUpdatesTheFirmwareAndKeepsTheSettings) {
    sim::SimulatedEsc esc(Link(), 16);
    ASSERT_TRUE(esc.Start());
    const fs::path image = dir / "new firmware.mmc";
    test::WriteText(image, MakeEscImage({0x08, 1, 2, 3, 4, 5, 6, 7, 8, 9}, 4).Value());
    const fs::path data = dir / "data";
    ::setenv("XDG_DATA_HOME", data.c_str(), 1);
    CliRun r = Vornactl({"--port", Link(), "flash-esc", image.string()});
    ::unsetenv("XDG_DATA_HOME");
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(esc.UpdatesFinished(), 1);
    EXPECT_EQ(esc.CurrentIdentity()[3], 8);
    EXPECT_NE(r.err.find("1%\n"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("100%\n"), std::string::npos) << r.err;
    EXPECT_NE(r.out.find("The ESC now reports: Expert V1.80"), std::string::npos) << r.out;
    const fs::path backups = data / "vorna-link" / "backups";
    ASSERT_TRUE(fs::is_directory(backups));
    EXPECT_NE(r.out.find(fs::directory_iterator(backups)->path().string()), std::string::npos)
        << r.out;
}

TEST_F(VornactlTest, FlashEscRefusesBadImagesAndReportsFailures) {
    sim::SimulatedEsc esc(Link(), 16);
    ASSERT_TRUE(esc.Start());
    const fs::path bad = dir / "bad.mmc";
    test::WriteText(bad, ":0100000000FG\n");
    CliRun r = Vornactl({"--port", Link(), "flash-esc", bad.string()});
    EXPECT_EQ(r.code, 3);
    EXPECT_NE(r.err.find("line 1"), std::string::npos) << r.err;
    const fs::path suspect = dir / "suspect.mmc";
    test::WriteText(suspect, ":0100000000FE\n:00000001FF\n");
    r = Vornactl({"--port", Link(), "flash-esc", suspect.string()});
    EXPECT_EQ(r.code, 3);
    EXPECT_NE(r.err.find("--force"), std::string::npos) << r.err;
    // A cut image (no end-of-file record) and an empty one are refused, --force or not.
    std::string whole = MakeEscImage({1, 2, 3, 4, 5, 6, 7, 8}, 4).Value();
    test::WriteText(dir / "cut.mmc", whole.substr(0, whole.find(":00000001FF")));
    test::WriteText(dir / "empty.mmc", "");
    for (const char* name : {"cut.mmc", "empty.mmc"}) {
        r = Vornactl({"--port", Link(), "flash-esc", (dir / name).string(), "--force"});
        EXPECT_EQ(r.code, 3) << name;
        EXPECT_NE(r.err.find(name), std::string::npos) << r.err;
    }
    EXPECT_NE(r.err.find("holds no records"), std::string::npos) << r.err;
    EXPECT_TRUE(esc.Commands().empty());  // nothing reached the device

    esc.SetFault(sim::Fault::NoAckAfter, 1);
    const fs::path image = dir / "image.mmc";
    test::WriteText(image, MakeEscImage({1, 2, 3, 4, 5, 6, 7, 8}, 4).Value());
    r = Vornactl({"--port", Link(), "flash-esc", image.string(), "--fix"});
    EXPECT_EQ(r.code, 1);
    // What happened, that the ESC has no working firmware now, and how to repair it.
    EXPECT_NE(r.err.find("the ESC did not acknowledge record 2 of 3"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("no working firmware"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("what to do: Repair it in Fix Mode: vornactl flash-esc '" +
                         image.string() + "' --fix"),
              std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("the device said: Update Error: Data transfer no ack!"), std::string::npos)
        << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(Occurrences(r.err, "Data transfer no ack"), 1) << r.err;

    // Forced, the record with the wrong checksum goes out and the ESC does not take it.
    esc.SetFault(sim::Fault::None);
    r = Vornactl({"--port", Link(), "flash-esc", suspect.string(), "--fix", "--force"});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(Occurrences(r.err, "Data transfer no ack"), 1) << r.err;
    // The repair is not advised with the image that just failed.
    EXPECT_NE(r.err.find("what to do: Repair it in Fix Mode: vornactl flash-esc IMAGE --fix"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(esc.UpdatesFinished(), 0);
}

TEST_F(VornactlTest, FlashEscSendsADoubtfulImageOnlyWithForce) {
    sim::SimulatedEsc esc(Link(), 16);
    ASSERT_TRUE(esc.Start());
    // A stray character at the end of the first record: it is not sent, so the ESC takes the
    // record, but the image does not look as the ESC's tools write them.
    std::string text = MakeEscImage({0x09, 1, 2, 3}, 4).Value();
    text.insert(text.find('\n'), "7");
    const fs::path image = dir / "stray.mmc";
    test::WriteText(image, text);
    CliRun r = Vornactl({"--port", Link(), "flash-esc", image.string()});
    EXPECT_EQ(r.code, 3);
    EXPECT_NE(r.err.find("stray.mmc, line 1: the last character"), std::string::npos) << r.err;
    EXPECT_TRUE(esc.Commands().empty());

    ::setenv("XDG_DATA_HOME", (dir / "data").c_str(), 1);
    r = Vornactl({"--port", Link(), "flash-esc", image.string(), "--force"}, true);
    ::unsetenv("XDG_DATA_HOME");
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(esc.UpdatesFinished(), 1);
    EXPECT_EQ(esc.UpdateImage(), (std::vector<std::uint8_t>{0x09, 1, 2, 3}));
    // A data record of 10 bytes and the end record of 6, as the bar counts them.
    EXPECT_NE(r.err.find("] 100%  16/16 B"), std::string::npos) << r.err;
    EXPECT_NE(r.out.find("The ESC now reports: Expert V1.90"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("saved in " + (dir / "data").string()), std::string::npos) << r.out;
}

TEST_F(VornactlTest, FlashEscRefusesAnotherFamilysImageAndAnUpdateWithoutItsBackup) {
    sim::SimulatedEsc esc(Link(), 16);  // a VORNA ZEN
    ASSERT_TRUE(esc.Start());
    const fs::path data = fs::path(VORNA_SOURCE_DIR) / "data";
    const fs::path r5 = data / "Firmware" / "1-8 ESC R5 V2.0.mmc";
    CliRun r = Vornactl({"--port", Link(), "--data-dir", data.string(), "flash-esc", r5.string()});
    EXPECT_EQ(r.code, 3);
    EXPECT_NE(r.err.find("made for the 1:8 ESC R5"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("Nothing was sent. Use --other-family"), std::string::npos) << r.err;
    EXPECT_TRUE(esc.UpdateRecords().empty());

    // The user's data folder cannot take the backup: nothing is flashed without --no-backup.
    ::setenv("XDG_DATA_HOME", (dir / "data").c_str(), 1);
    fs::create_directories(dir / "data" / "vorna-link");
    test::WriteText(dir / "data" / "vorna-link" / "backups", "");
    const fs::path own = dir / "Expert V1.80.mmc";
    test::WriteText(own, MakeEscImage({8, 1, 2, 3}).Value());
    r = Vornactl({"--port", Link(), "--data-dir", data.string(), "flash-esc", own.string()});
    EXPECT_EQ(r.code, 3);
    EXPECT_NE(r.err.find("could not be saved before the update"), std::string::npos) << r.err;
    EXPECT_EQ(esc.UpdatesFinished(), 0);
    r = Vornactl({"--port", Link(), "flash-esc", own.string(), "--no-backup"});
    ::unsetenv("XDG_DATA_HOME");
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(esc.UpdatesFinished(), 1);
    EXPECT_NE(r.out.find("were not saved before the update (--no-backup)"), std::string::npos)
        << r.out;
}

TEST_F(VornactlTest, JsonListsEveryUsedSetting) {
    sim::SimulatedEsc esc(Link(), 8);
    ASSERT_TRUE(esc.Start());
    CliRun r = Vornactl({"--port", Link(), "read", "--format", "json"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("\"modelType\": 8"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\"caption\": \"BEC Voltage\", \"key\": \"BEC Voltage\", \"index\": 1, "
                         "\"value\": \"7.2 V\""),
              std::string::npos)
        << r.out;
}

TEST_F(VornactlTest, FlashCardWritesTheImageOrSaysWhyNot) {
    sim::SimulatedCard card(Link("card"));
    ASSERT_TRUE(card.Start());
    const std::vector<std::vector<std::uint8_t>> bodies = {sim::WithCardCheck({1, 2, 3}),
                                                           sim::WithCardCheck({4, 5})};
    const std::string text = MakeCardImage(bodies).Value();
    test::WriteText(dir / "new.xup", text);
    test::WriteText(dir / "bad.xup", text + "x1");

    CliRun r = Vornactl({"--port", Link("card"), "flash-card", (dir / "bad.xup").string()});
    EXPECT_EQ(r.code, 3);
    EXPECT_NE(r.err.find("offset " + std::to_string(text.size())), std::string::npos) << r.err;
    EXPECT_TRUE(card.Commands().empty());

    // On a terminal the bar, redrawn in place, ends with every byte acknowledged.
    r = Vornactl({"--port", Link("card"), "flash-card", (dir / "new.xup").string()}, true);
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(card.Flashed(), ParseCardImage(text).Value().bytes);
    EXPECT_NE(r.err.find("\r[####################] 100%  11/11 B"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("%\n"), std::string::npos) << r.err;
    EXPECT_NE(r.out.find("updated"), std::string::npos) << r.out;

    card.SetFault(sim::Fault::BlockCrc, 1);
    r = Vornactl({"--port", Link("card"), "flash-card", (dir / "new.xup").string()});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("1%\n"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("the card found block 2 of 2 damaged"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("the device said: Update Error: Data transfer crc error!"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(r.out, "");  // no success line after a failure
    EXPECT_EQ(Occurrences(r.err, "crc error"), 1) << r.err;

    // Half the shipped card image, cut at a block's end, reads as a whole image: only its name,
    // size and hash give it away.
    card.SetFault(sim::Fault::None);
    const fs::path data = fs::path(VORNA_SOURCE_DIR) / "data";
    const std::string shipped = test::ReadText(data / "Firmware" / "VORNA JVX V2.30.xup");
    const auto blocks = ParseCardImage(shipped).Value().blocks;
    const fs::path cut = dir / "VORNA JVX V2.30.xup";
    test::WriteText(cut, shipped.substr(0, blocks[blocks.size() / 2].offset * 2));
    const std::size_t heard = card.Commands().size();
    r = Vornactl({"--port", Link("card"), "--data-dir", data.string(), "flash-card", cut.string()});
    EXPECT_EQ(r.code, 3);
    EXPECT_NE(r.err.find("cut short"), std::string::npos) << r.err;
    EXPECT_EQ(card.Commands().size(), heard);
}

}  // namespace
}  // namespace vorna
