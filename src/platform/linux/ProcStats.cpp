#include "platform/linux/ProcStats.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

namespace {

// Splits text into lines and lines into blank-separated fields without copying.
class Fields
{
public:
    explicit Fields(std::string_view line) : m_rest(line) {}

    std::string_view Next()
    {
        size_t start = m_rest.find_first_not_of(" \t");
        if (start == std::string_view::npos) {
            m_rest = {};
            return {};
        }
        m_rest.remove_prefix(start);
        size_t end = m_rest.find_first_of(" \t");
        std::string_view field = m_rest.substr(0, end);
        m_rest.remove_prefix(end == std::string_view::npos ? m_rest.size() : end);
        return field;
    }

    bool NextNumber(std::uint64_t& value) { return ToNumber(Next(), value); }

    static bool ToNumber(std::string_view text, std::uint64_t& value)
    {
        if (text.empty())
            return false;
        std::uint64_t result = 0;
        for (char c : text) {
            if (c < '0' || c > '9')
                return false;
            result = result * 10 + static_cast<std::uint64_t>(c - '0');
        }
        value = result;
        return true;
    }

private:
    std::string_view m_rest;
};

template <typename F> void ForEachLine(std::string_view text, F f)
{
    while (!text.empty()) {
        size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        f(line);
    }
}

void CopyName(char (&target)[32], std::string_view name)
{
    const size_t n = std::min(name.size(), sizeof(target) - 1);
    std::memcpy(target, name.data(), n);
    target[n] = '\0';
}

bool StartsWith(std::string_view text, std::string_view prefix)
{
    return text.substr(0, prefix.size()) == prefix;
}

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

} // namespace

ProcFile::ProcFile(const QString& path, size_t initialSize, Hold hold, size_t maxSize)
    : m_path(path.toLocal8Bit().toStdString()), m_hold(hold), m_maxSize(std::max<size_t>(maxSize, 64))
{
    m_buffer.resize(std::clamp<size_t>(initialSize, 64, m_maxSize));
}

