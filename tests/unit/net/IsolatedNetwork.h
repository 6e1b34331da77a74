#pragma once

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
#include <sys/wait.h>
#include <type_traits>
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
        static_assert(std::is_trivially_copyable_v<T>);
        struct Answer
        {
            bool Ran;
            char Failure[200];
            T Value;
        };
        int channel[2];
        if (::pipe2(channel, O_CLOEXEC) != 0)
            return std::nullopt;
        const pid_t child = ::fork();
        if (child == 0) {
            Answer answer{};
            const std::string failure = Enter();
            std::strncpy(answer.Failure, failure.c_str(), sizeof answer.Failure - 1);
            answer.Ran = failure.empty();
            if (answer.Ran)
                answer.Value = body();
            const bool written = ::write(channel[1], &answer, sizeof answer) == sizeof answer;
            ::_exit(written ? 0 : 1);
        }
        ::close(channel[1]);
        Answer answer{};
        size_t got = 0;
        for (ssize_t n = 1; n > 0 && got<sizeof answer; got += n> 0 ? size_t(n) : 0)
            n = ::read(channel[0], reinterpret_cast<char*>(&answer) + got, sizeof answer - got);
        ::close(channel[0]);
        if (child > 0)
            ::waitpid(child, nullptr, 0);
        if (got != sizeof answer)
            WhyNot = "the child process did not answer";
        else if (!answer.Ran)
            WhyNot = answer.Failure;
        return got == sizeof answer && answer.Ran ? std::optional<T>(answer.Value) : std::nullopt;
    }

private:
    static bool WriteSysctl(const char* path, const std::string& value)
    {
        const int fd = ::open(path, O_WRONLY | O_CLOEXEC);
        const bool ok = fd >= 0 && ::write(fd, value.data(), value.size()) == ssize_t(value.size());
        if (fd >= 0)
            ::close(fd);
        return ok;
    }

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
        if (IgnoreEchoes && !WriteSysctl("/proc/sys/net/ipv4/icmp_echo_ignore_all", "1"))
            return "cannot switch echo replies off in the namespace";
        if (!WriteSysctl("/proc/sys/net/ipv4/ping_group_range", PingGroups))
            return "cannot set ping_group_range in the namespace";
        return {};
    }
};
