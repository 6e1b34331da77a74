#include "platform/linux/ProcProcesses.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <ctime>
#include <dirent.h>
#include <memory>
#include <unistd.h>

namespace {

std::int64_t MonotonicMs()
{
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return std::int64_t(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

bool ToPid(const char* name, int& pid)
{
    const char* end = name + std::char_traits<char>::length(name);
    const auto [last, error] = std::from_chars(name, end, pid);
    return error == std::errc() && last == end && pid > 0;
}

struct DirCloser
{
    void operator()(DIR* dir) const { ::closedir(dir); }
};

} // namespace

bool ParseProcessStat(std::string_view text, ProcessTimes& process)
{
    const size_t open = text.find('(');
    const size_t close = text.rfind(')');
    if (open == std::string_view::npos || close == std::string_view::npos || close < open)
        return false;
    const std::string_view name = text.substr(open + 1, close - open - 1);
    // After the name: state, then the numbered fields from 4 on; utime is the 14th of the line,
    // stime the 15th and starttime the 22nd.
    std::string_view rest = text.substr(close + 1);
    std::uint64_t utime = 0, stime = 0, start = 0;
    for (int field = 3; field <= 22; ++field) {
        const size_t begin = rest.find_first_not_of(' ');
        if (begin == std::string_view::npos)
            return false;
        rest.remove_prefix(begin);
        const std::string_view value = rest.substr(0, rest.find_first_of(" \n"));
        rest.remove_prefix(value.size());
        std::uint64_t* target = field == 14 ? &utime : field == 15 ? &stime : field == 22 ? &start : nullptr;
        if (!target)
            continue;
        const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), *target);
        if (error != std::errc() || end != value.data() + value.size())
            return false;
    }
    process.Name.assign(name.substr(0, ProcProcesses::MaxNameBytes));
    process.CpuTicks = utime + stime;
    process.StartTicks = start;
    return true;
}

ProcProcesses::ProcProcesses(const QString& root)
    : m_root(root.toLocal8Bit().toStdString()), m_stat(root + QStringLiteral("/stat"), 16384, ProcFile::Hold::Never),
      m_buffer(MaxStatSize)
{}

QString ProcProcesses::RootFromEnvironment()
{
    const QString root = qEnvironmentVariable("PULSMIR_PROCFS");
    return root.isEmpty() ? QStringLiteral("/proc") : root;
}

void ProcProcesses::Read(ProcessSnapshot& snapshot)
{
    snapshot.TakenMs = MonotonicMs();
    snapshot.TicksPerSecond = std::max(::sysconf(_SC_CLK_TCK), 1L);
    snapshot.MachineTicks = 0;
    CpuTimes all;
    if (m_stat.Read() && ParseProcStat(m_stat.Text(), all, m_cpus))
        snapshot.MachineTicks = all.UserAll() + all.Privileged() + all.IdleAll() + all.Steal;
    snapshot.Processors =
        !m_cpus.empty() ? int(m_cpus.size()) : int(std::max(::sysconf(_SC_NPROCESSORS_ONLN), 1L));

    std::vector<ProcessTimes>& processes = snapshot.Processes;
    size_t count = 0;
    const std::unique_ptr<DIR, DirCloser> dir(::opendir(m_root.c_str()));
    if (dir) {
        char path[32];
        while (count < MaxProcesses) {
            const dirent* entry = ::readdir(dir.get());
            if (!entry)
                break;
            int pid = 0;
            if (!ToPid(entry->d_name, pid))
                continue;
            std::snprintf(path, sizeof path, "%d/stat", pid);
            const UniqueFd fd = OpenRegularFile(path, ::dirfd(dir.get()));
            size_t length = 0;
            if (!fd.Valid() || !ReadWholeFile(fd.Get(), m_buffer, MaxStatSize, length))
                continue; // ended since the listing, or not a process's file
            if (count == processes.size())
                processes.emplace_back();
            ProcessTimes& process = processes[count];
            if (!ParseProcessStat({m_buffer.data(), length}, process))
                continue;
            process.Pid = pid;
            ++count;
        }
    }
    processes.resize(count);
    // The kernel lists by pid already; a copy of its tree may not.
    const auto byPid = [](const ProcessTimes& a, const ProcessTimes& b) { return a.Pid < b.Pid; };
    if (!std::is_sorted(processes.begin(), processes.end(), byPid))
        std::sort(processes.begin(), processes.end(), byPid);
}
