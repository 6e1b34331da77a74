#include "platform/SystemMemory.h"

#include <sys/sysinfo.h>

quint64 AvailablePhysicalMemoryBytes()
{
    struct sysinfo info = {};
    if (sysinfo(&info) != 0)
        return 0;
    return (static_cast<quint64>(info.freeram) + info.bufferram) * info.mem_unit;
}
