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

// Sets the three texts by the ESC identity table from bytes 0 to 3. A field the
// table marks with a dash keeps its text; a family and hardware code pair that is not in the
// table keeps all three. The texts are not cleared on a disconnect; nothing here clears them.
void ApplyEscIdentity(EscIdentityTexts& texts, const std::uint8_t identity[7]);

// The program card's model text.
inline constexpr std::string_view kCardModelText = "VORNA PROGRAM CARD";

// The program card's firmware text: "VORNA JVX V1.31" when byte 4 is 0x85, otherwise
// "VORNA JVX V" and byte 5 / 10 + 1 with two decimals (no "1.4-2" rule for the card).
std::string CardFirmwareText(const std::uint8_t identity[7]);

}  // namespace vorna
