// Identity texts of the firmware page.
#include "firmware/IdentityTexts.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>

using namespace vorna;

namespace {

using Identity = std::array<std::uint8_t, 7>;

EscIdentityTexts Before() {
    return {"old model", "old hardware", "old firmware"};
}

EscIdentityTexts Apply(const Identity& id, EscIdentityTexts texts = Before()) {
    ApplyEscIdentity(texts, id.data());
    return texts;
}

}  // namespace

TEST(IdentityTextsCard, ModelAndFirmwareText) {
    EXPECT_EQ(kCardModelText, "VORNA PROGRAM CARD");
    EXPECT_EQ(CardFirmwareText(Identity{0, 0, 0, 0, 0x85, 0, 0}.data()), "VORNA JVX V1.31");
    EXPECT_EQ(CardFirmwareText(Identity{0, 0, 0, 0, 0x85, 99, 0}.data()), "VORNA JVX V1.31");
    // No 1.4-2 rule for the card.
    EXPECT_EQ(CardFirmwareText(Identity{0, 0, 0, 0, 0x00, 4, 0}.data()), "VORNA JVX V1.40");
    EXPECT_EQ(CardFirmwareText(Identity{0, 0, 0, 0, 0x84, 13, 0}.data()), "VORNA JVX V2.30");
}

TEST(IdentityTextsEsc, ZenRowsAndTheFourteenRule) {
    const auto oneCell = Apply({11, 0x12, 0x82, 7, 0, 0, 0});
    EXPECT_EQ(oneCell.model, "VORNA ZEN");
    EXPECT_EQ(oneCell.hardware, "Kelvaran-1S V1.1MD");
    EXPECT_EQ(oneCell.firmware, "Expert-1S V1.70");

    EXPECT_EQ(Apply({11, 0x40, 0x81, 4, 0, 0, 0}).firmware, "Expert V1.4-2");
    EXPECT_EQ(Apply({11, 0x40, 0x83, 4, 0, 0, 0}).hardware, "Kelvaran V1.1MD");
    EXPECT_EQ(Apply({11, 0x40, 0x83, 4, 0, 0, 0}).firmware, "Expert V1.4-2");
    EXPECT_EQ(Apply({11, 0x40, 0x82, 4, 0, 0, 0}).firmware, "Expert-1S V1.4-2");
    EXPECT_EQ(Apply({11, 0x40, 0x83, 5, 0, 0, 0}).firmware, "Expert V1.50");
    EXPECT_EQ(Apply({11, 0x40, 0x85, 4, 0, 0, 0}).firmware, "Expert V1.31");
    EXPECT_EQ(Apply({11, 0x40, 0x85, 9, 0, 0, 0}).hardware, "Kelvaran V1.1MD");
}

TEST(IdentityTextsEsc, VornaClassAndAltaRows) {
    const auto stock = Apply({12, 0x40, 0x82, 2, 0, 0, 0});
    EXPECT_EQ(stock.model, "VORNA CLASS SPEC");
    EXPECT_EQ(stock.hardware, "Kelvaran V1.1ST");
    EXPECT_EQ(stock.firmware, "Stock-1S V1.20");
    EXPECT_EQ(Apply({12, 0x40, 0x81, 4, 0, 0, 0}).firmware, "Stock V1.4-2");
    EXPECT_EQ(Apply({12, 0x40, 0x85, 4, 0, 0, 0}).firmware, "Stock V1.31");

    const auto blinky = Apply({13, 0x40, 0x83, 0x14, 0, 0, 0});
    EXPECT_EQ(blinky.model, "VORNA ALTA");
    EXPECT_EQ(blinky.hardware, "Kelvaran V1.1BK");
    EXPECT_EQ(blinky.firmware, "Blinky V3.0_K7T_RX4");
    EXPECT_EQ(Apply({13, 0x00, 0x83, 0x14, 0, 0, 0}).firmware, "Blinky V3.00");
    // The special text belongs to hardware 0x83 only.
    EXPECT_EQ(Apply({13, 0x40, 0x81, 0x14, 0, 0, 0}).firmware, "Blinky V3.00");
    EXPECT_EQ(Apply({13, 0x40, 0x82, 0x14, 0, 0, 0}).firmware, "Blinky-1S V3.00");
    EXPECT_EQ(Apply({13, 0x40, 0x85, 0x14, 0, 0, 0}).firmware, "Blinky V1.31");
}

TEST(IdentityTextsEsc, EighthScaleRowsKeepTheHardwareText) {
    const auto r5 = Apply({10, 0x77, 0x83, 3, 0, 0, 0});
    EXPECT_EQ(r5.model, "1:8 ESC R5");
    EXPECT_EQ(r5.hardware, "old hardware");
    EXPECT_EQ(r5.firmware, "1:8 ESC R5 V2.3");
    // Its own format: byte 3 = 4 is not touched by the 1.4-2 rule.
    EXPECT_EQ(Apply({10, 0x40, 0x83, 4, 0, 0, 0}).firmware, "1:8 ESC R5 V2.4");

    const auto r5v = Apply({26, 0x40, 0x83, 9, 0, 0, 0});
    EXPECT_EQ(r5v.model, "1:8 ESC R5 V");
    EXPECT_EQ(r5v.hardware, "old hardware");
    EXPECT_EQ(r5v.firmware, "1:8 ESC R5 V2.0");
}

TEST(IdentityTextsEsc, PairsOutsideTheTableKeepAllThree) {
    const EscIdentityTexts before = Before();
    for (const Identity& id :
         {Identity{11, 0x40, 0x84, 4, 0, 0, 0}, Identity{10, 0x40, 0x81, 4, 0, 0, 0},
          Identity{26, 0x40, 0x85, 4, 0, 0, 0}, Identity{14, 0x40, 0x83, 4, 0, 0, 0},
          Identity{0, 0, 0, 0, 0, 0, 0}}) {
        const auto after = Apply(id);
        EXPECT_EQ(after.model, before.model);
        EXPECT_EQ(after.hardware, before.hardware);
        EXPECT_EQ(after.firmware, before.firmware);
    }
}
