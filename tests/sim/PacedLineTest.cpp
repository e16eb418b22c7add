// A simulated device paced at the line rate: what the benchmarks measure against must never be
// faster than the real line.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <vector>

#include "link/SerialPort.h"
#include "sim/SimulatedCard.h"
#include "support/TestSupport.h"

using namespace vorna;

TEST(PacedLine, NoByteArrivesBeforeTheLineCouldHaveCarriedIt) {
    test::TempDir dir;
    sim::SimulatedCard card((dir / "link").string());
    card.SetLineRate(true);
    ASSERT_TRUE(card.Start());
    const PortOpenResult port = OpenSerialPort(card.LinkPath());
    ASSERT_NE(port.handle, kNoPort);
    ASSERT_TRUE(ConfigureSerialPort(port.handle, 19200).ok);

    // Bytes the card does not answer, then its identity request: 120 echoes and 7 answers,
    // every one of them 10 bits at 19200 baud.
    std::vector<std::uint8_t> sent(120, 0x00);
    sent.back() = 0xD7;
    const auto start = std::chrono::steady_clock::now();
    std::size_t written = 0;
    ASSERT_TRUE(WritePort(port.handle, sent.data(), sent.size(), 1000, written));
    std::vector<std::uint8_t> received(sent.size() + 7);
    std::size_t got = 0;
    ASSERT_TRUE(ReadPort(port.handle, received.data(), received.size(), 10000, got));
    const auto took = std::chrono::steady_clock::now() - start;
    ClosePortHandle(port.handle);

    EXPECT_EQ(std::vector<std::uint8_t>(received.begin(), received.begin() + 120), sent);
    EXPECT_GE(took, received.size() * std::chrono::microseconds(520));
}
