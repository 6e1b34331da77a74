#include "core/PerfCore.h"

#include "core/NicList.h"
#include "core/PerfMonitor.h"
#include "doubles/FakeSystem.h"
#include "doubles/RecordingDialogs.h"
#include "doubles/ScriptedPerfSource.h"
#include "support/LogCapture.h"
#include "support/TempProgramFolder.h"

#include <functional>
#include <stdexcept>
#include <gtest/gtest.h>

using namespace PerfLayout;
using Source = ScriptedPerfSource;

namespace {

struct Machine
{
    int Ms = 0;
    std::vector<std::uint64_t> CpuIdle{0, 0};  // per processor, 100 ns
    std::vector<std::uint64_t> DiskRead{0, 0}; // "0 sda", "1 sdb"
    std::vector<std::uint64_t> DiskWrite{0, 0};
    std::vector<std::uint64_t> NicIn{0, 0}; // "lo", "eth0"
    std::vector<std::uint64_t> NicOut{0, 0};
    bool WithProcessorTime = true;
    bool WithNetwork = true;
};

Source::Snapshot Build(const Machine& m)
{
    Source::Snapshot snapshot{m.Ms, {}};
    Source::Object cpu{238, {}, true, {}, {}};
    cpu.Counters.push_back({m.WithProcessorTime ? 6u : 142u, Counter100NsTimerInv});
    std::uint64_t total = 0;
    for (size_t i = 0; i < m.CpuIdle.size(); ++i) {
        cpu.Instances.push_back({QString::number(i).toStdU16String(), {m.CpuIdle[i]}});
        total += m.CpuIdle[i];
    }
    cpu.Instances.push_back({u"_Total", {total / std::max<size_t>(1, m.CpuIdle.size())}});
    snapshot.Objects.push_back(cpu);

    Source::Object disk{234, {{220, CounterBulkCount}, {222, CounterBulkCount}}, true, {}, {}};
    const char16_t* diskNames[] = {u"0 sda", u"1 sdb"};
    std::uint64_t readTotal = 0, writeTotal = 0;
    for (size_t i = 0; i < m.DiskRead.size(); ++i) {
        disk.Instances.push_back({diskNames[i], {m.DiskRead[i], m.DiskWrite[i]}});
        readTotal += m.DiskRead[i];
        writeTotal += m.DiskWrite[i];
    }
    disk.Instances.push_back({u"_Total", {readTotal, writeTotal}});
    snapshot.Objects.push_back(disk);

    if (m.WithNetwork) {
        Source::Object nic{510, {{264, CounterBulkCount}, {506, CounterBulkCount}}, true, {}, {}};
        const char16_t* nicNames[] = {u"lo", u"eth0", u"eth1"};
        for (size_t i = 0; i < m.NicIn.size(); ++i)
            nic.Instances.push_back({nicNames[i], {m.NicIn[i], m.NicOut[i]}});
        snapshot.Objects.push_back(nic);
    }
    return snapshot;
}

class PerfCoreFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        TPerfInfo::ResetLocales();
        system.Memory = {0, 8ull << 30, 2ull << 30, 4ull << 30, 1ull << 30};
    }

    TPerfCorePlatform Platform() { return {source, system, dialogs, &dyn, &resources, &ifTable}; }
    // The machine moves to the next scripted state before each sample; the first state is
    // also the one a start sees.
    void Script(std::initializer_list<Machine> machines)
    {
        pending.clear();
        for (const Machine& m : machines)
            pending.push_back(Build(m));
        source.Current = pending.front();
    }
    bool Collect(TPerfCore& core)
    {
        if (!pending.empty()) {
            source.Current = pending.front();
            pending.pop_front();
        }
        return core.CollectSample();
    }

    std::deque<Source::Snapshot> pending;
    Source source;
    FakeSystemInfo system;
    RecordingDialogs dialogs;
    FakeDynStats dyn;
    FakeFreeResources resources;
    FakeIfTable ifTable;
    LogCapture log{"(PerfCore) "};
};

} // namespace

