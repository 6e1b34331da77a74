#include "platform/linux/MachineRecords.h"

#include "platform/CivilDate.h"

#include <QList>
#include <charconv>
#include <cstring>
#include <iterator>

using namespace PerfLayout;
using namespace IfLayout;

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

namespace MachineRecords {

bool Wanted(const QString& valueName, std::uint32_t objectIndex)
{
    if (valueName.compare(u"Global", Qt::CaseInsensitive) == 0)
        return true;
    // A list of object title indexes, as the registry accepts it.
    for (QStringView part : QStringView(valueName).split(u' ', Qt::SkipEmptyParts))
        if (part.toUInt() == objectIndex)
            return true;
    return false;
}

void BeginGlobalBlock(PerfBlockWriter& writer, const timespec& wall, const timespec& monotonic,
                      std::u16string_view systemName)
{
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

    writer.BeginBlock(systemTime, To100Ns(monotonic), 10000000, To100Ns(wall) + FileTimeOfUnixEpoch,
                      systemName);
}

void WriteProcessors(PerfBlockWriter& writer, const CpuTimes& total, std::span<const CpuTimes> cpus,
                     std::uint64_t tickTo100Ns)
{
    writer.BeginObject(ProcessorIndex, ProcessorIndex + 1, true);
    const int processorTime =
        writer.AddCounter(ProcessorTimeIndex, ProcessorTimeIndex + 1, Counter100NsTimerInv);
    const int userTime = writer.AddCounter(UserTimeIndex, UserTimeIndex + 1, Counter100NsTimer);
    const int privilegedTime =
        writer.AddCounter(PrivilegedTimeIndex, PrivilegedTimeIndex + 1, Counter100NsTimer);
    char name[16];
    for (const CpuTimes& cpu : cpus) {
        writer.BeginInstance(std::string_view(
            name, size_t(std::to_chars(name, std::end(name), cpu.Number).ptr - name)));
        writer.SetCounter(processorTime, cpu.IdleAll() * tickTo100Ns);
        writer.SetCounter(userTime, cpu.UserAll() * tickTo100Ns);
        writer.SetCounter(privilegedTime, cpu.Privileged() * tickTo100Ns);
    }
    // The total is the average processor, so that its percentages read like the others.
    const std::uint64_t count = cpus.empty() ? 1 : cpus.size();
    writer.BeginInstance(std::string_view("_Total"));
    writer.SetCounter(processorTime, total.IdleAll() * tickTo100Ns / count);
    writer.SetCounter(userTime, total.UserAll() * tickTo100Ns / count);
    writer.SetCounter(privilegedTime, total.Privileged() * tickTo100Ns / count);
    writer.EndObject();
}

void WriteDisks(PerfBlockWriter& writer, std::span<const DiskStats> disks)
{
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
    for (const DiskStats& disk : disks) {
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

void WriteInterfaces(PerfBlockWriter& writer, std::span<const NetDevStats> interfaces)
{
    writer.BeginObject(NetworkInterfaceIndex, NetworkInterfaceIndex + 1, true);
    const int total = writer.AddCounter(BytesTotalIndex, BytesTotalIndex + 1, CounterBulkCount);
    const int received =
        writer.AddCounter(BytesReceivedIndex, BytesReceivedIndex + 1, CounterBulkCount);
    const int sent = writer.AddCounter(BytesSentIndex, BytesSentIndex + 1, CounterBulkCount);
    for (const NetDevStats& nic : interfaces) {
        writer.BeginInstance(std::string_view(nic.Name));
        writer.SetCounter(total, nic.RxBytes + nic.TxBytes);
        writer.SetCounter(received, nic.RxBytes);
        writer.SetCounter(sent, nic.TxBytes);
    }
    writer.EndObject();
}

std::optional<QByteArray> TitleTable(const QString& locale, const QString& valueName)
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

MemoryStatus MemoryStatusOf(const MemInfo& info)
{
    MemoryStatus status;
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

long SystemInformation(int infoClass, void* buffer, std::uint32_t length, std::uint32_t processors,
                       std::uint64_t idle100Ns)
{
    auto* bytes = static_cast<unsigned char*>(buffer);
    switch (infoClass) {
    case SystemInfo::BasicInformation: {
        if (length < SystemInfo::BasicInformationSize)
            return SystemInfo::StatusInfoLengthMismatch;
        std::memset(bytes, 0, SystemInfo::BasicInformationSize);
        bytes[40] = static_cast<unsigned char>(processors > 255 ? 255 : processors);
        return processors > 0 ? SystemInfo::StatusSuccess : SystemInfo::StatusNotImplemented;
    }
    case SystemInfo::PerformanceInformation: {
        if (length < SystemInfo::PerformanceInformationSize)
            return SystemInfo::StatusInfoLengthMismatch;
        if (processors == 0)
            return SystemInfo::StatusNotImplemented;
        std::memset(bytes, 0, SystemInfo::PerformanceInformationSize);
        // The idle time of all processors together, as NT processorss it.
        const auto idle = static_cast<std::int64_t>(idle100Ns);
        std::memcpy(bytes, &idle, sizeof(idle));
        return SystemInfo::StatusSuccess;
    }
    case SystemInfo::TimeOfDayInformation: {
        if (length < SystemInfo::TimeOfDayInformationSize)
            return SystemInfo::StatusInfoLengthMismatch;
        std::memset(bytes, 0, SystemInfo::TimeOfDayInformationSize);
        timespec wall{};
        clock_gettime(CLOCK_REALTIME, &wall);
        const std::int64_t now = static_cast<std::int64_t>(wall.tv_sec) * 10000000 +
                                 wall.tv_nsec / 100 + FileTimeOfUnixEpoch;
        std::memcpy(bytes + 8, &now, sizeof(now));
        return SystemInfo::StatusSuccess;
    }
    default:
        return SystemInfo::StatusNotImplemented;
    }
}

std::uint32_t FillIfTable(std::span<const NetDevStats> interfaces, MibIfTable* table,
                          std::uint32_t& size)
{
    const std::uint32_t needed = TableSize(static_cast<std::uint32_t>(interfaces.size()));
    if (!table || size < needed) {
        size = needed;
        return ErrorInsufficientBuffer;
    }
    std::memset(table, 0, needed);
    table->dwNumEntries = static_cast<std::uint32_t>(interfaces.size());
    for (size_t i = 0; i < interfaces.size(); ++i) {
        const NetDevStats& nic = interfaces[i];
        MibIfRow& row = table->table[i];
        const size_t nameLength = std::strlen(nic.Name);
        for (size_t c = 0; c < nameLength; ++c)
            row.wszName[c] = static_cast<unsigned char>(nic.Name[c]);
        std::memcpy(row.bDescr, nic.Name, nameLength);
        row.dwDescrLen = static_cast<std::uint32_t>(nameLength);
        row.dwIndex = static_cast<std::uint32_t>(i + 1);
        row.dwType = std::strcmp(nic.Name, "lo") == 0 ? 24 : 6; // loopback or ethernet
        row.dwAdminStatus = 1;
        row.dwOperStatus = 1;
        row.dwInOctets = static_cast<std::uint32_t>(nic.RxBytes);
        row.dwInUcastPkts = static_cast<std::uint32_t>(nic.RxPackets - nic.RxMulticast);
        row.dwInNUcastPkts = static_cast<std::uint32_t>(nic.RxMulticast);
        row.dwInDiscards = static_cast<std::uint32_t>(nic.RxDrop);
        row.dwInErrors = static_cast<std::uint32_t>(nic.RxErrors);
        row.dwOutOctets = static_cast<std::uint32_t>(nic.TxBytes);
        row.dwOutUcastPkts = static_cast<std::uint32_t>(nic.TxPackets);
        row.dwOutDiscards = static_cast<std::uint32_t>(nic.TxDrop);
        row.dwOutErrors = static_cast<std::uint32_t>(nic.TxErrors);
    }
    size = needed;
    return NoError;
}

std::uint32_t MonotonicMilliseconds()
{
    timespec mono{};
    clock_gettime(CLOCK_MONOTONIC, &mono);
    return static_cast<std::uint32_t>(static_cast<std::uint64_t>(mono.tv_sec) * 1000 +
                                      static_cast<std::uint64_t>(mono.tv_nsec) / 1000000);
}

} // namespace MachineRecords
