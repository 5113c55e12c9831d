// Gust fronts: a sequence of gusts, each a rise and a fall of the wind speed,
// as seen where it crosses the model's origin; a front travels along the mean
// wind at the mean speed, so a point s downwind of the origin sees the
// sequence s / U later.
#pragma once

#include <cstdint>

struct GustSequence {
    double interval = 20.0;  // s, mean time between gusts
    double rise = 2.0;       // s, from calm to a gust's peak
    double fall = 4.0;       // s, from the peak back to calm
    double randomness = 0.5; // 0: gusts alike and evenly spaced; 1: times and strengths spread most
    uint64_t seed = 0;
};

// The gust envelope G(tau) at arrival time tau (s): 1 at the peak of a gust
// of average strength, 0 between gusts.
double gustEnvelope(const GustSequence& gusts, double tau);
// The mean of G over time: what the field takes off so that gusts leave the
// mean speed unchanged.
double gustEnvelopeMean(const GustSequence& gusts);
// The peak time (s) of gust j and its strength (factor of 1 on average).
double gustPeakTime(const GustSequence& gusts, int64_t j);
double gustAmplitude(const GustSequence& gusts, int64_t j);
