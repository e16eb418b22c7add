// Who holds a busy port, to name in the message that says it is busy. On Linux the locks and
// open descriptors of other processes tell (PortHolderLinux.cpp); Windows has no such list for a
// COM port, and there the message says "another program".
#pragma once

#include <string>
#include <vector>

namespace vorna {

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

}  // namespace vorna
