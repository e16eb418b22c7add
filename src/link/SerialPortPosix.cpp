#include "link/SerialPort.h"

#include "link/Text.h"

#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <thread>
#include <vector>

namespace vorna {
namespace {

using Clock = std::chrono::steady_clock;

int RemainingMs(Clock::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

speed_t SpeedFor(std::uint32_t baud) {
    switch (baud) {
        case 9600:
            return B9600;
        case 19200:
            return B19200;
        case 38400:
            return B38400;
        case 57600:
            return B57600;
        case 115200:
            return B115200;
        default:
            return B19200;
    }
}

bool IsDirectory(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// "name (pid N)" from <procRoot>/N/comm; "a program (pid N)" when the name cannot be read.
std::string NameProcess(const std::string& procRoot, long pid) {
    const std::string name = FirstLineOf(procRoot + "/" + std::to_string(pid) + "/comm");
    return (name.empty() ? std::string("a program") : name) + " (pid " + std::to_string(pid) + ")";
}

// Whether process `pid` has a descriptor open on the character device `rdev`: 1 yes, 0 no, -1
// cannot tell (its descriptors are another user's to see, or the process has ended).
int HasDescriptorOn(const std::string& procRoot, long pid, dev_t rdev) {
    const std::string fdDir = procRoot + "/" + std::to_string(pid) + "/fd";
    DIR* fds = opendir(fdDir.c_str());
    if (!fds) return -1;
    int found = 0;
    while (dirent* fd = readdir(fds)) {
        if (fd->d_name[0] == '.') continue;
        struct stat st {};
        if (stat((fdDir + "/" + fd->d_name).c_str(), &st) == 0 && S_ISCHR(st.st_mode) &&
            st.st_rdev == rdev) {
            found = 1;
            break;
        }
    }
    closedir(fds);
    return found;
}

// A lock names its holder when that is another live process that, as far as can be seen, still
// has the port open: not a pid reused since, nor a parent that handed the port to a child.
bool HoldsPort(const std::string& procRoot, long pid, const struct stat& node) {
    if (pid <= 0 || pid == static_cast<long>(getpid())) return false;
    if (!IsDirectory(procRoot + "/" + std::to_string(pid))) return false;
    return !S_ISCHR(node.st_mode) || HasDescriptorOn(procRoot, pid, node.st_rdev) != 0;
}

// The process holding a lock (flock or fcntl) on the node, from <procRoot>/locks:
// "1: FLOCK  ADVISORY  WRITE 1234 00:05:1234 0 EOF". Waiters ("1: -> FLOCK ...") hold nothing;
// a pid of 0 or -1 is a holder outside this pid namespace or an open-file lock.
long LockHolderPid(const std::string& procRoot, const struct stat& node) {
    std::ifstream locks(procRoot + "/locks");
    std::string line;
    while (std::getline(locks, line)) {
        std::istringstream fields(line);
        std::string id, kind, mode, access, owner, where;
        if (!(fields >> id >> kind) || kind == "->") continue;
        if (!(fields >> mode >> access >> owner >> where)) continue;
        unsigned major = 0, minor = 0;
        unsigned long long inode = 0;
        if (std::sscanf(where.c_str(), "%x:%x:%llu", &major, &minor, &inode) != 3) continue;
        if (makedev(major, minor) != node.st_dev || inode != node.st_ino) continue;
        char* end = nullptr;
        const long pid = std::strtol(owner.c_str(), &end, 10);
        if (*end == '\0' && HoldsPort(procRoot, pid, node)) return pid;
    }
    return 0;
}

// The live owner named by a UUCP lock file (LCK..ttyUSB0: the pid in ASCII, or as a binary int
// by old programs); stale files of ended programs name nobody.
long LockFilePid(const HolderSearch& where, const std::vector<std::string>& names,
                 const struct stat& node) {
    for (const std::string& dir : where.lockDirs) {
        for (const std::string& name : names) {
            std::ifstream in(dir + "/LCK.." + name, std::ios::binary);
            if (!in) continue;
            std::string text((std::istreambuf_iterator<char>(in)),
                             std::istreambuf_iterator<char>());
            long pid = 0;
            const bool ascii = std::all_of(text.begin(), text.end(), [](char c) {
                return std::isdigit(static_cast<unsigned char>(c)) || c == ' ' || c == '\n';
            });
            if (text.size() == sizeof(int) && !ascii) {
                int binary = 0;
                std::memcpy(&binary, text.data(), sizeof binary);
                pid = binary;
            } else {
                pid = std::strtol(text.c_str(), nullptr, 10);
            }
            if (HoldsPort(where.procRoot, pid, node)) return pid;
        }
    }
    return 0;
}

// Whether process `pid` holds the master side of the pseudo-terminal whose slave is `rdev`: it
// is then the device at the other end (a simulated ESC keeps its slave open too), not a
// program competing for the port. The kernel names a master's terminal in its fdinfo.
bool HoldsPtyMaster(const std::string& procRoot, long pid, dev_t rdev) {
    // Slaves of the pseudo-terminal multiplexer: majors 136 to 143, 256 terminals each.
    const unsigned slaveMajor = major(rdev);
    if (slaveMajor < 136 || slaveMajor > 143) return false;
    const unsigned index = (slaveMajor - 136) * 256 + minor(rdev);
    const std::string base = procRoot + "/" + std::to_string(pid);
    DIR* fds = opendir((base + "/fd").c_str());
    if (!fds) return false;
    bool found = false;
    while (dirent* fd = readdir(fds)) {
        if (fd->d_name[0] == '.') continue;
        struct stat st {};
        if (stat((base + "/fd/" + fd->d_name).c_str(), &st) != 0 || !S_ISCHR(st.st_mode) ||
            major(st.st_rdev) != 5 || minor(st.st_rdev) != 2)
            continue;  // not /dev/ptmx
        std::ifstream info(base + "/fdinfo/" + fd->d_name);
        for (std::string line; std::getline(info, line);) {
            unsigned ttyIndex = 0;
            if (std::sscanf(line.c_str(), "tty-index: %u", &ttyIndex) == 1 && ttyIndex == index)
                found = true;
        }
        if (found) break;
    }
    closedir(fds);
    return found;
}

// Every other process with a descriptor open on the character device `rdev`, in pid order.
std::vector<long> DescriptorHolders(const std::string& procRoot, dev_t rdev) {
    std::vector<long> holders;
    DIR* proc = opendir(procRoot.c_str());
    if (!proc) return holders;
    const long self = static_cast<long>(getpid());
    while (dirent* entry = readdir(proc)) {
        char* end = nullptr;
        const long pid = std::strtol(entry->d_name, &end, 10);
        if (*end != '\0' || pid <= 0 || pid == self) continue;
        if (HasDescriptorOn(procRoot, pid, rdev) == 1 && !HoldsPtyMaster(procRoot, pid, rdev))
            holders.push_back(pid);
    }
    closedir(proc);
    std::sort(holders.begin(), holders.end());
    return holders;
}

}  // namespace

PortHolders FindPortHolders(const std::string& path, const HolderSearch& where) {
    PortHolders found;
    struct stat node {};
    if (stat(path.c_str(), &node) != 0) return found;
    long lockPid = LockHolderPid(where.procRoot, node);
    if (lockPid == 0) {
        std::vector<std::string> names{std::filesystem::path(path).filename().string()};
        std::error_code ec;
        const std::string real = std::filesystem::canonical(path, ec).filename().string();
        if (!ec && real != names.front()) names.push_back(real);
        lockPid = LockFilePid(where, names, node);
    }
    if (lockPid != 0) found.lockHolder = NameProcess(where.procRoot, lockPid);
    if (!S_ISCHR(node.st_mode)) return found;
    for (const long pid : DescriptorHolders(where.procRoot, node.st_rdev)) {
        if (pid != lockPid) found.openedBy.push_back(NameProcess(where.procRoot, pid));
    }
    return found;
}

std::string FindPortHolder(const std::string& path, const HolderSearch& where) {
    // A lock says who took the port; a descriptor alone may be a bystander's.
    PortHolders holders = FindPortHolders(path, where);
    if (!holders.lockHolder.empty()) return holders.lockHolder;
    std::string found;
    for (const std::string& holder : holders.openedBy) {
        found += (found.empty() ? "" : " and ") + holder;
    }
    return found;
}

namespace {

struct PermissionAdvice {
    std::string group = "dialout";
    bool memberButNotActive = false;
};

// Which group owns the node, and whether the user joined it after this login started: the
// usual reason a freshly set-up link still says "permission denied".
PermissionAdvice AdviseOnPermission(const std::string& path) {
    PermissionAdvice advice;
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) return advice;
    // The reentrant lookups: this runs on the link thread, beside whatever else looks users up.
    std::vector<char> groupBuffer(16384), userBuffer(16384);
    group groupEntry{};
    group* owner = nullptr;
    if (getgrgid_r(st.st_gid, &groupEntry, groupBuffer.data(), groupBuffer.size(), &owner) != 0 ||
        owner == nullptr || owner->gr_name == nullptr) {
        return advice;
    }
    advice.group = owner->gr_name;
    passwd userEntry{};
    passwd* user = nullptr;
    if (getpwuid_r(getuid(), &userEntry, userBuffer.data(), userBuffer.size(), &user) != 0 ||
        user == nullptr) {
        return advice;
    }
    bool listed = false;
    for (char** member = owner->gr_mem; member && *member; ++member) {
        if (std::strcmp(*member, user->pw_name) == 0) listed = true;
    }
    gid_t active[256];
    const int count = getgroups(256, active);
    bool isActive = getegid() == st.st_gid;
    for (int i = 0; i < count; ++i) isActive = isActive || active[i] == st.st_gid;
    advice.memberButNotActive = listed && !isActive;
    return advice;
}

}  // namespace

PortOpenResult OpenSerialPort(const std::string& path, const HolderSearch& holders) {
    PortOpenResult result;
    result.path = path;
    int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        result.errorNumber = errno;
        switch (errno) {
            case ENOENT:
            case ENODEV:
            case ENXIO:
                result.failure = OpenFailure::NotFound;
                break;
            case EACCES:
            case EPERM:
                result.failure = OpenFailure::NoPermission;
                break;
            case EBUSY:
                result.failure = OpenFailure::Busy;
                break;
            default:
                result.failure = OpenFailure::Other;
                break;
        }
        if (result.failure == OpenFailure::Busy) result.holder = FindPortHolder(path, holders);
        return result;
    }
    if (!isatty(fd)) {
        ::close(fd);
        result.failure = OpenFailure::NotATerminal;
        result.errorNumber = ENOTTY;
        return result;
    }
    // TIOCEXCL alone does not stop root; the advisory lock catches a second copy of this
    // program and terminal programs that honour locks.
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        result.errorNumber = errno;
        ::close(fd);
        result.failure = OpenFailure::Busy;
        result.holder = FindPortHolder(path, holders);
        return result;
    }
    if (ioctl(fd, TIOCEXCL) != 0) {
        // Not fatal: the lock above already keeps cooperating programs away.
    }
    result.handle = fd;
    return result;
}

