#include "platform/linux/SysfsSensors.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <sys/statvfs.h>

namespace {

// "#2" and on for a second chip or zone of the same name, so every id stays distinct.
QString Numbered(std::map<QString, int>& seen, const QString& name)
{
    const int n = ++seen[name];
    return n == 1 ? name : name + u'#' + QString::number(n);
}

// The runtime power state of the device a chip belongs to (a graphics card's), where it has one.
std::unique_ptr<ProcFile> DeviceStatus(const QString& chipFolder, ProcFile::Hold hold)
{
    const QString path = chipFolder + QStringLiteral("/device/power/runtime_status");
    if (!QFileInfo::exists(path))
        return nullptr;
    return std::make_unique<ProcFile>(path, 64, hold, SysfsSensors::MaxFileSize);
}

// Calls visit(folder, chip, chipId) for every hardware-monitor chip, in the kernel's order. The
// chip of a suspended device is passed over: reading it would wake the device.
template <typename Visit> void ForEachChip(const QString& root, Visit visit)
{
    std::map<QString, int> seen;
    for (const QString& entry : NumberedEntries(root, QStringLiteral("hwmon"))) {
        QString folder = root + u'/' + entry;
        if (const auto status = DeviceStatus(folder, ProcFile::Hold::OnKernelFileSystems);
            status && ReadsSuspended(*status))
            continue;
        QString chip = ReadSysfsLine(folder + QStringLiteral("/name"));
        if (chip.isEmpty()) { // drivers of old kernels keep their files one folder down
            folder += QStringLiteral("/device");
            chip = ReadSysfsLine(folder + QStringLiteral("/name"));
        }
        if (!chip.isEmpty())
            visit(folder, chip, Numbered(seen, chip));
    }
}

// A chip's inputs of one kind ("temp", "fan") by number: each as its base name ("temp1") and
// its label, or the base name without one.
std::vector<std::pair<QString, QString>> ChipInputs(const QString& folder, const QString& kind)
{
    QStringList inputs = QDir(folder).entryList({kind + QStringLiteral("*_input")}, QDir::Files);
    const auto index = [&](const QString& name) {
        return name.mid(kind.size()).section(u'_', 0, 0).toInt();
    };
    std::sort(inputs.begin(), inputs.end(),
              [&](const QString& a, const QString& b) { return index(a) < index(b); });
    std::vector<std::pair<QString, QString>> result;
    for (const QString& input : inputs) {
        const QString base = input.left(input.size() - int(sizeof("_input") - 1));
        const QString label = ReadSysfsLine(folder + u'/' + base + QStringLiteral("_label"));
        result.emplace_back(base, label.isEmpty() ? base : label);
    }
    return result;
}

} // namespace

UeventFields ParseUevent(std::string_view text)
{
    UeventFields fields;
    constexpr std::string_view prefix = "POWER_SUPPLY_";
    const std::pair<std::string_view, std::string_view UeventFields::*> wanted[] = {
        {"ONLINE", &UeventFields::Online},
        {"PRESENT", &UeventFields::Present},
        {"STATUS", &UeventFields::Status},
        {"CAPACITY", &UeventFields::Capacity},
        {"ENERGY_NOW", &UeventFields::EnergyNow},
        {"ENERGY_FULL", &UeventFields::EnergyFull},
        {"CHARGE_NOW", &UeventFields::ChargeNow},
        {"CHARGE_FULL", &UeventFields::ChargeFull},
        {"VOLTAGE_MIN_DESIGN", &UeventFields::VoltageMinDesign}};
    while (!text.empty()) {
        const size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (line.substr(0, prefix.size()) == prefix)
            line.remove_prefix(prefix.size());
        const size_t equals = line.find('=');
        if (equals == std::string_view::npos || equals == 0)
            continue;
        const std::string_view key = line.substr(0, equals);
        for (const auto& [name, field] : wanted) {
            if (key == name) {
                fields.*field = line.substr(equals + 1);
                break;
            }
        }
    }
    return fields;
}

SensorRoots SensorRoots::Under(const QString& sys)
{
    return {sys + QStringLiteral("/class/hwmon"), sys + QStringLiteral("/class/thermal"),
            sys + QStringLiteral("/class/power_supply")};
}

