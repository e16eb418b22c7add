// The serial port on Linux: a tty opened exclusively, termios for the line, poll() for the
// time-outs.
#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

#include "link/SerialPort.h"

namespace vorna {
namespace {

using Clock = std::chrono::steady_clock;

// The descriptor a port handle holds.
int Fd(PortHandle port) {
    return static_cast<int>(port);
}

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

}  // namespace

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

ConfigureResult ConfigureSerialPort(PortHandle port, std::uint32_t baudRate) {
    termios tio{};
    if (tcgetattr(Fd(port), &tio) != 0) return {false, errno};
    cfmakeraw(&tio);
    tio.c_cflag &= ~static_cast<tcflag_t>(CSTOPB | PARENB | CSIZE | CRTSCTS);
    tio.c_cflag |= CS8 | CLOCAL | CREAD;
    tio.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    cfsetispeed(&tio, SpeedFor(baudRate));
    cfsetospeed(&tio, SpeedFor(baudRate));
    if (tcsetattr(Fd(port), TCSANOW, &tio) != 0) return {false, errno};
    return {true, 0};
}

bool ReadPort(PortHandle port, std::uint8_t* dest, std::size_t count, int timeoutMs,
              std::size_t& got) {
    got = 0;
    if (port == kNoPort) return false;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (got < count) {
        ssize_t n = ::read(Fd(port), dest + got, count - got);
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
        pollfd pfd{Fd(port), POLLIN, 0};
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
        ssize_t n = ::write(Fd(port), src + written, count - written);
        if (n > 0) {
            written += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) return false;
        int left = RemainingMs(deadline);
        if (left <= 0) return false;
        pollfd pfd{Fd(port), POLLOUT, 0};
        int r = ::poll(&pfd, 1, left);
        if (r < 0 && errno != EINTR) return false;
        if (r > 0 && (pfd.revents & (POLLERR | POLLHUP | POLLNVAL))) return false;
    }
    return true;
}

void PurgePort(PortHandle port, bool input, bool output) {
    if (port == kNoPort) return;
    if (input && output) {
        tcflush(Fd(port), TCIOFLUSH);
    } else if (input) {
        tcflush(Fd(port), TCIFLUSH);
    } else if (output) {
        tcflush(Fd(port), TCOFLUSH);
    }
}

void ClosePortHandle(PortHandle port) {
    if (port == kNoPort) return;
    // Not fatal when it fails: a port that has gone keeps nobody out.
    static_cast<void>(ioctl(Fd(port), TIOCNXCL));
    ::close(Fd(port));
}

bool PortHasGone(PortHandle port) {
    if (port == kNoPort) return true;
    // No events asked for: a hang-up, an error and a closed handle are reported regardless.
    pollfd pfd{Fd(port), 0, 0};
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

std::string DescribeConfigureFailure(const std::string& path, std::uint32_t baudRate,
                                     int errorNumber) {
    return "Cannot set " + path + " to " + std::to_string(baudRate) +
           " baud: " + std::strerror(errorNumber) +
           ". It is used as the driver has set it meanwhile; the link keeps trying.";
}

void SleepMs(int ms) {
    if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

}  // namespace vorna
