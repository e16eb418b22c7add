// Thin platform layer under UsbUart: one raw byte pipe with bounded reads and writes.
// SerialPortPosix.cpp (termios on a tty) and SerialPortWin32.cpp (a COM port with overlapped
// I/O) implement it; nothing above this header knows a descriptor or a HANDLE beyond the opaque
// handle.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/Result.h"
#include "link/PortHolder.h"

namespace vorna {

// A file descriptor on Linux, a HANDLE on Windows: a number wide enough for either, so that no
// system header is needed here (INVALID_HANDLE_VALUE is -1 too).
using PortHandle = std::intptr_t;
inline constexpr PortHandle kNoPort = -1;

// An open serial port, closed when it goes. Linux: the descriptor, opened exclusively. Windows:
// the handle, the named lock that keeps another copy of this program off the port, and the one
// event its transfers wait on, made when it opens.
class SerialPort {
public:
    SerialPort();
    ~SerialPort();
    SerialPort(SerialPort&&) noexcept;
    SerialPort& operator=(SerialPort&&) noexcept;
    SerialPort(const SerialPort&) = delete;
    SerialPort& operator=(const SerialPort&) = delete;

    // Opens a serial device for reading and writing. Linux: no controlling terminal,
    // non-blocking descriptor, exclusive use (TIOCEXCL plus an advisory lock, so another
    // instance of this program and well-behaved terminal programs keep off it); `holders`: where
    // a busy port's holder is looked for. Windows: `path` is \\.\COMn (or COMn), opened without
    // sharing for overlapped I/O; `holders` is not used. The problem's kind says why it would
    // not open (Missing: the node has gone; NotAPort: no serial line); its detail is the
    // system's words, or for PortBusy the holder as "name (pid N)" when it can be told.
    static Result<SerialPort> Open(const std::string& path, const HolderSearch& holders = {});
    // Takes over a handle opened elsewhere (a pseudo-terminal, a test's pipe): it is closed
    // with this port.
    static Result<SerialPort> Adopt(PortHandle handle);

    bool IsOpen() const;
    // The system's handle, for calls this class does not make; kNoPort when closed.
    PortHandle Handle() const;

    // Raw 8N1 at the given rate; every other line setting stays as the driver reports it (on
    // Windows but the time-outs, which are set so that a read waits for its whole count: a
    // program before this one may have left them returning at once). CannotSetUp with the
    // system's words when the driver refuses.
    Status Configure(std::uint32_t baudRate);

    // Reads until `count` bytes have arrived or `timeoutMs` has passed (one deadline for the
    // whole read): the number that arrived, fewer than `count` when the time ran out or the
    // port failed after some had come. A problem when it failed before any byte came.
    Result<std::size_t> Read(std::uint8_t* dest, std::size_t count, int timeoutMs);
    // Writes until every byte is sent, the port fails or `timeoutMs` passes: the number sent,
    // as Read counts.
    Result<std::size_t> Write(const std::uint8_t* src, std::size_t count, int timeoutMs);

    // Discards unread input and/or unsent output.
    void Purge(bool input, bool output);

    // The port has gone (the bridge was unplugged, the terminal hung up): a failed transfer on
    // it was no time-out but a lost link. A closed port has gone too.
    bool HasGone() const;

    // Clears the exclusive mode (TIOCNXCL) and closes: the terminal's exclusive flag outlives
    // this handle while anything else keeps the terminal open, and would keep the next user out.
    void Close();

    struct Parts;  // what the system's side keeps

private:
    explicit SerialPort(std::unique_ptr<Parts> parts);
    std::unique_ptr<Parts> parts_;
};

// Sleeps the calling thread; the transactions' fixed pauses go through here.
void SleepMs(int ms);

}  // namespace vorna