SensorRoots SensorRoots::FromEnvironment()
{
    const QString sys = qEnvironmentVariable("PULSMIR_SYSFS");
    return sys.isEmpty() ? SensorRoots() : Under(sys);
}

struct SysfsSensors::Supply
{
    Supply(const QString& folder, bool battery, ProcFile::Hold hold)
        : Battery(battery), Name(QDir(folder).dirName()),
          Uevent(folder + QStringLiteral("/uevent"), 2048, hold, MaxFileSize)
    {}

    bool Battery;
    QString Name;
    ProcFile Uevent;
};

SysfsSensors::SysfsSensors(SensorRoots roots) : m_roots(std::move(roots))
{}

SysfsSensors::~SysfsSensors() = default;

std::vector<TemperatureSensorInfo> SysfsSensors::TemperatureSensors()
{
    m_scanned = true;
    m_sensors.clear();
    m_inputFiles.clear();
    m_openInputs.clear();
    ForEachChip(
        m_roots.Hwmon, [&](const QString& folder, const QString& chip, const QString& chipId) {
            for (const auto& [base, label] : ChipInputs(folder, QStringLiteral("temp"))) {
                TemperatureSensorInfo info{chipId + u'/' + label, chip, label, false};
                if (m_inputFiles.emplace(info.Id, folder + u'/' + base + QStringLiteral("_input"))
                        .second)
                    m_sensors.push_back(info);
            }
        });
    std::map<QString, int> seen;
    for (const QString& entry : NumberedEntries(m_roots.Thermal, QStringLiteral("thermal_zone"))) {
        const QString folder = m_roots.Thermal + u'/' + entry;
        const QString type = ReadSysfsLine(folder + QStringLiteral("/type"));
        if (type.isEmpty())
            continue;
        TemperatureSensorInfo info{QStringLiteral("thermal/") + Numbered(seen, type),
                                   QStringLiteral("thermal"), type, true};
        if (m_inputFiles.emplace(info.Id, folder + QStringLiteral("/temp")).second)
            m_sensors.push_back(info);
    }
    return m_sensors;
}

// An input file of a chip, and the runtime power state of the device the chip belongs to.
struct SysfsSensors::Input
{
    Input(const QString& path, ProcFile::Hold hold)
        : File(path, 64, hold, MaxFileSize), Status(DeviceStatus(path.section(u'/', 0, -2), hold))
    {}

    // A sleeping card's sensors are not read: that would wake the card.
    bool Asleep() { return Status && ReadsSuspended(*Status); }

    ProcFile File;
    std::unique_ptr<ProcFile> Status;
};

std::optional<double> SysfsSensors::ReadTemperature(const QString& id)
{
    auto input = m_openInputs.find(id);
    if (input == m_openInputs.end()) {
        auto path = m_inputFiles.find(id);
        if (path == m_inputFiles.end()) {
            if (m_scanned)
                return std::nullopt;
            TemperatureSensors();
            path = m_inputFiles.find(id);
            if (path == m_inputFiles.end())
                return std::nullopt;
        }
        input =
            m_openInputs.emplace(id, std::make_unique<Input>(path->second, m_roots.FileHold)).first;
    }
    if (input->second->Asleep())
        return std::nullopt;
    if (!input->second->File.Read()) {
        // Gone (a removed disk, an unloaded driver): the next read opens it anew.
        m_openInputs.erase(input);
        return std::nullopt;
    }
    const std::string_view text = input->second->File.Text();
    const std::optional<double> milli = SysfsNumber(text.substr(0, text.find('\n')));
    if (!milli)
        return std::nullopt;
    return *milli / 1000.0;
}

struct SysfsSensors::Fan
{
    Fan(FanReading info, const QString& input, ProcFile::Hold hold)
        : Info(std::move(info)), Reading(input, hold)
    {}

    FanReading Info;
    Input Reading;
};

void SysfsSensors::ScanFans()
{
    m_fans.clear();
    ForEachChip(m_roots.Hwmon, [&](const QString& folder, const QString& chip,
                                   const QString& chipId) {
        for (const auto& [base, label] : ChipInputs(folder, QStringLiteral("fan"))) {
            FanReading info{chipId + u'/' + label, chip + u' ' + label, {}, {}};
            ProcFile max(folder + u'/' + base + QStringLiteral("_max"), 64, m_roots.FileHold,
                         MaxFileSize);
            info.MaxRpm = ReadSysfsNumber(max);
            m_fans.push_back(std::make_unique<Fan>(std::move(info),
                                                   folder + u'/' + base + QStringLiteral("_input"),
                                                   m_roots.FileHold));
        }
    });
}

