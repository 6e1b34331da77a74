#pragma once

#include <cerrno>
#include <chrono>
#include <poll.h>

// Waits until the descriptor is ready for the events (or has an error or a hang-up to report)
// or the deadline passes; false when the deadline passed or the wait failed.
inline bool PollUntil(int fd, short events, std::chrono::steady_clock::time_point deadline)
{
    for (;;) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return false;
        pollfd watched{fd, events, 0};
        const int ready = ::poll(&watched, 1, static_cast<int>(left.count()));
        if (ready > 0)
            return true;
        if (ready < 0 && errno != EINTR)
            return false;
    }
}
