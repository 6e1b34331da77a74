#include "core/PerfCore.h"

#include "core/FreeSystemResources.h"
#include "core/PerfError.h"
#include "core/PerfMonitor.h"
#include "core/PerfObjects.h"
#include "platform/Dialogs.h"
#include "platform/DynStats.h"
#include "platform/PerfDataSource.h"
#include "platform/SystemInfo.h"

#include <algorithm>
#include <cstdio>
#include <limits>

namespace {

const char* const StatNames[] = {"SMBRedir\\BReadsSec", "SMBRedir\\BWritesSec", "SMBRedir\\XactSec",
                                 "MSNServer\\Bytes",    "MSNServer\\Writes",    "MSNServer\\BBytes",
                                 "VFAT\\BReadsSec",     "VFAT\\BWritesSec",     "KERNEL\\CPUUsage"};
enum Stat
{
    SmbReads,
    SmbWrites,
    SmbXact,
    MsnBytes,
    MsnWrites,
    MsnBBytes,
    VfatReads,
    VfatWrites,
    KernelCpu
};

const QString ProcessorObject = QStringLiteral("Processor");
const QString DiskObject = QStringLiteral("PhysicalDisk");
const QString NetObject = QStringLiteral("Network Interface");
const QString TotalInstance = QStringLiteral("_Total");

QString ExceptionMessage(const std::exception& e)
{
    if (const auto* perf = dynamic_cast<const EPerfError*>(&e))
        return perf->Message();
    return QString::fromUtf8(e.what());
}

// The integer part of a "%f" text, read up to the first character that is not a digit.
std::int32_t LeadingInteger(const char* text)
{
    bool negative = false;
    if (*text == '-' || *text == '+')
        negative = *text++ == '-';
    std::int64_t value = 0;
    for (; *text >= '0' && *text <= '9'; ++text) {
        value = value * 10 + (*text - '0');
        if (value > std::numeric_limits<std::int32_t>::max())
            return negative ? std::numeric_limits<std::int32_t>::min()
                            : std::numeric_limits<std::int32_t>::max();
    }
    return static_cast<std::int32_t>(negative ? -value : value);
}

std::uint32_t Delta(std::uint32_t previous, std::uint32_t current)
{
    return previous < current && previous != 0 ? current - previous : 0;
}

std::uint64_t Scaled(std::uint64_t rate, std::int32_t factor)
{
    if (factor <= 0)
        return factor == 0 ? 0 : rate;
    const auto f = static_cast<std::uint64_t>(factor);
    return rate > std::numeric_limits<std::uint64_t>::max() / f
               ? std::numeric_limits<std::uint64_t>::max()
               : rate * f;
}

// Clears Busy however the operation ends.
class BusyScope
{
public:
    explicit BusyScope(bool& busy) : m_busy(busy) { m_busy = true; }
    ~BusyScope() { m_busy = false; }

private:
    bool& m_busy;
};

} // namespace

TPerfCore::TPerfCore(const TPerfCorePlatform& platform, TaggedLog log)
    : m_platform(platform), m_log(std::move(log))
{
    m_log(QStringLiteral("Class Initialize..."));
    m_isNT = m_platform.System.Version().PlatformId == 2;
    m_inventoryRevision = m_platform.Perf.InventoryRevision();
    m_log(QStringLiteral("Virtual MPS Disabled(Non-Debugging)."));
    CountProcessors();
    m_cpuUsage = std::make_unique<TCpuUsage>(m_platform.System, m_platform.Dyn);
    m_log(QStringLiteral("PerfCore was Created."));
}

TPerfCore::~TPerfCore()
{
    m_log(QStringLiteral("Class Destroy"));
    m_busy = false;
    if (m_started)
        m_log(StopMonitor() ? QStringLiteral("PerfCore was Stopped.")
                            : QStringLiteral("PerfCore was Destroied."));
    UnloadIpHelper();
    m_nicInstances.reset();
    m_monitor.reset();
    m_cpuUsage.reset();
    m_log(QStringLiteral("PerfCore was Terminated."));
}

