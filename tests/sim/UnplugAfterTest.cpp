// A simulated ESC told to drop the line after record N of an update: the ESC's own thread pulls
// the plug as the next record starts, so nothing else stops the device while it runs, and the
// same device plugs back in.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "link/SerialPort.h"
#include "sim/SimulatedEsc.h"
#include "support/TestSupport.h"

using namespace vorna;

namespace {

using Bytes = std::vector<std::uint8_t>;

// Sends `out` and returns what came back (its echo, then any answer) within a second.
Bytes Exchange(SerialPort& port, const Bytes& out, std::size_t expected) {
    static_cast<void>(port.Write(out.data(), out.size(), 1000));
    Bytes in(expected);
    const Result<std::size_t> got = port.Read(in.data(), in.size(), 1000);
    in.resize(got ? *got : 0);
    return in;
}

// A data record of the update: 0x3A, count, address, type 0x00, data, checksum.
Bytes Record(std::uint8_t address, std::uint8_t data) {
    Bytes r = {0x3A, 0x01, 0x00, address, 0x00, data};
    std::uint8_t sum = 0;
    for (std::size_t i = 1; i < r.size(); ++i) sum = static_cast<std::uint8_t>(sum + r[i]);
    r.push_back(static_cast<std::uint8_t>(0x100 - sum));
    return r;
}

Bytes Then(Bytes bytes, std::uint8_t answer) {
    bytes.push_back(answer);
    return bytes;
}

}  // namespace

TEST(UnplugAfter, TheLineDropsAsTheRecordAfterTheAcknowledgedOneStartsAndComesBack) {
    test::TempDir dir;
    sim::SimulatedEsc esc((dir / "link").string(), 16);
    esc.SetFault(sim::Fault::UnplugAfter, 1);
    ASSERT_TRUE(esc.Start());
    Result<SerialPort> opened = SerialPort::Open(esc.LinkPath());
    ASSERT_TRUE(opened);
    SerialPort port = std::move(opened).Value();
    ASSERT_TRUE(port.Configure(19200));
    EXPECT_EQ(Exchange(port, {0xD6}, 2), (Bytes{0xD6, 0xD7}));
    EXPECT_EQ(Exchange(port, {0x39}, 2), (Bytes{0x39, 0x61}));
    EXPECT_EQ(Exchange(port, {0x31}, 2), (Bytes{0x31, 0x01}));

    // Record 1 is acknowledged and the line stays up until the program sends on.
    const Bytes first = Record(0x00, 0x55);
    EXPECT_EQ(Exchange(port, first, first.size() + 1), Then(first, 0x01));
    EXPECT_TRUE(esc.Plugged());
    const Bytes second = Record(0x01, 0x66);
    EXPECT_TRUE(Exchange(port, second, second.size() + 1).empty());
    EXPECT_TRUE(test::WaitFor([&] { return !esc.Plugged(); }));
    EXPECT_EQ(esc.UpdateRecords(), std::vector<Bytes>{first});
    port.Close();

    // Plugged back in, it is still in the half-done update and answers the Fix Mode probe.
    ASSERT_TRUE(esc.Replug());
    opened = SerialPort::Open(esc.LinkPath());
    ASSERT_TRUE(opened);
    port = std::move(opened).Value();
    ASSERT_TRUE(port.Configure(19200));
    EXPECT_EQ(Exchange(port, {0xD6}, 2), (Bytes{0xD6, 0xD7}));
}
