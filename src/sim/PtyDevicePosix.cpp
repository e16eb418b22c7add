#include "sim/PtyDevice.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/eventfd.h>
#include <sys/prctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>

namespace vorna::sim {

PtyDevice::PtyDevice(std::string linkPath) : linkPath_(std::move(linkPath)) {}

PtyDevice::~PtyDevice() {
    // Derived classes call Stop() in their destructors; this is the last safety net.
    Stop();
}

std::string PtyDevice::SlavePath() const {
    std::lock_guard lock(mutex_);
    return slavePath_;
}

Status PtyDevice::Start() {
    if (running_) return {};
    // The device may have pulled its own plug: its finished thread and remaining handles go.
    if (thread_.joinable()) Stop();
    pullPlug_ = false;
    // Whatever was made before a step failed is closed as it goes out of scope.
    auto fail = [](const std::string& what, int error) {
        return Problem{ProblemKind::System, what + ": " + std::strerror(error)};
    };
    UniqueFd master(posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC));
    if (!master) return fail("posix_openpt", errno);
    if (grantpt(master.Get()) != 0 || unlockpt(master.Get()) != 0) return fail("unlockpt", errno);
    char name[128];
    if (ptsname_r(master.Get(), name, sizeof name) != 0) return fail("ptsname", errno);
    // Raw from the start: the pair's line discipline must neither echo nor translate bytes
    // before the program has opened and configured its side.
    termios tio{};
    if (tcgetattr(master.Get(), &tio) != 0) return fail("tcgetattr", errno);
    cfmakeraw(&tio);
    if (tcsetattr(master.Get(), TCSANOW, &tio) != 0) return fail("tcsetattr", errno);
    // Holding the slave open keeps the master from reporting a hang-up whenever the program
    // closes its port; only Unplug() really ends the line.
    UniqueFd slaveKeepAlive(::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC));
    if (!slaveKeepAlive) return fail("open slave", errno);
    int flags = fcntl(master.Get(), F_GETFL);
    fcntl(master.Get(), F_SETFL, flags | O_NONBLOCK);
    UniqueFd wake(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
    if (!wake) return fail("eventfd", errno);

    // Publish atomically, replacing a stale link left by an earlier run.
    namespace fs = std::filesystem;
    std::error_code ec;
    const std::string temp = linkPath_ + ".tmp" + std::to_string(getpid());
    fs::remove(temp, ec);
    fs::create_symlink(name, temp, ec);
    if (!ec) fs::rename(temp, linkPath_, ec);
    if (ec) return fail("publishing " + linkPath_, ec.value());
    master_ = std::move(master);
    slaveKeepAlive_ = std::move(slaveKeepAlive);
    wakeFd_ = std::move(wake);
    {
        std::lock_guard lock(mutex_);
        slavePath_ = name;
    }
    OnReset();
    running_ = true;
    thread_ = std::thread([this] { Loop(); });
    return {};
}

void PtyDevice::Stop() {
    if (!running_ && !thread_.joinable()) return;
    running_ = false;
    if (wakeFd_) {
        std::uint64_t one = 1;
        [[maybe_unused]] auto n = ::write(wakeFd_.Get(), &one, sizeof one);
    }
    if (thread_.joinable()) thread_.join();
    std::error_code ec;
    std::filesystem::remove(linkPath_, ec);
    master_.Reset();
    slaveKeepAlive_.Reset();
    wakeFd_.Reset();
    std::lock_guard lock(mutex_);
    slavePath_.clear();
}

void PtyDevice::Send(const std::uint8_t* bytes, std::size_t count, Clock::time_point ready) {
    // 10 bits a byte at 19200 baud.
    constexpr auto kByteTime = std::chrono::nanoseconds(520833);
    for (std::size_t i = 0; i < count;) {
        const std::size_t chunk = paced_ ? 1 : count - i;
        if (paced_) {
            // A byte goes on the line once it is ready and the byte before it has gone, and
            // arrives when it has crossed. The times run on the line's own clock rather than
            // from each wake-up, so a sleep that ends late delays one byte, not all after it.
            lineFree_ = std::max(lineFree_, ready) + kByteTime;
            std::this_thread::sleep_until(lineFree_);
        }
        ssize_t n = ::write(master_.Get(), bytes + i, chunk);
        if (n > 0) {
            i += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno == EAGAIN) {
            pollfd pfd{master_.Get(), POLLOUT, 0};
            if (::poll(&pfd, 1, 1000) <= 0) return;  // nobody reads: drop, like a real line
            continue;
        }
        return;
    }
}

void PtyDevice::HangUp() {
    // Closing both the master and our hold on the slave is what the program sees as the
    // bridge vanishing; Stop() (or Start()) joins this thread and closes the wake handle.
    running_ = false;
    std::error_code ec;
    std::filesystem::remove(linkPath_, ec);
    master_.Reset();
    slaveKeepAlive_.Reset();
}

void PtyDevice::Loop() {
    // A paced line sleeps about a byte time at a time; the default timer slack (50 us) would
    // make each of those bytes late by a tenth.
    prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
    std::uint8_t buffer[512];
    std::vector<std::uint8_t> reply;
    while (running_) {
        pollfd fds[2] = {{master_.Get(), POLLIN, 0}, {wakeFd_.Get(), POLLIN, 0}};
        int r = ::poll(fds, 2, 1000);
        if (r < 0 && errno != EINTR) break;
        if (!running_) break;
        if (r <= 0 || !(fds[0].revents & POLLIN)) continue;
        ssize_t n = ::read(master_.Get(), buffer, sizeof buffer);
        if (n <= 0) continue;
        const auto arrived = Clock::now();
        for (ssize_t i = 0; i < n; ++i) {
            // The device takes the byte in before the line echoes it, so whoever sees the echo
            // also sees what the byte did (a test reading the logs right after a command).
            reply.clear();
            loseEcho_ = false;
            OnByte(buffer[i], reply);
            if (pullPlug_) return HangUp();
            if (!loseEcho_) Send(&buffer[i], 1, arrived);
            if (!reply.empty()) Send(reply.data(), reply.size(), arrived);
        }
    }
}

}  // namespace vorna::sim
