// Settings read, write and restore against the simulated ESC, whose register file is an
// independent model of where each register lands in the record.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "protocol/Messages.h"
#include "protocol/SettingsTransfer.h"
#include "support/TestSupport.h"

namespace vorna {
namespace {

using test::Count;
using test::Event;
using test::Rig;

class TransferTest : public ::testing::Test {
protected:
    std::string Link() const { return (dir / "bridge").string(); }

    // Starts a simulated ESC of `model` and ticks until it is identified and read.
    void Connect(int model) {
        esc = std::make_unique<sim::SimulatedEsc>(Link(), model);
        ASSERT_TRUE(esc->Start());
        rig = std::make_unique<Rig>(Link());
        rig->monitor.ChooseEsc();
        rig->Tick(2);
        ASSERT_EQ(rig->link.GetDeviceState(), DeviceState::Connected);
        ASSERT_EQ(rig->setup.ModelType(), model);
    }

    test::TempDir dir;
    std::unique_ptr<sim::SimulatedEsc> esc;
    std::unique_ptr<Rig> rig;
};

TEST_F(TransferTest, ReplyLengthsAndPairCountsByModelType) {
    const int lengths[18] = {23, 23, 23, 23, 27, 27, 27, 27, 23,
                             23, 23, 28, 29, 27, 32, 31, 31, 31};
    const int pairs[18] = {22, 22, 22, 22, 26, 26, 26, 26, 22, 22, 22, 27, 28, 20, 29, 29, 29, 29};
    for (int type = 0; type < 18; ++type) {
        const int length = SettingsTransfer::ReplyLengthFor(type);
        EXPECT_EQ(length, lengths[type]) << type;
        EXPECT_EQ(SettingsTransfer::PairCountFor(type, length), pairs[type]) << type;
    }
    EXPECT_EQ(SettingsTransfer::PairCountFor(2, 0), 0);
}

TEST_F(TransferTest, ReadFailureIsSaidOnceAndTriedAgainLessAndLessOften) {
    esc = std::make_unique<sim::SimulatedEsc>(Link(), 16);
    ASSERT_TRUE(esc->Start());
    esc->SetFault(sim::Fault::NoEndMarker);
    rig = std::make_unique<Rig>(Link());
    rig->monitor.ChooseEsc();
    rig->Tick(2);
    EXPECT_EQ(rig->link.GetDeviceState(), DeviceState::Connected);
    EXPECT_EQ(Count(esc->Commands(), 0xD8), 6);
    EXPECT_FALSE(rig->setup.HasValidRecord());
    ASSERT_EQ(rig->view.Texts(Event::Message).size(), 1u);
    EXPECT_EQ(rig->view.Texts(Event::Message)[0].rfind(msg::kReadFailed, 0), 0u);
    // Lists were rebuilt for the model but nothing is selected.
    const SetupState state = rig->setup.Snapshot();
    EXPECT_FALSE(state.List(ParamId::OperationMode).entries.empty());
    EXPECT_EQ(state.List(ParamId::OperationMode).selection, -1);
    EXPECT_TRUE(rig->TimerRunning());

    // A write now would send registers the ESC never reported: refused, nothing sent.
    esc->ClearLogs();
    rig->setup.RequestWrite();
    rig->Tick();
    EXPECT_FALSE(rig->setup.WriteRequested());
    EXPECT_TRUE(esc->Pairs().empty());
    EXPECT_EQ(esc->WritesEnded(), 0);
    ASSERT_EQ(rig->view.Texts(Event::Message).size(), 2u);
    EXPECT_EQ(rig->view.Texts(Event::Message)[1], msg::kReadFailedNothingSent);

    // While the fault lasts the read is tried again, each time after a longer pause, quietly.
    esc->ClearLogs();
    rig->Tick(6);
    const int rounds = Count(esc->Commands(), 0xD8) / 6;
    EXPECT_GE(rounds, 1);
    EXPECT_LE(rounds, 2);
    EXPECT_EQ(rig->view.Texts(Event::Message).size(), 2u);

    // Once the ESC answers, the page gets its values without the user doing anything.
    esc->SetFault(sim::Fault::None);
    for (int tick = 0;
         tick <= ConnectionMonitor::kMaxReadRetryTicks && !rig->setup.HasValidRecord(); ++tick) {
        rig->Tick();
    }
    EXPECT_TRUE(rig->setup.HasValidRecord());
}

TEST_F(TransferTest, WriteSendsEveryPairWithProgressThenEnds) {
    for (int model : {2, 13, 16}) {
        SCOPED_TRACE(model);
        Connect(model);
        esc->ClearLogs();
        rig->view.Clear();
        rig->setup.RequestWrite();
        rig->Tick();
        const int expected = model == 2 ? 22 : model == 13 ? 20 : 29;
        EXPECT_EQ(static_cast<int>(esc->Pairs().size()), expected);
        const auto progress = rig->view.Texts(Event::Progress);
        ASSERT_EQ(static_cast<int>(progress.size()), expected);
        EXPECT_EQ(progress.front(), "0% ");
        EXPECT_EQ(progress.back(), "100% ");
        EXPECT_EQ(esc->WritesEnded(), 1);
        EXPECT_FALSE(rig->setup.WriteRequested());
        EXPECT_TRUE(rig->view.Texts(Event::Message).empty());
        // Nothing was changed, so the ESC holds what it held.
        EXPECT_EQ(esc->Record(), sim::FactoryRecord(model));
        rig.reset();
        esc.reset();
    }
}

TEST_F(TransferTest, SendFailAsksRetryOrCancel) {
    Connect(16);
    esc->ClearLogs();
    esc->SetFault(sim::Fault::NoAck);
    rig->view.retryAnswers = {true};
    rig->setup.RequestWrite();
    rig->Tick();
    // The question names the setting not acknowledged and what the ESC may now hold.
    const auto asked = rig->view.Texts(Event::Message);
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].rfind("Send fail\nThe ESC did not acknowledge Operation Mode (setting 1 of "
                             "29)",
                             0),
              0u)
        << asked[0];
    EXPECT_NE(asked[0].find(msg::kMayHoldMix), std::string::npos);
    EXPECT_TRUE(rig->setup.WriteRequested());
    EXPECT_EQ(esc->Pairs().size(), 1u);
    EXPECT_EQ(esc->WritesEnded(), 0);
    EXPECT_TRUE(rig->TimerRunning());

