#pragma once

#include "support/IsolatedChild.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <net/if.h>
#include <optional>
#include <sched.h>
#include <string>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

// Runs a piece of a test in a child process inside a network namespace of its own, holding
// nothing but a loopback interface: nothing sent there can leave the machine.
class IsolatedNetwork
{
public:
    bool LoopbackUp = true;
    bool IgnoreEchoes = false;               // net.ipv4.icmp_echo_ignore_all
    std::string PingGroups = "0 2147483647"; // net.ipv4.ping_group_range
    std::string WhyNot; // set when no namespace could be made; the test then skips

    template <typename T> std::optional<T> Run(const std::function<T()>& body)
    {
        return RunInIsolatedChild<T>([this] { return Enter(); }, body, WhyNot);
    }

private:
    std::string Enter() const
    {
        // Root may make a network namespace directly; others through a user namespace.
        if (::unshare(CLONE_NEWNET) != 0 && ::unshare(CLONE_NEWUSER | CLONE_NEWNET) != 0)
            return std::string("network namespaces unavailable: ") + std::strerror(errno);
        if (LoopbackUp) {
            const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
            ifreq request{};
            std::strcpy(request.ifr_name, "lo");
            const bool up = fd >= 0 && ::ioctl(fd, SIOCGIFFLAGS, &request) == 0 &&
                            (request.ifr_flags |= IFF_UP, ::ioctl(fd, SIOCSIFFLAGS, &request) == 0);
            if (fd >= 0)
                ::close(fd);
            if (!up)
                return "cannot bring the loopback up in the namespace";
        }
        if (IgnoreEchoes && !WriteProcSetting("/proc/sys/net/ipv4/icmp_echo_ignore_all", "1"))
            return "cannot switch echo replies off in the namespace";
        if (!WriteProcSetting("/proc/sys/net/ipv4/ping_group_range", PingGroups))
            return "cannot set ping_group_range in the namespace";
        return {};
    }
};
