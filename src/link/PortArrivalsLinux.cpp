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

#include "link/PortArrivals.h"

namespace vorna {

struct PortArrivals::State {
    udev* context = nullptr;
    udev_monitor* monitor = nullptr;
    int inotify = -1;
    std::string watchedName;  // the explicit path's last part, in its folder
    int stop = -1;
    std::thread thread;

    ~State() {
        if (monitor) udev_monitor_unref(monitor);
        if (context) udev_unref(context);
        if (inotify >= 0) close(inotify);
        if (stop >= 0) close(stop);
    }

    // udev's "add" of a tty: the node is in place, its rules (permissions, links) applied.
    bool TtyAdded() const {
        udev_device* device = udev_monitor_receive_device(monitor);
        if (device == nullptr) return false;
        const char* action = udev_device_get_action(device);
        const bool added = action != nullptr && std::strcmp(action, "add") == 0;
        udev_device_unref(device);
        return added;
    }

    bool WatchedPathAppeared() const {
        alignas(inotify_event) std::array<char, 4096> buffer{};
        bool appeared = false;
        const ssize_t got = read(inotify, buffer.data(), buffer.size());
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
        fds[count++] = {stop, POLLIN, 0};
        const nfds_t udevAt = monitor ? count++ : 0;
        if (monitor) fds[udevAt] = {udev_monitor_get_fd(monitor), POLLIN, 0};
        const nfds_t inotifyAt = inotify >= 0 ? count++ : 0;
        if (inotify >= 0) fds[inotifyAt] = {inotify, POLLIN, 0};
        for (;;) {
            if (poll(fds.data(), count, -1) < 0) {
                if (errno == EINTR) continue;
                return;
            }
            if (fds[0].revents != 0) return;
            bool appeared = false;
            if (monitor && (fds[udevAt].revents & POLLIN)) appeared = TtyAdded();
            if (inotify >= 0 && (fds[inotifyAt].revents & POLLIN)) {
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
    state->stop = eventfd(0, EFD_CLOEXEC);
    if (state->stop < 0) return;
    state->context = udev_new();
    if (state->context) {
        state->monitor = udev_monitor_new_from_netlink(state->context, "udev");
        if (state->monitor &&
            (udev_monitor_filter_add_match_subsystem_devtype(state->monitor, "tty", nullptr) < 0 ||
             udev_monitor_enable_receiving(state->monitor) < 0)) {
            udev_monitor_unref(state->monitor);
            state->monitor = nullptr;
        }
    }
    if (!where.fixedPath.empty()) {
        const std::filesystem::path path(where.fixedPath);
        std::filesystem::path folder = path.parent_path();
        if (folder.empty()) folder = ".";
        state->inotify = inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
        state->watchedName = path.filename().string();
        if (state->inotify >= 0 &&
            inotify_add_watch(state->inotify, folder.c_str(), IN_CREATE | IN_MOVED_TO) < 0) {
            close(state->inotify);
            state->inotify = -1;
        }
    }
    if (state->monitor == nullptr && state->inotify < 0) return;
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
    while (write(state_->stop, &one, sizeof one) < 0 && errno == EINTR) {
    }
    if (state_->thread.joinable()) state_->thread.join();
    state_.reset();
}

}  // namespace vorna
