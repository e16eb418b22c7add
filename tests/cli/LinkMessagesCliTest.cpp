// vornactl's last word when the link goes wrong: a port another program holds, something that
// answers but not as the device does, and a link lost in the middle of a write.
#include <gtest/gtest.h>

#include <sstream>

#include "cli/Vornactl.h"
#include "support/CliRun.h"
#include "support/HeldPort.h"
#include "support/ScriptedDevice.h"
#include "support/TestSupport.h"

namespace vorna {
namespace {

using CliResult = test::CliRun;
using test::Vornactl;

class LinkMessagesCliTest : public ::testing::Test {
protected:
    std::string Link() const { return (dir / "esc").string(); }
    test::TempDir dir;
};

TEST_F(LinkMessagesCliTest, APortInUseIsTheLastWordNotNoBridge) {
    sim::SimulatedEsc esc(Link(), 16);
    ASSERT_TRUE(esc.Start());
    test::HeldPort held(Link(), "minicom");
    ASSERT_TRUE(held.Holding());
    const std::string last = "vornactl: Cannot open " + Link() +
                             ": the port is in use by minicom (pid " + std::to_string(held.Pid()) +
                             "). Close that program and try again.";
    for (const std::vector<std::string>& command :
         {std::vector<std::string>{"identify"}, {"read"}, {"identify", "--mode", "card"}}) {
        SCOPED_TRACE(command.front());
        std::vector<std::string> args{"--port", Link(), "--timeout", "1"};
        args.insert(args.end(), command.begin(), command.end());
        const CliResult r = Vornactl(args);
        EXPECT_EQ(r.code, 1);
        EXPECT_EQ(r.Last(), last) << r.err;
        EXPECT_EQ(r.err.find("no bridge"), std::string::npos) << r.err;
        // Said once, with one piece of advice.
        EXPECT_EQ(r.err, last + "\n");
    }
    EXPECT_TRUE(esc.Commands().empty());

    // Without a bridge the old words stand.
    esc.Unplug();
    const CliResult r = Vornactl({"--port", Link(), "--timeout", "1", "identify"});
    EXPECT_EQ(r.Last(), "vornactl: no bridge found at " + Link() +
                            " within 1 s. Is the USB link plugged in?");
}

TEST_F(LinkMessagesCliTest, SomethingAnsweringWronglyIsNotNoEscAnswered) {
    sim::SimulatedEsc esc(Link(), 16);
    ASSERT_TRUE(esc.Start());
    const std::string prefix =
        "vornactl: Something answered on " + Link() + ", but not as a VORNA ESC does (";
    const std::string hint = " Is this the VORNA USB link, with the right device connected to it?";

    esc.SetFault(sim::Fault::WrongByte);
    for (const char* command : {"identify", "read"}) {
        SCOPED_TRACE(command);
        const CliResult r = Vornactl({"--port", Link(), "--timeout", "2", command});
        EXPECT_EQ(r.code, 1);
        EXPECT_EQ(r.Last(),
                  prefix + "it said 0x25 to the ESC check 0xd5, where an ESC says 0x26)." + hint)
            << r.err;
        EXPECT_EQ(r.err.find("no ESC answered"), std::string::npos) << r.err;
        EXPECT_EQ(r.err.find("no device answered"), std::string::npos) << r.err;
    }

    esc.SetFault(sim::Fault::NoMarker);
    CliResult r = Vornactl({"--port", Link(), "--timeout", "2", "read"});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.Last(), prefix +
                            "its identity 0b 00 83 05 00 03 00 lacks the mark 0x40 in its second "
                            "byte)." +
                            hint)
        << r.err;

    // Silence keeps the program's own words.
    esc.SetFault(sim::Fault::Silent);
    r = Vornactl({"--port", Link(), "--timeout", "2", "read"});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.Last(),
              "vornactl: no ESC answered within 2 s. Is the ESC connected to the link and "
              "switched on?")
        << r.err;
}

TEST_F(LinkMessagesCliTest, AShortIdentityIsNamed) {
    test::ScriptedDevice device(Link());
    ASSERT_TRUE(device.Start());
    device.Answer(0xD5, {0x26});
    device.Answer(0xD7, {0x0B, 0x40, 0x83});
    const CliResult r = Vornactl({"--port", Link(), "--timeout", "2", "identify"});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.Last().find("but not as a VORNA ESC does (its identity came 3 bytes long, where "
                            "an ESC sends 7)."),
              std::string::npos)
        << r.err;
}

TEST_F(LinkMessagesCliTest, ALinkLostMidWriteSaysTheEscMayHoldAMixAndHowToCheck) {
    sim::SimulatedEsc esc(Link(), 16);
    ASSERT_TRUE(esc.Start());
    esc.SetFault(sim::Fault::UnplugAfterPair, 3);
    const CliResult r = Vornactl({"--port", Link(), "set", "Drag Brake=10%"});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("The ESC may now hold a mix of its old and new settings."),
              std::string::npos)
        << r.err;
    EXPECT_EQ(r.Last(),
              "vornactl: what to do: Connect the ESC again and check its settings with 'vornactl "
              "read' before you drive.")
        << r.err;
    EXPECT_NE(r.err.find("(3 of 29 were acknowledged)"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("Send fail"), std::string::npos) << r.err;
    EXPECT_EQ(esc.Pairs().size(), 3u);
    EXPECT_EQ(esc.WritesEnded(), 0);
}

}  // namespace
}  // namespace vorna
