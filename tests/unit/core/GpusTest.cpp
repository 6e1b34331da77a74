// Graphics cards and fans: a fixture machine per driver read through the real sysfs reader,
// NVIDIA's cards through a stand-in for its library, a sleeping card that is never touched, and
// the choices the readings make of them.
#include "core/SensorSampler.h"
#include "platform/SharedLibrary.h"
#include "platform/linux/EngineBusyCounter.h"
#include "platform/linux/SysfsGpus.h"
#include "platform/linux/SysfsSensors.h"
#include "support/EventLoop.h"
#include "support/LogCapture.h"
#include "support/TestApplication.h"

#include <QFile>
#include <QTemporaryDir>
#include <atomic>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <thread>

namespace {

namespace fs = std::filesystem;

QString Machine(const char* name)
{
    return QStringLiteral(PULSMIR_FIXTURE_DIR "/sys/") + QLatin1String(name);
}

// A copy of a fixture machine for a test to change; its links stay links, as in /sys.
QString CopyMachine(const char* name, const QTemporaryDir& dir)
{
    const QString sys = dir.path() + QStringLiteral("/sys");
    fs::copy(Machine(name).toStdString(), sys.toStdString(),
             fs::copy_options::recursive | fs::copy_options::copy_symlinks);
    return sys;
}

void WriteFile(const QString& path, const QByteArray& text)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(text);
}

std::vector<GpuReading> ReadGpus(const QString& sys)
{
    return SysfsGpus(GpuRoots::Under(sys)).ReadGpus();
}

// Reads the cards and fans where a test can give up on it: a read that blocks never ends.
std::optional<std::vector<GpuReading>> ReadWithDeadline(const QString& sys)
{
    struct Outcome
    {
        std::atomic<bool> Done{false};
        std::vector<GpuReading> Gpus;
    };
    const auto outcome = std::make_shared<Outcome>();
    std::thread([outcome, sys] {
        SysfsSensors sensors(SensorRoots::Under(sys));
        sensors.TemperatureSensors();
        sensors.ReadFans();
        SysfsGpus gpus(GpuRoots::Under(sys));
        gpus.ReadGpus();
        outcome->Gpus = gpus.ReadGpus();
        outcome->Done = true;
    }).detach();
    if (!RunUntil([&] { return outcome->Done.load(); }, 20000))
        return std::nullopt;
    return outcome->Gpus;
}

const char* const SleepingCard = "/devices/pci0000:00/0000:00:1c.0/0000:01:00.0";

// The opens inotify has reported on the watched folders since the last call.
int Opens(int events)
{
    char buffer[4096];
    int count = 0;
    for (ssize_t n; (n = ::read(events, buffer, sizeof buffer)) > 0;)
        for (char* p = buffer; p < buffer + n;
             p += sizeof(inotify_event) + reinterpret_cast<inotify_event*>(p)->len)
            ++count;
    return count;
}

} // namespace

TEST(SysfsGpus, EachDriversCardIsReadFromItsOwnFiles)
{
    const std::vector<GpuReading> amd = ReadGpus(Machine("amd_desktop"));
    ASSERT_EQ(amd.size(), 1u); // the firmware's frame buffer is no card
    EXPECT_EQ(amd[0].Id, "amdgpu/0000:0b:00.0");
    EXPECT_EQ(amd[0].Model, "AMD 0x73bf");
    EXPECT_EQ(amd[0].LoadPercent, 37.0);
    EXPECT_EQ(amd[0].LoadKind, "busy");
    EXPECT_EQ(amd[0].MemoryUsedBytes, 2147483648.0);
    EXPECT_EQ(amd[0].MemoryTotalBytes, 17163091968.0);
    EXPECT_EQ(amd[0].Celsius, 54.0);
    EXPECT_EQ(amd[0].FanRpm, 1180.0);
    EXPECT_EQ(amd[0].PowerWatts, 48.0);

    const std::vector<GpuReading> laptop = ReadGpus(Machine("intel_laptop"));
    ASSERT_EQ(laptop.size(), 2u);
    EXPECT_EQ(laptop[0].Id, "i915/0000:00:02.0");
    EXPECT_EQ(laptop[0].LoadPercent, 50.0); // 550 of 1100 MHz
    EXPECT_EQ(laptop[0].LoadKind, "frequency");
    EXPECT_FALSE(laptop[0].MemoryTotalBytes || laptop[0].Asleep);
    EXPECT_EQ(laptop[1].Id, "amdgpu/0000:01:00.0");
    EXPECT_TRUE(laptop[1].Asleep);
    EXPECT_FALSE(laptop[1].LoadPercent || laptop[1].Celsius || laptop[1].MemoryUsedBytes);
    EXPECT_TRUE(laptop[1].Model.isEmpty() && laptop[1].LoadKind.isEmpty());

    const std::vector<GpuReading> xe = ReadGpus(Machine("xe_desktop"));
    ASSERT_EQ(xe.size(), 1u);
    EXPECT_EQ(xe[0].Id, "xe/0000:03:00.0");
    EXPECT_EQ(xe[0].Model, "Intel 0xe20b");
    EXPECT_NEAR(xe[0].LoadPercent.value_or(-1), 1400 * 100.0 / 2850, 1e-9);
    EXPECT_EQ(xe[0].LoadKind, "frequency");
    EXPECT_FALSE(xe[0].Celsius.has_value());

    EXPECT_TRUE(ReadGpus(Machine("none")).empty());
}

