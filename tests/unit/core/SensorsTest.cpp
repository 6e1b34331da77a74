// The sensors: fixture machines read through the real sysfs reader, the choices and sums made
// of them, disk space on a real small tmpfs, and the sampler's thread.
#include "core/SensorSampler.h"
#include "platform/Gpus.h"
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
#include <QThread>
#include <atomic>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <thread>

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
    // A chosen sensor wins; one that is gone is missing, not replaced by the processor's.
    SysfsSensors amd(SensorRoots::Under(Machine("amd_laptop")));
    const auto sensors = amd.TemperatureSensors();
    EXPECT_EQ(ChosenTemperatureSensor(sensors, "amdgpu/edge")->Id, "amdgpu/edge");
    EXPECT_FALSE(ChosenTemperatureSensor(sensors, "nvme#7/Composite").has_value());
}

TEST(SensorReadingsOfMachines, BatteriesAreWeightedByTheirEnergy)
{
    const SensorReadings amd = ReadMachine("amd_laptop");
    EXPECT_EQ(amd.TemperatureSensor, "k10temp Tctl");
    EXPECT_DOUBLE_EQ(amd.Temperature.value(), 57.5);
    // 30 of 50 Wh; the mouse's 5 % is not the machine's battery.
    EXPECT_EQ(amd.BatteryPercent, 60);
    EXPECT_TRUE(amd.BatteryCharging);
    EXPECT_EQ(amd.BatteryState, "charging");

    // 20 of 40 Wh and 1.8 of 2 Ah at 11.1 V: 39.98 of 62.2 Wh, not the 70 % of a plain mean.
    const SensorReadings two = ReadMachine("two_batteries");
    EXPECT_EQ(two.BatteryPercent, 64);
    EXPECT_FALSE(two.BatteryCharging);
    EXPECT_EQ(two.BatteryState, "discharging");
    EXPECT_FALSE(two.Temperature.has_value());

    // What is missing says why.
    EXPECT_EQ(two.TemperatureAbsence, SensorAbsence::NoDriver);
    const SensorReadings none = ReadMachine("none", {"nvme/Composite", {}});
    EXPECT_FALSE(none.Temperature || none.BatteryPercent);
    EXPECT_EQ(none.TemperatureSensor, "nvme/Composite");
    EXPECT_EQ(none.TemperatureAbsence, SensorAbsence::NotFound);
    EXPECT_EQ(none.BatteryAbsence, SensorAbsence::NoBattery);
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

TEST(SysfsSensors, PipesAndOversizedFilesAreNeitherWaitedForNorRead)
{
    TempProgramFolder sys;
    const auto pipe = [&](const char* path) {
        sys.Write(path, "");
        QFile::remove(sys.File(path));
        ASSERT_EQ(::mkfifo(QFile::encodeName(sys.File(path)).constData(), 0600), 0);
    };
    pipe("class/hwmon/hwmon0/name");
    sys.Write("class/hwmon/hwmon0/temp1_input", "40000\n");
    sys.Write("class/hwmon/hwmon1/name", "k10temp\n" + QByteArray(100 * 1024, ' '));
    sys.Write("class/hwmon/hwmon1/temp1_input", "41000\n");
    sys.Write("class/hwmon/hwmon2/name", "nvme\n");
    sys.Write("class/hwmon/hwmon2/temp1_input", "42000\n");
    sys.Write("class/thermal/thermal_zone0/type", "acpitz\n");
    pipe("class/thermal/thermal_zone0/temp");
    sys.Write("class/power_supply/BAT0/type", "Battery\n");
    pipe("class/power_supply/BAT0/uevent");

    // A read that blocks would never end: it runs where the test can give up on it.
    struct Outcome
    {
        std::atomic<bool> Done{false};
        std::vector<QString> Ids;
        std::optional<double> Zone;
        PowerSupplies Power;
    };
    const auto outcome = std::make_shared<Outcome>();
    const QString root = sys.File("");
    std::thread([outcome, root] {
        SysfsSensors source(SensorRoots::Under(root));
        outcome->Ids = Ids(source.TemperatureSensors());
        outcome->Zone = source.ReadTemperature("thermal/acpitz");
        outcome->Power = source.ReadPowerSupplies();
        outcome->Done = true;
    }).detach();
    ASSERT_TRUE(RunUntil([&] { return outcome->Done.load(); }, 20000)) << "a read blocks";
    EXPECT_EQ(outcome->Ids, (std::vector<QString>{"nvme/temp1", "thermal/acpitz"}));
    EXPECT_FALSE(outcome->Zone.has_value());
    EXPECT_TRUE(outcome->Power.Batteries.empty());
}

TEST(SensorReadingsOfMachines, ImpossibleValuesAreMissing)
{
    TempProgramFolder sys;
    sys.Write("class/hwmon/hwmon0/name", "k10temp\n");
    sys.Write("class/hwmon/hwmon0/temp1_input", "2147483647\n");
    sys.Write("class/hwmon/hwmon1/name", "nvme\n");
    sys.Write("class/hwmon/hwmon1/temp1_input", "1e308\n");
    sys.Write("class/power_supply/BAT0/type", "Battery\n");
    sys.Write("class/power_supply/BAT0/uevent", "POWER_SUPPLY_CAPACITY=2147484\n");
    sys.Write("class/power_supply/BAT1/type", "Battery\n");
    sys.Write("class/power_supply/BAT1/uevent", "POWER_SUPPLY_ENERGY_NOW=1e300\n"
                                                "POWER_SUPPLY_ENERGY_FULL=1e301\n");
    SysfsSensors source(SensorRoots::Under(sys.File("")));
    std::optional<std::vector<TemperatureSensorInfo>> list;
    for (const char* id : {"", "nvme/temp1"}) {
        const SensorReadings readings = ReadSensors(source, {id, {}}, list);
        EXPECT_FALSE(readings.Temperature.has_value()) << id;
        EXPECT_EQ(readings.TemperatureAbsence, SensorAbsence::Impossible) << id;
        EXPECT_FALSE(readings.BatteryPercent.has_value());
        EXPECT_EQ(readings.BatteryAbsence, SensorAbsence::NoValue);
    }
    // The ends of the range are still readings.
    EXPECT_EQ(PlausibleCelsius(MinCelsius), MinCelsius);
    EXPECT_EQ(PlausibleCelsius(MaxCelsius), MaxCelsius);
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
        const auto empty = source.ReadDiskSpace(mountPoint.path()).Space;
        if (!empty || UsedPercent(*empty) != 0)
            return -1;
        QFile half(mountPoint.path() + "/half");
        if (!half.open(QIODevice::WriteOnly) || half.write(QByteArray(512 * 1024, 'x')) != 512 * 1024)
            return -2;
        half.close();
        const auto space = source.ReadDiskSpace(mountPoint.path() + "/half").Space;
        return space ? UsedPercent(*space).value_or(-3) : -3;
    });
    if (!used)
        GTEST_SKIP() << isolated.WhyNot;
    EXPECT_EQ(*used, 50);
    const DiskSpaceReading missing = SysfsSensors().ReadDiskSpace(mountPoint.path() + "/no/such");
    EXPECT_FALSE(missing.Space || missing.PathFound);
}

