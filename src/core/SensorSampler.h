#pragma once

#include "core/SensorReadings.h"
#include "log/DebugLog.h"

#include <QObject>
#include <functional>
#include <memory>

class GpuSource;
class SensorSource;

// What the sensors are read for: the temperature sensor's id (empty: the automatic choice),
// the path whose file system's space is shown (empty: none), and the graphics card and fan
// (empty: the automatic choice), which are read only while something shows them.
struct SensorChoice
{
    QString TemperatureId;
    QString DiskPath;
    QString GpuId = {};
    QString FanId = {};
    bool ReadGpus = false;
    bool ReadFans = false;

    bool operator==(const SensorChoice&) const = default;
};

// Reads the temperature, the batteries and, when the choice asks for them, the fans once now,
// on the calling thread; the disk space and the graphics cards are left to the caller. The list of
// temperature sensors is made when sensors holds none, and kept there for the next call.
SensorReadings ReadSensors(SensorSource& source, const SensorChoice& choice,
                           std::optional<std::vector<TemperatureSensorInfo>>& sensors);
// The disk-space part of the readings; no space is a read that did not end in time.
void TakeDiskSpace(SensorReadings& readings, const QString& path,
                   const std::optional<DiskSpaceReading>& space);

// Reads the sensors once a second on a thread of its own, since a battery's firmware or a
// sleeping disk may take long to answer, and hands each reading to the thread that owns the
// sampler, where Latest() holds it for the sampling tick. The disk space is read on a thread
// of its own again with a deadline: statvfs on a network file system that stopped answering
// may never return. Neither thread is ever waited for: one stuck in the kernel ends on its own
// once the read returns, holding what it uses. The graphics cards are read the same way, since a
// vendor's library may hang with its driver. A sensor that disappears is logged once, and
// once more only after it came back; a chosen one is looked for again until it is back.
class TSensorSampler : public QObject
{
public:
    static constexpr int IntervalMs = 1000;
    // A disk-space read that takes longer counts as not answering.
    static constexpr int DiskDeadlineMs = 2000;
    // So does a reading of the graphics cards.
    static constexpr int GpuDeadlineMs = 2000;
    // A sensor that is not there is looked for again after this many readings.
    static constexpr int RescanAfterReads = 3;

    // gpus may be none: the readings then have no graphics card.
    TSensorSampler(std::unique_ptr<SensorSource> source, TaggedLog log,
                   std::unique_ptr<GpuSource> gpus = nullptr);
    ~TSensorSampler() override;

    void SetChoice(const SensorChoice& choice);
    // Start reads at once, then every interval; Stop pauses the reading and returns at once.
    void Start();
    void Stop();
    bool Running() const { return m_running; }

    const SensorReadings& Latest() const { return m_latest; }
    // Counts the readings taken; the tick compares it to see whether anything is new.
    std::uint64_t Generation() const { return m_generation; }
    // Called on the owner's thread after each reading.
    std::function<void()> OnReading;

    // Waits at most timeoutMs for the first reading and returns the latest: for a run without
    // a window, which has to end on time whatever a sensor does. Sensors still unread by then
    // are not answering.
    SensorReadings WaitForReading(int timeoutMs);

    // Looks through the system again and reads every temperature sensor, graphics card and fan
    // and the given path's disk space, even while stopped; OnSurvey gets the result on the owner's
    // thread.
    void RequestSurvey(const QString& diskPath);
    const SensorSurvey& LastSurvey() const { return m_survey; }
    std::function<void(const SensorSurvey&)> OnSurvey;

private:
    struct Shared;
    // Takes its own reference: what the thread uses stays while it runs, the sampler gone or not.
    static void Run(std::shared_ptr<Shared> shared);
    void StartThread();
    void Publish(const SensorReadings& readings);

    std::shared_ptr<Shared> m_shared;
    TaggedLog m_log;
    bool m_running = false;
    bool m_threadStarted = false;
    bool m_waited = false;
    SensorReadings m_latest;
    std::uint64_t m_generation = 0;
    SensorSurvey m_survey;
};
