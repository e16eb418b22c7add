#include <libudev.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <thread>

#include "base/PosixHandles.h"
#include "link/PortArrivals.h"

namespace vorna {

namespace {

void ReleaseUdev(udev* context) {
    udev_unref(context);
}
void ReleaseMonitor(udev_monitor* monitor) {
    udev_monitor_unref(monitor);
}
void ReleaseDevice(udev_device* device) {
    udev_device_unref(device);
}

using UniqueUdev = UniqueHandle<udev*, 0, &ReleaseUdev>;
using UniqueMonitor = UniqueHandle<udev_monitor*, 0, &ReleaseMonitor>;
using UniqueDevice = UniqueHandle<udev_device*, 0, &ReleaseDevice>;

}  // namespace

struct PortArrivals::State {
    // Declared in the order they may go: the monitor before its context.
    UniqueUdev context;
    UniqueMonitor monitor;
    UniqueFd inotify;
    std::string watchedName;  // the explicit path's last part, in its folder
    UniqueFd stop;
    std::thread thread;

    // udev's "add" of a tty: the node is in place, its rules (permissions, links) applied.
    bool TtyAdded() const {
        const UniqueDevice device(udev_monitor_receive_device(monitor.Get()));
        if (!device) return false;
        const char* action = udev_device_get_action(device.Get());
        return action != nullptr && std::strcmp(action, "add") == 0;
    }

    bool WatchedPathAppeared() const {
        alignas(inotify_event) std::array<char, 4096> buffer{};
        bool appeared = false;
        const ssize_t got = read(inotify.Get(), buffer.data(), buffer.size());
        for (ssize_t at = 0; at + static_cast<ssize_t>(sizeof(inotify_event)) <= got;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer.data() + at);
            if (event->len > 0 && watchedName == event->name) appeared = true;
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        }
        return appeared;
    }

    void Listen(const std::function<void()>& arrived) {
        std::array<pollfd, 3> fds{};
        nfds_t count = 0;
        fds[count++] = {stop.Get(), POLLIN, 0};
        const nfds_t udevAt = monitor ? count++ : 0;
        if (monitor) fds[udevAt] = {udev_monitor_get_fd(monitor.Get()), POLLIN, 0};
        const nfds_t inotifyAt = inotify ? count++ : 0;
        if (inotify) fds[inotifyAt] = {inotify.Get(), POLLIN, 0};
        for (;;) {
            if (poll(fds.data(), count, -1) < 0) {
                if (errno == EINTR) continue;
                return;
            }
            if (fds[0].revents != 0) return;
            bool appeared = false;
            if (monitor && (fds[udevAt].revents & POLLIN)) appeared = TtyAdded();
            if (inotify && (fds[inotifyAt].revents & POLLIN)) {
                appeared = WatchedPathAppeared() || appeared;
            }
            if (appeared) arrived();
        }
    }
};

PortArrivals::PortArrivals() = default;

PortArrivals::~PortArrivals() {
    Stop();
}

void PortArrivals::Start(const BridgeLocation& where, std::function<void()> arrived) {
    if (state_) return;
    auto state = std::make_unique<State>();
    state->stop.Reset(eventfd(0, EFD_CLOEXEC));
    if (!state->stop) return;
    state->context.Reset(udev_new());
    if (state->context) {
        state->monitor.Reset(udev_monitor_new_from_netlink(state->context.Get(), "udev"));
        udev_monitor* monitor = state->monitor.Get();
        if (monitor &&
            (udev_monitor_filter_add_match_subsystem_devtype(monitor, "tty", nullptr) < 0 ||
             udev_monitor_enable_receiving(monitor) < 0)) {
            state->monitor.Reset();
        }
    }
    if (!where.fixedPath.empty()) {
        const std::filesystem::path path(where.fixedPath);
        std::filesystem::path folder = path.parent_path();
        if (folder.empty()) folder = ".";
        state->inotify.Reset(inotify_init1(IN_CLOEXEC | IN_NONBLOCK));
        state->watchedName = path.filename().string();
        if (state->inotify &&
            inotify_add_watch(state->inotify.Get(), folder.c_str(), IN_CREATE | IN_MOVED_TO) < 0) {
            state->inotify.Reset();
        }
    }
    if (!state->monitor && !state->inotify) return;
    State* listening = state.get();
    state->thread =
        std::thread([listening, arrived = std::move(arrived)] { listening->Listen(arrived); });
    state_ = std::move(state);
}

void PortArrivals::Stop() {
    if (!state_) return;
    const std::uint64_t one = 1;
    // Adding one to an eventfd's count fails only on an interrupted call: the listener must hear
    // it, or the join below would wait for ever.
    while (write(state_->stop.Get(), &one, sizeof one) < 0 && errno == EINTR) {
    }
    if (state_->thread.joinable()) state_->thread.join();
    state_.reset();
}

}  // namespace vorna
