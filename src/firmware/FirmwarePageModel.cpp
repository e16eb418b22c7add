#include "firmware/FirmwarePageModel.h"

#include "base/DataFolders.h"
#include "base/Utf8Path.h"
#include "firmware/FirmwareImages.h"
#include "firmware/ShippedImages.h"

namespace vorna {

void FirmwarePageModel::SetListener(Listener listener) {
    std::lock_guard lock(listenerMutex_);
    listener_ = std::move(listener);
}

IdentityBytes FirmwarePageModel::Identity() const {
    std::lock_guard lock(mutex_);
    return identityBytes_;
}

EscIdentityTexts FirmwarePageModel::EscTexts() const {
    std::lock_guard lock(mutex_);
    return escTexts_;
}

std::string FirmwarePageModel::CardModelText() const {
    std::lock_guard lock(mutex_);
    return cardModelText_;
}

std::string FirmwarePageModel::CardFirmwareText() const {
    std::lock_guard lock(mutex_);
    return cardFirmwareText_;
}

void FirmwarePageModel::StoreIdentity(const IdentityBytes& identity) {
    std::lock_guard lock(mutex_);
    identityBytes_ = identity;
}

void FirmwarePageModel::ShowIdentity(DeviceKind kind) {
    {
        std::lock_guard lock(mutex_);
        if (kind == DeviceKind::Card) {
            cardModelText_ = std::string(kCardModelText);
            cardFirmwareText_ = vorna::CardFirmwareText(identityBytes_.data());
        } else {
            ApplyEscIdentity(escTexts_, identityBytes_.data());
        }
    }
    Notify();
}

void FirmwarePageModel::ForgetIdentity(DeviceKind kind) {
    {
        std::lock_guard lock(mutex_);
        if (kind == DeviceKind::Card) {
            if (cardModelText_.empty() && cardFirmwareText_.empty()) return;
            cardModelText_.clear();
            cardFirmwareText_.clear();
        } else {
            if (escTexts_.model.empty() && escTexts_.hardware.empty() &&
                escTexts_.firmware.empty()) {
                return;
            }
            escTexts_ = EscIdentityTexts{};
        }
    }
    Notify();
}

void FirmwarePageModel::Notify() {
    Listener listener;
    {
        std::lock_guard lock(listenerMutex_);
        listener = listener_;
    }
    if (listener) listener();
}

std::string FirmwarePageModel::EscModelText() const {
    std::lock_guard lock(mutex_);
    return escTexts_.model;
}

std::string FirmwarePageModel::CurrentFirmwareText() const {
    std::lock_guard lock(mutex_);
    return escTexts_.firmware;
}

void FirmwarePageModel::ReadFirmwareFiles(const std::filesystem::path& dataFolder,
                                          const std::filesystem::path& userFolder) {
    FirmwareCatalogue catalogue = ReadFirmwareCatalogue(dataFolder, userFolder);
    std::string information =
        WithUserFolders(ReadFirmwareInformation(dataFolder), UserFolder("backups"), userFolder);
    std::lock_guard lock(mutex_);
    dataFolder_ = dataFolder;
    catalogue_ = std::move(catalogue);
    informationText_ = std::move(information);
}

FirmwareCatalogue FirmwarePageModel::Catalogue() const {
    std::lock_guard lock(mutex_);
    return catalogue_;
}

std::string FirmwarePageModel::InformationText() const {
    std::lock_guard lock(mutex_);
    return informationText_;
}

FirmwarePageModel::StartClick FirmwarePageModel::ClickStart(
    ImageKind kind, const std::optional<std::string>& chosenEntry, bool suspectAccepted) {
    StartClick click;
    if (!chosenEntry) {
        click.message = std::string(kind == ImageKind::Card ? kSelectCardFirmwareMessage
                                                            : kSelectEscFirmwareMessage);
        return click;
    }
    const std::size_t start = chosenEntry->find_first_not_of(' ');
    if (start == std::string::npos) return click;
    const std::string name = chosenEntry->substr(start) + "." + std::string(ImageExtension(kind));

    std::unique_lock lock(mutex_);
    Selection& selection = selections_[static_cast<std::size_t>(kind)];
    selection.name = name;
    selection.path = PathOf(kind, *chosenEntry);
    selection.requested = true;
    selection.suspectAccepted = suspectAccepted;
    click.accepted = true;
    lock.unlock();
    Notify();
    return click;
}

std::filesystem::path FirmwarePageModel::PathOf(ImageKind kind, const std::string& entry) const {
    // The catalogue knows the file behind the entry (which folder, and "abcmmc" is not
    // "abcmmc.mmc"); an entry it does not know is looked for among the shipped images.
    if (const FirmwareImage* image = catalogue_.Find(kind, entry)) return image->path;
    const std::size_t start = entry.find_first_not_of(' ');
    const std::string name = (start == std::string::npos ? std::string() : entry.substr(start)) +
                             "." + std::string(ImageExtension(kind));
    return dataFolder_ / kFirmwareFolderName / PathFromUtf8(name);
}

FirmwarePageModel::ImageReview FirmwarePageModel::ReviewImage(ImageKind kind,
                                                              const std::string& entry,
                                                              bool fixMode) const {
    ImageReview review;
    std::filesystem::path dataFolder;
    std::optional<EscKind> esc;
    {
        std::lock_guard lock(mutex_);
        review.path = PathOf(kind, entry);
        dataFolder = dataFolder_;
        if (kind == ImageKind::Esc && !fixMode) esc = EscKindOf(identityBytes_.data());
    }
    const std::vector<ShippedImage> manifest = ReadManifest(dataFolder);
    std::size_t units = 0;
    if (kind == ImageKind::Esc) {
        const Result<EscImage> read = ReadEscImage(review.path);
        if (!read.Ok()) {
            review.refusal = read.Detail();
            return review;
        }
        units = read.Value().records.size();
        if (read.Value().firstSuspectLine) {
            review.suspect = SuspectText(read.Value(), review.path);
        }
    } else {
        const Result<CardImage> read = ReadCardImage(review.path);
        if (!read.Ok()) {
            review.refusal = read.Detail();
            return review;
        }
        units = read.Value().blocks.size();
    }
    const ImageCheck check = CheckImage(review.path, units, kind, manifest, esc);
    review.fitWords = CheckWords(check, esc);
    if (kind == ImageKind::Card) review.sizeWords = CardSizeWords(check, manifest);
    review.otherFamily = check.OtherFamily();
    review.altered = check.origin == ImageCheck::Origin::Altered;
    return review;
}

bool FirmwarePageModel::SuspectImageAccepted(ImageKind kind) const {
    std::lock_guard lock(mutex_);
    const Selection& selection = selections_[static_cast<std::size_t>(kind)];
    return selection.requested && selection.suspectAccepted;
}

bool FirmwarePageModel::UpdateRequested(ImageKind kind) const {
    std::lock_guard lock(mutex_);
    return selections_[static_cast<std::size_t>(kind)].requested;
}

bool FirmwarePageModel::AnyUpdateRequested() const {
    std::lock_guard lock(mutex_);
    return selections_[0].requested || selections_[1].requested;
}

void FirmwarePageModel::ClearUpdateRequest(ImageKind kind) {
    {
        std::lock_guard lock(mutex_);
        selections_[static_cast<std::size_t>(kind)].requested = false;
        selections_[static_cast<std::size_t>(kind)].suspectAccepted = false;
    }
    Notify();
}

bool FirmwarePageModel::ResetStatusesIfIdle() {
    {
        std::lock_guard lock(mutex_);
        for (const Selection& s : selections_) {
            if (s.status == UpdateStatus::Running) return false;
        }
        for (Selection& s : selections_) s.status = UpdateStatus::Ready;
    }
    Notify();
    return true;
}

std::string FirmwarePageModel::SelectedImageName(ImageKind kind) const {
    std::lock_guard lock(mutex_);
    return selections_[static_cast<std::size_t>(kind)].name;
}

std::filesystem::path FirmwarePageModel::SelectedImagePath(ImageKind kind) const {
    std::lock_guard lock(mutex_);
    return selections_[static_cast<std::size_t>(kind)].path;
}

void FirmwarePageModel::SetCurrentFirmwareText(const std::string& text) {
    {
        std::lock_guard lock(mutex_);
        escTexts_.firmware = text;
    }
    Notify();
}

void FirmwarePageModel::ShowUpdateStatus(DeviceKind kind, UpdateStatus status) {
    {
        std::lock_guard lock(mutex_);
        Selection& s = selections_[static_cast<std::size_t>(kind)];
        s.status = status;
        s.sent.reset();
        if (status != UpdateStatus::Running) s.progress = -1;
    }
    Notify();
}

void FirmwarePageModel::ShowUpdateProgress(DeviceKind kind, int percent) {
    {
        std::lock_guard lock(mutex_);
        selections_[static_cast<std::size_t>(kind)].progress = percent;
    }
    Notify();
}

void FirmwarePageModel::ShowBytesSent(DeviceKind kind, std::size_t sent, std::size_t total) {
    {
        std::lock_guard lock(mutex_);
        selections_[static_cast<std::size_t>(kind)].sent = BytesSent{sent, total};
    }
    Notify();
}

std::optional<FirmwarePageModel::BytesSent> FirmwarePageModel::Sent(DeviceKind kind) const {
    std::lock_guard lock(mutex_);
    return selections_[static_cast<std::size_t>(kind)].sent;
}

FirmwarePageLink::UpdateStatus FirmwarePageModel::Status(DeviceKind kind) const {
    std::lock_guard lock(mutex_);
    return selections_[static_cast<std::size_t>(kind)].status;
}

int FirmwarePageModel::Progress(DeviceKind kind) const {
    std::lock_guard lock(mutex_);
    return selections_[static_cast<std::size_t>(kind)].progress;
}

}  // namespace vorna
