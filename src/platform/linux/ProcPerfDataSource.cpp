#include "platform/linux/ProcPerfDataSource.h"

#include "platform/linux/MachineRecords.h"

#include <QDir>
#include <QFile>
#include <time.h>
#include <unistd.h>

ProcPerfDataSource::ProcPerfDataSource(const QString& statPath, const QString& diskStatsPath,
                                       const QString& netDevPath, const QString& blockFolder,
                                       const QString& netClassFolder)
    : m_stat(statPath), m_diskStats(diskStatsPath), m_netDev(netDevPath),
      m_netClassFolder(netClassFolder)
{
    if (!blockFolder.isEmpty())
        m_blockDisks = std::make_unique<SysBlockDisks>(blockFolder);
    const long ticks = sysconf(_SC_CLK_TCK);
    if (ticks > 0 && 10000000 % ticks == 0)
        m_tickTo100Ns = static_cast<std::uint64_t>(10000000 / ticks);
    char host[256] = {};
    if (gethostname(host, sizeof(host) - 1) == 0)
        m_systemName = QString::fromLocal8Bit(host).toUpper().toStdU16String();
    // Room for a large machine, so that steady sampling never grows them.
    m_cpus.reserve(256);
    m_disks.reserve(64);
    m_interfaces.reserve(64);
}

long ProcPerfDataSource::Query(const QString& valueName, std::byte* buffer, std::uint32_t& size)
{
    using namespace MachineRecords;
    timespec wall{}, mono{};
    clock_gettime(CLOCK_REALTIME, &wall);
    clock_gettime(CLOCK_MONOTONIC, &mono);
    PerfBlockWriter writer(buffer, size);
    BeginGlobalBlock(writer, wall, mono, m_systemName);
    if (Wanted(valueName, ProcessorIndex) && m_stat.Read() &&
        ParseProcStat(m_stat.Text(), m_cpuTotal, m_cpus))
        WriteProcessors(writer, m_cpuTotal, m_cpus, m_tickTo100Ns);
    if (Wanted(valueName, PhysicalDiskIndex) && ReadDisks())
        WriteDisks(writer, m_disks);
    if (Wanted(valueName, NetworkInterfaceIndex) && m_netDev.Read()) {
        ParseNetDev(m_netDev.Text(), m_interfaces);
        WriteInterfaces(writer, m_interfaces);
    }
    const std::uint32_t length = writer.EndBlock();
    if (!writer.Fits())
        return PerfLayout::ErrorMoreData;
    size = length;
    return PerfLayout::ErrorSuccess;
}

bool ProcPerfDataSource::ReadDisks()
{
    if (m_blockDisks && m_blockDisks->Read(m_disks))
        return true;
    if (!m_diskStats.Read())
        return false;
    ParseDiskStats(m_diskStats.Text(), m_disks);
    return true;
}

QStringList ProcPerfDataSource::LoopbackInterfaces()
{
    // ARPHRD_LOOPBACK in <linux/if_arp.h>.
    constexpr int LoopbackLinkType = 772;
    QStringList names;
    const QDir folder(m_netClassFolder);
    for (const QString& name : folder.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::System)) {
        QFile type(folder.filePath(name + QStringLiteral("/type")));
        if (type.open(QIODevice::ReadOnly) && type.readAll().trimmed().toInt() == LoopbackLinkType)
            names << name;
    }
    return names;
}

QStringList ProcPerfDataSource::PerflibLocales()
{
    return {QStringLiteral("009")};
}

std::optional<QByteArray> ProcPerfDataSource::TitleTable(const QString& locale,
                                                         const QString& valueName)
{
    return MachineRecords::TitleTable(locale, valueName);
}
