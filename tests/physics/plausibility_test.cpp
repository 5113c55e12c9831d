// The physical model on the committed models at the defaults: the stem top
// released from a steady wind sways at 0.2 to 3 Hz with a damping ratio of
// 0.02 to 0.3; its mean displacement at 10 m/s is 0.5 to 10 % of the
// height; and the frequency falls as the tree is scaled up, about as a
// cantilever's (scale to the power -1).
#include <cmath>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/near.h"
#include "elements/segment.h"
#include "physics_trees.h"

namespace {

struct Sway {
    double frequency = 0.0;  // Hz
    double damping = 0.0;    // damping ratio
};

// The segment with the highest tip at rest.
const CTreeElement* stemTop(const CTree& tree)
{
    const CTreeElement* top = nullptr;
    for (const CTreeElement* e : tree.elementOrder)
        if (dynamic_cast<const CSegment*>(e) && (!top || tipOf(*e).z > tipOf(*top).z))
            top = e;
    return top;
}

// 10 s of 4 m/s wind, then calm: the stem top's along-wind displacement
// from rest over the next 12 s; the frequency from its zero crossings, the
// damping ratio from the decay of its peaks over the first cycles.
Sway release(CTree& tree)
{
    const CTreeElement* top = stemTop(tree);
    const double rest = tipOf(*top).x;
    windVelocity = 4.0f;
    run(tree, 10.0, 60.0);
    windVelocity = 0.0f;
    std::vector<double> t, x;
    run(tree, 12.0, 60.0, [&](double time) {
        t.push_back(time);
        x.push_back(double(tipOf(*top).x) - rest);
    });
    std::vector<double> crossings, peaks;
    for (size_t i = 1; i + 1 < x.size(); ++i) {
        if ((x[i - 1] < 0.0) != (x[i] < 0.0))
            crossings.push_back(t[i - 1] + (t[i] - t[i - 1]) * x[i - 1] / (x[i - 1] - x[i]));
        if (std::fabs(x[i]) > std::fabs(x[i - 1]) && std::fabs(x[i]) >= std::fabs(x[i + 1]))
            peaks.push_back(std::fabs(x[i]));
    }
    Sway s;
    if (crossings.size() >= 3)
        s.frequency = 0.5 * double(crossings.size() - 1) / (crossings.back() - crossings.front());
    // Half a cycle between peaks of |x|: zeta = ln(A_k / A_k+1) / pi, over
    // the first six half cycles.
    const size_t n = std::min<size_t>(peaks.size(), 7);
    if (n >= 3)
        s.damping = std::log(peaks[0] / peaks[n - 1]) / ((3.14159265358979 * double(n - 1)));
    return s;
}

// The model's text with every segment's length and diameter times factor.
std::string scaledModel(const std::string& path, double factor)
{
    std::ifstream in(path);
    std::string line, out;
    while (std::getline(in, line)) {
        if (line.size() > 2 && line[0] == 'S' && line[1] == ' ') {
            std::istringstream f(line.substr(2));
            double length, diameter;
            f >> length >> diameter;
            std::string rest;
            std::getline(f, rest);
            line = "S " + std::to_string(length * factor) + " " + std::to_string(diameter * factor) + rest;
        }
        out += line + "\n";
    }
    return out;
}

}  // namespace

TEST(Plausibility, CommittedModelsSwayLikeTrees)
{
    for (const char* name : {DEFAULT_TREE_FILE_NAME, "picea_abies.tre", "prunus_cerasifera_nigra_mesh.tre"}) {
        SCOPED_TRACE(name);
        usePhysicalModel();
        LoadedTree t;
        ASSERT_TRUE(t.load(assetPath(name)));
        const Sway s = release(t.tree);
        EXPECT_GT(s.frequency, 0.2);
        EXPECT_LT(s.frequency, 3.0);
        EXPECT_GT(s.damping, 0.02);
        EXPECT_LT(s.damping, 0.3);

        // Steady 10 m/s: the mean displacement of the stem top over 5 s.
        t.tree.reset();
        const CTreeElement* top = stemTop(t.tree);
        const Vec3 rest = tipOf(*top);
        const double H = double(rest.z);
        windVelocity = 10.0f;
        run(t.tree, 10.0, 30.0);
        double sum = 0.0;
        int count = 0;
        run(t.tree, 5.0, 30.0, [&](double) {
            sum += double(length(tipOf(*top) - rest));
            ++count;
        });
        EXPECT_GT(sum / count, 0.005 * H);
        EXPECT_LT(sum / count, 0.10 * H);
    }
    resetLiveParameters();
}

TEST(Plausibility, FrequencyFallsAsTheTreeGrows)
{
    const std::string path = assetPath("prunus_cerasifera_nigra_mesh.tre");
    double f[2];
    const double factors[2] = {0.5, 2.0};
    for (int k = 0; k < 2; ++k) {
        usePhysicalModel();
        LoadedTree t;
        ASSERT_TRUE(t.loadText(scaledModel(path, factors[k])));
        f[k] = release(t.tree).frequency;
        ASSERT_GT(f[k], 0.0);
    }
    // A cantilever's frequency goes as D / L^2: the scale to the power -1.
    const double exponent = std::log(f[1] / f[0]) / std::log(factors[1] / factors[0]);
    EXPECT_TRUE(near(exponent, -1.0, 0.15)) << "exponent " << exponent;
    resetLiveParameters();
}
