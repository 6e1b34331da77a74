#include "remote/RateCounters.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

std::optional<double> At(const RateCounters::Answers& answers, QueryInput input)
{
    const std::optional<double> value = answers[static_cast<std::size_t>(input)];
    if (!value || !std::isfinite(*value))
        return std::nullopt;
    return value;
}

// A rate's increase over the period; a negative or missing rate adds nothing.
double Increase(const RateCounters::Answers& answers, QueryInput input, double seconds)
{
    return std::max(0.0, At(answers, input).value_or(0)) * seconds;
}

std::uint64_t Whole(double value)
{
    return static_cast<std::uint64_t>(std::floor(value));
}

std::uint64_t PartOf(double percent)
{
    return Whole(std::clamp(percent, 0.0, 100.0) / 100 * RateCounters::WholeKb);
}

// The name the summed devices go by, in the records' fixed-size field.
template <std::size_t N> void Name(char (&field)[N])
{
    std::strncpy(field, "all", N - 1);
}

} // namespace

NodeExporterFigures RateCounters::Advance(const Answers& answers, double elapsedSeconds)
{
    const double seconds = std::max(0.0, elapsedSeconds);
    if (const std::optional<double> busy = At(answers, QueryInput::Processor)) {
        const double ticks = seconds * NodeExporterFigures::TicksPerSecond;
        const double part = std::clamp(*busy, 0.0, 100.0) / 100;
        m_busyTicks += part * ticks;
        m_idleTicks += (1 - part) * ticks;
    }
    m_readBytes += Increase(answers, QueryInput::DiskRead, seconds);
    m_writtenBytes += Increase(answers, QueryInput::DiskWrite, seconds);
    m_receivedBytes += Increase(answers, QueryInput::NetworkIn, seconds);
    m_sentBytes += Increase(answers, QueryInput::NetworkOut, seconds);

    NodeExporterFigures figures;
    // One processor: the answer is the whole machine's (or fleet's) share already.
    figures.Total.User = Whole(m_busyTicks);
    figures.Total.Idle = Whole(m_idleTicks);
    CpuTimes cpu = figures.Total;
    cpu.Number = 0;
    figures.Cpus.push_back(cpu);

    if (const std::optional<double> used = At(answers, QueryInput::Memory)) {
        figures.HasMemory = true;
        figures.Memory.MemTotal = WholeKb;
        figures.Memory.MemAvailable = WholeKb - PartOf(*used);
        figures.Memory.MemFree = figures.Memory.MemAvailable;
        figures.Memory.HasMemAvailable = true;
        if (const std::optional<double> swap = At(answers, QueryInput::Swap)) {
            figures.Memory.SwapTotal = WholeKb;
            figures.Memory.SwapFree = WholeKb - PartOf(*swap);
        }
    }

    DiskStats disk;
    Name(disk.Name);
    disk.SectorsRead = Whole(m_readBytes / 512);
    disk.SectorsWritten = Whole(m_writtenBytes / 512);
    figures.Disks.push_back(disk);
    NetDevStats net;
    Name(net.Name);
    net.RxBytes = Whole(m_receivedBytes);
    net.TxBytes = Whole(m_sentBytes);
    figures.Interfaces.push_back(net);

    if (const std::optional<double> celsius = At(answers, QueryInput::Temperature))
        figures.Temperatures.push_back(
            {{QStringLiteral("query/temperature"), QStringLiteral("query"),
              QStringLiteral("temperature"), false},
             *celsius});
    return figures;
}
