// The sensors' cost: one reading of temperature, battery and disk space, as the sampler takes
// it once a second, so the time of one iteration is their cost per second of running.
// On the fixture machine (an AMD laptop with a battery on mains, copied into tmpfs), its files
// held open as sysfs files are and, as an upper bound, opened anew at every read; and on this
// machine's own /sys. The graphics cards and fans the same way, on the AMD desktop and the Intel
// laptop with its sleeping second card.
#include "core/SensorSampler.h"
#include "platform/linux/SysfsGpus.h"
#include "platform/linux/SysfsSensors.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <filesystem>

namespace {

bool CopyTree(const QString& from, const QString& to)
{
    QDirIterator it(from, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString file = it.next();
        const QString target = to + file.mid(from.size());
        if (!QDir().mkpath(QFileInfo(target).absolutePath()) || !QFile::copy(file, target))
            return false;
    }
    return true;
}

void Read(benchmark::State& state, SysfsSensors& source)
{
    const SensorChoice choice{{}, QDir::homePath()};
    std::optional<std::vector<TemperatureSensorInfo>> sensors;
    const auto read = [&] {
        SensorReadings readings = ReadSensors(source, choice, sensors);
        TakeDiskSpace(readings, choice.DiskPath, source.ReadDiskSpace(choice.DiskPath));
        return readings;
    };
    SensorReadings readings = read();
    for (auto _ : state) {
        readings = read();
        benchmark::DoNotOptimize(readings);
    }
    state.counters["temperature"] = readings.Temperature.value_or(-1);
    state.counters["battery"] = readings.BatteryPercent.value_or(-1);
    state.counters["disk"] = readings.DiskUsedPercent.value_or(-1);
}

void BM_ReadSensorsFixtureMachine(benchmark::State& state, ProcFile::Hold hold)
{
    QTemporaryDir sys(QStringLiteral("/dev/shm/pulsmir-bench-XXXXXX"));
    if (!sys.isValid() ||
        !CopyTree(QStringLiteral(PULSMIR_FIXTURE_DIR "/sys/amd_laptop"), sys.path())) {
        state.SkipWithError("cannot copy the fixture machine into /dev/shm");
        return;
    }
    SensorRoots roots = SensorRoots::Under(sys.path());
    roots.FileHold = hold;
    SysfsSensors source(roots);
    Read(state, source);
}
BENCHMARK_CAPTURE(BM_ReadSensorsFixtureMachine, held_open, ProcFile::Hold::Always)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_ReadSensorsFixtureMachine, opened_each_read,
                  ProcFile::Hold::OnKernelFileSystems)
    ->Unit(benchmark::kMicrosecond);

void ReadCardsAndFans(benchmark::State& state, SysfsSensors& sensors, SysfsGpus& gpus)
{
    SensorReadings readings;
    const auto read = [&] {
        TakeGpus(readings, gpus.ReadGpus(), {});
        TakeFans(readings, sensors.ReadFans(), {});
    };
    read();
    for (auto _ : state) {
        read();
        benchmark::DoNotOptimize(readings);
    }
    state.counters["cards"] = double(readings.Gpus.size());
    state.counters["fans"] = double(readings.Fans.size());
    state.counters["load"] = readings.Gpu ? readings.Gpu->LoadPercent.value_or(-1) : -1;
}

void BM_ReadCardsAndFansFixtureMachine(benchmark::State& state, const char* machine)
{
    QTemporaryDir sys(QStringLiteral("/dev/shm/pulsmir-bench-XXXXXX"));
    std::error_code error;
    std::filesystem::copy(
        std::string(PULSMIR_FIXTURE_DIR "/sys/") + machine, sys.path().toStdString() + "/sys",
        std::filesystem::copy_options::recursive | std::filesystem::copy_options::copy_symlinks,
        error);
    if (!sys.isValid() || error) {
        state.SkipWithError("cannot copy the fixture machine into /dev/shm");
        return;
    }
    SensorRoots roots = SensorRoots::Under(sys.path() + "/sys");
    roots.FileHold = ProcFile::Hold::Always;
    GpuRoots gpuRoots = GpuRoots::Under(sys.path() + "/sys");
    gpuRoots.FileHold = ProcFile::Hold::Always;
    SysfsSensors sensors(roots);
    SysfsGpus gpus(gpuRoots);
    ReadCardsAndFans(state, sensors, gpus);
}
BENCHMARK_CAPTURE(BM_ReadCardsAndFansFixtureMachine, amd_desktop, "amd_desktop")
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_ReadCardsAndFansFixtureMachine, intel_laptop, "intel_laptop")
    ->Unit(benchmark::kMicrosecond);

void BM_ReadCardsAndFansThisMachine(benchmark::State& state)
{
    SysfsSensors sensors;
    SysfsGpus gpus;
    ReadCardsAndFans(state, sensors, gpus);
}
BENCHMARK(BM_ReadCardsAndFansThisMachine)->Unit(benchmark::kMicrosecond);

void BM_ReadSensorsThisMachine(benchmark::State& state)
{
    SysfsSensors source;
    Read(state, source);
}
BENCHMARK(BM_ReadSensorsThisMachine)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
