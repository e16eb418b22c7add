#include "firmware/ShippedImages.h"

#include <algorithm>
#include <charconv>

#include "base/Files.h"
#include "base/Text.h"
#include "base/Utf8Path.h"
#include "firmware/FirmwareCatalogue.h"
#include "firmware/IdentityTexts.h"
#include "firmware/ImageHash.h"
#include "protocol/ModelTypes.h"

namespace vorna {
namespace {

using Kind = FirmwarePageLink::DeviceKind;

// Firmware lines as image names start with them; a "-1S" line first, so that "Expert-1S" is not
// taken for "Expert".
const FirmwareLine kLines[] = {
    {"Expert-1S", {family::kZen}, Cells::One},
    {"Expert", {family::kZen}, Cells::Several},
    {"Stock-1S", {family::kStock}, Cells::One},
    {"Stock", {family::kStock}, Cells::Several},
    {"Blinky-1S", {family::kAlta}, Cells::One},
    {"Blinky", {family::kAlta}, Cells::Several},
    {"1-8 ESC R5", {family::kR5, family::kR5V}, Cells::Any},
};

constexpr std::uintmax_t kMostImageBytes = 1024 * 1024;  // well over any image the readers take
bool StartsWithCaseAside(std::string_view text, std::string_view start) {
    return text.size() >= start.size() &&
           LowerAscii(text.substr(0, start.size())) == LowerAscii(start);
}

std::vector<std::string_view> Split(std::string_view text, char separator) {
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = text.find(separator, start);
        parts.push_back(text.substr(start, end == std::string_view::npos ? end : end - start));
        if (end == std::string_view::npos) return parts;
        start = end + 1;
    }
}

std::optional<std::size_t> Number(std::string_view text) {
    std::size_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || text.empty()) {
        return std::nullopt;
    }
    return value;
}

bool Suits(const std::vector<int>& families, Cells cells, EscKind esc) {
    if (std::find(families.begin(), families.end(), esc.family) == families.end()) return false;
    if (cells == Cells::Any) return true;
    return (cells == Cells::One) == esc.oneCell;
}

// "VORNA ZEN" or "1:8 ESC R5 or 1:8 ESC R5 V"; with the cells ("one-cell VORNA ZEN") where only
// they tell the image and the ESC apart.
std::string EscWords(const std::vector<int>& families, Cells cells, bool withCells) {
    std::string words;
    for (const int family : families) {
        if (!words.empty()) words += " or ";
        const std::string_view name = FamilyName(family);
        words += name.empty() ? "ESC family " + std::to_string(family) : std::string(name);
    }
    if (withCells && cells == Cells::One) return "one-cell " + words;
    if (withCells && cells == Cells::Several) return words + " that is not one-cell";
    return words;
}

std::string EscWords(EscKind esc, bool withCells) {
    const std::string_view name = FamilyName(esc.family);
    const std::string family =
        name.empty() ? "an ESC of family " + std::to_string(esc.family) : "a " + std::string(name);
    if (!withCells) return family;
    return esc.oneCell ? "a one-cell " + std::string(name) : family + " that is not one-cell";
}

}  // namespace

std::string ManifestText(const std::vector<ShippedImage>& images) {
    std::string text =
        "# The firmware images that ship with the program: file, kind, ESC families (identity "
        "byte 0),\n# cells (1: one-cell, n: not one-cell, -: either), size in bytes, records or "
        "blocks, SHA-256.\n";
    for (const ShippedImage& image : images) {
        std::string families;
        for (const int family : image.families) {
            if (!families.empty()) families += ",";
            families += std::to_string(family);
        }
        text += image.file + "\t" + (image.kind == Kind::Esc ? "esc" : "card") + "\t" +
                (families.empty() ? "-" : families) + "\t" +
                (image.cells == Cells::One       ? "1"
                 : image.cells == Cells::Several ? "n"
                                                 : "-") +
                "\t" + std::to_string(image.size) + "\t" + std::to_string(image.units) + "\t" +
                image.sha256 + "\n";
    }
    return text;
}

std::vector<ShippedImage> ParseManifest(std::string_view text) {
    std::vector<ShippedImage> images;
    for (std::string_view line : Split(text, '\n')) {
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.empty() || line.front() == '#') continue;
        const std::vector<std::string_view> field = Split(line, '\t');
        if (field.size() != 7 || field[0].empty()) continue;
        ShippedImage image;
        image.file = std::string(field[0]);
        if (field[1] == "esc") {
            image.kind = Kind::Esc;
        } else if (field[1] == "card") {
            image.kind = Kind::Card;
        } else {
            continue;
        }
        bool whole = true;
        if (field[2] != "-") {
            for (const std::string_view family : Split(field[2], ',')) {
                const std::optional<std::size_t> code = Number(family);
                whole = whole && code && *code < 256;
                if (code) image.families.push_back(static_cast<int>(*code));
            }
        }
        if (field[3] == "1") {
            image.cells = Cells::One;
        } else if (field[3] == "n") {
            image.cells = Cells::Several;
        } else {
            whole = whole && field[3] == "-";
        }
        const std::optional<std::size_t> size = Number(field[4]);
        const std::optional<std::size_t> units = Number(field[5]);
        whole = whole && size && units && field[6].size() == 64 &&
                field[6].find_first_not_of("0123456789abcdef") == std::string_view::npos;
        if (!whole) continue;
        image.size = *size;
        image.units = *units;
        image.sha256 = std::string(field[6]);
        images.push_back(std::move(image));
    }
    return images;
}