void TPerfCore::CountProcessors()
{
    CpuCount = static_cast<std::int32_t>(m_platform.System.NumberOfProcessors());
    if (CpuCount >= 1)
        m_log(QStringLiteral("Number of CPU : %1").arg(CpuCount));
    else
        m_log(QStringLiteral("*** CPU Count Error (GetSystemInfo:%1) ***").arg(CpuCount));
    CpuUsage.assign(static_cast<size_t>(std::max(CpuCount, 0)) + 1, 0);
    // A processor that comes later gets a history as deep as the others.
    CpuHistory.resize(CpuUsage.size(),
                      CpuHistory.empty() ? TPerfHistory() : TPerfHistory(CpuHistory[0].Count()));
}

void TPerfCore::FollowInventory()
{
    const std::uint32_t revision = m_platform.Perf.InventoryRevision();
    if (revision == m_inventoryRevision)
        return;
    m_inventoryRevision = revision;
    m_log(QStringLiteral("The machine's processors, disks or interfaces changed"));
    CountProcessors();
    if (StopMonitor())
        StartMonitor();
}

void TPerfCore::LogException(const QString& message) const
{
    m_log(QStringLiteral("{TRAP] \"") + message + u'"');
}

bool TPerfCore::IsWin98OrMe() const
{
    const OsVersion version = m_platform.System.Version();
    return version.PlatformId == 1 && version.MajorVersion == 4 &&
           (version.MinorVersion == 10 || version.MinorVersion == 90);
}

void TPerfCore::UnloadIpHelper()
{
    if (!m_ipHelperLoaded)
        return;
    m_ifTableBuffer.clear();
    m_ifTableBuffer.shrink_to_fit();
    if (m_platform.Interfaces)
        m_platform.Interfaces->Unload();
    m_ipHelperLoaded = false;
    m_log(QStringLiteral("iphlpapi.dll UnLoad ok"));
}

bool TPerfCore::StartMonitor()
{
    const bool win98 = IsWin98OrMe();
    m_log(QStringLiteral("Perf Monitor Starting..."));
    if (m_started)
        return true;
    if (m_busy)
        return false;
    BusyScope busy(m_busy);
    bool result = true;
    try {
        if (UseIpHelper && win98) {
            UnloadIpHelper();
            IfTable* table = m_platform.Interfaces;
            bool failed = true;
            if (table && table->Load()) {
                std::uint32_t size = 0;
                table->GetIfTable(nullptr, size, true);
                if (size > 0) {
                    m_ifTableBuffer.assign(size, std::byte{0});
                    m_ipHelperLoaded = true;
                    failed = false;
                    m_log(QStringLiteral("iphlpapi.dll Load ok"));
                } else {
                    table->Unload();
                    m_log(QStringLiteral("GetIfTable Size NG"));
                }
            } else {
                m_log(QStringLiteral("iphlpapi.dll Load NG"));
            }
            if (failed) {
                m_platform.Boxes.Warning(
                    QStringLiteral("The call of IPHLPAPI.DLL goes wrong! This DLL is not used."));
                UseIpHelper = false;
            }
        } else {
            m_ipHelperLoaded = false;
        }

        result = m_isNT ? StartNt() : Start9x();

        DiskReadBytes = DiskWriteBytes = NetRecvBytes = NetSendBytes = 0;
        m_memorySample = 0;
    } catch (const std::exception& e) {
        m_log(QStringLiteral("[TRAP] ERROR on Perf Monitor Starting."));
        LogException(ExceptionMessage(e));
        result = m_started; // a start that broke off is no success
    }
    return result;
}

