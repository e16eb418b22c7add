// The link's transactions on Windows, through the overlapped reads and writes of its COM port
// code, against a port double the test plays as the device: the same results as on Linux.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <future>
#include <thread>

#include "link/UsbUart.h"
#include "windows/PortDouble.h"

namespace vorna {
namespace {

using Bytes = std::vector<std::uint8_t>;

bool AllZero(const UsbUart& link) {
    return std::all_of(link.Reply().begin(), link.Reply().end(), [](auto b) { return b == 0; });
}

class LinkResults : public ::testing::Test {
protected:
    void SetUp() override {
        link.UsePort(port.TakePort(), "pipe");
        link.SetOpen(true);
    }

    // The device on its own thread: takes `expect` bytes, then sends `reply`.
    std::future<Bytes> Device(std::size_t expect, Bytes reply) {
        return std::async(std::launch::async, [this, expect, reply] {
            Bytes got = port.Received(expect, 5000);
            if (!reply.empty()) port.Send(reply);
            return got;
        });
    }

    test::PortDouble port;
    UsbUart link;
};

TEST_F(LinkResults, AnAnswerIsTakenOnlyWhenItCameWhole) {
    auto device = Device(1, {0xD5, 0x26});
    EXPECT_EQ(link.SendCommandByte(0xD5), LinkResult::Ok);
    EXPECT_EQ(link.Reply()[0], 0xD5);  // the read-back
    EXPECT_EQ(link.ReadReply(1, 2000), LinkResult::Ok);
    EXPECT_EQ(link.Reply()[0], 0x26);
    EXPECT_EQ(device.get(), Bytes{0xD5});

    // One byte short of the seven the identity has: not taken, and nothing left to read.
    device = Device(1, {0xD7, 0x0B, 0x40, 0x83, 0x05, 0x00, 0x03});
    EXPECT_EQ(link.SendCommandByte(0xD7), LinkResult::Ok);
    EXPECT_EQ(link.ReadReply(7, 300), LinkResult::NoAnswer);
    EXPECT_EQ(link.BytesRead(), 6u);
    EXPECT_TRUE(AllZero(link));
    device.get();
}

// A read that ran out of time is cancelled before the transaction returns: a byte that comes
// late stays in the port for whoever reads next, and never lands in the buffer afterwards.
TEST_F(LinkResults, ATimedOutReadTakesNoLateByte) {
    EXPECT_EQ(link.ReadReply(1, 200), LinkResult::NoAnswer);
    EXPECT_TRUE(AllZero(link));
    port.Send({0x55});
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_TRUE(AllZero(link));
    EXPECT_TRUE(link.ReadWithTimeout(1, 2000));
    EXPECT_EQ(link.Reply()[0], 0x55);
}

TEST_F(LinkResults, OnlyTheAcknowledgementOneAcceptsAPair) {
    const std::uint8_t pair[2] = {0xE1, 0x05};
    auto device = Device(2, {0xE1, 0x05, 0x00});
    EXPECT_EQ(link.SendPairAwaitAck(pair), LinkResult::SendFailed);
    EXPECT_EQ(device.get(), (Bytes{0xE1, 0x05}));
    device = Device(2, {0xE1, 0x05, 0x01});
    EXPECT_EQ(link.SendPairAwaitAck(pair), LinkResult::Ok);
    device.get();
    // A block counts as sent when it was written, read back or not.
    const std::uint8_t block[4] = {0x3A, 0x01, 0x02, 0x03};
    device = Device(4, {});
    EXPECT_EQ(link.SendBlock(block, 4), LinkResult::Ok);
    EXPECT_EQ(device.get(), (Bytes{0x3A, 0x01, 0x02, 0x03}));
}

}  // namespace
}  // namespace vorna
