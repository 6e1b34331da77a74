#pragma once

#include "platform/Sensors.h"
#include "remote/NodeExporterFigures.h"

#include <memory>
#include <mutex>

// The sensor figures of an exporter's last reply, handed from the window's thread, where the
// replies come, to the sensor sampler's thread, which reads them.
struct RemoteSensorFigures
{
    std::mutex Lock;
    NodeExporterFigures Figures; // its temperatures, power supplies and file systems only
    bool Present = false;        // false while the machine does not answer

    void Take(const NodeExporterFigures& figures);
    void Lose();
};

// Another machine's temperatures, batteries and file-system space, as its exporter last told
// them; none while it does not answer, as on a machine without the sensors. Its fans are not
// among what the exporter's figures give.
class RemoteSensors : public SensorSource
{
public:
    explicit RemoteSensors(std::shared_ptr<RemoteSensorFigures> figures)
        : m_figures(std::move(figures))
    {}

    std::vector<TemperatureSensorInfo> TemperatureSensors() override;
    std::optional<double> ReadTemperature(const QString& id) override;
    PowerSupplies ReadPowerSupplies() override;
    DiskSpaceReading ReadDiskSpace(const QString& path) override;
    std::vector<FanReading> ReadFans() override { return {}; }

private:
    std::shared_ptr<RemoteSensorFigures> m_figures;
};
