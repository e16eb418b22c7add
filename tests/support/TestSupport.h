// Shared pieces of the tests: temporary folders, a bare pseudo-terminal the test drives by
// hand, a recorder of what the user would see, and a rig: the device stack pointed at a
// simulated device, ticked by the test itself.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <ostream>
#include <string>
#include <vector>

#include "device/DeviceStack.h"
#include "firmware/FirmwarePageModel.h"
#include "link/UsbUart.h"
#include "protocol/ConnectionMonitor.h"
#include "protocol/LinkView.h"
#include "protocol/PollTimer.h"
#include "settings/EscSetupModel.h"
#include "settings/Profiles.h"
#include "sim/SimulatedCard.h"
#include "sim/SimulatedEsc.h"

namespace vorna {

// Test messages name a list by its ordinal.
inline std::ostream& operator<<(std::ostream& out, ParamId id) {
    return out << "ParamId " << static_cast<int>(id);
}

}  // namespace vorna

namespace vorna::test {

// What a refused result said, or nothing when it succeeded: for checks and test messages.
template <typename T>
std::string Why(const Result<T>& result) {
    return result ? std::string() : result.Detail();
}
inline std::string Why(const ImportOutcome& outcome) {
    return outcome.refusal ? outcome.refusal->detail : std::string();
}
// The file a settings backup wrote; empty when none was.
inline std::string BackupPath(const std::optional<SettingsBackup>& backup) {
    const std::string* saved = SavedBackup(backup);
    return saved ? *saved : std::string();
}

class TempDir {
public:
    TempDir();
    ~TempDir();
    const std::filesystem::path& Path() const { return path_; }
    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

// Whole files as bytes, for tests that lay out or inspect what the program reads and writes.
void WriteText(const std::filesystem::path& file, const std::string& text);
std::string ReadText(const std::filesystem::path& file);

// Readies the test program: a write to a pseudo-terminal whose other end has gone fails instead
// of killing it, and backups and the user's own files go to a fresh temporary home, never the
// real one; returns that home, to be removed at the end. On Windows it returns nothing: the
// user's folder is the one the shell names, and the Windows tests run in a fresh Wine prefix.
std::filesystem::path PrepareTestProcess();

// The system's words for a file that is not there, as messages quote them; `folderOnTheWay`:
// a folder on its way is missing (Windows words that apart).
std::string MissingFileWords(bool folderOnTheWay = false);

// A pseudo-terminal whose device side the test plays itself.
class BarePty {
public:
    BarePty();
    ~BarePty();
    const std::string& SlavePath() const { return slavePath_; }
    void Write(const std::vector<std::uint8_t>& bytes);
    // Whatever arrived within `timeoutMs`, up to `max` bytes.
    std::vector<std::uint8_t> Read(std::size_t max, int timeoutMs);

private:
    int master_ = -1;
    int keepAlive_ = -1;
    std::string slavePath_;
};

struct Event {
    enum Kind { Lamps, Message, PortProblem, Progress, Applied, Device, Mode } kind;
    std::string text;
    LampState lamps;
    MessageIcon icon = MessageIcon::None;
};

class RecordingView : public LinkView {
public:
    void ShowLamps(const LampState& lamps) override;
    void ShowMessage(const std::string& text, MessageIcon icon) override;
    // Recorded as a message; answered from `retryAnswers` (Cancel when it runs out).
    bool AskRetry(const std::string& text, RetryOf what) override;
    // Kept, and their messages recorded as messages.
    void WriteEnded(const WriteOutcome& outcome) override;
    void RestoreEnded(const RestoreOutcome& outcome) override;
    void UpdateEnded(const UpdateOutcome& outcome) override;
    void ShowPortProblem(const std::string& text) override;
    void ShowWriteProgress(const std::string& text) override;
    void SettingsApplied() override;
    void DeviceChanged() override;
    void DeviceModeChanged(const DeviceMenuState& state, bool selectLinksPage) override;

    std::vector<Event> Events() const;
    std::vector<std::string> Texts(Event::Kind kind) const;
    LampState LastLamps() const;
    DeviceMenuState LastMenu() const;
    bool LastSelectLinks() const;
    std::vector<WriteOutcome> Writes() const;
    std::vector<RestoreOutcome> Restores() const;
    std::vector<UpdateOutcome> Updates() const;
    void Clear();

    // Runs when a message is shown, as if the user did something before dismissing it.
    std::function<void(const std::string&)> onMessage;
    std::deque<bool> retryAnswers;

private:
    mutable std::mutex mutex_;
    std::vector<Event> events_;
    std::vector<WriteOutcome> writes_;
    std::vector<RestoreOutcome> restores_;
    std::vector<UpdateOutcome> updates_;
    DeviceMenuState menu_;
    bool selectLinks_ = false;
};

// The device stack as the window and vornactl build it, pointed at `linkPath`, with a view that
// records; the test ticks it itself (its thread is not started).
struct Rig {
    explicit Rig(const std::string& linkPath);
    void Tick(int times = 1);

    EscSetupModel setup;
    FirmwarePageModel firmware;
    RecordingView view;
    DeviceStack stack;
    UsbUart& link;
    ConnectionMonitor& monitor;
    // The poll timer as the procedures leave it.
    bool TimerRunning() { return stack.Thread().TimerRunning(); }
    int TimerPeriodMs() { return stack.Thread().PeriodMs(); }
};

// How often `byte` occurs in `bytes` (commands a simulated device received, for instance).
inline int Count(const std::vector<std::uint8_t>& bytes, std::uint8_t byte) {
    return static_cast<int>(std::count(bytes.begin(), bytes.end(), byte));
}

// Waits up to `timeout` for `condition`; for the odd event that happens on another thread.
bool WaitFor(const std::function<bool()>& condition,
             std::chrono::milliseconds timeout = std::chrono::seconds(10));

// Makes a FIFO (named pipe) at `path`; throws when it cannot.
void MakeFifo(const std::filesystem::path& path);

// Runs `call` on a thread of its own; true when it ended within `timeout`. When it did not (it
// waits in opening `fifo` for a writer), the FIFO is opened for writing once to set it free, so
// a test that finds blocking fails instead of hanging.
bool EndsWithoutBlocking(const std::function<void()>& call, const std::filesystem::path& fifo,
                         std::chrono::milliseconds timeout = std::chrono::seconds(5));

}  // namespace vorna::test
