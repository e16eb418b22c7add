// The firmware images installed with the program (data/Firmware): each reads with no doubtful
// record, is named for the firmware text the device shows once it runs the image, and has its
// entry in the release notes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "firmware/FirmwareCatalogue.h"
#include "firmware/FirmwareImages.h"
#include "firmware/IdentityTexts.h"
#include "sim/SimulatedCard.h"

namespace fs = std::filesystem;
using namespace vorna;

namespace {

// The firmware texts an ESC of any family and hardware we know shows for this
// version byte.
std::vector<std::string> EscFirmwareTexts(std::uint8_t versionByte) {
    std::vector<std::string> texts;
    for (const int family : {10, 11, 12, 13}) {
        for (const int hardware : {0x81, 0x82, 0x83, 0x85}) {
            const std::uint8_t identity[7] = {static_cast<std::uint8_t>(family),
                                              0x40,
                                              static_cast<std::uint8_t>(hardware),
                                              versionByte,
                                              0,
                                              3,
                                              0};
            EscIdentityTexts shown;
            ApplyEscIdentity(shown, identity);
            // As a file title: no colon ("1:8" is named "1-8").
            std::replace(shown.firmware.begin(), shown.firmware.end(), ':', '-');
            texts.push_back(shown.firmware);
        }
    }
    return texts;
}

}  // namespace

TEST(ShippedFirmware, EveryImageReadsCleanlyIsNamedForItsVersionAndHasReleaseNotes) {
    const fs::path data = fs::path(VORNA_SOURCE_DIR) / "data";
    const std::string notes = ReadFirmwareInformation(data);
    const FirmwareCatalogue shipped = ReadFirmwareCatalogue(data, {});
    ASSERT_FALSE(shipped.esc.empty());
    ASSERT_FALSE(shipped.card.empty());

    for (const FirmwareImage& file : shipped.esc) {
        SCOPED_TRACE(file.path.string());
        const std::string title = file.entry.substr(1);
        EXPECT_NE(notes.find("\r\n" + title + " - "), std::string::npos);
        const auto read = ReadEscImage(file.path);
        ASSERT_TRUE(read.Ok()) << read.Detail();
        const EscImage& image = read.Value();
        EXPECT_FALSE(image.firstSuspectLine) << image.suspectProblem;
        ASSERT_GE(image.records.size(), 2u);
        EXPECT_EQ(image.records.back().bytes,
                  (std::vector<std::uint8_t>{0x3A, 0x00, 0x00, 0x00, 0x01, 0xFF}));
        // The ESC takes the first data byte as its new version byte.
        const std::uint8_t version = image.records.front().bytes.at(5);
        const auto texts = EscFirmwareTexts(version);
        EXPECT_NE(std::find(texts.begin(), texts.end(), title), texts.end())
            << "version byte " << int{version} << " does not show as " << title;
    }

    for (const FirmwareImage& file : shipped.card) {
        SCOPED_TRACE(file.path.string());
        EXPECT_NE(notes.find("\r\n" + file.entry.substr(1) + "\r\n"), std::string::npos);
        const auto read = ReadCardImage(file.path);
        ASSERT_TRUE(read.Ok()) << read.Detail();
        const CardImage& image = read.Value();
        for (const CardBlock& block : image.blocks) {
            // The card takes a block whose last body byte is the sum of the others.
            const std::uint8_t* body = image.bytes.data() + block.offset + 2;
            const std::size_t length = block.size - 2;
            ASSERT_GE(length, 2u);
            const std::vector<std::uint8_t> summed(body, body + length - 1);
            EXPECT_EQ(sim::WithCardCheck(summed).back(), body[length - 1])
                << "block at byte " << block.offset;
        }
        // The card takes the first data byte as its new version byte.
        ASSERT_GT(image.bytes.size(), 4u);
        const std::uint8_t identity[7] = {0x01, 0x40, 0, 0, 0, image.bytes[4], 0};
        EXPECT_EQ(CardFirmwareText(identity), file.entry.substr(1));
    }
}
