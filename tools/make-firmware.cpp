// Writes the firmware images that ship in data/Firmware: one ESC image per ESC family and one
// program card image, all made of made-up bytes, and the manifest that lists them (the ESCs
// each is for, its size and hash). The same program always writes the same bytes,
// so the shipped files can be checked against a fresh run (the shipped-firmware test does).
//
//   vorna-make-firmware OUTDIR
//
// Each ESC image's first data byte is the version byte the ESC reports once it runs the image,
// so the file's title is the firmware text the program shows after flashing it.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

#include "firmware/FirmwareImages.h"
#include "firmware/ImageHash.h"
#include "firmware/ShippedImages.h"
#include "protocol/ModelTypes.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

struct EscRelease {
    const char* title;  // the firmware text the ESC then reports, and (see FileTitle) the file's
    std::uint8_t versionByte;  // identity byte 3 after the update
    std::size_t payloadBytes;
    std::vector<int> families;  // the ESCs it is made for (identity byte 0)
    vorna::Cells cells;
};

// Titles as the release notes (FirmwareInformation.txt) name them.
const EscRelease kEscReleases[] = {
    // ZEN: 7 shows as 1.70
    {"Expert V1.70", 7, 14 * 1024, {vorna::family::kZen}, vorna::Cells::Several},
    // CLASS: 2 shows as 1.20
    {"Stock V1.20", 2, 12 * 1024, {vorna::family::kStock}, vorna::Cells::Several},
    // ALTA: 0x14 is the zero-timing firmware
    {"Blinky V3.0_K7T_RX4", 0x14, 9 * 1024, {vorna::family::kAlta}, vorna::Cells::Several},
    // 1:8 R5 and R5 V: 0 shows as 2.0
    {"1:8 ESC R5 V2.0", 0, 16 * 1024, {vorna::family::kR5, vorna::family::kR5V}, vorna::Cells::Any},
};

struct CardRelease {
    const char* title;
    std::uint8_t versionByte;  // identity byte 5 after the update: the image's first data byte
    std::size_t blocks;
};

constexpr CardRelease kCardReleases[] = {{"VORNA JVX V2.30", 13, 48}};  // 13 shows as 2.30

// Data bytes per card block; each block body is a two-byte address, the data and the card's
// check byte.
constexpr std::size_t kCardBlockData = 128;

// The firmware text as a file title: a colon cannot be in a file name on every system the
// files may be copied to, so "1:8" becomes "1-8".
std::string FileTitle(std::string_view title) {
    std::string name(title);
    std::replace(name.begin(), name.end(), ':', '-');
    return name;
}

// A small fixed generator (xorshift32) rather than <random>, whose distributions may differ
// between standard libraries: the bytes must not depend on the toolchain.
class MadeUpBytes {
public:
    explicit MadeUpBytes(std::string_view title) {
        // FNV-1a of the title, so every image gets its own bytes.
        std::uint32_t hash = 2166136261u;
        for (char c : title) hash = (hash ^ static_cast<std::uint8_t>(c)) * 16777619u;
        state_ = hash == 0 ? 1u : hash;
    }
    std::uint8_t Next() {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 17;
        state_ ^= state_ << 5;
        return static_cast<std::uint8_t>(state_ >> 24);
    }

private:
    std::uint32_t state_;
};

Bytes EscPayload(const EscRelease& release) {
    MadeUpBytes bytes(release.title);
    Bytes payload(release.payloadBytes);
    payload[0] = release.versionByte;
    for (std::size_t i = 1; i < payload.size(); ++i) payload[i] = bytes.Next();
    return payload;
}

std::vector<Bytes> CardBodies(const CardRelease& release) {
    MadeUpBytes bytes(release.title);
    std::vector<Bytes> bodies;
    for (std::size_t block = 0; block < release.blocks; ++block) {
        const std::size_t address = block * kCardBlockData;
        Bytes body{static_cast<std::uint8_t>(address >> 8), static_cast<std::uint8_t>(address)};
        for (std::size_t i = 0; i < kCardBlockData; ++i) body.push_back(bytes.Next());
        if (block == 0) body[2] = release.versionByte;
        // The card takes a block whose last byte is the sum of the others, modulo 256.
        std::uint8_t sum = 0;
        for (std::uint8_t b : body) sum = static_cast<std::uint8_t>(sum + b);
        body.push_back(sum);
        bodies.push_back(std::move(body));
    }
    return bodies;
}

// A release table that no image can be made from is this tool's own fault.
int Unmade(std::string_view title, const std::string& why) {
    std::cerr << "vorna-make-firmware: cannot make " << title << ": " << why << "\n";
    return 1;
}

bool WriteFile(const std::filesystem::path& file, const std::string& text) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    out.close();
    if (!out) {
        std::cerr << "vorna-make-firmware: cannot write " << file.string() << "\n";
        return false;
    }
    std::cout << file.string() << "\n";
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: vorna-make-firmware OUTDIR\n";
        return 2;
    }
    const std::filesystem::path folder = argv[1];
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (ec) {
        std::cerr << "vorna-make-firmware: cannot create " << folder.string() << ": "
                  << ec.message() << "\n";
        return 3;
    }
    bool ok = true;
    std::vector<vorna::ShippedImage> manifest;
    const auto listed = [&manifest](std::string file, const std::string& text,
                                    vorna::FirmwarePageLink::DeviceKind kind, std::size_t units) {
        vorna::ShippedImage image;
        image.file = std::move(file);
        image.kind = kind;
        image.size = text.size();
        image.units = units;
        image.sha256 = vorna::Sha256Hex(text);
        manifest.push_back(std::move(image));
        return &manifest.back();
    };
    for (const EscRelease& release : kEscReleases) {
        const vorna::Result<std::string> made = vorna::MakeEscImage(EscPayload(release), 16, "\n");
        if (!made) return Unmade(release.title, made.Detail());
        const std::string& text = made.Value();
        const std::string file = FileTitle(release.title) + ".mmc";
        ok = WriteFile(folder / file, text) && ok;
        vorna::ShippedImage* image = listed(file, text, vorna::FirmwarePageLink::DeviceKind::Esc,
                                            vorna::ParseEscImage(text).Value().records.size());
        image->families = release.families;
        image->cells = release.cells;
    }
    for (const CardRelease& release : kCardReleases) {
        const vorna::Result<std::string> made = vorna::MakeCardImage(CardBodies(release));
        if (!made) return Unmade(release.title, made.Detail());
        const std::string& text = made.Value();
        const std::string file = FileTitle(release.title) + ".xup";
        ok = WriteFile(folder / file, text) && ok;
        listed(file, text, vorna::FirmwarePageLink::DeviceKind::Card,
               vorna::ParseCardImage(text).Value().blocks.size());
    }
    ok = WriteFile(folder / vorna::kManifestName, vorna::ManifestText(manifest)) && ok;
    return ok ? 0 : 3;
}
