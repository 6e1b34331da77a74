#include "core/CpuUsage.h"

#include "platform/DynStats.h"
#include "platform/SystemInfo.h"

#include <cmath>
#include <cstring>

namespace {

const QString CpuUsageName = QStringLiteral("KERNEL\\CPUUsage");

std::uint8_t ToPercent(long double value)
{
    if (!(value > 0))
        return 0;
    return value >= 100 ? 100 : static_cast<std::uint8_t>(value);
}

} // namespace

TCpuUsage::TCpuUsage(SystemInfo& system, DynStats* dynStats)
    : m_system(system), m_dynStats(dynStats)
{
    if (!m_system.NtDllAvailable())
        return;
    unsigned char basic[SystemInfo::BasicInformationSize] = {};
    if (m_system.NtQuerySystemInformation(SystemInfo::BasicInformation, basic, sizeof(basic)) !=
        SystemInfo::StatusSuccess)
        return;
    m_processorCount = basic[40];
    m_ntDll = true;
}

TCpuUsage::~TCpuUsage()
{
    if (m_9xStarted && m_dynStats && m_dynStats->Open(DynStats::Key::StopStat)) {
        std::uint32_t value = 0;
        m_dynStats->Read(CpuUsageName, value);
        m_dynStats->Close();
    }
}

void TCpuUsage::Reset()
{
    m_previousIdle = 0;
    m_previousTime = 0;
}

std::uint8_t TCpuUsage::GetUsage()
{
    return m_ntDll ? NtUsage() : Win9xUsage();
}

std::uint8_t TCpuUsage::NtUsage()
{
    unsigned char timeOfDay[SystemInfo::TimeOfDayInformationSize] = {};
    unsigned char performance[SystemInfo::PerformanceInformationSize] = {};
    if (m_system.NtQuerySystemInformation(SystemInfo::TimeOfDayInformation, timeOfDay,
                                          sizeof(timeOfDay)) != SystemInfo::StatusSuccess ||
        m_system.NtQuerySystemInformation(SystemInfo::PerformanceInformation, performance,
                                          sizeof(performance)) != SystemInfo::StatusSuccess)
        return 0;
    std::int64_t idle = 0, now = 0;
    std::memcpy(&idle, performance, sizeof(idle));
    std::memcpy(&now, timeOfDay + 8, sizeof(now));

    const bool havePrevious = m_previousIdle != 0 || m_previousTime != 0;
    const std::int64_t elapsed = now - m_previousTime;
    const std::int64_t idleDelta = idle - m_previousIdle;
    m_previousIdle = idle;
    m_previousTime = now;
    if (!havePrevious || elapsed <= 0)
        return 0;
    // A processor count of 0 would divide by zero; such a machine has at least one.
    const int processors = m_processorCount > 0 ? m_processorCount : 1;
    const long double usage =
        100.0L - (static_cast<long double>(idleDelta) / elapsed * 100.0L) / processors;
    return ToPercent(std::nearbyint(usage));
}

std::uint8_t TCpuUsage::Win9xUsage()
{
    if (!m_dynStats)
        return 0;
    std::uint32_t value = 0;
    if (!m_9xStarted) {
        if (!m_dynStats->Open(DynStats::Key::StartStat))
            return 0;
        m_dynStats->Read(CpuUsageName, value);
        m_dynStats->Close();
        m_9xStarted = true;
    }
    if (!m_dynStats->Open(DynStats::Key::StatData))
        return 0;
    const std::uint32_t bytes = m_dynStats->Read(CpuUsageName, value);
    m_dynStats->Close();
    return bytes == 4 ? ToPercent(value) : 0;
}