TEST(SysfsGpus, IntelsEngineBusyTimeWhereTheSystemLetsItBeCounted)
{
    QTemporaryDir dir;
    const QString sys = CopyMachine("intel_laptop", dir);
    // The software unit stands in for i915's: its event 0, the processor's clock, counts
    // nanoseconds as "rcs0-busy" does, and never rests.
    const QString unit = sys + QStringLiteral("/bus/event_source/devices/i915");
    WriteFile(unit + "/type", "1\n");
    if (!EngineBusyCounter(unit, "rcs0-busy").Counting())
        GTEST_SKIP() << "this user may not count events across the system";
    SysfsGpus gpus(GpuRoots::Under(sys));
    const std::vector<GpuReading> first = gpus.ReadGpus();
    EXPECT_EQ(first[0].LoadKind, "engine busy");
    EXPECT_FALSE(first[0].LoadPercent.has_value()); // nothing to compare with yet
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_GT(gpus.ReadGpus()[0].LoadPercent.value_or(0), 50.0);
}

TEST(SysfsGpus, ASleepingCardsFilesAreNeverOpened)
{
    QTemporaryDir dir;
    const QString sys = CopyMachine("intel_laptop", dir);
    const fs::path card = (sys + QLatin1String(SleepingCard)).toStdString();
    // Every file of the card but its power state becomes a named pipe, where a read would wait
    // for ever; inotify reports any open at all, however quickly refused.
    const int events = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    ASSERT_GE(events, 0);
    ASSERT_GE(::inotify_add_watch(events, card.c_str(), IN_OPEN), 0);
    for (auto it = fs::recursive_directory_iterator(card); it != fs::recursive_directory_iterator();
         ++it) {
        if (it->is_symlink())
            continue;
        if (it->path().filename() == "power") {
            it.disable_recursion_pending();
        } else if (it->is_directory()) {
            ASSERT_GE(::inotify_add_watch(events, it->path().c_str(), IN_OPEN), 0);
        } else {
            fs::remove(it->path());
            ASSERT_EQ(::mkfifo(it->path().c_str(), 0600), 0);
        }
    }
    Opens(events); // the making of the pipes

    const auto asleep = ReadWithDeadline(sys);
    ASSERT_TRUE(asleep) << "a read blocks";
    ASSERT_EQ(asleep->size(), 2u);
    EXPECT_TRUE((*asleep)[1].Asleep);
    EXPECT_EQ(Opens(events), 0);

    // Awake, the card is read: its pipes are opened, refused, and not waited for.
    WriteFile(QString::fromStdString((card / "power/runtime_status").string()), "active\n");
    const auto awake = ReadWithDeadline(sys);
    ASSERT_TRUE(awake) << "a read blocks";
    EXPECT_FALSE((*awake)[1].Asleep || (*awake)[1].LoadPercent);
    EXPECT_GT(Opens(events), 0);
    ::close(events);
}

TEST(SysfsSensors, TheSensorsOfACardThatFallsAsleepAreNotReadUntilItWakes)
{
    QTemporaryDir dir;
    const QString sys = CopyMachine("intel_laptop", dir);
    const QString card = sys + QLatin1String(SleepingCard);
    WriteFile(card + "/power/runtime_status", "active\n");
    SysfsSensors source(SensorRoots::Under(sys));
    const auto listed = [&] {
        for (const TemperatureSensorInfo& sensor : source.TemperatureSensors())
            if (sensor.Id == "amdgpu/edge")
                return true;
        return false;
    };
    ASSERT_TRUE(listed());
    EXPECT_EQ(source.ReadTemperature("amdgpu/edge"), 41.0);

    WriteFile(card + "/power/runtime_status", "suspended\n");
    const int events = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    ASSERT_GE(
        ::inotify_add_watch(events, QFile::encodeName(card + "/hwmon/hwmon4").constData(), IN_OPEN),
        0);
    EXPECT_FALSE(source.ReadTemperature("amdgpu/edge").has_value());
    EXPECT_FALSE(listed()); // nor is it looked at when the sensors are looked for
    EXPECT_EQ(Opens(events), 0);
    ::close(events);
    WriteFile(card + "/power/runtime_status", "active\n");
    EXPECT_TRUE(listed());
}

