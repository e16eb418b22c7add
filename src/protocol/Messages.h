// Every text the device conversation shows the user: the short device texts the ESC tools have
// always shown (kept word for word, also as the detail line of a longer message) and the plain
// sentences around them. The window and vornactl add only what is theirs to say: which menu or
// which command to use next.
#pragma once

#include <cstddef>
#include <string>

namespace vorna::msg {

// The bridge or the device is not there.
inline constexpr const char* kUsbConnectionError = "USB Connection Error!";
inline constexpr const char* kEscConnectionError = "ESC Connection Error!";
inline constexpr const char* kCardConnectionError = "Program Card Connection Error!";
inline constexpr const char* kReadFileError = "Read File Error!";

// Settings: read, write, restore.
inline constexpr const char* kSendFail = "Send fail";
inline constexpr const char* kEndOfWriteFail = "Send Fail";
inline constexpr const char* kBecSetFailed = "BEC Voltage Set Failed!";
inline constexpr const char* kDefaultError = "Default Setting error!";
inline constexpr const char* kNotReadYet =
    "The settings of this ESC have not been read yet, so nothing was sent.";
inline constexpr const char* kNotInEscMode =
    "Settings are sent to an ESC in Esc mode only, so nothing was sent.";
inline constexpr const char* kReadFailed =
    "The settings of this ESC could not be read: it did not answer with a whole settings "
    "record after 6 tries.";
inline constexpr const char* kReadFailedNothingSent =
    "The settings of this ESC could not be read, so nothing was sent.";
inline constexpr const char* kBecNotAnswered = "the ESC did not answer when asked for it";
inline constexpr const char* kRestored = "Factory settings restored.";
inline constexpr const char* kRestoredButReadFailed =
    "The ESC restored its factory settings, but reading them back failed: it did not answer "
    "with a whole settings record.";
inline constexpr const char* kRestoreNotTaken =
    "The ESC did not take the command to restore its factory settings; its settings are as "
    "they were.";
inline constexpr const char* kBackupWhere = "The settings the ESC had before are saved in ";
inline constexpr const char* kBackupFailedNothingRestored =
    "The current settings could not be saved, so the factory settings were not restored.";
inline constexpr const char* kSentAndVerified = "Settings sent and verified";
inline constexpr const char* kSentButDiffers =
    "Settings sent, but the ESC holds other values for: ";
inline constexpr const char* kLinkLostDuringWrite =
    "The link to the ESC was lost while its settings were being sent";
inline constexpr const char* kMayHoldMix =
    "The ESC may now hold a mix of its old and new settings.";
inline constexpr const char* kSentNotVerified =
    "Settings sent, but reading them back failed, so they could not be verified.";
inline constexpr const char* kEndOfWriteNotTaken =
    "Every setting was acknowledged, but the ESC did not take the end of the write, so it may "
    "not keep them.";

// Firmware updates: the device's own texts, kept as the detail line.
inline constexpr const char* kUpdateD6 = "Update Error: TX=0xd6, TX Timeover!";
inline constexpr const char* kUpdateD7 = "Update Error: TX=0xd7, TX Timeover!";
inline constexpr const char* kUpdate39 = "Update Error: TX=0x39, TX Timeover!";
inline constexpr const char* kUpdate31 = "Update Error: TX=0x31, TX Timeover!";
inline constexpr const char* kUpdateNoD8 = "Update Error: TX=0xd7, RX!=0xd8!";
inline constexpr const char* kUpdateNoD7 = "Update Error: TX=0xd6, RX!=0xd7!";
inline constexpr const char* kUpdateDataError = "Update Error: Data transfer error!";
inline constexpr const char* kUpdateNoAck = "Update Error: Data transfer no ack!";
inline constexpr const char* kUpdateCrcError = "Update Error: Data transfer crc error!";
inline constexpr const char* kUpdateTooManyRepeats =
    "Update Error: repeat Data transfer over four time!";
inline constexpr const char* kUpdateCountError = "Update Error: transfer bytes number error!";

// The connection monitor: what answered on the port was not the device the mode expects.
inline constexpr const char* kOddEsc = "a VORNA ESC";
inline constexpr const char* kOddCard = "a VORNA program card";
inline constexpr const char* kOddFix = "an ESC in Fix Mode";
inline std::string OddAnswer(const std::string& port, const char* device,
                             const std::string& detail) {
    return "Something answered on " + port + ", but not as " + device + " does (" + detail + ").";
}
// The details of an odd answer (bytes as 0x.. text). `check`: "ESC", "card", "Fix Mode".
inline std::string OddToCheck(const std::string& said, const char* check, const std::string& probe,
                              const std::string& expected) {
    return "it said " + said + " to the " + check + " check " + probe + ", where " + expected;
}
inline std::string NoIdentitySent(const std::string& identify) {
    return "it answered the check but sent no identity when asked (" + identify + ")";
}
inline std::string ShortIdentity(std::size_t got, const char* device) {
    return "its identity came " + std::to_string(got) + " bytes long, where " + device + " sends 7";
}
inline std::string IdentityWithoutMark(const std::string& identity, const std::string& mark) {
    return "its identity " + identity + " lacks the mark " + mark + " in its second byte";
}
inline std::string HalfCardAnswer(const std::string& probe) {
    return "it sent 1 of the 2 bytes a program card answers to its check " + probe;
}
inline constexpr const char* kReadFailedRetried =
    "\nIts settings are not shown until a read succeeds; the read is tried again every few "
    "seconds.";

}  // namespace vorna::msg