    // Retry: the next tick starts again from the first pair.
    esc->SetFault(sim::Fault::None);
    esc->ClearLogs();
    rig->Tick();
    EXPECT_FALSE(rig->setup.WriteRequested());
    ASSERT_EQ(esc->Pairs().size(), 29u);
    EXPECT_EQ(esc->Pairs().front().first, 0xE1);
    EXPECT_EQ(esc->WritesEnded(), 1);

    // Cancel ends the request: nothing more is sent.
    rig->Tick();  // the read-back of the write above
    esc->SetFault(sim::Fault::NoAck);
    esc->ClearLogs();
    rig->view.Clear();
    rig->setup.RequestWrite();
    rig->Tick(3);
    EXPECT_FALSE(rig->setup.WriteRequested());
    EXPECT_EQ(esc->Pairs().size(), 1u);
    EXPECT_EQ(rig->view.Texts(Event::Message), asked);  // asked once, no second box
    ASSERT_EQ(rig->view.Writes().size(), 1u);
    EXPECT_EQ(rig->view.Writes()[0].result, WriteOutcome::Result::NotAcknowledged);
}

TEST_F(TransferTest, BecQueryWithoutAnswerLeavesBecUnselectedAndUnsent) {
    Connect(8);
    EXPECT_EQ(rig->setup.BecSelection(), 1);  // the simulator answers index 1
    esc->SetFault(sim::Fault::NoBecAnswer);
    EXPECT_TRUE(rig->monitor.Transfer().ReadSettings());
    EXPECT_TRUE(rig->setup.HasValidRecord());
    EXPECT_EQ(rig->setup.BecSelection(), -1);
    EXPECT_EQ(rig->setup.UnreadSettings(), std::vector<ParamId>{ParamId::BecVoltage});
    esc->SetFault(sim::Fault::None);
    esc->ClearLogs();
    rig->setup.RequestWrite();
    rig->Tick();
    ASSERT_EQ(esc->WritesEnded(), 1);
    for (const auto& pair : esc->Pairs()) EXPECT_NE(pair.first, 0xFE);
    EXPECT_EQ(esc->BecIndex(), 1);
}

