#pragma once

#include "platform/Processes.h"

#include <QString>
#include <optional>
#include <vector>

// A process and its share of the whole machine's processor time over a sampling period.
struct ProcessShare
{
    QString Name;
    int Pid = 0;
    double Percent = 0; // of every processor together, 0..100

    bool operator==(const ProcessShare&) const = default;
};

// The busiest processes between two snapshots of the same source.
class TProcessShares
{
public:
    // The count busiest processes of after, over the time since before, busiest first; equal
    // shares in the order of their pids. A process not in before, or whose pid then belonged
    // to another, spent all its time in the period. Nothing when no time has passed.
    static std::vector<ProcessShare> Between(const ProcessSnapshot& before,
                                             const ProcessSnapshot& after, size_t count);

    // Reads the next snapshot; the busiest since the one before, nothing at the first.
    std::optional<std::vector<ProcessShare>> Next(ProcessSource& source, size_t count);
    // The next snapshot starts anew: the one before is too old to measure a period from.
    void Reset() { m_primed = false; }

private:
    ProcessSnapshot m_before;
    ProcessSnapshot m_after;
    bool m_primed = false;
};
