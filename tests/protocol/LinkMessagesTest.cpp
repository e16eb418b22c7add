// What the poll and the transfers say when the link goes wrong: a port held by another program,
// something that answers but not as the device does, and a link lost in the middle of a write.
#include <gtest/gtest.h>

#include <algorithm>

#include <optional>

#include "protocol/Messages.h"
#include "protocol/SettingsTransfer.h"
#include "support/HeldPort.h"
#include "support/ScriptedDevice.h"
#include "support/TestSupport.h"

namespace vorna {
namespace {

using test::Event;
using test::Rig;

class LinkMessagesTest : public ::testing::Test {
protected:
    std::string Link() const { return (dir / "bridge").string(); }
    std::string Odd(const std::string& device, const std::string& detail) const {
        return "Something answered on " + Link() + ", but not as " + device + " does (" + detail +
               ").";
    }
    // The one message a write request got.
    std::string WriteMessage(Rig& rig) {
        rig.view.Clear();
        rig.setup.RequestWrite();
        rig.Tick();
        const auto texts = rig.view.Texts(Event::Message);
        return texts.size() == 1 ? texts[0] : "(" + std::to_string(texts.size()) + " messages)";
    }
    test::TempDir dir;
};

TEST_F(LinkMessagesTest, AWrongPresenceByteIsSomethingAnsweringNotSilence) {
    sim::SimulatedEsc esc(Link(), 16);
    ASSERT_TRUE(esc.Start());
    esc.SetFault(sim::Fault::WrongByte);
    Rig rig(Link());
    rig.monitor.ChooseEsc();
    rig.Tick(3);
    ASSERT_NE(rig.link.GetDeviceState(), DeviceState::Connected);
    const std::string odd =
        Odd("a VORNA ESC", "it said 0x25 to the ESC check 0xd5, where an ESC says 0x26");
    EXPECT_EQ(rig.monitor.OddAnswer(), odd);
    // The window's message keeps its words and adds what answered.
    EXPECT_EQ(WriteMessage(rig), std::string(msg::kEscConnectionError) + "\n" + odd);

    // Silence is silence: nothing but the established words.
    esc.SetFault(sim::Fault::Silent);
    rig.Tick();
    EXPECT_EQ(rig.monitor.OddAnswer(), "");
    EXPECT_EQ(WriteMessage(rig), msg::kEscConnectionError);

    esc.SetFault(sim::Fault::None);
    rig.Tick();
    EXPECT_EQ(rig.link.GetDeviceState(), DeviceState::Connected);
    EXPECT_EQ(rig.monitor.OddAnswer(), "");
}

TEST_F(LinkMessagesTest, AnIdentityWithoutItsMarkOrCutShortIsNamed) {
    {
        sim::SimulatedEsc esc(Link(), 16);
        ASSERT_TRUE(esc.Start());
        esc.SetFault(sim::Fault::NoMarker);
        Rig rig(Link());
        rig.monitor.ChooseEsc();
        rig.Tick(2);
        EXPECT_EQ(rig.monitor.OddAnswer(),
                  Odd("a VORNA ESC",
                      "its identity 0b 00 83 05 00 03 00 lacks the mark 0x40 in its second byte"));
    }
    test::ScriptedDevice device(Link());
    ASSERT_TRUE(device.Start());
    device.Answer(0xD5, {0x26});
    device.Answer(0xD7, {0x0B, 0x40, 0x83, 0x05, 0x00, 0x03});
    Rig rig(Link());
    rig.monitor.ChooseEsc();
    rig.Tick(2);
    EXPECT_NE(rig.link.GetDeviceState(), DeviceState::Connected);
    EXPECT_EQ(rig.monitor.OddAnswer(),
              Odd("a VORNA ESC", "its identity came 6 bytes long, where an ESC sends 7"));

    device.Answer(0xD7, {});
    rig.Tick();
    EXPECT_EQ(rig.monitor.OddAnswer(),
              Odd("a VORNA ESC", "it answered the check but sent no identity when asked (0xd7)"));

    // Another mode: what answered in the one left says nothing.
    rig.monitor.ChooseProgramCard();
    EXPECT_EQ(rig.monitor.OddAnswer(), "");
}

TEST_F(LinkMessagesTest, CardAndFixModeNameWhatTheyExpected) {
    test::ScriptedDevice device(Link());
    ASSERT_TRUE(device.Start());
    device.Answer(0xD4, {0x12, 0x34});
    Rig rig(Link());
    rig.monitor.ChooseProgramCard();
    rig.Tick(2);
    EXPECT_EQ(rig.monitor.OddAnswer(), Odd("a VORNA program card",
                                           "it said 12 34 to the card check 0xd4, where a program "
                                           "card's answer begins with 0xd0 to 0xdf"));
    device.Answer(0xD4, {0xD1});
    rig.Tick();
    EXPECT_EQ(rig.monitor.OddAnswer(),
              Odd("a VORNA program card",
                  "it sent 1 of the 2 bytes a program card answers to its check 0xd4"));
    device.Answer(0xD4, {});
    rig.Tick();
    EXPECT_EQ(rig.monitor.OddAnswer(), "");

    device.Answer(0xD6, {0xD8});
    rig.monitor.ChooseFixMode();
    rig.Tick();
    EXPECT_EQ(rig.monitor.OddAnswer(),
              Odd("an ESC in Fix Mode",
                  "it said 0xd8 to the Fix Mode check 0xd6, where an ESC's "
                  "boot loader says 0xd7"));
    device.Answer(0xD6, {0xD7});
    rig.Tick();
    EXPECT_EQ(rig.link.GetDeviceState(), DeviceState::Connected);
    EXPECT_EQ(rig.monitor.OddAnswer(), "");
}

TEST_F(LinkMessagesTest, APortInUseIsTheReasonUntilItOpens) {
    sim::SimulatedEsc esc(Link(), 16);
    ASSERT_TRUE(esc.Start());
    std::optional<test::HeldPort> held(std::in_place, Link(), "minicom");
    ASSERT_TRUE(held->Holding());
    const std::string holder = "minicom (pid " + std::to_string(held->Pid()) + ")";
    Rig rig(Link());
    rig.monitor.ChooseEsc();
    rig.Tick(2);
    const auto problems = rig.view.Texts(Event::PortProblem);
    ASSERT_EQ(problems.size(), 1u);
    const std::string problem = "Cannot open " + Link() + ": the port is in use by " + holder +
                                ". Close that program; the link retries by itself.";
    EXPECT_EQ(problems[0], problem);
    ASSERT_TRUE(rig.link.OpenFailure());
    EXPECT_EQ(rig.link.OpenFailure()->problem.kind, ProblemKind::PortBusy);
    EXPECT_EQ(WriteMessage(rig), std::string(msg::kUsbConnectionError) + "\n" + problem);

    held.reset();
    rig.Tick(2);
    EXPECT_EQ(rig.link.GetDeviceState(), DeviceState::Connected);
    EXPECT_FALSE(rig.link.OpenFailure());

    // No bridge at all: the established words alone.
    esc.Unplug();
    rig.Tick();
    EXPECT_EQ(WriteMessage(rig), msg::kUsbConnectionError);
}

TEST_F(LinkMessagesTest, ALinkLostMidWriteSaysTheEscMayHoldAMix) {
    sim::SimulatedEsc esc(Link(), 16);
    ASSERT_TRUE(esc.Start());
    Rig rig(Link());
    rig.monitor.ChooseEsc();
    rig.Tick(2);
    ASSERT_TRUE(rig.setup.HasValidRecord());
    const SetupState before = rig.setup.Snapshot();
    for (ParamId id : kParameters) {
        const OptionList& list = before.List(id);
        if (list.selection < 0 || list.entries.size() < 2 || !list.writable) continue;
        rig.setup.SelectByUser(id, (list.selection + 1) % static_cast<int>(list.entries.size()));
    }
    const SetupState wanted = rig.setup.Snapshot();

    esc.ClearLogs();
    esc.SetFault(sim::Fault::UnplugAfterPair, 5);
    rig.view.Clear();
    rig.setup.RequestWrite();
    rig.Tick();
    const auto messages = rig.view.Texts(Event::Message);
    ASSERT_EQ(messages.size(), 1u);  // no Retry offered: a port that has gone cannot be retried
    EXPECT_EQ(messages[0], std::string(msg::kLinkLostDuringWrite) +
                               " (5 of 29 were acknowledged).\n" + msg::kMayHoldMix);
    for (const auto& e : rig.view.Events()) {
        if (e.kind == Event::Message) {
            EXPECT_EQ(e.icon, MessageIcon::Error);
        }
    }
    // The lamps go off before the message says the link was lost.
    const auto events = rig.view.Events();
    const auto message = std::find_if(events.begin(), events.end(),
                                      [](const Event& e) { return e.kind == Event::Message; });
    const auto lampsOff = std::find_if(events.begin(), events.end(), [](const Event& e) {
        return e.kind == Event::Lamps && e.lamps == LampState{};
    });
    EXPECT_LT(lampsOff - events.begin(), message - events.begin());
    EXPECT_FALSE(rig.setup.WriteRequested());
    ASSERT_EQ(rig.view.Writes().size(), 1u);
    EXPECT_EQ(rig.view.Writes()[0].result, WriteOutcome::Result::LinkLost);
    EXPECT_FALSE(rig.link.HasPort());
    EXPECT_EQ(esc.Pairs().size(), 5u);
    EXPECT_EQ(esc.WritesEnded(), 0);
    EXPECT_TRUE(rig.TimerRunning());

    // Plugged in again, the ESC is read: it holds some new settings and some old ones.
    esc.SetFault(sim::Fault::None);
    ASSERT_TRUE(esc.Replug());
    rig.Tick(3);
    ASSERT_EQ(rig.link.GetDeviceState(), DeviceState::Connected);
    ASSERT_TRUE(rig.setup.HasValidRecord());
    const SetupState now = rig.setup.Snapshot();
    int changed = 0, kept = 0;
    for (ParamId id : kParameters) {
        const int was = before.List(id).selection, want = wanted.List(id).selection;
        if (was == want) continue;
        changed += now.List(id).selection == want;
        kept += now.List(id).selection == was;
    }
    EXPECT_GT(changed, 0);
    EXPECT_GT(kept, 0);
}

}  // namespace
}  // namespace vorna
