// The wind field's presets. Speeds in m/s (tree-file units are metres),
// scales in m, times in s. All three switch turbulence on; intensity is each
// component's standard deviation over the mean speed (0.1 is open country in
// light air, 0.2 to 0.3 the gusty air over rough land and near trees).
#include "wind/wind_presets.h"

#include <cassert>
#include <cstring>
#include <string>

#include "parameters/parameters.h"

const WindPreset windPresets[] = {
    {"calm",
     "windVelocity=2 windTurbulence=1 turbulenceIntensity=0.1 turbulenceScale=5 windGusts=0",
     "a light breeze, gently turbulent, no gusts"},
    {"gusty",
     "windVelocity=5 windTurbulence=1 turbulenceIntensity=0.2 turbulenceScale=5 windGusts=1 "
     "gustStrength=0.8 gustInterval=12",
     "a fresh breeze with a gust every 12 s on average"},
    {"storm",
     "windVelocity=15 windTurbulence=1 turbulenceIntensity=0.3 turbulenceScale=10 windGusts=1 "
     "gustStrength=1 gustInterval=6",
     "a gale: strong turbulence and frequent strong gusts"},
};
const std::size_t windPresetCount = sizeof windPresets / sizeof windPresets[0];

const WindPreset* findWindPreset(const char* name)
{
    for (const WindPreset& p : windPresets)
        if (name && std::strcmp(p.name, name) == 0)
            return &p;
    return nullptr;
}

void applyWindPreset(const WindPreset& preset)
{
    const std::string settings = preset.settings;
    size_t start = 0;
    while (start < settings.size()) {
        size_t end = settings.find(' ', start);
        if (end == std::string::npos)
            end = settings.size();
        const std::string pair = settings.substr(start, end - start);
        const size_t equals = pair.find('=');
        const LiveParameter* p = findLiveParameter(pair.substr(0, equals).c_str());
        const bool set = p && setLiveParameter(*p, pair.substr(equals + 1).c_str());
        assert(set && "a preset names table rows with values they take");
        (void)set;
        start = end + 1;
    }
}