std::vector<FanReading> SysfsSensors::ReadFans()
{
    if (--m_fanReadsUntilRescan < 0) {
        ScanFans();
        m_fanReadsUntilRescan = RescanEvery - 1;
    }
    std::vector<FanReading> fans;
    fans.reserve(m_fans.size());
    for (const std::unique_ptr<Fan>& fan : m_fans) {
        fans.push_back(fan->Info);
        if (fan->Reading.Asleep())
            continue;
        fans.back().Rpm = ReadSysfsNumber(fan->Reading.File);
        if (!fans.back().Rpm)
            m_fanReadsUntilRescan = 0; // a fan whose file failed may have moved with its chip
    }
    return fans;
}

void SysfsSensors::ScanSupplies()
{
    m_supplies.clear();
    const QStringList entries =
        QDir(m_roots.PowerSupply)
            .entryList(QDir::Dirs | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString& entry : entries) {
        const QString folder = m_roots.PowerSupply + u'/' + entry;
        // A wireless mouse's or a phone's battery says so; it is not the machine's.
        if (ReadSysfsLine(folder + QStringLiteral("/scope"))
                .compare(u"Device", Qt::CaseInsensitive) == 0)
            continue;
        const QString type = ReadSysfsLine(folder + QStringLiteral("/type"));
        if (type.isEmpty())
            continue;
        m_supplies.push_back(std::make_unique<Supply>(folder, type == u"Battery", m_roots.FileHold));
    }
}

PowerSupplies SysfsSensors::ReadPowerSupplies()
{
    if (--m_readsUntilRescan < 0) {
        ScanSupplies();
        m_readsUntilRescan = RescanEvery - 1;
    }
    PowerSupplies result;
    for (const std::unique_ptr<Supply>& supply : m_supplies) {
        if (!supply->Uevent.Read()) {
            m_readsUntilRescan = 0;
            continue;
        }
        const UeventFields values = ParseUevent(supply->Uevent.Text());
        if (!supply->Battery) {
            if (values.Online == "1")
                result.OnMains = true;
            continue;
        }
        if (values.Present == "0")
            continue;
        BatteryCell cell;
        cell.Name = supply->Name;
        cell.Charging = values.Status == "Charging";
        cell.EnergyNow = SysfsNumber(values.EnergyNow);
        cell.EnergyFull = SysfsNumber(values.EnergyFull);
        if (!cell.EnergyNow || !cell.EnergyFull) {
            // Charge in µAh times the design voltage in µV gives µWh * 10^6.
            const auto volts = SysfsNumber(values.VoltageMinDesign);
            const auto chargeNow = SysfsNumber(values.ChargeNow);
            const auto chargeFull = SysfsNumber(values.ChargeFull);
            if (volts && chargeNow && chargeFull && *volts > 0) {
                cell.EnergyNow = *chargeNow * *volts / 1e6;
                cell.EnergyFull = *chargeFull * *volts / 1e6;
            } else {
                cell.EnergyNow.reset();
                cell.EnergyFull.reset();
            }
        }
        // Out of range is left to the readings to refuse, but must fit the int.
        if (const auto capacity = SysfsNumber(values.Capacity);
            capacity && std::abs(*capacity) < 1e9)
            cell.Capacity = int(std::lround(*capacity));
        result.Batteries.push_back(std::move(cell));
    }
    return result;
}

DiskSpaceReading SysfsSensors::ReadDiskSpace(const QString& path)
{
    struct statvfs fs
    {
    };
    if (path.isEmpty())
        return {std::nullopt, false};
    if (::statvfs(QFile::encodeName(path).constData(), &fs) != 0)
        return {std::nullopt, errno != ENOENT && errno != ENOTDIR};
    if (fs.f_blocks == 0)
        return {};
    const std::uint64_t unit = fs.f_frsize ? fs.f_frsize : fs.f_bsize;
    const std::uint64_t used = std::uint64_t(fs.f_blocks - std::min(fs.f_bfree, fs.f_blocks));
    return {DiskSpace{used * unit, std::uint64_t(fs.f_bavail) * unit}, true};
}
