// What each setting does, in a sentence or two, beside the parameter table: the lists' tooltips,
// the page's help line and `vornactl explain` read it. A row per parameter, checked when the
// program is compiled, so a setting cannot be added without its help. The texts speak in
// general RC ESC terms and give no figures the ESC does not show in its own lists; where what a
// setting does on the car is not known, they say only what its values are.
#pragma once

#include <array>
#include <string_view>

#include "settings/Parameters.h"
#include "settings/SetupState.h"

namespace vorna {

struct ParameterHelpRow {
    ParamId id;
    std::string_view text;
    // For the model types that show the alternate caption (Parameters.h), where the list sets
    // another setting; empty: `text` holds for every model type.
    std::string_view alternate;
};

// clang-format off
inline constexpr std::array<ParameterHelpRow, kParameters.size()> kParameterHelp = {{
    {ParamId::OperationMode,
     "Which ways the motor may turn: forward with brake, forward and reverse with brake, or "
     "forward and reverse without brake. Racing classes usually ask for forward with brake.", ""},
    {ParamId::ReverseSpeed,
     "How much power the motor gets in reverse. A lower value is gentler and safer; it matters "
     "only in an operation mode with reverse.", ""},
    {ParamId::LowVoltCut,
     "The battery voltage at which the ESC cuts the power to protect the battery. A higher "
     "cut-off protects LiPo cells better; None or Disable turns the protection off.", ""},
    {ParamId::DragBrake,
     "Brake the ESC applies by itself when the throttle is back at neutral, like engine "
     "braking. More slows the car sooner into a corner; 0% lets it roll freely.", ""},
    {ParamId::InitialBrake,
     "The brake force at the first touch of the brake. Higher bites harder at once; "
     "\"=Drag Brake\" makes it the same as the drag brake.", ""},
    {ParamId::FullBrake,
     "The brake force with the trigger pushed all the way. Higher stops harder but can lock "
     "the wheels on a slippery track; lower is gentler.", ""},
    {ParamId::BrakeFrequency,
     "The switching frequency the ESC brakes the motor with. Its values are frequencies.", ""},
    {ParamId::PowerLevel1,
     "How hard the power comes in when the throttle opens (the punch). A higher level is more "
     "aggressive off the line; a lower one is smoother and easier on traction.", ""},
    {ParamId::DriveFrequency,
     "The switching frequency the ESC drives the motor with. Its values are frequencies.", ""},
    {ParamId::NeutralDeadBand,
     "How wide the neutral zone around the trigger's centre is, where the ESC neither drives "
     "nor brakes. Wider forgives a trigger that does not come back exactly to centre.", ""},
    {ParamId::TempCutSet,
     "The temperature at which the ESC cuts the power to protect itself. off turns the "
     "protection off; the lower temperature is the safer choice.", ""},
    {ParamId::RotationMode,
     "Which way the motor turns on forward throttle. Change it when the car drives backwards "
     "when you pull the trigger.", ""},
    {ParamId::BoostTiming,
     "Timing the ESC adds to the motor as the revs rise (boost). More degrees give more speed "
     "but more heat in the motor and the ESC; 0 deg is the safest.", ""},
    {ParamId::TurboSlope,
     "How fast the turbo timing comes in once it starts. A faster slope is more aggressive; a "
     "slower one is gentler on traction and heat.",
     "How fast the turbo timing comes in once it starts, in degrees per tenth of a second. A "
     "faster slope is more aggressive; a slower one is gentler on traction and heat."},
    {ParamId::TurboTiming,
     "Timing added on top of the boost at full throttle (turbo), for the straights. More "
     "degrees give more speed and more heat; 0 deg adds none.", ""},
    {ParamId::BoostStartRpm,
     "The motor revs at which the boost timing starts to come in. A lower value brings the "
     "boost in sooner: more aggressive, more heat.", ""},
    {ParamId::TurboDelay,
     "How long full throttle must be held before the turbo timing comes in. No delay is the "
     "most aggressive; a longer one keeps the turbo for long straights.", ""},
    {ParamId::BoostAcc,
     "How quickly the boost timing is added as the revs rise, in revs per degree. Fewer revs "
     "per degree bring the boost in faster: more aggressive, more heat.",
     "How the boost timing is brought in. Its values are Auto and RPM."},
    {ParamId::BecVoltage,
     "The voltage the ESC gives the receiver and the servo. Choose the higher one only when "
     "both are made for it; the lower one is the safe choice.", ""},
    {ParamId::PowerLevel2,
     "A second punch level: the ESC changes from the 1st Power Level to this one at the PW LV "
     "SW Point. A higher level is more aggressive.", ""},
    {ParamId::PwLvSwPoint,
     "Where the ESC changes from the 1st to the 2nd Power Level. Its values are percentages.",
     ""},
    {ParamId::BoostEndRpm,
     "The motor revs by which the whole boost timing is in. A lower value adds the boost over "
     "fewer revs: more aggressive.", ""},
    {ParamId::LipoCells,
     "How many LiPo cells the battery has, for the low-voltage cut-off; Auto lets the ESC count "
     "them.",
     "How fast the turbo timing is taken away when you lift off. Its values are degrees per "
     "tenth of a second, and Instant."},
    {ParamId::BrakeRateControl,
     "How the brake is brought in. Its values are numbered steps.", ""},
    {ParamId::CoastValue,
     "How much the car coasts off the throttle. Its values are percentages.", ""},
    {ParamId::DriveMode,
     "How a sensored motor is driven: with sensored and sensorless driving mixed, or with "
     "the sensors throughout. Turbo Timing and Turbo Delay are set only in Full Sensored.", ""},
    {ParamId::BtSoftPower,
     "Its values are numbered steps.", ""},
    {ParamId::BtSoftThRange,
     "Its values are 0 and percentages.", ""},
}};
// clang-format on

static_assert(
    [] {
        for (const ParamId id : kParameters) {
            int rows = 0;
            for (const ParameterHelpRow& row : kParameterHelp) {
                if (row.id == id) rows += row.text.empty() ? 2 : 1;
            }
            if (rows != 1) return false;
            // A parameter with an alternate caption says what its list sets under that one.
            const ParameterRow* parameter = FindParameterRow(id);
            for (const ParameterHelpRow& row : kParameterHelp) {
                if (row.id == id && parameter->alternate.empty() != row.alternate.empty())
                    return false;
            }
        }
        return true;
    }(),
    "every setting has one help text, and one for its alternate caption where it has one");

// The help of a parameter, under its alternate caption where the model shows that one
// (UsesAlternateMiddleCaptions); empty for the two profile lists.
constexpr std::string_view ParameterHelp(ParamId id, bool alternateCaption) {
    for (const ParameterHelpRow& row : kParameterHelp) {
        if (row.id == id)
            return alternateCaption && !row.alternate.empty() ? row.alternate : row.text;
    }
    return {};
}

}  // namespace vorna
