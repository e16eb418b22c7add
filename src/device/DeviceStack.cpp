#include "device/DeviceStack.h"

#include <ctime>
#include <utility>

#include "base/Utf8Path.h"
#include "settings/Profiles.h"

namespace vorna {

DeviceStack::DeviceStack(BridgeLocation location, EscSetupModel& setup, FirmwarePageModel& firmware,
                         LinkView& view)
    : setup_(setup),
      firmware_(firmware),
      location_(location),
      monitor_(link_, std::move(location), setup, firmware, view, thread_),
      esc_(
          link_, setup, firmware, thread_, [this] { return monitor_.Mode() == DeviceMode::Fix; },
          [this] { return monitor_.OddAnswer(); }),
      card_(
          link_, firmware, thread_,
          [this] { return monitor_.CardState() == DeviceState::Connected; },
          [this] { monitor_.CardReplaced(); }),
      updater_(esc_, card_) {
    // Both procedures that replace the ESC's settings keep them first, the same way.
    esc_.backup = [this] { return BackUpEscSettings(setup_, BackupReason::EscFirmwareUpdate); };
    monitor_.Transfer().backup = [this] {
        return BackUpEscSettings(setup_, BackupReason::FactorySettings);
    };
    monitor_.SetFirmwareUpdates(&updater_);
}

DeviceStack::~DeviceStack() {
    Shutdown();
}

void DeviceStack::Start(std::function<void()> afterTick) {
    afterTick_ = std::move(afterTick);
    thread_.Run([this] { Tick(); });
    arrivals_.Start(location_, [this] { PortArrived(); });
}

void DeviceStack::Post(std::function<void()> job) {
    thread_.Post(std::move(job));
}

void DeviceStack::Shutdown() {
    arrivals_.Stop();
    thread_.Shutdown();
}

void DeviceStack::Tick() {
    monitor_.OnTimer();
    if (afterTick_) afterTick_();
}

SettingsBackup BackUpEscSettings(const EscSetupModel& setup, BackupReason reason) {
    const Result<std::filesystem::path> saved =
        BackUpSettings(setup.EscValues(), BackupFolder(), std::time(nullptr), reason);
    if (!saved) return saved.Error();
    return Utf8FromPath(*saved);
}

}  // namespace vorna
