// Conversion between the page's selections and the ESC's two wire forms: the positional
// settings record it answers to 0xD8, and the (register, value) pairs a write sends.
#pragma once

#include <cstdint>
#include <optional>

#include "protocol/ModelTypes.h"
#include "settings/SetupState.h"

namespace vorna {

RecordLayout LayoutFor(int modelType);

// Number of data bytes of the settings record (the reply without its 0xDD end marker).
int RecordDataBytes(int modelType);

// Leaves every parameter list without a selection, except Brake Rate Control, Coast Value,
// Drive Mode, BT Soft Power and BT Soft TH Range, which are not touched.
void ClearSelections(SetupState& state);

// Decodes a settings record (the 250-byte receive buffer, record at its start) into the
// selections of the model's layout. Does not touch lastRecord.
void ApplySettingsRecord(SetupState& state, const std::uint8_t* buffer);

// Fills state.writePairs from the current selections and state.lastRecord. Only a list whose
// selection differs from what lastRecord decodes to sends that selection; every other register
// (a list not changed, without a selection, or a setting this model type does not have) gets
// back the byte the ESC itself reported where it keeps that register, so a write changes
// nothing but the settings that were changed.
void BuildWritePairs(SetupState& state);

// True when a write to an ESC of the model type carries this parameter's selection.
bool WritesParameter(int modelType, ParamId id);

// The parameter whose selection the write's pair at `position` carries, and its register;
// no parameter for a register that only gets back what the ESC reported.
struct WritePair {
    std::uint8_t reg = 0;
    std::optional<ParamId> parameter;
};
WritePair WritePairAt(int modelType, int position);

}  // namespace vorna
