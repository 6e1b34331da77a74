#pragma once

#include <cstdint>

class SystemInfo;
class DynStats;

// Processor load without performance counters: from the NT system information (idle time
// against the time of day) or, without ntdll, from the Windows 9x KERNEL\CPUUsage statistic.
class TCpuUsage
{
public:
    TCpuUsage(SystemInfo& system, DynStats* dynStats);
    ~TCpuUsage();
    TCpuUsage(const TCpuUsage&) = delete;
    TCpuUsage& operator=(const TCpuUsage&) = delete;

    // Percent, 0..100: timer jitter can compute a load a little below 0, which an 8-bit
    // result would turn into 255.
    std::uint8_t GetUsage();
    void Reset();

    bool UsesNtDll() const { return m_ntDll; }
    std::uint8_t ProcessorCount() const { return m_processorCount; }

private:
    std::uint8_t NtUsage();
    std::uint8_t Win9xUsage();

    SystemInfo& m_system;
    DynStats* m_dynStats;
    bool m_ntDll = false;
    std::uint8_t m_processorCount = 0;
    std::int64_t m_previousIdle = 0;
    std::int64_t m_previousTime = 0;
    bool m_9xStarted = false;
};