TEST_F(PerfCoreFixture, CreationCountsProcessorsAndLogsItsSteps)
{
    {
        TPerfCore core(Platform(), log.Writer());
        EXPECT_TRUE(core.IsNT());
        EXPECT_EQ(core.CpuCount, 2);
        EXPECT_EQ(core.CpuUsage.size(), 3u);
        EXPECT_EQ(core.CpuHistory.size(), 3u);
        EXPECT_EQ(core.TargetDrive, -1);
        EXPECT_EQ(core.RateFactor, 1);
        EXPECT_FALSE(core.Started());
        EXPECT_TRUE(core.CollectSample()); // before a start: true, nothing done
        EXPECT_EQ(source.Queries, 0);
    }
    EXPECT_EQ(log.Lines(),
              QStringList({"Class Initialize...", "Virtual MPS Disabled(Non-Debugging).",
                           "Number of CPU : 2", "PerfCore was Created.", "Class Destroy",
                           "PerfCore was Terminated."}));
}

TEST_F(PerfCoreFixture, ProcessorCountErrorIsLoggedAndGivesNoAverage)
{
    system.Processors = 0;
    Script({Machine{0, {}}, Machine{1000, {}}});
    TPerfCore core(Platform(), log.Writer());
    EXPECT_TRUE(log.Lines().contains("*** CPU Count Error (GetSystemInfo:0) ***"));
    ASSERT_TRUE(core.StartMonitor());
    EXPECT_TRUE(Collect(core));
    EXPECT_TRUE(Collect(core));
    EXPECT_EQ(core.CpuUsage, std::vector<std::int32_t>({0}));
}

TEST_F(PerfCoreFixture, FirstSampleAfterAStartIsZeroThenProcessorsAndTheirMean)
{
    Script({Machine{0, {1000000, 1000000}, {5000, 0}, {0, 0}, {0, 100}, {0, 100}},
            Machine{1000, {3500000, 6000000}, {9000, 0}, {0, 0}, {0, 400}, {0, 150}}});
    TPerfCore core(Platform(), log.Writer());
    ASSERT_TRUE(core.StartMonitor());
    EXPECT_TRUE(core.Started());
    EXPECT_FALSE(core.CpuFromNtdll());
    ASSERT_TRUE(Collect(core));
    EXPECT_EQ(core.CpuUsage, std::vector<std::int32_t>({0, 0, 0}));
    EXPECT_EQ(core.DiskReadBytes, 0u);
    EXPECT_EQ(core.NetRecvBytes, 0u);
    EXPECT_FALSE(core.DiskActive);
    ASSERT_TRUE(Collect(core));
    // Idle 0.25 s and 0.5 s of one second.
    EXPECT_EQ(core.CpuUsage, std::vector<std::int32_t>({62, 75, 50}));
    EXPECT_EQ(core.DiskReadBytes, 4000u);
    EXPECT_TRUE(core.DiskReadActive);
    EXPECT_FALSE(core.DiskWriteActive);
    EXPECT_TRUE(core.DiskActive);
    EXPECT_EQ(core.NetRecvBytes, 300u);
    EXPECT_EQ(core.NetSendBytes, 50u);
    EXPECT_TRUE(core.NetActive);
    EXPECT_FALSE(core.NetXactActive);

    const QStringList lines = log.Lines();
    const QStringList expected = {"Perf Monitor Starting...",
                                  "Object/Counter :Processor / % Processor Time ... ok",
                                  "CPU Usage Status : PerfObjects",
                                  "Object/Counter :PhysicalDisk / Disk Read Bytes/sec ... ok",
                                  "Object/Counter :PhysicalDisk / Disk Write Bytes/sec ... ok",
                                  "Object/Counter :Network Interface / Bytes Received/sec ... ok",
                                  "Object/Counter :Network Interface / Bytes Sent/sec ... ok"};
    EXPECT_EQ(lines.mid(4, expected.size()), expected);
}

TEST_F(PerfCoreFixture, ByteRatesStay64BitAndTargetDriveSelectsInstances)
{
    const std::uint64_t sixGiB = 6ull << 30;
    Script({Machine{0, {0, 0}, {1000, 2000}, {10, 10}, {1, 1}, {1, 1}},
            Machine{200, {0, 0}, {1000 + 300, 2000 + sixGiB}, {10, 10}, {1, 1}, {1, 1}},
            Machine{400, {0, 0}, {1000 + 700, 2000 + sixGiB}, {10, 10}, {1, 1}, {1, 1}}});
    TPerfCore core(Platform(), log.Writer());
    core.RateFactor = 5;
    ASSERT_TRUE(core.StartMonitor());
    Collect(core);
    Collect(core);
    // Every instance counts, so the largest delta is the total of both disks.
    EXPECT_EQ(core.DiskReadBytes, (sixGiB + 300) * 5);
    EXPECT_EQ(core.DiskWriteBytes, 0u);

    ASSERT_TRUE(core.StopMonitor());
    core.TargetDrive = 0;
    Script({Machine{200, {0, 0}, {1000 + 300, 2000 + sixGiB}},
            Machine{400, {0, 0}, {1000 + 700, 2000 + sixGiB}}});
    ASSERT_TRUE(core.StartMonitor());
    EXPECT_TRUE(log.Lines().contains("Target PhysicalDisk Number : 0"));
    Collect(core);
    Collect(core);
    EXPECT_EQ(core.DiskReadBytes, 400u * 5); // only "0 sda"
}

