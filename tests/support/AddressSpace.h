#pragma once

#include <QByteArray>
#include <QFile>
#include <QList>
#include <cstdint>
#include <cstdlib>
#include <functional>

// AddressSanitizer pads every block and keeps freed ones in quarantine: there the address space
// tells nothing of what the code itself holds at most.
#if defined(__SANITIZE_ADDRESS__)
#define PULSMIR_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define PULSMIR_ADDRESS_SANITIZER 1
#endif
#endif

// The size of this process's address space in bytes, by a field of /proc/self/status
// ("VmSize" now, "VmPeak" the highest it was); -1 when the field is missing.
inline std::int64_t AddressSpaceBytes(const char* field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray prefix = QByteArray(field) + ':';
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(prefix))
            return line.mid(prefix.size()).trimmed().split(' ').value(0).toLongLong() * 1024;
    return -1;
}

// For a death test: runs `work`, then exits with status 0 when the address space never grew by
// `limit` bytes while it ran, 1 when it did. A buffer set aside and freed again leaves no other
// trace; and only in a freshly forked child does the peak start at the present size.
[[noreturn]] inline void ExitWithPeakGrowthBelow(std::int64_t limit,
                                                 const std::function<void()>& work)
{
    const std::int64_t before = AddressSpaceBytes("VmSize");
    work();
    const std::int64_t peak = AddressSpaceBytes("VmPeak");
    std::_Exit(before > 0 && peak - before < limit ? 0 : 1);
}
