// The ESC firmware update against the simulated bootloader over a pseudo-terminal.
#include <gtest/gtest.h>

#include <memory>

#include "firmware/EscUpdate.h"
#include "protocol/Messages.h"
#include "protocol/VersionText.h"
#include "settings/Profiles.h"
#include "support/TestSupport.h"

namespace vorna {
namespace {

using test::Count;
using test::Rig;
using Status = FirmwarePageLink::UpdateStatus;
using Result = UpdateOutcome::Result;
using Firmware = UpdateOutcome::Firmware;
constexpr auto kEsc = FirmwarePageLink::DeviceKind::Esc;

class EscUpdateTest : public ::testing::Test {
protected:
    test::TempDir dir;
    std::string Link() const { return (dir / "bridge").string(); }

    // The device stack as the window and vornactl build it, in `mode`, ticked until the
    // simulated ESC answers.
    void Connect(DeviceMode mode = DeviceMode::Esc, int ticks = 2) {
        rig = std::make_unique<Rig>(Link());
        if (mode == DeviceMode::Esc) rig->monitor.ChooseEsc();
        if (mode == DeviceMode::Fix) rig->monitor.ChooseFixMode();
        rig->Tick(ticks);
    }
    std::filesystem::path Image(const std::string& text) {
        auto file = dir / "image.mmc";
        test::WriteText(file, text);
        return file;
    }
    // The update run for `file`, as the tick runs it.
    UpdateOutcome Flash(const std::filesystem::path& file) {
        rig->stack.Esc().Request(file);
        return rig->stack.Esc().Run();
    }

