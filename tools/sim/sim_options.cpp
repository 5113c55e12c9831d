// dor-sim's command line: options start with "--", the one other argument is
// the tree file; parameter names and values are checked against the
// live-parameter table before anything runs.
#include "tools/sim/sim_options.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "parameters/parameters.h"
#include "wind/wind_presets.h"

const char* const SIM_USAGE =
    "usage: dor-sim FILE.tre [--seconds T] [--fps F] [--wind PRESET] [--model classic|physical]\n"
    "                        [--fixed-rate HZ] [--set NAME=VALUE]...\n"
    "                        [--at T:NAME=VALUE]... [--probe WHICH]... [--wind-probe X,Y,Z]... [--csv OUT.csv]\n"
    "                        [--gltf OUT.glb [--gltf-fps R]]\n";

namespace {

// The whole of text as a finite number.
bool readNumber(const std::string& text, double& x)
{
    if (text.empty())
        return false;
    char* end = nullptr;
    x = std::strtod(text.c_str(), &end);
    return *end == '\0' && std::isfinite(x);
}

// Bytes a parameter's global takes, for trying a value on it.
size_t sizeOf(const LiveParameter& p)
{
    switch (p.type) {
    case ParameterType::Text:
        return TREE_FILE_NAME_SIZE;
    case ParameterType::Rotation:
        return 16 * sizeof(float);
    case ParameterType::Double:
        return sizeof(double);
    case ParameterType::Float:
        return sizeof(float);
    default:
        return sizeof(int);
    }
}

// NAME=VALUE into change, checked against the table: the value is tried on
// the parameter, which is then put back as it was.
bool readChange(const std::string& text, ParameterChange& change, std::string& error)
{
    const size_t equals = text.find('=');
    if (equals == std::string::npos) {
        error = "ERROR: '" + text + "' is not NAME=VALUE";
        return false;
    }
    change.name = text.substr(0, equals);
    change.value = text.substr(equals + 1);
    const LiveParameter* p = findLiveParameter(change.name.c_str());
    if (!p) {
        error = "ERROR: unknown parameter '" + change.name + "'";
        return false;
    }
    unsigned char saved[TREE_FILE_NAME_SIZE];
    std::memcpy(saved, p->value, sizeOf(*p));
    const bool ok = setLiveParameter(*p, change.value.c_str());
    std::memcpy(p->value, saved, sizeOf(*p));
    if (!ok) {
        error = "ERROR: bad value '" + change.value + "' for parameter '" + change.name + "'";
        if (p->type != ParameterType::Text && p->type != ParameterType::Rotation) {
            char range[96];
            std::snprintf(range, sizeof range, " (%s, %g to %g)",
                          p->type == ParameterType::Flag  ? "0 or 1"
                          : p->type == ParameterType::Int ? "a whole number"
                                                          : "a number",
                          p->minimum, p->maximum);
            error += range;
        }
        return false;
    }
    return true;
}

// X,Y,Z as a point.
bool readPoint(const std::string& text, Vec3& point)
{
    double v[3];
    size_t start = 0;
    for (int k = 0; k < 3; ++k) {
        const size_t comma = text.find(',', start);
        if ((comma == std::string::npos) != (k == 2))
            return false;
        const std::string field = text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        if (!readNumber(field, v[k]) || std::fabs(v[k]) > 1e30)
            return false;
        start = comma + 1;
    }
    point = {float(v[0]), float(v[1]), float(v[2])};
    return true;
}

}  // namespace

