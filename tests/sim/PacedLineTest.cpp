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
    Result<SerialPort> port = SerialPort::Open(card.LinkPath());
    ASSERT_TRUE(port);
    ASSERT_TRUE(port->Configure(19200));

    // Bytes the card does not answer, then its identity request: 120 echoes and 7 answers,
    // every one of them 10 bits at 19200 baud.
    std::vector<std::uint8_t> sent(120, 0x00);
    sent.back() = 0xD7;
    const auto start = std::chrono::steady_clock::now();
    const Result<std::size_t> written = port->Write(sent.data(), sent.size(), 1000);
    ASSERT_TRUE(written && *written == sent.size());
    std::vector<std::uint8_t> received(sent.size() + 7);
    const Result<std::size_t> got = port->Read(received.data(), received.size(), 10000);
    ASSERT_TRUE(got && *got == received.size());
    const auto took = std::chrono::steady_clock::now() - start;
    port->Close();

    EXPECT_EQ(std::vector<std::uint8_t>(received.begin(), received.begin() + 120), sent);
    EXPECT_GE(took, received.size() * std::chrono::microseconds(520));
}
