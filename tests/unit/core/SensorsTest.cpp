// The sensors: fixture machines read through the real sysfs reader, the choices and sums made
// of them, disk space on a real small tmpfs, and the sampler's thread.
#include "core/SensorSampler.h"
#include "platform/linux/SysfsSensors.h"
#include "support/EventLoop.h"
#include "support/IsolatedMount.h"
#include "support/LogCapture.h"
#include "support/TempProgramFolder.h"
#include "support/TestApplication.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QString Machine(const char* name)
{
    return QStringLiteral(PULSMIR_FIXTURE_DIR "/sys/") + QLatin1String(name);
}

std::vector<QString> Ids(const std::vector<TemperatureSensorInfo>& sensors)
{
    std::vector<QString> ids;
    for (const TemperatureSensorInfo& s : sensors)
        ids.push_back(s.Id);
    return ids;
}

SensorReadings ReadMachine(const char* name, const SensorChoice& choice = {})
{
    SysfsSensors source(SensorRoots::Under(Machine(name)));
    std::optional<std::vector<TemperatureSensorInfo>> list;
    return ReadSensors(source, choice, list);
}

} // namespace

TEST(SysfsSensors, ListsEveryInputInTheKernelsOrderWithStableIds)
{
    SysfsSensors amd(SensorRoots::Under(Machine("amd_laptop")));
    // hwmon10 after hwmon2; zones after the chips; a chip's inputs by number.
    EXPECT_EQ(Ids(amd.TemperatureSensors()),
              (std::vector<QString>{"acpitz/temp1", "nvme/Composite", "nvme/Sensor 1",
                                    "k10temp/Tctl", "k10temp/Tccd1", "amdgpu/edge",
                                    "amdgpu/junction", "thermal/acpitz"}));
    EXPECT_DOUBLE_EQ(amd.ReadTemperature("amdgpu/junction").value(), 47.0);
    EXPECT_DOUBLE_EQ(amd.ReadTemperature("k10temp/Tctl").value(), 57.5);
    EXPECT_FALSE(amd.ReadTemperature("k10temp/Tdie").has_value());

    SysfsSensors zones(SensorRoots::Under(Machine("thermal_only")));
    EXPECT_EQ(Ids(zones.TemperatureSensors()),
              (std::vector<QString>{"thermal/acpitz", "thermal/x86_pkg_temp"}));
    EXPECT_TRUE(SysfsSensors(SensorRoots::Under(Machine("none"))).TemperatureSensors().empty());
}

TEST(SysfsSensors, TwoChipsOfOneNameKeepDistinctIds)
{
    QTemporaryDir sys;
    for (int n : {0, 1}) {
        const QString chip = sys.path() + QStringLiteral("/class/hwmon/hwmon%1").arg(n);
        QDir().mkpath(chip);
        QFile name(chip + "/name"), input(chip + "/temp1_input"), label(chip + "/temp1_label");
        ASSERT_TRUE(name.open(QIODevice::WriteOnly) && input.open(QIODevice::WriteOnly) &&
                    label.open(QIODevice::WriteOnly));
        name.write("nvme\n");
        label.write("Composite\n");
        input.write(n == 0 ? "30000\n" : "41000\n");
    }
    SysfsSensors source(SensorRoots::Under(sys.path()));
    EXPECT_EQ(Ids(source.TemperatureSensors()),
              (std::vector<QString>{"nvme/Composite", "nvme#2/Composite"}));
    EXPECT_DOUBLE_EQ(source.ReadTemperature("nvme#2/Composite").value(), 41.0);
    // A sensor that goes away reads nothing, and reads again once it is back.
    QFile::rename(sys.path() + "/class/hwmon/hwmon1/temp1_input", sys.path() + "/gone");
    EXPECT_FALSE(source.ReadTemperature("nvme#2/Composite").has_value());
    QFile::rename(sys.path() + "/gone", sys.path() + "/class/hwmon/hwmon1/temp1_input");
    EXPECT_DOUBLE_EQ(source.ReadTemperature("nvme#2/Composite").value(), 41.0);
}

