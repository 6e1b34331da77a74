#include "platform/linux/ProcPerfDataSource.h"

#include "platform/CivilDate.h"
#include "platform/PerfBlockWriter.h"

#include <QDir>
#include <QFile>
#include <charconv>
#include <cstring>
#include <iterator>
#include <time.h>
#include <unistd.h>

using namespace PerfLayout;

namespace {

struct Title
{
    std::uint32_t Index;
    const char* Name;
    const char* Help;
};

constexpr Title Titles[] = {
    {2, "System", "The System object type includes counters that apply to the whole system."},
    {4, "Memory",
     "The Memory object type includes counters that describe the memory of the "
     "computer."},
    {6, "% Processor Time",
     "The percentage of time the processor is busy with a non-idle "
     "thread."},
    {142, "% User Time", "The percentage of non-idle processor time spent in user mode."},
    {144, "% Privileged Time",
     "The percentage of non-idle processor time spent in privileged "
     "mode."},
    {214, "Disk Reads/sec", "The rate of read operations on the disk."},
    {216, "Disk Writes/sec", "The rate of write operations on the disk."},
    {220, "Disk Read Bytes/sec",
     "The rate at which bytes are transferred from the disk during "
     "read operations."},
    {222, "Disk Write Bytes/sec",
     "The rate at which bytes are transferred to the disk during "
     "write operations."},
    {234, "PhysicalDisk",
     "The Physical Disk object type includes counters that monitor whole "
     "disks."},
    {238, "Processor",
     "The Processor object type includes counters that measure aspects of "
     "processor activity."},
    {264, "Bytes Received/sec", "The rate at which bytes are received on the interface."},
    {388, "Bytes Total/sec", "The rate at which bytes are sent and received on the interface."},
    {506, "Bytes Sent/sec", "The rate at which bytes are sent on the interface."},
    {510, "Network Interface",
     "The Network Interface object type includes counters that "
     "measure the bytes sent and received over a network "
     "connection."},
};

std::int64_t FloorDivide(std::int64_t a, std::int64_t b)
{
    return a / b - (a % b != 0 && (a < 0) != (b < 0));
}

constexpr std::int64_t FileTimeOfUnixEpoch = 116444736000000000LL;

std::int64_t To100Ns(const timespec& t)
{
    return static_cast<std::int64_t>(t.tv_sec) * 10000000 + t.tv_nsec / 100;
}

// "<index> <device>", as the disk's instance is named; the sample path formats it often.
std::string_view DiskInstanceName(char (&buffer)[48], int index, const char* device)
{
    char* end = std::to_chars(buffer, buffer + 12, index).ptr;
    *end++ = ' ';
    const size_t room = size_t(std::end(buffer) - end);
    const size_t length = strnlen(device, room);
    std::memcpy(end, device, length);
    return std::string_view(buffer, size_t(end - buffer) + length);
}

} // namespace

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

bool ProcPerfDataSource::Wanted(const QString& valueName, std::uint32_t objectIndex) const
{
    if (valueName.compare(u"Global", Qt::CaseInsensitive) == 0)
        return true;
    // A list of object title indexes, as the registry accepts it.
    for (QStringView part : QStringView(valueName).split(u' ', Qt::SkipEmptyParts))
        if (part.toUInt() == objectIndex)
            return true;
    return false;
}

long ProcPerfDataSource::Query(const QString& valueName, std::byte* buffer, std::uint32_t& size)
{
    timespec wall{}, mono{};
    clock_gettime(CLOCK_REALTIME, &wall);
    clock_gettime(CLOCK_MONOTONIC, &mono);
    const std::int64_t days = FloorDivide(wall.tv_sec, 86400);
    const std::int64_t secondOfDay = wall.tv_sec - days * 86400;
    const CivilDate date = CivilFromDays(days);
    SystemTimeRecord systemTime{static_cast<std::uint16_t>(date.Year),
                                static_cast<std::uint16_t>(date.Month),
                                static_cast<std::uint16_t>(WeekdayFromDays(days)),
                                static_cast<std::uint16_t>(date.Day),
                                static_cast<std::uint16_t>(secondOfDay / 3600),
                                static_cast<std::uint16_t>(secondOfDay / 60 % 60),
                                static_cast<std::uint16_t>(secondOfDay % 60),
                                static_cast<std::uint16_t>(wall.tv_nsec / 1000000)};

    PerfBlockWriter writer(buffer, size);
    writer.BeginBlock(systemTime, To100Ns(mono), 10000000, To100Ns(wall) + FileTimeOfUnixEpoch,
                      m_systemName);
    if (Wanted(valueName, ProcessorIndex))
        WriteProcessors(writer);
    if (Wanted(valueName, PhysicalDiskIndex))
        WriteDisks(writer);
    if (Wanted(valueName, NetworkInterfaceIndex))
        WriteInterfaces(writer);
    const std::uint32_t length = writer.EndBlock();
    if (!writer.Fits())
        return ErrorMoreData;
    size = length;
    return ErrorSuccess;
}

