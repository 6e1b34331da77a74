// Another machine's figures from a node_exporter reply: the records equal those the local readers
// make of the same machine's /proc files, the sensors carry the local ids, and the counters run
// on across resets and missing devices.
#include "remote/NodeExporterFigures.h"

#include "remote/CounterContinuity.h"
#include "remote/ExpositionText.h"

#include <QFile>
#include <gtest/gtest.h>
#include <tuple>

namespace {

// The laptop of the fixture reply as its own /proc files show it.
constexpr std::string_view LaptopStat =
    "cpu  20320647 40642 3025233 161131677 237165 0 49261 0 0 0\n"
    "cpu0 5231172 10250 771840 40123391 61102 0 21513 0 0 0\n"
    "cpu1 5002230 9803 750166 40377109 58840 0 9750 0 0 0\n"
    "cpu2 4987005 11077 742219 40401160 57033 0 8821 0 0 0\n"
    "cpu3 5100240 9512 761008 40230017 60190 0 9177 0 0 0\n";
constexpr std::string_view LaptopMemInfo = "MemTotal: 16081188 kB\nMemFree: 2865456 kB\n"
                                           "MemAvailable: 9484152 kB\nBuffers: 402692 kB\n"
                                           "Cached: 5000452 kB\nSwapTotal: 8388604 kB\n"
                                           "SwapFree: 7986396 kB\n";
constexpr std::string_view LaptopDiskStats =
    " 259 0 nvme0n1 1204331 0 120569856 0 2203117 0 192603232 0 0 0 0\n"
    " 259 1 nvme0n1p1 312 0 2496 0 2 0 8 0 0 0 0\n"
    "   8 0 sda 8812 0 880640 0 133 0 4328 0 0 0 0\n"
    " 252 0 zram0 41 0 328 0 12050 0 96400 0 0 0 0\n";
constexpr std::string_view LaptopNetDev =
    "Inter-|   Receive                                                |  Transmit\n"
    " face |bytes    packets errs drop fifo frame compressed multicast|bytes    packets errs "
    "drop fifo colls carrier compressed\n"
    "    lo: 99182735 402117 0 0 0 0 0 0 99182735 402117 0 0 0 0 0 0\n"
    "enp3s0: 2183740455 1823004 0 12 0 0 0 5531 311904337 1211345 0 0 0 0 0 0\n"
    "wlp2s0: 8412005 70233 3 0 0 0 0 801 1201776 9101 0 1 0 0 0 0\n";

auto Fields(const CpuTimes& c)
{
    return std::tuple(c.Number, c.User, c.Nice, c.System, c.Idle, c.IoWait, c.Irq, c.SoftIrq,
                      c.Steal);
}
auto Fields(const DiskStats& d)
{
    return std::tuple(std::string(d.Name), d.ReadsCompleted, d.SectorsRead, d.WritesCompleted,
                      d.SectorsWritten);
}
auto Fields(const NetDevStats& n)
{
    return std::tuple(std::string(n.Name), n.RxBytes, n.RxPackets, n.RxErrors, n.RxDrop,
                      n.RxMulticast, n.TxBytes, n.TxPackets, n.TxErrors, n.TxDrop);
}
template <typename Record> auto AllFields(const std::vector<Record>& records)
{
    std::vector<decltype(Fields(records[0]))> all;
    for (const Record& record : records)
        all.push_back(Fields(record));
    return all;
}

NodeExporterFigures FromText(std::string_view text)
{
    ExpositionSamples samples;
    samples.Parse(text);
    return NodeExporterFigures::FromSamples(samples);
}

NodeExporterFigures Laptop()
{
    QFile file(QStringLiteral(PULSMIR_FIXTURE_DIR "/remote/laptop.prom"));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray text = file.readAll();
    return FromText(std::string_view(text.constData(), size_t(text.size())));
}

} // namespace

TEST(NodeExporterFigures, EqualTheLocalReadersRecordsOfTheSameMachine)
{
    const NodeExporterFigures remote = Laptop();

    CpuTimes total;
    std::vector<CpuTimes> cpus;
    ASSERT_TRUE(ParseProcStat(LaptopStat, total, cpus));
    EXPECT_EQ(Fields(remote.Total), Fields(total));
    EXPECT_EQ(AllFields(remote.Cpus), AllFields(cpus));

    MemInfo memory;
    ASSERT_TRUE(ParseMemInfo(LaptopMemInfo, memory));
    ASSERT_TRUE(remote.HasMemory);
    EXPECT_EQ(std::tuple(remote.Memory.MemTotal, remote.Memory.MemFree, remote.Memory.MemAvailable,
                         remote.Memory.Buffers, remote.Memory.Cached, remote.Memory.SwapTotal,
                         remote.Memory.SwapFree, remote.Memory.HasMemAvailable),
              std::tuple(memory.MemTotal, memory.MemFree, memory.MemAvailable, memory.Buffers,
                         memory.Cached, memory.SwapTotal, memory.SwapFree, memory.HasMemAvailable));

    std::vector<DiskStats> disks;
    ParseDiskStats(LaptopDiskStats, disks);
    EXPECT_EQ(AllFields(remote.Disks), AllFields(disks));

    // The local reader lists the loopback among the interfaces and names it apart.
    std::vector<NetDevStats> interfaces;
    ParseNetDev(LaptopNetDev, interfaces);
    std::erase_if(interfaces,
                  [](const NetDevStats& n) { return std::string_view(n.Name) == "lo"; });
    EXPECT_EQ(AllFields(remote.Interfaces), AllFields(interfaces));
    EXPECT_EQ(remote.Loopback, QStringList{QStringLiteral("lo")});
}

