#pragma once

#include <cstdint>
#include <string>
#include <vector>

// One process as the kernel accounts for it.
struct ProcessTimes
{
    int Pid = 0;
    // Clock ticks after boot at which it started: a pid used again belongs to another process.
    std::uint64_t StartTicks = 0;
    std::uint64_t CpuTicks = 0; // user and system time of all its threads
    std::string Name;           // the kernel's name of it, bytes as they are
};

// Every process at one moment, with the machine's processor time up to it.
struct ProcessSnapshot
{
    std::vector<ProcessTimes> Processes; // by pid
    // The time of all processors, busy or idle, in clock ticks; 0 when it cannot be read.
    std::uint64_t MachineTicks = 0;
    int Processors = 1;
    long TicksPerSecond = 100;
    std::int64_t TakenMs = 0; // on a monotonic clock
};

// The processes of the machine. A read may take a while with many processes, and a file system
// standing in for /proc may stop answering, so callers keep reads off the window's thread.
class ProcessSource
{
public:
    virtual ~ProcessSource() = default;

    // Fills snapshot anew, reusing its storage.
    virtual void Read(ProcessSnapshot& snapshot) = 0;
};