bool parseSimOptions(int argc, char** argv, SimOptions& options, std::string& error)
{
    bool sawGltfFps = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg.rfind("--", 0) != 0) {
            if (!options.file.empty()) {
                error = "ERROR: more than one tree file ('" + options.file + "', '" + arg + "')";
                return false;
            }
            options.file = arg;
            continue;
        }
        const bool takesValue = arg == "--seconds" || arg == "--fps" || arg == "--set" || arg == "--at" ||
                                arg == "--probe" || arg == "--wind-probe" || arg == "--csv" || arg == "--wind" ||
                                arg == "--model" || arg == "--fixed-rate" || arg == "--gltf" || arg == "--gltf-fps";
        if (!takesValue) {
            error = "ERROR: unknown option '" + arg + "'";
            return false;
        }
        if (i + 1 >= argc) {
            error = "ERROR: " + arg + " needs a value";
            return false;
        }
        const std::string value = argv[++i];
        if (arg == "--seconds") {
            if (!readNumber(value, options.seconds) || options.seconds < 0.0) {
                error = "ERROR: --seconds needs a time in seconds, 0 or more, not '" + value + "'";
                return false;
            }
        } else if (arg == "--fps") {
            if (!readNumber(value, options.fps) || !(options.fps > 0.0)) {
                error = "ERROR: --fps needs a frame rate above 0, not '" + value + "'";
                return false;
            }
        } else if (arg == "--set") {
            ParameterChange change;
            if (!readChange(value, change, error))
                return false;
            options.sets.push_back(change);
        } else if (arg == "--at") {
            const size_t colon = value.find(':');
            ParameterChange change;
            if (colon == std::string::npos || !readNumber(value.substr(0, colon), change.time) ||
                change.time < 0.0) {
                error = "ERROR: --at needs T:NAME=VALUE with a time T of 0 or more, not '" + value + "'";
                return false;
            }
            if (!readChange(value.substr(colon + 1), change, error))
                return false;
            options.events.push_back(change);
        } else if (arg == "--model") {
            // The same as --set bendingModel=0 or 1, in its place.
            if (value != "classic" && value != "physical") {
                error = "ERROR: --model needs classic or physical, not '" + value + "'";
                return false;
            }
            ParameterChange change;
            if (!readChange(value == "physical" ? "bendingModel=1" : "bendingModel=0", change, error))
                return false;
            options.sets.push_back(change);
        } else if (arg == "--fixed-rate") {
            // The same as --set fixedRate=HZ: the classic model at a fixed rate.
            ParameterChange change;
            if (!readChange("fixedRate=" + value, change, error))
                return false;
            options.sets.push_back(change);
        } else if (arg == "--wind") {
            // A preset is its parameter settings, in the order of the command line.
            const WindPreset* preset = findWindPreset(value.c_str());
            if (!preset) {
                error = "ERROR: --wind needs one of calm, gusty, storm, not '" + value + "'";
                return false;
            }
            std::string settings = preset->settings;
            for (size_t start = 0; start < settings.size();) {
                size_t end = settings.find(' ', start);
                if (end == std::string::npos)
                    end = settings.size();
                ParameterChange change;
                if (!readChange(settings.substr(start, end - start), change, error))
                    return false;
                options.sets.push_back(change);
                start = end + 1;
            }
        } else if (arg == "--probe") {
            options.probes.push_back(value);
        } else if (arg == "--wind-probe") {
            Vec3 point;
            if (!readPoint(value, point)) {
                error = "ERROR: --wind-probe needs a point X,Y,Z, not '" + value + "'";
                return false;
            }
            options.windProbes.push_back(point);
        } else if (arg == "--gltf") {
            options.gltfPath = value;
        } else if (arg == "--gltf-fps") {
            if (!readNumber(value, options.gltfFps) || !(options.gltfFps > 0.0) || options.gltfFps > 1e6) {
                error = "ERROR: --gltf-fps needs a sample rate above 0 (at most 1e6), not '" + value + "'";
                return false;
            }
            sawGltfFps = true;
        } else {
            options.csvPath = value;
        }
    }
    if (options.file.empty()) {
        error = "ERROR: no tree file given";
        return false;
    }
    if (sawGltfFps && options.gltfPath.empty()) {
        error = "ERROR: --gltf-fps needs --gltf OUT.glb";
        return false;
    }
    // Key times are floats: up to 4 million samples they stay strictly
    // increasing, as glTF requires.
    if (!options.gltfPath.empty() && options.seconds * options.gltfFps > 4e6) {
        error = "ERROR: --seconds times --gltf-fps is more than 4e6 animation samples";
        return false;
    }
    // One frame a step; more than a billion steps is no run anyone waits for.
    if (options.seconds * options.fps > 1e9) {
        error = "ERROR: --seconds times --fps is more than 1e9 frames";
        return false;
    }
    return true;
}
