// CWind: the wind source. The mean wind vector is a unit base direction
// (viewer axes, Y up) turned by the panel's windRotation, brought into the
// model's axes (Z up) and scaled by windVelocity (m/s). With the field on,
//
//   w(p, t) = M(t) + sigma R^T T(R (p / L) / c - X(t)) + g U (G(t - d.p / U) - Gbar) d
//
// M the mean wind (direction followed through the response time tau:
// dM/dt = (direction - M) / tau), U = |M|, d = M / U; T the unit turbulence
// tile (wind/turbulence.cpp) at grid spacing c integral scales, R a fixed
// turn from the model's axes to the tile's (so that no wind direction of
// interest runs along a row of the periodic tile), L = turbulenceScale,
// sigma = turbulenceIntensity U; X the pattern's travel in grid units,
// dX/dt = R M / (L c), which makes the turbulence frozen: carried with the
// mean wind, T(...) at p + M dt later equals T(...) at p now. G is the gust
// envelope (wind/gusts.cpp) with gustStrength g, a front reaching a point
// d.p downwind of the origin d.p / U after the origin; Gbar its mean, so that
// the mean wind stays M. R^T turns the tile's vectors back with its points,
// which keeps the turbulence free of divergence in the model's axes.
// Its glyph is drawn by the renderer (render/wind_glyph.cpp).
#include "wind/wind.h"

#include <cmath>

#include "parameters/parameters.h"
#include "wind/turbulence.h"

namespace {

// R: the rotation of the unit quaternion (0.8, 0.3, -0.4, 0.35) normalised,
// rows = the tile's axes in the model's. Any turn without small whole-number
// ratios in it would do.
struct TileTurn {
    double m[9];
    TileTurn()
    {
        double w = 0.8, x = 0.3, y = -0.4, z = 0.35;
        const double n = std::sqrt(w * w + x * x + y * y + z * z);
        w /= n; x /= n; y /= n; z /= n;
        const double r[9] = {1 - 2 * (y * y + z * z), 2 * (x * y - w * z),     2 * (x * z + w * y),
                             2 * (x * y + w * z),     1 - 2 * (x * x + z * z), 2 * (y * z - w * x),
                             2 * (x * z - w * y),     2 * (y * z + w * x),     1 - 2 * (x * x + y * y)};
        for (int i = 0; i < 9; ++i)
            m[i] = r[i];
    }
};
const TileTurn kTurn;

// A parameter as a finite number within [low, high], else fallback.
double within(double v, double low, double high, double fallback)
{
    return std::isfinite(v) ? std::fmin(std::fmax(v, low), high) : fallback;
}

}  // namespace

CWind::CWind(const float* d)
{
    const double x = d ? d[0] : 0.2, y = d ? d[1] : 0.0, z = d ? d[2] : 0.0;
    const double norm = std::sqrt(x * x + y * y + z * z);
    if (norm > 0.0 && std::isfinite(norm)) {
        const double inv = 1.0 / norm;
        baseDirection = {float(x * inv), float(y * inv), float(z * inv)};
    } else {
        // A zero (or non-finite) base direction has no direction to keep:
        // the default (1, 0, 0) takes its place.
        baseDirection = {1.0f, 0.0f, 0.0f};
    }
    update();
    meanWind = direction;
}

CWind::~CWind() = default;

void CWind::update()
{
    const float* r = windRotation;
    const double bx = baseDirection.x, by = baseDirection.y, bz = baseDirection.z;
    // The rotation widget's matrix, read row by row; r12..r15 unused.
    const double tx = r[0] * bx + r[1] * by + r[2] * bz + r[3];
    const double ty = r[4] * bx + r[5] * by + r[6] * bz + r[7];
    const double tz = r[8] * bx + r[9] * by + r[10] * bz + r[11];
    // Viewer axes -> model axes: rotation about x by 1.570796325 rad, so
    // (x, y, z) -> (x, -z, y) up to a term of about 2e-9.
    // (Computed once: every element samples the wind every step.)
    static const double theta = 1.570796325;
    static const double c = std::cos(theta), s = std::sin(theta);
    const double v = windVelocity;
    Vec3 w = {float(tx * v), float((c * ty - s * tz) * v), float((s * ty + c * tz) * v)};
    // A non-finite panel value must not reach the elements: no wind then.
    if (!std::isfinite(w.x) || !std::isfinite(w.y) || !std::isfinite(w.z))
        w = {0.0f, 0.0f, 0.0f};
    direction = w;
}

bool CWind::isUniform() const { return !windTurbulence && !windGusts; }

