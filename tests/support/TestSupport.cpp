#include "support/TestSupport.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <future>
#include <stdexcept>
#include <thread>

namespace vorna::test {

std::filesystem::path PrepareTestProcess() {
    std::signal(SIGPIPE, SIG_IGN);
    std::string home = (std::filesystem::temp_directory_path() / "vorna-test-home-XXXXXX").string();
    if (::mkdtemp(home.data()) == nullptr) return {};
    ::setenv("HOME", home.c_str(), 1);
    ::unsetenv("XDG_DATA_HOME");
    return home;
}

std::string MissingFileWords(bool) {
    return std::strerror(ENOENT);
}

BarePty::BarePty() {
    master_ = posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) {
        throw std::runtime_error("cannot create a pseudo-terminal");
    }
    termios tio{};
    tcgetattr(master_, &tio);
    cfmakeraw(&tio);
    tcsetattr(master_, TCSANOW, &tio);
    slavePath_ = ptsname(master_);
    keepAlive_ = ::open(slavePath_.c_str(), O_RDWR | O_NOCTTY);
}

BarePty::~BarePty() {
    if (keepAlive_ >= 0) ::close(keepAlive_);
    if (master_ >= 0) ::close(master_);
}

void BarePty::Write(const std::vector<std::uint8_t>& bytes) {
    if (!bytes.empty() && ::write(master_, bytes.data(), bytes.size()) < 0) {
        throw std::runtime_error("pseudo-terminal write failed");
    }
}

std::vector<std::uint8_t> BarePty::Read(std::size_t max, int timeoutMs) {
    std::vector<std::uint8_t> out;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (out.size() < max) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                        deadline - std::chrono::steady_clock::now())
                        .count();
        if (left <= 0) break;
        pollfd pfd{master_, POLLIN, 0};
        if (::poll(&pfd, 1, static_cast<int>(left)) <= 0) break;
        std::uint8_t buf[256];
        ssize_t n = ::read(master_, buf, std::min(sizeof buf, max - out.size()));
        if (n <= 0) break;
        out.insert(out.end(), buf, buf + n);
    }
    return out;
}

void RecordingView::ShowLamps(const LampState& lamps) {
    std::lock_guard lock(mutex_);
    events_.push_back({Event::Lamps, {}, lamps, MessageIcon::None});
}

void RecordingView::ShowMessage(const std::string& text, MessageIcon icon) {
    {
        std::lock_guard lock(mutex_);
        events_.push_back({Event::Message, text, {}, icon});
    }
    if (onMessage) onMessage(text);
}

bool RecordingView::AskRetry(const std::string& text, RetryOf) {
    ShowMessage(text, MessageIcon::None);
    std::lock_guard lock(mutex_);
    if (retryAnswers.empty()) return false;
    const bool retry = retryAnswers.front();
    retryAnswers.pop_front();
    return retry;
}

void RecordingView::WriteEnded(const WriteOutcome& outcome) {
    {
        std::lock_guard lock(mutex_);
        writes_.push_back(outcome);
    }
    LinkView::WriteEnded(outcome);
}

void RecordingView::RestoreEnded(const RestoreOutcome& outcome) {
    {
        std::lock_guard lock(mutex_);
        restores_.push_back(outcome);
    }
    LinkView::RestoreEnded(outcome);
}

void RecordingView::UpdateEnded(const UpdateOutcome& outcome) {
    {
        std::lock_guard lock(mutex_);
        updates_.push_back(outcome);
    }
    LinkView::UpdateEnded(outcome);
}

std::vector<WriteOutcome> RecordingView::Writes() const {
    std::lock_guard lock(mutex_);
    return writes_;
}

std::vector<RestoreOutcome> RecordingView::Restores() const {
    std::lock_guard lock(mutex_);
    return restores_;
}

std::vector<UpdateOutcome> RecordingView::Updates() const {
    std::lock_guard lock(mutex_);
    return updates_;
}

void RecordingView::ShowPortProblem(const std::string& text) {
    std::lock_guard lock(mutex_);
    events_.push_back({Event::PortProblem, text, {}, MessageIcon::None});
}

void RecordingView::ShowWriteProgress(const std::string& text) {
    std::lock_guard lock(mutex_);
    events_.push_back({Event::Progress, text, {}, MessageIcon::None});
}

void RecordingView::SettingsApplied() {
    std::lock_guard lock(mutex_);
    events_.push_back({Event::Applied, {}, {}, MessageIcon::None});
}

void RecordingView::DeviceChanged() {
    std::lock_guard lock(mutex_);
    events_.push_back({Event::Device, {}, {}, MessageIcon::None});
}

void RecordingView::DeviceModeChanged(const DeviceMenuState& state, bool selectLinksPage) {
    std::lock_guard lock(mutex_);
    menu_ = state;
    selectLinks_ = selectLinksPage;
    events_.push_back({Event::Mode, {}, {}, MessageIcon::None});
}

std::vector<Event> RecordingView::Events() const {
    std::lock_guard lock(mutex_);
    return events_;
}

std::vector<std::string> RecordingView::Texts(Event::Kind kind) const {
    std::lock_guard lock(mutex_);
    std::vector<std::string> texts;
    for (const auto& e : events_) {
        if (e.kind == kind) texts.push_back(e.text);
    }
    return texts;
}

LampState RecordingView::LastLamps() const {
    std::lock_guard lock(mutex_);
    for (auto it = events_.rbegin(); it != events_.rend(); ++it) {
        if (it->kind == Event::Lamps) return it->lamps;
    }
    return {};
}

DeviceMenuState RecordingView::LastMenu() const {
    std::lock_guard lock(mutex_);
    return menu_;
}

bool RecordingView::LastSelectLinks() const {
    std::lock_guard lock(mutex_);
    return selectLinks_;
}

void RecordingView::Clear() {
    std::lock_guard lock(mutex_);
    events_.clear();
    writes_.clear();
    restores_.clear();
    updates_.clear();
}

Rig::Rig(const std::string& linkPath)
    : stack(BridgeLocation{"/nonexistent", "/dev", linkPath}, setup, firmware, view),
      link(stack.Link()),
      monitor(stack.Monitor()) {}

void Rig::Tick(int times) {
    for (int i = 0; i < times; ++i) stack.Tick();
}

void MakeFifo(const std::filesystem::path& path) {
    if (::mkfifo(path.c_str(), 0644) != 0) {
        throw std::runtime_error("cannot make a FIFO at " + path.string());
    }
}

bool EndsWithoutBlocking(const std::function<void()>& call, const std::filesystem::path& fifo,
                         std::chrono::milliseconds timeout) {
    auto done = std::async(std::launch::async, call);
    if (done.wait_for(timeout) == std::future_status::ready) {
        done.get();
        return true;
    }
    // A reader waits in open() for a writer: give it one, which closes at once (end of file).
    const int writer = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
    if (writer >= 0) ::close(writer);
    done.get();
    return false;
}

}  // namespace vorna::test
