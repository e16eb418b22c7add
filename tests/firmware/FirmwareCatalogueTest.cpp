// Firmware on disk and the start-picture clicks of the firmware page.
#include "firmware/FirmwareCatalogue.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <string>
#include <vector>

#include "base/DataFolders.h"
#include "base/Utf8Path.h"
#include "firmware/FirmwarePageModel.h"
#include "support/TestSupport.h"

using namespace vorna;
using vorna::test::TempDir;
using vorna::test::WriteText;

namespace {

using Entries = std::vector<std::string>;

void Touch(const std::filesystem::path& folder, const std::vector<std::string>& names) {
    std::filesystem::create_directories(folder);
    for (const auto& name : names) WriteText(folder / name, "image");
}

}  // namespace

TEST(FirmwareCatalogue, KindByTheLastThreeCharactersTitleAndOrder) {
    TempDir data;
    Touch(data / "Firmware", {"Zeta.mmc", "ESC_V1.mmc", "ESC_V2.MMC", "Card.xup", "abcmmc",
                              "beta.2.mmc", "alpha.mmc", "notes.txt", ".mmc"});
    std::filesystem::create_directories(data / "Firmware" / "old.mmc");

    const auto catalogue = ReadFirmwareCatalogue(data.Path(), {});
    EXPECT_EQ(catalogue.Entries(ImageKind::Esc),
              (Entries{" abcmmc", " alpha", " beta.2", " ESC_V1", " Zeta"}));
    EXPECT_EQ(catalogue.Entries(ImageKind::Card), Entries{" Card"});
    ASSERT_NE(catalogue.Find(ImageKind::Esc, " beta.2"), nullptr);
    EXPECT_EQ(catalogue.Find(ImageKind::Esc, " beta.2")->path, data / "Firmware" / "beta.2.mmc");
}

TEST(FirmwareCatalogue, UserFolderFollowsTheShippedOneAndWinsAClash) {
    TempDir data;
    TempDir user;
    Touch(data / "Firmware", {"Same.mmc", "Shipped.mmc"});
    Touch(user.Path(), {"Same.mmc", "Mine.mmc", "Mine.xup"});

    const auto catalogue = ReadFirmwareCatalogue(data.Path(), user.Path());
    // The user's own after the shipped ones, though "Mine" sorts first.
    EXPECT_EQ(catalogue.Entries(ImageKind::Esc), (Entries{" Shipped", " Mine", " Same"}));
    EXPECT_EQ(catalogue.Entries(ImageKind::Card), Entries{" Mine"});
    EXPECT_EQ(catalogue.Find(ImageKind::Esc, " Same")->path, user / "Same.mmc");
    EXPECT_EQ(catalogue.Find(ImageKind::Esc, " Shipped")->path, data / "Firmware" / "Shipped.mmc");

    const auto missing = ReadFirmwareCatalogue(data / "nowhere", user / "nowhere");
    EXPECT_TRUE(missing.esc.empty());
    EXPECT_TRUE(missing.card.empty());
}

TEST(FirmwareCatalogue, UserFolderFromTheEnvironment) {
    const std::string savedData = getenv("XDG_DATA_HOME") ? getenv("XDG_DATA_HOME") : "";
    const std::string savedHome = getenv("HOME") ? getenv("HOME") : "";
    setenv("XDG_DATA_HOME", "/srv/data", 1);
    setenv("HOME", "/home/racer", 1);
    EXPECT_EQ(UserFirmwareFolder(), std::filesystem::path("/srv/data/vorna-link/Firmware"));
    unsetenv("XDG_DATA_HOME");
    EXPECT_EQ(UserFirmwareFolder(),
              std::filesystem::path("/home/racer/.local/share/vorna-link/Firmware"));
    savedData.empty() ? unsetenv("XDG_DATA_HOME") : setenv("XDG_DATA_HOME", savedData.c_str(), 1);
    savedHome.empty() ? unsetenv("HOME") : setenv("HOME", savedHome.c_str(), 1);
}

TEST(FirmwareInformation, LinesEndInCrLfAndAMissingFileIsEmpty) {
    TempDir data;
    EXPECT_EQ(ReadFirmwareInformation(data.Path()), "");

    WriteText(data / "FirmwareInformation.txt", "V1.70\r\n\nfaster brake\nlast");
    EXPECT_EQ(ReadFirmwareInformation(data.Path()), "V1.70\r\n\r\nfaster brake\r\nlast\r\n");

    // 8-bit text from an older editor: the degree sign of Windows-1252 becomes UTF-8.
    WriteText(data / "FirmwareInformation.txt", "Timing 15\xB0\n");
    EXPECT_EQ(ReadFirmwareInformation(data.Path()), "Timing 15\xC2\xB0\r\n");
    WriteText(data / "FirmwareInformation.txt", "Timing 15\xC2\xB0\n");
    EXPECT_EQ(ReadFirmwareInformation(data.Path()), "Timing 15\xC2\xB0\r\n");

    EXPECT_NE(ReadFirmwareInformation(VORNA_SOURCE_DIR "/data"), "");
}

