#pragma once

#include "platform/IfTable.h"
#include "platform/PerfBlockWriter.h"
#include "platform/SystemInfo.h"
#include "platform/linux/ProcStats.h"

#include <QByteArray>
#include <QString>
#include <optional>
#include <span>
#include <string_view>
#include <time.h>

// A Linux machine's records (processor ticks, disk sectors, interface bytes, memory kilobytes) in
// the shapes of the Windows data the measurement core reads: the "Global" performance block, the
// memory status, the system information and the interface table. This machine's /proc readers
// and the reader of another machine's exporter fill the same records and write them here, so the
// core gets the same figures from the same numbers.
namespace MachineRecords {

// Title indexes of the Perflib "009" table.
inline constexpr std::uint32_t ProcessorIndex = 238;
inline constexpr std::uint32_t ProcessorTimeIndex = 6;
inline constexpr std::uint32_t UserTimeIndex = 142;
inline constexpr std::uint32_t PrivilegedTimeIndex = 144;
inline constexpr std::uint32_t PhysicalDiskIndex = 234;
inline constexpr std::uint32_t DiskReadsIndex = 214;
inline constexpr std::uint32_t DiskWritesIndex = 216;
inline constexpr std::uint32_t DiskReadBytesIndex = 220;
inline constexpr std::uint32_t DiskWriteBytesIndex = 222;
inline constexpr std::uint32_t NetworkInterfaceIndex = 510;
inline constexpr std::uint32_t BytesReceivedIndex = 264;
inline constexpr std::uint32_t BytesSentIndex = 506;
inline constexpr std::uint32_t BytesTotalIndex = 388;

// USER_HZ ticks to 100-ns units.
inline constexpr std::uint64_t TickTo100Ns = 100000;

// Whether a query of the registry value `valueName` ("Global" or a list of indexes) wants it.
bool Wanted(const QString& valueName, std::uint32_t objectIndex);
// The block's header, stamped with the moment the figures were read.
void BeginGlobalBlock(PerfBlockWriter& writer, const timespec& wall, const timespec& monotonic,
                      std::u16string_view systemName);
void WriteProcessors(PerfBlockWriter& writer, const CpuTimes& total, std::span<const CpuTimes> cpus,
                     std::uint64_t tickTo100Ns);
void WriteDisks(PerfBlockWriter& writer, std::span<const DiskStats> disks);
void WriteInterfaces(PerfBlockWriter& writer, std::span<const NetDevStats> interfaces);
// The "Counter" or "Help" table of the objects above.
std::optional<QByteArray> TitleTable(const QString& locale, const QString& valueName);

// GlobalMemoryStatus, with the swap as the page file.
MemoryStatus MemoryStatusOf(const MemInfo& info);
// NtQuerySystemInformation from the processor count and the idle time of them all.
long SystemInformation(int infoClass, void* buffer, std::uint32_t length, std::uint32_t processors,
                       std::uint64_t idle100Ns);
// GetTickCount: milliseconds of the monotonic clock, wrapping.
std::uint32_t MonotonicMilliseconds();
// GetIfTable: the rows in the records' order; counters cut to the table's 32-bit fields.
std::uint32_t FillIfTable(std::span<const NetDevStats> interfaces, IfLayout::MibIfTable* table,
                          std::uint32_t& size);

} // namespace MachineRecords
