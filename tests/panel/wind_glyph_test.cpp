// The wind glyph's vector: the uniform wind as it was, or with the field on
// the field's wind at the glyph's place, changing as the field moves on.
#include <gtest/gtest.h>

#include "parameters/parameters.h"
#include "render/wind_glyph.h"
#include "wind/wind.h"

TEST(WindGlyph, ShowsTheUniformWindOrTheFieldAtItsPlace)
{
    resetLiveParameters();
    CWind wind;
    wind.advance(0.04f);
    Vec3 w = windGlyphVector(wind);
    EXPECT_EQ(w.x, wind.direction.x);
    EXPECT_EQ(w.y, wind.direction.y);
    EXPECT_EQ(w.z, wind.direction.z);

    // Gusts alone (no turbulence tile to build): the glyph's wind is the
    // field's at model (1, -1, 1), and it changes with the simulated time.
    windGusts = 1;
    gustInterval = 2.0f;
    gustStrength = 1.0f;
    float lowest = 1e9f, highest = -1e9f;
    for (int i = 0; i < 500; ++i) {
        wind.advance(0.04f);
        w = windGlyphVector(wind);
        const Vec3 there = wind.windAt({1.0f, -1.0f, 1.0f});
        ASSERT_EQ(w.x, there.x);
        ASSERT_EQ(w.y, there.y);
        ASSERT_EQ(w.z, there.z);
        lowest = std::min(lowest, w.x);
        highest = std::max(highest, w.x);
    }
    EXPECT_GT(highest - lowest, 1.0f) << "gusts pass the glyph";
    resetLiveParameters();
}
