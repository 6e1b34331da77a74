// Stands in for NVIDIA's management library, which needs the vendor's driver and card: the same
// entry points, with one card of fixed values. Loaded by path the way the real one is by soname.
// NvmlStandInStarts() counts the library's starts, so a test can tell it was not asked.
#include <atomic>
#include <cstring>

namespace {

std::atomic<int> starts{0};
std::atomic<int> running{0};

int card; // its address is the card's handle

bool Usable(const void* device)
{
    return running.load() > 0 && device == &card;
}

} // namespace

extern "C" {

struct Utilization
{
    unsigned int Gpu;
    unsigned int Memory;
};

struct Memory
{
    unsigned long long Total;
    unsigned long long Free;
    unsigned long long Used;
};

__attribute__((visibility("default"))) int NvmlStandInStarts()
{
    return starts.load();
}

__attribute__((visibility("default"))) int nvmlInit_v2()
{
    ++starts;
    ++running;
    return 0;
}

__attribute__((visibility("default"))) int nvmlShutdown()
{
    return running.fetch_sub(1) > 0 ? 0 : 1; // 1: not started
}

__attribute__((visibility("default"))) int nvmlDeviceGetCount_v2(unsigned int* count)
{
    if (running.load() <= 0)
        return 1;
    *count = 1;
    return 0;
}

__attribute__((visibility("default"))) int nvmlDeviceGetHandleByIndex_v2(unsigned int index,
                                                                         void** device)
{
    if (running.load() <= 0 || index != 0)
        return 2; // invalid argument
    *device = &card;
    return 0;
}

__attribute__((visibility("default"))) int nvmlDeviceGetName(void* device, char* name,
                                                             unsigned int length)
{
    const char model[] = "NVIDIA GeForce RTX 3060";
    if (!Usable(device) || length < sizeof model)
        return 7; // insufficient size
    std::memcpy(name, model, sizeof model);
    return 0;
}

__attribute__((visibility("default"))) int nvmlDeviceGetUtilizationRates(void* device,
                                                                         Utilization* rates)
{
    if (!Usable(device))
        return 2;
    *rates = {42, 17};
    return 0;
}

__attribute__((visibility("default"))) int nvmlDeviceGetMemoryInfo(void* device, Memory* memory)
{
    if (!Usable(device))
        return 2;
    *memory = {12884901888ull, 9663676416ull, 3221225472ull};
    return 0;
}

__attribute__((visibility("default"))) int nvmlDeviceGetTemperature(void* device, int sensor,
                                                                    unsigned int* celsius)
{
    if (!Usable(device) || sensor != 0)
        return 2;
    *celsius = 61;
    return 0;
}

__attribute__((visibility("default"))) int nvmlDeviceGetPowerUsage(void* device,
                                                                   unsigned int* milliwatts)
{
    if (!Usable(device))
        return 2;
    *milliwatts = 87500;
    return 0;
}
}
