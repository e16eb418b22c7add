// The poll against simulated devices over pseudo-terminals, tick by tick.
#include <gtest/gtest.h>

#include <algorithm>

#include "protocol/Commands.h"
#include "protocol/Messages.h"
#include "support/TestSupport.h"

namespace vorna {
namespace {

using test::Count;
using test::Event;
using test::Rig;

class MonitorTest : public ::testing::Test {
protected:
    test::TempDir dir;
    std::string Link() const { return (dir / "bridge").string(); }
};

TEST_F(MonitorTest, WithoutAModeThePortOpensButNothingIsSent) {
    sim::SimulatedEsc esc(Link(), 16);
    ASSERT_TRUE(esc.Start());
    Rig rig(Link());
    rig.Tick();
    EXPECT_TRUE(rig.link.IsOpen());
    EXPECT_EQ(rig.link.GetUsbState(), UsbState::Connected);
    EXPECT_EQ(rig.view.LastLamps(), (LampState{true, false, false}));
    rig.Tick(3);
    EXPECT_TRUE(esc.Commands().empty());
    EXPECT_EQ(rig.monitor.Mode(), DeviceMode::None);
}

TEST_F(MonitorTest, EscIsIdentifiedReadAndKeptAlive) {
    sim::SimulatedEsc esc(Link(), 16);
    ASSERT_TRUE(esc.Start());
    Rig rig(Link());
    rig.monitor.ChooseEsc();
    rig.Tick();  // opens the port; traffic starts on the next tick
    EXPECT_TRUE(esc.Commands().empty());
    EXPECT_EQ(rig.view.LastLamps(), (LampState{true, false, false}));
    rig.Tick();
    EXPECT_EQ(rig.link.GetDeviceState(), DeviceState::Connected);
    EXPECT_EQ(rig.view.LastLamps(), (LampState{true, true, false}));
    EXPECT_EQ(esc.Commands(), (std::vector<std::uint8_t>{0xD5, 0xD7, 0xD8}));
    EXPECT_EQ(rig.setup.ModelType(), 16);
    EXPECT_EQ(rig.setup.ModelType(), 16);
    EXPECT_EQ(rig.firmware.Identity(), sim::IdentityForModel(16));
    EXPECT_EQ(rig.setup.Snapshot().versionText, "1.50");
    EXPECT_EQ(rig.setup.FirmwareText(), "Expert V1.50");
    EXPECT_EQ(rig.setup.ModelNameText(), "VORNA ZEN");
    EXPECT_TRUE(rig.setup.HasValidRecord());
    // The read stopped the poll timer and started it again at 500 ms.
    EXPECT_TRUE(rig.TimerRunning());
    EXPECT_EQ(rig.TimerPeriodMs(), 500);

    esc.ClearLogs();
    rig.Tick(2);
    EXPECT_EQ(esc.Commands(), (std::vector<std::uint8_t>{0xD5, 0xD5}));  // keep-alive only
}

TEST_F(MonitorTest, IdentityWithoutMarkerIsRetriedEveryTick) {
    sim::SimulatedEsc esc(Link(), 16);
    ASSERT_TRUE(esc.Start());
    esc.SetFault(sim::Fault::NoMarker);
    Rig rig(Link());
    rig.monitor.ChooseEsc();
    rig.Tick(4);
    EXPECT_NE(rig.link.GetDeviceState(), DeviceState::Connected);
    EXPECT_EQ(Count(esc.Commands(), 0xD7), 3);
    EXPECT_EQ(Count(esc.Commands(), 0xD8), 0);
    EXPECT_EQ(rig.setup.ModelType(), 0);
    EXPECT_FALSE(rig.view.LastLamps().esc);

    esc.SetFault(sim::Fault::None);
    rig.Tick();
    EXPECT_EQ(rig.link.GetDeviceState(), DeviceState::Connected);
}

TEST_F(MonitorTest, EscSilentForOnePollIsIdentifiedAgain) {
    sim::SimulatedEsc esc(Link(), 13);
    ASSERT_TRUE(esc.Start());
    Rig rig(Link());
    rig.monitor.ChooseEsc();
    rig.Tick(2);
    ASSERT_EQ(rig.link.GetDeviceState(), DeviceState::Connected);
    ASSERT_FALSE(rig.setup.FirmwareText().empty());

    esc.SetFault(sim::Fault::Silent);
    rig.Tick();
    EXPECT_EQ(rig.link.GetDeviceState(), DeviceState::Absent);
    EXPECT_EQ(rig.view.LastLamps(), (LampState{true, false, false}));
    EXPECT_EQ(rig.setup.FirmwareText(), "");
    EXPECT_EQ(rig.setup.ModelNameText(), "");
    EXPECT_EQ(rig.link.GetUsbState(), UsbState::Connected);  // the bridge is still there

    esc.SetFault(sim::Fault::None);
    esc.ClearLogs();
    rig.Tick();
    EXPECT_EQ(rig.link.GetDeviceState(), DeviceState::Connected);
    EXPECT_EQ(esc.Commands(), (std::vector<std::uint8_t>{0xD5, 0xD7, 0xD8}));
}

TEST_F(MonitorTest, BlinkyRx4FirmwareTextSurvivesASilentPoll) {
    sim::SimulatedEsc esc(Link(), 14);  // 13, 0x40, 0x83, 0x14
    ASSERT_TRUE(esc.Start());
    Rig rig(Link());
    rig.monitor.ChooseEsc();
    rig.Tick(2);
    ASSERT_EQ(rig.setup.FirmwareText(), "Blinky V3.0_K7T_RX4");
    esc.SetFault(sim::Fault::Silent);
    rig.Tick();
    EXPECT_EQ(rig.link.GetDeviceState(), DeviceState::Absent);
    EXPECT_EQ(rig.setup.FirmwareText(), "Blinky V3.0_K7T_RX4");
    EXPECT_EQ(rig.setup.ModelNameText(), "");
}

TEST_F(MonitorTest, WrongPresenceByteChangesNothing) {
    sim::SimulatedEsc esc(Link(), 16);
    ASSERT_TRUE(esc.Start());
    esc.SetFault(sim::Fault::WrongByte);
    Rig rig(Link());
    rig.monitor.ChooseEsc();
    rig.Tick(3);
    EXPECT_EQ(rig.link.GetDeviceState(), DeviceState::NotPolled);
    EXPECT_EQ(rig.link.GetUsbState(), UsbState::Connected);
    EXPECT_EQ(Count(esc.Commands(), 0xD7), 0);
}

TEST_F(MonitorTest, UnplugTurnsLampsOffReplugLightsThemTickByTick) {
    sim::SimulatedEsc esc(Link(), 8);
    ASSERT_TRUE(esc.Start());
    Rig rig(Link());
    rig.monitor.ChooseEsc();
    rig.Tick(2);
    ASSERT_EQ(rig.view.LastLamps(), (LampState{true, true, false}));

    ASSERT_NE(rig.firmware.EscTexts().firmware, "");
    esc.Unplug();
    rig.Tick();
    EXPECT_EQ(rig.view.LastLamps(), (LampState{false, false, false}));
    EXPECT_FALSE(rig.link.IsOpen());
    // What the pages said of the ESC went with it.
    EXPECT_EQ(rig.firmware.EscTexts().firmware, "");
    EXPECT_EQ(rig.firmware.EscTexts().model, "");
    EXPECT_EQ(rig.setup.FirmwareText(), "");
    rig.Tick();
    EXPECT_EQ(rig.view.LastLamps(), (LampState{false, false, false}));

    ASSERT_TRUE(esc.Replug());
    rig.Tick();
    EXPECT_EQ(rig.view.LastLamps(), (LampState{true, false, false}));
    rig.Tick();
    EXPECT_EQ(rig.view.LastLamps(), (LampState{true, true, false}));
    EXPECT_TRUE(rig.setup.HasValidRecord());
}

// The tick that opens the port sends nothing and asks for the next tick soon; that one talks
// to the device. A tick that opens nothing asks for nothing.
TEST_F(MonitorTest, TheTickAfterTheOpenComesSoonAndBringsTheFirstTraffic) {
    sim::SimulatedEsc esc(Link(), 16);
    ASSERT_TRUE(esc.Start());
    struct SoonTimer : PollTimer {
        std::vector<int> soon;
        void StopTimer() override {}
        void StartTimer(int) override {}
        void NextTickAfter(int delayMs) override { soon.push_back(delayMs); }
    } timer;
    EscSetupModel setup;
    FirmwarePageModel firmware;
    test::RecordingView view;
    UsbUart link;
    BridgeLocation where;
    where.fixedPath = Link();
    ConnectionMonitor monitor(link, where, setup, firmware, view, timer);
    monitor.ChooseEsc();
    monitor.OnTimer();
    EXPECT_TRUE(link.IsOpen());
    EXPECT_TRUE(esc.Commands().empty());
    EXPECT_EQ(timer.soon, std::vector<int>{kFirstTrafficDelayMs});
    monitor.OnTimer();
    EXPECT_EQ(link.GetDeviceState(), DeviceState::Connected);
    EXPECT_TRUE(setup.HasValidRecord());
    EXPECT_EQ(timer.soon.size(), 1u);
}

// Unplugged, the ESC's model goes with its values: the page shows no model's lists until the
// next ESC is identified.
TEST_F(MonitorTest, AnUnpluggedEscLeavesNoModelBehind) {
    sim::SimulatedEsc esc(Link(), 16);
    ASSERT_TRUE(esc.Start());
    Rig rig(Link());
    rig.monitor.ChooseEsc();
    rig.Tick(2);
    ASSERT_EQ(rig.setup.ModelType(), 16);
    esc.Unplug();
    rig.Tick();
    EXPECT_EQ(rig.setup.ModelType(), 0);
    for (const ParamId id : kParameters) EXPECT_TRUE(rig.setup.Snapshot().List(id).entries.empty());
    ASSERT_TRUE(esc.Replug());
    rig.Tick(2);
    EXPECT_EQ(rig.setup.ModelType(), 16);
    EXPECT_TRUE(rig.setup.HasValidRecord());
}

TEST_F(MonitorTest, AnotherModelPluggedInIsIdentifiedAfresh) {
    auto esc = std::make_unique<sim::SimulatedEsc>(Link(), 16);
    ASSERT_TRUE(esc->Start());
    Rig rig(Link());
    rig.monitor.ChooseEsc();
    rig.Tick(2);
    ASSERT_EQ(rig.setup.ModelType(), 16);
    esc.reset();
    esc = std::make_unique<sim::SimulatedEsc>(Link(), 13);
    ASSERT_TRUE(esc->Start());
    rig.Tick(3);
    EXPECT_EQ(rig.link.GetDeviceState(), DeviceState::Connected);
    EXPECT_EQ(rig.setup.ModelType(), 13);
    EXPECT_EQ(rig.setup.FirmwareText(), "1:8 ESC R5 V2.3");
}

TEST_F(MonitorTest, FixModeThenEscIdentifiesTheEscAfresh) {
    sim::SimulatedEsc esc(Link(), 16);
    ASSERT_TRUE(esc.Start());
    Rig rig(Link());
    rig.monitor.ChooseFixMode();
    rig.Tick(2);
    EXPECT_EQ(rig.link.GetDeviceState(), DeviceState::Connected);
    EXPECT_EQ(esc.Commands(), (std::vector<std::uint8_t>{0xD6, 0xD7}));
    // Fix Mode neither shows the identity nor reads settings.
    EXPECT_EQ(rig.firmware.Identity(), IdentityBytes{});
    EXPECT_EQ(rig.setup.ModelType(), 0);

    // Whatever answered in Fix Mode is identified and read before its values are shown.
    esc.ClearLogs();
    rig.monitor.ChooseEsc();
    EXPECT_EQ(rig.link.GetDeviceState(), DeviceState::NotPolled);
    rig.Tick(2);
    EXPECT_EQ(esc.Commands(), (std::vector<std::uint8_t>{0xD5, 0xD7, 0xD8, 0xD5}));
    EXPECT_TRUE(rig.setup.HasValidRecord());

    // Until it once fails to answer.
    esc.SetFault(sim::Fault::Silent);
    rig.Tick();
    esc.SetFault(sim::Fault::None);
    esc.ClearLogs();
    rig.Tick();
    EXPECT_EQ(esc.Commands(), (std::vector<std::uint8_t>{0xD5, 0xD7, 0xD8}));
    EXPECT_EQ(rig.setup.ModelType(), 16);
}

TEST_F(MonitorTest, FixProbeAnsweredWronglyIsAskedABoundedNumberOfTimesPerTick) {
    sim::SimulatedEsc esc(Link(), 16);
    ASSERT_TRUE(esc.Start());
    esc.SetFault(sim::Fault::WrongByte);
    Rig rig(Link());
    rig.monitor.ChooseFixMode();
    rig.Tick(2);  // the first tick opens the port, the second probes
    EXPECT_EQ(Count(esc.Commands(), cmd::kFixProbe), ConnectionMonitor::kFixProbeRetries + 1);
    EXPECT_NE(rig.link.GetDeviceState(), DeviceState::Connected);
}

TEST_F(MonitorTest, AnotherEscWhoseReadFailsLeavesNothingToWrite) {
    auto esc = std::make_unique<sim::SimulatedEsc>(Link(), 16);
    ASSERT_TRUE(esc->Start());
    Rig rig(Link());
    rig.monitor.ChooseEsc();
    rig.Tick(2);
    ASSERT_TRUE(rig.setup.HasValidRecord());
    esc.reset();
    esc = std::make_unique<sim::SimulatedEsc>(Link(), 16);
    esc->SetFault(sim::Fault::NoEndMarker);
    ASSERT_TRUE(esc->Start());
    rig.Tick(3);
    ASSERT_EQ(rig.link.GetDeviceState(), DeviceState::Connected);
    EXPECT_FALSE(rig.setup.HasValidRecord());
    // The first ESC's values must not reach this one.
    esc->ClearLogs();
    rig.setup.RequestWrite();
    rig.Tick();
    EXPECT_TRUE(esc->Pairs().empty());
    EXPECT_EQ(esc->WritesEnded(), 0);
}

TEST_F(MonitorTest, ProgramCardIsIdentifiedOnceAndLost) {
    sim::SimulatedCard card(Link());
    ASSERT_TRUE(card.Start());
    Rig rig(Link());
    rig.monitor.ChooseProgramCard();
    rig.Tick(3);
    EXPECT_EQ(rig.monitor.CardState(), DeviceState::Connected);
    EXPECT_EQ(rig.view.LastLamps(), (LampState{true, false, true}));
    EXPECT_EQ(card.Commands(), (std::vector<std::uint8_t>{0xD4, 0xD7, 0xD4}));
    EXPECT_EQ(rig.firmware.CardModelText(), "VORNA PROGRAM CARD");
    EXPECT_EQ(rig.firmware.CardFirmwareText(), "VORNA JVX V1.30");

    card.SetFault(sim::Fault::Silent);
    rig.Tick();
    EXPECT_EQ(rig.monitor.CardState(), DeviceState::Absent);
    EXPECT_FALSE(rig.view.LastLamps().card);
    EXPECT_EQ(rig.firmware.CardFirmwareText(), "");
    card.SetFault(sim::Fault::WrongByte);
    rig.Tick();
    EXPECT_EQ(rig.monitor.CardState(), DeviceState::Absent);
    card.SetFault(sim::Fault::None);
    rig.Tick();
    EXPECT_EQ(rig.monitor.CardState(), DeviceState::Connected);

    // Another Device mode: the card's texts go, and do not come back as the ESC's.
    ASSERT_EQ(rig.firmware.CardFirmwareText(), "VORNA JVX V1.30");
    rig.monitor.ChooseEsc();
    EXPECT_EQ(rig.firmware.CardFirmwareText(), "");
    EXPECT_EQ(rig.firmware.CardModelText(), "");

    card.Unplug();
    rig.Tick();
    EXPECT_EQ(rig.view.LastLamps(), (LampState{false, false, false}));
}

TEST_F(MonitorTest, DeviceMenuTogglesModesAndResetsStates) {
    sim::SimulatedEsc esc(Link(), 16);
    ASSERT_TRUE(esc.Start());
    Rig rig(Link());
    auto& m = rig.monitor;

    m.ChooseEsc();
    EXPECT_EQ(rig.view.LastMenu(), (DeviceMenuState{DeviceMode::Esc, true, true}));
    EXPECT_TRUE(rig.view.LastSelectLinks());
    rig.Tick(2);
    ASSERT_EQ(rig.link.GetDeviceState(), DeviceState::Connected);

    // Esc twice: back to no mode, buttons stay enabled, the ESC is forgotten.
    m.ChooseEsc();
    EXPECT_EQ(rig.view.LastMenu(), (DeviceMenuState{DeviceMode::None, true, true}));
    EXPECT_FALSE(rig.view.LastSelectLinks());
    EXPECT_EQ(rig.link.GetDeviceState(), DeviceState::NotPolled);
    EXPECT_EQ(m.CardState(), DeviceState::NotPolled);

    // Program Card while Esc: the check moves, the ESC page button is disabled.
    m.ChooseEsc();
    m.ChooseProgramCard();
    EXPECT_EQ(rig.view.LastMenu(), (DeviceMenuState{DeviceMode::Card, false, true}));
    EXPECT_TRUE(rig.view.LastSelectLinks());

    // Fix Mode keeps the page shown and disables the ESC page button.
    m.ChooseFixMode();
    EXPECT_EQ(rig.view.LastMenu(), (DeviceMenuState{DeviceMode::Fix, false, true}));
    EXPECT_FALSE(rig.view.LastSelectLinks());
    m.ChooseFixMode();
    EXPECT_EQ(m.Mode(), DeviceMode::None);
    EXPECT_TRUE(rig.TimerRunning());
}

TEST_F(MonitorTest, PortProblemIsSaidOnceThenRetriedSilently) {
    sim::SimulatedEsc esc(Link(), 16);
    ASSERT_TRUE(esc.Start());
    UsbUart holder;  // another program has the port
    ASSERT_TRUE(OpenPort(holder, BridgeLocation{"/nonexistent", "/dev", Link()}));
    Rig rig(Link());
    rig.monitor.ChooseEsc();
    rig.Tick(3);
    auto problems = rig.view.Texts(Event::PortProblem);
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_NE(problems[0].find(Link()), std::string::npos);
    EXPECT_FALSE(rig.link.IsOpen());

    holder.ClosePort();
    rig.Tick(2);
    EXPECT_EQ(rig.link.GetDeviceState(), DeviceState::Connected);
    EXPECT_EQ(rig.view.Texts(Event::PortProblem).size(), 1u);
}

}  // namespace
}  // namespace vorna