TEST(SensorChoiceRules, TheProcessorsPackageSensorIsFoundOnEachMachine)
{
    const auto automatic = [](const char* machine) {
        SysfsSensors source(SensorRoots::Under(Machine(machine)));
        const auto s = AutomaticTemperatureSensor(source.TemperatureSensors());
        return s ? s->Id : QStringLiteral("none");
    };
    EXPECT_EQ(automatic("amd_laptop"), "k10temp/Tctl"); // not the disk, the card or ACPI
    EXPECT_EQ(automatic("intel_desktop"), "coretemp/Package id 0");
    EXPECT_EQ(automatic("thermal_only"), "thermal/x86_pkg_temp");
    EXPECT_EQ(automatic("none"), "none");

    // Tdie, where a kernel offers it beside Tctl, has no fan-curve offset.
    const std::vector<TemperatureSensorInfo> ryzen = {{"k10temp/Tctl", "k10temp", "Tctl"},
                                                      {"k10temp/Tdie", "k10temp", "Tdie"}};
    EXPECT_EQ(AutomaticTemperatureSensor(ryzen)->Id, "k10temp/Tdie");
    // A chosen sensor wins; one that is gone falls back to the automatic choice.
    SysfsSensors amd(SensorRoots::Under(Machine("amd_laptop")));
    const auto sensors = amd.TemperatureSensors();
    EXPECT_EQ(ChosenTemperatureSensor(sensors, "amdgpu/edge")->Id, "amdgpu/edge");
    EXPECT_EQ(ChosenTemperatureSensor(sensors, "nvme#7/Composite")->Id, "k10temp/Tctl");
}

TEST(SensorReadingsOfMachines, BatteriesAreWeightedByTheirEnergy)
{
    const SensorReadings amd = ReadMachine("amd_laptop", {{}, "/"});
    EXPECT_EQ(amd.TemperatureSensor, "k10temp Tctl");
    EXPECT_DOUBLE_EQ(amd.Temperature.value(), 57.5);
    // 30 of 50 Wh; the mouse's 5 % is not the machine's battery.
    EXPECT_EQ(amd.BatteryPercent, 60);
    EXPECT_TRUE(amd.BatteryCharging);
    EXPECT_EQ(amd.BatteryState, "charging");
    EXPECT_TRUE(amd.DiskUsedPercent.has_value());

    // 20 of 40 Wh and 1.8 of 2 Ah at 11.1 V: 39.98 of 62.2 Wh, not the 70 % of a plain mean.
    const SensorReadings two = ReadMachine("two_batteries");
    EXPECT_EQ(two.BatteryPercent, 64);
    EXPECT_FALSE(two.BatteryCharging);
    EXPECT_EQ(two.BatteryState, "discharging");
    EXPECT_FALSE(two.Temperature.has_value());
    EXPECT_FALSE(two.DiskUsedPercent.has_value()); // no path asked for

    const SensorReadings none = ReadMachine("none");
    EXPECT_FALSE(none.Temperature || none.BatteryPercent || none.DiskUsedPercent);
    EXPECT_TRUE(none.TemperatureSensor.isEmpty());
}

TEST(SensorReadingsOfMachines, PercentagesOnlyAndMainsAlone)
{
    BatteryCell a{"BAT0", std::nullopt, std::nullopt, 80, false};
    BatteryCell b{"BAT1", std::nullopt, std::nullopt, 40, false};
    EXPECT_EQ(CombinedBatteryPercent({a, b}), 60);
    // A percentage-only battery counts as large as the others are on average.
    BatteryCell c{"BAT2", 10.0, 100.0, 10, false};
    EXPECT_EQ(CombinedBatteryPercent({a, c}), 45);
    EXPECT_FALSE(CombinedBatteryPercent({}).has_value());
    BatteryCell broken{"BAT3", 5.0, 0.0, std::nullopt, false};
    EXPECT_FALSE(CombinedBatteryPercent({broken}).has_value());
    // More stored than full (a worn gauge) is full, not 120 %.
    EXPECT_EQ(CombinedBatteryPercent({BatteryCell{"BAT4", 60.0, 50.0, {}, false}}), 100);
}

