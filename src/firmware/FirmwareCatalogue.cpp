#include "firmware/FirmwareCatalogue.h"

#include "base/TextEncoding.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <tuple>

#include "base/DataFolders.h"
#include "base/Utf8Path.h"

namespace vorna {

namespace fs = std::filesystem;

namespace {

struct Candidate {
    FirmwareImage image;
    bool exactName = false;  // the file is called title + "." + extension
};

std::string Lowered(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

// Lists read easier when "Beta" does not sort before "alpha"; ties fall back to the bytes so
// the order never depends on how the folder was read.
bool EntryLess(const std::string& a, const std::string& b) {
    const std::string lowerA = Lowered(a);
    const std::string lowerB = Lowered(b);
    if (lowerA != lowerB) return lowerA < lowerB;
    return a < b;
}

void Collect(const fs::path& folder, bool fromUser, std::vector<Candidate>& esc,
             std::vector<Candidate>& card) {
    if (folder.empty()) return;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code typeError;
        // A folder or a device named like an image would only fail once the update opens it.
        if (!it->is_regular_file(typeError)) continue;
        const std::string name = Utf8FromPath(it->path().filename());
        if (name.size() < 3) continue;
        const std::string_view last3 = std::string_view(name).substr(name.size() - 3);
        std::vector<Candidate>* list = nullptr;
        ImageKind kind{};
        if (last3 == ImageExtension(ImageKind::Esc)) {
            list = &esc;
            kind = ImageKind::Esc;
        } else if (last3 == ImageExtension(ImageKind::Card)) {
            list = &card;
            kind = ImageKind::Card;
        } else {
            continue;
        }
        const std::size_t dot = name.rfind('.');
        const std::string title = dot == std::string::npos ? name : name.substr(0, dot);
        if (title.find_first_not_of(' ') == std::string::npos) continue;
        Candidate candidate;
        candidate.image.entry = " " + title;
        candidate.image.path = it->path();
        candidate.image.fromUserFolder = fromUser;
        candidate.exactName = name == title + "." + std::string(ImageExtension(kind));
        list->push_back(std::move(candidate));
    }
}

std::vector<FirmwareImage> SortedUnique(std::vector<Candidate> candidates) {
    std::sort(candidates.begin(), candidates.end(), [](const Candidate& a, const Candidate& b) {
        if (a.image.entry != b.image.entry) return EntryLess(a.image.entry, b.image.entry);
        // The preferred file of a clash comes first and is the one kept.
        return std::tuple(!a.image.fromUserFolder, !a.exactName, a.image.path.native()) <
               std::tuple(!b.image.fromUserFolder, !b.exactName, b.image.path.native());
    });
    std::vector<FirmwareImage> images;
    for (auto& candidate : candidates) {
        if (!images.empty() && images.back().entry == candidate.image.entry) continue;
        images.push_back(std::move(candidate.image));
    }
    return images;
}

}  // namespace

std::string_view ImageExtension(ImageKind kind) {
    return kind == ImageKind::Card ? "xup" : "mmc";
}

fs::path UserFirmwareFolder() {
    return UserFolder("Firmware");
}

const std::vector<FirmwareImage>& FirmwareCatalogue::Images(ImageKind kind) const {
    return kind == ImageKind::Card ? card : esc;
}

std::vector<std::string> FirmwareCatalogue::Entries(ImageKind kind) const {
    std::vector<std::string> entries;
    for (const auto& image : Images(kind)) entries.push_back(image.entry);
    return entries;
}

std::optional<std::size_t> FirmwareCatalogue::IndexOf(ImageKind kind,
                                                      std::string_view entry) const {
    const auto& images = Images(kind);
    for (std::size_t i = 0; i < images.size(); ++i) {
        if (images[i].entry == entry) return i;
    }
    return std::nullopt;
}

const FirmwareImage* FirmwareCatalogue::Find(ImageKind kind, std::string_view entry) const {
    const auto index = IndexOf(kind, entry);
    return index ? &Images(kind)[*index] : nullptr;
}

FirmwareCatalogue ReadFirmwareCatalogue(const fs::path& dataFolder, const fs::path& userFolder) {
    std::vector<Candidate> esc;
    std::vector<Candidate> card;
    if (!dataFolder.empty()) Collect(dataFolder / kFirmwareFolderName, false, esc, card);
    Collect(userFolder, true, esc, card);
    FirmwareCatalogue catalogue;
    catalogue.esc = SortedUnique(std::move(esc));
    catalogue.card = SortedUnique(std::move(card));
    // The user's own images come after the shipped ones, each group in its sorted order, so
    // the images that came with the program stay where the release notes describe them.
    for (auto* images : {&catalogue.esc, &catalogue.card}) {
        std::stable_partition(images->begin(), images->end(),
                              [](const FirmwareImage& image) { return !image.fromUserFolder; });
    }
    return catalogue;
}

std::string WithUserFolders(std::string notes, const fs::path& backups, const fs::path& firmware) {
    const std::pair<std::string_view, const fs::path*> places[] = {{"{backups}", &backups},
                                                                   {"{firmware}", &firmware}};
    for (const auto& [mark, folder] : places) {
        const std::string path = folder->empty()
                                     ? "your own data folder (" + WhyNoUserDataFolder() + ")"
                                     : Utf8FromPath(*folder);
        for (std::size_t at = notes.find(mark); at != std::string::npos;
             at = notes.find(mark, at + path.size())) {
            notes.replace(at, mark.size(), path);
        }
    }
    return notes;
}

std::string ReadFirmwareInformation(const fs::path& dataFolder) {
    std::ifstream in(dataFolder / kFirmwareInformationName, std::ios::binary);
    if (!in) return {};
    std::ostringstream raw;
    raw << in.rdbuf();
    std::string bytes = raw.str();
    if (bytes.starts_with("\xEF\xBB\xBF")) bytes.erase(0, 3);
    if (!IsUtf8(bytes)) bytes = Utf8FromWindows1252(bytes);

    std::string text;
    text.reserve(bytes.size() + bytes.size() / 16);
    std::size_t start = 0;
    while (start < bytes.size()) {
        std::size_t end = bytes.find('\n', start);
        const std::size_t next = end == std::string::npos ? bytes.size() : end + 1;
        if (end == std::string::npos) end = bytes.size();
        // A file written with CR LF reads the same as one written with LF.
        std::size_t lineEnd = end;
        if (lineEnd > start && bytes[lineEnd - 1] == '\r') --lineEnd;
        text.append(bytes, start, lineEnd - start);
        text += "\r\n";
        start = next;
    }
    return text;
}

}  // namespace vorna