std::vector<ShippedImage> ReadManifest(const std::filesystem::path& dataFolder) {
    const Result<std::string> file = ReadSmallFile(
        dataFolder / kFirmwareFolderName / PathFromUtf8(kManifestName), kMostImageBytes);
    if (!file) return {};
    return ParseManifest(*file);
}

std::optional<FirmwareLine> FirmwareLineOf(std::string_view title) {
    for (const FirmwareLine& line : kLines) {
        if (!StartsWithCaseAside(title, line.name)) continue;
        if (title.size() == line.name.size()) return line;
        const char next = title[line.name.size()];
        if (next == ' ' || next == '_' || next == '.') return line;
    }
    return std::nullopt;
}

EscKind EscKindOf(const std::uint8_t identity[7]) {
    return {identity[0], identity[2] == kOneCellHardware};
}

ImageCheck CheckImage(const std::filesystem::path& file, std::size_t units, Kind kind,
                      const std::vector<ShippedImage>& manifest, std::optional<EscKind> esc) {
    ImageCheck check;
    check.kind = kind;
    check.units = units;
    const Result<std::string> bytes = ReadSmallFile(file, kMostImageBytes, "firmware image");
    check.size = bytes ? bytes->size() : 0;
    const std::string name = Utf8FromPath(file.filename());
    for (const ShippedImage& shipped : manifest) {
        if (shipped.kind != kind || shipped.file != name) continue;
        check.shipped = shipped;
        const bool same =
            bytes && shipped.size == check.size && shipped.sha256 == Sha256Hex(*bytes);
        check.origin = same ? ImageCheck::Origin::Shipped : ImageCheck::Origin::Altered;
        if (same) check.line = FirmwareLine{"", shipped.families, shipped.cells};
        break;
    }
    if (kind == Kind::Card) return check;
    if (check.origin != ImageCheck::Origin::Shipped) {
        check.line = FirmwareLineOf(Utf8FromPath(file.stem()));
    }
    // An ESC of no family we know cannot be checked either: the image may well be its own.
    if (!check.line || !esc || FamilyName(esc->family).empty()) return check;
    check.fit = Suits(check.line->families, check.line->cells, *esc) ? ImageCheck::Fit::Suits
                                                                     : ImageCheck::Fit::OtherFamily;
    return check;
}

std::string CheckWords(const ImageCheck& check, std::optional<EscKind> esc) {
    std::string words;
    if (check.origin == ImageCheck::Origin::Altered) {
        words =
            "This file is named like the image that ships with the program, but it is not that "
            "image (" +
            std::to_string(check.size) + " bytes where the shipped one has " +
            std::to_string(check.shipped->size) +
            ", or other contents): it may be cut short or damaged.";
    }
    const auto add = [&words](const std::string& sentence) {
        words += (words.empty() ? "" : "\n") + sentence;
    };
    if (check.kind == Kind::Card) return words;
    if (check.fit == ImageCheck::Fit::OtherFamily) {
        // Of the right family, it can only be the cells that differ: then they are named.
        const auto& families = check.line->families;
        const bool cellsOnly =
            std::find(families.begin(), families.end(), esc->family) != families.end();
        add("This image is made for the " + EscWords(families, check.line->cells, cellsOnly) +
            ", but the ESC attached is " + EscWords(*esc, cellsOnly) +
            ". Flashing firmware made for another ESC can leave it without working firmware.");
    } else if (check.fit == ImageCheck::Fit::CannotTell) {
        if (!esc) {
            add("Which ESC is attached cannot be told in Fix Mode, so nothing checks that the "
                "image suits it.");
        } else if (!check.line) {
            add("Which ESC this image is made for cannot be told from its name, so nothing "
                "checks that it suits the ESC attached.");
        } else {
            add("The ESC attached is of a family this program does not know, so nothing checks "
                "that the image suits it.");
        }
    }
    return words;
}

std::string CardSizeWords(const ImageCheck& check, const std::vector<ShippedImage>& manifest) {
    if (check.origin == ImageCheck::Origin::Shipped) return {};
    const auto shipped = std::find_if(manifest.begin(), manifest.end(),
                                      [](const ShippedImage& s) { return s.kind == Kind::Card; });
    if (shipped == manifest.end()) return {};
    return "This image: " + std::to_string(check.size) + " bytes in " +
           std::to_string(check.units) + " blocks. The card image that ships with the program (" +
           shipped->file + "): " + std::to_string(shipped->size) + " bytes in " +
           std::to_string(shipped->units) +
           " blocks. A card image has no end mark: a much smaller image may be cut short.";
}

std::optional<ShippedImage> ShippedImageFor(const std::vector<ShippedImage>& manifest,
                                            EscKind esc) {
    for (const ShippedImage& image : manifest) {
        if (image.kind == Kind::Esc && Suits(image.families, image.cells, esc)) return image;
    }
    return std::nullopt;
}

}  // namespace vorna
