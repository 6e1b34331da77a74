#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

// A service key under "SYSTEM\CurrentControlSet\Services" as far as its performance counters go.
struct PerfServiceInfo
{
    QString Name;
    bool HasPerformanceKey = false;
    std::optional<std::uint32_t> DisablePerformanceCounters; // absent when the value is missing
};

// What the program gets from HKEY_PERFORMANCE_DATA and the Perflib key: the data block, the
// title tables by locale, and the per-service switches of the counters.
class PerfDataSource
{
public:
    virtual ~PerfDataSource() = default;

    // Like RegQueryValueExA on HKEY_PERFORMANCE_DATA: writes the block for `valueName` into
    // `buffer` (capacity `size` bytes) and sets `size` to its length. Answers ErrorMoreData
    // and writes nothing usable when the block does not fit.
    virtual long Query(const QString& valueName, std::byte* buffer, std::uint32_t& size) = 0;

    // The subkey names of the Perflib key, in enumeration order.
    virtual QStringList PerflibLocales() = 0;
    // The "Counter" or "Help" value of a locale subkey: pairs of NUL-ended strings ended by an
    // empty one. Nothing when the key or the value cannot be opened.
    virtual std::optional<QByteArray> TitleTable(const QString& locale,
                                                 const QString& valueName) = 0;

    virtual std::vector<PerfServiceInfo> Services() = 0;

    // The "Network Interface" instances that carry only the machine's talk with itself.
    virtual QStringList LoopbackInterfaces() { return {}; }
    // Counts the changes of the machine's processors, disks and interfaces, which the core
    // takes in when it starts. This machine's stay as they were at start for the whole run;
    // another machine's become known at its first reply and may change when it comes back.
    virtual std::uint32_t InventoryRevision() { return 0; }
    // Writes "Disable Performance Counters" in the service's Performance key.
    virtual bool SetCountersDisabled(const QString& service, std::uint32_t value) = 0;
};
