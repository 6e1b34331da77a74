#include "app/SamplingTick.h"

#include "app/RateSettings.h"
#include "settings/SpeedRanges.h"
#include "core/PerfCore.h"

#include <algorithm>

TickSample TickSample::Of(const TPerfCore& core)
{
    return {&core.CpuUsage,      core.MemoryLoad,   core.SwapLoad,    core.DiskReadBytes,
            core.DiskWriteBytes, core.NetRecvBytes, core.NetSendBytes};
}

TickHistories TickHistories::Of(TPerfCore& core)
{
    return {&core.CpuHistory,      &core.MemHistory,       &core.SwapHistory,
            &core.DiskReadHistory, &core.DiskWriteHistory, &core.NetRecvHistory,
            &core.NetSendHistory,  &core.TempHistory,      &core.BatteryHistory,
            &core.GpuHistory,      &core.GpuMemHistory};
}

TSamplingTick::TSamplingTick()
{
    CpuPeak.assign(2, 0);
}

void TSamplingTick::ApplySettings(int perfRate, int graphRate, int dRange, int nRange,
                                  std::int64_t dRangeV, std::int64_t nRangeV, bool logConvSW)
{
    const RateSettings rates = RateSettingsFor(perfRate, graphRate);
    MainTimerIntervalMs = rates.MainTimerIntervalMs;
    RateFactor = rates.RateFactor;
    GraphDivider = rates.GraphDivider;
    DRange = dRange;
    NRange = nRange;
    LogConvSW = logConvSW;
    DiskFullScale =
        dRange == AutomaticRange ? DiskAutoPeak : FullScaleOf(DiskRanges, dRange, dRangeV);
    NetFullScale =
        nRange == AutomaticRange ? NetAutoPeak : FullScaleOf(NetworkRanges, nRange, nRangeV);
}

void TSamplingTick::ResetForSkin(int cpuCount)
{
    ++HistoryGeneration;
    CpuPeak.assign(static_cast<size_t>(std::max(cpuCount, 0)) + 1, 0);
    MemPeak = SwapPeak = 0;
    DiskReadPeak = DiskWritePeak = NetRecvPeak = NetSendPeak = 0;
    TempPeak = BatteryPeak = GpuPeak = GpuMemPeak = 0;
    DiskAutoPeak = 1;
    NetAutoPeak = 1;
    if (DRange == AutomaticRange)
        DiskFullScale = DiskAutoPeak;
    if (NRange == AutomaticRange)
        NetFullScale = NetAutoPeak;
}

int TSamplingTick::PercentOf(std::uint64_t rate, std::int64_t fullScale)
{
    if (fullScale <= 0)
        return 0;
    const auto scale = static_cast<std::uint64_t>(fullScale);
    if (rate > scale)
        return 100;
    // rate <= scale < 2^63, so rate * 100 may still overflow 64 bits: divide first.
    const std::uint64_t whole = rate / scale * 100;
    const std::uint64_t rest = rate % scale;
    const unsigned __int128 part = static_cast<unsigned __int128>(rest) * 100;
    const std::uint64_t ceilPart = static_cast<std::uint64_t>((part + scale - 1) / scale);
    return static_cast<int>(std::min<std::uint64_t>(whole + ceilPart, 100));
}

int TSamplingTick::DisplayPercent(int percent) const
{
    const int clamped = std::clamp(percent, 0, 100);
    return LogConvSW ? LogScale[static_cast<size_t>(clamped)].output : clamped;
}

