// The program card update against the simulated card, run from the tick as the window runs it.
#include "firmware/CardUpdate.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "firmware/FirmwareImages.h"
#include "firmware/IdentityTexts.h"
#include "protocol/Messages.h"
#include "support/TestSupport.h"

namespace vorna {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Status = FirmwarePageLink::UpdateStatus;
using test::Event;

constexpr auto kCard = FirmwarePageLink::DeviceKind::Card;

// Bodies the simulated card accepts: made-up bytes, each closed by the card's check byte. The
// last block is as long as the line allows.
std::vector<Bytes> GoodBodies() {
    std::vector<Bytes> bodies;
    for (std::size_t size : {20u, 1u, 247u}) {
        Bytes body(size);
        for (std::size_t i = 0; i < size; ++i) body[i] = static_cast<std::uint8_t>(size * 7 + i);
        bodies.push_back(sim::WithCardCheck(body));
    }
    return bodies;
}

class CardUpdateTest : public ::testing::Test {
protected:
    std::string Link() const { return (dir / "bridge").string(); }

    // The card identified in card mode, `imageText` chosen on the page and its update requested.
    void Connect(const std::string& imageText) {
        rig.reset();
        card.reset();
        card = std::make_unique<sim::SimulatedCard>(Link());
        ASSERT_TRUE(card->Start());
        rig = std::make_unique<test::Rig>(Link());
        // While the update runs, the poll is off the line.
        rig->firmware.SetListener([this] {
            if (rig->firmware.Status(kCard) == Status::Running)
                pollStoppedWhileRunning = !rig->TimerRunning();
        });
        rig->monitor.ChooseProgramCard();
        rig->Tick(2);
        ASSERT_EQ(rig->monitor.CardState(), DeviceState::Connected);

        std::filesystem::create_directories(dir / "data" / "Firmware");
        test::WriteText(dir / "data" / "Firmware" / "card.xup", imageText);
        rig->firmware.ReadFirmwareFiles(dir / "data", dir / "user");
        ASSERT_TRUE(rig->firmware.ClickStart(kCard, " card").accepted);
    }

    // The update has ended the way every failure ends, the device's own text kept apart.
    void ExpectFailedWith(const std::string& deviceText) {
        ASSERT_EQ(rig->view.Updates().size(), 1u);
        const UpdateOutcome outcome = rig->view.Updates()[0];
        EXPECT_EQ(outcome.deviceText, deviceText);
        EXPECT_EQ(outcome.firmware, UpdateOutcome::Firmware::Incomplete);
        EXPECT_EQ(outcome.next, NextStep::FlashCardAgain);
        EXPECT_NE(outcome.message.find("no working firmware"), std::string::npos);
        EXPECT_EQ(rig->firmware.Status(kCard), Status::Failed);
        EXPECT_FALSE(rig->link.IsOpen());
        EXPECT_EQ(rig->link.GetUsbState(), UsbState::NoBridge);
        EXPECT_FALSE(rig->firmware.UpdateRequested(kCard));
        EXPECT_TRUE(rig->TimerRunning());
        EXPECT_EQ(rig->TimerPeriodMs(), kPollPeriodMs);
    }