void CWind::advance(float dt)
{
    // A negative or non-finite step holds the field still.
    const double step = (dt > 0.0f && std::isfinite(dt)) ? double(dt) : 0.0;
    update();
    const double tau = within(windResponseTime, 0.0, 1e6, 0.0);
    if (isUniform() || tau <= 0.0) {
        meanWind = direction;
    } else {
        // Backward Euler of dM/dt = (direction - M) / tau: stable for any step.
        const float k = float(step / (tau + step));
        meanWind = meanWind + (direction - meanWind) * k;
    }
    time += step;

    const double speed = length(meanWind);
    meanDirection = speed > 0.0 ? meanWind * float(1.0 / speed) : Vec3{};
    inverseMeanSpeed = 1.0 / std::fmax(speed, 1e-3);

    // The turbulence: the pattern moves by R M dt / (L c) grid units.
    const double scale = within(turbulenceScale, 0.1, 1000.0, 5.0);
    const double cells = 1.0 / (scale * CTurbulenceTile::CELL);
    const double sigma = within(turbulenceIntensity, 0.0, 2.0, 0.0) * speed;
    const double size = CTurbulenceTile::SIZE;
    tileShift[3] = 0.0f;
    for (int c = 0; c < 3; ++c)
        toTile[c][3] = fromTile[c][3] = 0.0f;
    for (int r = 0; r < 3; ++r) {
        const double* row = &kTurn.m[3 * r];
        const double v = row[0] * meanWind.x + row[1] * meanWind.y + row[2] * meanWind.z;
        double o = std::fmod(tileOffset[r] + v * step * cells, size);
        if (o < 0.0)
            o += size;
        tileOffset[r] = o;
        tileShift[r] = float(o);
        for (int c = 0; c < 3; ++c) {
            toTile[c][r] = float(row[c] * cells);
            fromTile[r][c] = float(row[c] * sigma);  // R^T sigma: column r is row r of R
        }
    }
    const uint64_t seed = uint64_t(uint32_t(windSeed));
    if (windTurbulence && (!tile || tile->seed != seed)) {
        tile.reset();
        tile = turbulenceTile(seed);
    }

    // The gusts.
    gusts.interval = within(gustInterval, 1.0, 3600.0, 20.0);
    gusts.rise = within(gustRiseTime, 0.05, 600.0, 2.0);
    gusts.fall = within(gustFallTime, 0.05, 600.0, 4.0);
    gusts.randomness = within(gustRandomness, 0.0, 1.0, 0.5);
    gusts.seed = seed;
    gustSpeed = within(gustStrength, 0.0, 10.0, 0.0) * speed;
    gustMean = gustEnvelopeMean(gusts);
    tabulateGusts();
}

// The table of the gusts' added speed for this step, its step a sixteenth of
// the shorter of rise and fall (coarser where the reach takes more than the
// table holds, in a slow wind), so that a linear interpolation in it follows
// the smooth pulses closely.
void CWind::tabulateGusts()
{
    gustTableCount = 0;
    if (!windGusts || !(gustSpeed > 0.0))
        return;
    // A point s downwind sees at time t what the origin saw at t - s / U.
    const double first = -double(GUST_TABLE_REACH) * inverseMeanSpeed, last = -first;
    double step = std::fmin(gusts.rise, gusts.fall) / 16.0;
    if ((last - first) / step > GUST_TABLE_SIZE - 2)
        step = (last - first) / (GUST_TABLE_SIZE - 2);
    const int count = int((last - first) / step) + 2;
    for (int i = 0; i < count; ++i)
        gustTable[i] = float(gustSpeed * (gustEnvelope(gusts, time + first + i * step) - gustMean));
    gustTableCount = count;
    // Entry (-s / U - first) / step.
    gustTableSlope = float(-inverseMeanSpeed / step);
    gustTableOffset = float(-first / step);
}

Vec3 CWind::windAt(Vec3 p)
{
    if (isUniform()) {
        update();
        return direction;
    }
    Vec3 w = meanWind;
    if (windTurbulence && tile) {
        const Float4 q = toTile[0] * p.x + toTile[1] * p.y + toTile[2] * p.z - tileShift;
        const Float4 t = tile->sampleLanes(q);
        const Float4 v = fromTile[0] * t[0] + fromTile[1] * t[1] + fromTile[2] * t[2];
        w += Vec3{v[0], v[1], v[2]};
    }
    if (windGusts && gustSpeed > 0.0) {
        const float s = dot(meanDirection, p);
        const float x = s * gustTableSlope + gustTableOffset;
        float added;
        if (x >= 0.0f && x < float(gustTableCount - 1)) {
            const int i = int(x);
            added = gustTable[i] + (x - float(i)) * (gustTable[i + 1] - gustTable[i]);
        } else {
            const double tau = time - double(s) * inverseMeanSpeed;
            added = float(gustSpeed * (gustEnvelope(gusts, tau) - gustMean));
        }
        w += meanDirection * added;
    }
    return w;
}
