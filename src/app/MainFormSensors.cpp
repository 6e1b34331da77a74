// The main window's sensors: temperature, battery, disk space, the graphics card and the fan,
// read for a skin that shows them and fed to the tick, the renderer and the status snapshot;
// and the busiest processes, read while the status tip or a text of the skin shows them.
#include "app/MainForm.h"
#include "app/MachineInputs.h"
#include "core/PerfCore.h"
#include "core/SensorSampler.h"
#include "platform/MachineSource.h"
#include "platform/linux/ProcProcesses.h"
#include "ui/STips.h"

#include <QDir>

namespace {

QString DiskSpacePathOf(const TSettings& settings)
{
    return settings.DiskSpacePath.isEmpty() ? QDir::homePath() : settings.DiskSpacePath;
}

int Whole(const std::optional<int>& value)
{
    return value.value_or(SkinRenderInputs::NoSensorValue);
}

// A run without a window waits this long at most for its first reading, beyond the disk-space
// deadline, so that it ends on time whatever a sensor does.
constexpr int HeadlessWaitMs = TSensorSampler::DiskDeadlineMs + 1000;

} // namespace

void TMainPForm::ApplySensors()
{
    // A skin without sensor elements costs nothing: no thread, no reads. The status snapshot
    // of a run without a window always has them.
    const bool headless = m_runMode == RunMode::Headless;
    // Cards and fans are read for a skin that shows them, and for the status snapshot of a run
    // without a window.
    const bool gpus = headless || (m_skinLoaded && ShowsGpu(m_skin));
    const bool fans = headless || (m_skinLoaded && ShowsFan(m_skin));
    if (!headless && !gpus && !fans && (!m_skinLoaded || !ShowsSensors(m_skin))) {
        if (m_sensors)
            m_sensors->Stop();
        return;
    }
    Sensors().SetChoice({m_settings.TempSensor, DiskSpacePathOf(m_settings), m_settings.GpuId,
                         m_settings.FanId, gpus, fans});
    m_sensors->Start();
    ApplyProcesses();
}

TSensorSampler& TMainPForm::Sensors()
{
    if (!m_sensors)
        m_sensors = std::make_unique<TSensorSampler>(
            m_machine->MakeSensors(), TaggedLog(&m_log, QStringLiteral("(Sensors) ")),
            m_machine->MakeGpus());
    return *m_sensors;
}

TProcessSampler& TMainPForm::Processes()
{
    if (!m_processes)
        m_processes = std::make_unique<TProcessSampler>(
            std::make_unique<ProcProcesses>(ProcProcesses::RootFromEnvironment()),
            TaggedLog(&m_log, QStringLiteral("(Processes) ")));
    return *m_processes;
}

void TMainPForm::ApplyProcesses()
{
    if ((m_stips && m_stips->isVisible()) || (m_skinLoaded && ShowsProcesses(m_skin)))
        Processes().Start();
    else if (m_processes)
        m_processes->Stop();
}

void TMainPForm::TakeSensorReadings()
{
    if (m_runMode == RunMode::Headless) {
        if (m_sensors)
            m_sensorValues = m_sensors->WaitForReading(HeadlessWaitMs);
        return;
    }
    if (m_sensors && m_sensors->Running()) {
        // Taken only when the sampler has read anew, about once a second.
        if (m_sensors->Generation() != m_sensorGeneration) {
            m_sensorGeneration = m_sensors->Generation();
            m_sensorValues = m_sensors->Latest();
        }
    } else if (m_sensorGeneration != 0) {
        m_sensorGeneration = 0;
        m_sensorValues = {};
    }
}

int TMainPForm::TempPosition() const
{
    return m_sensorValues.Temperature
               ? TemperaturePosition(*m_sensorValues.Temperature, m_settings.TempRangeLow,
                                     m_settings.TempRangeHigh)
               : 0;
}

void TMainPForm::FillSensorInputs()
{
    const SensorReadings& sensors = m_sensorValues;
    SkinRenderInputs& in = m_inputs;
    in.TempPos = TempPosition();
    in.Temperature = sensors.Temperature ? std::max(int(std::lround(*sensors.Temperature)), 0)
                                         : SkinRenderInputs::NoSensorValue;
    in.TempAlarm = sensors.Temperature && *sensors.Temperature >= m_settings.TempAlarm;
    in.BatteryPercent = Whole(sensors.BatteryPercent);
    in.BatteryCharging = sensors.BatteryPercent && sensors.BatteryCharging;
    in.DiskSpacePercent = Whole(sensors.DiskUsedPercent);
    FillGpuAndFanInputs(sensors, m_settings, in);
    static const std::vector<ProcessShare> noProcesses;
    if (!m_textValues)
        m_textValues = std::make_unique<TTextValueFeed>();
    m_textValues->Fill(sensors, m_processes ? m_processes->Latest() : noProcesses,
                       m_skinLoaded && ShowsTextValue(m_skin, SkinTextValue::NetAddress), in);
}
