#pragma once

#include "core/ProcessShares.h"
#include "log/DebugLog.h"

#include <QObject>
#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>

// Reads the processes once a second on a thread of its own, only between Start() and Stop(),
// since a sample of every process costs what the rest of the monitor does in a second, and
// hands the busiest to the thread that owns the sampler. On a machine with so many processes
// that a sample costs more than its budget, the samples are spaced further apart. The thread is never waited for: one
// stuck in a read ends on its own once the read returns, holding what it uses.
class TProcessSampler : public QObject
{
public:
    static constexpr int IntervalMs = 1000;
    static constexpr size_t Kept = 5;
    // The processor time the samples may take, in microseconds a second (0.15 % of a core).
    static constexpr std::int64_t BudgetUsPerSecond = 1500;

    // The pause from one sample to the next for a sample that took costUs of processor time.
    static std::int64_t IntervalAfterMs(std::int64_t costUs)
    {
        return std::max<std::int64_t>(IntervalMs, costUs * 1000 / BudgetUsPerSecond);
    }

    TProcessSampler(std::unique_ptr<ProcessSource> source, TaggedLog log);
    ~TProcessSampler() override;

    // Start takes a first snapshot at once (or a second after the last one, whichever is
    // later); the first shares come a second after it. Stop returns at once.
    void Start();
    void Stop();
    bool Running() const { return m_running; }

    // The busiest processes of the last period, busiest first; empty while stopped.
    const std::vector<ProcessShare>& Latest() const { return m_latest; }
    // Changes with each sample taken; the tick compares it to see whether anything is new.
    std::uint64_t Generation() const { return m_generation; }
    // Called on the owner's thread after each sample.
    std::function<void()> OnSample;

    // Waits at most timeoutMs for the first sample since Start and takes it: for a run without
    // a window, which has to end on time whatever the reads do. Waits once in the sampler's
    // life; false when there is no sample.
    bool WaitForSample(int timeoutMs);

private:
    struct Shared;
    static void Run(std::shared_ptr<Shared> shared);
    void Take(std::vector<ProcessShare> sample, std::uint64_t number);

    std::shared_ptr<Shared> m_shared;
    TaggedLog m_log;
    bool m_running = false;
    bool m_waited = false;
    std::vector<ProcessShare> m_latest;
    std::uint64_t m_generation = 0;
    std::uint64_t m_startedAt = 0; // the number of the last sample before Start
};
