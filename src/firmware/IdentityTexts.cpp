#include "firmware/IdentityTexts.h"

#include <cstdio>

#include "protocol/ModelTypes.h"
#include "protocol/VersionText.h"

namespace vorna {
namespace {

std::string Format(const char* format, double value) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, format, value);
    return buffer;
}

// The ESC's version text: "1.40" shows as "1.4-2".
std::string EscVersion(std::uint8_t v) {
    std::string text = VersionText(v);
    return text == "1.40" ? "1.4-2" : text;
}

}  // namespace

std::string_view FamilyName(int family) {
    const EscFamily* row = EscFamilyFor(family);
    return row ? row->name : std::string_view();
}

void ApplyEscIdentity(EscIdentityTexts& texts, const std::uint8_t identity[7]) {
    const std::uint8_t familyCode = identity[0];
    const std::uint8_t hardware = identity[2];
    const std::uint8_t version = identity[3];

    if (hardware == 0x83 && familyCode == family::kR5) {
        texts.model = FamilyName(familyCode);
        texts.firmware = "1:8 ESC R5 V" + Format("%.1f", version * 0.1 + 2);
        return;
    }
    if (hardware == 0x83 && familyCode == family::kR5V) {
        texts.model = FamilyName(familyCode);
        texts.firmware = "1:8 ESC R5 V2.0";
        return;
    }

    const char* hardwareText = nullptr;
    const char* firmwareName = nullptr;  // "Expert", "Stock", "Blinky"
    switch (familyCode) {
        case family::kZen:
            hardwareText = hardware == kOneCellHardware ? "Kelvaran-1S V1.1MD" : "Kelvaran V1.1MD";
            firmwareName = "Expert";
            break;
        case family::kStock:
            hardwareText = "Kelvaran V1.1ST";
            firmwareName = "Stock";
            break;
        case family::kAlta:
            hardwareText = "Kelvaran V1.1BK";
            firmwareName = "Blinky";
            break;
        default:
            return;  // a family we do not know
    }

    std::string firmware;
    switch (hardware) {
        case 0x81:
        case 0x83:
            firmware = std::string(firmwareName) + " V" + EscVersion(version);
            break;
        case kOneCellHardware:
            firmware = std::string(firmwareName) + "-1S V" + EscVersion(version);
            break;
        case 0x85:
            firmware = std::string(firmwareName) + " V1.31";
            break;
        default:
            return;  // a hardware code we do not know
    }
    if (familyCode == family::kAlta && hardware == 0x83 && IsBlinkyRx4Firmware(identity)) {
        firmware = kBlinkyRx4FirmwareText;
    }
    texts.model = FamilyName(familyCode);
    texts.hardware = hardwareText;
    texts.firmware = std::move(firmware);
}

std::string CardFirmwareText(const std::uint8_t identity[7]) {
    return "VORNA JVX V" + (identity[4] == 0x85 ? std::string("1.31") : VersionText(identity[5]));
}

}  // namespace vorna
