// Setup states for the targets that link the catalogue: each model type's lists as an
// identified ESC has them, and selections taken from the input.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <utility>

#include "FuzzCheck.h"
#include "protocol/ModelTypes.h"
#include "settings/Catalogue.h"
#include "settings/SetupState.h"

namespace vorna::fuzz {

// The state of a model type right after identification (FillOptionLists), made once. With
// versionText "1.30" every list the type has gets its entries (1st Power Level of types 1 to
// 3 and 8 to 10 stays empty for other versions).
inline const SetupState& FilledState(int modelType, const std::string& versionText = "1.30") {
    static std::map<std::pair<int, std::string>, SetupState> states;
    const auto key = std::make_pair(modelType, versionText);
    auto it = states.find(key);
    if (it == states.end()) {
        SetupState state;
        state.modelType = modelType;
        state.versionText = versionText;
        FillOptionLists(state);
        it = states.emplace(key, std::move(state)).first;
    }
    return it->second;
}

// Two model types for an input, from its hash: trying all 18 on every input would be too slow
// for the file readers. The second lies nine types on.
inline std::array<int, 2> ModelTypesFor(std::string_view input) {
    const int first = static_cast<int>(Fnv1a(input) % kModelTypeCount);
    return {first, (first + kModelTypeCount / 2) % kModelTypeCount};
}

// Gives every parameter list a selection from `bytes`, read from `offset` on and round
// again when they run out: nothing selected, or one of the list's entries.
inline void SelectFrom(SetupState& state, std::string_view bytes, std::size_t offset = 0) {
    for (std::size_t k = 0; k < kParameters.size(); ++k) {
        OptionList& list = state.List(kParameters[k]);
        const auto b =
            bytes.empty() ? 0u : static_cast<unsigned char>(bytes[(offset + k) % bytes.size()]);
        list.selection = static_cast<int>(b % (list.entries.size() + 1)) - 1;
    }
}

// The selections of the 28 parameter lists, for comparing states.
inline std::array<int, kParameters.size()> Selections(const SetupState& state) {
    std::array<int, kParameters.size()> selections{};
    for (std::size_t k = 0; k < kParameters.size(); ++k) {
        selections[k] = state.List(kParameters[k]).selection;
    }
    return selections;
}

// The selection names an entry of its list, or nothing is selected.
inline bool SelectionInRange(const OptionList& list) {
    return list.selection >= -1 && list.selection < static_cast<int>(list.entries.size());
}

}  // namespace vorna::fuzz
