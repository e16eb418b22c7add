// Which ESC an image is made for, and whether an image is the one the program ships.
//
// The images that ship in Firmware/ are listed in its manifest ("Manifest.tsv", written with
// the images): file name, kind, the ESC families it is made for, one-cell or not, size and
// SHA-256. An own image's families are told from its name when the name starts with a known
// firmware line ("Expert V1.80.mmc"); otherwise they cannot be told. A file named like a shipped
// image whose size or hash differ is a cut or altered copy: nothing in a card image shows where
// it should end, so this is the one way such a copy can be caught.
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "protocol/PageLinks.h"

namespace vorna {

inline constexpr std::string_view kManifestName = "Manifest.tsv";  // in Firmware/

// Which ESCs of a family an image is for: hardware for one cell ("-1S" firmware) or the others.
enum class Cells { Any, One, Several };

struct ShippedImage {
    std::string file;  // the file name, no folder
    FirmwarePageLink::DeviceKind kind = FirmwarePageLink::DeviceKind::Esc;
    std::vector<int> families;  // identity byte 0 of the ESCs it is for; empty for the card
    Cells cells = Cells::Any;
    std::size_t size = 0;   // bytes of the file
    std::size_t units = 0;  // records (ESC) or blocks (card) it sends
    std::string sha256;     // of the file's bytes, lower-case hex
};

// One line per image: file, kind (esc or card), families (numbers split by ',' or "-"), cells
// (1, n or -), size, units, sha256; fields split by tabs, '#' starts a comment line.
std::string ManifestText(const std::vector<ShippedImage>& images);
// The lines that read whole; a line that does not is left out, so the image it names is taken
// as an own image (whose name may still tell its family), never as a sound shipped one.
std::vector<ShippedImage> ParseManifest(std::string_view text);
// `dataFolder`/Firmware/Manifest.tsv; nothing when it is missing or unreadable.
std::vector<ShippedImage> ReadManifest(const std::filesystem::path& dataFolder);

// A firmware line as an image's name starts with it, and the ESCs it is made for.
struct FirmwareLine {
    std::string_view name;  // "Expert", "Expert-1S", "1-8 ESC R5", ...
    std::vector<int> families;
    Cells cells = Cells::Any;
};
// The line an image's file title starts with (case aside, followed by a space, '_', '.' or
// nothing); no value when it starts with none.
std::optional<FirmwareLine> FirmwareLineOf(std::string_view title);

// An ESC as its identity tells: its family (byte 0) and whether it is one-cell hardware
// (byte 2 is 0x82).
struct EscKind {
    int family = 0;
    bool oneCell = false;
};
EscKind EscKindOf(const std::uint8_t identity[7]);

// What can be told of an image before it is sent.
struct ImageCheck {
    enum class Origin {
        Shipped,  // named like a shipped image, with its size and hash
        Altered,  // named like a shipped image, but not of its size or hash: cut or changed
        Own,      // not named like any shipped image
    };
    enum class Fit {
        Suits,        // made for the attached ESC's family (and cells)
        OtherFamily,  // made for other ESCs
        CannotTell,   // the image's family or the ESC's is not known (Fix Mode, an own image)
    };
    FirmwarePageLink::DeviceKind kind = FirmwarePageLink::DeviceKind::Esc;
    Origin origin = Origin::Own;
    Fit fit = Fit::CannotTell;
    std::optional<ShippedImage> shipped;  // the manifest's line of that name
    std::optional<FirmwareLine> line;     // what the image is for, when known
    std::size_t size = 0;                 // of the file checked
    std::size_t units = 0;                // records or blocks of the file checked
    bool OtherFamily() const { return fit == Fit::OtherFamily; }
};

// `file` is read and hashed here; `units` are its records or blocks as the image reader counted
// them (the reader has accepted the file). `esc` is the attached ESC as identified (none in Fix
// Mode or for the card). For a card image only the origin is told.
ImageCheck CheckImage(const std::filesystem::path& file, std::size_t units,
                      FirmwarePageLink::DeviceKind kind, const std::vector<ShippedImage>& manifest,
                      std::optional<EscKind> esc);

// Plain words for what the check found, for both programs to show before anything is sent:
// for a shipped image nothing; for an altered one that it may be cut; for an ESC image of other
// ESCs whom it is for and whom not; when it cannot be told, why. Empty when all is well.
std::string CheckWords(const ImageCheck& check, std::optional<EscKind> esc);
// For a card image that cannot be checked against a shipped one: its size and blocks beside
// the shipped card image's, so a cut copy shows. Empty when there is nothing to set beside it.
std::string CardSizeWords(const ImageCheck& check, const std::vector<ShippedImage>& manifest);
// The shipped ESC image made for `esc`, if the manifest lists one.
std::optional<ShippedImage> ShippedImageFor(const std::vector<ShippedImage>& manifest, EscKind esc);

}  // namespace vorna
