#pragma once

#include <QString>
#include <optional>
#include <vector>

// One graphics processor as its driver reports it. Id names it in the settings and stays the
// same across boots: the driver and the card's PCI address ("amdgpu/0000:03:00.0"). A card its
// driver has suspended is listed Asleep with nothing read from it, since any read wakes it.
struct GpuReading
{
    QString Id;
    QString Driver; // "amdgpu", "i915", "xe", "nvidia"
    QString Model;  // the product's name where it is known, else its vendor and device ids
    bool Asleep = false;
    std::optional<double> LoadPercent;
    // What LoadPercent measures: "busy" (the driver's own busy share), "frequency" (the
    // actual clock against the highest), "engine busy" (the engines' busy time).
    QString LoadKind;
    std::optional<double> MemoryUsedBytes, MemoryTotalBytes;
    std::optional<double> Celsius;
    std::optional<double> FanRpm;
    std::optional<double> PowerWatts;

    // "amdgpu/0000:03:00.0 AMD 0x73bf".
    QString Label() const { return Model.isEmpty() ? Id : Id + u' ' + Model; }
};

// The graphics processors of the machine. A read may be slow (a vendor library, a card's
// firmware), so callers keep it off the window's thread.
class GpuSource
{
public:
    virtual ~GpuSource() = default;

    // Every card, in a stable order, read once now.
    virtual std::vector<GpuReading> ReadGpus() = 0;
};
