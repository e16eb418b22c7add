// flash-esc and flash-card: the image is read and checked before the port is opened, the device
// is found, and the update runs from the tick while quit signals are held; the command prints
// from the update's outcome.
#include <filesystem>
#include <optional>
#include <ostream>
#include <sstream>

#include "base/Utf8Path.h"
#include "cli/Commands.h"
#include "cli/OutcomeWords.h"
#include "cli/QuitSignals.h"
#include "cli/TerminalText.h"
#include "cli/TransferProgress.h"
#include "firmware/FirmwareCatalogue.h"
#include "firmware/FirmwareImages.h"
#include "firmware/ShippedImages.h"

namespace vorna::cli {
namespace {

using namespace std::chrono_literals;
using Kind = FirmwarePageLink::DeviceKind;

// Runs the update `request` asks for and waits for its outcome, with the quit signals held and
// the progress drawn; nothing when it did not end within `budget`.
std::optional<UpdateOutcome> RunUpdate(Session& session, Kind kind, TransferProgress& progress,
                                       const std::function<void(DeviceStack&)>& request,
                                       std::chrono::milliseconds budget) {
    session.firmware.SetListener([&session, &progress, kind] {
        progress.Percent(session.firmware.Progress(kind));
        if (const auto sent = session.firmware.Sent(kind)) progress.Bytes(sent->sent, sent->total);
    });
    session.view.TakeUpdate();
    std::optional<UpdateOutcome> outcome;
    {
        const QuitSignalsHeld held("the firmware update");
        session.Do(request);
        session.WaitAfterTicks(
            [&](ConnectionMonitor&) {
                outcome = session.view.TakeUpdate();
                return outcome.has_value();
            },
            budget);
    }
    session.firmware.SetListener(nullptr);
    progress.End();
    return outcome;
}

// A failed update in vornactl's words: what happened, whether the device works, what to do
// (`image` is the one to repair with; empty when none is known), and the device's own text;
// exit 3 when nothing was sent for a file's sake (a refused image, no backup), else 1.
int Failed(const UpdateOutcome& outcome, const std::string& image, std::ostream& err) {
    err << FailureLines(outcome.message, outcome.next, outcome.deviceText, image);
    using Result = UpdateOutcome::Result;
    return outcome.result == Result::Refused || outcome.result == Result::NoBackup ? kExitFile
                                                                                   : kExitDevice;
}

}  // namespace

// Replaces the ESC's firmware with IMAGE (any .mmc file). The image is read and checked before
// the port is opened: a refused image, or a suspect one without --force, exits 3 with no byte
// sent. In Esc mode the ESC must be identified first: an image made for another family is
// refused without --other-family, and its settings are saved as a backup, without which the
// update does not start unless --no-backup says so. With --fix the update starts in Fix Mode,
// also without an identified ESC, where neither can be done.
int FlashEsc(const Options& o, std::ostream& out, std::ostream& err) {
    std::string imageArg;
    bool fix = false;
    bool force = false;
    bool otherFamily = false;
    bool noBackup = false;
    for (const std::string& a : o.args) {
        if (a == "--fix") {
            fix = true;
        } else if (a == "--force") {
            force = true;
        } else if (a == "--other-family") {
            otherFamily = true;
        } else if (a == "--no-backup") {
            noBackup = true;
        } else if (!a.empty() && a[0] == '-') {
            err << "vornactl: unknown argument to flash-esc: " << Shown(a) << "\n" << kUsage;
            return kExitUsage;
        } else if (imageArg.empty()) {
            imageArg = a;
        } else {
            err << "vornactl: flash-esc takes one image file\n" << kUsage;
            return kExitUsage;
        }
    }
    if (imageArg.empty()) {
        err << "vornactl: flash-esc needs an image file\n" << kUsage;
        return kExitUsage;
    }
    const std::filesystem::path image = PathFromUtf8(imageArg);
    const auto read = ReadEscImage(image);
    if (!read.Ok()) {
        err << "vornactl: image refused: " << Shown(read.Detail()) << "\nNothing was sent.\n";
        return ExitCodeFor(read.Error());
    }
    const std::filesystem::path dataFolder = ShippedDataFor(o);
    const std::vector<ShippedImage> manifest = ReadManifest(dataFolder);
    const std::size_t records = read.Value().records.size();
    if (!force) {
        if (const ImageCheck altered =
                CheckImage(image, records, Kind::Esc, manifest, std::nullopt);
            altered.origin == ImageCheck::Origin::Altered) {
            err << "vornactl: " << Shown(CheckWords(altered, std::nullopt))
                << "\nNothing was sent. Use --force to flash it anyway.\n";
            return kExitFile;
        }
    }
    if (read.Value().firstSuspectLine && !force) {
        err << "vornactl: the image does not look sound: "
            << Shown(SuspectText(read.Value(), image))
            << "\nNothing was sent. Use --force to flash it anyway.\n";
        return kExitFile;
    }

    // Declared first: the link thread may draw it until the session has stopped.
    TransferProgress progress(err, o.errTerminal);
    Session session(LocationFor(o), err, o.trace);
    if (fix) {
        // In Fix Mode the update goes on although nothing answered: the ESC's boot loader may
        // answer only the update's own handshake. Not without a port, though.
        LinkSeen seen;
        std::ostringstream why;
        if (!WaitForDevice(session, o, DeviceMode::Fix,
                           "nothing answered in Fix Mode; trying the update anyway.", why, &seen)) {
            if (!seen.bridge || seen.portFailure) {
                err << why.str();
                return kExitDevice;
            }
            err << (seen.oddAnswer.empty()
                        ? why.str()
                        : "vornactl: " + Shown(seen.oddAnswer) + " Trying the update anyway.\n");
        }
    } else if (int rc = ConnectEsc(session, o, err,
                                   " If an update failed before, the ESC may be waiting in its "
                                   "boot loader: try flash-esc with --fix.");
               rc != kExitOk) {
        return rc;
    }

    // Whom the image is for, against the ESC that answered (nothing can be told in Fix Mode).
    std::optional<EscKind> esc;
    if (!fix) esc = EscKindOf(session.firmware.Identity().data());
    const ImageCheck check = CheckImage(image, records, Kind::Esc, manifest, esc);
    const std::string fitWords = CheckWords(check, esc);
    if (check.OtherFamily() && !otherFamily) {
        err << "vornactl: " << Shown(fitWords)
            << "\nNothing was sent. Use --other-family to flash it anyway.\n";
        return kExitFile;
    }
    if (!fitWords.empty()) err << "vornactl: " << Shown(fitWords) << "\n";
    if (fix) {
        err << "vornactl: in Fix Mode the ESC's settings cannot be read, so no backup of them is "
               "made.\n";
    }
    // After a failed update the ESC is repaired with a sound image made for it: not with this
    // one when it was doubtful or made for other ESCs.
    std::string repairImage = Utf8FromPath(image);
    if (force || check.OtherFamily() || check.origin == ImageCheck::Origin::Altered) {
        const std::optional<ShippedImage> sound =
            esc ? ShippedImageFor(manifest, *esc) : std::nullopt;
        repairImage =
            sound ? Utf8FromPath(dataFolder / kFirmwareFolderName / PathFromUtf8(sound->file)) : "";
    }

    // Each record may take its reply time-out and the read-back of its bytes.
    const auto budget =
        std::chrono::seconds(o.timeoutSec + 10) + records * std::chrono::milliseconds(2500);
    const std::optional<UpdateOutcome> outcome = RunUpdate(
        session, Kind::Esc, progress,
        [&](DeviceStack& stack) {
            if (force) stack.Esc().confirmSuspect = [](const std::string&) { return true; };
            if (noBackup) stack.Esc().confirmNoBackup = [](const std::string&) { return true; };
            stack.Esc().Request(image);
        },
        std::chrono::duration_cast<std::chrono::milliseconds>(budget));
    if (!outcome) {
        err << "vornactl: the update did not end in time; the ESC may now be without working "
               "firmware.\n"
            << "vornactl: what to do: " << NextStepWords(NextStep::RepairEsc, repairImage) << "\n";
        return kExitDevice;
    }
    if (!outcome->Done()) return Failed(*outcome, repairImage, err);
    if (outcome->sameFirmware) {
        out << "ESC firmware flashed again from " << Shown(Utf8FromPath(image))
            << ": the ESC reports " << Shown(outcome->firmwareNow)
            << ", the version the image holds and the one it had before.\n";
    } else {
        out << "ESC firmware updated from " << Shown(Utf8FromPath(image)) << ".\n";
        if (outcome->identified) {
            out << "The ESC now reports: " << Shown(outcome->firmwareNow) << "\n";
        } else {
            out << "The ESC took every record but did not answer the check after the update, so "
                   "its new firmware could not be confirmed.\n";
        }
    }
    if (const std::string* saved = SavedBackup(outcome->backup)) {
        out << "Its settings from before the update are saved in " << Shown(*saved) << ".\n";
    } else if (const Problem* failed = FailedBackup(outcome->backup)) {
        out << "Its settings were not saved before the update (--no-backup): "
            << Shown(failed->detail) << "\n";
    }
    return kExitOk;
}

int FlashCard(const Options& o, std::ostream& out, std::ostream& err) {
    std::vector<std::string> files;
    bool force = false;
    for (const std::string& a : o.args) {
        if (a == "--force") {
            force = true;
        } else if (!a.empty() && a[0] == '-') {
            err << "vornactl: unknown argument to flash-card: " << Shown(a) << "\n" << kUsage;
            return kExitUsage;
        } else {
            files.push_back(a);
        }
    }
    if (files.size() != 1) {
        err << "vornactl: flash-card takes one card image\n" << kUsage;
        return kExitUsage;
    }
    const std::filesystem::path imagePath = PathFromUtf8(files[0]);
    // Checked before the port is even opened: a refused image never reaches the card.
    const Result<CardImage> image = ReadCardImage(imagePath);
    if (!image.Ok()) {
        err << "vornactl: " << Shown(image.Detail()) << "; nothing was sent.\n";
        return ExitCodeFor(image.Error());
    }
    // A card image has no end mark: a copy of the shipped image cut at a block's end reads as a
    // whole image, and only its size and hash give it away.
    const std::vector<ShippedImage> manifest = ReadManifest(ShippedDataFor(o));
    const ImageCheck check =
        CheckImage(imagePath, image.Value().blocks.size(), Kind::Card, manifest, std::nullopt);
    if (check.origin == ImageCheck::Origin::Altered && !force) {
        err << "vornactl: " << Shown(CheckWords(check, std::nullopt))
            << "\nNothing was sent. Use --force to flash it anyway.\n";
        return kExitFile;
    }
    if (const std::string sizes = CardSizeWords(check, manifest); !sizes.empty()) {
        err << "vornactl: " << Shown(sizes) << "\n";
    }

    TransferProgress progress(err, o.errTerminal);
    Session session(LocationFor(o), err, o.trace);
    if (!WaitForDevice(session, o, DeviceMode::Card,
                       "no program card answered within " + std::to_string(o.timeoutSec) +
                           " s. Is the card connected to the link?",
                       err)) {
        return kExitDevice;
    }
    // Each block may be sent four times and each send waits up to two seconds for the card.
    const auto budget = std::chrono::seconds(60) + image.Value().blocks.size() * 10s;
    const std::optional<UpdateOutcome> outcome = RunUpdate(
        session, Kind::Card, progress, [&](DeviceStack& stack) { stack.Card().Request(imagePath); },
        std::chrono::duration_cast<std::chrono::milliseconds>(budget));
    if (!outcome) {
        err << "vornactl: the program card update did not end in time.\n";
        return kExitDevice;
    }
    if (!outcome->Done()) return Failed(*outcome, Utf8FromPath(imagePath), err);
    out << outcome->message << "\n";
    return kExitOk;
}

}  // namespace vorna::cli