TEST_F(PerfCoreFixture, TargetNicMeasuresOneInterfaceElseTheBusiestOne)
{
    Script({Machine{0, {0, 0}, {0, 0}, {0, 0}, {1000, 5000, 100}, {10, 10, 10}},
            Machine{1000, {0, 0}, {0, 0}, {0, 0}, {1300, 5100, 150}, {10, 90, 20}},
            Machine{2000, {0, 0}, {0, 0}, {0, 0}, {1600, 5200, 200}, {10, 170, 30}},
            Machine{3000, {0, 0}, {0, 0}, {0, 0}, {1900, 5300, 250}, {10, 250, 40}},
            Machine{4000, {0, 0}, {0, 0}, {0, 0}, {2200, 5400, 300}, {10, 330, 50}}});
    TPerfCore core(Platform(), log.Writer());
    ASSERT_TRUE(core.StartMonitor());
    Collect(core);
    Collect(core);
    // "lo" is busier than "eth0" and "eth1", but only the machine's own talk.
    EXPECT_EQ(core.NetRecvBytes, 100u);
    EXPECT_EQ(core.NetSendBytes, 80u);
    core.SetTargetNic("eth1");
    Collect(core);
    EXPECT_EQ(core.NetRecvBytes, 50u);
    EXPECT_EQ(core.NetSendBytes, 10u);
    core.SetTargetNic("lo"); // still measured when asked for
    Collect(core);
    EXPECT_EQ(core.NetRecvBytes, 300u);
    core.SetTargetNic("ETH0"); // names compare exactly
    Collect(core);
    EXPECT_EQ(core.NetRecvBytes, 0u);
    EXPECT_FALSE(core.NetRecvActive);
}

TEST_F(PerfCoreFixture, MissingCountersFallBackOrStayZeroAndAreLogged)
{
    Machine m{0, {0, 0}};
    m.WithProcessorTime = false;
    m.WithNetwork = false;
    Machine later = m;
    later.Ms = 1000;
    Script({m, later});
    system.Now = 10000000;
    system.Idle = 0;
    TPerfCore core(Platform(), log.Writer());
    ASSERT_TRUE(core.StartMonitor());
    EXPECT_TRUE(core.CpuFromNtdll());
    EXPECT_EQ(core.ItemIndex(TPerfCore::NetRecvItem), -1);
    Collect(core);
    system.Now += 10000000;
    system.Idle += 10000000; // two processors, one of them idle for the second
    Collect(core);
    EXPECT_EQ(core.CpuUsage, std::vector<std::int32_t>({50, 50, 50}));
    EXPECT_EQ(core.NetRecvBytes, 0u);
    const QStringList lines = log.Lines();
    EXPECT_TRUE(lines.contains("Object/Counter :Processor / % Processor Time ... NOT FOUND"));
    EXPECT_TRUE(lines.contains("CPU Usage Status : NTDLL"));
    EXPECT_TRUE(lines.contains("[!]Starting of some performance objects goes wrong.[!]"));
}

TEST_F(PerfCoreFixture, AFailedCollectReportsFalseAndTheCoreRestarts)
{
    Script({Machine{0}, Machine{1000}});
    TPerfCore core(Platform(), log.Writer());
    ASSERT_TRUE(core.StartMonitor());
    ASSERT_TRUE(Collect(core));
    source.Result = ErrorFileNotFound;
    EXPECT_FALSE(Collect(core));
    EXPECT_FALSE(core.Busy());
    EXPECT_TRUE(log.Lines().contains("[TRAP] ERROR on Performance Collecting."));
    source.Result = ErrorSuccess;
    EXPECT_TRUE(core.StopMonitor());
    EXPECT_EQ(core.Monitor(), nullptr);
    EXPECT_TRUE(core.StartMonitor());
    EXPECT_TRUE(Collect(core));
}

