#pragma once

#include <cstddef>
#include <cstdint>

struct OsVersion
{
    std::uint32_t MajorVersion = 0;
    std::uint32_t MinorVersion = 0;
    std::uint32_t BuildNumber = 0;
    std::uint32_t PlatformId = 0; // 1 = Windows 9x family, 2 = NT family
};

// GlobalMemoryStatus; 64-bit, as machines have long outgrown the 32-bit fields.
struct MemoryStatus
{
    std::uint32_t MemoryLoad = 0;
    std::uint64_t TotalPhys = 0;
    std::uint64_t AvailPhys = 0;
    std::uint64_t TotalPageFile = 0;
    std::uint64_t AvailPageFile = 0;
};

// The system queries the measurement core makes besides the performance data: version,
// processors, memory, the ntdll system information and the millisecond tick.
class SystemInfo
{
public:
    static constexpr long StatusSuccess = 0;
    static constexpr long StatusInfoLengthMismatch = static_cast<long>(0xC0000004L);
    static constexpr long StatusNotImplemented = static_cast<long>(0xC0000002L);

    // NtQuerySystemInformation classes and the buffer sizes the program passes.
    static constexpr int BasicInformation = 0;       // 44 bytes, processor count at offset 40
    static constexpr int PerformanceInformation = 2; // 312 bytes, idle time first (100 ns)
    static constexpr int TimeOfDayInformation = 3;   // 32 bytes, current time at offset 8
    static constexpr std::uint32_t BasicInformationSize = 44;
    static constexpr std::uint32_t PerformanceInformationSize = 312;
    static constexpr std::uint32_t TimeOfDayInformationSize = 32;

    virtual ~SystemInfo() = default;

    virtual OsVersion Version() = 0;
    virtual std::uint32_t NumberOfProcessors() = 0; // GetSystemInfo
    virtual MemoryStatus GlobalMemoryStatus() = 0;
    // False when ntdll.dll or its NtQuerySystemInformation entry is not available.
    virtual bool NtDllAvailable() = 0;
    virtual long NtQuerySystemInformation(int infoClass, void* buffer, std::uint32_t length) = 0;
    virtual std::uint32_t TickCount() = 0; // milliseconds, wrapping
};
