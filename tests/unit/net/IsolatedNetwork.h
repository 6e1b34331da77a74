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

// Runs a piece of a test in a child process inside a network namespace of its own, which
// holds nothing but a loopback interface: nothing sent there can leave the machine. The
// child's answer comes back through a pipe.
class IsolatedNetwork
{
public:
    bool LoopbackUp = true;
    bool IgnoreEchoes = false;             // net.ipv4.icmp_echo_ignore_all
    std::optional<std::string> PingGroups; // net.ipv4.ping_group_range, e.g. "0 2147483647"

    // Empty when the body ran; else why no such namespace could be made (the test skips).
    std::string WhyNot;

    template <typename T> std::optional<T> Run(const std::function<T()>& body)
    {
        static_assert(std::is_trivially_copyable_v<T>);
        int channel[2];
        if (::pipe2(channel, O_CLOEXEC) != 0) {
            WhyNot = "pipe failed";
            return std::nullopt;
        }
        const pid_t child = ::fork();
        if (child == 0) {
            ::close(channel[0]);
            const std::string failure = Enter();
            if (!failure.empty()) {
                WriteAll(channel[1], "0", 1);
                WriteAll(channel[1], failure.data(), failure.size());
            } else {
                const T value = body();
                WriteAll(channel[1], "1", 1);
                WriteAll(channel[1], &value, sizeof value);
            }
            ::_exit(0);
        }
        ::close(channel[1]);
        std::string answer;
        char buffer[512];
        for (ssize_t n; (n = ::read(channel[0], buffer, sizeof buffer)) != 0;) {
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0)
                break;
            answer.append(buffer, static_cast<size_t>(n));
        }
        ::close(channel[0]);
        int status = 0;
        if (child > 0)
            ::waitpid(child, &status, 0);
        if (child < 0 || answer.empty()) {
            WhyNot = "the child process did not answer";
            return std::nullopt;
        }
        if (answer[0] == '0') {
            WhyNot = answer.substr(1);
            return std::nullopt;
        }
        if (answer.size() != 1 + sizeof(T)) {
            WhyNot = "short answer from the child process";
            return std::nullopt;
        }
        T value;
        std::memcpy(&value, answer.data() + 1, sizeof value);
        return value;
    }

private:
    static void WriteAll(int fd, const void* data, size_t size)
    {
        const char* bytes = static_cast<const char*>(data);
        while (size > 0) {
            const ssize_t n = ::write(fd, bytes, size);
            if (n <= 0 && errno != EINTR)
                return;
            if (n > 0) {
                bytes += n;
                size -= static_cast<size_t>(n);
            }
        }
    }

    static bool WriteSysctl(const char* path, const std::string& value)
    {
        const int fd = ::open(path, O_WRONLY | O_CLOEXEC);
        if (fd < 0)
            return false;
        const bool ok =
            ::write(fd, value.data(), value.size()) == static_cast<ssize_t>(value.size());
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
                return std::string("cannot bring the loopback up: ") + std::strerror(errno);
        }
        if (IgnoreEchoes && !WriteSysctl("/proc/sys/net/ipv4/icmp_echo_ignore_all", "1"))
            return "cannot switch echo replies off in the namespace";
        if (PingGroups && !WriteSysctl("/proc/sys/net/ipv4/ping_group_range", *PingGroups))
            return "cannot set ping_group_range in the namespace";
        return {};
    }
};
