#pragma once

#include <algorithm>

// The timings that follow from the display rate (`PerfRate`) and the graph speed (`GraphRate`).
struct RateSettings
{
    int MainTimerIntervalMs;
    int RateFactor;   // samples per second
    int GraphDivider; // ticks per graph step, less one
};

inline RateSettings RateSettingsFor(int perfRate, int graphRate)
{
    const int graphFactor = graphRate == 1 ? 4 : graphRate == 2 ? 2 : 1;
    switch (perfRate) {
    case 1:
        return {100, 10, 20 / graphFactor};
    case 2:
        return {200, 5, 10 / graphFactor};
    case 3:
        return {500, 2, 4 / graphFactor};
    case 4:
        return {50, 20, 40 / graphFactor};
    default:
        return {1000, 1, 20};
    }
}

// The ping timer runs every `PingRate` seconds; a rate of 0 or below in the file would make it
// fire without pause, so one second is the least.
inline int PingTimerIntervalMs(int pingRate)
{
    return std::max(pingRate, 1) * 1000;
}
