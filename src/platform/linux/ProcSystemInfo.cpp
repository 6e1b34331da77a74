#include "platform/linux/ProcSystemInfo.h"

#include "platform/linux/MachineRecords.h"

#include <unistd.h>

ProcSystemInfo::ProcSystemInfo(const QString& statPath, const QString& memInfoPath)
    : m_stat(statPath), m_memInfo(memInfoPath)
{
    const long ticks = sysconf(_SC_CLK_TCK);
    if (ticks > 0 && 10000000 % ticks == 0)
        m_tickTo100Ns = static_cast<std::uint64_t>(10000000 / ticks);
    m_cpus.reserve(256);
}

bool ProcSystemInfo::ReadStat()
{
    return m_stat.Read() && ParseProcStat(m_stat.Text(), m_total, m_cpus);
}

std::uint32_t ProcSystemInfo::NumberOfProcessors()
{
    return ReadStat() ? static_cast<std::uint32_t>(m_cpus.size()) : 0;
}

MemoryStatus ProcSystemInfo::GlobalMemoryStatus()
{
    MemInfo info;
    if (!m_memInfo.Read() || !ParseMemInfo(m_memInfo.Text(), info))
        return {};
    return MachineRecords::MemoryStatusOf(info);
}

long ProcSystemInfo::NtQuerySystemInformation(int infoClass, void* buffer, std::uint32_t length)
{
    const bool read = ReadStat();
    return MachineRecords::SystemInformation(infoClass, buffer, length,
                                             read ? static_cast<std::uint32_t>(m_cpus.size()) : 0,
                                             read ? m_total.IdleAll() * m_tickTo100Ns : 0);
}

std::uint32_t ProcSystemInfo::TickCount()
{
    return MachineRecords::MonotonicMilliseconds();
}
