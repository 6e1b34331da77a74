#pragma once

#include "remote/NodeExporterFigures.h"
#include "remote/PromQuery.h"

#include <optional>

// The figures a Prometheus server's queries give are percentages and rates, while the
// measurement core takes counters and works the rates out itself. This turns one period's
// answers back into counters: each advanced by its rate over the time since the last period,
// and percentages as parts of a fixed whole. An input the server did not answer holds still.
class RateCounters
{
public:
    using Answers = std::array<std::optional<double>, QueryInputCount>;

    // The whole that memory and swap percentages are parts of, in kilobytes.
    static constexpr std::uint64_t WholeKb = 100000000;

    NodeExporterFigures Advance(const Answers& answers, double elapsedSeconds);

private:
    double m_busyTicks = 0;
    double m_idleTicks = 0;
    double m_readBytes = 0;
    double m_writtenBytes = 0;
    double m_receivedBytes = 0;
    double m_sentBytes = 0;
};
