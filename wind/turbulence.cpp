// The turbulence tile: a random sum of Fourier modes on a periodic lattice,
// synthesised by FFT as a vector potential, and its sampling as the curl of
// the potential's trilinear interpolation.
//
// With x and k in integral length scales L, P = PERIOD and N = SIZE, the
// velocity is
//   u(x) = s Re sum_n c_n exp(i k_n . x),   k_n = 2 pi n / P,
// over n in {-N/2+1, ..., N/2-1}^3 without 0, each mode
//   c_n = A(|k_n|) exp(i phi_n) (cos(alpha_n) a_n + sin(alpha_n) b_n),
// where a_n, b_n are a unit pair perpendicular to k_n and phi_n, alpha_n are
// uniform in [0, 2 pi) from the seed, so k_n . c_n = 0 (the real part adds
// to mode n the conjugate of mode -n, also perpendicular to k_n). The
// lattice holds the same number of modes in every volume of k-space,
// 4 pi k^2 dk in a shell, so for the energy spectrum E(k) a mode's amplitude
// is
//   A(k)^2 = E(k) / k^2 T(k),   E(k) = (k L_e)^4 / (1 + (k L_e)^2)^(17/6)
// (von Karman, up to a constant): k^4 at the largest scales, Kolmogorov's
// k^(-5/3) in the inertial range k L_e >> 1. The spectrum of one component
// along a line (the wind's, for frozen turbulence) is then
//   F_11(k_1) ~ (1 + (k_1 L_e)^2)^(-5/6),
// whose longitudinal integral scale is 0.7468 L_e; L_e = 1.339 makes it 1.
// T rolls the spectrum off (cos^2) from |n| = N/4 to N/2, where a grid of
// spacing c = P / N no longer carries a mode faithfully.
//
// The grid stores the vector potential psi with u = curl psi,
//   psi_n = i (k_n x c_n) / |k_n|^2   (then i k_n x psi_n = c_n),
// and a sample is the curl of psi's trilinear interpolation. Inside a cell
// that is a polynomial whose divergence is zero (div curl = 0); across a
// face the normal component of the curl holds only derivatives along the
// face, which the interpolation keeps continuous, so no flow is made or lost
// at a face either: the sampled field is free of divergence everywhere. (Its
// components along a face do jump there, by about a quarter of the standard
// deviation.) The interpolated derivative filters a mode by about
// prod_i sinc^2(k_i c / 2); the modes are made that much stronger
// beforehand. The sums are one inverse FFT per component of psi on the N^3
// grid; s makes the mean variance of the three sampled components 1.
#include "wind/turbulence.h"

#include <complex>
#include <cstring>

#include "wind/deterministic_math.h"
#include "wind/fft.h"

namespace {

constexpr int N = CTurbulenceTile::SIZE;

// The frequency of grid index i: 0 .. N/2-1, then -N/2 .. -1.
int frequencyOf(int i) { return i < N / 2 ? i : i - N; }

// Mode n's vector c_n / A, component by component, from the seed.
void modeDirection(uint64_t seed, int nx, int ny, int nz, std::complex<double> c[3])
{
    const double k[3] = {double(nx), double(ny), double(nz)};
    const double kk = std::sqrt(k[0] * k[0] + k[1] * k[1] + k[2] * k[2]);
    const double u[3] = {k[0] / kk, k[1] / kk, k[2] / kk};
    // a: k crossed with the axis least along k; b = u x a.
    const int axis = std::fabs(u[0]) <= std::fabs(u[1]) && std::fabs(u[0]) <= std::fabs(u[2]) ? 0
                     : std::fabs(u[1]) <= std::fabs(u[2])                                      ? 1
                                                                                               : 2;
    const double e[3] = {axis == 0 ? 1.0 : 0.0, axis == 1 ? 1.0 : 0.0, axis == 2 ? 1.0 : 0.0};
    double a[3] = {u[1] * e[2] - u[2] * e[1], u[2] * e[0] - u[0] * e[2], u[0] * e[1] - u[1] * e[0]};
    const double aa = std::sqrt(a[0] * a[0] + a[1] * a[1] + a[2] * a[2]);
    for (double& v : a)
        v /= aa;
    const double b[3] = {u[1] * a[2] - u[2] * a[1], u[2] * a[0] - u[0] * a[2], u[0] * a[1] - u[1] * a[0]};
    const uint64_t index = (uint64_t(uint32_t(nx + N)) << 32) | (uint64_t(uint32_t(ny + N)) << 16) | uint64_t(uint32_t(nz + N));
    const uint64_t h = splitMix64(seed * 0x2545F4914F6CDD1Dull ^ splitMix64(index));
    double sp, cp, sa, ca;
    portableSinCos(2.0 * M_PI * uniform01(h), sp, cp);
    portableSinCos(2.0 * M_PI * uniform01(splitMix64(h)), sa, ca);
    for (int j = 0; j < 3; ++j) {
        const double d = ca * a[j] + sa * b[j];
        c[j] = {cp * d, sp * d};
    }
}

}  // namespace