bool TPerfCore::StartNt()
{
    bool partial = false;
    try {
        m_nicInstances.reset();
        m_monitor = std::make_unique<TPerfMonitor>(m_platform.Perf);
        struct Pair
        {
            Counter counter;
            const QString& object;
            QString name;
            const char* trap;
        };
        const Pair pairs[] = {
            {ProcessorItem, ProcessorObject, QStringLiteral("% Processor Time"),
             "[TRAP] Processor Counter Initialize ERROR!"},
            {DiskReadItem, DiskObject, QStringLiteral("Disk Read Bytes/sec"),
             "[TRAP] PhysicalDisk(R) Counter Initialize ERROR!"},
            {DiskWriteItem, DiskObject, QStringLiteral("Disk Write Bytes/sec"),
             "[TRAP] PhysicalDisk(W) Counter Initialize ERROR!"},
            {NetRecvItem, NetObject, QStringLiteral("Bytes Received/sec"),
             "[TRAP] NetworkInterface(R) Counter Initialize ERROR!"},
            {NetSendItem, NetObject, QStringLiteral("Bytes Sent/sec"),
             "[TRAP] NetworkInterface(S) Counter Initialize ERROR!"},
        };
        for (const Pair& pair : pairs) {
            if (pair.counter == DiskReadItem && TargetDrive != -1)
                m_log(QStringLiteral("Target PhysicalDisk Number : %1").arg(TargetDrive));
            m_itemIndex[pair.counter] = -1;
            bool found = false;
            try {
                found = TestCounter(pair.object, pair.name);
                if (found) {
                    TPerfMonitorItem& item = m_monitor->Add();
                    try {
                        item.SetObjectName(pair.object);
                        item.SetCounterName(pair.name);
                    } catch (...) {
                        // An item left with bad names would fail every later collect.
                        m_monitor->Delete(item);
                        throw;
                    }
                    m_itemIndex[pair.counter] = m_monitor->Count() - 1;
                }
            } catch (const std::exception& e) {
                m_log(QString::fromLatin1(pair.trap));
                LogException(ExceptionMessage(e));
                found = false;
            }
            if (pair.counter == ProcessorItem) {
                m_cpuFromNtdll = !found;
                if (found) {
                    m_log(QStringLiteral("CPU Usage Status : PerfObjects"));
                } else {
                    m_cpuUsage->Reset();
                    m_log(QStringLiteral("CPU Usage Status : NTDLL"));
                }
            } else if (!found) {
                partial = true;
            }
        }
        if (m_itemIndex[NetRecvItem] >= 0 && m_itemIndex[NetSendItem] >= 0) {
            m_nicInstances = std::make_unique<TPerfInstances>(m_platform.Perf);
            m_nicInstances->Loading = true; // bound on use, in each sample
            m_nicInstances->SetObjectName(NetObject);
            m_nicInstances->Loading = false;
            m_loopbackNics = m_platform.Perf.LoopbackInterfaces();
        }
    } catch (const std::exception& e) {
        m_log(QStringLiteral("[!]Starting Process FAIL.[!]"));
        LogException(ExceptionMessage(e));
    }
    if (partial)
        m_log(QStringLiteral("[!]Starting of some performance objects goes wrong.[!]"));
    m_started = true;
    return true;
}

bool TPerfCore::OpenDynStats(int key)
{
    return m_platform.Dyn && m_platform.Dyn->Open(static_cast<DynStats::Key>(key));
}

bool TPerfCore::Start9x()
{
    if (!OpenDynStats(static_cast<int>(DynStats::Key::StartStat)))
        return false;
    std::uint32_t value = 0;
    for (const char* name : StatNames)
        m_platform.Dyn->Read(QString::fromLatin1(name), value);
    m_platform.Dyn->Close();
    m_stats.fill(0);
    m_previousStats.fill(0);
    m_recvTotal = m_sendTotal = m_previousRecvTotal = m_previousSendTotal = 0;
    m_started = true;
    return true;
}

bool TPerfCore::TestCounter(const QString& objectName, const QString& counterName)
{
    if (!m_isNT)
        return false;
    bool found = false;
    try {
        TPerfObjects objects(m_platform.Perf);
        TPerfCounters counters(m_platform.Perf);
        const int objectCount = objects.Count();
        if (objectCount == 0)
            m_log(QStringLiteral("No Object"));
        for (int i = objectCount - 1; i >= 0; --i) {
            if (objects.Names(i) != objectName)
                continue;
            counters.SetObjectName(objectName);
            const int counterCount = counters.Count();
            if (counterCount == 0)
                m_log(QStringLiteral("No Counter"));
            for (int c = counterCount - 1; c >= 0 && !found; --c)
                found = counters.Names(c) == counterName;
            break;
        }
    } catch (const std::exception& e) {
        m_log(QStringLiteral("[TRAP] Performance Counter Test ERROR!"));
        LogException(ExceptionMessage(e));
        return false;
    }
    m_log(QStringLiteral("Object/Counter :") + objectName + QStringLiteral(" / ") + counterName +
          (found ? QStringLiteral(" ... ok") : QStringLiteral(" ... NOT FOUND")));
    return found;
}

