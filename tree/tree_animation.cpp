// The tree's animation: the classic step (the shared leaf shiver rotations,
// then the forces from the tips to the trunk, then the integration and
// frames from the trunk to the tips), and the fixed-rate steps of the
// physical model and of the classic one at a fixed rate.
#include <cmath>

#include "elements/tree_element.h"
#include "parameters/parameters.h"
#include "tree/tree.h"
#include "wind/wind.h"

// Asks for the cache lines of an element that a step reads and writes, ahead
// of use: its first stepBytes bytes (the step fields) and the class's own
// fields after the common part. Elements differ in size and their rest frames
// lie between, so the hardware prefetcher cannot follow the walk. (Always
// inlined: a function made only of prefetches counts as free of effects, and
// GCC drops calls to it.)
[[gnu::always_inline]] static inline void prefetchElement(const CTreeElement* e, ptrdiff_t stepBytes)
{
    const char* p = reinterpret_cast<const char*>(e);
#pragma GCC unroll 6
    for (int line = 0; line < 6; ++line)
        __builtin_prefetch(p + 64 * line, 1);
    __builtin_prefetch(p + stepBytes - 1, 1);
    __builtin_prefetch(p + sizeof(CTreeElement), 1);
}

// The walks of the trunk's computeForces (post-order) and step (pre-order),
// run as two loops over the elements in file order: backwards, every element
// comes after its children; forwards, after its parent. Each element samples
// the wind at its own point; a uniform wind is sampled once for all (at the
// trunk's midpoint), which gives the same vector without a frame product
// and a call per element.
void CTree::classicStep(float dt)
{
    // The wind's clock runs with the step's, so a paused tree sees a paused
    // wind.
    if (wind)
        wind->advance(dt);
    if (noModel || !trunk())
        return;
    if (shiverApply)
        updateShiver();
    const bool uniform = !wind || wind->isUniform();
    const Vec3 w = uniform ? trunk()->sampleWind(position) : Vec3{};
    // The step fields end where the load-time fields start (at depth), at
    // most seven lines in.
    const CTreeElement* first = elementOrder.front();
    const ptrdiff_t stepBytes = reinterpret_cast<const char*>(&first->depth) - reinterpret_cast<const char*>(first);
    // Sixteen elements ahead (about 2 us of work): measured a little faster
    // than eight, the lead riding out memory latency under contention.
    const size_t n = elementOrder.size(), ahead = 16;
    for (size_t i = n; i-- > 0;) {
        if (i >= ahead)
            prefetchElement(elementOrder[i - ahead], stepBytes);
        CTreeElement* e = elementOrder[i];
        e->computeOwnForces(uniform ? w : e->sampleWind(position));
    }
    for (size_t i = 0; i < n; ++i) {
        if (i + ahead < n)
            prefetchElement(elementOrder[i + ahead], stepBytes);
        elementOrder[i]->stepOwn(dt);
    }
}

namespace {
// The longest frame time stepped at a fixed rate (s): a longer frame (a
// stall, a debugger) is stepped as this much, so one frame's work stays
// bounded.
const double kLongestFrame = 1.0;
}  // namespace

// One fixed-rate accumulator serves both fixed-rate uses: the frame's time
// is added to the remainder, and steps of 1/rate are taken while a whole one
// is left, so the motion at every step time is the same at any frame rate.
// (The tolerance lets a frame of exactly two steps in float take two.)
void CTree::animate(float dt)
{
    if (bendingModel != activeBendingModel) {
        activeBendingModel = bendingModel;
        reset();
    }
    const bool physicalModel = bendingModel == 1;
    if (!physicalModel && !(fixedRate > 0.0f)) {
        classicStep(dt);
        return;
    }
    const double rate = physicalModel ? double(physicsRate) : double(fixedRate);
    if (!(rate > 0.0) || !std::isfinite(rate))
        return;
    const double h = 1.0 / rate;
    const double frame = (dt > 0.0f && std::isfinite(dt)) ? std::fmin(double(dt), kLongestFrame) : 0.0;
    stepRemainder += frame;
    while (stepRemainder >= h * (1.0 - 1e-6)) {
        stepRemainder -= h;
        if (!physicalModel) {
            classicStep(float(h));
            continue;
        }
        if (wind)
            wind->advance(float(h));
        if (noModel || !trunk())
            continue;
        if (!physical.built())
            physical.build(*this);
        physical.step(*this, h);
    }
}

// Sixteen rotations about the leaf's own X axis, each by 3 theta_i with
//   theta_i = a sin(shiverPhase + i),  a = shiverIntensity (pi/8) (1 - 1/(w + 1)),
// w = windVelocity; before matrix i the phase advances by
//   (i 0.03125 + 0.75) 0.0008 sqrt(w) shiverSpeed 2 pi.
void CTree::updateShiver()
{
    // The panel keeps the wind velocity in 0..100; anything else counts as calm.
    const float w = (windVelocity > 0.0f && std::isfinite(windVelocity)) ? windVelocity : 0.0f;
    const float amplitude = float(double(shiverIntensity) * 0.39269908125 * (1.0 - 1.0 / (double(w) + 1.0)));
    const float rootW = std::sqrt(w);
    for (int i = 0; i < 16; ++i) {
        shiverPhase = shiverPhase + (float(i) * 0.03125f + 0.75f) * 0.0008f * rootW * shiverSpeed * 6.2831853f;
        const double theta = double(amplitude) * std::sin(double(shiverPhase) + double(float(i)));
        const double c = std::cos(theta), s = std::sin(theta);
        Matrix4 R = identityMatrix();
        R.m[1][1] = c; R.m[1][2] = -s;
        R.m[2][1] = s; R.m[2][2] = c;
        shiverMatrices[i] = R * R * R;
    }
    // Keep the phase small so that float steps stay fine however long the
    // program runs: the sine has period 2 pi, so the wrap changes nothing.
    if (!(std::fabs(shiverPhase) < 4096.0f))
        shiverPhase = std::isfinite(shiverPhase) ? float(std::fmod(double(shiverPhase), 2.0 * M_PI)) : 0.0f;
}
