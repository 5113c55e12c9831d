// The wind field as physics: over ten minutes of simulated time its mean,
// spread, correlation time, spectrum, coherence across the wind, travel
// downwind, divergence and gusts are those its parameters ask for; with both
// switches off it is the uniform wind, bit for bit; bad values and points
// stay harmless; the same seed and steps give the same numbers.
#include <cmath>
#include <cstring>
#include <vector>

#include "common/near.h"
#include "parameters/parameters.h"
#include "wind/deterministic_math.h"
#include "wind/gusts.h"
#include "wind/signal_statistics.h"
#include "wind/turbulence.h"
#include "wind/wind.h"

namespace {

const double kDt = 0.04;      // s: dor-sim's default 25 frames/s
const int kSteps = 15000;     // ten minutes
const double kSpeed = 4.0;    // m/s, windVelocity's default, along +x
const double kScale = 5.0;    // m, turbulenceScale's default
const double kIntensity = 0.2;

// The default wind blows along +x: u, v, w are the model's x, y, z.
struct Series {
    std::vector<double> u, v, w;
    void add(Vec3 s)
    {
        u.push_back(s.x);
        v.push_back(s.y);
        w.push_back(s.z);
    }
};

class WindField : public ::testing::Test {
protected:
    void SetUp() override { resetLiveParameters(); }
    void TearDown() override { resetLiveParameters(); }
};

// Ten minutes of turbulence (defaults, seed 1) at the points given, sampled
// after every step as dor-sim's --wind-probe does.
std::vector<Series> turbulenceAt(const std::vector<Vec3>& points)
{
    resetLiveParameters();
    windTurbulence = 1;
    CWind wind;
    std::vector<Series> series(points.size());
    for (int k = 0; k < kSteps; ++k) {
        wind.advance(float(kDt));
        for (size_t i = 0; i < points.size(); ++i)
            series[i].add(wind.windAt(points[i]));
    }
    resetLiveParameters();
    return series;
}

// The probe points: the one point, a neighbour 0.25 m (L / 20) and one 15 m
// (3 L) across the wind, one 10 m downwind.
const std::vector<Vec3> kPoints = {{0, 0, 2}, {0, 0.25f, 2}, {0, 15, 2}, {10, 0, 2}};

const std::vector<Series>& tenMinutes()
{
    static const std::vector<Series> series = turbulenceAt(kPoints);
    return series;
}

TEST_F(WindField, WithBothSwitchesOffItIsTheUniformWindBitForBit)
{
    windVelocity = 7.5f;
    windRotation[0] = 0.0f;
    windRotation[1] = -1.0f;
    windRotation[4] = 1.0f;
    windRotation[5] = 0.0f;
    CWind wind, reference;
    for (int k = 0; k < 50; ++k)
        wind.advance(0.04f);
    reference.update();
    EXPECT_TRUE(wind.isUniform());
    for (Vec3 p : {Vec3{0, 0, 0}, Vec3{3, -4, 10}, Vec3{1e6f, 0, 0}}) {
        const Vec3 w = wind.windAt(p);
        EXPECT_EQ(std::memcmp(&w, &reference.direction, sizeof w), 0);
    }
    // A panel change reaches the next sample at once, as before.
    windVelocity = 2.0f;
    EXPECT_EQ(wind.windAt({}).z, 2.0f);  // this rotation turns the wind up the model's Z
}

TEST_F(WindField, EitherSwitchMakesTheWindVaryFromPointToPoint)
{
    windTurbulence = 1;
    CWind wind;
    EXPECT_FALSE(wind.isUniform());
    wind.advance(0.04f);
    const Vec3 a = wind.windAt({0, 0, 2}), b = wind.windAt({3, 1, 2});
    EXPECT_NE(a.x, b.x);
    windTurbulence = 0;
    windGusts = 1;
    EXPECT_FALSE(wind.isUniform());
}

TEST_F(WindField, MeanSpeedAndSpreadOverTenMinutes)
{
    const Series& s = tenMinutes()[0];
    // The mean speed: the length of the ten-minute mean vector.
    const double mu = meanOf(s.u), mv = meanOf(s.v), mw = meanOf(s.w);
    EXPECT_TRUE(near(std::sqrt(mu * mu + mv * mv + mw * mw), kSpeed, 0.03));
    // Each component's standard deviation within a tenth of intensity x
    // speed (0.8 m/s: near's scale is 1 there).
    for (const std::vector<double>* c : {&s.u, &s.v, &s.w})
        EXPECT_TRUE(near(standardDeviationOf(*c), kIntensity * kSpeed, 0.1 * kIntensity * kSpeed));
}

TEST_F(WindField, CorrelationTimeIsTheLengthScaleOverTheSpeed)
{
    const double t = oneOverETime(tenMinutes()[0].u, kDt);
    EXPECT_GT(t, 0.7 * kScale / kSpeed);
    EXPECT_LT(t, 1.3 * kScale / kSpeed);
}

TEST_F(WindField, SpectrumFallsAtMinusFiveThirdsOverADecadeAboveTheIntegralFrequency)
{
    const Spectrum spectrum = welchSpectrum(tenMinutes()[0].u, kDt, 2048);
    const double integral = kSpeed / (2.0 * M_PI * kScale);  // Hz: the wave number 1 / L carried past
    const double slope = spectrumSlope(spectrum, integral, 10.0 * integral, 10);
    EXPECT_GT(slope, -5.0 / 3.0 - 0.3);
    EXPECT_LT(slope, -5.0 / 3.0 + 0.3);
}

TEST_F(WindField, PointsCloseAcrossTheWindMoveTogetherAndFarOnesDoNot)
{
    const std::vector<Series>& s = tenMinutes();
    EXPECT_GT(correlationOf(s[0].u, s[1].u), 0.9);
    EXPECT_LT(std::fabs(correlationOf(s[0].u, s[2].u)), 0.3);
}

TEST_F(WindField, TurbulenceIsFrozenAndCarriedDownwind)
{
    const std::vector<Series>& s = tenMinutes();
    const double expected = 10.0 / kSpeed;  // s
    const double lag = crossCorrelationPeakLag(s[0].u, s[3].u, kDt, 3.0 * expected);
    EXPECT_TRUE(near(lag, expected, 0.1));
    // Without the delay the two points are far less alike.
    EXPECT_LT(correlationOf(s[0].u, s[3].u), 0.5);
}

// The divergence of the sampled field in the tile's own axes by central
// differences at a quarter of a grid step, against the same three terms'
// size: sqrt(<(sum_i du_i/dx_i)^2> / <sum_i (du_i/dx_i)^2>). Inside a cell
// the curl of the interpolated potential has no divergence at all; a random
// field with the same spectrum but no such structure gives about 1.
TEST_F(WindField, TheTurbulenceHasNoDivergence)
{
    const std::shared_ptr<const CTurbulenceTile> tile = turbulenceTile(1);
    const float h = 0.25f;
    double divergence = 0.0, terms = 0.0, unrelated = 0.0;
    for (int i = 0; i < 20000; ++i) {
        const uint64_t r = splitMix64(uint64_t(i));
        // Points kept a step h from the cell faces, so that the differences
        // stay inside one cell.
        const float x = float(int(uniform01(r) * 128)) + 0.3f + 0.4f * float(uniform01(splitMix64(r + 1)));
        const float y = float(int(uniform01(splitMix64(r + 2)) * 128)) + 0.3f + 0.4f * float(uniform01(splitMix64(r + 3)));
        const float z = float(int(uniform01(splitMix64(r + 4)) * 128)) + 0.3f + 0.4f * float(uniform01(splitMix64(r + 5)));
        const double dux = (tile->sample(x + h, y, z).x - tile->sample(x - h, y, z).x) / (2 * h);
        const double dvy = (tile->sample(x, y + h, z).y - tile->sample(x, y - h, z).y) / (2 * h);
        const double dwz = (tile->sample(x, y, z + h).z - tile->sample(x, y, z - h).z) / (2 * h);
        // The same differences taken of the wrong components: no constraint ties them.
        const double duy = (tile->sample(x, y + h, z).x - tile->sample(x, y - h, z).x) / (2 * h);
        const double dvz = (tile->sample(x, y, z + h).y - tile->sample(x, y, z - h).y) / (2 * h);
        const double dwx = (tile->sample(x + h, y, z).z - tile->sample(x - h, y, z).z) / (2 * h);
        divergence += (dux + dvy + dwz) * (dux + dvy + dwz);
        unrelated += (duy + dvz + dwx) * (duy + dvz + dwx);
        terms += dux * dux + dvy * dvy + dwz * dwz;
    }
    EXPECT_LT(std::sqrt(divergence / terms), 1e-3);
    EXPECT_GT(std::sqrt(unrelated / terms), 0.3);  // the measure can tell (0.53)
}

// Across a face of a cell no flow is made or lost: the component normal to
// the face is the same on both sides.
TEST_F(WindField, TheFlowAcrossACellFaceIsContinuous)
{
    const std::shared_ptr<const CTurbulenceTile> tile = turbulenceTile(1);
    double jump = 0.0, size = 0.0;
    for (int i = 0; i < 5000; ++i) {
        const uint64_t r = splitMix64(uint64_t(i) + 99);
        const float face = float(int(uniform01(r) * 128));
        const float y = float(uniform01(splitMix64(r + 1)) * 128), z = float(uniform01(splitMix64(r + 2)) * 128);
        const Vec3 before = tile->sample(face - 1e-3f, y, z), after = tile->sample(face + 1e-3f, y, z);
        jump += (after.x - before.x) * (after.x - before.x);
        size += before.x * before.x;
    }
    EXPECT_LT(std::sqrt(jump / size), 0.01);
}

TEST_F(WindField, TheSameSeedAndStepsGiveTheSameNumbers)
{
    windTurbulence = 1;
    windGusts = 1;
    CWind a, b;
    for (int k = 0; k < 100; ++k) {
        a.advance(0.04f);
        b.advance(0.04f);
    }
    const Vec3 wa = a.windAt({1, 2, 3}), wb = b.windAt({1, 2, 3});
    EXPECT_EQ(std::memcmp(&wa, &wb, sizeof wa), 0);
    windSeed = 2;
    b.advance(0.0f);  // a new seed takes effect at the next step
    const Vec3 wc = b.windAt({1, 2, 3});
    EXPECT_NE(wc.x, wa.x);
}

TEST_F(WindField, APausedWindHoldsStill)
{
    windTurbulence = 1;
    windGusts = 1;
    CWind wind;
    wind.advance(0.5f);
    const Vec3 before = wind.windAt({1, 2, 3});
    for (float dt : {0.0f, -1.0f, NAN, INFINITY})
        wind.advance(dt);
    const Vec3 after = wind.windAt({1, 2, 3});
    EXPECT_EQ(std::memcmp(&before, &after, sizeof before), 0);
    EXPECT_EQ(wind.time, 0.5);
}

TEST_F(WindField, BadValuesAndFarPointsGiveAFiniteWind)
{
    windTurbulence = 1;
    windGusts = 1;
    CWind wind;
    turbulenceScale = NAN;
    turbulenceIntensity = INFINITY;
    gustInterval = -5.0f;
    gustStrength = NAN;
    windResponseTime = NAN;
    wind.advance(0.04f);
    for (Vec3 p : {Vec3{0, 0, 0}, Vec3{1e30f, -1e30f, 1e30f}, Vec3{NAN, 0, 0}, Vec3{INFINITY, 0, 0}}) {
        const Vec3 w = wind.windAt(p);
        EXPECT_TRUE(std::isfinite(w.x) && std::isfinite(w.y) && std::isfinite(w.z)) << p.x;
    }
}

TEST_F(WindField, TheMeanWindFollowsEditsThroughTheResponseTime)
{
    windGusts = 1;
    gustStrength = 0.0f;  // the field on, nothing on top of the mean
    windResponseTime = 2.0f;
    CWind wind;
    wind.advance(0.01f);
    EXPECT_EQ(wind.windAt({}).x, 4.0f);
    windVelocity = 10.0f;
    double t = 0.0;
    while (t < 2.0 - 1e-9) {
        wind.advance(0.01f);
        t += 0.01;
    }
    // A first-order lag: after one time constant 1 - 1/e of the step.
    EXPECT_TRUE(near(wind.windAt({}).x, 4.0 + 6.0 * (1.0 - std::exp(-1.0)), 0.01));
    for (int k = 0; k < 2000; ++k)
        wind.advance(0.01f);
    EXPECT_TRUE(near(wind.windAt({}).x, 10.0, 1e-4));
    // 0: immediate.
    windResponseTime = 0.0f;
    windVelocity = 3.0f;
    wind.advance(0.01f);
    EXPECT_EQ(wind.windAt({}).x, 3.0f);
}

// Ten minutes of gusts (no turbulence) at one point: a gust is counted
// where the speed rises through the middle of calm and peak.
TEST_F(WindField, GustsComeAtTheirMeanIntervalAndLeaveTheMeanSpeed)
{
    windGusts = 1;
    CWind wind;
    std::vector<double> speed;
    for (int k = 0; k < kSteps; ++k) {
        wind.advance(float(kDt));
        speed.push_back(wind.windAt({0, 0, 2}).x);
    }
    const double calm = kSpeed * (1.0 - gustStrength * gustEnvelopeMean(wind.gusts));
    const double threshold = calm + 0.5 * gustStrength * kSpeed * 0.75;  // half the weakest gust's peak
    int gusts = 0;
    for (size_t k = 1; k < speed.size(); ++k)
        gusts += speed[k - 1] < threshold && speed[k] >= threshold;
    ASSERT_GT(gusts, 0);
    const double interval = kSteps * kDt / gusts;
    EXPECT_TRUE(near(interval, gustInterval, 0.2));
    EXPECT_TRUE(near(meanOf(speed), kSpeed, 0.03));
}

TEST_F(WindField, AGustFrontReachesDownwindPointsLater)
{
    windGusts = 1;
    CWind wind;
    std::vector<double> upwind, downwind;
    for (int k = 0; k < kSteps; ++k) {
        wind.advance(float(kDt));
        upwind.push_back(wind.windAt({-10, 0, 2}).x);
        downwind.push_back(wind.windAt({10, 0, 2}).x);
    }
    EXPECT_TRUE(near(crossCorrelationPeakLag(upwind, downwind, kDt, 20.0), 20.0 / kSpeed, 0.02));
}

}  // namespace
