#pragma once

#include <QString>
#include <cstdint>

// The Windows 9x statistics under HKEY_DYN_DATA "PerfStats": reading a name under StartStat
// starts that statistic, under StatData gives its value, under StopStat stops it.
class DynStats
{
public:
    enum class Key
    {
        StartStat,
        StatData,
        StopStat
    };

    virtual ~DynStats() = default;

    virtual bool Open(Key key) = 0;
    // Reads the 4-byte value of a statistic such as "KERNEL\CPUUsage" of the open key; answers
    // the number of bytes read, 0 when it failed.
    virtual std::uint32_t Read(const QString& name, std::uint32_t& value) = 0;
    virtual void Close() = 0;
};
