#pragma once

#include <cstring>
#include <fcntl.h>
#include <functional>
#include <optional>
#include <string>
#include <sys/wait.h>
#include <type_traits>
#include <unistd.h>

// Runs `body` in a child process of its own after `enter` has set the child up (a namespace,
// mounts, limits); `enter` returns why it could not, or nothing. The body's value comes back
// through a pipe; without one, `whyNot` says why (the test then skips).
template <typename T>
std::optional<T> RunInIsolatedChild(const std::function<std::string()>& enter,
                                    const std::function<T()>& body, std::string& whyNot)
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
        const std::string failure = enter();
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
    for (ssize_t n = 1; n > 0 && got < sizeof answer;) {
        n = ::read(channel[0], reinterpret_cast<char*>(&answer) + got, sizeof answer - got);
        if (n > 0)
            got += size_t(n);
    }
    ::close(channel[0]);
    if (child > 0)
        ::waitpid(child, nullptr, 0);
    if (got != sizeof answer)
        whyNot = "the child process did not answer";
    else if (!answer.Ran)
        whyNot = answer.Failure;
    return got == sizeof answer && answer.Ran ? std::optional<T>(answer.Value) : std::nullopt;
}

// Writes a setting file of /proc (a sysctl, an id map) whole; false when it could not.
inline bool WriteProcSetting(const char* path, const std::string& text)
{
    const int fd = ::open(path, O_WRONLY | O_CLOEXEC);
    const bool ok = fd >= 0 && ::write(fd, text.data(), text.size()) == ssize_t(text.size());
    if (fd >= 0)
        ::close(fd);
    return ok;
}
