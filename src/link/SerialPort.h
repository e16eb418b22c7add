// Thin platform layer under UsbUart: one raw byte pipe with bounded reads and writes.
// The POSIX implementation lives in SerialPortPosix.cpp; nothing above this header knows
// about file descriptors beyond the opaque handle.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace vorna {

using PortHandle = int;
inline constexpr PortHandle kNoPort = -1;

enum class OpenFailure { None, NotFound, NoPermission, Busy, NotATerminal, Other };

struct PortOpenResult {
    PortHandle handle = kNoPort;
    OpenFailure failure = OpenFailure::None;
    int errorNumber = 0;
    std::string holder;  // "name (pid N)" of the program holding a busy port, when it can be found
    std::string path;    // the device node tried
};

// Where FindPortHolder looks. Tests point these at a fake tree.
struct HolderSearch {
    std::string procRoot = "/proc";
    // Folders of UUCP lock files (LCK..ttyUSB0 holding the owner's process id).
    std::vector<std::string> lockDirs = {"/run/lock", "/var/lock"};
};

// The program holding the device node `path`, as "name (pid N)", or "" when it cannot be told
// (another user's processes, another pid namespace). The holder of a lock on the node is named
// first: its lock in <procRoot>/locks (flock or fcntl, matched by the node's device and inode),
// then a live process named by a UUCP lock file. Without a lock, every process with an open
// descriptor on the same character device (st_rdev of <procRoot>/PID/fd/N) is named, except the
// process holding the master side of a pseudo-terminal: that is the device (a simulated ESC).
// This process is never named: its own descriptors are not the other program.
std::string FindPortHolder(const std::string& path, const HolderSearch& where = {});

// Everyone FindPortHolder may name, apart: the holder of a lock on the node (empty: none), and
// the other processes with a descriptor open on it, each as "name (pid N)", in pid order.
struct PortHolders {
    std::string lockHolder;
    std::vector<std::string> openedBy;
};
PortHolders FindPortHolders(const std::string& path, const HolderSearch& where = {});

// Opens a serial device for reading and writing: no controlling terminal, non-blocking
// descriptor, exclusive use (TIOCEXCL plus an advisory lock, so another instance of this
// program and well-behaved terminal programs keep off it). ClosePortHandle gives the exclusive
// mode up again. `holders`: where a busy port's holder is looked for.
PortOpenResult OpenSerialPort(const std::string& path, const HolderSearch& holders = {});

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
