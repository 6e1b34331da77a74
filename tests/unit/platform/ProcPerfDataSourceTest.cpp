#include "platform/linux/ProcPerfDataSource.h"

#include "core/PerfCore.h"
#include "core/PerfMonitor.h"
#include "core/PerfObjects.h"
#include "doubles/FakeSystem.h"
#include "doubles/RecordingDialogs.h"
#include "platform/linux/ProcIfTable.h"
#include "platform/linux/ProcSystemInfo.h"
#include "platform/linux/SysBlockDisks.h"
#include "support/TempProgramFolder.h"

#include <cstring>
#include <gtest/gtest.h>

using namespace PerfLayout;

namespace {

const QString Fixtures = QStringLiteral(PULSMIR_FIXTURE_DIR "/proc/");

QByteArray Fixture(const QString& name)
{
    QFile file(Fixtures + name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The fixture files copied into a folder where a test can change them between queries.
class ProcCopy
{
public:
    ProcCopy()
    {
        for (const char* name : {"stat", "diskstats", "net_dev", "meminfo"})
            m_folder.Write(name, Fixture(name));
    }
    QString File(const QString& name) const { return m_folder.File(name); }
    void Write(const QString& name, const QByteArray& bytes) const { m_folder.Write(name, bytes); }
    void Replace(const QString& name, const QByteArray& from, const QByteArray& to) const
    {
        QByteArray bytes = m_folder.Read(name);
        ASSERT_TRUE(bytes.contains(from)) << from.constData();
        m_folder.Write(name, bytes.replace(from, to));
    }
    ProcPerfDataSource Source() const
    {
        return ProcPerfDataSource(File("stat"), File("diskstats"), File("net_dev"), QString());
    }

private:
    TempProgramFolder m_folder;
};

std::vector<std::byte> QueryBlock(PerfDataSource& source, std::uint32_t capacity = 65536)
{
    std::vector<std::byte> buffer(capacity);
    std::uint32_t size = capacity;
    EXPECT_EQ(source.Query("Global", buffer.data(), size), ErrorSuccess);
    buffer.resize(size);
    return buffer;
}

// A monitor item of the disks' read bytes, collected once.
TPerfMonitorItem& CollectDiskReads(TPerfMonitor& monitor)
{
    TPerfMonitorItem& item = monitor.Add();
    item.SetObjectName("PhysicalDisk");
    item.SetCounterName("Disk Read Bytes/sec");
    monitor.Collect();
    return item;
}

class ProcLayer : public ::testing::Test
{
protected:
    void SetUp() override { TPerfInfo::ResetLocales(); }
    ProcCopy proc;
};

} // namespace

TEST_F(ProcLayer, BlockHasTheDocumentedHeaderAndAlignedParts)
{
    ProcPerfDataSource source = proc.Source();
    const std::vector<std::byte> bytes = QueryBlock(source);
    const PerfBlockView block{bytes.data(), static_cast<std::uint32_t>(bytes.size())};
    const PerfDataBlock* header = block.Header();
    ASSERT_NE(header, nullptr);
    EXPECT_EQ(header->LittleEndian, 1u);
    EXPECT_EQ(header->Version, 1u);
    EXPECT_EQ(header->TotalByteLength, bytes.size());
    EXPECT_EQ(header->HeaderLength % 8, 0u);
    EXPECT_GE(header->HeaderLength, 88u);
    EXPECT_EQ(header->PerfFreq, 10000000);
    EXPECT_GE(header->SystemTime.wYear, 2024);
    ASSERT_EQ(header->NumObjectTypes, 3u);

    std::vector<std::uint32_t> indexes;
    int instances = 0;
    for (const PerfObjectType* object = block.FirstObject(); object;
         object = block.NextObject(object)) {
        indexes.push_back(object->ObjectNameTitleIndex);
        EXPECT_EQ((reinterpret_cast<const std::byte*>(object) - bytes.data()) % 8, 0);
        EXPECT_EQ(object->TotalByteLength % 8, 0u);
        auto* instance = block.FirstInstance(object);
        for (int i = 0; i < object->NumInstances; ++i, ++instances) {
            ASSERT_NE(instance, nullptr);
            EXPECT_EQ((reinterpret_cast<const std::byte*>(instance) - bytes.data()) % 8, 0);
            const PerfCounterBlock* data = block.InstanceCounterBlock(instance);
            ASSERT_NE(data, nullptr);
            EXPECT_EQ((reinterpret_cast<const std::byte*>(data) - bytes.data()) % 8, 0);
            EXPECT_EQ(data->ByteLength % 8, 0u);
            instance = block.NextInstance(instance);
        }
        if (indexes.size() == 3) {
            EXPECT_EQ(block.NextObject(object), nullptr);
        }
    }
    EXPECT_EQ(indexes, std::vector<std::uint32_t>({238, 234, 510}));
    EXPECT_EQ(instances, 3 + 4 + 3);
}

TEST_F(ProcLayer, ProcessorDisksAndInterfacesCarryTheProcFigures)
{
    ProcPerfDataSource source = proc.Source();
    TPerfFilter filter(source);
    auto add = [&](const char* object, const char* counter) -> TPerfCounterItem& {
        TPerfCounterItem& item = filter.Add();
        item.SetObjectName(object);
        item.SetCounterName(counter);
        return item;
    };
    TPerfCounterItem& idle = add("Processor", "% Processor Time");
    TPerfCounterItem& user = add("Processor", "% User Time");
    TPerfCounterItem& read = add("PhysicalDisk", "Disk Read Bytes/sec");
    TPerfCounterItem& reads = add("PhysicalDisk", "Disk Reads/sec");
    TPerfCounterItem& received = add("Network Interface", "Bytes Received/sec");
    TPerfCounterItem& total = add("Network Interface", "Bytes Total/sec");
    filter.Refresh();

    EXPECT_EQ(idle.CounterType(), Counter100NsTimerInv);
    ASSERT_EQ(idle.InstanceCount(), 3);
    EXPECT_EQ(idle.InstanceName(0), "0");
    EXPECT_EQ(idle.InstanceName(2), "_Total");
    // Idle plus I/O wait, USER_HZ ticks in 100-ns units.
    const std::int64_t tick = 10000000 / sysconf(_SC_CLK_TCK);
    EXPECT_EQ(idle.InstanceRawValue(0), (40000 + 500) * tick);
    EXPECT_EQ(idle.InstanceRawValue(2), (80000 + 1000) * tick / 2);
    EXPECT_EQ(user.InstanceRawValue(1), (5000 + 250) * tick);

    EXPECT_EQ(read.CounterType(), CounterBulkCount);
    ASSERT_EQ(read.InstanceCount(), 4);
    EXPECT_EQ(read.InstanceName(0), "0 sda");
    EXPECT_EQ(read.InstanceName(1), "1 nvme0n1");
    EXPECT_EQ(read.InstanceName(2), "2 mmcblk0");
    EXPECT_EQ(read.InstanceRawValue(0), 20000 * 512);
    EXPECT_EQ(read.InstanceRawValue(3), (20000 + 6000 + 80) * 512);
    EXPECT_EQ(reads.InstanceRawValue(1), 300);

    ASSERT_EQ(received.InstanceCount(), 3);
    EXPECT_EQ(received.InstanceName(0), "lo");
    EXPECT_EQ(received.InstanceRawValue(1), 68834953);
    // Past 4 GiB the 64-bit counter keeps every byte.
    EXPECT_EQ(received.InstanceRawValue(2), 5000000000LL);
    EXPECT_EQ(total.InstanceRawValue(2), 11000000000LL);
}

TEST_F(ProcLayer, SmallBufferAsksForMoreAndTheTitleTablesAreServed)
{
    ProcPerfDataSource source = proc.Source();
    std::vector<std::byte> small(256);
    std::uint32_t size = 256;
    EXPECT_EQ(source.Query("Global", small.data(), size), ErrorMoreData);
    EXPECT_EQ(size, 256u);
    EXPECT_EQ(QueryBlock(source, 4096).size() % 8, 0u);

    EXPECT_EQ(source.PerflibLocales(), QStringList({"009"}));
    const QByteArray counters = *source.TitleTable("009", "Counter");
    EXPECT_TRUE(counters.contains(QByteArray("238\0Processor\0", 14)));
    EXPECT_TRUE(counters.endsWith(QByteArray("\0\0", 2)));
    EXPECT_TRUE(source.TitleTable("009", "Help")->contains(QByteArray("239\0", 4)));
    EXPECT_FALSE(source.TitleTable("011", "Counter"));
    EXPECT_TRUE(source.Services().empty());

    // Only the objects asked for by index.
    std::vector<std::byte> buffer(65536);
    size = 65536;
    ASSERT_EQ(source.Query("510", buffer.data(), size), ErrorSuccess);
    EXPECT_EQ(PerfBlockView({buffer.data(), size}).ObjectCount(), 1u);
}

TEST_F(ProcLayer, UnreadableFileLeavesItsObjectOut)
{
    ProcPerfDataSource source(proc.File("missing"), proc.File("diskstats"), proc.File("net_dev"));
    TPerfObjects objects(source);
    EXPECT_EQ(objects.Count(), 2);
    EXPECT_EQ(objects.Names(0), "PhysicalDisk");
}

TEST_F(ProcLayer, DisksThatAppearAndDisappearGainAndLoseTheirRecords)
{
    ProcPerfDataSource source = proc.Source();
    TPerfMonitor monitor(source);
    TPerfMonitorItem& item = CollectDiskReads(monitor);
    ASSERT_EQ(item.ValueCount(), 4);

    proc.Replace("diskstats", " 259       0 nvme0n1 300 0 6000", " 259       0 nvme9n9 300 0 6000");
    proc.Replace("diskstats", "   8       0 sda 1000 10 20000", "   8      16 sdb 1 0 2");
    monitor.Collect();
    // Records that stayed keep their place; new ones come after them.
    ASSERT_EQ(item.ValueCount(), 4);
    EXPECT_EQ(item.Values(0).InstanceName, "2 mmcblk0");
    EXPECT_TRUE(item.Values(0).HasPrevious);
    EXPECT_EQ(item.Values(2).InstanceName, "0 sdb");
    EXPECT_FALSE(item.Values(2).HasPrevious);
    EXPECT_EQ(item.Values(3).InstanceName, "1 nvme9n9");

    proc.Write("diskstats", "");
    monitor.Collect();
    ASSERT_EQ(item.ValueCount(), 1);
    EXPECT_EQ(item.Values(0).InstanceName, "_Total");
}

TEST_F(ProcLayer, CounterThatWrapsGivesNoRateForThatSampleOnly)
{
    ProcPerfDataSource source = proc.Source();
    FakeSystemInfo system;
    RecordingDialogs dialogs;
    TPerfCore core({source, system, dialogs}, TaggedLog());
    ASSERT_TRUE(core.StartMonitor());
    core.CollectSample();
    // sda's sector count wraps round, as a 32-bit kernel's does.
    proc.Replace("diskstats", "sda 1000 10 20000", "sda 1000 10 50");
    core.CollectSample();
    EXPECT_EQ(core.DiskReadBytes, 0u);
    proc.Replace("diskstats", "sda 1000 10 50", "sda 1000 10 250");
    core.CollectSample();
    EXPECT_EQ(core.DiskReadBytes, 200u * 512);
    EXPECT_TRUE(core.DiskReadActive);
}

TEST(ProcPerfDataSource, LoopbackInterfacesAreToldByTheirLinkType)
{
    TempProgramFolder net;
    net.Write("lo/type", "772\n");
    net.Write("eth0/type", "1\n");
    net.Write("loop2/type", "772\n"); // a loopback by kind, whatever its name
    net.Write("wg0/type", "65534\n");
    net.Write("broken/flags", "0x9\n");
    ProcPerfDataSource source(QString(), QString(), QString(), QString(), net.Path());
    QStringList names = source.LoopbackInterfaces();
    names.sort();
    EXPECT_EQ(names, QStringList({"lo", "loop2"}));
    EXPECT_TRUE(ProcPerfDataSource().LoopbackInterfaces().contains("lo"));
}

TEST(ProcStats, WholeDisksAreToldFromPartitionsAndVirtualDevices)
{
    for (const char* whole : {"sda", "vdb", "nvme0n1", "mmcblk0", "xvda", "hdc", "nvme12n3"})
        EXPECT_TRUE(IsWholeDisk(whole)) << whole;
    for (const char* not_whole : {"sda1", "vdb12", "nvme0n1p2", "mmcblk0p1", "xvda3", "loop0",
                                  "ram1", "zram0", "dm-0", "md127", "sr0"})
        EXPECT_FALSE(IsWholeDisk(not_whole)) << not_whole;
}

TEST(ProcStats, DamagedLinesAreSkipped)
{
    std::vector<NetDevStats> nics;
    ParseNetDev("  eth0: 1 2 3\n  eth1: 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16\nnonsense\n", nics);
    ASSERT_EQ(nics.size(), 1u);
    EXPECT_STREQ(nics[0].Name, "eth1");
    EXPECT_EQ(nics[0].TxBytes, 9u);
    std::vector<DiskStats> disks;
    ParseDiskStats("8 0 sda x y z\n8 0\n", disks);
    EXPECT_TRUE(disks.empty());
    CpuTimes total;
    std::vector<CpuTimes> cpus;
    EXPECT_FALSE(ParseProcStat("cpuX 1 2 3 4\ncpu0 1 2\n", total, cpus));
    EXPECT_TRUE(cpus.empty());
}

TEST(ProcStats, ProcFilesStayOpenAndReadFreshWhileOtherFilesAreOpenedAnew)
{
    // /proc/uptime changes every hundredth of a second.
    ProcFile uptime(QStringLiteral("/proc/uptime"));
    ASSERT_TRUE(uptime.Read());
    EXPECT_TRUE(uptime.KeptOpen());
    const std::string first(uptime.Text());
    std::string later;
    for (int i = 0; i < 50 && (later.empty() || later == first); ++i) {
        usleep(20000);
        ASSERT_TRUE(uptime.Read());
        later = uptime.Text();
    }
    EXPECT_NE(later, first);
    EXPECT_EQ(later.back(), '\n');

    // A fixture replaced between reads is read in its new form, and one larger than the
    // buffer comes whole.
    TempProgramFolder folder;
    folder.Write("file", "old");
    ProcFile file(folder.File("file"));
    ASSERT_TRUE(file.Read());
    EXPECT_FALSE(file.KeptOpen());
    EXPECT_EQ(file.Text(), "old");
    ASSERT_TRUE(QFile::remove(folder.File("file")));
    const QByteArray large(100000, 'x');
    folder.Write("file", large);
    ASSERT_TRUE(file.Read());
    EXPECT_EQ(file.Text().size(), size_t(large.size()));
    ASSERT_TRUE(QFile::remove(folder.File("file")));
    EXPECT_FALSE(file.Read());
}

TEST(SysBlockDisks, WholeDisksInDeviceOrderFollowedAsTheyComeAndGo)
{
    TempProgramFolder sys;
    auto addDisk = [&](const QString& name, const QByteArray& dev, const QByteArray& stat) {
        sys.Write(name + "/dev", dev + "\n");
        sys.Write(name + "/stat", stat);
    };
    addDisk("vda", "254:0",
            "     100        5     2000      40      30      2      600     9  0 1 2\n");
    addDisk("sda", "8:0", "1 0 8 0 2 0 16 0 0 0 0 0 0 0 0 0 0\n");
    addDisk("sda1", "8:1", "1 0 8 0 2 0 16 0 0 0 0\n");
    addDisk("loop0", "7:0", "1 0 8 0 2 0 16 0 0 0 0\n");
    addDisk("sdb", "8:16", "damaged\n");
    SysBlockDisks disks(sys.File(""));
    std::vector<DiskStats> read;
    ASSERT_TRUE(disks.Read(read));
    ASSERT_EQ(read.size(), 2u);
    EXPECT_STREQ(read[0].Name, "sda");
    EXPECT_STREQ(read[1].Name, "vda");
    EXPECT_EQ(read[1].ReadsCompleted, 100u);
    EXPECT_EQ(read[1].SectorsRead, 2000u);
    EXPECT_EQ(read[1].WritesCompleted, 30u);
    EXPECT_EQ(read[1].SectorsWritten, 600u);

    // A disk that goes is dropped at once; one that comes is found within RescanEvery reads.
    ASSERT_TRUE(QDir(sys.File("sda")).removeRecursively());
    ASSERT_TRUE(disks.Read(read));
    ASSERT_EQ(read.size(), 1u);
    addDisk("nvme0n1", "259:0", "7 0 70 0 0 0 0 0\n");
    for (int i = 0; i <= SysBlockDisks::RescanEvery; ++i)
        ASSERT_TRUE(disks.Read(read));
    ASSERT_EQ(read.size(), 2u);
    EXPECT_STREQ(read[1].Name, "nvme0n1");

    // Without the folder the data source falls back to /proc/diskstats.
    SysBlockDisks none(sys.File("missing"));
    EXPECT_FALSE(none.Read(read));
    ProcCopy proc;
    ProcPerfDataSource source(proc.File("stat"), proc.File("diskstats"), proc.File("net_dev"),
                              sys.File("missing"));
    TPerfMonitor monitor(source);
    EXPECT_EQ(CollectDiskReads(monitor).ValueCount(), 4);
    ProcPerfDataSource fromSys(proc.File("stat"), proc.File("diskstats"), proc.File("net_dev"),
                               sys.File(""));
    TPerfMonitor sysMonitor(fromSys);
    TPerfMonitorItem& sysItem = CollectDiskReads(sysMonitor);
    ASSERT_EQ(sysItem.ValueCount(), 3);
    EXPECT_EQ(sysItem.Values(0).InstanceName, "0 vda");
    EXPECT_EQ(sysItem.Values(1).InstanceName, "1 nvme0n1");
}

TEST_F(ProcLayer, SystemInfoAnswersFromStatAndMeminfo)
{
    ProcSystemInfo info(proc.File("stat"), proc.File("meminfo"));
    EXPECT_EQ(info.Version().PlatformId, 2u);
    EXPECT_EQ(info.Version().MajorVersion, 5u);
    EXPECT_EQ(info.NumberOfProcessors(), 2u);
    const MemoryStatus memory = info.GlobalMemoryStatus();
    EXPECT_EQ(memory.TotalPhys, 8000000ull * 1024);
    EXPECT_EQ(memory.AvailPhys, 2000000ull * 1024);
    EXPECT_EQ(memory.TotalPageFile, 4000000ull * 1024);
    EXPECT_EQ(memory.AvailPageFile, 3000000ull * 1024);
    EXPECT_EQ(memory.MemoryLoad, 75u);

    unsigned char basic[44] = {};
    ASSERT_EQ(info.NtQuerySystemInformation(SystemInfo::BasicInformation, basic, 44),
              SystemInfo::StatusSuccess);
    EXPECT_EQ(basic[40], 2);
    unsigned char performance[312] = {};
    ASSERT_EQ(info.NtQuerySystemInformation(SystemInfo::PerformanceInformation, performance, 312),
              SystemInfo::StatusSuccess);
    std::int64_t idle = 0;
    std::memcpy(&idle, performance, 8);
    EXPECT_EQ(idle, (80000 + 1000) * (10000000 / sysconf(_SC_CLK_TCK)));
    EXPECT_EQ(info.NtQuerySystemInformation(SystemInfo::TimeOfDayInformation, performance, 16),
              SystemInfo::StatusInfoLengthMismatch);

    // Without MemAvailable the free, buffer and cache figures stand in.
    proc.Write("meminfo", "MemTotal: 1000 kB\nMemFree: 100 kB\nBuffers: 50 kB\nCached: 100 kB\n");
    EXPECT_EQ(info.GlobalMemoryStatus().AvailPhys, 250u * 1024);
    EXPECT_EQ(info.GlobalMemoryStatus().TotalPageFile, 0u);
}

TEST_F(ProcLayer, InterfaceTableCutsCountersToItsFields)
{
    ProcIfTable table(proc.File("net_dev"));
    std::uint32_t size = 0;
    EXPECT_EQ(table.GetIfTable(nullptr, size, true), IfLayout::ErrorInvalidParameter);
    ASSERT_TRUE(table.Load());
    EXPECT_EQ(table.GetIfTable(nullptr, size, true), IfLayout::ErrorInsufficientBuffer);
    EXPECT_EQ(size, IfLayout::TableSize(3));
    std::vector<std::byte> buffer(size);
    auto* rows = reinterpret_cast<IfLayout::MibIfTable*>(buffer.data());
    ASSERT_EQ(table.GetIfTable(rows, size, true), IfLayout::NoError);
    ASSERT_EQ(rows->dwNumEntries, 3u);
    EXPECT_EQ(rows->table[1].dwInOctets, 68834953u);
    EXPECT_EQ(rows->table[1].dwInNUcastPkts, 5u);
    EXPECT_EQ(rows->table[1].dwOutErrors, 3u);
    EXPECT_EQ(rows->table[2].dwInOctets, static_cast<std::uint32_t>(5000000000ull));
    EXPECT_EQ(rows->table[0].wszName[0], u'l');
}
