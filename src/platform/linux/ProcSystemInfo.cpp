#include "platform/linux/ProcSystemInfo.h"

#include <algorithm>
#include <cstring>
#include <time.h>
#include <unistd.h>

namespace {

constexpr std::int64_t FileTimeOfUnixEpoch = 116444736000000000LL;

} // namespace

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
    MemoryStatus status;
    MemInfo info;
    if (!m_memInfo.Read() || !ParseMemInfo(m_memInfo.Text(), info))
        return status;
    const std::uint64_t available =
        info.HasMemAvailable ? info.MemAvailable : info.MemFree + info.Buffers + info.Cached;
    status.TotalPhys = info.MemTotal * 1024;
    status.AvailPhys = std::min(available, info.MemTotal) * 1024;
    status.TotalPageFile = info.SwapTotal * 1024;
    status.AvailPageFile = std::min(info.SwapFree, info.SwapTotal) * 1024;
    if (status.TotalPhys > 0)
        status.MemoryLoad = static_cast<std::uint32_t>(100 - status.AvailPhys / 1024 * 100 /
                                                                 (status.TotalPhys / 1024));
    return status;
}

long ProcSystemInfo::NtQuerySystemInformation(int infoClass, void* buffer, std::uint32_t length)
{
    auto* bytes = static_cast<unsigned char*>(buffer);
    switch (infoClass) {
    case BasicInformation: {
        if (length < BasicInformationSize)
            return StatusInfoLengthMismatch;
        std::memset(bytes, 0, BasicInformationSize);
        const std::uint32_t count = NumberOfProcessors();
        bytes[40] = static_cast<unsigned char>(count > 255 ? 255 : count);
        return count > 0 ? StatusSuccess : StatusNotImplemented;
    }
    case PerformanceInformation: {
        if (length < PerformanceInformationSize)
            return StatusInfoLengthMismatch;
        if (!ReadStat())
            return StatusNotImplemented;
        std::memset(bytes, 0, PerformanceInformationSize);
        // The idle time of all processors together, as NT counts it.
        const std::int64_t idle = static_cast<std::int64_t>(m_total.IdleAll() * m_tickTo100Ns);
        std::memcpy(bytes, &idle, sizeof(idle));
        return StatusSuccess;
    }
    case TimeOfDayInformation: {
        if (length < TimeOfDayInformationSize)
            return StatusInfoLengthMismatch;
        std::memset(bytes, 0, TimeOfDayInformationSize);
        timespec wall{};
        clock_gettime(CLOCK_REALTIME, &wall);
        const std::int64_t now = static_cast<std::int64_t>(wall.tv_sec) * 10000000 +
                                 wall.tv_nsec / 100 + FileTimeOfUnixEpoch;
        std::memcpy(bytes + 8, &now, sizeof(now));
        return StatusSuccess;
    }
    default:
        return StatusNotImplemented;
    }
}

std::uint32_t ProcSystemInfo::TickCount()
{
    timespec mono{};
    clock_gettime(CLOCK_MONOTONIC, &mono);
    return static_cast<std::uint32_t>(static_cast<std::uint64_t>(mono.tv_sec) * 1000 +
                                      static_cast<std::uint64_t>(mono.tv_nsec) / 1000000);
}