bool ConfigureSerialPort(PortHandle port, std::uint32_t baudRate) {
    termios tio{};
    if (tcgetattr(port, &tio) != 0) return false;
    cfmakeraw(&tio);
    tio.c_cflag &= ~static_cast<tcflag_t>(CSTOPB | PARENB | CSIZE | CRTSCTS);
    tio.c_cflag |= CS8 | CLOCAL | CREAD;
    tio.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    cfsetispeed(&tio, SpeedFor(baudRate));
    cfsetospeed(&tio, SpeedFor(baudRate));
    return tcsetattr(port, TCSANOW, &tio) == 0;
}

bool ReadPort(PortHandle port, std::uint8_t* dest, std::size_t count, int timeoutMs,
              std::size_t& got) {
    got = 0;
    if (port == kNoPort) return false;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (got < count) {
        ssize_t n = ::read(port, dest + got, count - got);
        if (n > 0) {
            got += static_cast<std::size_t>(n);
            continue;
        }
        // In raw mode with no minimum count an empty queue reads as 0 bytes, not EAGAIN;
        // a port that has really gone fails with EIO and shows up in poll() below.
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) return false;
        int left = RemainingMs(deadline);
        if (left <= 0) return false;
        pollfd pfd{port, POLLIN, 0};
        int r = ::poll(&pfd, 1, left);
        if (r < 0 && errno != EINTR) return false;
        if (r > 0 && (pfd.revents & (POLLERR | POLLNVAL))) return false;
        if (r > 0 && (pfd.revents & POLLHUP) && !(pfd.revents & POLLIN)) return false;
    }
    return true;
}