TEST_F(TransferTest, BecVoltageIsSentSeparatelyForTypes4And8To11) {
    for (int model : {4, 9, 12}) {
        SCOPED_TRACE(model);
        Connect(model);
        rig->setup.SelectBec(0);
        esc->ClearLogs();
        rig->setup.RequestWrite();
        rig->Tick();
        const auto pairs = esc->Pairs();
        const bool separate = model != 12;
        ASSERT_FALSE(pairs.empty());
        const bool lastIsBec = pairs.back().first == 0xFE && pairs.back().second == 0;
        EXPECT_EQ(lastIsBec, separate);
        if (model == 9) {
            EXPECT_EQ(esc->BecIndex(), 0);
        }
        EXPECT_TRUE(rig->view.Texts(Event::Message).empty());
        rig.reset();
        esc.reset();
    }
}

TEST_F(TransferTest, RestoreBringsTheFactoryValuesBack) {
    Connect(12);
    rig->setup.SelectByUser(ParamId::DragBrake, 40);
    rig->setup.RequestWrite();
    rig->Tick();
    ASSERT_EQ(esc->Record()[1], 40);

    rig->setup.RequestDefaults();
    rig->Tick();
    EXPECT_FALSE(rig->setup.DefaultRequested());
    EXPECT_EQ(esc->Restores(), 1);
    EXPECT_EQ(esc->Record(), sim::FactoryRecord(12));
    EXPECT_EQ(rig->setup.Snapshot().List(ParamId::DragBrake).selection, sim::FactoryRecord(12)[1]);
}

TEST_F(TransferTest, ARestoreTheEscDoesNotTakeIsAskedAboutOnce) {
    ::setenv("XDG_DATA_HOME", (dir / "data").c_str(), 1);
    Connect(16);
    esc->SetFault(sim::Fault::RestoreLost);
    rig->view.Clear();
    rig->view.retryAnswers = {true};  // Retry: tried again on the next tick, asked again
    rig->setup.RequestDefaults();
    rig->Tick(2);
    ASSERT_EQ(rig->view.Texts(Event::Message).size(), 2u);
    EXPECT_EQ(rig->view.Texts(Event::Message)[0].rfind(msg::kDefaultError, 0), 0u);
    EXPECT_FALSE(rig->setup.DefaultRequested());  // Cancel the second time
    rig->Tick(2);
    EXPECT_EQ(rig->view.Texts(Event::Message).size(), 2u);
    ASSERT_EQ(rig->view.Restores().size(), 1u);
    EXPECT_EQ(rig->view.Restores()[0].result, RestoreOutcome::Result::NotTaken);
    EXPECT_EQ(esc->Restores(), 0);
    // One backup for the one request, although the ESC was asked twice.
    EXPECT_EQ(
        std::distance(std::filesystem::directory_iterator(
                          std::filesystem::path(test::BackupPath(rig->view.Restores()[0].backup))
                              .parent_path()),
                      std::filesystem::directory_iterator{}),
        1);
    ::unsetenv("XDG_DATA_HOME");
}

TEST_F(TransferTest, RequestsWithoutAConnectionAreDroppedWithOneMessage) {
    Connect(16);
    esc->SetFault(sim::Fault::Silent);
    rig->Tick();  // the ESC stops answering
    ASSERT_EQ(rig->link.GetDeviceState(), DeviceState::Absent);
    rig->view.Clear();
    rig->setup.RequestDefaults();
    rig->setup.RequestWrite();
    rig->Tick();
    rig->Tick();
    EXPECT_EQ(rig->view.Texts(Event::Message),
              (std::vector<std::string>{"ESC Connection Error!", "ESC Connection Error!"}));
    EXPECT_FALSE(rig->setup.DefaultRequested());
    EXPECT_FALSE(rig->setup.WriteRequested());
    for (const auto& e : rig->view.Events()) {
        if (e.kind == Event::Message) {
            EXPECT_EQ(e.icon, MessageIcon::Error);
        }
    }

    esc->Unplug();
    rig->Tick();
    rig->view.Clear();
    rig->setup.RequestWrite();
    rig->Tick();
    EXPECT_EQ(rig->view.Texts(Event::Message), std::vector<std::string>{"USB Connection Error!"});
}

