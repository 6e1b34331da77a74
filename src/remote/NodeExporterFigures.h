#pragma once

#include "platform/Sensors.h"
#include "platform/linux/ProcStats.h"

#include <QString>
#include <QStringList>
#include <vector>

class CounterContinuity;
class ExpositionSamples;

struct RemoteTemperature
{
    TemperatureSensorInfo Info;
    double Celsius = 0;
};

struct RemoteFileSystem
{
    QString MountPoint;
    DiskSpace Space;
};

// Another machine's figures from its node_exporter reply, in the very records this machine's
// readers fill from /proc and /sys, so the measurement core takes them the same way: processor
// times in the machine's clock ticks, memory in kilobytes, disk transfers in 512-byte sectors,
// temperature sensors under the ids the local sensors would have.
struct NodeExporterFigures
{
    // node_exporter turns ticks into seconds at USER_HZ, which is 100 on every Linux machine.
    static constexpr double TicksPerSecond = 100;

    CpuTimes Total; // the sum of the processors, as /proc/stat's "cpu" line
    std::vector<CpuTimes> Cpus;
    MemInfo Memory;
    bool HasMemory = false;
    std::vector<DiskStats> Disks; // whole disks only, as the local reader keeps them
    std::vector<NetDevStats> Interfaces;
    QStringList Loopback; // left out of Interfaces
    std::vector<RemoteTemperature> Temperatures;
    PowerSupplies Power;
    std::vector<RemoteFileSystem> FileSystems;

    static NodeExporterFigures FromSamples(const ExpositionSamples& samples);

    // Makes the counters continue those of the last scrape across resets and missing devices.
    void ContinueCounters(CounterContinuity& continuity);
    // The space of the file system a path is on: that of the longest mount point holding it.
    DiskSpaceReading DiskSpaceAt(const QString& path) const;
    std::optional<double> Temperature(const QString& id) const;
};
