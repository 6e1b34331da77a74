#include "platform/linux/NvmlGpus.h"

#include <QFile>

namespace {

// The few types of the library's public interface that are used here.
using NvmlReturn = int;
constexpr NvmlReturn NvmlSuccess = 0;
using NvmlDevice = struct NvmlDeviceHandle*;
struct NvmlUtilization
{
    unsigned int Gpu;
    unsigned int Memory;
};
struct NvmlMemory
{
    unsigned long long Total;
    unsigned long long Free;
    unsigned long long Used;
};
constexpr int NvmlTemperatureGpu = 0;
constexpr unsigned NvmlNameSize = 96;

} // namespace

struct NvmlGpus::Functions
{
    NvmlReturn (*Init)();
    NvmlReturn (*Shutdown)();
    NvmlReturn (*GetCount)(unsigned*);
    NvmlReturn (*GetHandleByIndex)(unsigned, NvmlDevice*);
    NvmlReturn (*GetName)(NvmlDevice, char*, unsigned);
    NvmlReturn (*GetUtilizationRates)(NvmlDevice, NvmlUtilization*);
    NvmlReturn (*GetMemoryInfo)(NvmlDevice, NvmlMemory*);
    NvmlReturn (*GetTemperature)(NvmlDevice, int, unsigned*);
    NvmlReturn (*GetPowerUsage)(NvmlDevice, unsigned*);
};

NvmlGpus::NvmlGpus(const QString& library) : m_library(QFile::encodeName(library).constData())
{
    const auto loaded = LoadFunctions<Functions>(m_library, [](SharedLibrary& l, Functions& f) {
        return l.Resolve("nvmlInit_v2", f.Init) && l.Resolve("nvmlShutdown", f.Shutdown) &&
               l.Resolve("nvmlDeviceGetCount_v2", f.GetCount) &&
               l.Resolve("nvmlDeviceGetHandleByIndex_v2", f.GetHandleByIndex) &&
               l.Resolve("nvmlDeviceGetName", f.GetName) &&
               l.Resolve("nvmlDeviceGetUtilizationRates", f.GetUtilizationRates) &&
               l.Resolve("nvmlDeviceGetMemoryInfo", f.GetMemoryInfo) &&
               l.Resolve("nvmlDeviceGetTemperature", f.GetTemperature) &&
               l.Resolve("nvmlDeviceGetPowerUsage", f.GetPowerUsage);
    });
    if (const Functions* functions = loaded.Get())
        m_functions = std::make_unique<Functions>(*functions);
    m_error = loaded.Error;
}

NvmlGpus::~NvmlGpus()
{
    Close();
}

void NvmlGpus::Close()
{
    if (m_open)
        m_functions->Shutdown();
    m_open = false;
}

std::vector<GpuReading> NvmlGpus::Read()
{
    std::vector<GpuReading> gpus;
    if (!m_functions)
        return gpus;
    const Functions& f = *m_functions;
    if (!m_open) {
        if (const NvmlReturn result = f.Init(); result != NvmlSuccess) {
            m_error = QStringLiteral("the library did not start (%1)").arg(result);
            return gpus;
        }
        m_open = true;
    }
    unsigned count = 0;
    if (f.GetCount(&count) != NvmlSuccess)
        return gpus;
    for (unsigned i = 0; i < std::min(count, MaxCards); ++i) {
        GpuReading gpu;
        gpu.Id = QStringLiteral("nvidia/%1").arg(i);
        gpu.Driver = QStringLiteral("nvidia");
        NvmlDevice device = nullptr;
        if (f.GetHandleByIndex(i, &device) == NvmlSuccess) {
            char name[NvmlNameSize] = {};
            if (f.GetName(device, name, sizeof name - 1) == NvmlSuccess)
                gpu.Model = QString::fromUtf8(name, qsizetype(qstrnlen(name, sizeof name)));
            NvmlUtilization utilization{};
            if (f.GetUtilizationRates(device, &utilization) == NvmlSuccess) {
                gpu.LoadPercent = utilization.Gpu;
                gpu.LoadKind = QStringLiteral("busy");
            }
            NvmlMemory memory{};
            if (f.GetMemoryInfo(device, &memory) == NvmlSuccess) {
                gpu.MemoryUsedBytes = double(memory.Used);
                gpu.MemoryTotalBytes = double(memory.Total);
            }
            unsigned value = 0;
            if (f.GetTemperature(device, NvmlTemperatureGpu, &value) == NvmlSuccess)
                gpu.Celsius = value;
            if (f.GetPowerUsage(device, &value) == NvmlSuccess)
                gpu.PowerWatts = value / 1000.0; // milliwatts
        }
        gpus.push_back(std::move(gpu));
    }
    return gpus;
}