bool TPerfCore::StopMonitor()
{
    m_log(QStringLiteral("Perf Monitor STOP"));
    if (!m_started)
        return true;
    if (m_busy) {
        m_log(QStringLiteral("Control Conflict..."));
        return false;
    }
    BusyScope busy(m_busy);
    UnloadIpHelper();
    if (m_isNT) {
        m_nicInstances.reset();
        if (m_monitor)
            m_monitor->Clear();
        m_monitor.reset();
        m_itemIndex.fill(-1);
        m_started = false;
        return true;
    }
    if (!OpenDynStats(static_cast<int>(DynStats::Key::StopStat)))
        return false;
    std::uint32_t value = 0;
    for (const char* name : StatNames)
        m_platform.Dyn->Read(QString::fromLatin1(name), value);
    m_platform.Dyn->Close();
    m_started = false;
    return true;
}

bool TPerfCore::CollectSample()
{
    if (!m_started)
        return true;
    if (m_busy)
        return false;
    FollowInventory();
    BusyScope busy(m_busy);
    bool result = true;

    if (m_isNT) {
        try {
            m_monitor->Collect();
        } catch (const std::exception&) {
            m_log(QStringLiteral("[TRAP] ERROR on Performance Collecting."));
            return false;
        }
        SampleNt();
    } else {
        try {
            result = Sample9x();
        } catch (const std::exception&) {
            m_log(QStringLiteral("[TRAP] ERROR on Get Basic Performance Process."));
        }
    }

    try {
        if (m_ipHelperLoaded)
            SampleInterfaceTable();
        m_previousStats = m_stats;
        m_previousRecvTotal = m_recvTotal;
        m_previousSendTotal = m_sendTotal;
        NetActive = NetRecvActive || NetSendActive || NetXactActive;
        if (m_memorySample == 0)
            SampleMemory();
    } catch (const std::exception&) {
        m_log(QStringLiteral("[TRAP] ERROR on Get Memory Status Process."));
    }

    m_memorySample = (m_memorySample + 1) % 5;
    DiskReadBytes = Scaled(DiskReadBytes, RateFactor);
    DiskWriteBytes = Scaled(DiskWriteBytes, RateFactor);
    NetRecvBytes = Scaled(NetRecvBytes, RateFactor);
    NetSendBytes = Scaled(NetSendBytes, RateFactor);
    return result;
}

void TPerfCore::SampleNt()
{
    struct Step
    {
        const char* trap;
        void (*run)(TPerfCore&);
    };
    static const Step steps[] = {
        {"[TRAP] ERROR on CPU Performance.",
         [](TPerfCore& core) {
             core.SampleCpu();
         }},
        {"[TRAP] ERROR on DiskR Performance.",
         [](TPerfCore& core) {
             core.DiskReadBytes = core.SampleDisk(DiskReadItem, core.DiskReadActive);
         }},
        {"[TRAP] ERROR on DiskW Performance.",
         [](TPerfCore& core) {
             core.DiskWriteBytes = core.SampleDisk(DiskWriteItem, core.DiskWriteActive);
             core.DiskActive = core.DiskReadActive || core.DiskWriteActive;
         }},
        {"[TRAP] ERROR on NetIO Performance.",
         [](TPerfCore& core) {
             core.SampleNetwork();
         }},
    };
    for (const Step& step : steps) {
        try {
            step.run(*this);
        } catch (const std::exception& e) {
            m_log(QString::fromLatin1(step.trap));
            m_log(QStringLiteral("[TRAP] MSG : ") + ExceptionMessage(e));
        }
    }
    NetXactActive = false;
}

void TPerfCore::SampleCpu()
{
    if (m_cpuFromNtdll) {
        const std::int32_t usage = m_cpuUsage->GetUsage();
        std::fill(CpuUsage.begin(), CpuUsage.end(), usage);
        return;
    }
    std::fill(CpuUsage.begin(), CpuUsage.end(), 0);
    if (m_itemIndex[ProcessorItem] < 0)
        return;
    TPerfMonitorItem& item = m_monitor->Items(m_itemIndex[ProcessorItem]);
    const int count = item.Count();
    if (count - 1 > CpuCount)
        return;
    int last = count - 1;
    if (last >= 0 && item.CounterItem().InstanceNameView(last) == TotalInstance)
        --last;
    std::int64_t sum = 0;
    char text[352];
    for (int i = last; i >= 0; --i) {
        if (i + 1 > CpuCount)
            continue; // no entry for an instance beyond the processors counted at creation
        const TPerfMonitorCounterValue& value = item.Values(i);
        std::int32_t usage = 0;
        if (value.HasPrevious) {
            value.FormatCounterText(text, sizeof(text));
            usage = LeadingInteger(text);
        }
        CpuUsage[static_cast<size_t>(i) + 1] = usage;
        sum += usage;
    }
    // A machine that reported no processors has no average to take.
    CpuUsage[0] = CpuCount > 0 ? static_cast<std::int32_t>(sum / CpuCount) : 0;
}

