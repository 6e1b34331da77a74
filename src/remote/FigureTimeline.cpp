#include "remote/FigureTimeline.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

namespace {

constexpr std::uint64_t CpuTimes::*CpuCounters[] = {
    &CpuTimes::User,   &CpuTimes::Nice, &CpuTimes::System,  &CpuTimes::Idle,
    &CpuTimes::IoWait, &CpuTimes::Irq,  &CpuTimes::SoftIrq, &CpuTimes::Steal};
constexpr std::uint64_t DiskStats::*DiskCounters[] = {
    &DiskStats::ReadsCompleted, &DiskStats::SectorsRead, &DiskStats::WritesCompleted,
    &DiskStats::SectorsWritten};
constexpr std::uint64_t NetDevStats::*NetCounters[] = {
    &NetDevStats::RxBytes,   &NetDevStats::RxPackets,   &NetDevStats::RxErrors,
    &NetDevStats::RxDrop,    &NetDevStats::RxMulticast, &NetDevStats::TxBytes,
    &NetDevStats::TxPackets, &NetDevStats::TxErrors,    &NetDevStats::TxDrop};

bool SameDevice(const CpuTimes& a, const CpuTimes& b)
{
    return a.Number == b.Number;
}

template <typename Record> bool SameDevice(const Record& a, const Record& b)
{
    return std::strcmp(a.Name, b.Name) == 0;
}

template <typename Record, std::size_t N>
void Between(Record& shown, const Record& before, double share,
             std::uint64_t Record::*const (&counters)[N])
{
    for (std::uint64_t Record::*counter : counters) {
        const std::uint64_t from = before.*counter, to = shown.*counter;
        // Counters kept running never go down; one that did is shown as it is now.
        if (to >= from)
            shown.*counter = from + static_cast<std::uint64_t>(
                                        std::llround(static_cast<double>(to - from) * share));
    }
}

// The records are those of the last reply; a device that was in the one before goes along the
// line, a new one stands where it is.
template <typename Record, std::size_t N>
void Between(std::vector<Record>& shown, const std::vector<Record>& before, double share,
             std::uint64_t Record::*const (&counters)[N])
{
    for (std::size_t i = 0; i < shown.size(); ++i) {
        const Record* match =
            i < before.size() && SameDevice(before[i], shown[i]) ? &before[i] : nullptr;
        for (std::size_t j = 0; !match && j < before.size(); ++j)
            if (SameDevice(before[j], shown[i]))
                match = &before[j];
        if (match)
            Between(shown[i], *match, share, counters);
    }
}

} // namespace

void FigureTimeline::Add(const NodeExporterFigures& figures, qint64 atMs)
{
    std::swap(m_previous, m_latest);
    m_latest = figures;
    m_previousAt = std::exchange(m_latestAt, atMs);
    m_count = std::min(m_count + 1, 2);
}

const NodeExporterFigures& FigureTimeline::CountersAt(qint64 nowMs, qint64& shownAtMs)
{
    m_shown.Total = m_latest.Total;
    m_shown.Cpus = m_latest.Cpus;
    m_shown.Disks = m_latest.Disks;
    m_shown.Interfaces = m_latest.Interfaces;
    shownAtMs = m_latestAt;
    if (m_count < 2 || m_latestAt <= m_previousAt)
        return m_shown;
    const qint64 span = m_latestAt - m_previousAt;
    const double share = std::clamp(
        static_cast<double>(nowMs - m_latestAt) / (static_cast<double>(span) * Stretch), 0.0, 1.0);
    shownAtMs = m_previousAt + std::llround(static_cast<double>(span) * share);
    Between(m_shown.Total, m_previous.Total, share, CpuCounters);
    Between(m_shown.Cpus, m_previous.Cpus, share, CpuCounters);
    Between(m_shown.Disks, m_previous.Disks, share, DiskCounters);
    Between(m_shown.Interfaces, m_previous.Interfaces, share, NetCounters);
    return m_shown;
}
