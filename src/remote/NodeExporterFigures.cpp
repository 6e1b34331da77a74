#include "remote/NodeExporterFigures.h"

#include "remote/CounterContinuity.h"
#include "remote/ExpositionText.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <map>

namespace {

// More devices of one kind than any machine has; a reply naming more is not believed further,
// and lookups stay cheap.
constexpr std::size_t MaxDevices = 512;
constexpr std::size_t MaxCpus = 1024;
// ARPHRD_LOOPBACK in <linux/if_arp.h>, as node_network_protocol_type gives it.
constexpr double LoopbackLinkType = 772;

void CopyName(char (&target)[32], std::string_view name)
{
    const std::size_t n = std::min(name.size(), sizeof(target) - 1);
    std::memcpy(target, name.data(), n);
    target[n] = '\0';
}

// A counter's value in the local reader's units, when it is one at all.
std::optional<std::uint64_t> Count(double value, double scale = 1)
{
    const double scaled = std::round(value * scale);
    if (!(scaled >= 0 && scaled < 1.8e19))
        return std::nullopt;
    return static_cast<std::uint64_t>(scaled);
}

bool StartsWith(std::string_view text, std::string_view prefix)
{
    return text.substr(0, prefix.size()) == prefix;
}

template <typename Field> struct Named
{
    std::string_view Name;
    Field Member;
};

constexpr Named<std::uint64_t CpuTimes::*> CpuModes[] = {
    {"user", &CpuTimes::User},       {"nice", &CpuTimes::Nice},     {"system", &CpuTimes::System},
    {"idle", &CpuTimes::Idle},       {"iowait", &CpuTimes::IoWait}, {"irq", &CpuTimes::Irq},
    {"softirq", &CpuTimes::SoftIrq}, {"steal", &CpuTimes::Steal}};

constexpr Named<std::uint64_t DiskStats::*> DiskCounters[] = {
    {"reads_completed_total", &DiskStats::ReadsCompleted},
    {"read_bytes_total", &DiskStats::SectorsRead},
    {"writes_completed_total", &DiskStats::WritesCompleted},
    {"written_bytes_total", &DiskStats::SectorsWritten}};

constexpr Named<std::uint64_t NetDevStats::*> NetCounters[] = {
    {"receive_bytes_total", &NetDevStats::RxBytes},
    {"receive_packets_total", &NetDevStats::RxPackets},
    {"receive_errs_total", &NetDevStats::RxErrors},
    {"receive_drop_total", &NetDevStats::RxDrop},
    {"receive_multicast_total", &NetDevStats::RxMulticast},
    {"transmit_bytes_total", &NetDevStats::TxBytes},
    {"transmit_packets_total", &NetDevStats::TxPackets},
    {"transmit_errs_total", &NetDevStats::TxErrors},
    {"transmit_drop_total", &NetDevStats::TxDrop}};

constexpr Named<std::uint64_t MemInfo::*> MemoryFields[] = {
    {"MemTotal", &MemInfo::MemTotal},
    {"MemFree", &MemInfo::MemFree},
    {"MemAvailable", &MemInfo::MemAvailable},
    {"Buffers", &MemInfo::Buffers},
    {"Cached", &MemInfo::Cached},
    {"SwapTotal", &MemInfo::SwapTotal},
    {"SwapFree", &MemInfo::SwapFree}};

template <typename Field, std::size_t N>
const Field* Find(const Named<Field> (&table)[N], std::string_view name)
{
    for (const Named<Field>& entry : table)
        if (entry.Name == name)
            return &entry.Member;
    return nullptr;
}

// The record of a device by its name: the last one looked up first, since a reply lists a
// metric's devices together and the next metric's in the same order.
template <typename Record, typename Key>
Record* Lookup(std::vector<Record>& records, std::size_t& last, Key key,
               bool (*matches)(const Record&, Key), void (*make)(Record&, Key), std::size_t max)
{
    for (std::size_t n = 0; n < records.size(); ++n) {
        const std::size_t i = (last + n) % records.size();
        if (matches(records[i], key))
            return &records[last = i];
    }
    if (records.size() >= max)
        return nullptr;
    make(records.emplace_back(), key);
    last = records.size() - 1;
    return &records.back();
}

template <typename Record>
Record* ByName(std::vector<Record>& records, std::size_t& last, std::string_view name)
{
    return Lookup<Record, std::string_view>(
        records, last, name,
        [](const Record& r, std::string_view n) {
            return std::string_view(r.Name) == n.substr(0, 31);
        },
        [](Record& r, std::string_view n) { CopyName(r.Name, n); }, MaxDevices);
}

// A hardware-monitor input as node_hwmon_* names it: the chip by its device path, the input by
// its file name ("temp1").
struct HwmonInput
{
    std::string_view Chip, Sensor;
    double Celsius = 0;
};

int InputNumber(std::string_view sensor)
{
    int number = 0;
    const std::size_t digits = sensor.find_first_of("0123456789");
    if (digits != std::string_view::npos)
        std::from_chars(sensor.data() + digits, sensor.data() + sensor.size(), number);
    return number;
}

// "#2" and on for a second chip or zone of the same name, as the local sensors number them.
QString Numbered(std::map<QString, int>& seen, const QString& name)
{
    const int n = ++seen[name];
    return n == 1 ? name : name + u'#' + QString::number(n);
}

QString FromUtf8(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

struct Supply
{
    std::string_view Name, Type, Status, Scope;
    std::optional<double> Online, Present, Capacity, EnergyNow, EnergyFull, ChargeNow, ChargeFull,
        VoltageMinDesign;
};

// Collects what the reply says of each kind, then puts it in the local records.
class Collector
{
public:
    explicit Collector(const ExpositionSamples& samples) : m_samples(samples) {}

    void Take(const ExpositionSample& sample);
    NodeExporterFigures Finish();

private:
    void TakeHwmon(std::string_view metric, const ExpositionSample& sample);
    void TakeSupply(std::string_view metric, const ExpositionSample& sample);
    void TakeFileSystem(std::string_view metric, const ExpositionSample& sample);
    std::string_view Label(const ExpositionSample& sample, std::string_view name) const
    {
        return m_samples.Label(sample, name);
    }

    const ExpositionSamples& m_samples;
    NodeExporterFigures m_figures;
    std::size_t m_lastCpu = 0, m_lastDisk = 0, m_lastNic = 0;
    std::vector<std::string_view> m_loopback;
    std::vector<HwmonInput> m_hwmon;
    std::vector<std::pair<std::string_view, std::string_view>> m_chipNames;
    struct SensorLabel
    {
        std::string_view Chip, Sensor, Label;
    };
    std::vector<SensorLabel> m_labels;
    std::vector<std::pair<int, std::pair<std::string_view, double>>> m_zones;
    std::vector<Supply> m_supplies;
    struct Mount
    {
        std::string_view Path;
        std::optional<double> Size, Free, Avail;
    };
    std::vector<Mount> m_mounts;
};

void Collector::Take(const ExpositionSample& sample)
{
    std::string_view metric = m_samples.Name(sample);
    if (!StartsWith(metric, "node_"))
        return;
    metric.remove_prefix(5);
    const double value = sample.Value;
    if (metric == "cpu_seconds_total") {
        const std::string_view cpu = Label(sample, "cpu");
        int number = -1;
        const auto [end, error] = std::from_chars(cpu.data(), cpu.data() + cpu.size(), number);
        const auto mode = Find(CpuModes, Label(sample, "mode"));
        const auto ticks = Count(value, NodeExporterFigures::TicksPerSecond);
        if (error != std::errc() || end != cpu.data() + cpu.size() || number < 0 || !mode || !ticks)
            return;
        CpuTimes* times = Lookup<CpuTimes, int>(
            m_figures.Cpus, m_lastCpu, number,
            [](const CpuTimes& c, int n) { return c.Number == n; },
            [](CpuTimes& c, int n) { c.Number = n; }, MaxCpus);
        if (times)
            times->** mode = *ticks;
    } else if (StartsWith(metric, "memory_")) {
        metric.remove_prefix(7);
        if (!metric.ends_with("_bytes"))
            return;
        const auto field = Find(MemoryFields, metric.substr(0, metric.size() - 6));
        const auto bytes = Count(value);
        if (!field || !bytes)
            return;
        m_figures.Memory.** field = *bytes / 1024;
        m_figures.HasMemory |= *field == &MemInfo::MemTotal;
        m_figures.Memory.HasMemAvailable |= *field == &MemInfo::MemAvailable;
    } else if (StartsWith(metric, "disk_")) {
        const auto field = Find(DiskCounters, metric.substr(5));
        const auto count = Count(value);
        const std::string_view device = Label(sample, "device");
        if (!field || !count || device.empty())
            return;
        if (DiskStats* disk = ByName(m_figures.Disks, m_lastDisk, device))
            // Bytes are the kernel's 512-byte sectors times 512.
            disk->** field =
                *field == &DiskStats::SectorsRead || *field == &DiskStats::SectorsWritten
                    ? *count / 512
                    : *count;
    } else if (StartsWith(metric, "network_")) {
        metric.remove_prefix(8);
        const std::string_view device = Label(sample, "device");
        if (device.empty())
            return;
        if (metric == "protocol_type") {
            if (value == LoopbackLinkType && m_loopback.size() < MaxDevices)
                m_loopback.push_back(device);
            return;
        }
        const auto field = Find(NetCounters, metric);
        const auto count = Count(value);
        if (!field || !count)
            return;
        if (NetDevStats* nic = ByName(m_figures.Interfaces, m_lastNic, device))
            nic->** field = *count;
    } else if (StartsWith(metric, "hwmon_")) {
        TakeHwmon(metric.substr(6), sample);
    } else if (metric == "thermal_zone_temp") {
        const std::string_view type = Label(sample, "type");
        if (!type.empty() && std::isfinite(value) && m_zones.size() < MaxDevices)
            m_zones.push_back({InputNumber(Label(sample, "zone")), {type, value}});
    } else if (StartsWith(metric, "power_supply_")) {
        TakeSupply(metric.substr(13), sample);
    } else if (StartsWith(metric, "filesystem_")) {
        TakeFileSystem(metric.substr(11), sample);
    }
}

void Collector::TakeHwmon(std::string_view metric, const ExpositionSample& sample)
{
    const std::string_view chip = Label(sample, "chip");
    if (chip.empty())
        return;
    if (metric == "temp_celsius") {
        const std::string_view sensor = Label(sample, "sensor");
        if (!sensor.empty() && std::isfinite(sample.Value) && m_hwmon.size() < MaxDevices)
            m_hwmon.push_back({chip, sensor, sample.Value});
    } else if (metric == "chip_names") {
        const std::string_view name = Label(sample, "chip_name");
        if (!name.empty() && m_chipNames.size() < MaxDevices)
            m_chipNames.emplace_back(chip, name);
    } else if (metric == "sensor_label") {
        const std::string_view label = Label(sample, "label");
        if (!label.empty() && m_labels.size() < MaxDevices)
            m_labels.push_back({chip, Label(sample, "sensor"), label});
    }
}

void Collector::TakeSupply(std::string_view metric, const ExpositionSample& sample)
{
    const std::string_view name = Label(sample, "power_supply");
    if (name.empty())
        return;
    auto supply = std::find_if(m_supplies.begin(), m_supplies.end(),
                               [&](const Supply& s) { return s.Name == name; });
    if (supply == m_supplies.end()) {
        if (m_supplies.size() >= 64)
            return;
        supply = m_supplies.insert(m_supplies.end(), Supply());
        supply->Name = name;
    }
    const std::pair<std::string_view, std::optional<double> Supply::*> values[] = {
        {"online", &Supply::Online},          {"present", &Supply::Present},
        {"capacity", &Supply::Capacity},      {"energy_watthour", &Supply::EnergyNow},
        {"energy_full", &Supply::EnergyFull}, {"charge_ampere", &Supply::ChargeNow},
        {"charge_full", &Supply::ChargeFull}, {"voltage_min_design", &Supply::VoltageMinDesign}};
    if (metric == "info") {
        supply->Type = Label(sample, "type");
        supply->Status = Label(sample, "status");
        supply->Scope = Label(sample, "scope");
        return;
    }
    for (const auto& [text, field] : values)
        if (metric == text && std::isfinite(sample.Value))
            (*supply).*field = sample.Value;
}

void Collector::TakeFileSystem(std::string_view metric, const ExpositionSample& sample)
{
    const std::pair<std::string_view, std::optional<double> Mount::*> values[] = {
        {"size_bytes", &Mount::Size}, {"free_bytes", &Mount::Free}, {"avail_bytes", &Mount::Avail}};
    const std::string_view path = Label(sample, "mountpoint");
    for (const auto& [text, field] : values) {
        if (metric != text || path.empty() || !(sample.Value >= 0))
            continue;
        auto mount = std::find_if(m_mounts.begin(), m_mounts.end(),
                                  [&](const Mount& m) { return m.Path == path; });
        if (mount == m_mounts.end()) {
            if (m_mounts.size() >= MaxDevices)
                return;
            mount = m_mounts.insert(m_mounts.end(), Mount{path, {}, {}, {}});
        }
        if (!((*mount).*field)) // the first of a mount point's file systems is the one seen there
            (*mount).*field = sample.Value;
    }
}

void AddUp(CpuTimes& total, const CpuTimes& cpu)
{
    for (const auto& mode : CpuModes)
        total.*mode.Member += cpu.*mode.Member;
}

NodeExporterFigures Collector::Finish()
{
    NodeExporterFigures& f = m_figures;
    std::sort(f.Cpus.begin(), f.Cpus.end(),
              [](const CpuTimes& a, const CpuTimes& b) { return a.Number < b.Number; });
    for (const CpuTimes& cpu : f.Cpus)
        AddUp(f.Total, cpu);
    std::erase_if(f.Disks, [](const DiskStats& disk) { return !IsWholeDisk(disk.Name); });
    std::erase_if(f.Interfaces, [&](const NetDevStats& nic) {
        const std::string_view name = nic.Name;
        const bool loopback = name == "lo" || std::find(m_loopback.begin(), m_loopback.end(),
                                                        name) != m_loopback.end();
        if (loopback)
            f.Loopback << FromUtf8(name);
        return loopback;
    });

    // The chips in the order the reply gives them, each input by its number, under the id the
    // local sensors give it: the chip's driver name and the input's label.
    std::vector<std::string_view> chips;
    for (const HwmonInput& input : m_hwmon)
        if (std::find(chips.begin(), chips.end(), input.Chip) == chips.end())
            chips.push_back(input.Chip);
    const auto chipOrder = [&](std::string_view chip) {
        return std::find(chips.begin(), chips.end(), chip) - chips.begin();
    };
    std::stable_sort(m_hwmon.begin(), m_hwmon.end(), [&](const HwmonInput& a, const HwmonInput& b) {
        const auto chipA = chipOrder(a.Chip), chipB = chipOrder(b.Chip);
        return chipA != chipB ? chipA < chipB : InputNumber(a.Sensor) < InputNumber(b.Sensor);
    });
    std::map<QString, int> seen;
    QString chipName, chipId;
    for (std::size_t i = 0; i < m_hwmon.size(); ++i) {
        const HwmonInput& input = m_hwmon[i];
        if (i == 0 || input.Chip != m_hwmon[i - 1].Chip) {
            std::string_view name = input.Chip;
            for (const auto& [chip, driver] : m_chipNames)
                if (chip == input.Chip)
                    name = driver;
            chipName = FromUtf8(name);
            chipId = Numbered(seen, chipName);
        }
        QString label = FromUtf8(input.Sensor);
        for (const SensorLabel& named : m_labels)
            if (named.Chip == input.Chip && named.Sensor == input.Sensor)
                label = FromUtf8(named.Label);
        f.Temperatures.push_back({{chipId + u'/' + label, chipName, label, false}, input.Celsius});
    }
    std::stable_sort(m_zones.begin(), m_zones.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    std::map<QString, int> zones;
    for (const auto& [number, zone] : m_zones) {
        const QString type = FromUtf8(zone.first);
        f.Temperatures.push_back({{QStringLiteral("thermal/") + Numbered(zones, type),
                                   QStringLiteral("thermal"), type, true},
                                  zone.second});
    }

    for (const Supply& supply : m_supplies) {
        if (supply.Scope == "Device") // a wireless mouse's battery, not the machine's
            continue;
        const bool battery =
            supply.Type.empty() ? StartsWith(supply.Name, "BAT") : supply.Type == "Battery";
        if (!battery) {
            f.Power.OnMains |= supply.Online == 1.0;
            continue;
        }
        if (supply.Present == 0.0)
            continue;
        BatteryCell cell;
        cell.Name = FromUtf8(supply.Name);
        cell.Charging = supply.Status == "Charging";
        // Watt-hours and ampere-hours here, microwatt-hours in the local records.
        if (supply.EnergyNow && supply.EnergyFull) {
            cell.EnergyNow = *supply.EnergyNow * 1e6;
            cell.EnergyFull = *supply.EnergyFull * 1e6;
        } else if (supply.ChargeNow && supply.ChargeFull && supply.VoltageMinDesign > 0.0) {
            cell.EnergyNow = *supply.ChargeNow * *supply.VoltageMinDesign * 1e6;
            cell.EnergyFull = *supply.ChargeFull * *supply.VoltageMinDesign * 1e6;
        }
        if (supply.Capacity && std::abs(*supply.Capacity) < 1e9)
            cell.Capacity = int(std::lround(*supply.Capacity));
        f.Power.Batteries.push_back(std::move(cell));
    }

    for (const Mount& mount : m_mounts) {
        if (!mount.Size || !mount.Avail)
            continue;
        // Used as the local reader counts it: all blocks less the free ones, reserved or not.
        const double free = mount.Free ? *mount.Free : *mount.Avail;
        f.FileSystems.push_back(
            {FromUtf8(mount.Path),
             DiskSpace{Count(*mount.Size - std::min(free, *mount.Size)).value_or(0),
                       Count(*mount.Avail).value_or(0)}});
    }
    return std::move(m_figures);
}

// The counters of each kind of record, in the order the continuity keeps them.
template <typename Record, typename Field, std::size_t N>
void ContinueRecords(std::vector<Record>& records, const Named<Field> (&fields)[N],
                     std::string_view kind, const std::string& (*key)(const Record&, std::string&),
                     CounterContinuity& continuity)
{
    std::string buffer;
    std::array<std::uint64_t, N> counters;
    for (Record& record : records) {
        for (std::size_t i = 0; i < N; ++i)
            counters[i] = record.*fields[i].Member;
        buffer.assign(kind);
        continuity.Continue(key(record, buffer), counters);
        for (std::size_t i = 0; i < N; ++i)
            record.*fields[i].Member = counters[i];
    }
}

} // namespace

NodeExporterFigures NodeExporterFigures::FromSamples(const ExpositionSamples& samples)
{
    Collector collector(samples);
    for (const ExpositionSample& sample : samples.Samples())
        collector.Take(sample);
    return collector.Finish();
}

void NodeExporterFigures::ContinueCounters(CounterContinuity& continuity)
{
    ContinueRecords(
        Cpus, CpuModes, "cpu ",
        +[](const CpuTimes& cpu, std::string& key) -> const std::string& {
            return key += std::to_string(cpu.Number);
        },
        continuity);
    ContinueRecords(
        Disks, DiskCounters, "disk ",
        +[](const DiskStats& disk, std::string& key) -> const std::string& {
            return key += disk.Name;
        },
        continuity);
    ContinueRecords(
        Interfaces, NetCounters, "net ",
        +[](const NetDevStats& nic, std::string& key) -> const std::string& {
            return key += nic.Name;
        },
        continuity);
    // A device missing from this reply stays, held where it was, so the sums do not dip.
    continuity.EndScrape([&](std::string_view key, std::span<const std::uint64_t> counters) {
        const std::size_t space = key.find(' ');
        const std::string_view kind = key.substr(0, space), name = key.substr(space + 1);
        const auto restore = [&](auto& record, const auto& fields) {
            for (std::size_t i = 0; i < std::size(fields) && i < counters.size(); ++i)
                record.*fields[i].Member = counters[i];
        };
        if (kind == "cpu") {
            CpuTimes& cpu = Cpus.emplace_back();
            std::from_chars(name.data(), name.data() + name.size(), cpu.Number);
            restore(cpu, CpuModes);
        } else if (kind == "disk") {
            CopyName(Disks.emplace_back().Name, name);
            restore(Disks.back(), DiskCounters);
        } else if (kind == "net") {
            CopyName(Interfaces.emplace_back().Name, name);
            restore(Interfaces.back(), NetCounters);
        }
    });
    std::sort(Cpus.begin(), Cpus.end(),
              [](const CpuTimes& a, const CpuTimes& b) { return a.Number < b.Number; });
    Total = CpuTimes();
    for (const CpuTimes& cpu : Cpus)
        AddUp(Total, cpu);
}

DiskSpaceReading NodeExporterFigures::DiskSpaceAt(const QString& path) const
{
    const RemoteFileSystem* best = nullptr;
    for (const RemoteFileSystem& fs : FileSystems) {
        const QString& mount = fs.MountPoint;
        const bool holds =
            path == mount ||
            (path.startsWith(mount) && (mount.endsWith(u'/') || path.at(mount.size()) == u'/'));
        if (holds && (!best || mount.size() > best->MountPoint.size()))
            best = &fs;
    }
    if (!best)
        return {std::nullopt, false};
    return {best->Space, true};
}

std::optional<double> NodeExporterFigures::Temperature(const QString& id) const
{
    for (const RemoteTemperature& t : Temperatures)
        if (t.Info.Id == id)
            return t.Celsius;
    return std::nullopt;
}