TEST_F(PerfCoreFixture, BusyCoreRefusesNestedCalls)
{
    system.OsVersionValue = {4, 10, 2222, 1}; // Windows 98
    ifTable.Loads = false;
    TPerfCore core(Platform(), log.Writer());
    core.UseIpHelper = true;
    bool nestedCollect = true, nestedStop = true, nestedStart = true;
    dialogs.whileOpen = [&](const RecordingDialogs::Box&) {
        nestedCollect = core.CollectSample();
        nestedStop = core.StopMonitor();
        nestedStart = core.StartMonitor();
    };
    EXPECT_TRUE(core.StartMonitor());
    EXPECT_TRUE(nestedCollect); // not started yet: nothing to refuse
    EXPECT_TRUE(nestedStop);
    EXPECT_FALSE(nestedStart);
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_EQ(dialogs.boxes[0].text, "The call of IPHLPAPI.DLL goes wrong! This DLL is not used.");
    EXPECT_EQ(dialogs.boxes[0].type, DialogType::Warning);
    EXPECT_FALSE(core.UseIpHelper);
    EXPECT_TRUE(log.Lines().contains("iphlpapi.dll Load NG"));
}

TEST_F(PerfCoreFixture, AnExceptionWhileStartingIsLoggedAndLeavesTheCoreUsable)
{
    system.OsVersionValue = {4, 10, 2222, 1};
    ifTable.Loads = false;
    TPerfCore core(Platform(), log.Writer());
    core.UseIpHelper = true;
    dialogs.whileOpen = [](const RecordingDialogs::Box&) {
        throw std::runtime_error("box failed");
    };
    EXPECT_FALSE(core.StartMonitor());
    const QStringList lines = log.Lines();
    EXPECT_TRUE(lines.contains("[TRAP] ERROR on Perf Monitor Starting."));
    EXPECT_TRUE(lines.contains("{TRAP] \"box failed\""));
    EXPECT_FALSE(core.Busy()); // else every later start, sample and stop would be refused
    dialogs.whileOpen = nullptr;
    EXPECT_TRUE(core.StartMonitor());
    EXPECT_TRUE(core.Started());
}

TEST_F(PerfCoreFixture, StopWhileBusyIsAControlConflict)
{
    struct NestedDyn : FakeDynStats
    {
        std::function<void()> OnOpen;
        bool Open(Key key) override
        {
            if (OnOpen && key == Key::StatData)
                OnOpen();
            return FakeDynStats::Open(key);
        }
    } nested;
    system.OsVersionValue = {4, 0, 950, 1}; // Windows 95
    TPerfCore core({source, system, dialogs, &nested, &resources, nullptr}, log.Writer());
    ASSERT_TRUE(core.StartMonitor());
    bool stop = true, collect = true;
    nested.OnOpen = [&] {
        stop = core.StopMonitor();
        collect = core.CollectSample();
    };
    EXPECT_TRUE(core.CollectSample());
    EXPECT_FALSE(stop);
    EXPECT_FALSE(collect);
    EXPECT_TRUE(log.Lines().contains("Control Conflict..."));
    EXPECT_FALSE(core.Busy());
    EXPECT_TRUE(core.Started());
}