TEST(NodeExporterFigures, SensorsBatteryAndSpaceAsTheLocalSensorsGiveThem)
{
    const NodeExporterFigures remote = Laptop();
    std::vector<std::pair<QString, double>> temperatures;
    for (const RemoteTemperature& t : remote.Temperatures)
        temperatures.emplace_back(t.Info.Id, t.Celsius);
    EXPECT_EQ(temperatures,
              (std::vector<std::pair<QString, double>>{{"nvme/Composite", 38.85},
                                                       {"nvme/temp2", 41.85},
                                                       {"coretemp/Package id 0", 57},
                                                       {"coretemp/Core 0", 55},
                                                       {"coretemp/Core 1", 54},
                                                       {"thermal/acpitz", 52},
                                                       {"thermal/x86_pkg_temp", 57}}));
    EXPECT_EQ(remote.Temperatures[2].Info.Label(), "coretemp Package id 0");

    EXPECT_TRUE(remote.Power.OnMains);
    ASSERT_EQ(remote.Power.Batteries.size(), 1u);
    const BatteryCell& battery = remote.Power.Batteries[0];
    EXPECT_EQ(battery.Name, "BAT0");
    EXPECT_TRUE(battery.Charging);
    EXPECT_EQ(battery.Capacity, 81);
    EXPECT_DOUBLE_EQ(*battery.EnergyNow, 39580000);
    EXPECT_DOUBLE_EQ(*battery.EnergyFull, 48860000);

    // Used counts every block not free, reserved ones too, as statvfs gives them locally.
    const DiskSpaceReading home = remote.DiskSpaceAt(QStringLiteral("/home/user"));
    ASSERT_TRUE(home.Space);
    EXPECT_EQ(home.Space->UsedBytes, 502468108288u - 211034431488u);
    EXPECT_EQ(home.Space->AvailableBytes, 185433096192u);
    const auto available = [&](const char* path) {
        return remote.DiskSpaceAt(QString::fromUtf8(path)).Space->AvailableBytes;
    };
    EXPECT_EQ(available("/boot/efi/EFI"), 529170432u);
    EXPECT_EQ(available("/boot/efiX"), 185433096192u);
    EXPECT_EQ(available("/media/usb \"backup\""), 27599028224u);
}

TEST(NodeExporterFigures, CountersRunOnAcrossResetsAndMissingDevices)
{
    CounterContinuity continuity;
    const auto scrape = [&](std::string_view text) {
        NodeExporterFigures figures = FromText(text);
        figures.ContinueCounters(continuity);
        return figures;
    };
    const auto bytes = [](const NodeExporterFigures& f) {
        std::vector<std::pair<std::string, std::uint64_t>> all;
        for (const NetDevStats& n : f.Interfaces)
            all.emplace_back(n.Name, n.RxBytes);
        return all;
    };
    using Bytes = std::vector<std::pair<std::string, std::uint64_t>>;
    const std::string both = "node_network_receive_bytes_total{device=\"eth0\"} %1\n"
                             "node_network_receive_bytes_total{device=\"eth1\"} %2\n";
    const auto reply = [&](int eth0, int eth1) {
        return QString::fromStdString(both).arg(eth0).arg(eth1).toStdString();
    };

    EXPECT_EQ(bytes(scrape(reply(1000, 500))), (Bytes{{"eth0", 1000}, {"eth1", 500}}));
    // The exporter restarted: eth0 counts from 0, so its step is its new value.
    EXPECT_EQ(bytes(scrape(reply(300, 700))), (Bytes{{"eth0", 1300}, {"eth1", 700}}));
    // eth1 is missing: held where it was, so the sum does not dip.
    EXPECT_EQ(bytes(scrape("node_network_receive_bytes_total{device=\"eth0\"} 400\n")),
              (Bytes{{"eth0", 1400}, {"eth1", 700}}));
    // Back: it carries on from where it was held, without a spike for what it did unseen.
    EXPECT_EQ(bytes(scrape(reply(500, 9700))), (Bytes{{"eth0", 1500}, {"eth1", 700}}));
    EXPECT_EQ(bytes(scrape(reply(600, 9800))), (Bytes{{"eth0", 1600}, {"eth1", 800}}));
    // Gone for good: forgotten after a while.
    for (int i = 0; i <= CounterContinuity::HoldScrapes; ++i)
        scrape("node_network_receive_bytes_total{device=\"eth0\"} 600\n");
    EXPECT_EQ(bytes(scrape("node_network_receive_bytes_total{device=\"eth0\"} 600\n")),
              (Bytes{{"eth0", 1600}}));
}
