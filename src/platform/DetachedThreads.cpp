#include "platform/DetachedThreads.h"

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>

namespace {

// Never destroyed: a thread still running at exit finishes with them intact.
struct Registry
{
    std::mutex Lock;
    std::condition_variable Ended;
    int Running = 0;
};

Registry& Threads()
{
    static auto* registry = new Registry;
    return *registry;
}

} // namespace

namespace DetachedThreads {

void Start(std::function<void()> work)
{
    Registry& threads = Threads();
    {
        const std::lock_guard lock(threads.Lock);
        ++threads.Running;
    }
    try {
        std::thread([&threads, work = std::move(work)] {
            work();
            const std::lock_guard lock(threads.Lock);
            --threads.Running;
            threads.Ended.notify_all();
        }).detach();
    } catch (...) {
        const std::lock_guard lock(threads.Lock);
        --threads.Running;
        throw;
    }
}

int Finish(int exitCode, int graceMs)
{
    Registry& threads = Threads();
    std::unique_lock lock(threads.Lock);
    if (threads.Ended.wait_for(lock, std::chrono::milliseconds(graceMs),
                               [&threads] { return threads.Running == 0; }))
        return exitCode;
    std::fflush(nullptr);
    std::_Exit(exitCode);
}

} // namespace DetachedThreads
