#include "core/ProcessShares.h"

#include <algorithm>
#include <utility>

std::vector<ProcessShare> TProcessShares::Between(const ProcessSnapshot& before,
                                                  const ProcessSnapshot& after, size_t count)
{
    // The machine's own count of its ticks; without it, the time passed on every processor.
    double machine = 0;
    if (before.MachineTicks > 0 && after.MachineTicks > before.MachineTicks)
        machine = double(after.MachineTicks - before.MachineTicks);
    else if (after.TakenMs > before.TakenMs)
        machine = double(after.TakenMs - before.TakenMs) / 1000.0 * double(after.TicksPerSecond) *
                  after.Processors;
    if (machine <= 0)
        return {};

    // Both lists are by pid: one walk pairs each process with its earlier self.
    struct Used
    {
        std::uint64_t Ticks;
        size_t Index;
    };
    std::vector<Used> used;
    used.reserve(after.Processes.size());
    auto earlier = before.Processes.begin();
    for (size_t i = 0; i < after.Processes.size(); ++i) {
        const ProcessTimes& now = after.Processes[i];
        while (earlier != before.Processes.end() && earlier->Pid < now.Pid)
            ++earlier;
        const bool same = earlier != before.Processes.end() && earlier->Pid == now.Pid &&
                          earlier->StartTicks == now.StartTicks;
        std::uint64_t ticks = now.CpuTicks;
        if (same)
            ticks = now.CpuTicks >= earlier->CpuTicks ? now.CpuTicks - earlier->CpuTicks : 0;
        used.push_back({ticks, i});
    }
    count = std::min(count, used.size());
    std::partial_sort(used.begin(), used.begin() + std::ptrdiff_t(count), used.end(),
                      [](const Used& a, const Used& b) {
                          return a.Ticks != b.Ticks ? a.Ticks > b.Ticks : a.Index < b.Index;
                      });

    std::vector<ProcessShare> busiest;
    busiest.reserve(count);
    for (size_t i = 0; i < count; ++i) {
        const ProcessTimes& process = after.Processes[used[i].Index];
        busiest.push_back({QString::fromUtf8(process.Name.data(), qsizetype(process.Name.size())),
                           process.Pid,
                           std::min(100.0, double(used[i].Ticks) * 100.0 / machine)});
    }
    return busiest;
}

std::optional<std::vector<ProcessShare>> TProcessShares::Next(ProcessSource& source, size_t count)
{
    std::swap(m_before, m_after);
    source.Read(m_after);
    if (!std::exchange(m_primed, true))
        return std::nullopt;
    return Between(m_before, m_after, count);
}
