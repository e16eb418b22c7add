// Thin platform layer under UsbUart: one raw byte pipe with bounded reads and writes.
// SerialPortPosix.cpp (termios on a tty) and SerialPortWin32.cpp (a COM port with overlapped
// I/O) implement it; nothing above this header knows a descriptor or a HANDLE beyond the opaque
// handle.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "link/PortHolder.h"

namespace vorna {

// A file descriptor on Linux, a HANDLE on Windows: a number wide enough for either, so that no
// system header is needed here (INVALID_HANDLE_VALUE is -1 too).
using PortHandle = std::intptr_t;
inline constexpr PortHandle kNoPort = -1;

enum class OpenFailure { None, NotFound, NoPermission, Busy, NotATerminal, Other };

struct PortOpenResult {
    PortHandle handle = kNoPort;
    OpenFailure failure = OpenFailure::None;
    int errorNumber = 0;  // errno on Linux, the system error code on Windows
    std::string holder;   // "name (pid N)" of the program holding a busy port, when it can be found
    std::string path;     // the device node (or on Windows the \\.\COMn name) tried
};

// Opens a serial device for reading and writing. Linux: no controlling terminal, non-blocking
// descriptor, exclusive use (TIOCEXCL plus an advisory lock, so another instance of this
// program and well-behaved terminal programs keep off it); ClosePortHandle gives the exclusive
// mode up again; `holders`: where a busy port's holder is looked for. Windows: `path` is
// \\.\COMn (or COMn), opened without sharing for overlapped I/O; `holders` is not used.
PortOpenResult OpenSerialPort(const std::string& path, const HolderSearch& holders = {});

struct [[nodiscard]] ConfigureResult {
    bool ok = false;
    int errorNumber = 0;  // when not ok: errno on Linux, the system error code on Windows
};

// Raw 8N1 at the given rate; every other line setting stays as the driver reports it (on
// Windows but the time-outs, which are set so that a read waits for its whole count: a
// program before this one may have left them returning at once).
ConfigureResult ConfigureSerialPort(PortHandle port, std::uint32_t baudRate);

// Says that the port (`path`: its name as the user knows it) could not be set to the rate, with
// the system's words, and that it is used with the driver's settings while the link keeps
// trying.
std::string DescribeConfigureFailure(const std::string& path, std::uint32_t baudRate,
                                     int errorNumber);

// Reads until `count` bytes have arrived or `timeoutMs` has passed (one deadline for the
// whole read). `got` receives the number of bytes that did arrive. True only for the full count.
bool ReadPort(PortHandle port, std::uint8_t* dest, std::size_t count, int timeoutMs,
              std::size_t& got);

// Writes all bytes unless the port fails or `timeoutMs` passes first.
bool WritePort(PortHandle port, const std::uint8_t* src, std::size_t count, int timeoutMs,
               std::size_t& written);

// Discards unread input and/or unsent output.
void PurgePort(PortHandle port, bool input, bool output);

// Clears the exclusive mode (TIOCNXCL) and closes: the terminal's exclusive flag outlives this
// handle while anything else keeps the terminal open, and would keep the next user out.
void ClosePortHandle(PortHandle port);

// The port has gone (the bridge was unplugged, the terminal hung up): a failed transfer on it
// was no time-out but a lost link.
bool PortHasGone(PortHandle port);

// Explains an open failure in one sentence that names the device node, the cause and the fix.
// `retrying`: the link tries again by itself (the poll); false for a final word.
std::string DescribeOpenFailure(const std::string& path, const PortOpenResult& result,
                                bool retrying = true);

// Sleeps the calling thread; the transactions' fixed pauses go through here.
void SleepMs(int ms);

}  // namespace vorna