// The shipped notes name this system's own folders, as the page shows them, and the menu that
// puts a backup back.
TEST(FirmwareInformation, TheNotesNameThisSystemsOwnFolders) {
    TempDir own;
    FirmwarePageModel model;
    model.ReadFirmwareFiles(VORNA_SOURCE_DIR "/data", own / "Firmware");
    const std::string notes = model.InformationText();
    EXPECT_NE(notes.find(" in " + Utf8FromPath(UserFolder("backups")) + "; File > Backups"),
              std::string::npos)
        << notes;
    EXPECT_NE(notes.find("saved to " + Utf8FromPath(own / "Firmware") + " appear"),
              std::string::npos);
    for (const char* other : {"%LOCALAPPDATA%", "~/", "{", "Import Settings"})
        EXPECT_EQ(notes.find(other), std::string::npos) << other;
    EXPECT_EQ(WithUserFolders("{firmware} {backups} {x}", {}, "f"),
              "f your own data folder (" + WhyNoUserDataFolder() + ") {x}");
}

TEST(FirmwareStartClick, NothingChosenRefusesWithAMessage) {
    FirmwarePageModel model;
    model.ClickStart(ImageKind::Card, " Card");

    const auto esc = model.ClickStart(ImageKind::Esc, std::nullopt);
    EXPECT_FALSE(esc.accepted);
    EXPECT_EQ(esc.message, "Please select ESC Firmware version!");
    EXPECT_FALSE(model.UpdateRequested(ImageKind::Esc));
    EXPECT_TRUE(model.UpdateRequested(ImageKind::Card));

    model.ClearUpdateRequest(ImageKind::Card);
    const auto card = model.ClickStart(ImageKind::Card, std::nullopt);
    EXPECT_EQ(card.message, "Please select Program Card Firmware version!");
    EXPECT_FALSE(model.AnyUpdateRequested());

    const auto blank = model.ClickStart(ImageKind::Esc, "   ");
    EXPECT_FALSE(blank.accepted);
    EXPECT_EQ(blank.message, "");
    EXPECT_FALSE(model.AnyUpdateRequested());
}

TEST(FirmwareStartClick, AcceptedClickSelectsTheFileAndRequestsItsUpdate) {
    TempDir data;
    TempDir user;
    Touch(data / "Firmware", {"abcmmc", "beta.2.mmc", "Card.xup"});
    FirmwarePageModel model;
    model.ReadFirmwareFiles(data.Path(), user.Path());

    const auto click = model.ClickStart(ImageKind::Esc, " abcmmc");
    EXPECT_TRUE(click.accepted);
    EXPECT_EQ(click.message, "");
    EXPECT_TRUE(model.UpdateRequested(ImageKind::Esc));
    EXPECT_EQ(model.SelectedImageName(ImageKind::Esc), "abcmmc.mmc");
    EXPECT_EQ(model.SelectedImagePath(ImageKind::Esc), data / "Firmware" / "abcmmc");

    // A card click before the ESC update has started leaves the ESC's image alone.
    model.ClickStart(ImageKind::Card, " Card");
    EXPECT_EQ(model.SelectedImageName(ImageKind::Card), "Card.xup");
    EXPECT_EQ(model.SelectedImagePath(ImageKind::Esc), data / "Firmware" / "abcmmc");

    model.ClickStart(ImageKind::Esc, " beta.2");
    EXPECT_EQ(model.SelectedImageName(ImageKind::Esc), "beta.2.mmc");
    model.ClearUpdateRequest(ImageKind::Esc);
    EXPECT_FALSE(model.UpdateRequested(ImageKind::Esc));
    EXPECT_TRUE(model.UpdateRequested(ImageKind::Card));

    // Shown again after a new image was saved: it is listed and the choice can be found again.
    Touch(user.Path(), {"alpha.mmc"});
    model.ReadFirmwareFiles(data.Path(), user.Path());
    EXPECT_EQ(model.Catalogue().IndexOf(ImageKind::Esc, " beta.2"), 1u);
    EXPECT_EQ(model.Catalogue().IndexOf(ImageKind::Esc, " alpha"), 2u);
}
