#pragma once

#include "core/SensorReadings.h"
#include "log/DebugLog.h"

#include <QThread>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

class SensorSource;

// What the sensors are read for: the temperature sensor's id (empty: the automatic choice)
// and the path whose file system's space is shown (empty: none).
struct SensorChoice
{
    QString TemperatureId;
    QString DiskPath;

    bool operator==(const SensorChoice&) const = default;
};

// Reads the sensors once now, on the calling thread: the status snapshot and the tools. The
// list of temperature sensors is made when sensors holds none, and kept there for the next call.
SensorReadings ReadSensors(SensorSource& source, const SensorChoice& choice,
                           std::optional<std::vector<TemperatureSensorInfo>>& sensors);

// Reads the sensors once a second on a thread of its own, since a battery's firmware or a
// sleeping disk may take long to answer, and hands each reading to the thread that owns the
// sampler, where Latest() holds it for the sampling tick. A sensor that disappears is logged
// once, and once more only after it came back.
class TSensorSampler : public QThread
{
public:
    static constexpr int IntervalMs = 1000;

    TSensorSampler(std::unique_ptr<SensorSource> source, TaggedLog log);
    ~TSensorSampler() override;

    void SetChoice(const SensorChoice& choice);
    // Starts reading (at once, then every interval); Stop ends the thread and waits for it.
    void Start();
    void Stop();

    const SensorReadings& Latest() const { return m_latest; }
    // Counts the readings taken; the tick compares it to see whether anything is new.
    std::uint64_t Generation() const { return m_generation; }
    // Called on the owner's thread after each reading.
    std::function<void()> OnReading;

private:
    void run() override;
    void Publish(const SensorReadings& readings);

    std::unique_ptr<SensorSource> m_source;
    TaggedLog m_log;
    std::mutex m_lock;
    std::condition_variable m_wake;
    SensorChoice m_choice;   // under m_lock
    bool m_rechoose = false; // under m_lock
    SensorReadings m_latest;
    std::uint64_t m_generation = 0;
};
