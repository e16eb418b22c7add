// Which parameters an ESC has, by model type: option lists, enabled lists, model recognition.
#pragma once

#include <cstdint>
#include <string>

#include "settings/SetupState.h"

namespace vorna {

// Sets state.modelType from identity bytes 0 to 3 (at least four bytes), leaving it unchanged
// for a known family with an unlisted hardware code or firmware number; then FillOptionLists.
// Returns the model type.
int RecognizeModel(SetupState& state, const std::uint8_t* identity);

// Rebuilds the 28 parameter lists for state.modelType (and versionText): every parameter list
// first goes back to its creation state (enabled, empty, nothing selected), then the model's
// entries and enabled/disabled cells are applied. Category and Setup Sheet are not touched.
void FillOptionLists(SetupState& state);

// The user picked `index` in Drive Mode: index 1 enables Turbo Timing and Turbo Delay;
// anything else clears their selections and disables both.
void ApplyDriveModeChoice(SetupState& state, int index);

// True when the middle column shows the alternate captions (Boost Timing Activation, Turbo On
// Slope, Turbo Off Slope): model types 12 and 14 to 17.
bool UsesAlternateMiddleCaptions(int modelType);

// Caption of a parameter list as the page shows it for the model type.
std::string ListCaption(ParamId listId, int modelType);

}  // namespace vorna
