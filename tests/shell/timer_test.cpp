// The frame timer on both clock sources, driven by a test clock: the console
// messages, the time step and frame rate, the millisecond clock's wrap, and
// the refresh rule of the frame-rate text.
#include <cstring>
#include <string>

#include "shell/timer.h"
#include "common/near.h"

namespace {

bool hasCounter = true;
int64_t counter = 0;
uint32_t milliseconds = 0;

bool testFrequency(int64_t* f)
{
    if (hasCounter)
        *f = 1000000;  // microsecond ticks
    return hasCounter;
}
int64_t testCounter() { return counter; }
uint32_t testMilliseconds() { return milliseconds; }

class FrameTimer : public ::testing::Test {
protected:
    void SetUp() override
    {
        saved = timerClock;
        timerClock = {testFrequency, testCounter, testMilliseconds};
        fpsText[0] = '\0';
        framesPerSecond = 25.0f;
        timeStep = 0.04f;
    }
    void TearDown() override { timerClock = saved; }

    std::string start(bool highRes)
    {
        hasCounter = highRes;
        ::testing::internal::CaptureStdout();
        initTimer();
        return ::testing::internal::GetCapturedStdout();
    }
    TimerClock saved{};
};

TEST_F(FrameTimer, HighResolutionClock)
{
    counter = 5000;
    EXPECT_EQ(start(true), "Timer: Using high resolution performance timer.\n");
    EXPECT_TRUE(useHighResTimer);
    EXPECT_TRUE(near(secondsPerTick, 1e-6));
    EXPECT_EQ(fpsAccumulatorMs, 1001.0);

    counter += 16667;  // 16.667 ms
    tickTimer();
    EXPECT_EQ(timeStep, float(0.016667));
    EXPECT_EQ(framesPerSecond, float(1.0 / 0.016667));
    EXPECT_TRUE(near(fpsAccumulatorMs, 1001.0 + double(float(0.016667)) * 1000.0));
    // The first frame always refreshes the text.
    updateFpsText();
    EXPECT_STREQ(fpsText, "60.0  Frames/s\n");
    EXPECT_EQ(fpsAccumulatorMs, 17.0);  // trunc(1017.667) mod 100

    // Sub-millisecond frames are measured exactly.
    counter += 250;
    tickTimer();
    EXPECT_EQ(timeStep, 0.00025f);
    EXPECT_EQ(framesPerSecond, 4000.0f);
}

// Two measurements within one tick: time step 0, the frame rate of the last
// measurable frame stays (no division by zero).
TEST_F(FrameTimer, HighResolutionZeroInterval)
{
    counter = 100;
    start(true);
    counter += 20000;
    tickTimer();
    EXPECT_EQ(framesPerSecond, 50.0f);
    const double accumulator = fpsAccumulatorMs;
    tickTimer();
    EXPECT_EQ(timeStep, 0.0f);
    EXPECT_EQ(framesPerSecond, 50.0f);
    EXPECT_EQ(fpsAccumulatorMs, accumulator);
}

TEST_F(FrameTimer, MillisecondClock)
{
    milliseconds = 1000;
    EXPECT_EQ(start(false), "Timer: Using windows multimedia timer.\n");
    EXPECT_FALSE(useHighResTimer);
    EXPECT_EQ(secondsPerTick, 0.001);
    EXPECT_EQ(fpsAccumulatorMs, 1001.0);

    milliseconds += 40;
    tickTimer();
    EXPECT_EQ(frameMs, 40);
    EXPECT_EQ(timeStep, 0.04f);
    EXPECT_EQ(framesPerSecond, 25.0f);
    EXPECT_EQ(fpsAccumulatorMs, 1041.0);
    updateFpsText();
    EXPECT_STREQ(fpsText, "25.0  Frames/s\n");
    EXPECT_EQ(fpsAccumulatorMs, 41.0);

    // Two frames within one millisecond: time step 0, rate 1000.
    tickTimer();
    EXPECT_EQ(timeStep, 0.0f);
    EXPECT_EQ(framesPerSecond, 1000.0f);
    EXPECT_EQ(fpsAccumulatorMs, 42.0);

    // Time steps move in whole milliseconds.
    milliseconds += 7;
    tickTimer();
    EXPECT_EQ(timeStep, 0.007f);
}

TEST_F(FrameTimer, MillisecondClockWraps)
{
    milliseconds = 0xFFFFFFF0u;
    start(false);
    milliseconds = 0x00000010u;  // 32 ms later, across the wrap
    tickTimer();
    EXPECT_EQ(frameMs, 32);
    EXPECT_EQ(timeStep, 0.032f);
    EXPECT_EQ(framesPerSecond, 31.25f);
}

TEST_F(FrameTimer, TextRefreshesOnlyAboveOneHundredMilliseconds)
{
    start(false);
    framesPerSecond = 12.34f;
    fpsAccumulatorMs = 100.0;
    updateFpsText();
    EXPECT_STREQ(fpsText, "");
    EXPECT_EQ(fpsAccumulatorMs, 100.0);
    fpsAccumulatorMs = 100.5;
    updateFpsText();
    EXPECT_STREQ(fpsText, "12.3  Frames/s\n");
    EXPECT_EQ(fpsAccumulatorMs, 0.0);
    fpsAccumulatorMs = 437.8;
    updateFpsText();
    EXPECT_EQ(fpsAccumulatorMs, 37.0);
    // A very long first frame (hours) still folds back safely.
    fpsAccumulatorMs = 1e15 + 250.0;
    updateFpsText();
    EXPECT_EQ(fpsAccumulatorMs, 50.0);
}

// The default clock is the monotonic one: it never runs backwards.
TEST_F(FrameTimer, DefaultClockIsMonotonic)
{
    timerClock = saved;
    ::testing::internal::CaptureStdout();
    initTimer();
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "Timer: Using high resolution performance timer.\n");
    for (int i = 0; i < 100; ++i) {
        tickTimer();
        EXPECT_GE(timeStep, 0.0f);
    }
    EXPECT_GT(perfFrequency, 0);
}

}  // namespace
