// Named settings of the wind field, for the command line ("--wind gusty"):
// each preset is a list of live-parameter assignments.
#pragma once

#include <cstddef>

struct WindPreset {
    const char* name;
    const char* settings;  // "NAME=VALUE" pairs separated by blanks
    const char* meaning;
};

extern const WindPreset windPresets[];
extern const std::size_t windPresetCount;

// The preset of this name, or null.
const WindPreset* findWindPreset(const char* name);
// Sets the preset's parameters (every one is a row of the parameter table).
void applyWindPreset(const WindPreset& preset);
