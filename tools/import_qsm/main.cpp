// dor-import-qsm: converts a quantitative structure model of a scanned tree
// (TreeQSM text or SimpleForest CSV) into a "tre" model.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "tools/import_qsm/qsm_import.h"

static void printHelp()
{
    std::printf(
        "usage: dor-import-qsm [options] INPUT -o OUTPUT.tre\n"
        "\n"
        "INPUT is a TreeQSM cylinder export (tab-separated text, 15 columns) or a\n"
        "SimpleForest CSV export (chosen by the .csv extension, or by --format).\n"
        "  --format treeqsm|simpleforest\n"
        "  --height H        scale the tree to H units tall (default 8; 0 keeps metres)\n"
        "  --min-diameter D  thicken thinner segments to D (default 0.12)\n"
        "  --leaves N        leaves on every tip cylinder (default 2)\n"
        "  --leaf-size L     leaf card length of the file mesh (default 0.3)\n"
        "  --mesh            write the model's own mesh (tapered cylinders, leaf cards)\n"
        "  --bark FILE.png, --leaf FILE.png   textures the materials name\n"
        "                    (default populus_nigra_italica_bark.png and _leaf.png)\n");
}

static bool parseReal(const char* text, double low, double high, double& value)
{
    errno = 0;
    char* end = nullptr;
    double v = std::strtod(text, &end);
    if (errno != 0 || end == text || *end != '\0' || !(v >= low && v <= high))
        return false;
    value = v;
    return true;
}

int main(int argc, char** argv)
{
    QsmImportOptions options;
    std::string input, output, format;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--help" || a == "-h") {
            printHelp();
            return 0;
        }
        if (a == "--mesh") {
            options.mesh = true;
            continue;
        }
        if (a.size() > 1 && a[0] == '-') {
            if (i + 1 >= argc) {
                std::printf("ERROR: %s needs a value\n", a.c_str());
                return 1;
            }
            const char* v = argv[++i];
            double number = 0.0;
            bool ok = true;
            if (a == "-o")
                output = v;
            else if (a == "--format")
                format = v;
            else if (a == "--bark")
                options.barkTexture = v;
            else if (a == "--leaf")
                options.leafTexture = v;
            else if (a == "--height")
                ok = parseReal(v, 0.0, 1e4, options.height);
            else if (a == "--min-diameter")
                ok = parseReal(v, 1e-6, 100.0, options.minDiameter);
            else if (a == "--leaf-size")
                ok = parseReal(v, 1e-6, 100.0, options.leafSize);
            else if (a == "--leaves") {
                ok = parseReal(v, 0, 1000, number) && number == double(int(number));
                options.leavesPerTip = int(number);
            } else {
                std::printf("ERROR: unknown option '%s' (see dor-import-qsm --help)\n", a.c_str());
                return 1;
            }
            if (!ok) {
                std::printf("ERROR: bad value for %s: '%s'\n", a.c_str(), v);
                return 1;
            }
            continue;
        }
        if (!input.empty()) {
            std::printf("ERROR: more than one input file ('%s', '%s')\n", input.c_str(), a.c_str());
            return 1;
        }
        input = a;
    }
    if (input.empty() || output.empty()) {
        std::printf("ERROR: need an input file and -o OUTPUT.tre (see dor-import-qsm --help)\n");
        return 1;
    }
    if (format != "" && format != "treeqsm" && format != "simpleforest") {
        std::printf("ERROR: --format is 'treeqsm' or 'simpleforest', not '%s'\n", format.c_str());
        return 1;
    }
    if (output.size() < 4 || output.compare(output.size() - 4, 4, ".tre") != 0) {
        std::printf("ERROR: the model file name must end in '.tre': %s\n", output.c_str());
        return 1;
    }
    std::string error;
    if (!importQsmFile(input, format, options, output, error)) {
        std::printf("ERROR: %s\n", error.c_str());
        return 1;
    }
    std::printf("dor-import-qsm: wrote %s\n", output.c_str());
    return 0;
}