TEST_F(TransferTest, RestoreWhoseReadFailsSaysSoAndLeavesNothingToSend) {
    Connect(16);
    esc->SetFault(sim::Fault::NoEndMarker);
    rig->view.Clear();
    rig->setup.RequestDefaults();
    rig->Tick();
    EXPECT_EQ(esc->Restores(), 1);
    // The settings replaced were saved first, and the message says where.
    ASSERT_EQ(rig->view.Restores().size(), 1u);
    const RestoreOutcome restore = rig->view.Restores()[0];
    EXPECT_EQ(restore.result, RestoreOutcome::Result::NotReadBack);
    ASSERT_FALSE(test::BackupPath(restore.backup).empty());
    EXPECT_NE(test::ReadText(test::BackupPath(restore.backup)).find("[option]"), std::string::npos);
    EXPECT_EQ(rig->view.Texts(Event::Message),
              std::vector<std::string>{std::string(msg::kRestoredButReadFailed) + "\n" +
                                       msg::kBackupWhere + test::BackupPath(restore.backup) + "."});
    EXPECT_FALSE(rig->setup.HasValidRecord());
    EXPECT_EQ(rig->setup.Snapshot().List(ParamId::DragBrake).selection, -1);
    // The old values are gone from the page, so they cannot be written back.
    esc->ClearLogs();
    rig->setup.RequestWrite();
    rig->Tick();
    EXPECT_TRUE(esc->Pairs().empty());
}

TEST_F(TransferTest, SendIsReadBackAndAnEarlierChangeIsNotUndone) {
    Connect(16);
    const int neutral = 2;  // 8 %
    ASSERT_NE(rig->setup.Snapshot().List(ParamId::NeutralDeadBand).selection, neutral);
    rig->setup.SelectByUser(ParamId::NeutralDeadBand, neutral);
    rig->setup.RequestWrite();
    rig->view.Clear();
    rig->Tick(2);  // the write, then its read-back
    EXPECT_EQ(rig->view.Texts(Event::Message), std::vector<std::string>{msg::kSentAndVerified});
    EXPECT_EQ(rig->view.Writes().back().result, WriteOutcome::Result::Verified);

    // A later write that leaves the list unselected sends back what the ESC now holds.
    rig->setup.Edit([](SetupState& s) { s.List(ParamId::NeutralDeadBand).selection = -1; });
    rig->setup.RequestWrite();
    rig->Tick(2);
    EXPECT_EQ(rig->setup.Snapshot().List(ParamId::NeutralDeadBand).selection, neutral);
}

TEST_F(TransferTest, ChangesAreUnsentUntilTheSendIsReadBack) {
    for (const int model : {9, 16}) {  // 9: BEC Voltage is read apart from the record
        SCOPED_TRACE(model);
        Connect(model);
        EXPECT_FALSE(rig->setup.HasUnsentChanges());
        const OptionList drag = rig->setup.Snapshot().List(ParamId::DragBrake);
        ASSERT_GE(drag.selection, 0);
        const int other = (drag.selection + 1) % static_cast<int>(drag.entries.size());
        rig->setup.SelectByUser(ParamId::DragBrake, other);
        EXPECT_EQ(rig->setup.UnsentChanges(), std::vector<ParamId>{ParamId::DragBrake});
        rig->setup.SelectByUser(ParamId::DragBrake, drag.selection);  // the ESC's value again
        EXPECT_FALSE(rig->setup.HasUnsentChanges());

        rig->setup.SelectByUser(ParamId::DragBrake, other);
        rig->setup.RequestWrite();
        rig->Tick();
        EXPECT_TRUE(rig->setup.HasUnsentChanges());  // sent, not yet read back
        rig->Tick();
        EXPECT_EQ(rig->view.Writes().back().result, WriteOutcome::Result::Verified);
        EXPECT_FALSE(rig->setup.HasUnsentChanges());
    }
}

