#include "platform/ProcessControl.h"

#include <malloc.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

bool SetProcessHighPriority(bool high)
{
    // HIGH_PRIORITY_CLASS sits well above normal; nice -10 is the same step on Linux.
    return setpriority(PRIO_PROCESS, 0, high ? -10 : 0) == 0;
}

bool SetShutdownFirst()
{
    return false;
}

bool CanCreateTcpSocket()
{
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
    if (fd < 0)
        return false;
    ::close(fd);
    return true;
}

void ReturnFreedMemory()
{
#if defined(__GLIBC__)
    malloc_trim(0);
#endif
}

void KeepLargeBlocksOutOfTheHeap()
{
#if defined(__GLIBC__)
    // Setting it at all stops the allocator from moving it.
    mallopt(M_MMAP_THRESHOLD, 128 * 1024);
#endif
}
