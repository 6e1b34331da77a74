#pragma once

#include "core/CpuUsage.h"
#include "core/PerfHistory.h"
#include "log/DebugLog.h"
#include "platform/IfTable.h"

#include <QString>
#include <array>
#include <cstdint>
#include <memory>
#include <vector>

class Dialogs;
class DynStats;
class FreeResources;
class PerfDataSource;
class SystemInfo;
class TPerfInstances;
class TPerfMonitor;

// The system services the core measures through. The Windows 9x ones may be absent; a core
// on such a system then finds its statistics unavailable.
struct TPerfCorePlatform
{
    PerfDataSource& Perf;
    SystemInfo& System;
    Dialogs& Boxes; // message boxes
    DynStats* Dyn = nullptr;
    ::FreeResources* Resources = nullptr;
    IfTable* Interfaces = nullptr;
};

// The measurement core ("CoreClass"): after each successful CollectSample its fields hold the
// values the sampling tick shows. NT path: performance counters; Windows 9x path: the
// HKEY_DYN_DATA statistics and, on 98/ME, the interface table. Byte rates are 64-bit from the
// counter on, so a device faster than 4 GiB/s does not wrap round to a small number.
class TPerfCore
{
public:
    enum Counter
    {
        ProcessorItem,
        DiskReadItem,
        DiskWriteItem,
        NetRecvItem,
        NetSendItem
    };

    TPerfCore(const TPerfCorePlatform& platform, TaggedLog log);
    ~TPerfCore();
    TPerfCore(const TPerfCore&) = delete;
    TPerfCore& operator=(const TPerfCore&) = delete;

    // Measurement values.
    std::int32_t CpuCount = 0;
    std::vector<std::int32_t> CpuUsage;
    std::uint32_t MemoryLoad = 0;
    std::uint32_t SwapLoad = 0;
    std::int32_t FreeResources = 0;
    std::uint64_t DiskReadBytes = 0;
    std::uint64_t DiskWriteBytes = 0;
    std::uint64_t NetRecvBytes = 0;
    std::uint64_t NetSendBytes = 0;
    bool DiskReadActive = false;
    bool DiskWriteActive = false;
    bool DiskActive = false;
    bool NetXactActive = false;
    bool NetRecvActive = false;
    bool NetSendActive = false;
    bool NetActive = false;
    std::int32_t PingLevel = 0;
    std::int32_t PingTime = 0;

    // Settings applied by the shell.
    std::int32_t RateFactor = 1;
    std::int32_t TargetDrive = -1;
    QString TargetNic;
    bool UseIpHelper = false;

    std::vector<TPerfHistory> CpuHistory;
    TPerfHistory MemHistory;
    TPerfHistory SwapHistory;
    TPerfHistory DiskReadHistory;
    TPerfHistory DiskWriteHistory;
    TPerfHistory NetRecvHistory;
    TPerfHistory NetSendHistory;
    // The sensors are read apart from the core (TSensorSampler); their histories live here
    // beside the others, sized by the skin in the same way.
    TPerfHistory TempHistory;
    TPerfHistory BatteryHistory;
    TPerfHistory GpuHistory;
    TPerfHistory GpuMemHistory;

    bool StartMonitor();
    bool StopMonitor();
    bool CollectSample();
    void SetTargetNic(const QString& name) { TargetNic = name; }
    bool TestCounter(const QString& objectName, const QString& counterName);
    // Keeps the disk and network counters enabled and offers to switch off the .NET ones,
    // which slow the performance data down badly.
    void CheckNetCounters();

    bool IsNT() const { return m_isNT; }
    bool Started() const { return m_started; }
    bool Busy() const { return m_busy; }
    bool CpuFromNtdll() const { return m_cpuFromNtdll; }
    bool IpHelperLoaded() const { return m_ipHelperLoaded; }
    int ItemIndex(Counter counter) const { return m_itemIndex[counter]; }
    TPerfMonitor* Monitor() const { return m_monitor.get(); }

private:
    static constexpr int StatCount = 9;

    void LogException(const QString& message) const;
    void CountProcessors();
    // Starts again over the machine's processors, disks and interfaces when they changed.
    void FollowInventory();
    bool StartNt();
    bool Start9x();
    void SampleNt();
    void SampleCpu();
    std::uint64_t SampleDisk(int item, bool& active);
    void SampleNetwork();
    bool Sample9x();
    void SampleInterfaceTable();
    void SampleMemory();
    bool OpenDynStats(int key);
    bool IsWin98OrMe() const;
    void UnloadIpHelper();

    TPerfCorePlatform m_platform;
    TaggedLog m_log;
    bool m_isNT = false;
    bool m_started = false;
    bool m_busy = false;
    bool m_ipHelperLoaded = false;
    bool m_cpuFromNtdll = false;
    std::unique_ptr<TPerfMonitor> m_monitor;
    std::unique_ptr<TPerfInstances> m_nicInstances;
    // Left out of the busiest interface: the program's own SSTP, Local Talk and local pings
    // would move the network meters.
    QStringList m_loopbackNics;
    std::array<int, 5> m_itemIndex{-1, -1, -1, -1, -1};
    std::uint32_t m_inventoryRevision = 0;
    int m_memorySample = 0;
    std::array<std::uint32_t, StatCount> m_stats{};
    std::array<std::uint32_t, StatCount> m_previousStats{};
    std::uint32_t m_recvTotal = 0, m_sendTotal = 0;
    std::uint32_t m_previousRecvTotal = 0, m_previousSendTotal = 0;
    std::vector<std::byte> m_ifTableBuffer;
    std::uint32_t m_lastResourcePoll = 0xFFFFFFFF;
    std::unique_ptr<TCpuUsage> m_cpuUsage;
};
