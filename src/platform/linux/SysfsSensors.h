#pragma once

#include "platform/Sensors.h"
#include "platform/linux/ProcStats.h"
#include "platform/linux/SysfsValues.h"

#include <QByteArray>
#include <QString>
#include <map>
#include <memory>
#include <string_view>
#include <vector>

// The folders the sensors are read from; tests hand in fixture trees.
struct SensorRoots
{
    QString Hwmon = QStringLiteral("/sys/class/hwmon");
    QString Thermal = QStringLiteral("/sys/class/thermal");
    QString PowerSupply = QStringLiteral("/sys/class/power_supply");
    // How the files read every second are held: a copy of a machine whose files are rewritten
    // in place may hold them open as sysfs does.
    ProcFile::Hold FileHold = ProcFile::Hold::OnKernelFileSystems;

    // The folders under a tree that stands for /sys.
    static SensorRoots Under(const QString& sys);
    // /sys, or the tree PULSMIR_SYSFS names (the end-to-end tests' machines).
    static SensorRoots FromEnvironment();
};

// Temperatures and fans from the hardware monitors, temperatures from the thermal zones, batteries
// and mains from the power-supply class, disk space from statvfs. The files read every second stay
// open (ProcFile), and a power supply is read from its one "uevent" file, which holds all of its
// properties, rather than from a file per property. Only regular files of at most MaxFileSize
// bytes are read, without blocking.
class SysfsSensors : public SensorSource
{
public:
    // The folders are looked through again every RescanEvery reads of the power supplies, and
    // whenever a known file fails, so hardware that comes and goes is followed.
    static constexpr int RescanEvery = 30;

    explicit SysfsSensors(SensorRoots roots = {});
    ~SysfsSensors() override;

    std::vector<TemperatureSensorInfo> TemperatureSensors() override;
    std::optional<double> ReadTemperature(const QString& id) override;
    PowerSupplies ReadPowerSupplies() override;
    DiskSpaceReading ReadDiskSpace(const QString& path) override;
    std::vector<FanReading> ReadFans() override;

    static constexpr size_t MaxFileSize = MaxSysfsFileSize;

private:
    struct Supply;
    struct Input;
    struct Fan;
    void ScanSupplies();
    void ScanFans();

    SensorRoots m_roots;
    std::vector<TemperatureSensorInfo> m_sensors;
    std::map<QString, QString> m_inputFiles; // sensor id -> the file its value is read from
    std::map<QString, std::unique_ptr<Input>> m_openInputs;
    bool m_scanned = false;
    std::vector<std::unique_ptr<Supply>> m_supplies;
    int m_readsUntilRescan = 0;
    std::vector<std::unique_ptr<Fan>> m_fans;
    int m_fanReadsUntilRescan = 0;
};

// The values of a power supply's "uevent" file (KEY=value lines, the keys with or without their
// "POWER_SUPPLY_" prefix) that the readings use; views into the text, empty when missing.
struct UeventFields
{
    std::string_view Online, Present, Status, Capacity;
    std::string_view EnergyNow, EnergyFull, ChargeNow, ChargeFull, VoltageMinDesign;
};
UeventFields ParseUevent(std::string_view text);
