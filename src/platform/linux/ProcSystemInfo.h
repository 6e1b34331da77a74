#pragma once

#include "platform/SystemInfo.h"
#include "platform/linux/ProcStats.h"

// The system queries answered from /proc: an NT-family system (version 5.1), processors and
// idle time from /proc/stat, memory from /proc/meminfo with the swap as the page file.
class ProcSystemInfo : public SystemInfo
{
public:
    ProcSystemInfo(const QString& statPath = QStringLiteral("/proc/stat"),
                   const QString& memInfoPath = QStringLiteral("/proc/meminfo"));

    OsVersion Version() override { return {5, 1, 2600, 2}; }
    std::uint32_t NumberOfProcessors() override;
    MemoryStatus GlobalMemoryStatus() override;
    bool NtDllAvailable() override { return true; }
    long NtQuerySystemInformation(int infoClass, void* buffer, std::uint32_t length) override;
    std::uint32_t TickCount() override;

private:
    bool ReadStat();

    ProcFile m_stat;
    ProcFile m_memInfo;
    CpuTimes m_total;
    std::vector<CpuTimes> m_cpus;
    std::uint64_t m_tickTo100Ns = 100000;
};
