// The frame timer: measures each displayed frame; its duration is the next
// animation step's timeStep and its inverse the frame rate of the overlay.
#pragma once

#include <cstdint>

extern float timeStep;            // 0.04; seconds, duration of the last frame
extern float framesPerSecond;     // 25.0; 1 / duration of the last frame
extern bool useHighResTimer;      // false; the high-resolution counter is the source
extern int64_t perfFrequency;     // counter ticks per second
extern double secondsPerTick;     // 1 / perfFrequency; 0.001 on the millisecond clock
extern int64_t lastPerfCount;     // counter at the previous measurement
extern uint32_t lastTickMs;       // millisecond clock at the previous measurement
extern int32_t frameMs;           // milliseconds, last frame on the millisecond path
extern double fpsAccumulatorMs;   // milliseconds since the frame-rate text was refreshed
extern char fpsText[64];          // the overlay's frame-rate line

// The two clock sources. The defaults read the monotonic clock; tests replace them.
struct TimerClock {
    bool (*queryFrequency)(int64_t* frequency);  // false: no high-resolution counter
    int64_t (*queryCounter)();
    uint32_t (*milliseconds)();                  // wraps at 2^32
};
extern TimerClock timerClock;

void initTimer();
void tickTimer();
void updateFpsText();