void ProcPerfDataSource::WriteProcessors(PerfBlockWriter& writer)
{
    if (!m_stat.Read() || !ParseProcStat(m_stat.Text(), m_cpuTotal, m_cpus))
        return;
    writer.BeginObject(ProcessorIndex, ProcessorIndex + 1, true);
    const int processorTime =
        writer.AddCounter(ProcessorTimeIndex, ProcessorTimeIndex + 1, Counter100NsTimerInv);
    const int userTime = writer.AddCounter(UserTimeIndex, UserTimeIndex + 1, Counter100NsTimer);
    const int privilegedTime =
        writer.AddCounter(PrivilegedTimeIndex, PrivilegedTimeIndex + 1, Counter100NsTimer);
    char name[16];
    for (const CpuTimes& cpu : m_cpus) {
        writer.BeginInstance(std::string_view(
            name, size_t(std::to_chars(name, std::end(name), cpu.Number).ptr - name)));
        writer.SetCounter(processorTime, cpu.IdleAll() * m_tickTo100Ns);
        writer.SetCounter(userTime, cpu.UserAll() * m_tickTo100Ns);
        writer.SetCounter(privilegedTime, cpu.Privileged() * m_tickTo100Ns);
    }
    // The total is the average processor, so that its percentages read like the others.
    const std::uint64_t count = m_cpus.empty() ? 1 : m_cpus.size();
    writer.BeginInstance(std::string_view("_Total"));
    writer.SetCounter(processorTime, m_cpuTotal.IdleAll() * m_tickTo100Ns / count);
    writer.SetCounter(userTime, m_cpuTotal.UserAll() * m_tickTo100Ns / count);
    writer.SetCounter(privilegedTime, m_cpuTotal.Privileged() * m_tickTo100Ns / count);
    writer.EndObject();
}

void ProcPerfDataSource::WriteDisks(PerfBlockWriter& writer)
{
    if (!m_blockDisks || !m_blockDisks->Read(m_disks)) {
        if (!m_diskStats.Read())
            return;
        ParseDiskStats(m_diskStats.Text(), m_disks);
    }
    writer.BeginObject(PhysicalDiskIndex, PhysicalDiskIndex + 1, true);
    const int readBytes =
        writer.AddCounter(DiskReadBytesIndex, DiskReadBytesIndex + 1, CounterBulkCount);
    const int writeBytes =
        writer.AddCounter(DiskWriteBytesIndex, DiskWriteBytesIndex + 1, CounterBulkCount);
    const int reads = writer.AddCounter(DiskReadsIndex, DiskReadsIndex + 1, CounterCounter);
    const int writes = writer.AddCounter(DiskWritesIndex, DiskWritesIndex + 1, CounterCounter);
    // Sectors in /proc/diskstats are 512 bytes whatever the device's sector size.
    DiskStats total;
    char name[48];
    int index = 0;
    for (const DiskStats& disk : m_disks) {
        writer.BeginInstance(DiskInstanceName(name, index++, disk.Name));
        writer.SetCounter(readBytes, disk.SectorsRead * 512);
        writer.SetCounter(writeBytes, disk.SectorsWritten * 512);
        writer.SetCounter(reads, disk.ReadsCompleted);
        writer.SetCounter(writes, disk.WritesCompleted);
        total.SectorsRead += disk.SectorsRead;
        total.SectorsWritten += disk.SectorsWritten;
        total.ReadsCompleted += disk.ReadsCompleted;
        total.WritesCompleted += disk.WritesCompleted;
    }
    writer.BeginInstance(std::string_view("_Total"));
    writer.SetCounter(readBytes, total.SectorsRead * 512);
    writer.SetCounter(writeBytes, total.SectorsWritten * 512);
    writer.SetCounter(reads, total.ReadsCompleted);
    writer.SetCounter(writes, total.WritesCompleted);
    writer.EndObject();
}

void ProcPerfDataSource::WriteInterfaces(PerfBlockWriter& writer)
{
    if (!m_netDev.Read())
        return;
    ParseNetDev(m_netDev.Text(), m_interfaces);
    writer.BeginObject(NetworkInterfaceIndex, NetworkInterfaceIndex + 1, true);
    const int total = writer.AddCounter(BytesTotalIndex, BytesTotalIndex + 1, CounterBulkCount);
    const int received =
        writer.AddCounter(BytesReceivedIndex, BytesReceivedIndex + 1, CounterBulkCount);
    const int sent = writer.AddCounter(BytesSentIndex, BytesSentIndex + 1, CounterBulkCount);
    for (const NetDevStats& nic : m_interfaces) {
        writer.BeginInstance(std::string_view(nic.Name));
        writer.SetCounter(total, nic.RxBytes + nic.TxBytes);
        writer.SetCounter(received, nic.RxBytes);
        writer.SetCounter(sent, nic.TxBytes);
    }
    writer.EndObject();
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
    if (locale != u"009")
        return std::nullopt;
    const bool help = valueName.compare(u"Help", Qt::CaseInsensitive) == 0;
    if (!help && valueName.compare(u"Counter", Qt::CaseInsensitive) != 0)
        return std::nullopt;
    QByteArray table;
    for (const Title& title : Titles) {
        table += QByteArray::number(title.Index + (help ? 1 : 0));
        table += '\0';
        table += help ? title.Help : title.Name;
        table += '\0';
    }
    table += '\0';
    return table;
}
