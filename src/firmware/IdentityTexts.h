// The texts the firmware page shows for an identified device: the ESC's model,
// hardware version and current firmware, and the program card's model and firmware. Made
// from the seven identity bytes (family, marker, hardware code, version byte, card hardware
// code, card version byte, spare) that the ESC or card answers to 0xD7.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vorna {

struct EscIdentityTexts {
    std::string model;     // the ESC model text
    std::string hardware;  // the hardware version text
    std::string firmware;  // the "Now Firmware" text (also copied to the setup page)
};

// Sets the three texts from the family, hardware code and version (bytes 0 to 3). The 1:8 R5
// ESCs name no hardware version, so they keep the hardware text there was; a family and
// hardware code we do not know keep all three. Nothing here clears them: that is the caller's
// to do when the device goes.
void ApplyEscIdentity(EscIdentityTexts& texts, const std::uint8_t identity[7]);

// The model text of an ESC family (identity byte 0): "VORNA ZEN"; empty for a family we do not
// know.
std::string_view FamilyName(int family);

// The program card's model text.
inline constexpr std::string_view kCardModelText = "VORNA PROGRAM CARD";

// The program card's firmware text: "VORNA JVX V1.31" when byte 4 is 0x85, otherwise
// "VORNA JVX V" and byte 5 / 10 + 1 with two decimals (no "1.4-2" rule for the card).
std::string CardFirmwareText(const std::uint8_t identity[7]);

}  // namespace vorna
