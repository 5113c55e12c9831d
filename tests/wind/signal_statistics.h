// Statistics of sampled wind signals for the wind tests: moments,
// correlations, the 1/e time of an autocorrelation, a Welch spectrum and the
// slope of its log-log fit, the lag of a cross-correlation's peak.
#pragma once

#include <cstddef>
#include <vector>

double meanOf(const std::vector<double>& x);
double standardDeviationOf(const std::vector<double>& x);
// Pearson correlation of two signals of equal length.
double correlationOf(const std::vector<double>& a, const std::vector<double>& b);
// The first lag (s) at which the autocorrelation of x (sampled every dt s)
// falls to 1/e, interpolated between samples; a negative value if never.
double oneOverETime(const std::vector<double>& x, double dt);
// The lag (s) at which the correlation of b(t) with a(t - lag) peaks, for
// lags 0 .. maxLag, refined by a parabola through the peak and its
// neighbours: how long b trails a.
double crossCorrelationPeakLag(const std::vector<double>& a, const std::vector<double>& b, double dt, double maxLag);

// Welch's estimate of the one-sided power spectral density of x (sampled
// every dt s): Hann-windowed segments of `segment` samples (a power of two),
// half overlapping. Frequencies k / (segment dt) for k = 1 .. segment/2 - 1.
struct Spectrum {
    std::vector<double> frequency, density;
};
Spectrum welchSpectrum(const std::vector<double>& x, double dt, size_t segment);
// The least-squares slope of log density against log frequency over
// [low, high] Hz, from the spectrum averaged in bins of equal width in log
// frequency (so that the many high frequencies do not outweigh the few low
// ones).
double spectrumSlope(const Spectrum& s, double low, double high, int bins);
