// CWind: the wind every element samples. Its mean is a base direction turned
// by the panel's "Wind" rotation, its length windVelocity; while turbulence
// or gusts are on (windTurbulence, windGusts), windAt adds a field that
// varies in space and with the simulated time (wind/turbulence.h,
// wind/gusts.h), advanced by advance(dt) once per animation step.
#pragma once

#include <memory>

#include "elements/vector3.h"
#include "wind/gusts.h"
#include "wind/turbulence.h"

class CWind {
public:
    // d: base direction in the viewer's axes (Y up); null: (0.2, 0, 0).
    explicit CWind(const float* d = nullptr);
    ~CWind();
    CWind(const CWind&) = delete;
    CWind& operator=(const CWind&) = delete;

    // Recomputes direction from windRotation and windVelocity.
    void update();
    // Moves the field on by dt seconds of simulated time: the mean wind
    // follows direction through the response time, the turbulence pattern
    // moves downwind with it, the gust fronts travel. Builds the turbulence
    // tile the first time turbulence is on and again when windSeed changes
    // (about a second). Called by CTree::animate before its elements sample.
    void advance(float dt);
    // The wind at a model-space point (Z up, tree-file units: metres). With
    // the field off: refreshes direction and returns it, the same at every
    // point. With it on: the mean wind plus turbulence and gusts at the
    // point, as of the last advance.
    Vec3 windAt(Vec3 point);
    // True while windAt gives the same vector at every point (the field is
    // off), so that one sample serves a whole step.
    bool isUniform() const;
    // Divisor of every wind force: 1.
    double windDivisor() const { return 1.0; }
    // Fills gustTable for the step (part of advance).
    void tabulateGusts();

    Vec3 direction;      // current wind vector, model axes (Z up): windRotation and windVelocity
    Vec3 baseDirection;  // unit base direction, viewer axes (Y up)

    // The field's state.
    double time = 0.0;                  // s of simulated time advanced
    Vec3 meanWind;                      // m/s: the mean the field is built on (direction, lagged)
    std::shared_ptr<const CTurbulenceTile> tile;  // null until turbulence is first on
    double tileOffset[3] = {0, 0, 0};   // how far the pattern has moved, tile grid units, in [0, SIZE)
    // Per step, from the parameters and meanWind:
    // (Columns in the lanes of a register: a product is three multiplies.)
    Float4 toTile[3] = {};              // model point (m) -> tile grid units: column c multiplies p_c
    Float4 tileShift = {};              // tileOffset as floats
    Float4 fromTile[3] = {};            // tile sample -> m/s: the turn back times the standard deviation
    Vec3 meanDirection;                 // unit vector of meanWind (0 in calm)
    double inverseMeanSpeed = 0.0;      // s/m, for the fronts' delay
    double gustSpeed = 0.0;             // m/s added at an average gust's peak
    double gustMean = 0.0;              // mean of the envelope, taken off
    GustSequence gusts;
    // The gusts' added speed, m/s, tabulated per step against the arrival
    // delay -d.p / U (s) for the points within GUST_TABLE_REACH of the
    // origin along the wind (points further are computed directly): the
    // point p falls at entry (d.p) gustTableSlope + gustTableOffset.
    static constexpr int GUST_TABLE_SIZE = 512;
    static constexpr float GUST_TABLE_REACH = 50.0f;  // m
    float gustTable[GUST_TABLE_SIZE] = {};
    int gustTableCount = 0;
    float gustTableSlope = 0.0f, gustTableOffset = 0.0f;
};
