#include "remote/RemoteSensors.h"

void RemoteSensorFigures::Take(const NodeExporterFigures& figures)
{
    const std::scoped_lock lock(Lock);
    Figures.Temperatures = figures.Temperatures;
    Figures.Power = figures.Power;
    Figures.FileSystems = figures.FileSystems;
    Present = true;
}

void RemoteSensorFigures::Lose()
{
    const std::scoped_lock lock(Lock);
    Present = false;
}

std::vector<TemperatureSensorInfo> RemoteSensors::TemperatureSensors()
{
    const std::scoped_lock lock(m_figures->Lock);
    std::vector<TemperatureSensorInfo> sensors;
    if (m_figures->Present)
        for (const RemoteTemperature& temperature : m_figures->Figures.Temperatures)
            sensors.push_back(temperature.Info);
    return sensors;
}

std::optional<double> RemoteSensors::ReadTemperature(const QString& id)
{
    const std::scoped_lock lock(m_figures->Lock);
    if (!m_figures->Present)
        return std::nullopt;
    return m_figures->Figures.Temperature(id);
}

PowerSupplies RemoteSensors::ReadPowerSupplies()
{
    const std::scoped_lock lock(m_figures->Lock);
    return m_figures->Present ? m_figures->Figures.Power : PowerSupplies();
}

DiskSpaceReading RemoteSensors::ReadDiskSpace(const QString& path)
{
    const std::scoped_lock lock(m_figures->Lock);
    // Not there at all while the machine does not answer, rather than a path it lacks.
    if (!m_figures->Present)
        return {std::nullopt, true};
    return m_figures->Figures.DiskSpaceAt(path);
}