UniqueFd OpenRegularFile(const char* path, int folder)
{
    // Non-blocking, so that opening a named pipe returns at once and is then refused.
    UniqueFd fd(::openat(folder, path, O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    struct stat info
    {
    };
    if (!fd.Valid() || ::fstat(fd.Get(), &info) != 0 || !S_ISREG(info.st_mode))
        return {};
    return fd;
}

bool ReadWholeFile(int fd, std::vector<char>& buffer, size_t maxSize, size_t& length)
{
    // A generated file comes whole from one read at offset 0 when the buffer is large enough.
    // A read that fills the buffer grows it and starts over, since a read from the middle
    // would generate the file again and could join two different versions of it.
    length = 0;
    for (;;) {
        const ssize_t n = ::pread(fd, buffer.data(), buffer.size(), 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (static_cast<size_t>(n) < buffer.size()) {
            length = static_cast<size_t>(n);
            return true;
        }
        if (buffer.size() >= maxSize)
            return false;
        buffer.resize(std::min(buffer.size() * 2, maxSize));
    }
}

bool ProcFile::Read()
{
    if (m_kept.Valid()) {
        if (ReadWholeFile(m_kept.Get(), m_buffer, m_maxSize, m_length))
            return true;
        m_kept.Reset(); // gone stale; try a fresh open once
    }
    UniqueFd fd = OpenRegularFile(m_path.c_str());
    if (!fd.Valid() || !ReadWholeFile(fd.Get(), m_buffer, m_maxSize, m_length))
        return false;
    struct statfs fs
    {
    };
    if (m_hold == Hold::Never)
        return true;
    if (m_hold == Hold::Always ||
        (::fstatfs(fd.Get(), &fs) == 0 &&
         (fs.f_type == PROC_SUPER_MAGIC || fs.f_type == SYSFS_MAGIC)))
        m_kept = std::move(fd);
    return true;
}

bool ParseProcStat(std::string_view text, CpuTimes& total, std::vector<CpuTimes>& cpus)
{
    cpus.clear();
    bool haveTotal = false;
    ForEachLine(text, [&](std::string_view line) {
        if (!StartsWith(line, "cpu"))
            return;
        Fields fields(line);
        std::string_view name = fields.Next();
        CpuTimes times;
        if (name.size() > 3) {
            std::uint64_t number = 0;
            if (!Fields::ToNumber(name.substr(3), number))
                return;
            times.Number = static_cast<int>(number);
        }
        std::uint64_t* targets[] = {&times.User,   &times.Nice, &times.System,  &times.Idle,
                                    &times.IoWait, &times.Irq,  &times.SoftIrq, &times.Steal};
        int read = 0;
        for (std::uint64_t* slot : targets) {
            if (!fields.NextNumber(*slot))
                break;
            ++read;
        }
        if (read < 4)
            return;
        if (times.Number < 0) {
            total = times;
            haveTotal = true;
        } else {
            cpus.push_back(times);
        }
    });
    return haveTotal;
}

bool IsWholeDisk(std::string_view name)
{
    for (std::string_view virtualPrefix : {"loop", "ram", "zram", "dm-", "md", "nbd", "sr", "fd"})
        if (StartsWith(name, virtualPrefix))
            return false;
    if (name.empty() || !IsDigit(name.back()))
        return true;
    // "nvme0n1p2", "mmcblk0p1": a partition number after a "p" that follows a digit.
    size_t digits = name.find_last_not_of("0123456789");
    if (digits != std::string_view::npos && name[digits] == 'p' && digits > 0 &&
        IsDigit(name[digits - 1]))
        return false;
    // "sda1", "vdb2", "hda3", "xvda1": letters then a partition number.
    for (std::string_view lettered : {"sd", "hd", "vd", "xvd"})
        if (StartsWith(name, lettered))
            return false;
    return true;
}

namespace {

bool ReadBlockCounters(Fields& fields, DiskStats& disk)
{
    std::uint64_t readsMerged = 0, readTicks = 0, writesMerged = 0;
    return fields.NextNumber(disk.ReadsCompleted) && fields.NextNumber(readsMerged) &&
           fields.NextNumber(disk.SectorsRead) && fields.NextNumber(readTicks) &&
           fields.NextNumber(disk.WritesCompleted) && fields.NextNumber(writesMerged) &&
           fields.NextNumber(disk.SectorsWritten);
}

} // namespace

void ParseDiskStats(std::string_view text, std::vector<DiskStats>& disks)
{
    disks.clear();
    ForEachLine(text, [&](std::string_view line) {
        Fields fields(line);
        std::uint64_t major = 0, minor = 0;
        if (!fields.NextNumber(major) || !fields.NextNumber(minor))
            return;
        std::string_view name = fields.Next();
        if (name.empty() || !IsWholeDisk(name))
            return;
        DiskStats disk;
        CopyName(disk.Name, name);
        if (ReadBlockCounters(fields, disk))
            disks.push_back(disk);
    });
}

bool ParseBlockStat(std::string_view text, DiskStats& disk)
{
    Fields fields(text.substr(0, text.find('\n')));
    DiskStats read;
    if (!ReadBlockCounters(fields, read))
        return false;
    disk.ReadsCompleted = read.ReadsCompleted;
    disk.SectorsRead = read.SectorsRead;
    disk.WritesCompleted = read.WritesCompleted;
    disk.SectorsWritten = read.SectorsWritten;
    return true;
}

void ParseNetDev(std::string_view text, std::vector<NetDevStats>& interfaces)
{
    interfaces.clear();
    ForEachLine(text, [&](std::string_view line) {
        const size_t colon = line.find(':');
        if (colon == std::string_view::npos || line.find('|') != std::string_view::npos)
            return;
        std::string_view name = line.substr(0, colon);
        name.remove_prefix(std::min(name.find_first_not_of(' '), name.size()));
        if (name.empty())
            return;
        NetDevStats stats;
        CopyName(stats.Name, name);
        Fields fields(line.substr(colon + 1));
        std::uint64_t fifo = 0, frame = 0, compressed = 0;
        if (!fields.NextNumber(stats.RxBytes) || !fields.NextNumber(stats.RxPackets) ||
            !fields.NextNumber(stats.RxErrors) || !fields.NextNumber(stats.RxDrop) ||
            !fields.NextNumber(fifo) || !fields.NextNumber(frame) ||
            !fields.NextNumber(compressed) || !fields.NextNumber(stats.RxMulticast) ||
            !fields.NextNumber(stats.TxBytes) || !fields.NextNumber(stats.TxPackets) ||
            !fields.NextNumber(stats.TxErrors) || !fields.NextNumber(stats.TxDrop))
            return;
        interfaces.push_back(stats);
    });
}

bool ParseMemInfo(std::string_view text, MemInfo& info)
{
    info = MemInfo();
    bool haveTotal = false;
    ForEachLine(text, [&](std::string_view line) {
        const size_t colon = line.find(':');
        if (colon == std::string_view::npos)
            return;
        std::string_view key = line.substr(0, colon);
        std::uint64_t value = 0;
        Fields fields(line.substr(colon + 1));
        if (!fields.NextNumber(value))
            return;
        if (key == "MemTotal") {
            info.MemTotal = value;
            haveTotal = true;
        } else if (key == "MemFree") {
            info.MemFree = value;
        } else if (key == "MemAvailable") {
            info.MemAvailable = value;
            info.HasMemAvailable = true;
        } else if (key == "Buffers") {
            info.Buffers = value;
        } else if (key == "Cached") {
            info.Cached = value;
        } else if (key == "SwapTotal") {
            info.SwapTotal = value;
        } else if (key == "SwapFree") {
            info.SwapFree = value;
        }
    });
    return haveTotal;
}
