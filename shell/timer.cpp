// The frame timer: measures the wall-clock duration of each displayed frame,
// from a monotonic high-resolution clock or, failing that, a millisecond
// clock. The duration is the next animation step's timeStep (seconds); its
// inverse is the frame rate of the overlay text.
#include "shell/timer.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>

float timeStep = 0.04f;
float framesPerSecond = 25.0f;
bool useHighResTimer = false;
int64_t perfFrequency = 0;
double secondsPerTick = 0.001;
int64_t lastPerfCount = 0;
uint32_t lastTickMs = 0;
int32_t frameMs = 0;
double fpsAccumulatorMs = 0.0;
char fpsText[64] = "";

namespace {

// The monotonic clock in nanoseconds stands for the performance counter.
bool monotonicFrequency(int64_t* frequency)
{
    using period = std::chrono::steady_clock::period;
    if (!std::chrono::steady_clock::is_steady || period::num <= 0)
        return false;
    *frequency = period::den / period::num;
    return *frequency > 0;
}

int64_t monotonicCounter()
{
    return std::chrono::steady_clock::now().time_since_epoch().count();
}

// Milliseconds of the monotonic clock, wrapping at 2^32 like a system tick count.
uint32_t monotonicMilliseconds()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    const uint64_t ms = uint64_t(now.tv_sec) * 1000u + uint64_t(now.tv_nsec) / 1000000u;
    return uint32_t(ms);
}

}  // namespace

TimerClock timerClock = {monotonicFrequency, monotonicCounter, monotonicMilliseconds};

void initTimer()
{
    int64_t frequency = 0;
    useHighResTimer = timerClock.queryFrequency(&frequency) && frequency > 0;
    if (useHighResTimer) {
        perfFrequency = frequency;
        std::printf("Timer: Using high resolution performance timer.\n");
        secondsPerTick = 1.0 / double(perfFrequency);
        lastPerfCount = timerClock.queryCounter();
        fpsAccumulatorMs = 1001.0;
    } else {
        std::printf("Timer: Using windows multimedia timer.\n");
        secondsPerTick = 0.001;
        fpsAccumulatorMs = 1001.0;
        lastTickMs = timerClock.milliseconds();
    }
}

void tickTimer()
{
    if (useHighResTimer) {
        const int64_t now = timerClock.queryCounter();
        const int64_t ticks = now - lastPerfCount;
        lastPerfCount = now;
        if (ticks <= 0) {
            // Two measurements within one tick (or a counter that stepped
            // back): the frame took no measurable time. The time step is 0 and
            // the frame rate shown stays that of the last measurable frame.
            timeStep = 0.0f;
        } else {
            const double s = double(ticks) * secondsPerTick;
            timeStep = float(s);
            framesPerSecond = float(1.0 / s);
        }
        fpsAccumulatorMs += double(timeStep) * 1000.0;
    } else {
        const uint32_t t = timerClock.milliseconds();
        // Unsigned 32-bit difference: correct across the wrap of the clock.
        const uint32_t elapsed = t - lastTickMs;
        frameMs = elapsed > uint32_t(INT32_MAX) ? INT32_MAX : int32_t(elapsed);
        timeStep = float(double(frameMs) * 0.001);
        if (frameMs == 0)
            frameMs = 1;  // a sub-millisecond frame counts as 1 ms for the rate and the accumulator
        framesPerSecond = float(1.0 / (double(frameMs) * 0.001));
        lastTickMs = t;
        fpsAccumulatorMs += double(frameMs);
    }
}

void updateFpsText()
{
    if (fpsAccumulatorMs > 100.0) {
        std::snprintf(fpsText, sizeof fpsText, "%.1f  Frames/s\n", double(framesPerSecond));
        // Keep the milliseconds past the last whole 100: 437.8 -> 37.
        fpsAccumulatorMs = std::fmod(std::trunc(fpsAccumulatorMs), 100.0);
    }
}