std::uint64_t TPerfCore::SampleDisk(int itemIndex, bool& active)
{
    std::uint64_t value = 0;
    active = false;
    if (m_itemIndex[itemIndex] < 0)
        return 0;
    TPerfMonitorItem& item = m_monitor->Items(m_itemIndex[itemIndex]);
    const QChar driveDigit = QChar(u'0' + (TargetDrive >= 0 && TargetDrive <= 9 ? TargetDrive : 0));
    for (int i = item.ValueCount() - 1; i >= 0; --i) {
        const TPerfMonitorCounterValue& record = item.Values(i);
        if (TargetDrive != -1 &&
            (record.InstanceName.isEmpty() || record.InstanceName.front() != driveDigit ||
             TargetDrive < 0 || TargetDrive > 9))
            continue;
        const auto raw = static_cast<std::uint64_t>(record.RawValue);
        const auto previous = static_cast<std::uint64_t>(record.PreviousRawValue);
        if (raw > previous && previous != 0)
            value = std::max(value, raw - previous);
    }
    active = value != 0;
    return value;
}

void TPerfCore::SampleNetwork()
{
    const int recvIndex = m_itemIndex[NetRecvItem];
    const int sendIndex = m_itemIndex[NetSendItem];
    if (recvIndex < 0 || sendIndex < 0 || !m_nicInstances)
        return;
    TPerfMonitorItem& recvItem = m_monitor->Items(recvIndex);
    TPerfMonitorItem& sendItem = m_monitor->Items(sendIndex);
    if (!recvItem.CounterItem().HasInstances())
        return;
    std::uint64_t received = 0, sent = 0;
    const int recvCount = recvItem.Count();
    const int sendCount = sendItem.Count();
    auto largest = [](TPerfMonitorItem& item, int position, std::uint64_t& value) {
        const TPerfMonitorCounterValue& record = item.Values(position);
        const auto raw = static_cast<std::uint64_t>(record.RawValue);
        const auto previous = static_cast<std::uint64_t>(record.PreviousRawValue);
        if (raw > previous && previous != 0)
            value = std::max(value, raw - previous);
    };
    for (int p = m_nicInstances->Count() - 1; p >= 0; --p) {
        if (TargetNic.isEmpty() ? m_loopbackNics.contains(m_nicInstances->NameView(p))
                                : m_nicInstances->NameView(p) != TargetNic)
            continue;
        if (p < recvCount)
            largest(recvItem, p, received);
        if (p < sendCount)
            largest(sendItem, p, sent);
    }
    NetRecvBytes = received;
    NetRecvActive = received != 0;
    NetSendBytes = sent;
    NetSendActive = sent != 0;
}

bool TPerfCore::Sample9x()
{
    if (!OpenDynStats(static_cast<int>(DynStats::Key::StatData)))
        return false;
    for (int i = 0; i < StatCount; ++i) {
        std::uint32_t value = 0;
        m_platform.Dyn->Read(QString::fromLatin1(StatNames[i]), value);
        m_stats[static_cast<size_t>(i)] = value;
    }
    m_platform.Dyn->Close();
    auto delta = [&](Stat s) {
        return static_cast<std::uint64_t>(Delta(m_previousStats[s], m_stats[s]));
    };
    auto changed = [&](Stat s) {
        return m_previousStats[s] != m_stats[s];
    };
    DiskReadBytes = delta(VfatReads);
    DiskWriteBytes = delta(VfatWrites);
    NetRecvBytes = delta(SmbReads) + delta(MsnWrites);
    NetSendBytes = delta(SmbWrites) + delta(MsnBytes);
    NetRecvActive = changed(SmbReads) || changed(MsnWrites);
    NetSendActive = changed(SmbWrites) || changed(MsnBytes);
    NetXactActive = changed(SmbXact) || changed(MsnBBytes);
    DiskReadActive = changed(VfatReads);
    DiskWriteActive = changed(VfatWrites);
    DiskActive = DiskReadActive || DiskWriteActive;
    const auto cpu = static_cast<std::int32_t>(m_stats[KernelCpu]);
    for (size_t i = 0; i < std::min<size_t>(2, CpuUsage.size()); ++i)
        CpuUsage[i] = cpu;

    const std::uint32_t poll = m_platform.System.TickCount() / 10000;
    if (poll != m_lastResourcePoll && m_platform.Resources) {
        m_lastResourcePoll = poll;
        const TFreeResources resources = GetFreeResources(*m_platform.Resources);
        FreeResources = std::min(resources.User, resources.System);
    }
    return true;
}

