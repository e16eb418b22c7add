// The firmware page as a model: the identity bytes of the last identified device and the
// texts the page shows for it, the firmware on disk it offers, and the update a click on one of
// its start pictures asks for.
#pragma once

#include <array>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "firmware/FirmwareCatalogue.h"
#include "firmware/IdentityTexts.h"
#include "protocol/PageLinks.h"

namespace vorna {

inline constexpr std::string_view kSelectEscFirmwareMessage = "Please select ESC Firmware version!";
inline constexpr std::string_view kSelectCardFirmwareMessage =
    "Please select Program Card Firmware version!";

class FirmwarePageModel : public FirmwarePageLink {
public:
    using Listener = std::function<void()>;
    void SetListener(Listener listener);

    IdentityBytes Identity() const override;
    EscIdentityTexts EscTexts() const;
    std::string CardModelText() const;
    std::string CardFirmwareText() const;

    // FirmwarePageLink
    void StoreIdentity(const IdentityBytes& identity) override;
    void ShowIdentity(DeviceKind kind) override;
    void ForgetIdentity(DeviceKind kind) override;
    std::string EscModelText() const override;
    std::string CurrentFirmwareText() const override;
    void SetCurrentFirmwareText(const std::string& text) override;
    void ShowUpdateStatus(DeviceKind kind, UpdateStatus status) override;
    void ShowUpdateProgress(DeviceKind kind, int percent) override;
    void ShowBytesSent(DeviceKind kind, std::size_t sent, std::size_t total) override;
    UpdateStatus Status(DeviceKind kind) const;
    // Both status pictures back to Ready, unless an update is running (whose outcome is still
    // to come); the page does this when it is opened. False when one is running.
    bool ResetStatusesIfIdle();
    int Progress(DeviceKind kind) const;  // -1: no update running
    struct BytesSent {
        std::size_t sent = 0;
        std::size_t total = 0;
    };
    // Nothing until the running update has sent its first record or block.
    std::optional<BytesSent> Sent(DeviceKind kind) const;

    // Reads the images and the information text again; the page does so each time it is shown,
    // so images copied in meanwhile appear. A selection can be kept with Catalogue().IndexOf().
    void ReadFirmwareFiles(const std::filesystem::path& dataFolder,
                           const std::filesystem::path& userFolder);
    FirmwareCatalogue Catalogue() const;
    std::string InformationText() const;

    // A click on the ESC or the card start picture, with the entry chosen in that kind's list
    // (nullopt when none is). Refused with a message for the user when nothing is chosen;
    // ignored when the entry is only spaces; otherwise the image is selected and its update
    // requested.
    struct StartClick {
        bool accepted = false;
        std::string message;  // to show with an OK button when not empty
    };
    // `suspectAccepted`: the user saw the image's doubtful record and chose to flash it, so the
    // update does not ask again.
    StartClick ClickStart(ImageKind kind, const std::optional<std::string>& chosenEntry,
                          bool suspectAccepted = false);

    // What the page asks before a click requests an update: the chosen image read and checked
    // as the update will read it, whom it is made for, and the words for what was found.
    struct ImageReview {
        std::filesystem::path path;
        std::string refusal;    // why it cannot be flashed at all; nothing is sent
        std::string suspect;    // an ESC image's first doubtful record, when it has one
        std::string fitWords;   // whom it is for, when that is not the attached ESC or unknown
        std::string sizeWords;  // a card image beside the shipped one's size
        bool otherFamily = false;
        bool altered = false;  // named like a shipped image but not it
    };
    // `fixMode`: the ESC cannot say its family. Reads the image file.
    ImageReview ReviewImage(ImageKind kind, const std::string& entry, bool fixMode) const;
    // Whether the requested update's doubtful image was accepted with the click.
    bool SuspectImageAccepted(ImageKind kind) const;

    // Read by the link thread, which clears a request when the update it started has ended, and
    // by the window, which ignores clicks while any is set.
    bool UpdateRequested(ImageKind kind) const override;
    bool AnyUpdateRequested() const;
    void ClearUpdateRequest(ImageKind kind) override;
    // The image of that kind chosen by the last accepted click: the entry without its leading
    // spaces plus ".mmc" or ".xup", and the file it came from. Kept per kind so that a card
    // click between an ESC request and the start of its update cannot hand the ESC a card image.
    std::string SelectedImageName(ImageKind kind) const;
    std::filesystem::path SelectedImagePath(ImageKind kind) const override;

private:
    // The file behind a list entry, under the lock.
    std::filesystem::path PathOf(ImageKind kind, const std::string& entry) const;

    struct Selection {
        std::string name;
        std::filesystem::path path;
        bool requested = false;
        bool suspectAccepted = false;
        UpdateStatus status = UpdateStatus::Ready;
        int progress = -1;
        std::optional<BytesSent> sent;
    };
    void Notify();

    mutable std::mutex mutex_;
    IdentityBytes identityBytes_{};
    EscIdentityTexts escTexts_;
    std::string cardModelText_;
    std::string cardFirmwareText_;
    std::filesystem::path dataFolder_;
    FirmwareCatalogue catalogue_;
    std::string informationText_;
    std::array<Selection, 2> selections_;  // by ImageKind
    std::mutex listenerMutex_;
    Listener listener_;
};

}  // namespace vorna
