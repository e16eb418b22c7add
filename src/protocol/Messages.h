// Every sentence the device conversation (the poll, settings read / write / restore) and the
// firmware updates say to the user, as constants or as small functions that put the figures
// and names of the moment into them: the short device texts the ESC tools have always shown
// (kept word for word, also as the detail line of a longer message) and the plain sentences
// around them. Not here: what the link layer says about a port (link/); what firmware/ says
// about an image before anything is sent (a refusal naming the file and the place, whom an
// image is for) and the identity texts; what settings/ says about a settings file; and what
// only the window or vornactl says (which menu or command to use next, their words for an
// outcome).
#pragma once

#include <cstddef>
#include <string>
#include <vector>

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
inline constexpr const char* kBecNotConfirmed =
    "The ESC did not confirm the BEC Voltage sent last.";

// "Boost ACC, Lipo Cells": the settings a message names.
inline std::string Listed(const std::vector<std::string>& names) {
    std::string text;
    for (const std::string& name : names) text += (text.empty() ? "" : ", ") + name;
    return text;
}

// The write stopped at pair `index` (from 0) of `count`, named by its caption.
inline std::string PairNotAcknowledged(const std::string& caption, int index, int count) {
    const std::string before = index == 0 ? std::string("none was acknowledged before it")
                                          : std::to_string(index) +
                                                (index == 1 ? " setting was" : " settings were") +
                                                " acknowledged before it";
    return std::string(kSendFail) + "\nThe ESC did not acknowledge " + caption + " (setting " +
           std::to_string(index + 1) + " of " + std::to_string(count) +
           "), so the write stopped there: " + before + ", the rest were not sent.\n" + kMayHoldMix;
}

inline std::string LinkLostDuringWrite(int acknowledged, int pairs) {
    return std::string(kLinkLostDuringWrite) + " (" + std::to_string(acknowledged) + " of " +
           std::to_string(pairs) + " were acknowledged).\n" + kMayHoldMix;
}

// Sent and read back, except the settings the ESC would not tell (its BEC Voltage).
inline std::string SentButNotReadBack(const std::vector<std::string>& names) {
    return "Settings sent, but " + Listed(names) + " could not be read back (" + kBecNotAnswered +
           "), so it is not verified; every other setting sent was read back and matches.";
}

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

// Firmware updates: the sentences around the device's texts.
inline constexpr const char* kEscNothingSent = "Nothing was sent: the ESC is unchanged.";
inline constexpr const char* kCardNothingSent = "Nothing was sent: the program card is unchanged.";
inline constexpr const char* kImageNotSound = "The image does not look sound; not flashed.";

// Whether the device can be used after an update that stopped, by what its firmware is now.
inline constexpr const char* kEscFirmwareUntouched =
    "Its firmware was not touched: the ESC can be used as before.";
inline constexpr const char* kEscFirmwareMayBeIncomplete =
    "Nothing was flashed, but the ESC may have left its firmware to wait for the update: if it "
    "does not answer in Esc mode, it has no working firmware.";
inline constexpr const char* kEscFirmwareIncomplete =
    "Its firmware is only partly replaced: the ESC has no working firmware and will not drive "
    "until the update is repeated.";
inline constexpr const char* kCardFirmwareUntouched =
    "Its firmware was not touched: the card can be used as before.";
inline constexpr const char* kCardFirmwareMayBeIncomplete =
    "The card had opened its update mode, so it may now be without working firmware.";
inline constexpr const char* kCardFirmwareIncomplete =
    "Its firmware is only partly replaced: the card has no working firmware until the update is "
    "repeated.";

// Where an update stopped: "record 3 of 40 (line 5)", "block 2 of 9"; and the steps.
inline std::string EscRecordOf(std::size_t index, std::size_t count, std::size_t line) {
    return "record " + std::to_string(index + 1) + " of " + std::to_string(count) + " (line " +
           std::to_string(line) + ")";
}
inline std::string CardBlockOf(std::size_t index, std::size_t count) {
    return "block " + std::to_string(index + 1) + " of " + std::to_string(count);
}
inline std::string CouldNotBeSent(const std::string& which) {
    return which + " could not be sent";
}
inline std::string DidNotAcknowledge(const std::string& device, const std::string& which) {
    return "the " + device + " did not acknowledge " + which;
}
inline constexpr const char* kEscNoStartAnswer = "the ESC did not answer the start of the update";
inline constexpr const char* kEscNoUpdateMode = "the ESC did not open its update mode";
inline constexpr const char* kEscNotTakingImage = "the ESC did not start taking the image";
inline constexpr const char* kCardNoStart = "the card did not take the start of the update";
inline constexpr const char* kCardNoUpdateMode = "the card did not open its update mode";
inline constexpr const char* kCardNotReady = "the card did not get ready to take the image";
inline std::string CardFoundDamaged(const std::string& which) {
    return "the card found " + which + " damaged";
}
inline std::string CardAskedAgain(const std::string& which) {
    return "the card asked for " + which + " again and again";
}
inline constexpr const char* kFewerBytesSent = "fewer bytes went out than the image holds";

// An update that stopped, for the "ESC" or the "program card": the step, then whether the
// device can be used.
inline std::string UpdateStopped(bool linkLost, const std::string& device, const std::string& step,
                                 const std::string& usable) {
    return (linkLost ? "The link to the " + device + " was lost during the firmware update: "
                     : "The " + device + " firmware update stopped: ") +
           step + ".\n" + usable;
}

// The ESC's settings backup around an update, as a line of its own.
inline std::string EscBackupSavedIn(const std::string& path) {
    return "\nThe ESC's settings from before the update are saved in " + path + ".";
}
inline std::string EscBackupNotSaved(const std::string& why) {
    return "\nIts settings were not saved before the update: " + why;
}
inline constexpr const char* kEscNoBackupInFixMode =
    "\nIn Fix Mode the ESC's settings cannot be read, so no backup was made.";
inline constexpr const char* kEscSettingsNotRead = "the ESC's settings have not been read.";
inline std::string EscNotBackedUp(const std::string& why) {
    return "The ESC's settings could not be saved before the update: " + why +
           "\nSo the update did not start. " + kEscNothingSent;
}

// How an ESC update ended once every record was taken.
inline constexpr const char* kEscUpdateNotConfirmed =
    "The firmware update finished: the ESC took every record, but it did not answer the check "
    "afterwards, so its new firmware could not be confirmed.";
inline std::string EscFlashedAgain(const std::string& firmware) {
    return "ESC firmware flashed again: the ESC reports " + firmware +
           ", the version the image holds and the one it had before.";
}
inline std::string EscFirmwareUnchanged(const std::string& firmware) {
    return "The ESC took every record of the image, but it still reports the firmware it had "
           "before (" +
           firmware +
           "). If the image holds that same version, re-flashing it is fine and nothing more "
           "needs doing; otherwise the ESC did not take the new firmware: check that the image is "
           "the one meant for it.";
}
inline std::string EscUpdated(const std::string& firmware) {
    return "ESC firmware updated. The ESC now reports: " + firmware + ".";
}

// How a card update ended once every block was taken.
inline std::string CardUpdated(std::size_t bytes, std::size_t blocks) {
    return "Program card firmware updated: " + std::to_string(bytes) + " bytes in " +
           std::to_string(blocks) + " blocks.";
}
inline std::string CardNowReports(const std::string& firmware) {
    return " The card now reports " + firmware + ".";
}
inline constexpr const char* kCardVersionNotRead =
    " The card did not answer when asked for its firmware afterwards, so its new version could "
    "not be read; the lamp shows once it answers again.";

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
