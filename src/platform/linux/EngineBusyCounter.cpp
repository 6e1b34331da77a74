#include "platform/linux/EngineBusyCounter.h"

#include "platform/linux/SysfsValues.h"

#include <linux/perf_event.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

// "config=0x10": the event's configuration, the only term a graphics unit's events have.
std::optional<std::uint64_t> EventConfig(const QString& text)
{
    if (!text.startsWith(u"config="))
        return std::nullopt;
    bool ok = false;
    const std::uint64_t config = text.mid(7).toULongLong(&ok, 0);
    return ok ? std::optional<std::uint64_t>(config) : std::nullopt;
}

} // namespace

EngineBusyCounter::EngineBusyCounter(const QString& unitFolder, const QString& event)
{
    bool typeOk = false, cpuOk = false;
    const unsigned type = ReadSysfsLine(unitFolder + QStringLiteral("/type")).toUInt(&typeOk);
    // An uncore unit counts on the one processor its cpumask names.
    const int cpu = ReadSysfsLine(unitFolder + QStringLiteral("/cpumask"))
                        .section(u',', 0, 0)
                        .section(u'-', 0, 0)
                        .toInt(&cpuOk);
    const auto config = EventConfig(ReadSysfsLine(unitFolder + QStringLiteral("/events/") + event));
    if (!typeOk || !cpuOk || !config)
        return;
    perf_event_attr attr{};
    attr.type = type;
    attr.size = sizeof attr;
    attr.config = *config;
    m_counter =
        UniqueFd(int(::syscall(SYS_perf_event_open, &attr, -1, cpu, -1, PERF_FLAG_FD_CLOEXEC)));
}

std::optional<double> EngineBusyCounter::Read()
{
    std::uint64_t busy = 0;
    if (!m_counter.Valid() || ::read(m_counter.Get(), &busy, sizeof busy) != sizeof busy) {
        m_last.reset();
        return std::nullopt;
    }
    const auto now = std::chrono::steady_clock::now();
    const auto last = std::exchange(m_last, std::pair(busy, now));
    if (!last || now <= last->second || busy < last->first)
        return std::nullopt;
    const double elapsed =
        double(std::chrono::duration_cast<std::chrono::nanoseconds>(now - last->second).count());
    return double(busy - last->first) * 100 / elapsed;
}
