// The ESC firmware update against the simulated bootloader over a pseudo-terminal.
#include <gtest/gtest.h>

#include <memory>

#include "firmware/EscUpdate.h"
#include "firmware/FirmwareUpdater.h"
#include "protocol/VersionText.h"
#include "support/TestSupport.h"

namespace vorna {
namespace {

using test::Count;
using test::Rig;
using Status = FirmwarePageLink::UpdateStatus;
constexpr auto kEsc = FirmwarePageLink::DeviceKind::Esc;

class EscUpdateTest : public ::testing::Test {
protected:
    test::TempDir dir;
    std::string Link() const { return (dir / "bridge").string(); }

    // A rig with the update wired into the monitor as the window and vornactl wire it.
    void Wire() {
        rig = std::make_unique<Rig>(Link());
        update =
            std::make_unique<EscUpdate>(rig->link, rig->setup, rig->firmware, rig->view, rig->timer,
                                        [this] { return rig->monitor.Mode() == DeviceMode::Fix; });
        updater = std::make_unique<FirmwareUpdater>(update.get(), nullptr);
        rig->monitor.SetFirmwareUpdates(updater.get());
    }
    // Wired, in Esc mode, with the simulated ESC identified and read.
    void WireIdentifiedEsc() {
        Wire();
        rig->monitor.ChooseEsc();
        rig->Tick(2);
    }
    std::filesystem::path Image(const std::string& text) {
        auto file = dir / "image.mmc";
        test::WriteText(file, text);
        return file;
    }
    std::vector<std::string> Messages() const { return rig->view.Texts(test::Event::Message); }

