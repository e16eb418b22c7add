// A Windows port double for the link's tests: a named pipe whose far end the test plays as
// the device. The link gets the near end as its port, opened for overlapped I/O like a
// COM port, so the real reads, writes, waits and cancellations of SerialPortWin32.cpp run; only
// what a pipe has no counterpart for (line settings, purging the driver's queues) is not
// exercised. The simulated devices themselves need pseudo-terminals and run on Linux.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "link/SerialPort.h"

namespace vorna::test {

class PortDouble {
public:
    PortDouble();
    ~PortDouble();
    PortDouble(const PortDouble&) = delete;
    PortDouble& operator=(const PortDouble&) = delete;

    // The link's end, as a port: closed with whoever takes it. Taken once.
    SerialPort TakePort();
    // The device's end: what the link sent (up to `max` bytes, waiting up to `timeoutMs`), and
    // bytes for the link to read.
    std::vector<std::uint8_t> Received(std::size_t max, int timeoutMs);
    void Send(const std::vector<std::uint8_t>& bytes);

private:
    SerialPort far_;
    HANDLE near_ = INVALID_HANDLE_VALUE;  // until taken
};

}  // namespace vorna::test
