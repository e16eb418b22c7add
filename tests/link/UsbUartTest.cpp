// The link's transactions against real pseudo-terminals: a bare one the test answers by hand,
// and the simulated ESC.
#include <gtest/gtest.h>

#include <algorithm>
#include <future>

#include <sys/ioctl.h>

#include "link/SerialPort.h"
#include "link/UsbUart.h"
#include "sim/SimulatedEsc.h"
#include "support/TestSupport.h"

namespace vorna {
namespace {

bool AllZero(const UsbUart& link) {
    return std::all_of(link.Reply().begin(), link.Reply().end(), [](auto b) { return b == 0; });
}

void Attach(UsbUart& link, const std::string& path) {
    Result<SerialPort> opened = SerialPort::Open(path);
    ASSERT_TRUE(opened) << opened.Detail();
    link.UsePort(std::move(opened).Value(), path);
    ASSERT_TRUE(link.SetUpLine());
    link.SetOpen(true);
}

TEST(UsbUart, StartsClosedAndZeroed) {
    UsbUart link;
    EXPECT_EQ(link.GetUsbState(), UsbState::NoBridge);
    EXPECT_EQ(link.GetDeviceState(), DeviceState::NotPolled);
    EXPECT_FALSE(link.IsOpen());
    EXPECT_EQ(link.BaudRate(), 19200u);
    EXPECT_FALSE(link.HasPort());
    EXPECT_EQ(link.Reply().size(), 250u);
    EXPECT_TRUE(AllZero(link));
    // Without a port every transaction fails with its own code.
    EXPECT_EQ(link.SendCommandByte(0xD5), LinkResult::SendFailed);
    EXPECT_EQ(link.ReadReply(1, 10), LinkResult::NoAnswer);
    const std::uint8_t block[4] = {};
    EXPECT_EQ(link.SendBlock(block, 4), LinkResult::SendFailed);
    const std::uint8_t pair[2] = {0xE1, 0x01};
    EXPECT_EQ(link.SendPairAwaitAck(pair), LinkResult::SendFailed);
}

TEST(UsbUart, SilentDeviceLeavesNothingBehind) {
    test::TempDir dir;
    sim::SimulatedEsc esc((dir / "esc").string(), 16);
    ASSERT_TRUE(esc.Start());
    esc.SetFault(sim::Fault::Silent);
    UsbUart link;
    Attach(link, esc.LinkPath());

    // The read-back still comes (it is the line's, not the device's), the answer never does.
    EXPECT_EQ(link.SendCommandByte(0xD5), LinkResult::Ok);
    EXPECT_EQ(link.Reply()[0], 0xD5);
    EXPECT_EQ(link.ReadReply(1, 300), LinkResult::NoAnswer);
    EXPECT_TRUE(AllZero(link));

    // The device wakes up: the next command's read-back and answer are its own.
    esc.SetFault(sim::Fault::None);
    EXPECT_EQ(link.SendCommandByte(0xD5), LinkResult::Ok);
    EXPECT_EQ(link.ReadReply(1, 1000), LinkResult::Ok);
    EXPECT_EQ(link.Reply()[0], 0x26);
}

TEST(UsbUart, StaleInputNeverPrecedesTheReadBack) {
    test::BarePty pty;
    UsbUart link;
    Attach(link, pty.SlavePath());
    pty.Write({0x99, 0x98, 0x97});  // a late answer to something earlier
    ASSERT_TRUE(test::WaitFor([&] {
        int pending = 0;
        return ioctl(static_cast<int>(link.Port().Handle()), FIONREAD, &pending) == 0 &&
               pending == 3;
    }));
    auto result = std::async(std::launch::async, [&] { return link.SendCommandByte(0xD7); });
    auto sent = pty.Read(1, 2000);
    ASSERT_EQ(sent, std::vector<std::uint8_t>{0xD7});
    pty.Write(sent);
    EXPECT_EQ(result.get(), LinkResult::Ok);
    EXPECT_EQ(link.Reply()[0], 0xD7);
}

TEST(UsbUart, ShortAnswerIsAFailure) {
    test::TempDir dir;
    sim::SimulatedEsc esc((dir / "esc").string(), 16);
    ASSERT_TRUE(esc.Start());
    esc.SetFault(sim::Fault::ShortAnswer);
    UsbUart link;
    Attach(link, esc.LinkPath());
    ASSERT_EQ(link.SendCommandByte(0xD7), LinkResult::Ok);
    EXPECT_EQ(link.ReadReply(7, 500), LinkResult::NoAnswer);
    EXPECT_EQ(link.BytesRead(), 6u);
    EXPECT_TRUE(AllZero(link));

    esc.SetFault(sim::Fault::None);
    ASSERT_EQ(link.SendCommandByte(0xD7), LinkResult::Ok);
    ASSERT_EQ(link.ReadReply(7, 500), LinkResult::Ok);
    const auto id = sim::IdentityForModel(16);
    EXPECT_TRUE(std::equal(id.begin(), id.end(), link.Reply().begin()));
}

TEST(UsbUart, PairNeedsAnAcknowledgementOfOne) {
    test::BarePty pty;
    UsbUart link;
    Attach(link, pty.SlavePath());
    const std::uint8_t pair[2] = {0xE2, 0x0A};
    for (std::uint8_t ack :
         {std::uint8_t{0x00}, std::uint8_t{0x02}, std::uint8_t{0xFF}, std::uint8_t{0x01}}) {
        auto result = std::async(std::launch::async, [&] { return link.SendPairAwaitAck(pair); });
        auto sent = pty.Read(2, 2000);
        ASSERT_EQ(sent, (std::vector<std::uint8_t>{0xE2, 0x0A}));
        sent.push_back(ack);
        pty.Write(sent);
        EXPECT_EQ(result.get(), ack == 0x01 ? LinkResult::Ok : LinkResult::SendFailed)
            << "ack " << int(ack);
    }
    // No answer at all: failure after the answer's time-out.
    auto result = std::async(std::launch::async, [&] { return link.SendPairAwaitAck(pair); });
    pty.Write(pty.Read(2, 2000));
    EXPECT_EQ(result.get(), LinkResult::SendFailed);
    EXPECT_TRUE(AllZero(link));
}

TEST(UsbUart, BlockSucceedsWithoutReadBack) {
    test::BarePty pty;
    UsbUart link;
    Attach(link, pty.SlavePath());
    std::vector<std::uint8_t> block(40, 0x3A);
    EXPECT_EQ(link.SendBlock(block.data(), block.size()), LinkResult::Ok);
    EXPECT_EQ(pty.Read(40, 2000), block);

    // A block longer than the receive buffer is read back whole, so no part of it is left
    // to be taken for the device's answer.
    std::vector<std::uint8_t> big(600);
    for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<std::uint8_t>(i);
    auto result =
        std::async(std::launch::async, [&] { return link.SendBlock(big.data(), big.size()); });
    auto sent = pty.Read(600, 3000);
    ASSERT_EQ(sent, big);
    pty.Write(sent);
    EXPECT_EQ(result.get(), LinkResult::Ok);
    pty.Write({0x11});
    EXPECT_EQ(link.ReadReply(1, 1000), LinkResult::Ok);
    EXPECT_EQ(link.Reply()[0], 0x11);
}

TEST(UsbUart, UnpluggedPortFailsSendsAndClosePortResets) {
    test::TempDir dir;
    sim::SimulatedEsc esc((dir / "esc").string(), 16);
    ASSERT_TRUE(esc.Start());
    UsbUart link;
    Attach(link, esc.LinkPath());
    link.SetUsbState(UsbState::Connected);
    link.SetDeviceState(DeviceState::Connected);
    esc.Unplug();
    EXPECT_EQ(link.SendCommandByte(0xD5), LinkResult::SendFailed);
    link.ClosePort();
    EXPECT_FALSE(link.IsOpen());
    EXPECT_EQ(link.GetUsbState(), UsbState::NoBridge);
    EXPECT_EQ(link.GetDeviceState(), DeviceState::NotPolled);
    EXPECT_FALSE(link.HasPort());
}

TEST(UsbUart, TraceSeesEveryByteBothWays) {
    test::TempDir dir;
    sim::SimulatedEsc esc((dir / "esc").string(), 16);
    ASSERT_TRUE(esc.Start());
    UsbUart link;
    Attach(link, esc.LinkPath());
    std::vector<std::pair<UsbUart::TraceDirection, std::vector<std::uint8_t>>> seen;
    link.SetTraceSink([&](UsbUart::TraceDirection d, const std::uint8_t* b, std::size_t n) {
        seen.emplace_back(d, std::vector<std::uint8_t>(b, b + n));
    });
    ASSERT_EQ(link.SendCommandByte(0xD5), LinkResult::Ok);
    ASSERT_EQ(link.ReadReply(1, 1000), LinkResult::Ok);
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[0].first, UsbUart::TraceDirection::Sent);
    EXPECT_EQ(seen[0].second, std::vector<std::uint8_t>{0xD5});
    EXPECT_EQ(seen[1].second, std::vector<std::uint8_t>{0xD5});
    EXPECT_EQ(seen[2].first, UsbUart::TraceDirection::Received);
    EXPECT_EQ(seen[2].second, std::vector<std::uint8_t>{0x26});
}

}  // namespace
}  // namespace vorna