TEST(NvmlGpus, NvidiasCardsAreReadThroughItsLibraryOnlyWhileAwake)
{
    QTemporaryDir dir;
    const QString sys = CopyMachine("nvidia_desktop", dir);
    GpuRoots roots = GpuRoots::Under(sys);
    roots.NvmlLibrary = QStringLiteral(PULSMIR_NVML_STANDIN);
    SharedLibrary standIn(PULSMIR_NVML_STANDIN); // the same library the reader loads
    int (*starts)() = nullptr;
    ASSERT_TRUE(standIn.Resolve("NvmlStandInStarts", starts)) << standIn.Error().toStdString();

    SysfsGpus gpus(roots);
    const std::vector<GpuReading> awake = gpus.ReadGpus();
    ASSERT_EQ(awake.size(), 1u); // its DRM card is not listed again
    EXPECT_EQ(awake[0].Id, "nvidia/0000:01:00.0");
    EXPECT_EQ(awake[0].Model, "NVIDIA GeForce RTX 3060");
    EXPECT_EQ(awake[0].LoadPercent, 42.0);
    EXPECT_EQ(awake[0].LoadKind, "busy");
    EXPECT_EQ(awake[0].MemoryUsedBytes, 3221225472.0);
    EXPECT_EQ(awake[0].MemoryTotalBytes, 12884901888.0);
    EXPECT_EQ(awake[0].Celsius, 61.0);
    EXPECT_EQ(awake[0].PowerWatts, 87.5);
    const int started = starts();
    EXPECT_GE(started, 1);

    const QString status =
        sys + QStringLiteral("/bus/pci/devices/0000:01:00.0/power/runtime_status");
    WriteFile(status, "suspended\n");
    for (const std::vector<GpuReading>& asleep : {gpus.ReadGpus(), SysfsGpus(roots).ReadGpus()}) {
        ASSERT_EQ(asleep.size(), 1u);
        EXPECT_TRUE(asleep[0].Asleep);
        EXPECT_FALSE(asleep[0].LoadPercent.has_value());
    }
    EXPECT_EQ(starts(), started);

    // Without the library the card is still listed, with nothing read.
    WriteFile(status, "active\n");
    roots.NvmlLibrary = sys + QStringLiteral("/libnvidia-ml.so.1");
    const std::vector<GpuReading> bare = SysfsGpus(roots).ReadGpus();
    ASSERT_EQ(bare.size(), 1u);
    EXPECT_FALSE(bare[0].Asleep || bare[0].LoadPercent);
}

