// The gust sequence: its envelope's shape (a smooth rise to the peak and
// fall back), its spacing, and the mean that the field takes off.
#include <cmath>

#include "common/near.h"
#include "wind/gusts.h"

namespace {

TEST(Gusts, WithoutRandomnessGustsAreAlikeAndEvenlySpaced)
{
    GustSequence g;
    g.randomness = 0.0;
    for (int64_t j = -3; j < 4; ++j) {
        EXPECT_EQ(gustPeakTime(g, j), double(j) * g.interval);
        EXPECT_TRUE(near(gustEnvelope(g, double(j) * g.interval), 1.0));
        EXPECT_EQ(gustEnvelope(g, double(j) * g.interval - g.rise), 0.0);  // calm before
        EXPECT_EQ(gustEnvelope(g, double(j) * g.interval + g.fall), 0.0);  // calm after
        // Half way up and half way down (smoothstep's middle).
        EXPECT_TRUE(near(gustEnvelope(g, double(j) * g.interval - 0.5 * g.rise), 0.5));
        EXPECT_TRUE(near(gustEnvelope(g, double(j) * g.interval + 0.5 * g.fall), 0.5));
    }
}

TEST(Gusts, RandomnessSpreadsTimesAndStrengthsWithinTheirBounds)
{
    GustSequence g;
    g.randomness = 1.0;
    g.seed = 7;
    double shortest = 1e9, longest = 0.0, weakest = 1e9, strongest = 0.0;
    for (int64_t j = 0; j < 1000; ++j) {
        const double gap = gustPeakTime(g, j + 1) - gustPeakTime(g, j);
        shortest = std::fmin(shortest, gap);
        longest = std::fmax(longest, gap);
        weakest = std::fmin(weakest, gustAmplitude(g, j));
        strongest = std::fmax(strongest, gustAmplitude(g, j));
        EXPECT_LE(std::fabs(gustPeakTime(g, j) - double(j) * g.interval), 0.5 * g.interval);
    }
    EXPECT_GE(shortest, 0.0);
    EXPECT_LT(shortest, 0.2 * g.interval);
    EXPECT_GT(longest, 1.8 * g.interval);
    EXPECT_GE(weakest, 0.5);
    EXPECT_LE(strongest, 1.5);
    EXPECT_LT(weakest, 0.6);
    EXPECT_GT(strongest, 1.4);
}

TEST(Gusts, TheEnvelopesMeanIsTheOneTakenOff)
{
    for (double randomness : {0.0, 0.5, 1.0})
        for (double interval : {3.0, 20.0}) {  // 3 s: the gusts overlap
            GustSequence g;
            g.randomness = randomness;
            g.interval = interval;
            double sum = 0.0;
            const int n = 400000;
            for (int i = 0; i < n; ++i)
                sum += gustEnvelope(g, i * 0.01);
            EXPECT_TRUE(near(sum / n, gustEnvelopeMean(g), 0.01)) << randomness << " " << interval;
        }
}

TEST(Gusts, BadSettingsGiveCalm)
{
    GustSequence g;
    g.interval = 0.0;
    EXPECT_EQ(gustEnvelope(g, 0.0), 0.0);
    EXPECT_EQ(gustEnvelopeMean(g), 0.0);
    g.interval = 20.0;
    EXPECT_EQ(gustEnvelope(g, NAN), 0.0);
    EXPECT_EQ(gustEnvelope(g, 1e300), 0.0);
}

}  // namespace