TEST(SysfsSensors, UeventValuesAreTakenWithOrWithoutPrefixAndOnlyWhenTheyAreNumbers)
{
    const UeventFields fields = ParseUevent("POWER_SUPPLY_NAME=BAT0\n"
                                            "STATUS=Charging\n"
                                            "POWER_SUPPLY_CAPACITY=8x\n"
                                            "=orphan\n"
                                            "no equals sign\n"
                                            "POWER_SUPPLY_ENERGY_NOW=25000000\n"
                                            "POWER_SUPPLY_ENERGY_FULL=");
    EXPECT_EQ(fields.Status, "Charging");
    EXPECT_EQ(fields.Capacity, "8x");
    EXPECT_EQ(fields.EnergyNow, "25000000");
    EXPECT_TRUE(fields.EnergyFull.empty());
    EXPECT_TRUE(fields.Online.empty());

    // A battery whose figures are not numbers has no percentage instead of a made-up one.
    TempProgramFolder sys;
    sys.Write("class/power_supply/BAT0/type", "Battery\n");
    sys.Write("class/power_supply/BAT0/uevent", "POWER_SUPPLY_CAPACITY=8x\n"
                                                "POWER_SUPPLY_ENERGY_NOW=1e999\n"
                                                "POWER_SUPPLY_ENERGY_FULL=5\n");
    SysfsSensors source(SensorRoots::Under(sys.File("")));
    const PowerSupplies power = source.ReadPowerSupplies();
    ASSERT_EQ(power.Batteries.size(), 1u);
    EXPECT_FALSE(power.Batteries[0].Capacity.has_value());
    EXPECT_FALSE(power.Batteries[0].EnergyNow.has_value());
}

TEST(SysfsSensors, FilesHeldOpenFollowValuesRewrittenInPlace)
{
    TempProgramFolder sys;
    sys.Write("class/hwmon/hwmon0/name", "k10temp\n");
    sys.Write("class/hwmon/hwmon0/temp1_input", "40000\n");
    sys.Write("class/power_supply/BAT0/type", "Battery\n");
    sys.Write("class/power_supply/BAT0/uevent", "POWER_SUPPLY_CAPACITY=50\n");
    SensorRoots roots = SensorRoots::Under(sys.File(""));
    roots.FileHold = ProcFile::Hold::Always;
    SysfsSensors source(roots);
    std::optional<std::vector<TemperatureSensorInfo>> list;
    SensorReadings readings = ReadSensors(source, {}, list);
    EXPECT_DOUBLE_EQ(readings.Temperature.value(), 40.0);
    EXPECT_EQ(readings.BatteryPercent, 50);

    // Longer and then shorter than before, as a driver's values change.
    sys.Write("class/hwmon/hwmon0/temp1_input", "100500\n");
    sys.Write("class/power_supply/BAT0/uevent", "POWER_SUPPLY_CAPACITY=100\n");
    readings = ReadSensors(source, {}, list);
    EXPECT_DOUBLE_EQ(readings.Temperature.value(), 100.5);
    EXPECT_EQ(readings.BatteryPercent, 100);
    sys.Write("class/hwmon/hwmon0/temp1_input", "9000\n");
    sys.Write("class/power_supply/BAT0/uevent", "POWER_SUPPLY_CAPACITY=7\n");
    readings = ReadSensors(source, {}, list);
    EXPECT_DOUBLE_EQ(readings.Temperature.value(), 9.0);
    EXPECT_EQ(readings.BatteryPercent, 7);
}

TEST(SensorScales, TemperatureRangeAndDiskShare)
{
    EXPECT_EQ(TemperaturePosition(30, 30, 100), 0);
    EXPECT_EQ(TemperaturePosition(65, 30, 100), 50);
    EXPECT_EQ(TemperaturePosition(120, 30, 100), 100);
    EXPECT_EQ(TemperaturePosition(-10, 30, 100), 0);
    EXPECT_EQ(TemperaturePosition(50, 60, 60), 0); // an empty range is a threshold
    EXPECT_EQ(TemperaturePosition(60, 60, 60), 100);

    EXPECT_EQ(UsedPercent({1, 99}), 1); // rounded up, as df shows it
    EXPECT_EQ(UsedPercent({50, 50}), 50);
    EXPECT_EQ(UsedPercent({0, 0}), std::nullopt);
    EXPECT_EQ(UsedPercent({UINT64_MAX / 2, UINT64_MAX / 2}), 50); // no overflow
}

