// How a procedure on the device ended: writing settings, restoring the factory settings, and
// the two firmware updates. Each outcome says what happened, in plain words (`message`), what
// the device holds now, and what the user can do next (`next`). The window and vornactl word
// `next` themselves (a menu there, a command here); nobody reads an outcome back out of a text.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "base/Result.h"

namespace vorna {

// What the user can do next, for the front end to put in its own words.
enum class NextStep {
    None,
    WaitForRead,        // the settings are read by themselves; send again once they are shown
    ChooseEsc,          // settings go to an ESC in Esc mode
    Reconnect,          // plug the link in, connect and switch on the device, then try again
    SendAgain,          // the ESC answered: sending again may go through
    ReadBeforeDriving,  // its settings may be a mix of old and new: read them before driving
    TryAgain,           // the update did not start: the device is as it was; try again
    RepairEsc,          // the ESC's firmware is or may be incomplete: flash again in Fix Mode
    FlashCardAgain,     // the card's firmware is or may be incomplete: flash the card again
};

// A settings backup written before something replaced the ESC's settings: the file written
// (its name in UTF-8), or the problem that kept it from being written. An outcome holds none
// when no backup was made nor tried (none asked for, or nothing of the ESC was read).
using SettingsBackup = Result<std::string>;

// The file a backup wrote, or nothing.
inline const std::string* SavedBackup(const std::optional<SettingsBackup>& backup) {
    return backup && backup->Ok() ? &backup->Value() : nullptr;
}
// Why a backup that was tried could not be written, or nothing.
inline const Problem* FailedBackup(const std::optional<SettingsBackup>& backup) {
    return backup && !backup->Ok() ? &backup->Error() : nullptr;
}

struct [[nodiscard]] WriteOutcome {
    enum class Result {
        Sent,             // the pairs went out; the read-back on the next tick ends the write
        Refused,          // nothing was sent (no link, no ESC, its settings not read, not Esc mode)
        NotAcknowledged,  // the ESC did not acknowledge a pair, so the write stopped there
        LinkLost,         // the link went away during the write
        EndNotTaken,      // the pairs were taken, the end of the write was not
        NotVerified,      // nothing, or not every setting sent, could be read back
        Differs,          // read back, the ESC holds other values for some settings
        Verified,         // read back, the ESC holds every setting sent
    };
    Result result = Result::Refused;
    std::string message;  // empty for Sent
    NextStep next = NextStep::None;
    int acknowledged = 0;                  // pairs the ESC acknowledged
    int pairs = 0;                         // pairs the write sends
    std::vector<std::string> differing;    // captions, for Differs
    std::vector<std::string> notReadBack;  // captions of settings sent that could not be read
    bool asked = false;  // the user answered a Retry question with this message: no more to say
    bool Done() const { return result == Result::Verified; }
};

struct [[nodiscard]] RestoreOutcome {
    enum class Result {
        Refused,      // nothing was sent (no link, no ESC, its settings not read)
        NoBackup,     // the ESC's settings could not be saved first, so nothing was sent
        NotTaken,     // the ESC did not take the command
        NotReadBack,  // restored, but the restored settings could not be read
        Restored,
    };
    Result result = Result::Refused;
    std::string message;
    NextStep next = NextStep::None;
    std::optional<SettingsBackup> backup;
    bool asked = false;  // the user answered a Retry question with this message: no more to say
    bool Done() const { return result == Result::Restored; }
};

struct [[nodiscard]] UpdateOutcome {
    enum class Device { Esc, Card };
    enum class Result {
        Refused,    // the image was refused: nothing was sent
        NoDevice,   // no link or no device to update: nothing was sent
        Declined,   // the user chose not to flash a doubtful image: nothing was sent
        NoBackup,   // the ESC's settings could not be saved first, so nothing was sent
        Failed,     // the update stopped (the device did not answer as it should)
        LinkLost,   // the link went away during the update
        Unchanged,  // every record was taken, but the ESC reports the firmware it had before
        Finished,   // (also when the image held the very firmware the ESC had: a re-flash)
    };
    // What the device's firmware is now, as far as can be told.
    enum class Firmware { Untouched, MayBeIncomplete, Incomplete, Replaced };

    Device device = Device::Esc;
    Result result = Result::Refused;
    Firmware firmware = Firmware::Untouched;
    std::string message;     // what happened and whether the device can be used, in plain words
    std::string deviceText;  // the update's own short text ("Update Error: ..."), as a detail
    NextStep next = NextStep::None;
    std::size_t sent = 0;        // image bytes the device acknowledged
    std::size_t total = 0;       // image bytes in all
    bool identified = false;     // an ESC answered the check after the update
    std::string firmwareBefore;  // the ESC's firmware text before the update, when known
    std::string firmwareNow;     // ... and after, when it answered the check
    std::optional<SettingsBackup> backup;
    bool sameFirmware = false;  // Finished: the image held the firmware the ESC already had
    bool Done() const { return result == Result::Finished; }
};

}  // namespace vorna