TEST_F(PerfCoreFixture, Windows9xStatisticsGiveDeltasFromTheSecondSample)
{
    system.OsVersionValue = {4, 0, 950, 1};
    TPerfCore core({source, system, dialogs, &dyn, &resources, nullptr}, log.Writer());
    EXPECT_FALSE(core.IsNT());
    EXPECT_FALSE(core.TestCounter("Processor", "% Processor Time"));
    ASSERT_TRUE(core.StartMonitor());
    EXPECT_EQ(dyn.Started.size(), 9);
    dyn.Values = {{"VFAT\\BReadsSec", 1000},
                  {"SMBRedir\\BReadsSec", 10},
                  {"MSNServer\\Writes", 5},
                  {"KERNEL\\CPUUsage", 42}};
    ASSERT_TRUE(core.CollectSample());
    EXPECT_EQ(core.DiskReadBytes, 0u); // previous values are 0 after a start
    EXPECT_TRUE(core.DiskReadActive);
    EXPECT_EQ(core.CpuUsage[0], 42);
    EXPECT_EQ(core.CpuUsage[1], 42);
    EXPECT_EQ(core.FreeResources, 60);
    dyn.Values = {{"VFAT\\BReadsSec", 1500},
                  {"SMBRedir\\BReadsSec", 30},
                  {"MSNServer\\Writes", 8},
                  {"SMBRedir\\XactSec", 1},
                  {"KERNEL\\CPUUsage", 42}};
    core.RateFactor = 2;
    resources.Percent[0] = 5;
    ASSERT_TRUE(core.CollectSample());
    EXPECT_EQ(core.DiskReadBytes, 1000u);
    EXPECT_EQ(core.NetRecvBytes, 46u);
    EXPECT_TRUE(core.NetXactActive);
    EXPECT_TRUE(core.NetActive);
    EXPECT_EQ(core.FreeResources, 60); // polled at most once per 10 seconds
    system.Tick = 10000;
    core.CollectSample();
    EXPECT_EQ(core.FreeResources, 5);
    EXPECT_EQ(core.DiskReadBytes, 0u);
    EXPECT_FALSE(core.DiskReadActive);

    resources.LoadResult = FreeResources::Step::Kernel32;
    system.Tick = 20000;
    EXPECT_TRUE(core.CollectSample());
    EXPECT_TRUE(log.Lines().contains("[TRAP] ERROR on Get Basic Performance Process."));

    dyn.FailOpen = true;
    EXPECT_FALSE(core.CollectSample());
    EXPECT_FALSE(core.StopMonitor());
    EXPECT_TRUE(core.Started());
    dyn.FailOpen = false;
    EXPECT_TRUE(core.StopMonitor());
    EXPECT_FALSE(core.Started());
}

TEST_F(PerfCoreFixture, InterfaceTableTotalsReplaceTheStatisticsAcrossA32BitWrap)
{
    system.OsVersionValue = {4, 90, 3000, 1}; // Windows ME
    TPerfCore core(Platform(), log.Writer());
    core.UseIpHelper = true;
    ASSERT_TRUE(core.StartMonitor());
    EXPECT_TRUE(core.IpHelperLoaded());
    ifTable.In = {0xFFFFFF00u};
    ifTable.Out = {100};
    core.CollectSample();
    EXPECT_EQ(core.NetRecvBytes, 0u);
    ifTable.In = {0x100u}; // wrapped round: 0x200 bytes later
    ifTable.Out = {100};
    core.CollectSample();
    EXPECT_EQ(core.NetRecvBytes, 0x200u);
    EXPECT_TRUE(core.NetRecvActive);
    EXPECT_EQ(core.NetSendBytes, 0u);
    EXPECT_FALSE(core.NetSendActive);
    ifTable.Fail = true; // leaves the statistics' values
    dyn.Values = {{"SMBRedir\\BReadsSec", 0}};
    core.CollectSample();
    EXPECT_EQ(core.NetRecvBytes, 0u);
    EXPECT_TRUE(core.StopMonitor());
    EXPECT_FALSE(core.IpHelperLoaded());
    EXPECT_TRUE(log.Lines().contains("iphlpapi.dll UnLoad ok"));

    ifTable.SizeAnswer = 0;
    core.UseIpHelper = true;
    EXPECT_TRUE(core.StartMonitor());
    EXPECT_TRUE(log.Lines().contains("GetIfTable Size NG"));
    EXPECT_FALSE(core.UseIpHelper);
}

TEST_F(PerfCoreFixture, MemoryIsReadEveryFifthSample)
{
    Script({Machine{0}});
    TPerfCore core(Platform(), log.Writer());
    ASSERT_TRUE(core.StartMonitor());
    for (int i = 0; i < 6; ++i)
        Collect(core);
    EXPECT_EQ(system.MemoryQueries, 2);
    EXPECT_EQ(core.MemoryLoad, 75u);
    EXPECT_EQ(core.SwapLoad, 75u);
    system.Memory = {0, 0, 0, 0, 0}; // a machine that reports nothing: no division by zero
    for (int i = 0; i < 4; ++i)
        Collect(core);
    EXPECT_EQ(core.MemoryLoad, 75u);
    Collect(core);
    EXPECT_EQ(system.MemoryQueries, 3);
    EXPECT_EQ(core.SwapLoad, 0u);
    EXPECT_EQ(core.MemoryLoad, 0u);
}