void TPerfCore::SampleInterfaceTable()
{
    if (!m_platform.Interfaces || m_ifTableBuffer.empty())
        return;
    auto* table = reinterpret_cast<IfLayout::MibIfTable*>(m_ifTableBuffer.data());
    auto size = static_cast<std::uint32_t>(m_ifTableBuffer.size());
    if (m_platform.Interfaces->GetIfTable(table, size, true) != IfLayout::NoError)
        return;
    const std::uint32_t rows = std::min<std::uint32_t>(
        table->dwNumEntries,
        static_cast<std::uint32_t>((m_ifTableBuffer.size() - IfLayout::TableSize(0)) /
                                   sizeof(IfLayout::MibIfRow)));
    std::uint32_t received = 0, sent = 0;
    for (std::uint32_t i = 0; i < rows; ++i) {
        const IfLayout::MibIfRow& row = table->table[i];
        received += row.dwInOctets + row.dwInUcastPkts + row.dwInNUcastPkts + row.dwInDiscards +
                    row.dwInErrors + row.dwInUnknownProtos;
        sent += row.dwOutOctets + row.dwOutUcastPkts + row.dwOutNUcastPkts + row.dwOutDiscards +
                row.dwOutErrors;
    }
    m_recvTotal = received;
    m_sendTotal = sent;
    // The totals are 32-bit sums that wrap; the difference modulo 2^32 stays right across a wrap.
    NetRecvBytes = m_previousRecvTotal != 0 ? std::uint32_t(received - m_previousRecvTotal) : 0;
    NetSendBytes = m_previousSendTotal != 0 ? std::uint32_t(sent - m_previousSendTotal) : 0;
    NetRecvActive = NetRecvActive || received != m_previousRecvTotal;
    NetSendActive = NetSendActive || sent != m_previousSendTotal;
}

void TPerfCore::SampleMemory()
{
    const MemoryStatus status = m_platform.System.GlobalMemoryStatus();
    auto load = [](std::uint64_t available, std::uint64_t total) -> std::uint32_t {
        const std::uint64_t totalKb = total / 1024;
        if (totalKb == 0)
            return 0;
        // More available than there is would wrap the unsigned load round.
        const std::uint64_t availableKb = std::min(available, total) / 1024;
        return static_cast<std::uint32_t>(100 - availableKb * 100 / totalKb);
    };
    MemoryLoad = load(status.AvailPhys, status.TotalPhys);
    SwapLoad = load(status.AvailPageFile, status.TotalPageFile);
}

void TPerfCore::CheckNetCounters()
{
    bool dotNetActive = false;
    const std::vector<PerfServiceInfo> services = m_platform.Perf.Services();
    auto isDotNet = [](const QString& name) {
        return name.startsWith(QStringLiteral(".NET")) ||
               name.startsWith(QStringLiteral("ASP.NET"));
    };
    for (const PerfServiceInfo& service : services) {
        if (!service.HasPerformanceKey)
            continue;
        if (isDotNet(service.Name) &&
            (!service.DisablePerformanceCounters || *service.DisablePerformanceCounters == 0))
            dotNetActive = true;
        if (service.Name.startsWith(QStringLiteral("PerfDisk")) ||
            service.Name.startsWith(QStringLiteral("Tcpip")))
            m_platform.Perf.SetCountersDisabled(service.Name, 0);
    }
    if (!dotNetActive)
        return;
    const QString question =
        QStringLiteral("Pulsmir と併用すると、システムとPulsmirの動作に多大なパフォーマンス低下"
                       "をもたらすおそれのある.NET関連カウンターが動作していることを検知しました。"
                       "\r\n\r\n該当カウンタを停止させますが、よろしいですか？");
    if (!m_platform.Boxes.AskYesNo(DialogType::Warning, question))
        return;
    for (const PerfServiceInfo& service : services)
        if (service.HasPerformanceKey && isDotNet(service.Name))
            m_platform.Perf.SetCountersDisabled(service.Name, 1);
}