void CTurbulenceTile::build(uint64_t newSeed)
{
    seed = newSeed;
    // A(k) depends on |n|^2 alone: one entry per value.
    const int maxSquare = 3 * (N / 2) * (N / 2);
    std::vector<double> amplitude(size_t(maxSquare) + 1, 0.0);
    for (int s = 1; s <= maxSquare; ++s) {
        const double k = 2.0 * M_PI * std::sqrt(double(s)) / PERIOD;
        const double x = (k * KARMAN_LENGTH) * (k * KARMAN_LENGTH);
        // (1 + x)^(17/12) = (1 + x) ((1 + x)^(1/12))^5
        const double r12 = std::sqrt(std::sqrt(portableCbrt(1.0 + x)));
        const double r5 = r12 * r12 * r12 * r12 * r12;
        // Rolled off from |n| = N/4 to N/2 (cos^2 in |n|), where the spline
        // no longer tells a mode from its aliases.
        const double n = std::sqrt(double(s)) / (N / 4.0);
        double taper = 1.0;
        if (n >= 2.0) {
            taper = 0.0;
        } else if (n > 1.0) {
            double sn = 0.0, cn = 1.0;
            portableSinCos(0.5 * M_PI * (n - 1.0), sn, cn);
            taper = cn * cn;
        }
        amplitude[size_t(s)] = taper * k / ((1.0 + x) * r5);
    }

    // The interpolation's filter, undone beforehand: 1 / sinc^2(pi n_i / N)
    // per axis.
    std::vector<double> sharpen(N);
    for (int i = 0; i < N; ++i) {
        const double x = M_PI * double(frequencyOf(i)) / N;
        double sx = 0.0, cx = 1.0;
        portableSinCos(x, sx, cx);
        const double sinc = x == 0.0 ? 1.0 : sx / x;
        sharpen[size_t(i)] = 1.0 / (sinc * sinc);
    }

    const size_t count = size_t(N) * N * N;
    const size_t padded = size_t(PADDED) * PADDED * PADDED;
    points.assign(padded * 4, 0.0f);
    std::vector<std::complex<double>> grid(count);
    std::vector<std::complex<double>> line(N);
    for (int component = 0; component < 3; ++component) {
        for (int iz = 0; iz < N; ++iz)
            for (int iy = 0; iy < N; ++iy)
                for (int ix = 0; ix < N; ++ix) {
                    std::complex<double>& g = grid[(size_t(iz) * N + iy) * N + ix];
                    const int nx = frequencyOf(ix), ny = frequencyOf(iy), nz = frequencyOf(iz);
                    // No mean flow (n = 0) and no Nyquist modes (their
                    // partner -n is not on the grid).
                    if ((nx == 0 && ny == 0 && nz == 0) || nx == -N / 2 || ny == -N / 2 || nz == -N / 2) {
                        g = 0.0;
                        continue;
                    }
                    std::complex<double> c[3];
                    modeDirection(seed, nx, ny, nz, c);
                    // The potential's mode: psi_n = i (n x c_n) / |n|^2 (in
                    // grid units: the scale s takes up the factor).
                    const double n[3] = {double(nx), double(ny), double(nz)};
                    const int a1 = (component + 1) % 3, a2 = (component + 2) % 3;
                    const std::complex<double> cross =
                        (n[a1] * c[a2] - n[a2] * c[a1]) / (n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
                    g = std::complex<double>(-cross.imag(), cross.real()) * (amplitude[size_t(nx * nx + ny * ny + nz * nz)] *
                                        sharpen[size_t(ix)] * sharpen[size_t(iy)] * sharpen[size_t(iz)]);
                }
        // Inverse transform along x, y and z; lines along y and z are
        // gathered so that each transform runs on contiguous memory.
        for (size_t l = 0; l < size_t(N) * N; ++l)
            fourierTransform(&grid[l * N], N, +1);
        for (int iz = 0; iz < N; ++iz)
            for (int ix = 0; ix < N; ++ix) {
                std::complex<double>* first = &grid[size_t(iz) * N * N + ix];
                for (int i = 0; i < N; ++i)
                    line[i] = first[size_t(i) * N];
                fourierTransform(line.data(), N, +1);
                for (int i = 0; i < N; ++i)
                    first[size_t(i) * N] = line[i];
            }
        for (int iy = 0; iy < N; ++iy)
            for (int ix = 0; ix < N; ++ix) {
                std::complex<double>* first = &grid[size_t(iy) * N + ix];
                for (int i = 0; i < N; ++i)
                    line[i] = first[size_t(i) * N * N];
                fourierTransform(line.data(), N, +1);
                for (int i = 0; i < N; ++i)
                    first[size_t(i) * N * N] = line[i];
            }
        // The padded copy: point i of each axis holds grid point i mod N.
        for (int iz = 0; iz < PADDED; ++iz)
            for (int iy = 0; iy < PADDED; ++iy)
                for (int ix = 0; ix < PADDED; ++ix) {
                    const double v = grid[(size_t(iz % N) * N + size_t(iy % N)) * N + size_t(ix % N)].real();
                    points[((size_t(iz) * PADDED + size_t(iy)) * PADDED + size_t(ix)) * 4 + size_t(component)] = float(v);
                }
    }
    // The field has no mean (no n = 0 mode), so its variance is its mean
    // square, measured at a million points spread over the tile.
    double sampledSquares = 0.0;
    const int samples = 1 << 20;
    for (int i = 0; i < samples; ++i) {
        const uint64_t h = splitMix64(seed ^ (uint64_t(i) << 20));
        const Vec3 v = sample(float(uniform01(h) * N), float(uniform01(splitMix64(h + 1)) * N),
                              float(uniform01(splitMix64(h + 2)) * N));
        sampledSquares += double(v.x) * v.x + double(v.y) * v.y + double(v.z) * v.z;
    }
    const double scale = 1.0 / std::sqrt(sampledSquares / (3.0 * samples));
    for (float& v : points)
        v = float(double(v) * scale);
}

std::shared_ptr<const CTurbulenceTile> turbulenceTile(uint64_t seed)
{
    static std::shared_ptr<const CTurbulenceTile> last;
    if (!last || last->seed != seed) {
        last.reset();  // one tile in memory at a time
        auto tile = std::make_shared<CTurbulenceTile>();
        tile->build(seed);
        last = tile;
    }
    return last;
}
