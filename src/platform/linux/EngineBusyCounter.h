#pragma once

#include "platform/linux/UniqueFd.h"

#include <QString>
#include <chrono>
#include <cstdint>
#include <optional>

// The busy time of a graphics engine from its driver's performance-event unit (i915's
// "rcs0-busy", in nanoseconds), where the system lets this user count it (perf_event_paranoid,
// CAP_PERFMON): the share of the time between two reads that the engine worked.
class EngineBusyCounter
{
public:
    // unitFolder: the unit under /sys/bus/event_source/devices; event: one of its events.
    EngineBusyCounter(const QString& unitFolder, const QString& event);

    // Whether the event is counted; not where the unit is missing or counting is not allowed.
    bool Counting() const { return m_counter.Valid(); }
    // Percent busy since the previous read; nothing at the first read or when a read fails.
    std::optional<double> Read();

private:
    UniqueFd m_counter;
    std::optional<std::pair<std::uint64_t, std::chrono::steady_clock::time_point>> m_last;
};
