// Firmware on disk for the firmware page: the ESC and card images it offers, and the
// information text it shows beside them.
//
// Images come from two folders: "Firmware" below the data folder (the program's folder or the
// installed data folder), which holds what ships with the program, and the user's own folder
// (UserFirmwareFolder()), where images downloaded later go without needing write access to the
// installation. Both are listed together.
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "protocol/PageLinks.h"

namespace vorna {

using ImageKind = FirmwarePageLink::DeviceKind;

inline constexpr std::string_view kFirmwareFolderName = "Firmware";  // below the data folder
inline constexpr std::string_view kFirmwareInformationName = "FirmwareInformation.txt";

// "mmc" for ESC images, "xup" for card images.
std::string_view ImageExtension(ImageKind kind);

// Firmware/ in the user's folder (UserDataFolder: $XDG_DATA_HOME/vorna-link or
// ~/.local/share/vorna-link, on Windows %LOCALAPPDATA%\VORNA Link). Empty when there is none.
std::filesystem::path UserFirmwareFolder();

struct FirmwareImage {
    std::string entry;           // what the list shows: one space and the file title
    std::filesystem::path path;  // the file itself
    bool fromUserFolder = false;
};

struct FirmwareCatalogue {
    // The shipped images sorted by entry, then the user's own sorted by entry.
    std::vector<FirmwareImage> esc;
    std::vector<FirmwareImage> card;

    const std::vector<FirmwareImage>& Images(ImageKind kind) const;
    std::vector<std::string> Entries(ImageKind kind) const;
    // Where `entry` is in the list, to keep a selection across a re-read.
    std::optional<std::size_t> IndexOf(ImageKind kind, std::string_view entry) const;
    const FirmwareImage* Find(ImageKind kind, std::string_view entry) const;
};

// Lists the regular files of `dataFolder`/Firmware and of `userFolder` whose names end in "mmc"
// (ESC) or "xup" (card), case-sensitive, so "abcmmc" counts and "x.MMC" does not. The entry is
// the name without its last dot and what follows ("beta.2.mmc" gives " beta.2"). When two files
// give the same entry, the user's folder wins, then the file whose name is the entry's title
// with the extension. The user's images are listed after the shipped ones. Files whose title is
// empty or only spaces are left out: choosing them could never start an update. A missing or
// unreadable folder adds nothing.
FirmwareCatalogue ReadFirmwareCatalogue(const std::filesystem::path& dataFolder,
                                        const std::filesystem::path& userFolder);

// `dataFolder`/FirmwareInformation.txt line by line, each line followed by CR LF, so a non-empty
// text ends with CR LF. The file is 8-bit text: valid UTF-8 is kept as it is (a leading byte
// order mark dropped), anything else is taken as Windows-1252 and converted to UTF-8. A missing
// or unreadable file gives an empty text.
std::string ReadFirmwareInformation(const std::filesystem::path& dataFolder);

// The release notes with the user's folders filled in where they say {backups} and {firmware}:
// the paths as this system writes them, so each system's notes name its own folders. An empty
// folder (the system named none) is said as such.
std::string WithUserFolders(std::string notes, const std::filesystem::path& backups,
                            const std::filesystem::path& firmware);

}  // namespace vorna
