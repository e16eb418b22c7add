// Whom an image is for, and a shipped image told from a cut or altered copy of it.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "firmware/FirmwareCatalogue.h"
#include "firmware/FirmwareImages.h"
#include "firmware/ShippedImages.h"
#include "protocol/ModelTypes.h"
#include "support/TestSupport.h"

namespace vorna {
namespace {

namespace fs = std::filesystem;
using Kind = FirmwarePageLink::DeviceKind;
using Fit = ImageCheck::Fit;
using Origin = ImageCheck::Origin;

const fs::path kData = fs::path(VORNA_SOURCE_DIR) / "data";

EscKind Esc(int family, bool oneCell = false) {
    return EscKind{family, oneCell};
}

ImageCheck CheckShippedEsc(const std::string& file, std::optional<EscKind> esc) {
    const fs::path path = kData / kFirmwareFolderName / file;
    const auto read = ReadEscImage(path);
    EXPECT_TRUE(read.Ok());
    return CheckImage(path, read.Value().records.size(), Kind::Esc, ReadManifest(kData), esc);
}

TEST(ShippedImages, EachShippedEscImageSuitsItsOwnFamilyAndNoOther) {
    const std::vector<ShippedImage> manifest = ReadManifest(kData);
    ASSERT_EQ(manifest.size(), 5u);  // four ESC images and the card's
    EXPECT_EQ(CheckShippedEsc("Expert V1.70.mmc", Esc(family::kZen)).fit, Fit::Suits);
    EXPECT_EQ(CheckShippedEsc("Expert V1.70.mmc", Esc(family::kZen)).origin, Origin::Shipped);
    // The classic way to brick an ESC: the 1:8 image onto a ZEN, or a multi-cell image onto
    // one-cell hardware.
    const ImageCheck r5OnZen = CheckShippedEsc("1-8 ESC R5 V2.0.mmc", Esc(family::kZen));
    EXPECT_EQ(r5OnZen.fit, Fit::OtherFamily);
    EXPECT_NE(
        CheckWords(r5OnZen, Esc(family::kZen)).find("made for the 1:8 ESC R5 or 1:8 ESC R5 V"),
        std::string::npos);
    EXPECT_EQ(CheckShippedEsc("1-8 ESC R5 V2.0.mmc", Esc(family::kR5V)).fit, Fit::Suits);
    EXPECT_EQ(CheckShippedEsc("Expert V1.70.mmc", Esc(family::kZen, true)).fit, Fit::OtherFamily);
    EXPECT_EQ(CheckShippedEsc("Stock V1.20.mmc", Esc(family::kAlta)).fit, Fit::OtherFamily);
    // Fix Mode (no identity) and an ESC of no family we know cannot be checked.
    EXPECT_EQ(CheckShippedEsc("Blinky V3.0_K7T_RX4.mmc", std::nullopt).fit, Fit::CannotTell);
    EXPECT_EQ(CheckShippedEsc("Blinky V3.0_K7T_RX4.mmc", Esc(1)).fit, Fit::CannotTell);
    EXPECT_NE(
        CheckWords(CheckShippedEsc("Stock V1.20.mmc", std::nullopt), std::nullopt).find("Fix Mode"),
        std::string::npos);
}

TEST(ShippedImages, AnOwnImagesFamilyIsToldFromItsNameOnly) {
    EXPECT_EQ(FirmwareLineOf("expert v1.80")->cells, Cells::Several);
    EXPECT_EQ(FirmwareLineOf("Expert-1S V1.70")->cells, Cells::One);
    EXPECT_EQ(FirmwareLineOf("1-8 ESC R5 V2.1")->families,
              (std::vector<int>{family::kR5, family::kR5V}));
    EXPECT_FALSE(FirmwareLineOf("Expertise V1"));
    EXPECT_FALSE(FirmwareLineOf("my build"));

    test::TempDir dir;
    const fs::path own = dir / "Stock V1.30.mmc";
    test::WriteText(own, MakeEscImage({3, 1, 2}).Value());
    const std::vector<ShippedImage> manifest = ReadManifest(kData);
    const ImageCheck check = CheckImage(own, 2, Kind::Esc, manifest, Esc(family::kZen));
    EXPECT_EQ(check.origin, Origin::Own);
    EXPECT_EQ(check.fit, Fit::OtherFamily);
    const fs::path unknown = dir / "build 7.mmc";
    test::WriteText(unknown, MakeEscImage({3, 1, 2}).Value());
    EXPECT_EQ(CheckImage(unknown, 2, Kind::Esc, manifest, Esc(family::kZen)).fit, Fit::CannotTell);
}

TEST(ShippedImages, ACardImageCutAtABlockEndIsCaughtByItsNameOrShownBesideTheShippedOne) {
    const fs::path shipped = kData / kFirmwareFolderName / "VORNA JVX V2.30.xup";
    const std::string whole = test::ReadText(shipped);
    const auto read = ParseCardImage(whole);
    ASSERT_TRUE(read.Ok());
    // Cut after half the blocks: still a readable image, since the card format has no end mark.
    const std::size_t half = read.Value().blocks[read.Value().blocks.size() / 2].offset * 2;
    const std::string cut = whole.substr(0, half);
    ASSERT_TRUE(ParseCardImage(cut).Ok());

    const std::vector<ShippedImage> manifest = ReadManifest(kData);
    test::TempDir dir;
    const fs::path sameName = dir / "VORNA JVX V2.30.xup";
    test::WriteText(sameName, cut);
    const std::size_t blocks = ParseCardImage(cut).Value().blocks.size();
    const ImageCheck altered = CheckImage(sameName, blocks, Kind::Card, manifest, std::nullopt);
    EXPECT_EQ(altered.origin, Origin::Altered);
    EXPECT_NE(CheckWords(altered, std::nullopt).find("cut short"), std::string::npos);

    const fs::path ownName = dir / "card.xup";
    test::WriteText(ownName, cut);
    const ImageCheck own = CheckImage(ownName, blocks, Kind::Card, manifest, std::nullopt);
    EXPECT_EQ(own.origin, Origin::Own);
    EXPECT_EQ(CheckWords(own, std::nullopt), "");
    const std::string sizes = CardSizeWords(own, manifest);
    EXPECT_NE(sizes.find(std::to_string(cut.size()) + " bytes in " + std::to_string(blocks)),
              std::string::npos)
        << sizes;
    EXPECT_NE(sizes.find(std::to_string(whole.size()) + " bytes in " +
                         std::to_string(read.Value().blocks.size())),
              std::string::npos)
        << sizes;
    EXPECT_EQ(
        CheckImage(shipped, read.Value().blocks.size(), Kind::Card, manifest, std::nullopt).origin,
        Origin::Shipped);
}

TEST(ShippedImages, AManifestLineThatDoesNotReadWholeNamesNoShippedImage) {
    const std::string hash(64, 'a');
    const auto images = ParseManifest("# comment\nA.mmc\tesc\t11\tn\t10\t2\t" + hash +
                                      "\r\nB.mmc\tesc\t11\tn\tten\t2\t" + hash +
                                      "\nC.xup\tcard\t-\t-\t10\t1\t" + hash.substr(1) + "\n");
    ASSERT_EQ(images.size(), 1u);
    EXPECT_EQ(images[0].file, "A.mmc");
    EXPECT_EQ(ParseManifest(ManifestText(images))[0].sha256, hash);
}

}  // namespace
}  // namespace vorna
