// Thin platform layer under UsbUart: one raw byte pipe with bounded reads and writes.
// The POSIX implementation lives in SerialPortPosix.cpp; nothing above this header knows
// about file descriptors beyond the opaque handle.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace vorna {

using PortHandle = int;
inline constexpr PortHandle kNoPort = -1;

enum class OpenFailure { None, NotFound, NoPermission, Busy, NotATerminal, Other };

struct PortOpenResult {
    PortHandle handle = kNoPort;
    OpenFailure failure = OpenFailure::None;
    int errorNumber = 0;
    std::string holder;  // "name (pid N)" of the program holding a busy port, when it can be found
};

// Opens a serial device for reading and writing: no controlling terminal, non-blocking
// descriptor, exclusive use (TIOCEXCL plus an advisory lock, so another instance of this
// program and well-behaved terminal programs keep off it).
PortOpenResult OpenSerialPort(const std::string& path);

// Raw 8N1 at the given rate; every other line setting stays as the driver reports it.
bool ConfigureSerialPort(PortHandle port, std::uint32_t baudRate);

// Reads until `count` bytes have arrived or `timeoutMs` has passed (one deadline for the
// whole read). `got` receives the number of bytes that did arrive. True only for the full count.
bool ReadPort(PortHandle port, std::uint8_t* dest, std::size_t count, int timeoutMs,
              std::size_t& got);

// Writes all bytes unless the port fails or `timeoutMs` passes first.
bool WritePort(PortHandle port, const std::uint8_t* src, std::size_t count, int timeoutMs,
               std::size_t& written);

// Discards unread input and/or unsent output.
void PurgePort(PortHandle port, bool input, bool output);

void ClosePortHandle(PortHandle port);

// Explains an open failure in one sentence that names the device node, the cause and the fix.
std::string DescribeOpenFailure(const std::string& path, const PortOpenResult& result);

// Sleeps the calling thread; the transactions' fixed pauses go through here.
void SleepMs(int ms);

}  // namespace vorna