    std::unique_ptr<Rig> rig;
    std::unique_ptr<EscUpdate> update;
    std::unique_ptr<FirmwareUpdater> updater;
};

TEST_F(EscUpdateTest, AnImageIsFlashedAndTheEscIdentifiedAfresh) {
    sim::SimulatedEsc esc(Link(), 16);
    ASSERT_TRUE(esc.Start());
    Wire();
    update->backup = [] { return SettingsBackupResult{"/backups/esc-before.cfg", ""}; };
    rig->monitor.ChooseEsc();
    rig->Tick(2);
    ASSERT_EQ(rig->link.GetDeviceState(), DeviceState::Connected);
    std::vector<std::uint8_t> payload(40);
    for (std::size_t i = 0; i < payload.size(); ++i) payload[i] = static_cast<std::uint8_t>(7 + i);
    const auto file = Image(MakeEscImage(payload, 16));
    auto image = ReadEscImage(file);
    ASSERT_TRUE(image.Ok());
    esc.ClearLogs();

    update->Request(file);
    EXPECT_TRUE(updater->EscUpdateRequested());
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
    EXPECT_FALSE(update->Requested());
    EXPECT_FALSE(rig->firmware.UpdateRequested(kEsc));
    EXPECT_EQ(update->LastResult().outcome, EscUpdate::Outcome::Finished);
    EXPECT_TRUE(update->LastResult().identified);
    EXPECT_EQ(esc.CurrentIdentity()[3], 7);  // the image's first data byte
    EXPECT_EQ(rig->firmware.Identity()[3], 7);
    EXPECT_EQ(rig->setup.Snapshot().versionText, VersionText(7));
    EXPECT_EQ(rig->firmware.CurrentFirmwareText(), update->LastResult().firmwareText);
    EXPECT_EQ(rig->setup.FirmwareText(), update->LastResult().firmwareText);
    ASSERT_FALSE(Messages().empty());
    EXPECT_NE(Messages().back().find("/backups/esc-before.cfg"), std::string::npos);
    // The port stays open, the monitor identifies the ESC afresh, the timer runs again.
    EXPECT_TRUE(rig->link.IsOpen());
    EXPECT_EQ(rig->link.GetDeviceState(), DeviceState::Absent);
    EXPECT_TRUE(rig->timer.running);
    EXPECT_EQ(rig->timer.period, 500);
    rig->Tick();
    EXPECT_EQ(rig->link.GetDeviceState(), DeviceState::Connected);
    EXPECT_EQ(rig->firmware.Identity()[3], 7);
}

TEST_F(EscUpdateTest, AnEmptyImageRunsOnlyTheHandshakeAndFinishes) {
    sim::SimulatedEsc esc(Link(), 16);
    ASSERT_TRUE(esc.Start());
    WireIdentifiedEsc();
    esc.ClearLogs();
    update->Run(EscImage{});
    EXPECT_EQ(update->LastResult().outcome, EscUpdate::Outcome::Finished);
    EXPECT_EQ(rig->firmware.Status(kEsc), Status::Finished);
    EXPECT_TRUE(esc.UpdateRecords().empty());
    const auto commands = esc.Commands();
    ASSERT_GE(commands.size(), 6u);
    EXPECT_EQ(std::vector<std::uint8_t>(commands.begin(), commands.begin() + 6),
              (std::vector<std::uint8_t>{0xD6, 0xD6, 0xD6, 0xD6, 0x39, 0x31}));
}

TEST_F(EscUpdateTest, AHandshakeStepThatFailsEndsWithItsStagedMessage) {
    const std::vector<std::pair<sim::Fault, std::string>> cases = {
        {sim::Fault::D6Silent, "Update Error: TX=0xd6, TX Timeover!"},
        {sim::Fault::Wrong39, "Update Error: TX=0x39, TX Timeover!"},
        {sim::Fault::Silent31, "Update Error: TX=0x31, TX Timeover!"}};
    for (const auto& [fault, text] : cases) {
        SCOPED_TRACE(text);
        sim::SimulatedEsc esc(Link(), 16);
        esc.SetFault(fault);
        ASSERT_TRUE(esc.Start());
        Wire();
        rig->monitor.ChooseEsc();
        rig->Tick(2);
        ASSERT_EQ(rig->link.GetDeviceState(), DeviceState::Connected);
        esc.ClearLogs();
        update->Run(EscImage{});
        EXPECT_EQ(update->LastResult().outcome, EscUpdate::Outcome::Failed);
        ASSERT_FALSE(Messages().empty());
        EXPECT_EQ(Messages().back(), text);
        EXPECT_EQ(rig->firmware.Status(kEsc), Status::Failed);
        EXPECT_FALSE(rig->link.IsOpen());
        EXPECT_EQ(rig->link.GetUsbState(), UsbState::NoBridge);
        EXPECT_TRUE(rig->timer.running);
        // The first three 0xD6 count for nothing; only the fourth is answered for.
        EXPECT_EQ(Count(esc.Commands(), 0xD6), 4);
        rig.reset();
    }
}

TEST_F(EscUpdateTest, FixModeStartsWithoutAnIdentifiedEscEscModeDoesNot) {
    sim::SimulatedEsc esc(Link(), 16);
    ASSERT_TRUE(esc.Start());
    Wire();
    rig->monitor.ChooseEsc();
    rig->Tick();  // the port opens; nothing identified yet
    ASSERT_NE(rig->link.GetDeviceState(), DeviceState::Connected);
    update->Request(Image(MakeEscImage({1, 2, 3})));
    update->Run();
    EXPECT_EQ(update->LastResult().outcome, EscUpdate::Outcome::NoConnection);
    EXPECT_EQ(Messages(), (std::vector<std::string>{"ESC Connection Error!"}));
    EXPECT_TRUE(esc.Commands().empty());
    EXPECT_FALSE(update->Requested());

    rig = nullptr;
    Wire();
    rig->monitor.ChooseFixMode();
    rig->Tick();
    ASSERT_NE(rig->link.GetDeviceState(), DeviceState::Connected);
    update->Request(Image(MakeEscImage({1, 2, 3})));
    update->Run();
    EXPECT_EQ(update->LastResult().outcome, EscUpdate::Outcome::Finished);
    EXPECT_EQ(esc.UpdateImage(), (std::vector<std::uint8_t>{1, 2, 3}));
}

TEST_F(EscUpdateTest, ARecordWithoutAckEndsTheUpdateAndClosesThePort) {
    sim::SimulatedEsc esc(Link(), 16);
    esc.SetFault(sim::Fault::NoAckAfter, 2);
    ASSERT_TRUE(esc.Start());
    WireIdentifiedEsc();
    update->Request(Image(MakeEscImage(std::vector<std::uint8_t>(64, 0x55), 16)));
    update->Run();
    EXPECT_EQ(update->LastResult().outcome, EscUpdate::Outcome::Failed);
    ASSERT_FALSE(Messages().empty());
    EXPECT_EQ(Messages().back(), "Update Error: Data transfer no ack!");
    EXPECT_EQ(rig->firmware.Status(kEsc), Status::Failed);
    EXPECT_EQ(esc.UpdateRecords().size(), 3u);  // the third came and got no reply
    EXPECT_FALSE(rig->link.IsOpen());
    EXPECT_FALSE(update->Requested());
}

TEST_F(EscUpdateTest, AnUnpluggedLinkEndsTheUpdateAsFailed) {
    sim::SimulatedEsc esc(Link(), 16);
    esc.SetFault(sim::Fault::UnplugAfter, 1);
    ASSERT_TRUE(esc.Start());
    WireIdentifiedEsc();
    update->Request(Image(MakeEscImage(std::vector<std::uint8_t>(64, 0x55), 16)));
    update->Run();
    EXPECT_EQ(update->LastResult().outcome, EscUpdate::Outcome::Failed);
    const std::string text = update->LastResult().message;
    EXPECT_TRUE(text == "Update Error: Data transfer no ack!" ||
                text == "Update Error: Data transfer error!")
        << text;
    EXPECT_TRUE(test::WaitFor([&] { return !esc.Plugged(); }));
    // The plug came out as the second record started.
    EXPECT_EQ(esc.UpdateRecords().size(), 1u);
    EXPECT_FALSE(rig->link.IsOpen());
}

TEST_F(EscUpdateTest, ARefusedOrSuspectImageSendsNoByte) {
    sim::SimulatedEsc esc(Link(), 16);
    ASSERT_TRUE(esc.Start());
    WireIdentifiedEsc();
    esc.ClearLogs();
    update->Request(Image(":10000000zz\n"));
    update->Run();
    EXPECT_EQ(update->LastResult().outcome, EscUpdate::Outcome::Refused);
    ASSERT_EQ(Messages().size(), 1u);
    EXPECT_NE(Messages()[0].find("Read File Error!"), std::string::npos);
    EXPECT_NE(Messages()[0].find("line 1"), std::string::npos);

    // A bad checksum: suspect, refused unless someone says to flash anyway.
    update->Request(Image(":0100000000FE\n:00000001FF\n"));
    update->Run();
    EXPECT_EQ(update->LastResult().outcome, EscUpdate::Outcome::Refused);
    std::string asked;
    update->confirmSuspect = [&](const std::string& line) {
        asked = line;
        return false;
    };
    update->Request(Image(":0100000000FE\n:00000001FF\n"));
    update->Run();
    EXPECT_EQ(update->LastResult().outcome, EscUpdate::Outcome::Refused);
    EXPECT_NE(asked.find("line 1"), std::string::npos);
    EXPECT_TRUE(esc.Commands().empty());
    EXPECT_EQ(rig->firmware.Status(kEsc), Status::Ready);
    EXPECT_TRUE(rig->link.IsOpen());
}

TEST_F(EscUpdateTest, BlinkyFirmwareKeepsTheModelTypeAndSetsItsText) {
    sim::SimulatedEsc esc(Link(), 16);
    ASSERT_TRUE(esc.Start());
    WireIdentifiedEsc();
    const int model = rig->setup.ModelType();
    update->Request(Image(MakeEscImage({0x14, 0x00})));
    update->Run();
    EXPECT_EQ(update->LastResult().outcome, EscUpdate::Outcome::Finished);
    EXPECT_EQ(rig->firmware.CurrentFirmwareText(), "Blinky V3.0_K7T_RX4");
    EXPECT_EQ(rig->setup.FirmwareText(), "Blinky V3.0_K7T_RX4");
    EXPECT_EQ(rig->setup.ModelType(), model);
}

}  // namespace
}  // namespace vorna
