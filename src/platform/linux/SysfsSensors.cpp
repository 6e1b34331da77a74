#include "platform/linux/SysfsSensors.h"

#include <QDir>
#include <QFile>
#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <sys/statvfs.h>

namespace {

// The first line of a small sysfs file, without its line end; empty when it cannot be read.
QString ReadLine(const QString& path)
{
    ProcFile file(path, 256, ProcFile::Hold::OnKernelFileSystems, SysfsSensors::MaxFileSize);
    if (!file.Read())
        return {};
    std::string_view text = file.Text();
    text = text.substr(0, text.find('\n'));
    return QString::fromUtf8(text.data(), qsizetype(text.size())).trimmed();
}

// hwmon0, hwmon2, hwmon10 in the kernel's order, not the alphabet's.
QStringList NumberedEntries(const QString& folder, const QString& prefix)
{
    QStringList names =
        QDir(folder).entryList({prefix + u'*'}, QDir::Dirs | QDir::System | QDir::NoDotAndDotDot);
    const auto number = [&](const QString& name) {
        return name.mid(prefix.size()).toInt();
    };
    std::sort(names.begin(), names.end(),
              [&](const QString& a, const QString& b) { return number(a) < number(b); });
    return names;
}

// "#2" and on for a second chip or zone of the same name, so every id stays distinct.
QString Numbered(std::map<QString, int>& seen, const QString& name)
{
    const int n = ++seen[name];
    return n == 1 ? name : name + u'#' + QString::number(n);
}

std::optional<double> ToNumber(std::string_view text)
{
    while (!text.empty() && (text.back() == '\n' || text.back() == ' '))
        text.remove_suffix(1);
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() ||
        !std::isfinite(value))
        return std::nullopt;
    return value;
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
    std::map<QString, int> seen;
    for (const QString& entry : NumberedEntries(m_roots.Hwmon, QStringLiteral("hwmon"))) {
        QString folder = m_roots.Hwmon + u'/' + entry;
        QString chip = ReadLine(folder + QStringLiteral("/name"));
        if (chip.isEmpty()) { // drivers of old kernels keep their files one folder down
            folder += QStringLiteral("/device");
            chip = ReadLine(folder + QStringLiteral("/name"));
        }
        if (chip.isEmpty())
            continue;
        const QString chipId = Numbered(seen, chip);
        QStringList inputs = QDir(folder).entryList({QStringLiteral("temp*_input")}, QDir::Files);
        const auto index = [](const QString& name) {
            return name.mid(4).section(u'_', 0, 0).toInt();
        };
        std::sort(inputs.begin(), inputs.end(),
                  [&](const QString& a, const QString& b) { return index(a) < index(b); });
        for (const QString& input : inputs) {
            const QString base = input.left(input.size() - int(sizeof("_input") - 1));
            QString label = ReadLine(folder + u'/' + base + QStringLiteral("_label"));
            if (label.isEmpty())
                label = base;
            TemperatureSensorInfo info{chipId + u'/' + label, chip, label, false};
            if (m_inputFiles.emplace(info.Id, folder + u'/' + input).second)
                m_sensors.push_back(info);
        }
    }
    seen.clear();
    for (const QString& entry : NumberedEntries(m_roots.Thermal, QStringLiteral("thermal_zone"))) {
        const QString folder = m_roots.Thermal + u'/' + entry;
        const QString type = ReadLine(folder + QStringLiteral("/type"));
        if (type.isEmpty())
            continue;
        TemperatureSensorInfo info{QStringLiteral("thermal/") + Numbered(seen, type),
                                   QStringLiteral("thermal"), type, true};
        if (m_inputFiles.emplace(info.Id, folder + QStringLiteral("/temp")).second)
            m_sensors.push_back(info);
    }
    return m_sensors;
}

std::optional<double> SysfsSensors::ReadTemperature(const QString& id)
{
    auto file = m_openInputs.find(id);
    if (file == m_openInputs.end()) {
        auto path = m_inputFiles.find(id);
        if (path == m_inputFiles.end()) {
            if (m_scanned)
                return std::nullopt;
            TemperatureSensors();
            path = m_inputFiles.find(id);
            if (path == m_inputFiles.end())
                return std::nullopt;
        }
        file = m_openInputs.emplace(id, std::make_unique<ProcFile>(path->second, 64, m_roots.FileHold, MaxFileSize)).first;
    }
    if (!file->second->Read()) {
        // Gone (a removed disk, an unloaded driver): the next read opens it anew.
        m_openInputs.erase(file);
        return std::nullopt;
    }
    const std::string_view text = file->second->Text();
    const std::optional<double> milli = ToNumber(text.substr(0, text.find('\n')));
    if (!milli)
        return std::nullopt;
    return *milli / 1000.0;
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
        if (ReadLine(folder + QStringLiteral("/scope")).compare(u"Device", Qt::CaseInsensitive) ==
            0)
            continue;
        const QString type = ReadLine(folder + QStringLiteral("/type"));
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
        cell.EnergyNow = ToNumber(values.EnergyNow);
        cell.EnergyFull = ToNumber(values.EnergyFull);
        if (!cell.EnergyNow || !cell.EnergyFull) {
            // Charge in µAh times the design voltage in µV gives µWh * 10^6.
            const auto volts = ToNumber(values.VoltageMinDesign);
            const auto chargeNow = ToNumber(values.ChargeNow);
            const auto chargeFull = ToNumber(values.ChargeFull);
            if (volts && chargeNow && chargeFull && *volts > 0) {
                cell.EnergyNow = *chargeNow * *volts / 1e6;
                cell.EnergyFull = *chargeFull * *volts / 1e6;
            } else {
                cell.EnergyNow.reset();
                cell.EnergyFull.reset();
            }
        }
        // Out of range is left to the readings to refuse, but must fit the int.
        if (const auto capacity = ToNumber(values.Capacity); capacity && std::abs(*capacity) < 1e9)
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
