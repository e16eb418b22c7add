// vornactl doctor and report end to end, in process, against a simulated ESC.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>

#include <sys/utsname.h>

#include "Version.h"
#include "support/CliRun.h"
#include "support/TestSupport.h"

namespace vorna {
namespace {

namespace fs = std::filesystem;

using test::CliRun;
using test::Vornactl;

// An environment variable set for one test and put back afterwards.
class EnvSet {
public:
    EnvSet(const char* name, const std::string& value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        ::setenv(name, value.c_str(), 1);
    }
    ~EnvSet() {
        if (old_) {
            ::setenv(name_, old_->c_str(), 1);
        } else {
            ::unsetenv(name_);
        }
    }

private:
    const char* name_;
    std::optional<std::string> old_;
};

class DoctorReportTest : public ::testing::Test {
protected:
    std::string Link(const std::string& name = "esc") const { return (dir / name).string(); }
    bool Has(const std::string& text, const std::string& part) {
        return text.find(part) != std::string::npos;
    }
    test::TempDir dir;
};

TEST_F(DoctorReportTest, DoctorSaysWhetherTheNamedPortCanBeOpened) {
    sim::SimulatedEsc esc(Link(), 16);
    ASSERT_TRUE(esc.Start());
    CliRun r = Vornactl({"--port", Link(), "doctor"});
    EXPECT_EQ(r.code, 0) << r.out;
    EXPECT_TRUE(Has(r.out, "\nReady: " + Link() + " can be opened.\n")) << r.out;
    EXPECT_TRUE(Has(r.out, "ok       It opens.")) << r.out;

    r = Vornactl({"--port", Link("gone\x1b[1m"), "doctor"});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(Has(r.out, "Not ready: " + Link("gone\\x1b[1m") + " does not exist.\n")) << r.out;
    EXPECT_EQ(Vornactl({"doctor", "now"}).code, 2);
}

TEST_F(DoctorReportTest, ReportHoldsVersionCheckIdentitySettingsAndTraceWithoutTheHomeFolder) {
    fs::create_directories(dir / "home" / "zqracer");
    EnvSet home("HOME", (dir / "home").string());
    EnvSet user("USER", "zqracer");
    const std::string port = (dir / "home" / "zqracer" / "esc").string();
    sim::SimulatedEsc esc(port, 16);
    ASSERT_TRUE(esc.Start());
    const fs::path file = dir / "report.txt";
    CliRun r = Vornactl({"--port", port, "report", file.string()});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_TRUE(Has(r.out, "Report written to " + file.string())) << r.out;
    const std::string text = test::ReadText(file);
    EXPECT_TRUE(Has(text, std::string("Program: vornactl ") + kVersion + "\n")) << text;
    utsname names{};
    ASSERT_EQ(::uname(&names), 0);
    EXPECT_TRUE(Has(text, std::string("System: ") + names.sysname + " " + names.release));
    EXPECT_TRUE(Has(text, "Ready: ~/<user>/esc can be opened.\n")) << text;
    EXPECT_TRUE(Has(text, "Identity: 0b 40 83 05 00 03 00\n"));
    EXPECT_TRUE(Has(text, "Firmware: Expert V1.50\n"));
    EXPECT_TRUE(Has(text, "Drag Brake: "));
    EXPECT_TRUE(Has(text, "] > d7\n"));
    EXPECT_TRUE(Has(text, "] < 0b 40 83 05 00 03 00\n"));
    EXPECT_FALSE(Has(text, (dir / "home").string()));
    EXPECT_FALSE(Has(text, "zqracer"));
}

TEST_F(DoctorReportTest, ReportWithoutAnEscStillHoldsTheCheckAndRefusesAFolder) {
    const fs::path file = dir / "report.txt";
    CliRun r = Vornactl({"--port", Link(), "report", file.string()});
    ASSERT_EQ(r.code, 0) << r.err;
    std::string text = test::ReadText(file);
    EXPECT_TRUE(Has(text, "Not ready: " + Link() + " does not exist.\n")) << text;
    EXPECT_TRUE(Has(text, "No ESC was asked")) << text;
    EXPECT_TRUE(Has(text, "(no bytes were exchanged)"));

    // A port that opens but an ESC that does not answer: said, and the bytes sent are there.
    sim::SimulatedEsc esc(Link(), 16);
    ASSERT_TRUE(esc.Start());
    esc.SetFault(sim::Fault::Silent);
    r = Vornactl({"--port", Link(), "--timeout", "1", "report", file.string()});
    ASSERT_EQ(r.code, 0) << r.err;
    text = test::ReadText(file);
    EXPECT_TRUE(Has(text, "Ready: " + Link() + " can be opened.")) << text;
    EXPECT_TRUE(Has(text, "No ESC answered (the report is complete without one)")) << text;
    EXPECT_TRUE(Has(text, "] > d5\n")) << text;

    fs::create_directories(dir / "folder");
    r = Vornactl({"--port", Link(), "report", (dir / "folder").string()});
    EXPECT_EQ(r.code, 3) << r.err;
    EXPECT_TRUE(fs::is_directory(dir / "folder"));
    EXPECT_EQ(Vornactl({"report"}).code, 2);
}

}  // namespace
}  // namespace vorna