namespace {

// A machine whose sensors the test changes between readings.
class ScriptedSensors : public SensorSource
{
public:
    std::vector<TemperatureSensorInfo> TemperatureSensors() override
    {
        ++Scans;
        std::vector<TemperatureSensorInfo> list{{"k10temp/Tctl", "k10temp", "Tctl"}};
        if (DiskSensor)
            list.push_back({"nvme/Composite", "nvme", "Composite"});
        return list;
    }
    std::optional<double> ReadTemperature(const QString& id) override
    {
        if (id == "nvme/Composite")
            return DiskSensor ? std::optional<double>(38) : std::nullopt;
        return Celsius.load() < 0 ? std::nullopt : std::optional<double>(Celsius.load());
    }
    PowerSupplies ReadPowerSupplies() override { return {}; }
    std::vector<FanReading> ReadFans() override { return {}; }
    DiskSpaceReading ReadDiskSpace(const QString&) override
    {
        while (DiskHangs) // a network file system that stopped answering
            QThread::msleep(10);
        return {DiskSpace{1, 3}, true};
    }

    std::atomic<double> Celsius{50};
    std::atomic<int> Scans{0};
    std::atomic<bool> DiskSensor{true};
    std::atomic<bool> DiskHangs{false};
    std::shared_ptr<int> Alive = std::make_shared<int>(); // gone with the source
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
    EXPECT_FALSE(sampler.Running());
    EXPECT_TRUE(onOwnersThread);
    EXPECT_EQ(log.Lines().filter("Sensor gone").size(), 1) << log.Lines().join('\n').toStdString();
    EXPECT_EQ(log.Lines().filter("Sensor gone").value(0),
              "<WARNING>Sensor gone : temperature (k10temp Tctl)");
    // The list is looked through once, not at every reading.
    EXPECT_EQ(sensors.Scans.load(), 1);
}

TEST(SensorSampler, AChosenSensorThatGoesIsMissingUntilItComesBack)
{
    EnsureApplication();
    auto owned = std::make_unique<ScriptedSensors>();
    ScriptedSensors& sensors = *owned;
    LogCapture log(QStringLiteral("(Sensors) "));
    TSensorSampler sampler(std::move(owned), log.Writer());
    sampler.SetChoice({"nvme/Composite", {}});
    sampler.Start();
    const auto shows = [&](const char* sensor, SensorAbsence absence) {
        return RunUntil(
            [&] {
                return sampler.Latest().TemperatureSensor == QLatin1String(sensor) &&
                       sampler.Latest().TemperatureAbsence == absence;
            },
            15000);
    };
    ASSERT_TRUE(shows("nvme Composite", SensorAbsence::None));
    // Unplugged: missing under its own name, not the processor's 50 °C.
    sensors.DiskSensor = false;
    ASSERT_TRUE(shows("nvme/Composite", SensorAbsence::NotFound));
    EXPECT_FALSE(sampler.Latest().Temperature.has_value());
    sensors.DiskSensor = true;
    ASSERT_TRUE(shows("nvme Composite", SensorAbsence::None));
    EXPECT_EQ(sampler.Latest().Temperature, 38.0);
}

TEST(SensorSampler, ADiskThatStopsAnsweringHoldsUpNeitherTheOtherReadingsNorTheOwner)
{
    EnsureApplication();
    auto owned = std::make_unique<ScriptedSensors>();
    ScriptedSensors& sensors = *owned;
    const std::weak_ptr<int> alive = sensors.Alive;
    sensors.DiskHangs = true;
    {
        LogCapture log(QStringLiteral("(Sensors) "));
        TSensorSampler sampler(std::move(owned), log.Writer());
        sampler.SetChoice({{}, "/mnt/lost"});
        sampler.Start();
        const SensorReadings readings = sampler.WaitForReading(30000);
        EXPECT_EQ(readings.Temperature, 50.0);
        EXPECT_EQ(readings.DiskAbsence, SensorAbsence::NotAnswering);
        EXPECT_EQ(readings.DiskPath, "/mnt/lost");
        sampler.Stop();
    } // the sampler goes without waiting for the read
    EXPECT_FALSE(alive.expired());
    // The stuck read ends on its own, and what it held goes with it.
    sensors.DiskHangs = false;
    EXPECT_TRUE(RunUntil([&] { return alive.expired(); }, 10000));
}

namespace {

// A vendor's library that hangs with its driver until the test lets it go.
class HangingGpus : public GpuSource
{
public:
    std::vector<GpuReading> ReadGpus() override
    {
        while (Hangs)
            QThread::msleep(10);
        return {};
    }

    std::atomic<bool> Hangs{true};
    std::shared_ptr<int> Alive = std::make_shared<int>();
};

} // namespace

TEST(SensorSampler, CardsThatStopAnsweringHoldUpNeitherTheOtherReadingsNorTheOwner)
{
    EnsureApplication();
    auto owned = std::make_unique<HangingGpus>();
    HangingGpus& gpus = *owned;
    const std::weak_ptr<int> alive = gpus.Alive;
    {
        LogCapture log(QStringLiteral("(Sensors) "));
        TSensorSampler sampler(std::make_unique<ScriptedSensors>(), log.Writer(), std::move(owned));
        SensorChoice choice;
        choice.ReadGpus = true;
        sampler.SetChoice(choice);
        sampler.Start();
        const SensorReadings readings = sampler.WaitForReading(30000);
        EXPECT_EQ(readings.Temperature, 50.0);
        EXPECT_EQ(readings.GpuAbsence, SensorAbsence::NotAnswering);
        sampler.Stop();
    }
    EXPECT_FALSE(alive.expired());
    gpus.Hangs = false;
    EXPECT_TRUE(RunUntil([&] { return alive.expired(); }, 10000));
}