TEST(GpuAndFanChoices, TheBusiestAwakeCardAndTheProcessorsFanUnlessTheSettingsNameOthers)
{
    std::vector<GpuReading> cards(3);
    cards[0].Id = "i915/0000:00:02.0";
    cards[0].LoadPercent = 20;
    cards[1].Id = "amdgpu/0000:01:00.0";
    cards[1].Asleep = true;
    cards[2].Id = "xe/0000:03:00.0";
    cards[2].LoadPercent = 60;
    SensorReadings r;
    TakeGpus(r, cards, {});
    EXPECT_EQ(r.Gpu->Id, "xe/0000:03:00.0");
    TakeGpus(r, cards, "amdgpu/0000:01:00.0");
    EXPECT_TRUE(r.Gpu->Asleep);
    EXPECT_EQ(r.GpuAbsence, SensorAbsence::None);
    TakeGpus(r, cards, "nvidia/0000:05:00.0");
    EXPECT_EQ(r.GpuAbsence, SensorAbsence::NotFound);
    TakeGpus(r, {}, {});
    EXPECT_EQ(r.GpuAbsence, SensorAbsence::NoDriver);
    // Impossible values are missing, and weigh nothing in the choice.
    cards[2].LoadPercent = 250;
    cards[2].Celsius = 400;
    cards[2].MemoryUsedBytes = 5;
    cards[2].MemoryTotalBytes = 4;
    TakeGpus(r, cards, "xe/0000:03:00.0");
    EXPECT_EQ(r.GpuAbsence, SensorAbsence::Impossible);
    EXPECT_FALSE(r.Gpu->LoadPercent || r.Gpu->Celsius || r.Gpu->MemoryUsedBytes);
    TakeGpus(r, cards, {});
    EXPECT_EQ(r.Gpu->Id, "i915/0000:00:02.0");

    const auto fans = [](const char* machine, const QString& id) {
        SysfsSensors source(SensorRoots::Under(Machine(machine)));
        std::optional<std::vector<TemperatureSensorInfo>> list;
        SensorChoice choice;
        choice.ReadFans = true;
        choice.FanId = id;
        return ReadSensors(source, choice, list);
    };
    const SensorReadings dell = fans("intel_laptop", {});
    ASSERT_EQ(dell.Fans.size(), 2u);
    EXPECT_EQ(dell.Fan->Id, "dell_smm/Processor Fan"); // not the first, the processor's
    EXPECT_EQ(dell.Fan->Label, "dell_smm Processor Fan");
    EXPECT_EQ(dell.Fan->Rpm, 2405.0);
    EXPECT_EQ(dell.Fan->MaxRpm, 4900.0);
    const SensorReadings desktop = fans("amd_desktop", {});
    ASSERT_EQ(desktop.Fans.size(), 4u);
    EXPECT_EQ(desktop.Fan->Id, "nct6798/fan1"); // no label names the processor's: the first
    EXPECT_EQ(fans("amd_desktop", "nct6798/fan7").FanAbsence, SensorAbsence::Impossible);
    EXPECT_EQ(fans("amd_desktop", "nct6798/fan9").FanAbsence, SensorAbsence::NotFound);
    EXPECT_EQ(fans("none", {}).FanAbsence, SensorAbsence::NoDriver);

    const FanReading card = *fans("amd_desktop", "amdgpu/fan1").Fan;
    EXPECT_EQ(FanPosition(card, 0), 36); // 1180 of the driver's 3300
    EXPECT_EQ(FanPosition(card, 2360), 50);
    EXPECT_EQ(FanPosition({"x/fan1", "x fan1", 1180, {}}, 0), 24); // of the default 5000
}

TEST(SensorSampler, CardsAndFansAreReadOnlyWhenAskedAndALostCardIsLoggedOnce)
{
    EnsureApplication();
    QTemporaryDir dir;
    const QString sys = CopyMachine("amd_desktop", dir);
    LogCapture log(QStringLiteral("(Sensors) "));
    TSensorSampler sampler(std::make_unique<SysfsSensors>(SensorRoots::Under(sys)), log.Writer(),
                           std::make_unique<SysfsGpus>(GpuRoots::Under(sys)));
    sampler.Start();
    ASSERT_TRUE(RunUntil([&] { return sampler.Generation() > 0; }, 10000));
    EXPECT_TRUE(sampler.Latest().Gpus.empty() && sampler.Latest().Fans.empty());
    EXPECT_EQ(sampler.Latest().GpuAbsence, SensorAbsence::NotRead);
    EXPECT_EQ(sampler.Latest().FanAbsence, SensorAbsence::NotRead);

    SensorChoice choice;
    choice.ReadGpus = choice.ReadFans = true;
    choice.FanId = "amdgpu/fan1";
    sampler.SetChoice(choice);
    ASSERT_TRUE(RunUntil([&] { return sampler.Latest().Gpu.has_value(); }, 10000));
    EXPECT_EQ(sampler.Latest().Gpu->LoadPercent, 37.0);
    EXPECT_EQ(sampler.Latest().Fan->Rpm, 1180.0);

    QFile::remove(sys + "/devices/pci0000:00/0000:00:03.1/0000:0b:00.0/gpu_busy_percent");
    ASSERT_TRUE(RunUntil([&] { return !sampler.Latest().Gpu->LoadPercent; }, 10000));
    const std::uint64_t lost = sampler.Generation();
    ASSERT_TRUE(RunUntil([&] { return sampler.Generation() >= lost + 2; }, 10000));
    EXPECT_EQ(sampler.Latest().GpuAbsence, SensorAbsence::NoValue);
    EXPECT_EQ(log.Lines().filter("Sensor gone"),
              QStringList{"<WARNING>Sensor gone : graphics card (amdgpu/0000:0b:00.0 AMD 0x73bf)"});

    // The options' survey lists every card and fan, whatever the choice reads.
    std::optional<SensorSurvey> survey;
    sampler.OnSurvey = [&](const SensorSurvey& s) { survey = s; };
    sampler.RequestSurvey({});
    ASSERT_TRUE(RunUntil([&] { return survey.has_value(); }, 10000));
    EXPECT_EQ(survey->Gpus.size(), 1u);
    EXPECT_EQ(survey->Fans.size(), 4u);
}
