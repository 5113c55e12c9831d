// The gust sequence. Gust j peaks at
//   t_j = (j + r (x_j - 1/2)) T
// with strength a_j = 1 + r (y_j - 1/2), where T is the mean interval, r the
// randomness and x_j, y_j uniform in [0, 1) from the seed and j: the times
// are a jittered grid, so the mean interval is T whatever r, and no state is
// needed to know the gusts near any time. The envelope is
//   G(tau) = sum_j a_j h(tau - t_j),
//   h(l) = S((l + t_r) / t_r) for -t_r <= l <= 0,  S(1 - l / t_f) for 0 <= l <= t_f,  else 0,
// with S(x) = x^2 (3 - 2 x) (smoothstep: no kink at the start, the peak or
// the end) and t_r, t_f the rise and fall times. Each pulse has the area
// (t_r + t_f) / 2, so the mean of G is E[a] (t_r + t_f) / (2 T) with E[a] = 1.
#include "wind/gusts.h"

#include <algorithm>
#include <cmath>

#include "wind/deterministic_math.h"

namespace {

double uniformOf(const GustSequence& g, int64_t j, uint64_t stream)
{
    return uniform01(splitMix64(splitMix64(g.seed * 4 + stream) ^ uint64_t(j)));
}

double smoothStep(double x) { return x * x * (3.0 - 2.0 * x); }

// Most gusts one envelope value adds up (a bound on the work of a sample
// when the interval is much shorter than the rise and fall).
const int64_t kMaxGustsAtOnce = 256;

}  // namespace

double gustPeakTime(const GustSequence& g, int64_t j)
{
    return (double(j) + g.randomness * (uniformOf(g, j, 1) - 0.5)) * g.interval;
}

double gustAmplitude(const GustSequence& g, int64_t j) { return 1.0 + g.randomness * (uniformOf(g, j, 2) - 0.5); }

double gustEnvelope(const GustSequence& g, double tau)
{
    if (!(g.interval > 0.0) || !(g.rise > 0.0) || !(g.fall > 0.0) || !std::isfinite(tau))
        return 0.0;
    // Gusts that can touch tau: t_j in [tau - t_f, tau + t_r], and t_j lies
    // within r T / 2 of j T.
    const double spread = 0.5 * g.randomness;
    const double first = std::ceil((tau - g.fall) / g.interval - spread);
    const double last = std::floor((tau + g.rise) / g.interval + spread);
    if (!(std::fabs(first) < 9e15 && std::fabs(last) < 9e15))
        return 0.0;
    double sum = 0.0;
    for (int64_t j = int64_t(first), end = std::min(int64_t(last), int64_t(first) + kMaxGustsAtOnce); j <= end; ++j) {
        const double l = tau - gustPeakTime(g, j);
        if (l <= -g.rise || l >= g.fall)
            continue;
        const double h = l <= 0.0 ? smoothStep((l + g.rise) / g.rise) : smoothStep(1.0 - l / g.fall);
        sum += gustAmplitude(g, j) * h;
    }
    return sum;
}

double gustEnvelopeMean(const GustSequence& g)
{
    if (!(g.interval > 0.0) || !(g.rise > 0.0) || !(g.fall > 0.0))
        return 0.0;
    return (g.rise + g.fall) / (2.0 * g.interval);
}
