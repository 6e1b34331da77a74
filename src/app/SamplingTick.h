#pragma once

#include "app/LogScaleTable.h"

#include <cstdint>
#include <vector>

class TPerfCore;
class TPerfHistory;

// One sample of the values the tick turns into display positions.
struct TickSample
{
    const std::vector<std::int32_t>* CpuUsage = nullptr; // [0] the average
    std::uint32_t MemoryLoad = 0;
    std::uint32_t SwapLoad = 0;
    std::uint64_t DiskReadBytes = 0;
    std::uint64_t DiskWriteBytes = 0;
    std::uint64_t NetRecvBytes = 0;
    std::uint64_t NetSendBytes = 0;
    // The sensors' display positions, 0..100; the core does not read them.
    int TempPos = 0;
    int BatteryPercent = 0;
    int GpuLoad = 0;
    int GpuMemoryLoad = 0;

    static TickSample Of(const TPerfCore& core);
};

// The histories a graph step pushes into.
struct TickHistories
{
    std::vector<TPerfHistory>* Cpu = nullptr;
    TPerfHistory* Mem = nullptr;
    TPerfHistory* Swap = nullptr;
    TPerfHistory* DiskRead = nullptr;
    TPerfHistory* DiskWrite = nullptr;
    TPerfHistory* NetRecv = nullptr;
    TPerfHistory* NetSend = nullptr;
    TPerfHistory* Temp = nullptr;
    TPerfHistory* Battery = nullptr;
    TPerfHistory* Gpu = nullptr;
    TPerfHistory* GpuMem = nullptr;

    static TickHistories Of(TPerfCore& core);
};

// The arithmetic of the sampling tick: byte rates to 0..100 display positions against a fixed
// or automatic full scale, optionally log-scaled; peaks between graph steps; the graph and
// alert counters; the decay of automatic scales. Rates and scales are 64-bit throughout.
class TSamplingTick
{
public:
    TSamplingTick();

    // The rate and range settings; run by ApplySettings.
    void ApplySettings(int perfRate, int graphRate, int dRange, int nRange, std::int64_t dRangeV,
                       std::int64_t nRangeV, bool logConvSW);
    // A skin load: per-processor peaks for cpuCount processors plus the average, all peaks 0
    // and the automatic scales back to 1.
    void ResetForSkin(int cpuCount);

    void ComputeDisplayValues(const TickSample& sample);
    // Counts the tick; true when this tick is a graph step (every GraphDivider + 1 ticks).
    bool CountGraphTick();
    void GraphStep(const TickHistories& histories);
    // Counts the tick; true when the alert check is due (about once a second).
    bool CountSecondTick();

    // A linear percent as shown: log-scaled when LogConvSW is on.
    int DisplayPercent(int percent) const;
    // ceil(rate * 100 / fullScale), 100 above the scale, 0 for a zero scale.
    static int PercentOf(std::uint64_t rate, std::int64_t fullScale);

    int MainTimerIntervalMs = 200;
    int RateFactor = 5;
    int GraphDivider = 10;
    int GraphCounter = 0;
    int SecondCounter = 0;
    int DRange = 0;
    int NRange = 0;
    bool LogConvSW = true;
    // Counts every change of the histories, so the renderer knows when its graphs are stale.
    std::uint64_t HistoryGeneration = 1;

    std::vector<std::uint32_t> CpuPeak;
    std::uint32_t MemPeak = 0;
    std::uint32_t SwapPeak = 0;
    std::uint32_t DiskReadPeak = 0;
    std::uint32_t DiskWritePeak = 0;
    std::uint32_t NetRecvPeak = 0;
    std::uint32_t NetSendPeak = 0;
    std::uint32_t TempPeak = 0;
    std::uint32_t BatteryPeak = 0;
    std::uint32_t GpuPeak = 0;
    std::uint32_t GpuMemPeak = 0;
    int DiskReadPos = 0;
    int DiskWritePos = 0;
    int NetRecvPos = 0;
    int NetSendPos = 0;
    std::int64_t DiskAutoPeak = 1;
    std::int64_t NetAutoPeak = 1;
    std::int64_t DiskFullScale = 1;
    std::int64_t NetFullScale = 1;

private:
    static constexpr LogScaleTable LogScale = BuildLogScaleTable();
};
