// The wind tests' signal statistics (see signal_statistics.h).
#include "wind/signal_statistics.h"

#include <cmath>
#include <algorithm>
#include <complex>

#include "wind/fft.h"

double meanOf(const std::vector<double>& x)
{
    double s = 0.0;
    for (double v : x)
        s += v;
    return x.empty() ? 0.0 : s / double(x.size());
}

double standardDeviationOf(const std::vector<double>& x)
{
    const double m = meanOf(x);
    double s = 0.0;
    for (double v : x)
        s += (v - m) * (v - m);
    return x.size() < 2 ? 0.0 : std::sqrt(s / double(x.size()));
}

double correlationOf(const std::vector<double>& a, const std::vector<double>& b)
{
    const double ma = meanOf(a), mb = meanOf(b);
    double ab = 0.0, aa = 0.0, bb = 0.0;
    for (size_t i = 0; i < a.size() && i < b.size(); ++i) {
        ab += (a[i] - ma) * (b[i] - mb);
        aa += (a[i] - ma) * (a[i] - ma);
        bb += (b[i] - mb) * (b[i] - mb);
    }
    return aa > 0.0 && bb > 0.0 ? ab / std::sqrt(aa * bb) : 0.0;
}

namespace {

// Correlation of b(t) with a(t - lag samples), over the overlap, normalised by
// the whole signals' variances.
double laggedCorrelation(const std::vector<double>& a, const std::vector<double>& b, size_t lag)
{
    const double ma = meanOf(a), mb = meanOf(b), sa = standardDeviationOf(a), sb = standardDeviationOf(b);
    double s = 0.0;
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = lag; i < n; ++i)
        s += (a[i - lag] - ma) * (b[i] - mb);
    return n > lag && sa > 0.0 && sb > 0.0 ? s / (double(n - lag) * sa * sb) : 0.0;
}

}  // namespace

double oneOverETime(const std::vector<double>& x, double dt)
{
    const double target = std::exp(-1.0);
    double previous = 1.0;
    for (size_t lag = 1; lag < x.size() / 2; ++lag) {
        const double r = laggedCorrelation(x, x, lag);
        if (r <= target)
            return dt * (double(lag - 1) + (previous - target) / (previous - r));
        previous = r;
    }
    return -1.0;
}

double crossCorrelationPeakLag(const std::vector<double>& a, const std::vector<double>& b, double dt, double maxLag)
{
    const size_t last = size_t(maxLag / dt);
    std::vector<double> r(last + 1);
    size_t best = 0;
    for (size_t lag = 0; lag <= last; ++lag) {
        r[lag] = laggedCorrelation(a, b, lag);
        if (r[lag] > r[best])
            best = lag;
    }
    double offset = 0.0;
    if (best > 0 && best < last) {
        const double l = r[best - 1], c = r[best], h = r[best + 1];
        const double d = l - 2.0 * c + h;
        if (d < 0.0)
            offset = 0.5 * (l - h) / d;
    }
    return (double(best) + offset) * dt;
}

Spectrum welchSpectrum(const std::vector<double>& x, double dt, size_t segment)
{
    Spectrum s;
    const double m = meanOf(x);
    std::vector<double> window(segment);
    double windowSquares = 0.0;
    for (size_t i = 0; i < segment; ++i) {
        window[i] = 0.5 - 0.5 * std::cos(2.0 * M_PI * double(i) / double(segment));
        windowSquares += window[i] * window[i];
    }
    std::vector<double> sum(segment / 2, 0.0);
    int segments = 0;
    std::vector<std::complex<double>> buffer(segment);
    for (size_t start = 0; start + segment <= x.size(); start += segment / 2, ++segments) {
        for (size_t i = 0; i < segment; ++i)
            buffer[i] = (x[start + i] - m) * window[i];
        fourierTransform(buffer.data(), segment, -1);
        for (size_t k = 1; k < segment / 2; ++k)
            sum[k] += std::norm(buffer[k]);
    }
    for (size_t k = 1; k < segment / 2 && segments > 0; ++k) {
        s.frequency.push_back(double(k) / (double(segment) * dt));
        // One-sided: twice the two-sided density |X|^2 dt / sum w^2.
        s.density.push_back(2.0 * sum[k] * dt / (windowSquares * segments));
    }
    return s;
}

double spectrumSlope(const Spectrum& s, double low, double high, int bins)
{
    std::vector<double> logF, logD;
    const double step = std::log(high / low) / bins;
    for (int b = 0; b < bins; ++b) {
        const double from = low * std::exp(step * b), to = low * std::exp(step * (b + 1));
        double f = 0.0, d = 0.0;
        int n = 0;
        for (size_t k = 0; k < s.frequency.size(); ++k)
            if (s.frequency[k] >= from && s.frequency[k] < to) {
                f += std::log(s.frequency[k]);
                d += s.density[k];
                ++n;
            }
        if (n > 0) {
            logF.push_back(f / n);
            logD.push_back(std::log(d / n));
        }
    }
    const double mf = meanOf(logF), md = meanOf(logD);
    double num = 0.0, den = 0.0;
    for (size_t i = 0; i < logF.size(); ++i) {
        num += (logF[i] - mf) * (logD[i] - md);
        den += (logF[i] - mf) * (logF[i] - mf);
    }
    return den > 0.0 ? num / den : 0.0;
}
