// The serial port on Linux: a tty opened exclusively, termios for the line, poll() for the
// time-outs.
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

#include "base/PosixHandles.h"
#include "link/SerialPort.h"

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

std::string SystemWords(int error) {
    return std::strerror(error);
}

}  // namespace

struct SerialPort::Parts {
    UniqueFd fd;
};

SerialPort::SerialPort() = default;
SerialPort::SerialPort(std::unique_ptr<Parts> parts) : parts_(std::move(parts)) {}
SerialPort::~SerialPort() {
    Close();
}
SerialPort::SerialPort(SerialPort&&) noexcept = default;
SerialPort& SerialPort::operator=(SerialPort&& other) noexcept {
    if (this != &other) {
        Close();
        parts_ = std::move(other.parts_);
    }
    return *this;
}

Result<SerialPort> SerialPort::Open(const std::string& path, const HolderSearch& holders) {
    UniqueFd fd(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (!fd) {
        const int error = errno;
        switch (error) {
            case ENOENT:
            case ENODEV:
            case ENXIO:
                return Problem{ProblemKind::Missing, SystemWords(error)};
            case EACCES:
            case EPERM:
                return Problem{ProblemKind::NoPermission, SystemWords(error)};
            case EBUSY:
                return Problem{ProblemKind::PortBusy, FindPortHolder(path, holders)};
            default:
                return Problem{ProblemKind::CannotOpen, SystemWords(error)};
        }
    }
    if (!isatty(fd.Get())) return Problem{ProblemKind::NotAPort, SystemWords(ENOTTY)};
    // TIOCEXCL alone does not stop root; the advisory lock catches a second copy of this
    // program and terminal programs that honour locks.
    if (flock(fd.Get(), LOCK_EX | LOCK_NB) != 0) {
        fd.Reset();
        return Problem{ProblemKind::PortBusy, FindPortHolder(path, holders)};
    }
    if (ioctl(fd.Get(), TIOCEXCL) != 0) {
        // Not fatal: the lock above already keeps cooperating programs away.
    }
    auto parts = std::make_unique<Parts>();
    parts->fd = std::move(fd);
    return SerialPort(std::move(parts));
}

Result<SerialPort> SerialPort::Adopt(PortHandle handle) {
    if (handle == kNoPort) return Problem{ProblemKind::CannotOpen, SystemWords(EBADF)};
    auto parts = std::make_unique<Parts>();
    parts->fd.Reset(static_cast<int>(handle));
    return SerialPort(std::move(parts));
}

bool SerialPort::IsOpen() const {
    return parts_ && parts_->fd.Valid();
}

PortHandle SerialPort::Handle() const {
    return IsOpen() ? parts_->fd.Get() : kNoPort;
}

Status SerialPort::Configure(std::uint32_t baudRate) {
    const int fd = static_cast<int>(Handle());
    termios tio{};
    if (tcgetattr(fd, &tio) != 0) return Problem{ProblemKind::CannotSetUp, SystemWords(errno)};
    cfmakeraw(&tio);
    tio.c_cflag &= ~static_cast<tcflag_t>(CSTOPB | PARENB | CSIZE | CRTSCTS);
    tio.c_cflag |= CS8 | CLOCAL | CREAD;
    tio.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    cfsetispeed(&tio, SpeedFor(baudRate));
    cfsetospeed(&tio, SpeedFor(baudRate));
    if (tcsetattr(fd, TCSANOW, &tio) != 0) {
        return Problem{ProblemKind::CannotSetUp, SystemWords(errno)};
    }
    return {};
}

Result<std::size_t> SerialPort::Read(std::uint8_t* dest, std::size_t count, int timeoutMs) {
    if (!IsOpen()) return Problem{ProblemKind::System, SystemWords(EBADF)};
    const int fd = parts_->fd.Get();
    std::size_t got = 0;
    // What came before a failure counts: the failure shows again on the next call.
    const auto failed = [&](int error) -> Result<std::size_t> {
        if (got > 0) return got;
        return Problem{ProblemKind::System, SystemWords(error)};
    };
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (got < count) {
        ssize_t n = ::read(fd, dest + got, count - got);
        if (n > 0) {
            got += static_cast<std::size_t>(n);
            continue;
        }
        // In raw mode with no minimum count an empty queue reads as 0 bytes, not EAGAIN;
        // a port that has really gone fails with EIO and shows up in poll() below.
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) return failed(errno);
        int left = RemainingMs(deadline);
        if (left <= 0) return got;
        pollfd pfd{fd, POLLIN, 0};
        int r = ::poll(&pfd, 1, left);
        if (r < 0 && errno != EINTR) return failed(errno);
        if (r > 0 && (pfd.revents & (POLLERR | POLLNVAL))) return failed(EIO);
        if (r > 0 && (pfd.revents & POLLHUP) && !(pfd.revents & POLLIN)) return failed(EIO);
    }
    return got;
}

Result<std::size_t> SerialPort::Write(const std::uint8_t* src, std::size_t count, int timeoutMs) {
    if (!IsOpen()) return Problem{ProblemKind::System, SystemWords(EBADF)};
    const int fd = parts_->fd.Get();
    std::size_t written = 0;
    const auto failed = [&](int error) -> Result<std::size_t> {
        if (written > 0) return written;
        return Problem{ProblemKind::System, SystemWords(error)};
    };
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (written < count) {
        ssize_t n = ::write(fd, src + written, count - written);
        if (n > 0) {
            written += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) return failed(errno);
        int left = RemainingMs(deadline);
        if (left <= 0) return written;
        pollfd pfd{fd, POLLOUT, 0};
        int r = ::poll(&pfd, 1, left);
        if (r < 0 && errno != EINTR) return failed(errno);
        if (r > 0 && (pfd.revents & (POLLERR | POLLHUP | POLLNVAL))) return failed(EIO);
    }
    return written;
}

void SerialPort::Purge(bool input, bool output) {
    if (!IsOpen()) return;
    const int fd = parts_->fd.Get();
    if (input && output) {
        tcflush(fd, TCIOFLUSH);
    } else if (input) {
        tcflush(fd, TCIFLUSH);
    } else if (output) {
        tcflush(fd, TCOFLUSH);
    }
}

void SerialPort::Close() {
    if (!IsOpen()) return;
    // Not fatal when it fails: a port that has gone keeps nobody out.
    static_cast<void>(ioctl(parts_->fd.Get(), TIOCNXCL));
    parts_.reset();
}

bool SerialPort::HasGone() const {
    if (!IsOpen()) return true;
    // No events asked for: a hang-up, an error and a closed handle are reported regardless.
    pollfd pfd{parts_->fd.Get(), 0, 0};
    if (::poll(&pfd, 1, 0) < 0) return false;
    return (pfd.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
}

void SleepMs(int ms) {
    if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

}  // namespace vorna
