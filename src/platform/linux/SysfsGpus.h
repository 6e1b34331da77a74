#pragma once

#include "platform/Gpus.h"
#include "platform/linux/ProcStats.h"

#include <QString>
#include <memory>
#include <vector>

class NvmlGpus;

// Where the graphics processors are found; tests hand in fixture trees and a stand-in for
// NVIDIA's management library.
struct GpuRoots
{
    QString Drm = QStringLiteral("/sys/class/drm");
    QString PciDevices = QStringLiteral("/sys/bus/pci/devices");
    QString EventSources = QStringLiteral("/sys/bus/event_source/devices");
    QString NvmlLibrary = QStringLiteral("libnvidia-ml.so.1");
    // As SensorRoots::FileHold: a copy of a machine rewritten in place may hold files open.
    ProcFile::Hold FileHold = ProcFile::Hold::OnKernelFileSystems;

    // The folders under a tree that stands for /sys.
    static GpuRoots Under(const QString& sys);
    // /sys, or the tree PULSMIR_SYSFS names (the end-to-end tests' machines).
    static GpuRoots FromEnvironment();
};

// The cards of the kernel's display drivers (amdgpu, i915, xe and the others under
// /sys/class/drm) read from their sysfs files (i915's engine busy time from its performance
// events where the system allows them, else its frequency), and NVIDIA's through its management
// library, loaded at the first awake card bound to its driver. A card whose runtime power state is
// "suspended" is never read, from its files or through the library: that would wake it. Only
// its status file is read, and the link naming its driver. The files read every second stay
// open as SysfsSensors' do; only regular files of at most MaxSysfsFileSize bytes are read,
// without blocking.
class SysfsGpus : public GpuSource
{
public:
    // The cards are looked for again every RescanEvery reads, and whenever a file fails.
    static constexpr int RescanEvery = 30;

    explicit SysfsGpus(GpuRoots roots = {});
    ~SysfsGpus() override;

    std::vector<GpuReading> ReadGpus() override;

private:
    struct Card;
    void Scan();
    void ReadNvidia(std::vector<GpuReading>& gpus);

    GpuRoots m_roots;
    std::vector<std::unique_ptr<Card>> m_cards;
    std::vector<std::unique_ptr<Card>> m_nvidiaCards; // on the PCI bus, by address
    std::unique_ptr<NvmlGpus> m_nvml;
    int m_readsUntilRescan = 0;
};
