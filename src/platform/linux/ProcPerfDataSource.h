#pragma once

#include "platform/PerfDataSource.h"
#include "platform/linux/ProcStats.h"
#include "platform/linux/SysBlockDisks.h"

#include <memory>
#include <string>
#include <vector>

// The performance data of this machine as a Windows "Global" block: "Processor" from
// /proc/stat, "PhysicalDisk" from the disks' sysfs files (or /proc/diskstats where there is no
// block folder) and "Network Interface" from /proc/net/dev, under their usual title indexes and
// with the usual counter types. The files are read on every query; the paths are parameters so
// that tests can feed copies, and an empty block folder reads /proc/diskstats only.
class ProcPerfDataSource : public PerfDataSource
{
public:
    ProcPerfDataSource(const QString& statPath = QStringLiteral("/proc/stat"),
                       const QString& diskStatsPath = QStringLiteral("/proc/diskstats"),
                       const QString& netDevPath = QStringLiteral("/proc/net/dev"),
                       const QString& blockFolder = QStringLiteral("/sys/block"),
                       const QString& netClassFolder = QStringLiteral("/sys/class/net"));

    long Query(const QString& valueName, std::byte* buffer, std::uint32_t& size) override;
    QStringList PerflibLocales() override;
    std::optional<QByteArray> TitleTable(const QString& locale, const QString& valueName) override;
    // Linux has no per-service counter switches.
    std::vector<PerfServiceInfo> Services() override { return {}; }
    bool SetCountersDisabled(const QString&, std::uint32_t) override { return false; }
    // The interfaces of link type loopback ("lo" and any other of its kind).
    QStringList LoopbackInterfaces() override;

private:
    bool ReadDisks();

    ProcFile m_stat;
    ProcFile m_diskStats;
    ProcFile m_netDev;
    QString m_netClassFolder;
    std::unique_ptr<SysBlockDisks> m_blockDisks;
    CpuTimes m_cpuTotal;
    std::vector<CpuTimes> m_cpus;
    std::vector<DiskStats> m_disks;
    std::vector<NetDevStats> m_interfaces;
    std::uint64_t m_tickTo100Ns = 100000; // USER_HZ ticks to 100-ns units
    std::u16string m_systemName;
};