TEST(DiskSpace, ASmallTmpfsShowsWhatIsWrittenOnIt)
{
    QTemporaryDir mountPoint;
    IsolatedMount isolated;
    isolated.Folder = mountPoint.path().toStdString();
    isolated.TmpfsBytes = 1024 * 1024;
    // -1: the empty tmpfs read wrong; -2: the half could not be written; -3: no reading.
    const std::optional<int> used = isolated.Run<int>([&] {
        SysfsSensors source;
        const auto empty = source.ReadDiskSpace(mountPoint.path());
        if (!empty || UsedPercent(*empty) != 0)
            return -1;
        QFile half(mountPoint.path() + "/half");
        if (!half.open(QIODevice::WriteOnly) || half.write(QByteArray(512 * 1024, 'x')) != 512 * 1024)
            return -2;
        half.close();
        const auto space = source.ReadDiskSpace(mountPoint.path() + "/half");
        return space ? UsedPercent(*space).value_or(-3) : -3;
    });
    if (!used)
        GTEST_SKIP() << isolated.WhyNot;
    EXPECT_EQ(*used, 50);
    EXPECT_FALSE(SysfsSensors().ReadDiskSpace(mountPoint.path() + "/no/such/folder").has_value());
}

namespace {

// A machine whose sensors the test changes between readings.
class ScriptedSensors : public SensorSource
{
public:
    std::vector<TemperatureSensorInfo> TemperatureSensors() override
    {
        ++Scans;
        return {{"k10temp/Tctl", "k10temp", "Tctl"}};
    }
    std::optional<double> ReadTemperature(const QString&) override
    {
        return Celsius.load() < 0 ? std::nullopt : std::optional<double>(Celsius.load());
    }
    PowerSupplies ReadPowerSupplies() override { return {}; }
    std::optional<DiskSpace> ReadDiskSpace(const QString&) override { return DiskSpace{1, 3}; }

    std::atomic<double> Celsius{50};
    std::atomic<int> Scans{0};
};

} // namespace

TEST(SensorSampler, HandsReadingsToItsOwnersThreadAndLogsALostSensorOnce)
{
    EnsureApplication();
    auto owned = std::make_unique<ScriptedSensors>();
    ScriptedSensors& sensors = *owned;
    LogCapture log(QStringLiteral("(Sensors) "));
    TSensorSampler sampler(std::move(owned), log.Writer());
    std::vector<std::optional<double>> seen;
    bool onOwnersThread = true;
    sampler.OnReading = [&] {
        onOwnersThread = onOwnersThread && QThread::currentThread() == qApp->thread();
        seen.push_back(sampler.Latest().Temperature);
    };
    sampler.SetChoice({{}, "/"});
    sampler.Start();
    ASSERT_TRUE(RunUntil([&] { return !seen.empty(); }, 10000));
    EXPECT_EQ(seen.front(), 50.0);
    EXPECT_EQ(sampler.Latest().DiskUsedPercent, 25);
    EXPECT_EQ(sampler.Latest().TemperatureSensor, "k10temp Tctl");

    // The sensor goes: a new choice is read at once rather than after the second, and the loss
    // is logged once however many readings find it gone.
    sensors.Celsius = -1;
    sampler.SetChoice({"k10temp/Tctl", "/"});
    ASSERT_TRUE(RunUntil([&] { return seen.size() >= 3 && !seen.back(); }, 10000));
    sampler.Stop();
    EXPECT_FALSE(sampler.isRunning());
    EXPECT_TRUE(onOwnersThread);
    EXPECT_EQ(log.Lines().filter("Sensor gone").size(), 1) << log.Lines().join('\n').toStdString();
    EXPECT_EQ(log.Lines().filter("Sensor gone").value(0),
              "<WARNING>Sensor gone : temperature (k10temp Tctl)");
    // The list is looked through once, not at every reading.
    EXPECT_EQ(sensors.Scans.load(), 1);
}
