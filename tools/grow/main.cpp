// dor-grow: writes a procedural tree of one of the presets as a "tre" model,
// optionally with its own mesh and its textures, or one texture alone.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "image/png_writer.h"
#include "tools/grow/species.h"
#include "tools/grow/textures.h"
#include "tools/grow/tree_generator.h"

static void printHelp()
{
    std::printf(
        "usage: dor-grow --preset NAME [--elements N] [--seed S] [--mesh] [--sides K]\n"
        "                [--textures] [--bark FILE.png] [--leaf FILE.png] -o FILE.tre\n"
        "       dor-grow --preset NAME --texture bark|leaf [--seed S] -o FILE.png\n"
        "       dor-grow --list | --help\n"
        "\n"
        "Grows a tree of the preset with about N elements (segments and leaves,\n"
        "default 5000) from the seed S (default 1); the same options give the same file.\n"
        "  --mesh        write the model's own mesh: tapered cylinders of K sides\n"
        "                (default 12) and textured leaf cards\n"
        "  --textures    also write the bark and leaf textures beside FILE.tre\n"
        "  --bark, --leaf  texture file names the model's materials name\n"
        "                (default NAME_bark.png and NAME_leaf.png)\n"
        "  --texture     write only the bark or the leaf texture of the preset\n"
        "  --list        list the presets\n");
}

static bool parseNumber(const char* text, long long low, long long high, long long& value)
{
    errno = 0;
    char* end = nullptr;
    long long v = std::strtoll(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || v < low || v > high)
        return false;
    value = v;
    return true;
}

static bool endsWith(const std::string& s, const std::string& suffix)
{
    return s.size() >= suffix.size() && s.compare(s.size() - suffix.size(), suffix.size(), suffix) == 0;
}

static bool writeTexture(const TextureImage& image, const std::string& path)
{
    std::string error;
    if (!savePng(path, image.width, image.height, image.channels, image.pixels, error)) {
        std::printf("ERROR: %s\n", error.c_str());
        return false;
    }
    std::printf("dor-grow: wrote %s (%u x %u)\n", path.c_str(), image.width, image.height);
    return true;
}

int main(int argc, char** argv)
{
    std::string presetName, output, textureOnly;
    GrowOptions options;
    bool writeTextures = false;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        auto value = [&](const char* what) -> const char* {
            if (i + 1 >= argc) {
                std::printf("ERROR: %s needs %s\n", a.c_str(), what);
                return nullptr;
            }
            return argv[++i];
        };
        long long number = 0;
        if (a == "--help" || a == "-h") {
            printHelp();
            return 0;
        } else if (a == "--list") {
            for (const CSpecies& s : speciesPresets())
                std::printf("%-26s %s\n", s.name.c_str(), s.description.c_str());
            return 0;
        } else if (a == "--preset") {
            const char* v = value("a preset name");
            if (!v)
                return 1;
            presetName = v;
        } else if (a == "--elements") {
            const char* v = value("a count");
            if (!v || !parseNumber(v, 1, 20000000, number)) {
                std::printf("ERROR: --elements needs a count from 1 to 20000000\n");
                return 1;
            }
            options.targetElements = int(number);
        } else if (a == "--seed") {
            const char* v = value("a number");
            if (!v || !parseNumber(v, 0, (1ll << 62), number)) {
                std::printf("ERROR: --seed needs a non-negative integer\n");
                return 1;
            }
            options.seed = uint64_t(number);
        } else if (a == "--sides") {
            const char* v = value("a count");
            if (!v || !parseNumber(v, 3, 64, number)) {
                std::printf("ERROR: --sides needs a count from 3 to 64\n");
                return 1;
            }
            options.meshSides = int(number);
        } else if (a == "--mesh") {
            options.mesh = true;
        } else if (a == "--textures") {
            writeTextures = true;
        } else if (a == "--bark" || a == "--leaf" || a == "--texture" || a == "-o") {
            const char* v = value("a file name");
            if (!v)
                return 1;
            (a == "--bark" ? options.barkTexture : a == "--leaf" ? options.leafTexture
                           : a == "--texture" ? textureOnly : output) = v;
        } else {
            std::printf("ERROR: unknown argument '%s' (see dor-grow --help)\n", a.c_str());
            return 1;
        }
    }

    const CSpecies* species = findSpecies(presetName);
    if (!species) {
        std::printf("ERROR: unknown preset '%s'; the presets are:\n", presetName.c_str());
        for (const CSpecies& s : speciesPresets())
            std::printf("  %s\n", s.name.c_str());
        return 1;
    }
    if (output.empty()) {
        std::printf("ERROR: no output file (-o FILE)\n");
        return 1;
    }

    if (!textureOnly.empty()) {
        if (textureOnly != "bark" && textureOnly != "leaf") {
            std::printf("ERROR: --texture takes 'bark' or 'leaf'\n");
            return 1;
        }
        TextureImage image = textureOnly == "bark" ? makeBarkTexture(*species, options.seed)
                                                   : makeLeafTexture(*species, options.seed);
        return writeTexture(image, output) ? 0 : 1;
    }

    if (!endsWith(output, ".tre")) {
        std::printf("ERROR: the model file name must end in '.tre': %s\n", output.c_str());
        return 1;
    }
    TreFile tree = growTree(*species, options);
    std::string error;
    if (!saveTre(tree, output, error)) {
        std::printf("ERROR: %s\n", error.c_str());
        return 1;
    }
    size_t leaves = 0;
    for (const TreElement& e : tree.elements)
        leaves += e.leaf ? 1 : 0;
    std::printf("dor-grow: wrote %s: %zu elements (%zu segments, %zu leaves), %zu vertices, %zu triangles\n",
                output.c_str(), tree.elements.size(), tree.elements.size() - leaves, leaves,
                tree.vertices.size(), tree.faces.size());

    if (writeTextures) {
        size_t slash = output.find_last_of('/');
        std::string directory = slash == std::string::npos ? "" : output.substr(0, slash + 1);
        if (!writeTexture(makeBarkTexture(*species, options.seed), directory + tree.materials[0].textureFile) ||
            !writeTexture(makeLeafTexture(*species, options.seed), directory + tree.materials[1].textureFile))
            return 1;
    }
    return 0;
}