    test::TempDir dir;
    std::unique_ptr<sim::SimulatedCard> card;
    std::unique_ptr<test::Rig> rig;
    bool pollStoppedWhileRunning = false;
};

TEST_F(CardUpdateTest, ImageIsFlashedWholeAndTheCardIsIdentifiedAfresh) {
    const std::string text = MakeCardImage(GoodBodies()).Value();
    Connect(text);
    rig->Tick();
    // A success is said too, as an ESC update's is, with the version the card reports once it
    // runs the image (the simulated card's is the first block's third data byte).
    const std::uint8_t now[7] = {0, 0, 0, 0, 0, ParseCardImage(text).Value().bytes[4], 0};
    EXPECT_EQ(rig->view.Texts(Event::Message),
              std::vector<std::string>{"Program card firmware updated: " +
                                       std::to_string(ParseCardImage(text).Value().bytes.size()) +
                                       " bytes in 3 blocks. The card now reports " +
                                       CardFirmwareText(now) + "."});
    EXPECT_EQ(card->Flashed(), ParseCardImage(text).Value().bytes);
    EXPECT_EQ(card->BlocksReceived(), 3);
    EXPECT_EQ(rig->firmware.Status(kCard), Status::Finished);
    EXPECT_FALSE(rig->firmware.UpdateRequested(kCard));
    EXPECT_TRUE(pollStoppedWhileRunning);
    EXPECT_TRUE(rig->TimerRunning());
    EXPECT_EQ(rig->TimerPeriodMs(), kPollPeriodMs);
    EXPECT_TRUE(rig->link.IsOpen());
    EXPECT_NE(rig->monitor.CardState(), DeviceState::Connected);

    rig->Tick();
    EXPECT_EQ(rig->monitor.CardState(), DeviceState::Connected);
}

TEST_F(CardUpdateTest, ABlockAskedForAgainIsResentUpToFourTimes) {
    const std::string text = MakeCardImage(GoodBodies()).Value();
    Connect(text);
    card->SetFault(sim::Fault::BlockResend, 1, 2);
    rig->Tick();
    EXPECT_TRUE(rig->view.Updates().at(0).Done());
    EXPECT_EQ(card->BlocksReceived(), 5);
    EXPECT_EQ(card->Flashed(), ParseCardImage(text).Value().bytes);
    EXPECT_EQ(rig->firmware.Status(kCard), Status::Finished);

    // The failure count starts again with each block: four refusals of one block end it.
    Connect(text);
    card->SetFault(sim::Fault::BlockResend, 2, 4);
    rig->Tick();
    EXPECT_EQ(card->BlocksReceived(), 2 + 4);
    ExpectFailedWith(msg::kUpdateTooManyRepeats);
}

TEST_F(CardUpdateTest, ABlockFailingTheCardsCheckEndsTheUpdateAtOnce) {
    auto bodies = GoodBodies();
    bodies[1].back() ^= 0x01;
    Connect(MakeCardImage(bodies).Value());
    rig->Tick();
    EXPECT_EQ(card->BlocksReceived(), 2);
    EXPECT_EQ(card->Flashed().size(), bodies[0].size() + 2);
    ExpectFailedWith(msg::kUpdateCrcError);
}

TEST_F(CardUpdateTest, FirstStageAnsweredOnlyOnTheLongestRetryGoesOn) {
    Connect(MakeCardImage(GoodBodies()).Value());
    card->SetFault(sim::Fault::StageOneLate);
    const std::size_t before = card->Commands().size();
    rig->Tick();
    // The opener three times, the first stage code with its three retries, the second stage.
    const Bytes sent = card->Commands();
    const auto opener = std::find(sent.begin() + before, sent.end(), CardUpdate::kEnter);
    ASSERT_GE(sent.end() - opener, 8);
    EXPECT_EQ(Bytes(opener, opener + 8), (Bytes{0xD6, 0xD6, 0xD6, 0xD7, 0xD7, 0xD7, 0xD7, 0xD6}));
    EXPECT_EQ(rig->firmware.Status(kCard), Status::Finished);
    EXPECT_EQ(card->BlocksReceived(), 3);
}

TEST_F(CardUpdateTest, NothingIsSentForARefusedImageOrWithoutTheCard) {
    Connect(MakeCardImage(GoodBodies()).Value() + "0G");
    const Bytes before = card->Commands();
    const UpdateOutcome refused = rig->stack.Card().Run();
    EXPECT_EQ(card->Commands(), before);
    const auto refusal = ReadCardImage(dir / "data" / "Firmware" / "card.xup");
    ASSERT_FALSE(refusal.Ok());
    EXPECT_EQ(refused.result, UpdateOutcome::Result::Refused);
    EXPECT_EQ(refused.message, std::string(msg::kReadFileError) + "\n" + refusal.Detail() +
                                   "\nNothing was sent: the program card is unchanged.");
    EXPECT_FALSE(rig->firmware.UpdateRequested(kCard));
    EXPECT_EQ(rig->firmware.Status(kCard), Status::Failed);  // the refusal shows
    EXPECT_TRUE(rig->TimerRunning());

    // A card that stopped answering is not asked into its update mode.
    test::WriteText(dir / "data" / "Firmware" / "card.xup", MakeCardImage(GoodBodies()).Value());
    ASSERT_TRUE(rig->firmware.ClickStart(kCard, " card").accepted);
    card->SetFault(sim::Fault::Silent);
    rig->view.Clear();
    rig->Tick();
    EXPECT_NE(rig->monitor.CardState(), DeviceState::Connected);
    EXPECT_EQ(test::Count(card->Commands(), CardUpdate::kEnter), 0);
    EXPECT_EQ(rig->view.Texts(Event::Message), std::vector<std::string>{msg::kCardConnectionError});
    EXPECT_FALSE(rig->firmware.UpdateRequested(kCard));
}

TEST_F(CardUpdateTest, UnpluggingDuringTheTransferEndsWithTheStagedMessage) {
    Connect(MakeCardImage(GoodBodies()).Value());
    card->SetFault(sim::Fault::UnplugAfterBlock, 0);
    rig->Tick();
    EXPECT_EQ(card->Flashed().size(), GoodBodies()[0].size() + 2);
    ExpectFailedWith(msg::kUpdateNoAck);
}

}  // namespace
}  // namespace vorna