bool WritePort(PortHandle port, const std::uint8_t* src, std::size_t count, int timeoutMs,
               std::size_t& written) {
    written = 0;
    if (port == kNoPort) return false;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (written < count) {
        ssize_t n = ::write(port, src + written, count - written);
        if (n > 0) {
            written += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) return false;
        int left = RemainingMs(deadline);
        if (left <= 0) return false;
        pollfd pfd{port, POLLOUT, 0};
        int r = ::poll(&pfd, 1, left);
        if (r < 0 && errno != EINTR) return false;
        if (r > 0 && (pfd.revents & (POLLERR | POLLHUP | POLLNVAL))) return false;
    }
    return true;
}

void PurgePort(PortHandle port, bool input, bool output) {
    if (port == kNoPort) return;
    if (input && output) {
        tcflush(port, TCIOFLUSH);
    } else if (input) {
        tcflush(port, TCIFLUSH);
    } else if (output) {
        tcflush(port, TCOFLUSH);
    }
}

void ClosePortHandle(PortHandle port) {
    if (port == kNoPort) return;
    // Not fatal when it fails: a port that has gone keeps nobody out.
    static_cast<void>(ioctl(port, TIOCNXCL));
    ::close(port);
}

bool PortHasGone(PortHandle port) {
    if (port == kNoPort) return true;
    // No events asked for: a hang-up, an error and a closed handle are reported regardless.
    pollfd pfd{port, 0, 0};
    if (::poll(&pfd, 1, 0) < 0) return false;
    return (pfd.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
}

std::string DescribeOpenFailure(const std::string& path, const PortOpenResult& result,
                                bool retrying) {
    switch (result.failure) {
        case OpenFailure::None:
            return {};
        case OpenFailure::NoPermission: {
            const PermissionAdvice advice = AdviseOnPermission(path);
            if (advice.memberButNotActive) {
                return "Cannot open " + path + ": permission denied. You are in the '" +
                       advice.group +
                       "' group, but this login started before you joined it: log out and in "
                       "again (or run 'newgrp " +
                       advice.group + "').";
            }
            return "Cannot open " + path + ": permission denied. Add your user to the '" +
                   advice.group + "' group (sudo usermod -aG " + advice.group +
                   " $USER) and log out and in again, or install the udev rule from the README.";
        }
        case OpenFailure::Busy:
            return "Cannot open " + path + ": the port is in use by " +
                   (result.holder.empty() ? std::string("another program") : result.holder) +
                   (retrying ? ". Close that program; the link retries by itself."
                             : ". Close that program and try again.");
        case OpenFailure::NotFound:
            return "Cannot open " + path + ": the device node has gone (" +
                   std::strerror(result.errorNumber) + ").";
        case OpenFailure::NotATerminal:
            return "Cannot open " + path + ": it is not a serial port.";
        case OpenFailure::Other:
            break;
    }
    return "Cannot open " + path + ": " + std::strerror(result.errorNumber) + ".";
}

void SleepMs(int ms) {
    if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

}  // namespace vorna
