// The one link to the bridge. Every byte exchanged with an ESC or the program card passes
// through these synchronous, timed transactions. The line is half-duplex with read-back:
// whatever we send comes back to us first, and only then does the device answer.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "link/SerialPort.h"

namespace vorna {

class UsbUart {
public:
    static constexpr std::size_t kRxSize = 250;
    static constexpr std::size_t kTxSize = 100;
    static constexpr std::uint32_t kDefaultBaud = 19200;
    // A write to a healthy port finishes in milliseconds; this only stops a wedged driver
    // from hanging the link thread for ever.
    static constexpr int kWriteBoundMs = 5000;

    enum class TraceDirection { Sent, Received };
    using TraceSink = std::function<void(TraceDirection, const std::uint8_t*, std::size_t)>;

    UsbUart() = default;
    virtual ~UsbUart();
    UsbUart(const UsbUart&) = delete;
    UsbUart& operator=(const UsbUart&) = delete;

    // Primitives: true for success.
    bool ReadWithTimeout(PortHandle port, std::uint8_t* dest, std::size_t count, int timeoutMs);
    bool WriteBytes(const std::uint8_t* src, std::size_t count);

    // Transactions: 0 for success, the documented nonzero code for failure.
    int SendCommandByte(std::uint8_t command);       // 1 on failure
    int ReadReply(std::size_t count, int timeoutMs);  // 2 on failure
    void PurgeAndClear();
    int SendBlock(const std::uint8_t* data, std::size_t count);  // 1 when the write failed
    int SendPairAwaitAck(const std::uint8_t* pair);             // 1 on failure
    void ClosePort();

    static std::uint8_t ParseHexPair(const char* two);

    // Every byte sent and every byte read, for `vornactl --trace`.
    void SetTraceSink(TraceSink sink) { trace_ = std::move(sink); }

    // Fields, in the order the rest of the program knows them.
    std::int32_t usbState = 0;     // 0 no bridge, 2 bridge present and port open
    std::int32_t deviceState = 0;  // 0 not polled, 1 absent or lost, 2 connected
    std::int32_t isOpen = 0;
    std::array<std::uint8_t, kRxSize> rxBuffer{};
    std::uint32_t baudRate = kDefaultBaud;
    std::array<std::uint8_t, kTxSize> txBuffer{};
    std::uint32_t bytesWritten = 0;
    std::uint32_t bytesRead = 0;
    PortHandle portHandle = kNoPort;
    std::string portName;  // device node of the open port, for messages

private:
    void Trace(TraceDirection direction, const std::uint8_t* bytes, std::size_t count) const;

    TraceSink trace_;
};

}  // namespace vorna