void TSamplingTick::ComputeDisplayValues(const TickSample& sample)
{
    if (sample.CpuUsage) {
        const size_t count = std::min(CpuPeak.size(), sample.CpuUsage->size());
        for (size_t i = 0; i < count; ++i)
            CpuPeak[i] = std::max<std::uint32_t>(
                CpuPeak[i], static_cast<std::uint32_t>(std::max((*sample.CpuUsage)[i], 0)));
    }
    MemPeak = std::max(MemPeak, sample.MemoryLoad);
    SwapPeak = std::max(SwapPeak, sample.SwapLoad);
    TempPeak = std::max(TempPeak, static_cast<std::uint32_t>(std::clamp(sample.TempPos, 0, 100)));
    const auto percentPeak = [](std::uint32_t& peak, int percent) {
        peak = std::max(peak, static_cast<std::uint32_t>(std::clamp(percent, 0, 100)));
    };
    percentPeak(BatteryPeak, sample.BatteryPercent);
    percentPeak(GpuPeak, sample.GpuLoad);
    percentPeak(GpuMemPeak, sample.GpuMemoryLoad);

    const auto speeds = [this](int range, std::int64_t& autoPeak, std::int64_t& fullScale,
                               std::uint64_t first, std::uint64_t second, int& firstPos,
                               int& secondPos, std::uint32_t& firstPeak,
                               std::uint32_t& secondPeak) {
        if (range == AutomaticRange) {
            const std::uint64_t fastest = std::max(first, second);
            if (fastest > static_cast<std::uint64_t>(autoPeak))
                autoPeak = static_cast<std::int64_t>(std::min<std::uint64_t>(fastest, INT64_MAX));
            fullScale = autoPeak;
        }
        firstPos = DisplayPercent(PercentOf(first, fullScale));
        secondPos = DisplayPercent(PercentOf(second, fullScale));
        firstPeak = std::max(firstPeak, static_cast<std::uint32_t>(firstPos));
        secondPeak = std::max(secondPeak, static_cast<std::uint32_t>(secondPos));
    };
    speeds(DRange, DiskAutoPeak, DiskFullScale, sample.DiskReadBytes, sample.DiskWriteBytes,
           DiskReadPos, DiskWritePos, DiskReadPeak, DiskWritePeak);
    speeds(NRange, NetAutoPeak, NetFullScale, sample.NetRecvBytes, sample.NetSendBytes, NetRecvPos,
           NetSendPos, NetRecvPeak, NetSendPeak);
}

bool TSamplingTick::CountGraphTick()
{
    if (GraphCounter >= GraphDivider) {
        GraphCounter = 0;
        return true;
    }
    ++GraphCounter;
    return false;
}

void TSamplingTick::GraphStep(const TickHistories& histories)
{
    ++HistoryGeneration;
    if (histories.Cpu) {
        for (size_t i = CpuPeak.size(); i-- > 0;) {
            if (i < histories.Cpu->size())
                (*histories.Cpu)[i].Push(CpuPeak[i]);
            CpuPeak[i] = 0;
        }
    }
    const auto push = [](TPerfHistory* history, std::uint32_t& peak) {
        if (history)
            history->Push(peak);
        peak = 0;
    };
    push(histories.Mem, MemPeak);
    push(histories.Swap, SwapPeak);
    push(histories.DiskRead, DiskReadPeak);
    push(histories.DiskWrite, DiskWritePeak);
    push(histories.NetRecv, NetRecvPeak);
    push(histories.NetSend, NetSendPeak);
    push(histories.Temp, TempPeak);
    push(histories.Battery, BatteryPeak);
    push(histories.Gpu, GpuPeak);
    push(histories.GpuMem, GpuMemPeak);

    // An automatic scale falls by a tenth per step until a faster rate raises it again.
    if (DRange == AutomaticRange)
        DiskAutoPeak = DiskAutoPeak / 10 * 9 + DiskAutoPeak % 10 * 9 / 10;
    if (NRange == AutomaticRange)
        NetAutoPeak = NetAutoPeak / 10 * 9 + NetAutoPeak % 10 * 9 / 10;
}

bool TSamplingTick::CountSecondTick()
{
    ++SecondCounter;
    if (SecondCounter > 1000 / std::max(MainTimerIntervalMs, 1)) {
        SecondCounter = 0;
        return true;
    }
    return false;
}
