#pragma once

#include "platform/linux/UniqueFd.h"

#include <QString>
#include <cstdint>
#include <fcntl.h>
#include <string>
#include <string_view>
#include <vector>

// Reads a whole /proc file into a buffer kept between reads, so steady sampling does not
// allocate. A file on procfs is generated anew by every read from its start, so it stays open
// and is read again from offset 0, which spares a path lookup and an open per sample. Any other
// file (a test's fixture, which may be replaced between reads) is opened anew each time, unless
// its owner knows it is never replaced. Only regular files are read, so a named pipe or a device
// put in a file's place neither blocks nor is read.
class ProcFile
{
public:
    enum class Hold
    {
        OnKernelFileSystems, // procfs and sysfs files stay open
        Always,              // the file is rewritten in place, never replaced
        Never,               // opened for each read: a reader that runs only now and then
    };

    // No /proc file we read comes near this; a larger one is not what we think it is.
    static constexpr size_t MaxSize = size_t(64) << 20;

    // The buffer starts at initialSize bytes and grows to hold the whole file; a file of
    // maxSize bytes or more is refused.
    explicit ProcFile(const QString& path, size_t initialSize = 16384,
                      Hold hold = Hold::OnKernelFileSystems, size_t maxSize = MaxSize);

    bool Read();
    std::string_view Text() const { return {m_buffer.data(), m_length}; }
    const std::string& Path() const { return m_path; }
    // Whether the file is held open between reads.
    bool KeptOpen() const { return m_kept.Valid(); }

private:
    std::string m_path;
    std::vector<char> m_buffer;
    size_t m_length = 0;
    UniqueFd m_kept;
    Hold m_hold;
    size_t m_maxSize;
};

// Opens a file for reading without blocking, and only when it is a regular one, so a named pipe
// or a device in its place is neither waited for nor read. A relative path is taken from folder.
UniqueFd OpenRegularFile(const char* path, int folder = AT_FDCWD);
// Reads a whole file from offset 0 into buffer, which grows up to maxSize bytes; a file that
// fills maxSize is refused.
bool ReadWholeFile(int fd, std::vector<char>& buffer, size_t maxSize, size_t& length);

// Times in USER_HZ ticks, as /proc/stat gives them.
struct CpuTimes
{
    int Number = -1; // -1 for the line of all processors
    std::uint64_t User = 0, Nice = 0, System = 0, Idle = 0, IoWait = 0, Irq = 0, SoftIrq = 0,
                  Steal = 0;

    std::uint64_t IdleAll() const { return Idle + IoWait; }
    std::uint64_t UserAll() const { return User + Nice; }
    std::uint64_t Privileged() const { return System + Irq + SoftIrq; }
};

struct DiskStats
{
    char Name[32] = {};
    std::uint64_t ReadsCompleted = 0;
    std::uint64_t SectorsRead = 0;
    std::uint64_t WritesCompleted = 0;
    std::uint64_t SectorsWritten = 0;
};

struct NetDevStats
{
    char Name[32] = {};
    std::uint64_t RxBytes = 0, RxPackets = 0, RxErrors = 0, RxDrop = 0, RxMulticast = 0;
    std::uint64_t TxBytes = 0, TxPackets = 0, TxErrors = 0, TxDrop = 0;
};

// Kilobytes, as /proc/meminfo gives them.
struct MemInfo
{
    std::uint64_t MemTotal = 0, MemFree = 0, MemAvailable = 0, Buffers = 0, Cached = 0;
    std::uint64_t SwapTotal = 0, SwapFree = 0;
    bool HasMemAvailable = false;
};

// Each parser reuses the vector it is given; lines it cannot read are skipped.
bool ParseProcStat(std::string_view text, CpuTimes& total, std::vector<CpuTimes>& cpus);
// Whole disks only: no partitions and no loop, ram, zram, device-mapper or md devices.
void ParseDiskStats(std::string_view text, std::vector<DiskStats>& disks);
// The counters of a sysfs block device's "stat" file, which has the fields of a /proc/diskstats
// line after the name. The name is left as it is.
bool ParseBlockStat(std::string_view text, DiskStats& disk);
bool IsWholeDisk(std::string_view name);
void ParseNetDev(std::string_view text, std::vector<NetDevStats>& interfaces);
bool ParseMemInfo(std::string_view text, MemInfo& info);