TEST_F(TransferTest, ASettingTheEscDoesNotTakeIsReadOnlyAndAMismatchIsNamed) {
    Connect(1);  // Boost ACC is shown on this model but no pair carries it
    const int before = rig->setup.Snapshot().List(ParamId::BoostAcc).selection;
    ASSERT_GE(before, 0);
    EXPECT_FALSE(rig->setup.Snapshot().List(ParamId::BoostAcc).writable);
    rig->setup.SelectByUser(ParamId::BoostAcc, before + 1);
    EXPECT_EQ(rig->setup.Snapshot().List(ParamId::BoostAcc).selection, before);

    // Should a value still not stick, the read-back after the send names it.
    rig->setup.Edit([&](SetupState& s) { s.List(ParamId::BoostAcc).selection = before + 1; });
    rig->setup.RequestWrite();
    rig->view.Clear();
    rig->Tick(2);
    EXPECT_EQ(rig->view.Writes().back().result, WriteOutcome::Result::Differs);
    EXPECT_EQ(rig->view.Texts(Event::Message),
              std::vector<std::string>{std::string(msg::kSentButDiffers) + "Boost ACC"});
    EXPECT_EQ(rig->setup.Snapshot().List(ParamId::BoostAcc).selection, before);
}

TEST_F(TransferTest, ValuesOfTheEscReadAreNotSentInAnotherMode) {
    Connect(16);
    rig->monitor.ChooseFixMode();
    rig->Tick(2);
    ASSERT_EQ(rig->link.GetDeviceState(), DeviceState::Connected);  // answering Fix Mode
    EXPECT_EQ(rig->setup.Snapshot().List(ParamId::DragBrake).selection, -1);
    esc->ClearLogs();
    rig->setup.RequestWrite();
    rig->setup.RequestDefaults();
    rig->Tick();
    EXPECT_TRUE(esc->Pairs().empty());
    EXPECT_EQ(esc->Restores(), 0);
    EXPECT_FALSE(rig->setup.WriteRequested());
    EXPECT_FALSE(rig->setup.DefaultRequested());
    EXPECT_EQ(rig->view.Texts(Event::Message).back(), msg::kNotInEscMode);
}

// Every setting a model has, changed in the page, written, and read back from the device.
class RoundTripTest : public TransferTest, public ::testing::WithParamInterface<int> {};

TEST_P(RoundTripTest, EveryUsedListSurvivesWriteAndRead) {
    const int model = GetParam();
    Connect(model);
    SetupState wanted = rig->setup.Snapshot();
    ASSERT_TRUE(wanted.recordValid);
    std::vector<ParamId> changed;
    for (ParamId id : kParameters) {
        OptionList& list = wanted.List(id);
        if (!list.enabled || list.entries.size() < 2) continue;
        // Boost ACC of models 0 to 11 is read but no pair carries it.
        if (id == ParamId::BoostAcc && model <= 11) continue;
        ASSERT_GE(list.selection, 0) << "list " << id << " not selected after the read";
        list.selection = (list.selection + 1) % static_cast<int>(list.entries.size());
        changed.push_back(id);
    }
    ASSERT_FALSE(changed.empty());
    rig->setup.Edit([&](SetupState& s) {
        for (ParamId id : changed) s.List(id).selection = wanted.List(id).selection;
    });
    rig->setup.RequestWrite();
    rig->Tick();
    ASSERT_TRUE(rig->view.Texts(Event::Message).empty());

    // Forget the page's selections and read them back from the device.
    rig->setup.Edit([](SetupState& s) {
        for (ParamId id : kParameters) s.List(id).selection = -1;
    });
    ASSERT_TRUE(rig->monitor.Transfer().ReadSettings());
    const SetupState read = rig->setup.Snapshot();
    for (ParamId id : changed) {
        EXPECT_EQ(read.List(id).selection, wanted.List(id).selection) << "list " << id;
    }
}

INSTANTIATE_TEST_SUITE_P(Models, RoundTripTest,
                         ::testing::Values(1, 2, 4, 5, 8, 11, 12, 13, 14, 16, 17));

}  // namespace
}  // namespace vorna
