// What seven identity bytes give (IdentityTexts: ApplyEscIdentity, CardFirmwareText;
// VersionText; Catalogue: RecognizeModel). Beyond not crashing:
// - a version text is v / 10 + 1 with two decimals, worked out in whole numbers here;
// - the ESC texts are set only for a family and hardware code we know, otherwise all three are
//   kept (and the hardware text of the 1:8 R5 ESCs, which name none); texts set are printable
//   ASCII of at most 32 characters, the model one of our families', the firmware text the
//   firmware's name and its version;
// - the card's firmware text is "VORNA JVX V" and a version, printable, at most 16 characters;
// - the model type recognised is one of 0 to 17, 0 for a family no rule lists, and
//   kept for a listed family no rule matches.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "FuzzCheck.h"
#include "FuzzSetup.h"
#include "firmware/IdentityTexts.h"
#include "protocol/VersionText.h"
#include "settings/Catalogue.h"

namespace {

using namespace vorna;
using fuzz::Require;

// n / 10 with one decimal, or with two when `hundredths` (the second always 0).
std::string Tenths(int n, bool hundredths) {
    return std::to_string(n / 10) + "." + std::to_string(n % 10) + (hundredths ? "0" : "");
}

bool StartsWith(std::string_view text, std::string_view start) {
    return text.substr(0, start.size()) == start;
}

void CheckEscTexts(const std::uint8_t* id, const EscIdentityTexts& before) {
    EscIdentityTexts texts = before;
    ApplyEscIdentity(texts, id);
    const int family = id[0], hardware = id[2], version = id[3];
    const std::string versionText = Tenths(version + 10, true);
    const std::string escVersion = versionText == "1.40" ? "1.4-2" : versionText;

    if (hardware == 0x83 && (family == 10 || family == 26)) {
        Require(texts.hardware == before.hardware, "the 1:8 R5 keeps the hardware text");
        if (family == 10) {
            Require(texts.model == "1:8 ESC R5" &&
                        texts.firmware == "1:8 ESC R5 V" + Tenths(version + 20, false),
                    "the 1:8 ESC R5 texts");
        } else {
            Require(texts.model == "1:8 ESC R5 V" && texts.firmware == "1:8 ESC R5 V2.0",
                    "the family 26 texts");
        }
    } else {
        const bool listed =
            (family == 11 || family == 12 || family == 13) &&
            (hardware == 0x81 || hardware == 0x82 || hardware == 0x83 || hardware == 0x85);
        if (!listed) {
            Require(texts.model == before.model && texts.hardware == before.hardware &&
                        texts.firmware == before.firmware,
                    "an identity we do not know keeps all three texts");
            return;
        }
        const char* models[] = {"VORNA ZEN", "VORNA CLASS SPEC", "VORNA ALTA"};
        const char* names[] = {"Expert", "Stock", "Blinky"};
        Require(texts.model == models[family - 11], "the family's model text");
        const std::string name = names[family - 11];
        std::string firmware = name + (hardware == 0x82 ? "-1S V" : " V") +
                               (hardware == 0x85 ? std::string("1.31") : escVersion);
        if (family == 13 && hardware == 0x83 && id[1] == 0x40 && version == 0x14) {
            firmware = "Blinky V3.0_K7T_RX4";
        }
        Require(texts.firmware == firmware, "the firmware text is its name and version");
        Require(StartsWith(texts.hardware, "Kelvaran"), "the hardware text is one of ours");
    }
    for (const std::string* text : {&texts.model, &texts.hardware, &texts.firmware}) {
        if (text == &texts.hardware && texts.hardware == before.hardware) continue;  // kept
        Require(fuzz::PrintableAscii(*text) && text->size() <= 32,
                "an ESC text set is printable ASCII of at most 32 characters");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 7) return 0;
    const std::uint8_t* id = data;

    for (const std::uint8_t v : {id[3], id[5]}) {
        Require(VersionText(v) == Tenths(v + 10, true), "a version text is v / 10 + 1");
    }

    // Texts before: printable, or whatever the rest of the input holds.
    const std::string_view rest = fuzz::AsText(data + 7, size - 7);
    const std::size_t third = rest.size() / 3;
    CheckEscTexts(id, {"old model", "old hardware", "old firmware"});
    CheckEscTexts(id, {std::string(rest.substr(0, third)), std::string(rest.substr(third, third)),
                       std::string(rest.substr(2 * third))});

    const std::string card = CardFirmwareText(id);
    Require(card == "VORNA JVX V" + (id[4] == 0x85 ? std::string("1.31") : VersionText(id[5])),
            "the card's firmware text");
    Require(fuzz::PrintableAscii(card) && card.size() <= 16,
            "the card's firmware text is printable ASCII of at most 16 characters");

    // The model type, from a type recognised before (or none yet).
    const int previous = static_cast<int>(size % kModelTypeCount);
    SetupState state = fuzz::FilledState(previous);
    const auto listed = ModelTypeForIdentity(id);
    const int type = RecognizeModel(state, id);
    Require(type >= 0 && type < kModelTypeCount && type == state.modelType,
            "the model type is one of 0 to 17");
    Require(type == (listed ? *listed : previous), "the first matching rule gives the type");
    bool familyListed = false;
    for (const auto& rule : model_rules::kModelRules) familyListed |= rule.family == id[0];
    if (!familyListed) Require(type == 0, "a family no rule lists is type 0");
    return 0;
}