TEST(PerfHistory, PushClampsShiftsAndResizeKeepsItsLimits)
{
    TPerfHistory history(4);
    history.Push(150);
    history.Push(-5);
    history.Push(30);
    EXPECT_EQ(history.Data, std::vector<std::int32_t>({30, 0, 100, 0}));
    EXPECT_EQ(history.Max, 100);
    EXPECT_EQ(history.Min, 0);
    history.Resize(257);
    history.Resize(0);
    EXPECT_EQ(history.Count(), 4);
    history.Resize(2);
    EXPECT_EQ(history.Data, std::vector<std::int32_t>({30, 0}));
    history.Resize(256);
    EXPECT_EQ(history.Count(), 256);
    EXPECT_EQ(history.Get(1), 0);
    EXPECT_EQ(history.Get(256), 0);
    EXPECT_EQ(history.Get(-1), 0);
    history.Clear();
    EXPECT_EQ(history.Get(0), 0);
    TPerfHistory single(1);
    single.Push(50);
    EXPECT_EQ(single.Get(0), 0);
    EXPECT_EQ(single.Max, 0);
}

TEST_F(PerfCoreFixture, CheckNetCountersKeepsDiskAndNetworkOnAndAsksAboutDotNet)
{
    TPerfCore core(Platform(), log.Writer());
    core.CheckNetCounters(); // no services: nothing asked
    EXPECT_TRUE(dialogs.boxes.empty());

    source.ServiceList = {{".NET CLR Data", true, std::nullopt},
                          {"ASP.NET", true, 1u},
                          {"PerfDisk", true, 1u},
                          {"Tcpip", true, std::nullopt},
                          {".NETFramework", false, std::nullopt}};
    dialogs.answers = {DialogAnswer::No};
    core.CheckNetCounters();
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_EQ(dialogs.boxes[0].buttons, DialogButtons::YesNo);
    EXPECT_TRUE(dialogs.boxes[0].text.contains("\r\n\r\n該当カウンタを停止させますが"));
    using Write = std::pair<QString, std::uint32_t>;
    EXPECT_EQ(source.Writes, std::vector<Write>({{"PerfDisk", 0}, {"Tcpip", 0}}));

    source.Writes.clear();
    core.CheckNetCounters(); // answered Yes
    EXPECT_EQ(
        source.Writes,
        std::vector<Write>({{"PerfDisk", 0}, {"Tcpip", 0}, {".NET CLR Data", 1}, {"ASP.NET", 1}}));
}

TEST_F(PerfCoreFixture, NicListNamesTheInterfacesAndDropsAMissingTarget)
{
    Script({Machine{0}});
    QStringList lines, statuses;
    auto logLine = [&](const QString& line) {
        lines << line;
    };
    auto status = [&](const QString& text) {
        statuses << text;
    };
    TNicListResult found = BuildNicList(source, true, "eth0", logLine, status);
    EXPECT_EQ(found.Names, QStringList({"lo", "eth0"}));
    EXPECT_TRUE(found.MultiNic);
    EXPECT_EQ(found.TargetNic, "eth0");
    EXPECT_EQ(lines,
              QStringList({"..NIC List Initialize", "..NIC List Initialize(3Objects)",
                           "..NIC List Initialize(2Instances)", "..NIC List Initialize(lo Add)",
                           "..NIC List Initialize(eth0 Add)"}));
    EXPECT_EQ(statuses, QStringList({"Connecting to Perf.System", "Get NIC Information..."}));

    TNicListResult missing = BuildNicList(source, true, "wlan0", logLine, status);
    EXPECT_FALSE(missing.MultiNic);
    EXPECT_EQ(missing.TargetNic, "");

    Machine bare{0};
    bare.WithNetwork = false;
    source.Current = Build(bare);
    lines.clear();
    TNicListResult none = BuildNicList(source, false, "", logLine, status);
    EXPECT_TRUE(none.Names.isEmpty());
    EXPECT_EQ(lines.last(), "..<!>NIC not Found");

    // A reader that fails still drops the target and tells that no interface was found.
    struct FailingReader : Source
    {
        long Query(const QString&, std::byte*, std::uint32_t&) override
        {
            throw std::runtime_error("the performance data cannot be read");
        }
    } failing;
    lines.clear();
    TNicListResult failed = BuildNicList(failing, true, "eth0", logLine, status);
    EXPECT_TRUE(failed.Names.isEmpty());
    EXPECT_FALSE(failed.MultiNic);
    EXPECT_EQ(failed.TargetNic, "");
    ASSERT_GE(lines.size(), 3);
    EXPECT_EQ(lines[lines.size() - 2], "[TRAP] NIC List : the performance data cannot be read");
    EXPECT_EQ(lines.last(), "..<!>NIC not Found");
    // Nor does it leave a block behind that nobody holds.
    EXPECT_EQ(TPerfData::References(failing), 0);
}
