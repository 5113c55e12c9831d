// The live parameters' globals with their defaults, and the table that finds,
// sets and resets them by name.
#include "parameters/parameters.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>

#define DOR_DEFAULT_TREE_FILE "prunus_cerasifera_nigra_reduced32.tre"
#define DOR_IDENTITY {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}
const char* const DEFAULT_TREE_FILE_NAME = DOR_DEFAULT_TREE_FILE;
static const float IDENTITY_ROTATION[16] = DOR_IDENTITY;

// Constant-initialised: every parameter holds its default from program start.
#define DOR_DEFINE_PARAMETER(name, type, initial, ...) DOR_PARAMETER_TYPE_##type name = initial;
DOR_NUMERIC_PARAMETERS(DOR_DEFINE_PARAMETER)
#undef DOR_DEFINE_PARAMETER

char treeFileName[TREE_FILE_NAME_SIZE] = DOR_DEFAULT_TREE_FILE;
float windRotation[16] = DOR_IDENTITY;

// The row's default is the value the global holds (0.2 as a float is not
// the double 0.2).
#define DOR_PARAMETER_ROW(name, type, initial, low, high, unit, meaning) \
    {#name, ParameterType::type, &name, double(DOR_PARAMETER_TYPE_##type(initial)), double(low), double(high), unit, meaning},
const LiveParameter liveParameters[] = {
    {"treeFileName", ParameterType::Text, treeFileName, 0, 0, 0, "", "model file to load"},
    {"windRotation", ParameterType::Rotation, windRotation, 0, 0, 0, "",
     "wind turn, 4x4 read row by row (16 numbers)"},
    DOR_NUMERIC_PARAMETERS(DOR_PARAMETER_ROW)};
#undef DOR_PARAMETER_ROW
const std::size_t liveParameterCount = sizeof liveParameters / sizeof liveParameters[0];

const LiveParameter* findLiveParameter(const char* name)
{
    for (const LiveParameter& p : liveParameters)
        if (name && std::strcmp(p.name, name) == 0)
            return &p;
    return nullptr;
}

const LiveParameter* liveParameterAt(const void* value)
{
    for (const LiveParameter& p : liveParameters)
        if (p.value == value)
            return &p;
    return nullptr;
}

// The whole of text as a finite number; false for an empty text, trailing
// characters, overflow or NaN.
static bool readNumber(const char* text, double& number)
{
    char* end = nullptr;
    errno = 0;
    const double x = std::strtod(text, &end);
    if (end == text || *end != '\0' || errno == ERANGE || !std::isfinite(x))
        return false;
    number = x;
    return true;
}

bool setLiveParameter(const LiveParameter& p, const char* text)
{
    if (!text)
        return false;
    switch (p.type) {
    case ParameterType::Text:
        if (std::strlen(text) >= TREE_FILE_NAME_SIZE)
            return false;
        std::strcpy(static_cast<char*>(p.value), text);
        return true;
    case ParameterType::Rotation: {
        float m[16];
        const char* field = text;
        for (int i = 0; i < 16; ++i) {
            const char* comma = std::strchr(field, ',');
            const size_t n = comma ? size_t(comma - field) : std::strlen(field);
            if ((comma != nullptr) != (i < 15) || n == 0 || n > 63)
                return false;
            char one[64];
            std::memcpy(one, field, n);
            one[n] = '\0';
            double x = 0.0;
            if (!readNumber(one, x) || std::fabs(x) > 1e30)
                return false;
            m[i] = float(x);
            field = comma ? comma + 1 : field + n;
        }
        std::memcpy(p.value, m, sizeof m);
        return true;
    }
    default:
        break;
    }
    double x = 0.0;
    if (!readNumber(text, x) || x < p.minimum || x > p.maximum)
        return false;
    switch (p.type) {
    case ParameterType::Flag:
    case ParameterType::Int:
        if (x != std::floor(x))
            return false;
        *static_cast<int*>(p.value) = int(x);
        return true;
    case ParameterType::Float:
        *static_cast<float*>(p.value) = float(x);
        return true;
    case ParameterType::Double:
        *static_cast<double*>(p.value) = x;
        return true;
    default:
        return false;
    }
}

void resetLiveParameter(const LiveParameter& p)
{
    switch (p.type) {
    case ParameterType::Text:
        std::strcpy(static_cast<char*>(p.value), DEFAULT_TREE_FILE_NAME);
        break;
    case ParameterType::Rotation:
        std::memcpy(p.value, IDENTITY_ROTATION, sizeof IDENTITY_ROTATION);
        break;
    case ParameterType::Flag:
    case ParameterType::Int:
        *static_cast<int*>(p.value) = int(p.defaultValue);
        break;
    case ParameterType::Float:
        *static_cast<float*>(p.value) = float(p.defaultValue);
        break;
    case ParameterType::Double:
        *static_cast<double*>(p.value) = p.defaultValue;
        break;
    }
}

void resetLiveParameters()
{
    for (const LiveParameter& p : liveParameters)
        resetLiveParameter(p);
}