    std::unique_ptr<Rig> rig;
};

TEST_F(EscUpdateTest, AnImageIsFlashedTheEscIdentifiedAfreshAndItsSettingsKept) {
    sim::SimulatedEsc esc(Link(), 16);
    ASSERT_TRUE(esc.Start());
    Connect();
    ASSERT_EQ(rig->link.GetDeviceState(), DeviceState::Connected);
    // An unsent change is no value of the ESC's: the backup holds what was read.
    const SetupState read = rig->setup.Snapshot();
    const int drag = read.List(ParamId::DragBrake).selection;
    rig->setup.SelectByUser(ParamId::DragBrake, drag + 1);
    std::vector<std::uint8_t> payload(40);
    for (std::size_t i = 0; i < payload.size(); ++i) payload[i] = static_cast<std::uint8_t>(7 + i);
    const auto file = Image(MakeEscImage(payload, 16).Value());
    auto image = ReadEscImage(file);
    ASSERT_TRUE(image.Ok());
    esc.ClearLogs();

    rig->stack.Esc().Request(file);
    rig->Tick();  // the tick starts the update

    std::vector<std::vector<std::uint8_t>> sent;
    for (const auto& r : image.Value().records) sent.push_back(r.bytes);
    EXPECT_EQ(esc.UpdateRecords(), sent);
    EXPECT_EQ(esc.UpdateImage(), payload);
    EXPECT_EQ(esc.UpdatesFinished(), 1);
    auto commands = esc.Commands();
    commands.erase(commands.begin());  // the tick's poll before the update
    ASSERT_GE(commands.size(), 6u);
    EXPECT_EQ(std::vector<std::uint8_t>(commands.begin(), commands.begin() + 6),
              (std::vector<std::uint8_t>{0xD6, 0xD6, 0xD6, 0xD6, 0x39, 0x31}));
    EXPECT_EQ(rig->firmware.Status(kEsc), Status::Finished);
    EXPECT_FALSE(rig->stack.Esc().Requested());
    ASSERT_EQ(rig->view.Updates().size(), 1u);
    const UpdateOutcome outcome = rig->view.Updates()[0];
    EXPECT_EQ(outcome.result, Result::Finished);
    EXPECT_EQ(outcome.next, NextStep::None);  // a finished update leaves nothing to do
    EXPECT_TRUE(outcome.identified);
    EXPECT_EQ(outcome.firmwareBefore, "Expert V1.50");
    EXPECT_EQ(esc.CurrentIdentity()[3], 7);  // the image's first data byte
    EXPECT_EQ(rig->firmware.Identity()[3], 7);
    EXPECT_EQ(rig->setup.Snapshot().versionText, VersionText(7));
    EXPECT_EQ(rig->firmware.CurrentFirmwareText(), outcome.firmwareNow);
    EXPECT_EQ(rig->setup.FirmwareText(), outcome.firmwareNow);
    ASSERT_FALSE(test::BackupPath(outcome.backup).empty());
    EXPECT_NE(outcome.message.find(test::BackupPath(outcome.backup)), std::string::npos);
    SetupState backedUp = read;
    ASSERT_TRUE(ImportSettings(backedUp, test::BackupPath(outcome.backup)).Done());
    EXPECT_EQ(backedUp.List(ParamId::DragBrake).selection, drag);
    // The port stays open, the monitor identifies the ESC afresh, the timer runs again.
    EXPECT_TRUE(rig->link.IsOpen());
    EXPECT_EQ(rig->link.GetDeviceState(), DeviceState::Absent);
    EXPECT_TRUE(rig->TimerRunning());
    EXPECT_EQ(rig->TimerPeriodMs(), 500);
    rig->Tick();
    EXPECT_EQ(rig->link.GetDeviceState(), DeviceState::Connected);
    EXPECT_EQ(rig->firmware.Identity()[3], 7);
}

TEST_F(EscUpdateTest, TheSameFirmwareAfterwardsIsAReflashOnlyWhenTheImageHoldsIt) {
    sim::SimulatedEsc esc(Link(), 16);
    ASSERT_TRUE(esc.Start());
    Connect();
    const UpdateOutcome outcome =
        Flash(Image(MakeEscImage({5, 1, 2, 3}).Value()));  // version 5 again
    EXPECT_EQ(esc.UpdatesFinished(), 1);
    EXPECT_EQ(outcome.result, Result::Unchanged);
    EXPECT_FALSE(outcome.Done());
    // Flashing it again would end the same way: no advice to.
    EXPECT_EQ(outcome.next, NextStep::None);
    EXPECT_NE(outcome.message.find("still reports the firmware it had before (Expert V1.50)"),
              std::string::npos)
        << outcome.message;
    EXPECT_NE(outcome.message.find("re-flashing it is fine"), std::string::npos);

    // Named for the version it holds, the image was meant to put that very version back.
    const auto same = dir / "Expert V1.50.mmc";
    test::WriteText(same, MakeEscImage({5, 1, 2, 3}).Value());
    rig->Tick(2);
    const UpdateOutcome again = Flash(same);
    EXPECT_EQ(again.result, Result::Finished);
    EXPECT_TRUE(again.sameFirmware);
    EXPECT_EQ(again.next, NextStep::None);
}

TEST_F(EscUpdateTest, AnUpdateInEscModeDoesNotStartWithoutItsBackupUnlessTheUserSaysSo) {
    sim::SimulatedEsc esc(Link(), 16);
    ASSERT_TRUE(esc.Start());
    Connect();
    // The user's data folder cannot take the backup: "backups" is a file.
    const std::filesystem::path backups = BackupFolder();
    std::filesystem::create_directories(backups.parent_path());
    test::WriteText(backups, "not a folder");
    const auto file = Image(MakeEscImage({7, 1, 2, 3}).Value());
    esc.ClearLogs();
    UpdateOutcome outcome = Flash(file);
    EXPECT_EQ(outcome.result, Result::NoBackup);
    EXPECT_NE(outcome.message.find("Nothing was sent"), std::string::npos) << outcome.message;
    EXPECT_TRUE(esc.Commands().empty());
    EXPECT_EQ(rig->firmware.Status(kEsc), Status::Failed);

    std::string asked;
    rig->stack.Esc().confirmNoBackup = [&](const std::string& why) {
        asked = why;
        return false;
    };
    EXPECT_EQ(Flash(file).result, Result::Declined);
    EXPECT_FALSE(asked.empty());
    EXPECT_TRUE(esc.Commands().empty());

    rig->stack.Esc().confirmNoBackup = [](const std::string&) { return true; };
    outcome = Flash(file);
    EXPECT_EQ(outcome.result, Result::Finished) << outcome.message;
    EXPECT_NE(outcome.message.find("were not saved"), std::string::npos) << outcome.message;
    std::filesystem::remove(backups);
}

TEST_F(EscUpdateTest, AFailedStepSaysWhatTheEscHoldsAndWhatToDo) {
    struct Case {
        sim::Fault fault;
        int record;
        const char* deviceText;
        Firmware firmware;
        NextStep next;
        int d6;  // 0xD6 bytes sent: the first three count for nothing, only the fourth is answered
    };
    const Case cases[] = {
        {sim::Fault::D6Silent, 0, msg::kUpdateD6, Firmware::Untouched, NextStep::TryAgain, 4},
        {sim::Fault::Wrong39, 0, msg::kUpdate39, Firmware::MayBeIncomplete, NextStep::RepairEsc, 4},
        {sim::Fault::Silent31, 0, msg::kUpdate31, Firmware::MayBeIncomplete, NextStep::RepairEsc,
         4},
        {sim::Fault::NoAckAfter, 2, msg::kUpdateNoAck, Firmware::Incomplete, NextStep::RepairEsc,
         4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.deviceText);
        sim::SimulatedEsc esc(Link(), 16);
        esc.SetFault(c.fault, c.record);
        ASSERT_TRUE(esc.Start());
        Connect();
        ASSERT_EQ(rig->link.GetDeviceState(), DeviceState::Connected);
        esc.ClearLogs();
        const UpdateOutcome outcome =
            Flash(Image(MakeEscImage(std::vector<std::uint8_t>(64, 0x55), 16).Value()));
        EXPECT_EQ(outcome.result, Result::Failed);
        EXPECT_EQ(outcome.deviceText, c.deviceText);
        EXPECT_EQ(outcome.firmware, c.firmware);
        EXPECT_EQ(outcome.next, c.next);
        // Plain words first, the device's text apart; the backup is named.
        EXPECT_EQ(outcome.message.find("Update Error"), std::string::npos) << outcome.message;
        EXPECT_NE(outcome.message.find(test::BackupPath(outcome.backup)), std::string::npos);
        EXPECT_EQ(rig->firmware.Status(kEsc), Status::Failed);
        EXPECT_FALSE(rig->link.IsOpen());
        EXPECT_EQ(rig->link.GetUsbState(), UsbState::NoBridge);
        EXPECT_TRUE(rig->TimerRunning());
        EXPECT_EQ(Count(esc.Commands(), 0xD6), c.d6);
        EXPECT_FALSE(rig->stack.Esc().Requested());
        if (c.fault == sim::Fault::NoAckAfter) {
            EXPECT_EQ(esc.UpdateRecords().size(), 3u);  // the third came and got no reply
            EXPECT_NE(outcome.message.find("record 3 of 5"), std::string::npos);
        }
        rig.reset();
    }
}

TEST_F(EscUpdateTest, FixModeStartsWithoutAnIdentifiedEscEscModeDoesNot) {
    sim::SimulatedEsc esc(Link(), 16);
    ASSERT_TRUE(esc.Start());
    Connect(DeviceMode::Esc, 1);  // the port opens; nothing identified yet
    ASSERT_NE(rig->link.GetDeviceState(), DeviceState::Connected);
    UpdateOutcome outcome = Flash(Image(MakeEscImage({1, 2, 3}).Value()));
    EXPECT_EQ(outcome.result, Result::NoDevice);
    EXPECT_EQ(outcome.message, "ESC Connection Error!");
    EXPECT_TRUE(esc.Commands().empty());
    EXPECT_FALSE(rig->stack.Esc().Requested());

    rig = nullptr;
    Connect(DeviceMode::Fix, 1);
    ASSERT_NE(rig->link.GetDeviceState(), DeviceState::Connected);
    outcome = Flash(Image(MakeEscImage({1, 2, 3}).Value()));
    EXPECT_EQ(outcome.result, Result::Finished);
    EXPECT_TRUE(
        test::BackupPath(outcome.backup).empty());  // nothing of this ESC was read in Fix Mode
    EXPECT_EQ(esc.UpdateImage(), (std::vector<std::uint8_t>{1, 2, 3}));
}

TEST_F(EscUpdateTest, AnUnpluggedLinkEndsTheUpdateAsLost) {
    sim::SimulatedEsc esc(Link(), 16);
    esc.SetFault(sim::Fault::UnplugAfter, 1);
    ASSERT_TRUE(esc.Start());
    Connect();
    const UpdateOutcome outcome =
        Flash(Image(MakeEscImage(std::vector<std::uint8_t>(64, 0x55), 16).Value()));
    EXPECT_EQ(outcome.result, Result::LinkLost);
    EXPECT_EQ(outcome.firmware, Firmware::Incomplete);
    EXPECT_EQ(outcome.next, NextStep::RepairEsc);
    EXPECT_NE(outcome.message.find("The link to the ESC was lost"), std::string::npos);
    EXPECT_TRUE(outcome.deviceText == msg::kUpdateNoAck ||
                outcome.deviceText == msg::kUpdateDataError)
        << outcome.deviceText;
    EXPECT_TRUE(test::WaitFor([&] { return !esc.Plugged(); }));
    // The plug came out as the second record started.
    EXPECT_EQ(esc.UpdateRecords().size(), 1u);
    EXPECT_FALSE(rig->link.IsOpen());
}

TEST_F(EscUpdateTest, ARefusedDeclinedOrSuspectImageSendsNoByte) {
    sim::SimulatedEsc esc(Link(), 16);
    ASSERT_TRUE(esc.Start());
    Connect();
    esc.ClearLogs();
    UpdateOutcome outcome = Flash(Image(":10000000zz\n"));
    EXPECT_EQ(outcome.result, Result::Refused);
    EXPECT_NE(outcome.message.find("Read File Error!"), std::string::npos);
    EXPECT_NE(outcome.message.find("line 1"), std::string::npos);

    // A bad checksum: suspect, refused unless someone says to flash anyway; said no, nothing
    // more is said.
    const std::string suspect = ":0100000000FE\n:00000001FF\n";
    EXPECT_EQ(Flash(Image(suspect)).result, Result::Refused);
    std::string asked;
    rig->stack.Esc().confirmSuspect = [&](const std::string& line) {
        asked = line;
        return false;
    };
    outcome = Flash(Image(suspect));
    EXPECT_EQ(outcome.result, Result::Declined);
    EXPECT_TRUE(outcome.message.empty());
    EXPECT_NE(asked.find("line 1"), std::string::npos);
    EXPECT_TRUE(esc.Commands().empty());
    // The page shows the refusal, not what an earlier update ended with.
    EXPECT_EQ(rig->firmware.Status(kEsc), Status::Failed);
    EXPECT_TRUE(rig->link.IsOpen());
}

TEST_F(EscUpdateTest, BlinkyFirmwareKeepsTheModelTypeAndSetsItsText) {
    sim::SimulatedEsc esc(Link(), 16);
    ASSERT_TRUE(esc.Start());
    Connect();
    const int model = rig->setup.ModelType();
    EXPECT_EQ(Flash(Image(MakeEscImage({0x14, 0x00}).Value())).result, Result::Finished);
    EXPECT_EQ(rig->firmware.CurrentFirmwareText(), "Blinky V3.0_K7T_RX4");
    EXPECT_EQ(rig->setup.FirmwareText(), "Blinky V3.0_K7T_RX4");
    EXPECT_EQ(rig->setup.ModelType(), model);
}

}  // namespace
}  // namespace vorna
